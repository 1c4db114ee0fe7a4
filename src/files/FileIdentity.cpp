#include "files/FileIdentity.h"

#include "base/UniqueHandle.h"
#include "files/LongPath.h"

#include <winternl.h>

#include <atomic>

namespace {

std::atomic<std::int64_t> Queries{0};

UniqueFile OpenForAttributes(const std::wstring& Path) {
    return UniqueFile(CreateFileW(ExtendedPath(Path).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// Asked of the name itself: with a trailing backslash the link would be followed.
bool IsReparsePoint(std::wstring Path) {
    if (Path.size() > 1 && Path.back() == L'\\') Path.pop_back();
    const DWORD Attributes = GetFileAttributesW(ExtendedPath(Path).c_str());
    return Attributes == INVALID_FILE_ATTRIBUTES || (Attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The folder above Folder (both with a trailing backslash), or empty at the top.
std::wstring ParentOf(const std::wstring& Folder) {
    if (Folder.size() < 2) return {};
    const size_t Separator = Folder.find_last_of(L'\\', Folder.size() - 2);
    return Separator == std::wstring::npos ? std::wstring() : Folder.substr(0, Separator + 1);
}

}  // namespace

bool FileNumberOf(HANDLE File, std::uint64_t& Number) {
    IO_STATUS_BLOCK Status;
    FILE_INTERNAL_INFORMATION Info;
    if (!NT_SUCCESS(NtQueryInformationFile(File, &Status, &Info, sizeof Info, FileInternalInformation))) return false;
    Number = static_cast<std::uint64_t>(Info.IndexNumber.QuadPart);
    return true;
}

bool VolumeSerialOf(HANDLE File, std::uint64_t& Serial) {
    ++Queries;
    BY_HANDLE_FILE_INFORMATION Info;
    if (!GetFileInformationByHandle(File, &Info)) return false;
    Serial = Info.dwVolumeSerialNumber;
    return true;
}

std::int64_t VolumeQueries() {
    return Queries.load();
}

bool SameFileOnOneVolume(HANDLE A, HANDLE B) {
    std::uint64_t NumberA, NumberB;
    return FileNumberOf(A, NumberA) && FileNumberOf(B, NumberB) && NumberA == NumberB;
}

bool SameFile(HANDLE A, HANDLE B) {
    std::uint64_t SerialA, SerialB;
    return SameFileOnOneVolume(A, B) && VolumeSerialOf(A, SerialA) && VolumeSerialOf(B, SerialB) &&
           SerialA == SerialB;
}

void TFileIdentities::AddRoot(const std::wstring& Folder) {
    TExclusiveHold Hold(FLock);
    FRoots.push_back(Folder);
}

bool TFileIdentities::UnderRoot(const std::wstring& Folder) const {
    for (const std::wstring& Root : FRoots)
        if (Folder.size() > Root.size() && Folder.compare(0, Root.size(), Root) == 0) return true;
    return false;
}

bool TFileIdentities::VolumeOfFolder(const std::wstring& Folder, std::uint64_t& Serial) {
    // The folders from Folder up to the first whose serial is known or must be asked.
    std::vector<std::wstring> Chain{Folder};
    for (;;) {
        const std::wstring& Last = Chain.back();
        if (const auto Known = FVolumes.find(Last); Known != FVolumes.end()) {
            Serial = Known->second;
            break;
        }
        const std::wstring Parent = ParentOf(Last);
        if (Parent.empty() || !UnderRoot(Last) || IsReparsePoint(Last)) {
            const UniqueFile Open = OpenForAttributes(Last);
            if (!Open || !VolumeSerialOf(Open.Get(), Serial)) return false;
            FVolumes.emplace(Last, Serial);
            break;
        }
        Chain.push_back(Parent);
    }
    for (const std::wstring& Below : Chain) FVolumes.emplace(Below, Serial);
    return true;
}

bool TFileIdentities::IdOf(const std::wstring& Path, TFileId& Id) {
    const UniqueFile File = OpenForAttributes(Path);
    std::uint64_t Number;
    return File && FileNumberOf(File.Get(), Number) && IdOfNumbered(Path, Number, Id);
}

bool TFileIdentities::IdOfNumbered(const std::wstring& Path, std::uint64_t Number, TFileId& Id) {
    Id.Number = Number;
    const size_t Separator = Path.find_last_of(L'\\');
    // A file link's target may be on another volume: asked through the link.
    if (Separator == std::wstring::npos || IsReparsePoint(Path)) {
        const UniqueFile File = OpenForAttributes(Path);
        return File && VolumeSerialOf(File.Get(), Id.Volume);
    }
    TExclusiveHold Hold(FLock);
    return VolumeOfFolder(Path.substr(0, Separator + 1), Id.Volume);
}
