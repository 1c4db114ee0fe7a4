#pragma once
// The language choice (Swedish or English) and the command-line switch test.
#include <string>
#include <string_view>

// True when an argument after the program name equals Switch, ignoring case.
bool HasSwitch(std::wstring_view Switch);
// The same test on a given command line (its first argument is the program name).
bool HasSwitchIn(std::wstring_view CommandLine, std::wstring_view Switch);
bool UseSwedish();
// The same choice for a given command line.
bool UseSwedishIn(std::wstring_view CommandLine);
std::wstring ChooseText(bool Flag, std::wstring_view First, std::wstring_view Second);
