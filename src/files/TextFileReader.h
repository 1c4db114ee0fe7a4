#pragma once
// Byte-order-mark detection, the automatic encoding choice, and whole-file reading.
#include <cstdint>
#include <string>

enum BomKind : std::int32_t {
    bomNone = 0,
    bomUtf32BE = 1,
    bomUtf32LE = 2,
    bomUtf16BE = 3,
    bomUtf16LE = 4,
    bomUtf8 = 5,
};

// Encoding modes: 0 automatic, 1 ANSI, 2 UTF-16 LE, 3 UTF-8.
constexpr std::int32_t emAuto = 0;
constexpr std::int32_t emAnsi = 1;
constexpr std::int32_t emUtf16LE = 2;
constexpr std::int32_t emUtf8 = 3;

bool HasBomUtf32BE(const std::wstring& Path);
bool HasBomUtf32LE(const std::wstring& Path);
bool HasBomUtf16BE(const std::wstring& Path);
bool HasBomUtf16LE(const std::wstring& Path);
bool HasBomUtf8(const std::wstring& Path);
std::int32_t DetectBom(const std::wstring& Path);            // a BomKind value
std::int32_t ResolveEncodingMode(std::int32_t Mode, const std::wstring& Path);
std::wstring ReadTextFile(const std::wstring& Path, std::int32_t Encoding); // 1, 2, 3; 0 = none = UTF-8

// What the workers use: resolves Mode for the file and reads it with one open in
// automatic mode (the exclusive open is the mark probe). Same results as
// ResolveEncodingMode followed by ReadTextFile.
struct TTextFileContent {
    std::int32_t Mode = 0;  // the resolved mode: 0 = unsupported mark, 1..3, or Mode itself outside 0..3
    bool Read = false;      // Text holds the decoded content (false: not read, unreadable or invalid)
    std::wstring Text;
    std::string Bytes;      // with KeepBytes: the file's bytes after the mark that was skipped
};
TTextFileContent LoadTextFile(const std::wstring& Path, std::int32_t Mode, bool KeepBytes);
