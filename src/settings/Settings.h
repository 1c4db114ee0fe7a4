#pragma once
// The settings file beside the executable (its extension replaced by ".INI").
#include <cstdint>
#include <string>
#include <optional>
#include <string_view>
#include <vector>

std::wstring ExecutablePath();
std::wstring SettingsFilePath();
// The settings file that belongs to an executable at ExecutablePath.
std::wstring SettingsFilePathFor(std::wstring_view ExecutablePath);
// Points every read and write at Path instead; an empty Path goes back to the
// file beside the executable. For tests only.
void SetSettingsFilePathForTests(std::wstring_view Path);
std::wstring HexEncodeText(std::wstring_view Text);
std::wstring HexDecodeText(std::wstring_view Stored);
std::wstring ReadSettingString(std::wstring_view Section, std::wstring_view Key, std::wstring_view Default);
bool ReadSettingBool(std::wstring_view Section, std::wstring_view Key, bool Default);
std::int32_t ReadSettingInteger(std::wstring_view Section, std::wstring_view Key, std::int32_t Default);
void WriteSettingString(std::wstring_view Section, std::wstring_view Key, std::wstring_view Value);
void WriteSettingBool(std::wstring_view Section, std::wstring_view Key, bool Value);
void WriteSettingInteger(std::wstring_view Section, std::wstring_view Key, std::int32_t Value);
// A list of texts: each text hex-encoded as a string is, the texts separated by
// commas. Nothing for a missing key, and nothing for a damaged value (an empty
// item, or one that is not whole groups of four hex digits, or that holds a NUL).
std::optional<std::vector<std::wstring>> ReadSettingStringList(std::wstring_view Section, std::wstring_view Key);
void WriteSettingStringList(std::wstring_view Section, std::wstring_view Key, const std::vector<std::wstring>& Texts);
