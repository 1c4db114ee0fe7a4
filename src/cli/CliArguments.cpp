#include "cli/CliArguments.h"

#include "base/TextMatching.h"
#include "base/TextPattern.h"
#include "cli/CliMessages.h"
#include "cli/CliPairs.h"
#include "cli/CliText.h"

#include <CLI/CLI.hpp>
#include <windows.h>
#include <shellapi.h>

namespace {

// The options that take a value; every other option is a flag.
bool TakesValue(std::string_view LongName) {
    return LongName == "--find" || LongName == "--replace" || LongName == "--filters" || LongName == "--encoding" ||
           LongName == "--context" || LongName == "--exclude" || LongName == "--exclude-from" ||
           LongName == "--pairs";
}

// Whether a cluster of short options such as "-re" ends in an option whose value
// is the next argument (in "-reutf8" the value is part of the cluster).
bool ClusterTakesNext(std::string_view Cluster) {
    for (size_t i = 1; i < Cluster.size(); ++i) {
        const char Letter = Cluster[i];
        if (Letter == 'e' || Letter == 'f' || Letter == 'C') return i + 1 == Cluster.size();
        if (std::string_view("rivnhVxwl0").find(Letter) == std::string_view::npos) return false;  // not ours
    }
    return false;
}

// "--name=" with nothing after the sign means an empty value; the parser would
// take the next argument instead, so it is handed over as "--name" and "". An
// argument that is the value of the option before it is left as it is.
std::vector<std::string> SplitEmptyAssignments(const std::vector<std::string>& Arguments) {
    std::vector<std::string> Result;
    bool NextIsValue = false, OnlyPositionals = false;
    for (const std::string& Argument : Arguments) {
        if (NextIsValue || OnlyPositionals) {
            NextIsValue = false;
            Result.push_back(Argument);
            continue;
        }
        if (Argument == "--") {
            OnlyPositionals = true;
        } else if (Argument.size() > 3 && Argument.compare(0, 2, "--") == 0 && Argument.back() == '=' &&
                   Argument.find('=') == Argument.size() - 1) {
            Result.push_back(Argument.substr(0, Argument.size() - 1));
            Result.emplace_back();
            continue;
        } else if (TakesValue(Argument)) {
            NextIsValue = true;
        } else if (Argument.size() >= 2 && Argument[0] == '-' && Argument[1] != '-') {
            NextIsValue = ClusterTakesNext(Argument);
        }
        Result.push_back(Argument);
    }
    return Result;
}

// The option a parse error is about: the first word of its message that starts with "-".
std::wstring OptionInMessage(const std::string& Message) {
    size_t Start = 0;
    while (Start < Message.size()) {
        size_t End = Message.find_first_of(" :=", Start);
        if (End == std::string::npos) End = Message.size();
        if (End > Start + 1 && Message[Start] == '-') return FromLosslessUtf8(Message.substr(Start, End - Start));
        Start = End + 1;
    }
    return {};
}

bool IsSwitch(std::wstring_view Argument, std::wstring_view Switch) {
    return UpperCaseLinguistic(Argument) == UpperCaseLinguistic(Switch);
}

// /SWEDISH and /ENGLISH among the arguments that are no option's value; both or
// neither leave the choice to the locale.
bool ChooseSwedish(const std::vector<std::wstring>& Positionals, bool LocaleSwedish) {
    bool Swedish = false, English = false;
    for (const std::wstring& Argument : Positionals) {
        Swedish = Swedish || IsSwitch(Argument, L"/SWEDISH");
        English = English || IsSwitch(Argument, L"/ENGLISH");
    }
    if (Swedish != English) return Swedish;
    return LocaleSwedish;
}

// A --context value: a count of lines in plain digits.
std::optional<std::int64_t> ContextLines(const std::string& Value) {
    constexpr std::int64_t Most = 1'000'000'000;
    if (Value.empty() || Value.size() > 10) return std::nullopt;
    std::int64_t Lines = 0;
    for (const char Digit : Value) {
        if (Digit < '0' || Digit > '9') return std::nullopt;
        Lines = Lines * 10 + (Digit - '0');
    }
    if (Lines > Most) return std::nullopt;
    return Lines;
}

}  // namespace

std::vector<std::wstring> CommandLineArguments() {
    std::vector<std::wstring> Arguments;
    int Count = 0;
    LPWSTR* List = CommandLineToArgvW(GetCommandLineW(), &Count);
    if (!List) return Arguments;
    for (int i = 1; i < Count; ++i) Arguments.emplace_back(List[i]);
    LocalFree(List);
    return Arguments;
}

std::vector<std::wstring> SplitMaskValues(const std::vector<std::wstring>& Values) {
    std::vector<std::wstring> Masks;
    for (const std::wstring& Value : Values) {
        size_t Start = 0;
        while (Start <= Value.size()) {
            size_t End = Value.find(L';', Start);
            if (End == std::wstring::npos) End = Value.size();
            size_t First = Value.find_first_not_of(L" \t", Start);
            size_t Last = Value.find_last_not_of(L" \t", End == 0 ? 0 : End - 1);
            if (First != std::wstring::npos && First < End && Last != std::wstring::npos && Last >= First)
                Masks.push_back(Value.substr(First, Last - First + 1));
            Start = End + 1;
        }
    }
    return Masks;
}

std::wstring JoinFilterMasks(const std::vector<std::wstring>& Values) {
    std::wstring Joined;
    for (const std::wstring& Mask : SplitMaskValues(Values)) {
        if (!Joined.empty()) Joined += L"; ";
        Joined += Mask;
    }
    return Joined;
}

std::optional<TEncodingMode> EncodingFromName(std::wstring_view Name) {
    std::wstring Lower;
    for (wchar_t C : Name) Lower.push_back(C >= L'A' && C <= L'Z' ? static_cast<wchar_t>(C - L'A' + L'a') : C);
    if (Lower == L"auto") return TEncodingMode::Auto;
    if (Lower == L"ansi") return TEncodingMode::Ansi;
    if (Lower == L"utf8" || Lower == L"utf-8") return TEncodingMode::Utf8;
    if (Lower == L"utf16le" || Lower == L"utf16" || Lower == L"utf-16le") return TEncodingMode::Utf16LE;
    return std::nullopt;
}

std::wstring EncodingName(TEncodingMode Mode) {
    switch (Mode) {
    case TEncodingMode::Ansi: return L"ansi";
    case TEncodingMode::Utf16LE: return L"utf16le";
    case TEncodingMode::Utf8: return L"utf8";
    case TEncodingMode::Auto: return L"auto";
    }
    return {};
}

bool ParseCliArguments(const std::vector<std::wstring>& Arguments, bool LocaleSwedish, TCliOptions& Options,
                       std::wstring& Error) {
    std::vector<std::string> Utf8Arguments;
    for (const std::wstring& Argument : Arguments) Utf8Arguments.push_back(ToLosslessUtf8(Argument));
    Utf8Arguments = SplitEmptyAssignments(Utf8Arguments);

    std::vector<std::string> Positionals, Filters, Excludes, ExcludeFiles;
    std::string Find, Replacement, Encoding, Context, PairsFile;
    CLI::App Parser;
    Parser.allow_windows_style_options(false);  // "/SWEDISH" is an argument, not an option
    Parser.allow_extras();                      // unknown options are named below, in the user's language
    Parser.set_help_flag();
    Parser.add_option("arguments", Positionals);
    CLI::Option* FindOption =
        Parser.add_option("--find", Find)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    CLI::Option* ReplaceOption =
        Parser.add_option("--replace", Replacement)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    CLI::Option* PairsOption =
        Parser.add_option("--pairs", PairsFile)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    CLI::Option* FiltersOption =
        Parser.add_option("-f,--filters", Filters)
            ->allow_extra_args(false)  // one value per --filters; what follows is the next argument
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    CLI::Option* ExcludeOption = Parser.add_option("--exclude", Excludes)
                                     ->allow_extra_args(false)
                                     ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    CLI::Option* ExcludeFromOption = Parser.add_option("--exclude-from", ExcludeFiles)
                                         ->allow_extra_args(false)
                                         ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    CLI::Option* EncodingOption =
        Parser.add_option("-e,--encoding", Encoding)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    CLI::Option* ContextOption =
        Parser.add_option("-C,--context", Context)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    bool IgnoreCase = false, ShortN = false;
    Parser.add_flag("-r,--recursive", Options.Recursive);
    Parser.add_flag("-i,--ignore-case", IgnoreCase);
    Parser.add_flag("-x,--regex", Options.Regex);
    Parser.add_flag("-w,--word", Options.WholeWord);
    Parser.add_flag("--json", Options.Json);
    Parser.add_flag("--count-only", Options.CountOnly);
    Parser.add_flag("-v,--verbose", Options.Verbose);
    // -n is --lines for search and --dry-run for replace: decided once the command is known.
    Parser.add_flag("-n", ShortN);
    Parser.add_flag("--dry-run", Options.DryRun);
    Parser.add_flag("--lines", Options.Lines);
    Parser.add_flag("--diff", Options.Diff);
    Parser.add_flag("--no-progress", Options.NoProgress);
    Parser.add_flag("--no-vcs-skip", Options.NoVcsSkip);
    Parser.add_flag("--list", Options.List);
    Parser.add_flag("-l,--files-with-matches", Options.FilesWithMatches);
    Parser.add_flag("-0,--null", Options.Null);
    Parser.add_flag("-h,--help", Options.Help);
    Parser.add_flag("-V,--version", Options.Version);

    // The arguments go to the parser in reverse order: it takes them from the back.
    std::vector<std::string> Reversed(Utf8Arguments.rbegin(), Utf8Arguments.rend());
    enum class TFault { None, NeedsValue, BadValue } Fault = TFault::None;
    std::wstring FaultOption;
    try {
        Parser.parse(Reversed);
    } catch (const CLI::ArgumentMismatch& Problem) {
        Fault = TFault::NeedsValue;  // an option that takes a value came last
        FaultOption = OptionInMessage(Problem.what());
    } catch (const CLI::ParseError& Problem) {
        Fault = TFault::BadValue;  // such as --recursive=maybe
        FaultOption = OptionInMessage(Problem.what());
    }

    std::vector<std::wstring> Words;
    for (const std::string& Positional : Positionals) Words.push_back(FromLosslessUtf8(Positional));
    // After a fault the parser may have stopped early: the language then comes from
    // the arguments as they stand, as the window reads them.
    const bool Swedish = Options.Swedish = ChooseSwedish(Fault == TFault::None ? Words : Arguments, LocaleSwedish);
    if (Fault != TFault::None) {
        Error = Fault == TFault::NeedsValue ? MsgOptionNeedsValue(Swedish, FaultOption)
                                            : MsgOptionBadValue(Swedish, FaultOption);
        return false;
    }

    for (const std::string& Unknown : Parser.remaining()) {
        if (Unknown == "--") continue;  // the end of the options, kept by the parser among the extras
        Error = MsgUnknownOption(Swedish, FromLosslessUtf8(Unknown));
        return false;
    }
    Options.CaseSensitive = !IgnoreCase;
    std::vector<std::wstring> Rest;
    for (const std::wstring& Word : Words) {
        if (Word == L"/?") {
            Options.Help = true;
        } else if (!IsSwitch(Word, L"/SWEDISH") && !IsSwitch(Word, L"/ENGLISH")) {
            Rest.push_back(Word);
        }
    }
    if (Options.Help || Options.Version) return true;

    if (EncodingOption->count() > 0) {
        const std::wstring Name = FromLosslessUtf8(Encoding);
        std::optional<TEncodingMode> Mode = EncodingFromName(Name);
        if (!Mode) {
            Error = MsgUnknownEncoding(Swedish, Name);
            return false;
        }
        Options.TextEncoding = *Mode;
    }
    if (FiltersOption->count() > 0) {
        std::vector<std::wstring> Values;
        for (const std::string& Value : Filters) Values.push_back(FromLosslessUtf8(Value));
        Options.Filters = JoinFilterMasks(Values);
    }
    Options.HasFind = FindOption->count() > 0;
    Options.TextToFind = FromLosslessUtf8(Find);
    Options.HasReplace = ReplaceOption->count() > 0;
    Options.ReplaceWith = FromLosslessUtf8(Replacement);

    if (Rest.empty()) {
        Error = MsgNameACommand(Swedish);
        return false;
    }
    if (Rest[0] == L"search") {
        Options.Command = TCliCommand::Search;
    } else if (Rest[0] == L"replace") {
        Options.Command = TCliCommand::Replace;
    } else if (Rest[0] == L"undo") {
        Options.Command = TCliCommand::Undo;
    } else {
        Error = MsgUnknownCommand(Swedish, Rest[0]);
        return false;
    }
    if (ShortN) (Options.Command == TCliCommand::Search ? Options.Lines : Options.DryRun) = true;
    if (Options.Command == TCliCommand::Undo) {
        // The journal says what to undo: no folder, no texts, no options of a run.
        if (Rest.size() > 1) {
            Error = MsgUndoTakesNoArgument(Swedish, Rest[1]);
            return false;
        }
        for (auto [Given, Name] : {std::pair{Options.HasFind, L"--find"}, std::pair{Options.HasReplace, L"--replace"},
                                   std::pair{PairsOption->count() > 0, L"--pairs"},
                                   std::pair{FiltersOption->count() > 0, L"--filters"},
                                   std::pair{EncodingOption->count() > 0, L"--encoding"},
                                   std::pair{Options.Recursive, L"--recursive"}, std::pair{IgnoreCase, L"--ignore-case"},
                                   std::pair{Options.Regex, L"--regex"}, std::pair{Options.WholeWord, L"--word"},
                                   std::pair{Options.Json, L"--json"}, std::pair{Options.CountOnly, L"--count-only"},
                                   std::pair{Options.DryRun, L"--dry-run"}, std::pair{Options.Verbose, L"--verbose"},
                                   std::pair{Options.NoVcsSkip, L"--no-vcs-skip"}, std::pair{Options.Lines, L"--lines"},
                                   std::pair{Options.Diff, L"--diff"},
                                   std::pair{ContextOption->count() > 0, L"--context"},
                                   std::pair{ExcludeOption->count() > 0, L"--exclude"},
                                   std::pair{Options.FilesWithMatches, L"--files-with-matches"},
                                   std::pair{Options.Null, L"--null"},
                                   std::pair{ExcludeFromOption->count() > 0, L"--exclude-from"}}) {
            if (Given) {
                Error = MsgNotForUndo(Swedish, Name);
                return false;
            }
        }
        return true;
    }
    if (Options.List) {
        Error = MsgBelongsToUndo(Swedish, L"--list");
        return false;
    }
    if (Rest.size() != 2) {
        Error = Rest.size() < 2 ? MsgNameAFolder(Swedish) : MsgUnexpectedArgument(Swedish, Rest[2]);
        return false;
    }
    if (ContextOption->count() > 0) {
        const std::optional<std::int64_t> Lines = ContextLines(Context);
        if (!Lines) {
            Error = MsgOptionBadValue(Swedish, L"--context");
            return false;
        }
        Options.Context = *Lines;
        // Context belongs to lines, as in grep, unless it shapes a diff.
        if (!Options.Diff) Options.Lines = true;
    }
    Options.Folder = Rest[1];
    {
        std::vector<std::wstring> Values;
        for (const std::string& Value : Excludes) Values.push_back(FromLosslessUtf8(Value));
        for (const std::string& Value : ExcludeFiles) {
            const std::wstring Path = FromLosslessUtf8(Value);
            TListFileFault ListFault = TListFileFault::None;
            std::vector<std::wstring> Lines = ReadUtf8Lines(Path, ListFault);
            if (ListFault != TListFileFault::None) {
                Error = MsgListFileFault(Swedish, L"--exclude-from", Path, ListFault == TListFileFault::NotUtf8);
                return false;
            }
            // One glob a line, taken whole: a ";" in a line is part of a name.
            for (std::wstring& Line : Lines) {
                const size_t First = Line.find_first_not_of(L" \t");
                if (First == std::wstring::npos) continue;
                Line.erase(Line.find_last_not_of(L" \t") + 1);
                Options.Excludes.push_back(Line.substr(First));
            }
        }
        for (std::wstring& Glob : SplitMaskValues(Values)) Options.Excludes.push_back(std::move(Glob));
    }
    auto Given = [&](std::wstring_view Name) {
        return Name == L"--count-only"           ? Options.CountOnly
               : Name == L"--files-with-matches" ? Options.FilesWithMatches
               : Name == L"--verbose"  ? Options.Verbose
               : Name == L"--json"     ? Options.Json
               : Name == L"--lines"    ? Options.Lines
                                       : Options.Diff;
    };
    const bool Replace = Options.Command == TCliCommand::Replace;
    const bool Pairs = PairsOption->count() > 0;
    for (auto [Given, Name] : {std::pair{Options.HasFind, L"--find"}, std::pair{Options.HasReplace, L"--replace"}}) {
        if (Pairs && Given) {
            Error = MsgOptionsExcludeEachOther(Swedish, L"--pairs", Name);
            return false;
        }
    }
    if (!Options.HasFind && !Pairs) {
        Error = MsgFindMissing(Swedish, Replace);
        return false;
    }
    if (Replace && !Options.HasReplace && !Pairs) {
        Error = MsgReplaceMissing(Swedish);
        return false;
    }
    if (!Replace) {
        for (auto [Given, Name] : {std::pair{Options.HasReplace, L"--replace"}, std::pair{Options.DryRun, L"--dry-run"},
                                   std::pair{Options.Diff, L"--diff"}}) {
            if (Given) {
                Error = MsgBelongsToReplace(Swedish, Name);
                return false;
            }
        }
    }
    if (Replace) {
        for (auto [Given, Name] : {std::pair{Options.FilesWithMatches, L"--files-with-matches"},
                                   std::pair{Options.Null, L"--null"}}) {
            if (Given) {
                Error = MsgBelongsToSearch(Swedish, Name);
                return false;
            }
        }
    }
    if (Options.Null && !Options.FilesWithMatches) {
        Error = MsgNullNeedsFilesWithMatches(Swedish);
        return false;
    }
    if (Replace && !Options.DryRun) {
        // What a real run would list could no longer be read from its files once written.
        for (auto [Given, Name] : {std::pair{Options.Diff, L"--diff"}, std::pair{Options.Lines, L"--lines"}}) {
            if (Given) {
                Error = MsgNeedsDryRun(Swedish, Name);
                return false;
            }
        }
    }
    for (auto [First, Second] : {std::pair{L"--count-only", L"--verbose"}, std::pair{L"--count-only", L"--lines"},
                                 std::pair{L"--count-only", L"--diff"}, std::pair{L"--json", L"--diff"},
                                 std::pair{L"--lines", L"--diff"},
                                 std::pair{L"--files-with-matches", L"--count-only"},
                                 std::pair{L"--files-with-matches", L"--json"},
                                 std::pair{L"--files-with-matches", L"--lines"}}) {
        if (Given(First) && Given(Second)) {
            Error = MsgOptionsExcludeEachOther(Swedish, First, Second);
            return false;
        }
    }
    // The pairs, and every pattern with the groups its replacement names, are
    // read and checked before any file is.
    if (Pairs) {
        Options.PairsFile = FromLosslessUtf8(PairsFile);
        return ReadPairsFile(Options.PairsFile, Swedish, Options.CaseSensitive, RuleOf(Options), Options.Pairs, Error);
    }
    if (Options.Regex && !Options.TextToFind.empty()) {
        TPatternProblem Problem;
        const std::shared_ptr<const TextPattern> Pattern =
            TextPattern::Compile(Options.TextToFind, Options.CaseSensitive, Options.WholeWord, Problem);
        TPatternReplacement Pieces;
        if (Pattern && Replace) Pattern->ReadReplacement(Options.ReplaceWith, Pieces, Problem);
        if (Problem.Fault != TPatternFault::None) {
            Error = MsgPatternProblem(Swedish, Options.TextToFind, Problem);
            return false;
        }
    }
    return true;
}
