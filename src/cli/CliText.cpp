#include "cli/CliText.h"

#include "base/UniqueHandle.h"
#include "files/LongPath.h"
#include "files/TextDecoding.h"

#include <windows.h>

namespace {

bool IsHighSurrogate(std::uint32_t Unit) { return Unit >= 0xD800 && Unit <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t Unit) { return Unit >= 0xDC00 && Unit <= 0xDFFF; }

void AppendCodePoint(std::uint32_t C, std::string& Out) {
    if (C < 0x80) {
        Out.push_back(static_cast<char>(C));
    } else if (C < 0x800) {
        Out.push_back(static_cast<char>(0xC0 | (C >> 6)));
        Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
    } else if (C < 0x10000) {
        Out.push_back(static_cast<char>(0xE0 | (C >> 12)));
        Out.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
        Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
    } else {
        Out.push_back(static_cast<char>(0xF0 | (C >> 18)));
        Out.push_back(static_cast<char>(0x80 | ((C >> 12) & 0x3F)));
        Out.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
        Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
    }
}

// The code point starting at Text[i] (a pair of surrogates counts as one); i is
// moved past it. A lone surrogate is returned as it stands.
std::uint32_t NextCodePoint(std::wstring_view Text, size_t& i) {
    const std::uint32_t Unit = static_cast<std::uint16_t>(Text[i++]);
    if (IsHighSurrogate(Unit) && i < Text.size()) {
        const std::uint32_t Low = static_cast<std::uint16_t>(Text[i]);
        if (IsLowSurrogate(Low)) {
            ++i;
            return 0x10000 + ((Unit - 0xD800) << 10) + (Low - 0xDC00);
        }
    }
    return Unit;
}

void AppendUnitEscape(std::uint32_t Unit, std::string& Out) {
    static const char Hex[] = "0123456789abcdef";
    Out += "\\u";
    for (int Shift = 12; Shift >= 0; Shift -= 4) Out.push_back(Hex[(Unit >> Shift) & 0xF]);
}

}  // namespace

std::string ToLosslessUtf8(std::wstring_view Text) {
    std::string Out;
    Out.reserve(Text.size());
    for (size_t i = 0; i < Text.size();) AppendCodePoint(NextCodePoint(Text, i), Out);
    return Out;
}

std::wstring FromLosslessUtf8(std::string_view Bytes) {
    std::wstring Out;
    Out.reserve(Bytes.size());
    size_t i = 0;
    auto Continuation = [&](size_t At) {
        return At < Bytes.size() && (static_cast<unsigned char>(Bytes[At]) & 0xC0) == 0x80;
    };
    while (i < Bytes.size()) {
        const auto Lead = static_cast<unsigned char>(Bytes[i]);
        std::uint32_t C = 0xFFFD;
        size_t Length = 1;
        if (Lead < 0x80) {
            C = Lead;
        } else if (Lead >= 0xC2 && Lead < 0xE0 && Continuation(i + 1)) {
            C = ((Lead & 0x1Fu) << 6) | (static_cast<unsigned char>(Bytes[i + 1]) & 0x3Fu);
            Length = 2;
        } else if (Lead >= 0xE0 && Lead < 0xF0 && Continuation(i + 1) && Continuation(i + 2)) {
            C = ((Lead & 0x0Fu) << 12) | ((static_cast<unsigned char>(Bytes[i + 1]) & 0x3Fu) << 6) |
                (static_cast<unsigned char>(Bytes[i + 2]) & 0x3Fu);
            Length = 3;
            if (C < 0x800) C = 0xFFFD;  // an overlong form is no character
        } else if (Lead >= 0xF0 && Lead < 0xF5 && Continuation(i + 1) && Continuation(i + 2) && Continuation(i + 3)) {
            C = ((Lead & 0x07u) << 18) | ((static_cast<unsigned char>(Bytes[i + 1]) & 0x3Fu) << 12) |
                ((static_cast<unsigned char>(Bytes[i + 2]) & 0x3Fu) << 6) |
                (static_cast<unsigned char>(Bytes[i + 3]) & 0x3Fu);
            Length = 4;
            if (C < 0x10000 || C > 0x10FFFF) C = 0xFFFD;
        }
        i += Length;
        if (C >= 0x10000) {
            Out.push_back(static_cast<wchar_t>(0xD800 + ((C - 0x10000) >> 10)));
            Out.push_back(static_cast<wchar_t>(0xDC00 + ((C - 0x10000) & 0x3FF)));
        } else {
            Out.push_back(static_cast<wchar_t>(C));
        }
    }
    return Out;
}

std::string JsonString(std::wstring_view Text) {
    std::string Out = "\"";
    Out.reserve(Text.size() + 2);
    for (size_t i = 0; i < Text.size();) {
        const std::uint32_t C = NextCodePoint(Text, i);
        switch (C) {
        case '"': Out += "\\\""; break;
        case '\\': Out += "\\\\"; break;
        case '\b': Out += "\\b"; break;
        case '\f': Out += "\\f"; break;
        case '\n': Out += "\\n"; break;
        case '\r': Out += "\\r"; break;
        case '\t': Out += "\\t"; break;
        default:
            if (C < 0x20 || (C >= 0xD800 && C <= 0xDFFF))
                AppendUnitEscape(C, Out);
            else
                AppendCodePoint(C, Out);
        }
    }
    Out += '"';
    return Out;
}

std::wstring PlainCount(std::int64_t Value) {
    return std::to_wstring(Value);
}

std::string ToUtf8(std::wstring_view Text) {
    if (Text.empty()) return {};
    const int Length =
        WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0, nullptr, nullptr);
    std::string Bytes(static_cast<size_t>(Length > 0 ? Length : 0), '\0');
    if (Length > 0)
        WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Bytes.data(), Length, nullptr,
                            nullptr);
    return Bytes;
}

std::vector<std::wstring> ReadUtf8Lines(const std::wstring& Path, TListFileFault& Fault) {
    Fault = TListFileFault::Unreadable;
    UniqueFile File(CreateFileW(ExtendedPath(Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER Size{};
    // A list of globs or pairs is small; a larger file is not one.
    constexpr LONGLONG Most = 64ll << 20;
    if (!File || !GetFileSizeEx(File.Get(), &Size) || Size.QuadPart > Most) return {};
    std::string Bytes(static_cast<size_t>(Size.QuadPart), '\0');
    DWORD Read = 0;
    if (!Bytes.empty() && (!ReadFile(File.Get(), Bytes.data(), static_cast<DWORD>(Bytes.size()), &Read, nullptr) ||
                           Read != Bytes.size()))
        return {};
    std::string_view View = Bytes;
    if (View.substr(0, 3) == "\xEF\xBB\xBF") View.remove_prefix(3);
    std::wstring Text;
    if (!DecodeUtf8Strict(View, Text)) {
        Fault = TListFileFault::NotUtf8;
        return {};
    }
    Fault = TListFileFault::None;
    std::vector<std::wstring> Lines;
    size_t Start = 0;
    while (Start < Text.size()) {
        size_t End = Text.find(L'\n', Start);
        if (End == std::wstring::npos) End = Text.size();
        size_t Length = End - Start;
        if (Length > 0 && Text[End - 1] == L'\r') --Length;
        Lines.push_back(Text.substr(Start, Length));
        Start = End + 1;
    }
    return Lines;
}
