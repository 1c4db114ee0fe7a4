#include "files/LongPath.h"

#include <windows.h>

#include <vector>

namespace {

bool IsSeparator(wchar_t C) { return C == L'\\' || C == L'/'; }

std::wstring CurrentFolder() {
    DWORD Length = GetCurrentDirectoryW(0, nullptr);
    if (Length == 0) return {};
    std::wstring Result(Length, L'\0');
    Length = GetCurrentDirectoryW(Length, Result.data());
    Result.resize(Length);
    return Result;
}

// The full path of a drive-relative start such as "D:" (that drive's current folder).
std::wstring DriveFolder(wchar_t Drive) {
    wchar_t DriveName[3] = {Drive, L':', L'\0'};
    DWORD Length = GetFullPathNameW(DriveName, 0, nullptr, nullptr);
    if (Length == 0) return std::wstring(DriveName) + L"\\";
    std::wstring Result(Length, L'\0');
    Length = GetFullPathNameW(DriveName, Length, Result.data(), nullptr);
    Result.resize(Length);
    return Result;
}

}  // namespace

std::wstring ExtendedPath(std::wstring_view Path) {
    if (Path.empty()) return {};
    // Already in a device or extended form: the caller knows what it means.
    if (Path.size() >= 4 && IsSeparator(Path[0]) && IsSeparator(Path[1]) && (Path[2] == L'?' || Path[2] == L'.') &&
        IsSeparator(Path[3]))
        return std::wstring(Path);

    std::wstring Root;     // "\\?\C:" or "\\?\UNC\server\share"
    std::wstring_view Rest;  // the part below the root
    if (IsSeparator(Path[0]) && Path.size() > 1 && IsSeparator(Path[1])) {
        // \\server\share\...: the server and share are the root.
        size_t Pos = 2, Parts = 0;
        while (Pos < Path.size() && Parts < 2) {
            size_t End = Pos;
            while (End < Path.size() && !IsSeparator(Path[End])) ++End;
            Root += L"\\" + std::wstring(Path.substr(Pos, End - Pos));
            ++Parts;
            Pos = End < Path.size() ? End + 1 : End;
        }
        Root = L"\\\\?\\UNC" + Root;
        Rest = Path.substr(Pos);
    } else if (Path.size() >= 2 && Path[1] == L':') {
        if (Path.size() >= 3 && IsSeparator(Path[2])) {
            Root = L"\\\\?\\" + std::wstring(Path.substr(0, 2));
            Rest = Path.substr(3);
        } else {
            // "D:name" is relative to the current folder of drive D.
            return ExtendedPath(DriveFolder(Path[0]) + L"\\" + std::wstring(Path.substr(2)));
        }
    } else if (IsSeparator(Path[0])) {
        // "\name": the root of the current drive, or of the current share.
        std::wstring Current = CurrentFolder();
        if (Current.size() < 2) return std::wstring(Path);
        size_t RootEnd = 2;
        if (IsSeparator(Current[0]) && IsSeparator(Current[1])) {
            // \\server\share: the root ends after the second part.
            for (int Part = 0; Part < 2 && RootEnd < Current.size(); ++Part) {
                while (RootEnd < Current.size() && !IsSeparator(Current[RootEnd])) ++RootEnd;
                if (Part == 0 && RootEnd < Current.size()) ++RootEnd;
            }
        }
        return ExtendedPath(Current.substr(0, RootEnd) + std::wstring(Path));
    } else {
        std::wstring Current = CurrentFolder();
        if (Current.empty()) return std::wstring(Path);
        return ExtendedPath(Current + L"\\" + std::wstring(Path));
    }

    // Resolve "." and ".." and doubled separators; every other name stays exactly as given.
    std::vector<std::wstring_view> Parts;
    size_t Pos = 0;
    bool TrailingSeparator = !Rest.empty() && IsSeparator(Rest.back());
    while (Pos < Rest.size()) {
        size_t End = Pos;
        while (End < Rest.size() && !IsSeparator(Rest[End])) ++End;
        std::wstring_view Part = Rest.substr(Pos, End - Pos);
        if (Part == L"..") {
            if (!Parts.empty()) Parts.pop_back();
        } else if (!Part.empty() && Part != L".") {
            Parts.push_back(Part);
        }
        Pos = End + 1;
    }
    std::wstring Result = Root;
    for (std::wstring_view Part : Parts) {
        Result += L'\\';
        Result += Part;
    }
    if (Parts.empty() || TrailingSeparator) Result += L'\\';
    return Result;
}

std::wstring FullPath(std::wstring_view Path) {
    const std::wstring Extended = ExtendedPath(Path);
    const std::wstring_view Prefix = L"\\\\?\\", Share = L"\\\\?\\UNC\\";
    if (Extended.compare(0, Share.size(), Share) == 0) return L"\\\\" + Extended.substr(Share.size());
    if (Extended.compare(0, Prefix.size(), Prefix) == 0) return Extended.substr(Prefix.size());
    return Extended;
}
