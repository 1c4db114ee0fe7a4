#pragma once
// The commands of quorvane-cli.
#include "cli/CliArguments.h"
#include "files/EncodingMode.h"

#include <string>
#include <string_view>

int RunSearchCommand(const TCliOptions& Options);
int RunReplaceCommand(const TCliOptions& Options);
// undo, and undo --list.
int RunUndoCommand(const TCliOptions& Options);

// The typed folder as a full path (a relative one taken from the current
// folder), with every name in it kept as typed, so that listed paths are full paths.
std::wstring AbsoluteFolder(std::wstring_view Typed);

// A FILE named in place of the folder is searched or changed alone: the run is
// then made on its folder, with its name for the only filter, no sub-folders and
// no exclusions. Other options are returned as they are.
TCliOptions TargetAsFolder(const TCliOptions& Options);

// The JSON name of the encoding a file was read in ("ansi", "utf8", "utf16le"), or null.
std::string JsonEncoding(TEncodingMode Mode);
