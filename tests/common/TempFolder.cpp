#include "TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace {

// The extended-length form of a full path, made here rather than by the code
// under test, so that reading a result back does not depend on that code.
std::wstring Extended(const std::wstring& Path) {
    if (Path.rfind(L"\\\\?\\", 0) == 0) return Path;
    if (Path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + Path.substr(2);
    return L"\\\\?\\" + Path;
}

void RemoveTree(const std::wstring& Folder) {
    WIN32_FIND_DATAW Data;
    HANDLE Find = FindFirstFileW(Extended(Folder + L"*").c_str(), &Data);
    if (Find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring Name = Data.cFileName;
            if (Name == L"." || Name == L"..") continue;
            std::wstring Full = Folder + Name;
            SetFileAttributesW(Extended(Full).c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(Data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveTree(Full + L"\\");
            } else if (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryW(Extended(Full).c_str());
            } else {
                DeleteFileW(Extended(Full).c_str());
            }
        } while (FindNextFileW(Find, &Data));
        FindClose(Find);
    }
    RemoveDirectoryW(Extended(Folder).c_str());
}

std::wstring CurrentFolder() {
    wchar_t Buffer[MAX_PATH * 4];
    DWORD Length = GetCurrentDirectoryW(static_cast<DWORD>(std::size(Buffer)), Buffer);
    return std::wstring(Buffer, Length);
}

}  // namespace

TempFolder::TempFolder() {
    static std::atomic<unsigned> Counter{0};
    wchar_t Base[MAX_PATH + 1];
    DWORD Length = GetTempPathW(MAX_PATH + 1, Base);
    if (Length == 0) throw std::runtime_error("no temp folder");
    for (;;) {
        std::wstring Candidate = std::wstring(Base, Length) + L"qvtest-" +
                                 std::to_wstring(GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(Counter++) + L"\\";
        if (CreateDirectoryW(Candidate.c_str(), nullptr)) {
            FPath = Candidate;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create temp folder");
    }
}

TempFolder::~TempFolder() {
    RemoveTree(FPath);
}

std::wstring TempFolder::MakeFolder(std::wstring_view Relative) const {
    std::wstring Full = FPath;
    std::wstring Rest(Relative);
    size_t Start = 0;
    while (Start <= Rest.size()) {
        size_t End = Rest.find(L'\\', Start);
        std::wstring Part = Rest.substr(Start, End == std::wstring::npos ? std::wstring::npos : End - Start);
        if (!Part.empty()) {
            Full += Part + L"\\";
            CreateDirectoryW(Extended(Full).c_str(), nullptr);
        }
        if (End == std::wstring::npos) break;
        Start = End + 1;
    }
    return Full;
}

std::wstring TempFolder::WriteFile(std::wstring_view Relative, std::string_view Bytes) const {
    std::wstring Rel(Relative);
    size_t Slash = Rel.rfind(L'\\');
    if (Slash != std::wstring::npos) MakeFolder(Rel.substr(0, Slash));
    std::wstring Full = FPath + Rel;
    if (!WriteFileBytes(Full, Bytes)) throw std::runtime_error("cannot write test file");
    return Full;
}

bool WriteFileBytes(const std::wstring& Path, std::string_view Bytes) {
    HANDLE File = CreateFileW(Extended(Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE) return false;
    DWORD Written = 0;
    BOOL Ok = Bytes.empty() || ::WriteFile(File, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr);
    CloseHandle(File);
    return Ok && Written == Bytes.size();
}

FileBytes ReadFileBytes(const std::wstring& Path) {
    FileBytes Result;
    HANDLE File = CreateFileW(Extended(Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (File == INVALID_HANDLE_VALUE) return Result;
    Result.Exists = true;
    char Buffer[65536];
    DWORD Read = 0;
    while (ReadFile(File, Buffer, sizeof(Buffer), &Read, nullptr) && Read > 0) Result.Bytes.append(Buffer, Read);
    CloseHandle(File);
    return Result;
}

std::map<std::wstring, std::string> FolderFiles(const std::wstring& Folder) {
    std::map<std::wstring, std::string> Files;
    WIN32_FIND_DATAW Data;
    HANDLE Find = FindFirstFileW(Extended(Folder + L"*").c_str(), &Data);
    if (Find == INVALID_HANDLE_VALUE) return Files;
    do {
        if (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        FileBytes Content = ReadFileBytes(Folder + Data.cFileName);
        Files[Data.cFileName] = Content.Exists ? Content.Bytes : "<unreadable>";
    } while (FindNextFileW(Find, &Data));
    FindClose(Find);
    return Files;
}

bool PathExists(const std::wstring& Path) {
    return GetFileAttributesW(Extended(Path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD FileAttributes(const std::wstring& Path) {
    return GetFileAttributesW(Extended(Path).c_str());
}

bool SetAttributes(const std::wstring& Path, DWORD Attributes) {
    return SetFileAttributesW(Extended(Path).c_str(), Attributes) != FALSE;
}

std::wstring TestProgramFolder() {
    wchar_t Buffer[MAX_PATH * 4];
    DWORD Length = GetModuleFileNameW(nullptr, Buffer, MAX_PATH * 4);
    std::wstring Path(Buffer, Length);
    return Path.substr(0, Path.rfind(L'\\') + 1);
}

std::wstring WinePath(std::wstring_view HostPath) {
    std::wstring Path = L"Z:" + std::wstring(HostPath);
    for (wchar_t& C : Path)
        if (C == L'/') C = L'\\';
    return Path;
}

CurrentFolderScope::CurrentFolderScope(const std::wstring& Folder) : FOld(CurrentFolder()) {
    EXPECT_TRUE(SetCurrentDirectoryW(Folder.c_str()));
}

CurrentFolderScope::~CurrentFolderScope() { SetCurrentDirectoryW(FOld.c_str()); }
