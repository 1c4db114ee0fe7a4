#pragma once
// The settings file as the tests read it back: its lines, their key names and
// the value of one key.
#include <string>
#include <string_view>
#include <vector>

// The lines of Bytes (CR LF or LF), without their line breaks; empty lines are dropped.
std::vector<std::string> SettingsLines(std::string_view Bytes);
// The part of each line before "=" ("[Main]" stays as it is), in order.
std::vector<std::string> KeysOf(const std::vector<std::string>& Lines);
// What follows "Key=" on the first line that starts so, or "<missing>".
std::string ValueOf(const std::vector<std::string>& Lines, const std::string& Key);
