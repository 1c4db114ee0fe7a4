#include "cli/CliCommands.h"
#include "cli/CliLines.h"
#include "cli/CliMessages.h"
#include "cli/CliPairs.h"
#include "cli/CliRun.h"
#include "cli/CliText.h"
#include "files/LongPath.h"
#include "workers/WorkThreadSearch.h"

#include <windows.h>

std::wstring AbsoluteFolder(std::wstring_view Typed) {
    const std::wstring_view Extended = L"\\\\?\\", Unc = L"\\\\?\\UNC\\";
    if (Typed.substr(0, 4) == Extended || Typed.substr(0, 4) == L"\\\\.\\") return std::wstring(Typed);
    const std::wstring Full = ExtendedPath(Typed);
    if (Full.compare(0, Unc.size(), Unc) == 0) return L"\\\\" + Full.substr(Unc.size());
    if (Full.compare(0, Extended.size(), Extended) == 0) return Full.substr(Extended.size());
    return std::wstring(Typed);
}

std::string JsonEncoding(TEncodingMode Mode) {
    switch (Mode) {
    case TEncodingMode::Ansi: return "\"ansi\"";
    case TEncodingMode::Utf16LE: return "\"utf16le\"";
    case TEncodingMode::Utf8: return "\"utf8\"";
    default: return "null";
    }
}

TCliOptions TargetAsFolder(const TCliOptions& Options) {
    const DWORD Attributes = GetFileAttributesW(ExtendedPath(Options.Folder).c_str());
    if (Options.Folder.empty() || Attributes == INVALID_FILE_ATTRIBUTES || (Attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Options;
    const std::wstring Full = AbsoluteFolder(Options.Folder);
    const size_t Slash = Full.find_last_of(L"\\/");
    if (Slash == std::wstring::npos || Slash + 1 >= Full.size()) return Options;
    TCliOptions File = Options;
    File.Folder = Full.substr(0, Slash + 1);
    File.Filters = Full.substr(Slash + 1);
    File.Recursive = false;
    File.Excludes.clear();
    return File;
}

namespace {

// A JSON array of counts.
template <class TCounts>
std::string JsonCounts(const TCounts& Counts) {
    std::string Array = "[";
    for (const auto Count : Counts) {
        if (Array.size() > 1) Array += ',';
        Array += std::to_string(Count);
    }
    Array += ']';
    return Array;
}

}  // namespace

int RunSearchCommand(const TCliOptions& Typed) {
    const TCliOptions Options = TargetAsFolder(Typed);
    const bool Swedish = Options.Swedish;
    TCliOutput Out(STD_OUTPUT_HANDLE, true);
    TCliOutput Err(STD_ERROR_HANDLE, false);
    const TRunInputs Inputs{Options.Folder,      Options.Filters,       Options.TextToFind,
                            Options.ReplaceWith, Options.CaseSensitive, Options.TextEncoding};
    const bool Pairs = !Options.Pairs.empty();
    if (Pairs) {
        if (const std::optional<std::wstring> Problem = CheckPairInputs(Options, false)) {
            Err.WriteLine(*Problem);
            return ExitBadInput;
        }
    } else if (TInputProblem Problem = CheckSearchInputs(Inputs); Problem != TInputProblem::None) {
        Err.WriteLine(CliInputProblemMessage(Swedish, Problem, Options.Folder, Options.Filters));
        return ExitBadInput;
    }

    TProgressLine Progress(Err, !Options.NoProgress);
    if (Out.Console()) Out.ShareConsoleWith(&Progress);
    std::wstring Filter;
    std::int32_t Percent = 0;
    std::int64_t Listed = 0, Occurrences = 0, Skipped = 0;
    TWorkThreadSearch Worker(AbsoluteFolder(Options.Folder), Options.Recursive, Options.Filters,
                             Pairs ? Options.Pairs : std::vector<TReplaceRule>{{Options.TextToFind, {}}},
                             Options.CaseSensitive, Options.TextEncoding, RuleOf(Options));
    std::vector<std::int64_t> PairTotals(Options.Pairs.size(), 0);
    auto ShowProgress = [&] {
        Progress.Update(ProgressText(Swedish, Filter, Percent, Worker.FilesExamined(), Listed, true));
    };
    Worker.EnterVersionControl = Options.NoVcsSkip;
    Worker.Excludes = Options.Excludes;
    Worker.OnSearchShowCurrentFilter = [&](std::wstring CurrentFilter) {
        Filter = std::move(CurrentFilter);
        Percent = 0;
        ShowProgress();
    };
    Worker.OnSearchProgress = [&](std::int32_t ProgressValue) {
        Percent = ProgressValue;
        ShowProgress();
    };
    // --lines: each listed file is read again, in the encoding the run read it in.
    const TextScanner Scanner(Options.TextToFind, Options.CaseSensitive, RuleOf(Options));
    // With --pairs, the places the pairs change, in the file's own lines.
    const TRuleChain Chain(Options.Pairs, Options.CaseSensitive, RuleOf(Options));
    const TBlockSource Places = Pairs ? TBlockSource(Chain, false) : TBlockSource(Scanner, nullptr);
    TMatchLister Lister(Options.Context, [&](std::wstring_view Line) { Out.WriteLine(Line); });
    // False (and said) when the file can no longer be read.
    auto ReadAgain = [&](const std::wstring& FileName, bool Read) {
        if (!Read) Err.WriteLine(MsgLinesUnreadable(Swedish, FileName));
        return Read;
    };
    const bool ShowLines = Options.Lines && (Pairs || !Options.TextToFind.empty());
    Worker.OnSearchAddFile = [&](std::wstring FileName, std::int32_t Count, std::int32_t) {
        ++Listed;
        Occurrences += Count;
        const std::vector<std::int32_t>& Counts = Worker.PairCounts();
        for (std::size_t I = 0; Pairs && I < Counts.size() && I < PairTotals.size(); ++I) PairTotals[I] += Counts[I];
        if (Options.CountOnly) return;
        if (Options.FilesWithMatches) {
            if (Options.Null)
                Out.WriteUtf8(ToUtf8(FileName) + std::string(1, '\0'));
            else
                Out.WriteLine(FileName);
            return;
        }
        if (Options.Json) {
            Out.WriteUtf8Line("{\"path\":" + JsonString(FileName) +
                              ",\"count\":" + (Count != 0 ? std::to_string(Count) : std::string("null")) +
                              ",\"encoding\":" + JsonEncoding(Worker.FileEncoding()) +
                              (Pairs ? ",\"pairs\":" + JsonCounts(Counts) : std::string()) + "}");
            if (!ShowLines) return;
            ReadAgain(FileName, ListMatchesJson(FileName, Places.WithAfter(),
                                             FileFeed(FileName, Worker.FileEncoding(), Places),
                                             [&](std::string_view Line) { Out.WriteUtf8Line(Line); }));
            return;
        }
        // The occurrences' lines stand instead of the file's line, which they each name.
        if (ShowLines && ReadAgain(FileName, Lister.List(FileName, FileFeed(FileName, Worker.FileEncoding(), Places))))
            return;
        // With --pairs each pair's share follows the total, in the pairs' order.
        std::wstring Shares;
        for (std::size_t I = 0; Pairs && I < Counts.size(); ++I)
            Shares += (I == 0 ? L" = " : L" + ") + PlainCount(Counts[I]);
        Out.WriteLine(FileName + L" (" + (Count != 0 ? PlainCount(Count) : std::wstring(L"N/A")) + Shares + L")");
    };
    // Skipped files are named on request: in JSON among the files, in plain
    // output with --verbose on standard error, which keeps standard output a list of results.
    Worker.OnSearchSkipFile = [&](std::wstring FileName, TApplyFileOutcome Reason) {
        if (Options.Json && !Options.CountOnly)
            Out.WriteUtf8Line("{\"path\":" + JsonString(FileName) + ",\"status\":\"skipped\",\"reason\":" +
                              JsonString(SkipReasonCode(Reason)) + "}");
        else if (Options.Verbose)
            Err.WriteLine(SkippedFileLine(Swedish, FileName, Reason));
    };
    Worker.OnSearchReturnValues = [&](std::int32_t SkipCount) { Skipped = SkipCount; };
    const std::optional<std::wstring> Fault = RunToEnd(Worker, Out);
    Progress.Erase();

    const int Code = Fault ? ExitFault : StopRequested() ? ExitInterrupted : Listed != 0 ? ExitListed : ExitNone;
    if (Out.Broken()) {  // the reader has gone: nothing more to say there
        if (Fault) Err.WriteLine(MsgRunFaultLine(Swedish, *Fault));
        return Code;
    }
    const bool Stopped = Code == ExitInterrupted;
    if (Options.Json) {
        Out.WriteUtf8Line("{\"summary\":{\"files\":" + std::to_string(Listed) +
                          ",\"occurrences\":" + std::to_string(Occurrences) +
                          ",\"skipped\":" + std::to_string(Skipped) +
                          (Pairs ? ",\"pairs\":" + JsonCounts(PairTotals) : std::string()) +
                          (Stopped ? ",\"interrupted\":true" : "") +
                          "}}");
    } else if (Options.CountOnly) {
        Out.WriteLine(SearchTotalsLine(Swedish, Listed, Occurrences, Skipped));
        if (Stopped) Err.WriteLine(MsgSearchStopped(Swedish, Listed, Skipped));
    } else if (Stopped) {
        Err.WriteLine(MsgSearchStopped(Swedish, Listed, Skipped));
    } else if (Listed == 0) {
        Err.WriteLine(MsgNoFilesMatched(Swedish, Skipped));
    } else if (Skipped != 0) {
        Err.WriteLine(MsgSkippedFiles(Swedish, Skipped));
    }
    if (Fault) Err.WriteLine(MsgRunFaultLine(Swedish, *Fault));
    if (Code == ExitInterrupted) Err.WriteLine(MsgInterrupted(Swedish));
    return Code;
}
