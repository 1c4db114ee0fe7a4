#include "PlainReference.h"

#include "BenchSupport.h"
#include "base/UniqueHandle.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace Plain {

namespace {

std::wstring CollectedText;
std::int64_t CollectedCount = 0;
TFolderOnce Folders;  // the current collection's

std::wstring Ext(const std::wstring& Path) {
    return L"\\\\?\\" + Path;
}

std::wstring WithTrailingBackslash(const std::wstring& Path) {
    if (Path.empty() || Path.back() == L'\\') return Path;
    return Path + L"\\";
}

TStringArray SplitText(std::wstring Text, const std::wstring& Separator) {
    TStringArray Pieces;
    if (Text.empty() || Separator.empty()) return Pieces;
    while (!Text.empty()) {
        size_t Pos = Text.find(Separator);
        if (Pos == 0) {
            Text.erase(0, Separator.size());
        } else if (Pos == std::wstring::npos) {
            Pieces.push_back(Text);
            Text.clear();
        } else {
            Pieces.push_back(Text.substr(0, Pos));
            Text.erase(0, Pos + Separator.size());
        }
    }
    return Pieces;
}

bool IsDot(const wchar_t* Name) {
    return std::wcscmp(Name, L".") == 0 || std::wcscmp(Name, L"..") == 0;
}

void EnumerateFiles(const std::wstring& Folder, const std::wstring& Mask, bool Recursive, std::int64_t Limit) {
    WIN32_FIND_DATAW Data;
    UniqueFind Find(FindFirstFileW(Ext(WithTrailingBackslash(Folder) + Mask).c_str(), &Data));
    if (Find) {
        do {
            if (Limit >= 0 && CollectedCount >= Limit) break;
            if (IsDot(Data.cFileName) || (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
            // The text grows in place, as a string appended to does.
            if (!CollectedText.empty()) CollectedText += L"\r\n";
            CollectedText += WithTrailingBackslash(Folder) + Data.cFileName;
            ++CollectedCount;
        } while (FindNextFileW(Find.Get(), &Data));
    }
    Find.Reset();
    if (!Recursive) return;
    Find.Reset(FindFirstFileW(Ext(WithTrailingBackslash(Folder) + L"*").c_str(), &Data));
    if (!Find) return;
    do {
        if (IsDot(Data.cFileName) || !(Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        const std::wstring Child = WithTrailingBackslash(Folder) + Data.cFileName + L"\\";
        if (Data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) Folders.MeetLink();
        if (!Folders.Enter(Ext(Child))) continue;
        EnumerateFiles(Child, Mask, Recursive, Limit);
    } while (FindNextFileW(Find.Get(), &Data));
}

std::wstring FileSortKey(const std::wstring& Path) {
    size_t LastSeparator = Path.find_last_of(L"\\:");
    size_t NameStart = LastSeparator == std::wstring::npos ? 0 : LastSeparator + 1;
    size_t LastDot = Path.rfind(L'.');
    std::wstring Extension = LastDot != std::wstring::npos && LastDot >= NameStart ? Path.substr(LastDot) : L"";
    std::wstring Name = Path.substr(NameStart);
    return WithTrailingBackslash(Path.substr(0, NameStart)) + L"<" + Extension + L">" +
           Name.substr(0, Name.size() - Extension.size());
}

int CompareFiles(const std::wstring& First, const std::wstring& Second) {
    std::wstring A = FileSortKey(First);
    std::wstring B = FileSortKey(Second);
    return CompareStringW(LOCALE_USER_DEFAULT, 0, A.c_str(), -1, B.c_str(), -1) - CSTR_EQUAL;
}

bool Probe(const std::wstring& Path, const unsigned char* Mark, DWORD Length) {
    if (GetFileAttributesW(Ext(Path).c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    UniqueFile File(CreateFileW(Ext(Path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!File) return false;
    unsigned char Head[4];
    DWORD Got = 0;
    return ReadFile(File.Get(), Head, Length, &Got, nullptr) && Got == Length && std::memcmp(Head, Mark, Length) == 0;
}

std::wstring UpperCaseLinguistic(const std::wstring& Text) {
    if (Text.empty()) return Text;
    std::wstring Result(Text.size(), L'\0');
    LCMapStringW(StartupLocale, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING, Text.c_str(),
                 static_cast<int>(Text.size()), Result.data(), static_cast<int>(Result.size()));
    return Result;
}

std::wstring UpperCaseSimple(const std::wstring& Text) {
    std::wstring Result = Text;
    CharUpperBuffW(Result.data(), static_cast<DWORD>(Result.size()));
    return Result;
}

bool FileExists(const std::wstring& Path) {
    DWORD Attributes = GetFileAttributesW(Ext(Path).c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring MakeUniqueFileName(const std::wstring& Pattern, std::int32_t First) {
    for (std::int32_t N = First;; ++N) {
        std::wstring Candidate = ReplaceAll(Pattern, L"?", std::to_wstring(N), true);
        if (!FileExists(Candidate)) return Candidate;
    }
}

}  // namespace

TStringArray CollectFiles(const std::wstring& Folder, const std::wstring& Mask, bool Recursive,
                          std::int64_t Limit) {
    CollectedText.clear();
    CollectedCount = 0;
    Folders = TFolderOnce{};
    Folders.Enter(Ext(WithTrailingBackslash(Folder)));
    EnumerateFiles(Folder, Mask, Recursive, Limit);
    if (CollectedText.empty()) return {};
    return SplitText(CollectedText, L"\r\n");
}

void SortFileList(TStringArray& Files) {
    for (size_t i = 1; i < Files.size(); ++i) {
        std::wstring Taken = std::move(Files[i]);
        size_t j = i;
        while (j > 0 && CompareFiles(Files[j - 1], Taken) > 0) {
            Files[j] = std::move(Files[j - 1]);
            --j;
        }
        Files[j] = std::move(Taken);
    }
}

std::int32_t ResolveEncodingMode(std::int32_t Mode, const std::wstring& Path) {
    static const unsigned char Utf32BE[] = {0x00, 0x00, 0xFE, 0xFF}, Utf32LE[] = {0xFF, 0xFE, 0x00, 0x00},
                               Utf8[] = {0xEF, 0xBB, 0xBF}, Utf16BE[] = {0xFE, 0xFF}, Utf16LE[] = {0xFF, 0xFE};
    if (Mode != 0) return Mode;
    if (Probe(Path, Utf32BE, 4)) return 0;
    if (Probe(Path, Utf32LE, 4)) return 0;
    if (Probe(Path, Utf8, 3)) return 3;
    if (Probe(Path, Utf16BE, 2)) return 0;
    if (Probe(Path, Utf16LE, 2)) return 2;
    return 1;
}

std::wstring ReadTextFile(const std::wstring& Path, std::int32_t Encoding) {
    if (GetFileAttributesW(Ext(Path).c_str()) == INVALID_FILE_ATTRIBUTES) return {};
    if (Encoding != 1 && Encoding != 2) Encoding = 3;
    UniqueFile File(CreateFileW(Ext(Path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File) return {};
    std::string Bytes;
    char Block[4096];
    DWORD Got = 0;
    DWORD LastBlock = 0;
    bool Ok = true;
    for (;;) {
        if (!ReadFile(File.Get(), Block, sizeof(Block), &Got, nullptr)) {
            Ok = false;
            break;
        }
        if (Got == 0) break;
        Bytes.append(Block, Got);
        LastBlock = Got;
    }
    File.Reset();
    if (!Ok) return {};
    size_t Skip = 0;
    if (Encoding == 3 && Bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) Skip = 3;
    if (Encoding == 2 && Bytes.compare(0, 2, "\xFF\xFE") == 0) Skip = 2;
    if (Encoding == 1 && GetACP() == CP_UTF8 && Bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) Skip = 3;
    if (Encoding == 2) {
        if (Bytes.size() % 2 == 1 && LastBlock == 1) return {};
        std::wstring Text((Bytes.size() - Skip) / 2, L'\0');
        std::memcpy(Text.data(), Bytes.data() + Skip, Text.size() * 2);
        return Text;
    }
    const char* Data = Bytes.data() + Skip;
    int Length = static_cast<int>(Bytes.size() - Skip);
    if (Length == 0) return {};
    UINT CodePage = Encoding == 1 ? CP_ACP : CP_UTF8;
    DWORD Flags = Encoding == 1 ? 0 : MB_ERR_INVALID_CHARS;
    int Needed = MultiByteToWideChar(CodePage, Flags, Data, Length, nullptr, 0);
    if (Needed <= 0) return {};
    std::wstring Text(static_cast<size_t>(Needed), L'\0');
    if (MultiByteToWideChar(CodePage, Flags, Data, Length, Text.data(), Needed) != Needed) return {};
    return Text;
}

bool TextContains(const std::wstring& Text, const std::wstring& TextToFind, bool CaseSensitive) {
    if (Text.empty() || TextToFind.empty()) return false;
    if (CaseSensitive) return Text.find(TextToFind) != std::wstring::npos;
    return UpperCaseLinguistic(Text).find(UpperCaseLinguistic(TextToFind)) != std::wstring::npos;
}

std::wstring ReplaceAll(const std::wstring& Text, const std::wstring& TextToFind, const std::wstring& ReplaceWith,
                        bool CaseSensitive) {
    if (Text.empty() || TextToFind.empty()) return {};
    const std::wstring SearchIn = CaseSensitive ? Text : UpperCaseSimple(Text);
    const std::wstring Pattern = CaseSensitive ? TextToFind : UpperCaseSimple(TextToFind);
    std::wstring Result;
    size_t Position = 0;
    for (size_t Hit; (Hit = SearchIn.find(Pattern, Position)) != std::wstring::npos;) {
        Result += Text.substr(Position, Hit - Position);
        Result += ReplaceWith;
        Position = Hit + Pattern.size();
    }
    Result += Text.substr(Position);
    return Result;
}

std::int32_t CountMatches(const std::wstring& Text, const std::wstring& TextToFind, bool CaseSensitive) {
    if (Text.empty() || TextToFind.empty()) return 0;
    if (!TextContains(Text, TextToFind, CaseSensitive)) return 0;
    const std::wstring Stripped = ReplaceAll(Text, TextToFind, L"", CaseSensitive);
    return static_cast<std::int32_t>((Text.size() - Stripped.size()) / TextToFind.size());
}

void WriteTextFile(const std::wstring& FileName, const std::wstring& Text, std::int32_t Encoding) {
    std::wstring TempName;
    if (FileExists(FileName)) {
        size_t LastSeparator = FileName.find_last_of(L"\\:");
        TempName = MakeUniqueFileName(WithTrailingBackslash(FileName.substr(0, LastSeparator + 1)) + L"TEMP-?.TMP", 1);
        if (!MoveFileW(Ext(FileName).c_str(), Ext(TempName).c_str())) return;
    }
    if (Encoding != 1 && Encoding != 2) Encoding = 3;
    UniqueFile File(CreateFileW(Ext(FileName).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File) return;
    std::string Bytes;
    if (Encoding == 2) {
        Bytes = "\xFF\xFE";
        Bytes.append(reinterpret_cast<const char*>(Text.data()), Text.size() * 2);
    } else {
        UINT CodePage = Encoding == 1 ? CP_ACP : CP_UTF8;
        if (Encoding == 3 || GetACP() == CP_UTF8) Bytes = "\xEF\xBB\xBF";
        if (!Text.empty()) {
            int Length = WideCharToMultiByte(CodePage, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0,
                                             nullptr, nullptr);
            std::string Converted(static_cast<size_t>(Length), '\0');
            WideCharToMultiByte(CodePage, 0, Text.data(), static_cast<int>(Text.size()), Converted.data(), Length,
                                nullptr, nullptr);
            Bytes += Converted;
        }
    }
    bool Ok = true;
    for (size_t Done = 0; Done < Bytes.size() && Ok;) {
        DWORD Chunk = static_cast<DWORD>(std::min<size_t>(4096, Bytes.size() - Done));
        DWORD Written = 0;
        Ok = WriteFile(File.Get(), Bytes.data() + Done, Chunk, &Written, nullptr) && Written == Chunk;
        Done += Chunk;
    }
    if (Ok && !TempName.empty()) DeleteFileW(Ext(TempName).c_str());
}

}  // namespace Plain
