#pragma once
// A fresh folder under the system temp folder for one test, removed with
// everything in it (read-only and hidden files included) when the test ends.
#include <cstdint>
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

// The whole content of a file, or std::nullopt-like empty with Exists false.
struct FileBytes {
    bool Exists = false;
    std::string Bytes;
};
FileBytes ReadFileBytes(const std::wstring& Path);
// UTF-8 literal to UTF-16, for readable test tables.
std::wstring Wide(std::string_view Utf8);
