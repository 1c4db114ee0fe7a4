#pragma once
// The two commands of quorvane-cli.
#include "cli/CliArguments.h"

#include <string>
#include <string_view>

int RunSearchCommand(const TCliOptions& Options);
int RunReplaceCommand(const TCliOptions& Options);

// The typed folder as a full path (a relative one taken from the current
// folder), with every name in it kept as typed, so that listed paths are full paths.
std::wstring AbsoluteFolder(std::wstring_view Typed);

// The JSON name of a resolved encoding (1 ANSI, 2 UTF-16 LE, 3 UTF-8), or null.
std::string JsonEncoding(std::int32_t ResolvedMode);
