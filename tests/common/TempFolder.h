#pragma once
// Files and folders of the tests: a fresh folder for one test, removed with
// everything in it (read-only and hidden files included) when the test ends;
// a file's bytes and a whole folder's files read back; attributes; the test
// program's own folder; the current folder for a scope; host paths as Wine
// shows them. Paths go through the extended-length form, so names such as
// aux.c, a trailing dot and paths beyond MAX_PATH work.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path, ending with a backslash.
    const std::wstring& Path() const { return FPath; }
    // Writes Bytes to Path() + Relative, creating sub-folders; returns the full path.
    std::wstring WriteFile(std::wstring_view Relative, std::string_view Bytes) const;
    std::wstring MakeFolder(std::wstring_view Relative) const;

private:
    std::wstring FPath;
};

// Creates or replaces the file with exactly Bytes; false on any failure.
bool WriteFileBytes(const std::wstring& Path, std::string_view Bytes);

// The whole content of a file, or empty with Exists false.
struct FileBytes {
    bool Exists = false;
    std::string Bytes;
};
FileBytes ReadFileBytes(const std::wstring& Path);

// Every file directly in Folder (a path ending with "\"), name to bytes; a file
// that cannot be opened reads as "<unreadable>".
std::map<std::wstring, std::string> FolderFiles(const std::wstring& Folder);

bool PathExists(const std::wstring& Path);
DWORD FileAttributes(const std::wstring& Path);
bool SetAttributes(const std::wstring& Path, DWORD Attributes);

// The folder of the running test program, ending with a backslash.
std::wstring TestProgramFolder();

// A path of the Linux host as Wine shows it: drive Z: is the host's root.
std::wstring WinePath(std::wstring_view HostPath);

// Sets the current folder for a scope and puts the old one back.
class CurrentFolderScope {
public:
    explicit CurrentFolderScope(const std::wstring& Folder);
    ~CurrentFolderScope();
    CurrentFolderScope(const CurrentFolderScope&) = delete;
    CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;

private:
    std::wstring FOld;
};
