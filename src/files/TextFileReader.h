#pragma once
// Byte-order-mark detection, the automatic encoding choice, and whole-file reading.
#include "files/EncodingMode.h"

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

// The modes as numbers, for the routines below that take and give them as such
// and for the writer: 0 automatic, 1 ANSI, 2 UTF-16 LE, 3 UTF-8.
constexpr std::int32_t emAuto = StoredEncodingMode(TEncodingMode::Auto);
constexpr std::int32_t emAnsi = StoredEncodingMode(TEncodingMode::Ansi);
constexpr std::int32_t emUtf16LE = StoredEncodingMode(TEncodingMode::Utf16LE);
constexpr std::int32_t emUtf8 = StoredEncodingMode(TEncodingMode::Utf8);

bool HasBomUtf32BE(const std::wstring& Path);
bool HasBomUtf32LE(const std::wstring& Path);
bool HasBomUtf16BE(const std::wstring& Path);
bool HasBomUtf16LE(const std::wstring& Path);
bool HasBomUtf8(const std::wstring& Path);
std::int32_t DetectBom(const std::wstring& Path);            // a BomKind value
// Mode itself unless it is automatic; then the file's mark decides, and 0 stands
// for a mark this program does not read (UTF-32, UTF-16 big-endian).
std::int32_t ResolveEncodingMode(std::int32_t Mode, const std::wstring& Path);
std::wstring ReadTextFile(const std::wstring& Path, std::int32_t Encoding); // 1, 2, 3; 0 = none = UTF-8

// What the workers use: resolves Mode for the file and reads it with one open in
// automatic mode (the exclusive open is the mark probe). Same results as
// ResolveEncodingMode followed by ReadTextFile.
struct TTextFileContent {
    // The mode the file was read in: ANSI, UTF-16 LE or UTF-8; a mode outside the
    // four stays as it was asked for (and reads nothing), and so does automatic
    // when the file has an unsupported mark.
    TEncodingMode Mode = TEncodingMode::Auto;
    bool UnsupportedMark = false;  // automatic mode met a UTF-32 or UTF-16 big-endian mark; nothing read
    bool Read = false;      // Text holds the decoded content (false: not read, unreadable or invalid)
    std::wstring Text;
    std::string Bytes;      // with KeepBytes: the file's bytes after the mark that was skipped
};
TTextFileContent LoadTextFile(const std::wstring& Path, TEncodingMode Mode, bool KeepBytes);
