#pragma once
// The bytes of test files and the texts they stand for: the byte-order marks,
// text as UTF-8 and UTF-16 little-endian bytes and back, what the platform makes
// of bytes in the ANSI code page, the platform's simple upper-casing, and
// hexadecimal forms for messages and stored settings.
#include <string>
#include <string_view>

// The byte-order marks the program reads and writes.
inline const std::string Utf8Bom = "\xEF\xBB\xBF";
inline const std::string Utf16Bom = "\xFF\xFE";
// What a file written in ANSI starts with: the UTF-8 mark where the ANSI code
// page is UTF-8 itself, else nothing.
std::string AnsiMark();

// UTF-8 to UTF-16 and back, for readable test tables.
std::wstring Wide(std::string_view Utf8);
std::string Narrow(std::wstring_view Text);
// A UTF-16 file as the program writes it: the mark, then the code units as
// little-endian bytes.
std::string Utf16WithBom(std::wstring_view Text);
// Little-endian UTF-16 bytes without a mark as text (an odd final byte is dropped).
std::wstring FromUtf16LE(std::string_view Bytes);
// What the platform makes of Bytes in the ANSI code page, for expectations that
// hold in any locale.
std::wstring AnsiText(std::string_view Bytes);

// The platform's simple upper-casing (CharUpperBuffW), as paths are compared.
std::wstring UpperCased(std::wstring_view Text);

// Four upper-case hexadecimal digits per code unit, each followed by Separator:
// "0041 00E5 " for messages, or with no separator the stored form of a setting.
std::string HexUnits(std::wstring_view Text, std::string_view Separator = " ");
// Two digits and a blank per byte: "EF BB BF ".
std::string HexBytes(std::string_view Bytes);
