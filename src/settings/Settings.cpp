#include "settings/Settings.h"

#include "base/TextMatching.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

std::wstring SettingsFileOverride;

constexpr std::wstring_view HexDigits = L"0123456789ABCDEF";

// Position of C in HexDigits, or -1.
int DigitValue(wchar_t C) {
    size_t Position = HexDigits.find(C);
    return Position == std::wstring_view::npos ? -1 : static_cast<int>(Position);
}

// A pair with a character outside the sixteen digits gives the byte 0.
unsigned PairValue(wchar_t First, wchar_t Second) {
    int High = DigitValue(First), Low = DigitValue(Second);
    if (High < 0 || Low < 0) return 0;
    return static_cast<unsigned>(High * 16 + Low);
}

// The raw text of Key, or RawDefault. The value is read whole: the buffer starts
// at 2048 characters and doubles while the value fills it completely.
std::wstring ReadRawValue(std::wstring_view Section, std::wstring_view Key, std::wstring_view RawDefault) {
    const std::wstring File = SettingsFilePath();
    const std::wstring SectionText(Section), KeyText(Key), DefaultText(RawDefault);
    std::vector<wchar_t> Buffer(2048);
    for (;;) {
        DWORD Size = static_cast<DWORD>(Buffer.size());
        DWORD Length = GetPrivateProfileStringW(SectionText.c_str(), KeyText.c_str(), DefaultText.c_str(),
                                                Buffer.data(), Size, File.c_str());
        if (Length + 1 < Size || Size >= 0x10000000) return std::wstring(Buffer.data(), std::min(Length, Size - 1));
        Buffer.resize(Buffer.size() * 2);
    }
}

void WriteRawValue(std::wstring_view Section, std::wstring_view Key, const std::wstring& Value) {
    const std::wstring File = SettingsFilePath();
    // A refused write (read-only file or folder) is dropped: the old value stays.
    WritePrivateProfileStringW(std::wstring(Section).c_str(), std::wstring(Key).c_str(), Value.c_str(), File.c_str());
}

// Leading blanks, an optional sign, then decimal digits, or at most eight hex
// digits after "$", "x", "X", "0x" or "0X" taken as a 32-bit pattern. Anything
// else, no digit, or a decimal value outside the 32-bit range gives nothing.
std::optional<std::int32_t> ParseInteger(std::wstring_view Text) {
    size_t i = 0;
    while (i < Text.size() && Text[i] <= L' ') ++i;
    bool Negative = false;
    if (i < Text.size() && (Text[i] == L'+' || Text[i] == L'-')) Negative = Text[i++] == L'-';
    std::wstring_view Rest = Text.substr(i);
    bool Hex = false;
    if (!Rest.empty() && (Rest[0] == L'$' || Rest[0] == L'x' || Rest[0] == L'X')) {
        Rest.remove_prefix(1);
        Hex = true;
    } else if (Rest.size() >= 2 && Rest[0] == L'0' && (Rest[1] == L'x' || Rest[1] == L'X')) {
        Rest.remove_prefix(2);
        Hex = true;
    }
    if (Rest.empty()) return std::nullopt;
    std::uint64_t Value = 0;
    if (Hex) {
        if (Rest.size() > 8) return std::nullopt;
        for (wchar_t C : Rest) {
            int Digit = C >= L'a' && C <= L'f' ? C - L'a' + 10 : DigitValue(C);
            if (Digit < 0) return std::nullopt;
            Value = Value * 16 + static_cast<unsigned>(Digit);
        }
        std::uint32_t Pattern = static_cast<std::uint32_t>(Value);
        if (Negative) Pattern = 0u - Pattern;
        return static_cast<std::int32_t>(Pattern);
    }
    for (wchar_t C : Rest) {
        if (C < L'0' || C > L'9') return std::nullopt;
        Value = Value * 10 + static_cast<unsigned>(C - L'0');
        if (Value > 0x80000000ull) return std::nullopt;
    }
    if (!Negative && Value > 0x7FFFFFFFull) return std::nullopt;
    return static_cast<std::int32_t>(Negative ? -static_cast<std::int64_t>(Value) : static_cast<std::int64_t>(Value));
}

}  // namespace

std::wstring ExecutablePath() {
    std::vector<wchar_t> Buffer(261);
    for (;;) {
        DWORD Length = GetModuleFileNameW(nullptr, Buffer.data(), static_cast<DWORD>(Buffer.size()));
        if (Length == 0) return {};
        if (Length < Buffer.size()) return std::wstring(Buffer.data(), Length);
        if (Buffer.size() >= 0x8000) return {};
        Buffer.resize(Buffer.size() * 2);
    }
}

std::wstring SettingsFilePathFor(std::wstring_view ExecutablePath) {
    size_t Slash = ExecutablePath.rfind(L'\\');
    size_t Dot = ExecutablePath.rfind(L'.');
    std::wstring_view Stem = ExecutablePath;
    if (Dot != std::wstring_view::npos && (Slash == std::wstring_view::npos || Dot > Slash)) Stem = ExecutablePath.substr(0, Dot);
    return std::wstring(Stem) + L".INI";
}

std::wstring SettingsFilePath() {
    if (!SettingsFileOverride.empty()) return SettingsFileOverride;
    return SettingsFilePathFor(ExecutablePath());
}

void SetSettingsFilePathForTests(std::wstring_view Path) {
    SettingsFileOverride = Path;
}

std::wstring HexEncodeText(std::wstring_view Text) {
    std::wstring Result;
    Result.reserve(Text.size() * 4);
    for (wchar_t C : Text) {
        unsigned Unit = static_cast<unsigned>(C);
        for (int Shift = 12; Shift >= 0; Shift -= 4) Result.push_back(HexDigits[(Unit >> Shift) & 0xF]);
    }
    return Result;
}

std::wstring HexDecodeText(std::wstring_view Stored) {
    if (Stored.size() % 4 != 0) return {};
    std::wstring Result;
    Result.reserve(Stored.size() / 4);
    for (size_t i = 0; i < Stored.size(); i += 4) {
        std::wstring Group = UpperCaseLinguistic(Stored.substr(i, 4));
        unsigned High = PairValue(Group[0], Group[1]);
        unsigned Low = PairValue(Group[2], Group[3]);
        Result.push_back(static_cast<wchar_t>(High * 256 + Low));
    }
    return Result;
}

std::wstring ReadSettingString(std::wstring_view Section, std::wstring_view Key, std::wstring_view Default) {
    return HexDecodeText(ReadRawValue(Section, Key, HexEncodeText(Default)));
}

std::int32_t ReadSettingInteger(std::wstring_view Section, std::wstring_view Key, std::int32_t Default) {
    return ParseInteger(ReadRawValue(Section, Key, L"")).value_or(Default);
}

bool ReadSettingBool(std::wstring_view Section, std::wstring_view Key, bool Default) {
    return ReadSettingInteger(Section, Key, Default ? 1 : 0) != 0;
}

void WriteSettingString(std::wstring_view Section, std::wstring_view Key, std::wstring_view Value) {
    WriteRawValue(Section, Key, HexEncodeText(Value));
}

void WriteSettingBool(std::wstring_view Section, std::wstring_view Key, bool Value) {
    WriteRawValue(Section, Key, Value ? L"1" : L"0");
}

void WriteSettingInteger(std::wstring_view Section, std::wstring_view Key, std::int32_t Value) {
    WriteRawValue(Section, Key, std::to_wstring(Value));
}

std::optional<std::vector<std::wstring>> ReadSettingStringList(std::wstring_view Section, std::wstring_view Key) {
    const std::wstring Raw = ReadRawValue(Section, Key, L"");
    if (Raw.empty()) return std::nullopt;
    std::vector<std::wstring> Texts;
    size_t Start = 0;
    for (;;) {
        const size_t Comma = std::min(Raw.find(L',', Start), Raw.size());
        const std::wstring_view Item = std::wstring_view(Raw).substr(Start, Comma - Start);
        if (Item.empty() || Item.size() % 4 != 0) return std::nullopt;
        for (wchar_t C : Item)
            if (DigitValue(C) < 0 && !(C >= L'a' && C <= L'f')) return std::nullopt;
        std::wstring Text = HexDecodeText(Item);
        if (Text.find(L'\0') != std::wstring::npos) return std::nullopt;
        Texts.push_back(std::move(Text));
        if (Comma == Raw.size()) return Texts;
        Start = Comma + 1;
    }
}

void WriteSettingStringList(std::wstring_view Section, std::wstring_view Key, const std::vector<std::wstring>& Texts) {
    std::wstring Value;
    for (const std::wstring& Text : Texts) {
        if (!Value.empty()) Value += L',';
        Value += HexEncodeText(Text);
    }
    WriteRawValue(Section, Key, Value);
}
