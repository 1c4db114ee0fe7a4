#pragma once
// Small helpers for the safe-writing tests: what a folder holds, and a file's
// attributes, both read through extended-length paths.
#include "files/LongPath.h"

#include <windows.h>

#include <map>
#include <string>

// Every file directly in Folder (a path ending with "\"), name to bytes.
inline std::map<std::wstring, std::string> FolderFiles(const std::wstring& Folder) {
    std::map<std::wstring, std::string> Files;
    WIN32_FIND_DATAW Data;
    HANDLE Find = FindFirstFileW(ExtendedPath(Folder + L"*").c_str(), &Data);
    if (Find == INVALID_HANDLE_VALUE) return Files;
    do {
        if (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::wstring Full = Folder + Data.cFileName;
        std::string Bytes;
        HANDLE File = CreateFileW(ExtendedPath(Full).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
        if (File != INVALID_HANDLE_VALUE) {
            char Buffer[65536];
            DWORD Read = 0;
            while (ReadFile(File, Buffer, sizeof(Buffer), &Read, nullptr) && Read > 0) Bytes.append(Buffer, Read);
            CloseHandle(File);
        } else {
            Bytes = "<unreadable>";
        }
        Files[Data.cFileName] = Bytes;
    } while (FindNextFileW(Find, &Data));
    FindClose(Find);
    return Files;
}

inline DWORD FileAttributes(const std::wstring& Path) {
    return GetFileAttributesW(ExtendedPath(Path).c_str());
}

inline bool SetReadOnly(const std::wstring& Path) {
    return SetFileAttributesW(ExtendedPath(Path).c_str(), FILE_ATTRIBUTE_READONLY) != FALSE;
}
