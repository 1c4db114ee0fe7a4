#pragma once
// --pairs FILE: several replacements in one run, read from a UTF-8 file of lines
// "FIND<TAB>REPLACE" (see ReadPairLines), and checked before any file is read.
#include "base/TextRules.h"
#include "base/TextScanner.h"
#include "cli/CliArguments.h"

#include <optional>
#include <string>
#include <vector>

// Reads the file and checks every pair that can be checked without the folder:
// with Rule.Regex each find must be a pattern that compiles and each replacement
// may only name its groups. False with Error (naming the file and the line).
bool ReadPairsFile(const std::wstring& Path, bool Swedish, bool CaseSensitive, TFindRule Rule,
                   std::vector<TReplaceRule>& Pairs, std::wstring& Error);

// The input checks of search or replace (Apply) with each pair in place of the
// texts: the first problem's message (a pair's own names its line), or nothing.
std::optional<std::wstring> CheckPairInputs(const TCliOptions& Options, bool Apply);
