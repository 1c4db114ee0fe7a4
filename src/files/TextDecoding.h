#pragma once
// Decoding whole byte buffers into UTF-16 without the platform conversion on the
// common paths. Every routine gives exactly what MultiByteToWideChar gives for the
// same bytes and flags; the platform call is used where a table cannot stand in
// for it (double-byte code pages, code page 65001 as the ANSI code page).
#include <windows.h>

#include <array>
#include <string>
#include <string_view>

// Strict UTF-8: false (and Text empty) at the first invalid sequence, as
// MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS) fails.
bool DecodeUtf8Strict(std::string_view Bytes, std::wstring& Text);
// True when Bytes are valid UTF-8 holding at least one multi-byte sequence: text
// that another program wrote as UTF-8, whatever mode it was read in.
bool IsMultiByteUtf8(std::string_view Bytes);
// The system's ANSI code page, lenient, as MultiByteToWideChar(CP_ACP, 0).
// False only when the platform conversion itself fails.
bool DecodeAnsi(std::string_view Bytes, std::wstring& Text);
// UTF-16 little-endian: two bytes per code unit, low byte first; an odd final
// byte forms no code unit and is dropped.
void DecodeUtf16LE(std::string_view Bytes, std::wstring& Text);

// The same decodings into memory the caller provides, room for Bytes.size() code
// units (the most either gives); Length tells how many were written. Memory that
// is kept from file to file is neither cleared first nor allocated anew.
bool DecodeUtf8StrictInto(std::string_view Bytes, wchar_t* Out, size_t& Length);
bool DecodeAnsiInto(std::string_view Bytes, wchar_t* Out, size_t& Length);

// Decoding in pieces: how many of Bytes (a piece that more bytes follow) can be
// decoded now so that the pieces decode exactly as the whole would. The rest,
// at most three bytes, starts a character the next bytes may finish, and goes
// before them. UTF-8: up to the last sequence that Bytes cannot finish.
size_t Utf8CompletePrefix(std::string_view Bytes);
// The ANSI code page: every byte with a table; a double-byte code page stops
// before a final lead byte; code page 65001 as UTF-8 does.
size_t AnsiCompletePrefix(std::string_view Bytes);
// Whether the ANSI code page can be decoded in pieces (one that is neither a
// single-byte, a double-byte nor the UTF-8 code page cannot).
bool AnsiDecodesInPieces();
// Whether the ANSI code page maps every byte below 0x80 to the same code unit,
// as UTF-8 does.
bool AnsiKeepsAscii();

// The platform conversion itself, for any code page and flags (lengths beyond
// the platform's int range fail).
bool DecodeWithPlatform(UINT CodePage, DWORD Flags, std::string_view Bytes, std::wstring& Text);

// The per-byte table of a single-byte code page, built from the platform
// conversion and checked against it on every pair of bytes; false when the code
// page is not one that a table can stand for.
using TByteTable = std::array<wchar_t, 256>;
bool BuildByteTable(UINT CodePage, TByteTable& Table);
void DecodeWithTable(const TByteTable& Table, std::string_view Bytes, std::wstring& Text);
