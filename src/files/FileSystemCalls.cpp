#include "files/FileSystemCalls.h"

#include <winternl.h>

#include <atomic>
#include <cstring>
#include <vector>

namespace FileSystemCalls {

namespace {

std::atomic<std::int64_t> Calls{0};
std::atomic<std::int64_t> CountedCalls{0};
std::atomic<TCallKind> Counted{TCallKind::Any};
std::atomic<std::int64_t> FailAt{0};
std::atomic<bool> FromThenOn{false};
std::atomic<TFaultKind> FaultKind{TFaultKind::Refuse};

std::function<void(TCallKind)> CallHook;

// Counts the call and tells whether the plan makes it fail.
bool InjectedFault(TCallKind Call) {
    if (CallHook) CallHook(Call);
    ++Calls;
    const TCallKind Only = Counted.load();
    if (Only != TCallKind::Any && Only != Call) return false;
    const std::int64_t Number = ++CountedCalls;
    const std::int64_t First = FailAt.load();
    if (First <= 0) return false;
    return Number == First || (FromThenOn.load() && Number > First);
}

}  // namespace

void SetCallHook(std::function<void(TCallKind)> Hook) {
    CallHook = std::move(Hook);
}

void ResetFaults() {
    FailAt.store(0);
    FromThenOn.store(false);
    FaultKind.store(TFaultKind::Refuse);
    Counted.store(TCallKind::Any);
    Calls.store(0);
    CountedCalls.store(0);
}

void SetFaultPlan(const TFaultPlan& Plan) {
    FromThenOn.store(Plan.FromThenOn);
    FaultKind.store(Plan.Kind);
    Counted.store(Plan.Counted);
    CountedCalls.store(0);
    FailAt.store(Plan.FailAt);
}

std::int64_t CallCount() {
    return Calls.load();
}

DWORD GetAttributes(const std::wstring& Path) {
    if (InjectedFault(TCallKind::GetAttributes)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_FILE_ATTRIBUTES;
    }
    return GetFileAttributesW(Path.c_str());
}

bool Move(const std::wstring& From, const std::wstring& To, DWORD Flags) {
    if (InjectedFault(TCallKind::Move)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return MoveFileExW(From.c_str(), To.c_str(), Flags) != FALSE;
}

namespace {

// FILE_RENAME_INFO's flags, and the class that takes them (Windows 10 and later).
constexpr DWORD RenameReplaceIfExists = 0x1;
constexpr DWORD RenamePosixSemantics = 0x2;
constexpr auto RenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);

// FILE_RENAME_INFO for Target, the name in its native form.
std::vector<unsigned char> RenameInfo(const std::wstring& Target, DWORD Flags) {
    // The system takes the native form of the name: "\\?\" becomes "\??\".
    std::wstring Native = Target;
    if (Native.compare(0, 4, L"\\\\?\\") == 0) Native[1] = L'?';
    const size_t NameBytes = Native.size() * sizeof(wchar_t);
    std::vector<unsigned char> Buffer(sizeof(FILE_RENAME_INFO) + NameBytes);
    auto* Info = reinterpret_cast<FILE_RENAME_INFO*>(Buffer.data());
    // ReplaceIfExists (a byte) and the flags (a word) share the first field.
    std::memcpy(Buffer.data(), &Flags, sizeof Flags);
    Info->RootDirectory = nullptr;
    Info->FileNameLength = static_cast<DWORD>(NameBytes);
    std::memcpy(Info->FileName, Native.data(), NameBytes);
    return Buffer;
}

bool Rename(HANDLE File, const std::wstring& Target, FILE_INFO_BY_HANDLE_CLASS Class, DWORD Flags) {
    if (InjectedFault(TCallKind::Move)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    std::vector<unsigned char> Info = RenameInfo(Target, Flags);
    return SetFileInformationByHandle(File, Class, Info.data(), static_cast<DWORD>(Info.size())) != FALSE;
}

}  // namespace

bool RenameOver(HANDLE File, const std::wstring& Target) {
    return Rename(File, Target, FileRenameInfo, TRUE);
}

bool RenameOverOpen(HANDLE File, const std::wstring& Target) {
    return Rename(File, Target, RenameInfoEx, RenameReplaceIfExists | RenamePosixSemantics);
}

bool Link(const std::wstring& NewName, const std::wstring& Existing) {
    if (InjectedFault(TCallKind::Link)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    return CreateHardLinkW(NewName.c_str(), Existing.c_str(), nullptr) != FALSE;
}

bool LinkOpen(HANDLE File, const std::wstring& NewName) {
    if (InjectedFault(TCallKind::Link)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    // The system's own request for a link, which CreateHardLinkW makes on a
    // handle it opens by name; its information has the layout of a rename's.
    std::vector<unsigned char> Info = RenameInfo(NewName, 0);
    IO_STATUS_BLOCK Status;
    const NTSTATUS Result =
        NtSetInformationFile(File, &Status, Info.data(), static_cast<ULONG>(Info.size()), FileLinkInformation);
    if (NT_SUCCESS(Result)) return true;
    SetLastError(RtlNtStatusToDosError(Result));
    return false;
}

HANDLE CreateNew(const std::wstring& Path) {
    if (InjectedFault(TCallKind::CreateNew)) {
        SetLastError(ERROR_DISK_FULL);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(Path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool Write(HANDLE File, const void* Data, DWORD Size, DWORD& Written) {
    Written = 0;
    if (InjectedFault(TCallKind::Write)) {
        // A disk that fills up mid-write: part of the bytes reach the file.
        DWORD Part = 0;
        if (Size / 2 > 0) WriteFile(File, Data, Size / 2, &Part, nullptr);
        Written = Part;
        if (FaultKind.load() == TFaultKind::ShortWrite) return true;
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    return WriteFile(File, Data, Size, &Written, nullptr) != FALSE;
}

bool Flush(HANDLE File) {
    if (InjectedFault(TCallKind::Flush)) {
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    return FlushFileBuffers(File) != FALSE;
}

bool Delete(const std::wstring& Path) {
    if (InjectedFault(TCallKind::Delete)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return DeleteFileW(Path.c_str()) != FALSE;
}

bool Close(HANDLE File) {
    // The handle is released in any case, as a failing close on a network file does.
    const bool Injected = InjectedFault(TCallKind::Close);
    const bool Closed = CloseHandle(File) != FALSE;
    if (Injected) {
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    return Closed;
}

}  // namespace FileSystemCalls
