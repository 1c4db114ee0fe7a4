#include "TextBytes.h"

#include <windows.h>

#include <cstdio>

std::string AnsiMark() {
    return GetACP() == CP_UTF8 ? Utf8Bom : std::string();
}

std::wstring Wide(std::string_view Utf8) {
    if (Utf8.empty()) return {};
    int Length = MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), static_cast<int>(Utf8.size()), nullptr, 0);
    std::wstring Result(static_cast<size_t>(Length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), static_cast<int>(Utf8.size()), Result.data(), Length);
    return Result;
}

std::string Narrow(std::wstring_view Text) {
    if (Text.empty()) return {};
    int Length = WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::string Result(static_cast<size_t>(Length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Result.data(), Length, nullptr,
                        nullptr);
    return Result;
}

std::string Utf16WithBom(std::wstring_view Text) {
    std::string Bytes = Utf16Bom;
    for (wchar_t Unit : Text) {
        Bytes += static_cast<char>(Unit & 0xFF);
        Bytes += static_cast<char>((Unit >> 8) & 0xFF);
    }
    return Bytes;
}

std::wstring FromUtf16LE(std::string_view Bytes) {
    std::wstring Text;
    Text.reserve(Bytes.size() / 2);
    for (size_t I = 0; I + 1 < Bytes.size(); I += 2)
        Text += static_cast<wchar_t>(static_cast<unsigned char>(Bytes[I]) |
                                     (static_cast<unsigned char>(Bytes[I + 1]) << 8));
    return Text;
}

std::wstring AnsiText(std::string_view Bytes) {
    if (Bytes.empty()) return {};
    int Length = MultiByteToWideChar(CP_ACP, 0, Bytes.data(), static_cast<int>(Bytes.size()), nullptr, 0);
    std::wstring Text(static_cast<size_t>(Length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, Bytes.data(), static_cast<int>(Bytes.size()), Text.data(), Length);
    return Text;
}

std::wstring UpperCased(std::wstring_view Text) {
    std::wstring Result(Text);
    if (!Result.empty()) CharUpperBuffW(Result.data(), static_cast<DWORD>(Result.size()));
    return Result;
}

std::string HexUnits(std::wstring_view Text, std::string_view Separator) {
    std::string Result;
    char Digits[8];
    for (wchar_t Unit : Text) {
        std::snprintf(Digits, sizeof Digits, "%04X", static_cast<unsigned>(Unit));
        Result += Digits;
        Result += Separator;
    }
    return Result;
}

std::string HexBytes(std::string_view Bytes) {
    static const char Digits[] = "0123456789ABCDEF";
    std::string Result;
    for (unsigned char B : Bytes) {
        Result += Digits[B >> 4];
        Result += Digits[B & 15];
        Result += ' ';
    }
    return Result;
}
