#include "TempFolder.h"

#include <windows.h>

#include <atomic>
#include <stdexcept>

namespace {

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
    HANDLE File = CreateFileW(Extended(Full).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create test file");
    DWORD Written = 0;
    BOOL Ok = Bytes.empty() || ::WriteFile(File, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr);
    CloseHandle(File);
    if (!Ok || Written != Bytes.size()) throw std::runtime_error("cannot write test file");
    return Full;
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

std::wstring Wide(std::string_view Utf8) {
    if (Utf8.empty()) return {};
    int Length = MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), static_cast<int>(Utf8.size()), nullptr, 0);
    std::wstring Result(static_cast<size_t>(Length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), static_cast<int>(Utf8.size()), Result.data(), Length);
    return Result;
}
