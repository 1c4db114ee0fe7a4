#pragma once
// The file-system calls of safe writing, in one thin layer so that tests can make
// any one of them fail (the Nth call, once or from then on) and check that no
// failure anywhere in a write loses a byte of the old content. Paths are passed
// as the caller built them; the caller applies ExtendedPath.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace FileSystemCalls {

// GetFileAttributesW: INVALID_FILE_ATTRIBUTES with the last error set on failure.
DWORD GetAttributes(const std::wstring& Path);
// MoveFileExW with Flags (0: a plain rename that never replaces an existing file).
bool Move(const std::wstring& From, const std::wstring& To, DWORD Flags);
// Renames the open File (opened with DELETE access) to Target, replacing a file of
// that name: one call, so the name goes from the old file to this one at once.
// Counted as a Move.
bool RenameOver(HANDLE File, const std::wstring& Target);
// The same with POSIX semantics, which also replaces a target that is still open
// (by handles that share deleting): Windows 10 and later, on file systems that
// have it. Elsewhere it fails and changes nothing. Counted as a Move.
bool RenameOverOpen(HANDLE File, const std::wstring& Target);
// CreateHardLinkW: NewName becomes a second name of the file Existing names.
bool Link(const std::wstring& NewName, const std::wstring& Existing);
// NewName (which must not exist) becomes a second name of the file open as File,
// whatever its other names lead to by now. Fails where the system links only by
// name. Counted as a Link.
bool LinkOpen(HANDLE File, const std::wstring& NewName);
// CreateFileW of a file that must not exist yet (fails with ERROR_FILE_EXISTS),
// read, write and delete access, no sharing, ordinary attributes.
HANDLE CreateNew(const std::wstring& Path);
// WriteFile; Written receives the number of bytes the system took.
bool Write(HANDLE File, const void* Data, DWORD Size, DWORD& Written);
bool Flush(HANDLE File);
bool Delete(const std::wstring& Path);
// CloseHandle. The handle is gone afterwards even when the call reports a failure.
bool Close(HANDLE File);

// Fault injection for tests. Calls are numbered from 1 after ResetFaults, either
// all of them or only those of one kind.
enum class TCallKind { Any, GetAttributes, Move, CreateNew, Write, Flush, Delete, Close, Link };
enum class TFaultKind {
    Refuse,     // the call fails and does nothing (a write takes half its bytes first, then fails)
    ShortWrite  // a write takes half its bytes and reports success with the short count;
                // other calls fail as with Refuse
};
struct TFaultPlan {
    std::int64_t FailAt = 0;   // the number of the first call that fails; 0: none
    bool FromThenOn = false;   // every later call fails too
    TFaultKind Kind = TFaultKind::Refuse;
    TCallKind Counted = TCallKind::Any;  // the calls FailAt counts
};
// For tests: called before each call of this layer with its kind, on the
// calling thread (another program acting in that moment). Set it while no run goes.
void SetCallHook(std::function<void(TCallKind)> Hook);
// Clears the plan and the call counter.
void ResetFaults();
void SetFaultPlan(const TFaultPlan& Plan);
// Calls made since ResetFaults (all kinds).
std::int64_t CallCount();

}  // namespace FileSystemCalls
