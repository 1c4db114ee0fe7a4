#include "settings/SettingsCatalogue.h"

#include "settings/Settings.h"

#include <algorithm>

namespace {

constexpr std::wstring_view Section = L"Main";

std::vector<std::wstring> ReadHistory(std::wstring_view Key) {
    std::vector<std::wstring> History;
    for (std::wstring& Text : ReadSettingStringList(Section, Key).value_or(std::vector<std::wstring>{})) {
        if (History.size() == TextHistoryLength) break;
        if (Text.empty() || std::find(History.begin(), History.end(), Text) != History.end()) continue;
        History.push_back(std::move(Text));
    }
    return History;
}

// Left, Top, Width and Height, each after Prefix.
TWindowBounds ReadBounds(std::wstring_view Prefix, const TWindowBounds& Defaults) {
    const std::wstring Key(Prefix);
    TWindowBounds Bounds;
    Bounds.Left = ReadSettingInteger(Section, Key + L"Left", Defaults.Left);
    Bounds.Top = ReadSettingInteger(Section, Key + L"Top", Defaults.Top);
    Bounds.Width = ReadSettingInteger(Section, Key + L"Width", Defaults.Width);
    Bounds.Height = ReadSettingInteger(Section, Key + L"Height", Defaults.Height);
    return Bounds;
}

void WriteBounds(std::wstring_view Prefix, const TWindowBounds& Bounds) {
    const std::wstring Key(Prefix);
    WriteSettingInteger(Section, Key + L"Left", Bounds.Left);
    WriteSettingInteger(Section, Key + L"Top", Bounds.Top);
    WriteSettingInteger(Section, Key + L"Width", Bounds.Width);
    WriteSettingInteger(Section, Key + L"Height", Bounds.Height);
}

}  // namespace

TMainSettings ReadMainSettings(const TMainSettings& Defaults) {
    TMainSettings Settings;
    Settings.Folder = ReadSettingString(Section, L"Folder", Defaults.Folder);
    Settings.Recursive = ReadSettingBool(Section, L"Recursive", Defaults.Recursive);
    Settings.Filters = ReadSettingString(Section, L"Filters", Defaults.Filters);
    Settings.CaseSensitive = ReadSettingBool(Section, L"CaseSensitive", Defaults.CaseSensitive);
    Settings.Editor = ReadSettingString(Section, L"Editor", Defaults.Editor);
    Settings.TextEncoding = ReadSettingInteger(Section, L"TextEncoding", Defaults.TextEncoding);
    return Settings;
}

TWindowBounds ReadWindowBounds(const TWindowBounds& Defaults) { return ReadBounds(L"", Defaults); }

TWindowBounds ReadReviewBounds(const TWindowBounds& Defaults) { return ReadBounds(L"Review", Defaults); }

void WriteReviewBounds(const TWindowBounds& Bounds) { WriteBounds(L"Review", Bounds); }

bool ReadMaximized() {
    return ReadSettingBool(Section, L"Maximized", false);
}

void WriteMainSettings(const TMainSettings& Settings) {
    WriteSettingString(Section, L"Folder", Settings.Folder);
    WriteSettingBool(Section, L"Recursive", Settings.Recursive);
    WriteSettingString(Section, L"Filters", Settings.Filters);
    WriteSettingBool(Section, L"CaseSensitive", Settings.CaseSensitive);
    WriteSettingString(Section, L"Editor", Settings.Editor);
    WriteSettingInteger(Section, L"TextEncoding", Settings.TextEncoding);
}

// A maximized window keeps the stored normal rectangle of an earlier shut-down,
// so the next start places it there before maximizing it.
void WriteWindowState(bool Maximized, const TWindowBounds& Bounds) {
    if (!Maximized) WriteBounds(L"", Bounds);
    WriteSettingBool(Section, L"Maximized", Maximized);
}

TTextHistory ReadTextHistory() { return TTextHistory{ReadHistory(L"FindHistory"), ReadHistory(L"ReplaceHistory")}; }

void WriteTextHistory(const TTextHistory& History) {
    if (!History.Find.empty()) WriteSettingStringList(Section, L"FindHistory", History.Find);
    if (!History.Replace.empty()) WriteSettingStringList(Section, L"ReplaceHistory", History.Replace);
}
