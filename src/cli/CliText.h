#pragma once
// Text conversions of the command line: arguments between UTF-16 and the byte
// strings the argument parser works on, and the JSON form of a string.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// UTF-16 to UTF-8 that keeps every code unit: a lone surrogate becomes its own
// three-byte sequence (the generalised form of UTF-8), so a name that is not
// valid UTF-16 survives the round trip through FromLosslessUtf8 unchanged.
std::string ToLosslessUtf8(std::wstring_view Text);
std::wstring FromLosslessUtf8(std::string_view Bytes);

// UTF-16 as UTF-8 for a file or pipe; a lone surrogate becomes U+FFFD, as a
// reader of text expects valid UTF-8.
std::string ToUtf8(std::wstring_view Text);

// Text as a JSON string literal, quotes included: the characters JSON requires
// escaped ("\\", "\"", control characters) and nothing else; a lone surrogate
// is written as its \uXXXX escape, since UTF-8 cannot carry it.
std::string JsonString(std::wstring_view Text);

// A count as plain digits, whatever the user's locale.
std::wstring PlainCount(std::int64_t Value);

// The lines of a UTF-8 text file that an option names (--exclude-from,
// --pairs): a byte-order mark dropped, CR LF or LF ends a line. Nothing when
// the file cannot be read (Unreadable) or is not valid UTF-8.
enum class TListFileFault { None, Unreadable, NotUtf8 };
std::vector<std::wstring> ReadUtf8Lines(const std::wstring& Path, TListFileFault& Fault);
