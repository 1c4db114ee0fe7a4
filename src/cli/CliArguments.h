#pragma once
// The command line of quorvane-cli: what the user asked for, read from the
// arguments after the program name.
#include "base/TextRules.h"
#include "base/TextScanner.h"
#include "files/EncodingMode.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TCliCommand { None, Search, Replace, Undo };

struct TCliOptions {
    TCliCommand Command = TCliCommand::None;
    std::wstring Folder;
    std::wstring Filters = L"*.TXT";  // already in the engine's form: masks joined with "; "
    std::wstring TextToFind;
    std::wstring ReplaceWith;
    // --pairs: several pairs applied in order, in place of --find and --replace.
    std::wstring PairsFile;
    std::vector<TReplaceRule> Pairs;
    bool HasFind = false;
    bool HasReplace = false;
    bool Recursive = false;
    bool CaseSensitive = true;
    bool Regex = false;      // --regex: TextToFind is a pattern, ReplaceWith may name its groups
    bool WholeWord = false;  // --word: occurrences stand as whole words
    TEncodingMode TextEncoding = TEncodingMode::Auto;
    bool Json = false;
    bool CountOnly = false;
    bool Verbose = false;
    bool DryRun = false;
    bool Lines = false;      // each occurrence in its line
    bool Diff = false;       // replace --dry-run: a unified diff of the files that would change
    std::int64_t Context = -1;  // --context: lines around each match or change (-1: not given)
    bool NoProgress = false;
    bool NoVcsSkip = false;  // enter .git, .svn, .hg, _darcs and .bzr folders too
    std::vector<std::wstring> Excludes;  // --exclude and --exclude-from globs
    bool FilesWithMatches = false;  // search -l: the paths alone
    bool Null = false;              // search -l -0: each path ends with NUL instead of a line end
    bool List = false;  // undo --list
    bool Help = false;
    bool Version = false;
    bool Swedish = false;  // the language of every text the program prints
};

// The scanner rule the options ask for.
inline TFindRule RuleOf(const TCliOptions& Options) { return {Options.Regex, Options.WholeWord}; }

// Reads Arguments (without the program name). LocaleSwedish is the language
// when no switch chooses one. On a fault, Error holds the message (in the
// language chosen so far) and the result is false; Options.Swedish is set either way.
bool ParseCliArguments(const std::vector<std::wstring>& Arguments, bool LocaleSwedish, TCliOptions& Options,
                       std::wstring& Error);

// The arguments of this process after the program name.
std::vector<std::wstring> CommandLineArguments();

// The masks of every --filters value, split on ";" with the blanks around each
// mask trimmed and empty masks dropped, joined with "; " as the engine splits them.
std::wstring JoinFilterMasks(const std::vector<std::wstring>& Values);
// The same masks (or globs) one by one.
std::vector<std::wstring> SplitMaskValues(const std::vector<std::wstring>& Values);

// An --encoding value, without regard to case: auto, ansi, utf8 (utf-8),
// utf16le (utf16, utf-16le). Nothing for any other name.
std::optional<TEncodingMode> EncodingFromName(std::wstring_view Name);
// The name --json and --encoding use for a concrete encoding: ansi, utf16le, utf8.
std::wstring EncodingName(TEncodingMode Mode);
