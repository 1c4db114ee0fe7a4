#pragma once
// Writing a whole text into a file without ever overwriting the old content in
// place: the old file is renamed to a free TEMP-N.TMP in its folder, the new file
// is written and flushed under the target's name, and only then is the old
// content deleted. When the new file cannot be created or written, what was
// written is removed and the old file gets its name back.
#include <cstdint>
#include <string>
#include <string_view>

// Pattern with every "?" replaced by the smallest number N >= First for which no
// file of that name exists (a folder of that name does not count).
std::wstring MakeUniqueFileName(const std::wstring& Pattern, std::int32_t First);

// The mark written at the start of a file in Encoding (1 ANSI, 2 UTF-16 LE,
// 3 UTF-8, anything else UTF-8): EF BB BF for UTF-8 and for ANSI when the ANSI
// code page is 65001, FF FE for UTF-16 LE, nothing for other ANSI code pages.
std::string EncodingMark(std::int32_t Encoding);

// Text as the bytes of Encoding, without the mark. False when the encoding cannot
// hold the text exactly: a character the ANSI code page lacks (no best-fit or
// default character is ever accepted) or an unpaired surrogate in UTF-8. UTF-16 LE
// takes the code units as they stand and always succeeds.
bool EncodeText(std::wstring_view Text, std::int32_t Encoding, std::string& Bytes);

// Writes the encoding's mark and Text to FileName (a full path). True when the new
// content is completely written and flushed under FileName. False when nothing
// changed: the file keeps its name and old content (or does not exist, if it did
// not before). Should the file system also refuse putting the old file back, its
// content stays complete in the TEMP-N.TMP beside it.
bool WriteTextFile(const std::wstring& FileName, std::wstring_view Text, std::int32_t Encoding);
