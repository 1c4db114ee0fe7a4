#include "cli/CliCommands.h"
#include "cli/CliDiff.h"
#include "cli/CliLines.h"
#include "cli/CliMessages.h"
#include "cli/CliPairs.h"
#include "cli/CliRun.h"
#include "cli/CliText.h"
#include "workers/WorkThreadApply.h"

#include <windows.h>

namespace {

struct TReplaceTotals {
    std::int64_t Changed = 0;
    std::int64_t Replacements = 0;
    std::int64_t Skipped = 0;
};

bool IsChange(TApplyFileOutcome Outcome) {
    return Outcome == TApplyFileOutcome::Changed || Outcome == TApplyFileOutcome::WouldChange;
}

std::string JsonFileLine(const std::wstring& Path, std::int32_t Count, TEncodingMode Encoding,
                         TApplyFileOutcome Outcome) {
    std::string Line = "{\"path\":" + JsonString(Path);
    if (IsChange(Outcome))
        return Line + ",\"count\":" + std::to_string(Count) + ",\"encoding\":" + JsonEncoding(Encoding) +
               ",\"status\":\"" + (Outcome == TApplyFileOutcome::WouldChange ? "would-change" : "changed") + "\"}";
    return Line + ",\"status\":\"skipped\",\"reason\":" + JsonString(SkipReasonCode(Outcome)) + "}";
}

std::string JsonSummaryLine(const TReplaceTotals& Totals, bool DryRun, bool Interrupted) {
    return "{\"summary\":{\"changed\":" + std::to_string(Totals.Changed) +
           ",\"replacements\":" + std::to_string(Totals.Replacements) + ",\"skipped\":" +
           std::to_string(Totals.Skipped) + (DryRun ? ",\"dry_run\":true" : "") +
           (Interrupted ? ",\"interrupted\":true" : "") + "}}";
}

// One run of the Apply worker, real or dry, naming the files it changed or
// skipped as it goes when asked to: the worker's own rules decide every file.
class TReplaceRun {
public:
    explicit TReplaceRun(const TCliOptions& Options)
        : FOptions(Options),
          FSwedish(Options.Swedish),
          FOut(STD_OUTPUT_HANDLE, true),
          FErr(STD_ERROR_HANDLE, false),
          FProgress(FErr, !Options.NoProgress),
          FFolder(AbsoluteFolder(Options.Folder)),
          FScanner(Options.TextToFind, Options.CaseSensitive, RuleOf(Options)),
          FChain(Options.Pairs, Options.CaseSensitive, RuleOf(Options)),
          FChanges(Options.Pairs.empty() ? TBlockSource(FScanner, &Options.ReplaceWith) : TBlockSource(FChain, true)),
          FOccurrences(Options.Pairs.empty() ? TBlockSource(FScanner, nullptr) : TBlockSource(FChain, false)),
          FLister(Options.Context, [this](std::wstring_view Line) { FOut.WriteLine(Line); }) {
        if (FOut.Console()) FOut.ShareConsoleWith(&FProgress);
    }

    int Run();

private:
    void ShowProgress(std::int64_t Examined) {
        FProgress.Update(ProgressText(FSwedish, FFilter, FPercent, Examined, 0, false));
    }
    void NameFile(const std::wstring& Path, std::int32_t Count, TEncodingMode Encoding, TApplyFileOutcome Outcome);
    // --lines and --diff of a file that would change; false when it could not be read again.
    bool ShowChange(const std::wstring& Path, TEncodingMode Encoding);

    const TCliOptions& FOptions;
    const bool FSwedish;
    TCliOutput FOut;
    TCliOutput FErr;
    TProgressLine FProgress;
    std::wstring FFilter;
    std::int32_t FPercent = 0;
    TReplaceTotals FTotals;
    const std::wstring FFolder;
    const TextScanner FScanner;
    const TRuleChain FChain;      // --pairs
    const TBlockSource FChanges;  // each change with its new text (--diff, --json)
    const TBlockSource FOccurrences;  // the places alone (--lines)
    TMatchLister FLister;
};

bool TReplaceRun::ShowChange(const std::wstring& Path, TEncodingMode Encoding) {
    bool Read = false;
    if (FOptions.Diff) {
        Read = WriteUnifiedDiff(RelativeForwardPath(FFolder, Path), ListedUtf8Mark(Path, Encoding),
                                FileFeed(Path, Encoding, FChanges), FOptions.Context < 0 ? 3 : FOptions.Context,
                                [this](std::string_view Bytes) { FOut.WriteUtf8(Bytes); });
    } else if (FOptions.Json) {
        Read = ListMatchesJson(Path, FChanges.WithAfter(), FileFeed(Path, Encoding, FChanges),
                               [this](std::string_view Line) { FOut.WriteUtf8Line(Line); });
    } else {
        Read = FLister.List(Path, FileFeed(Path, Encoding, FOccurrences));
    }
    if (!Read) FErr.WriteLine(MsgLinesUnreadable(FSwedish, Path));
    return Read;
}

// A dry run lists what would change (and with --verbose what would be skipped);
// a real run names both with --verbose or --json.
void TReplaceRun::NameFile(const std::wstring& Path, std::int32_t Count, TEncodingMode Encoding,
                           TApplyFileOutcome Outcome) {
    // A file whose old bytes could not be journalled is always named: the user
    // must learn why it was left alone, and that the journal needs looking at.
    if (Outcome == TApplyFileOutcome::JournalFailed)
        FErr.WriteLine(SkippedFileLine(FSwedish, Path, Outcome));
    if (FOptions.CountOnly) return;
    const bool Change = IsChange(Outcome);
    if (FOptions.Diff) {
        // Standard output holds the diff alone, for a tool to take.
        if (Change)
            ShowChange(Path, Encoding);
        else if (Outcome != TApplyFileOutcome::JournalFailed)
            FErr.WriteLine(SkippedFileLine(FSwedish, Path, Outcome));
        return;
    }
    if (FOptions.Json) {
        FOut.WriteUtf8Line(JsonFileLine(Path, Count, Encoding, Outcome));
        if (Change && FOptions.Lines) ShowChange(Path, Encoding);
    } else if (Change && FOptions.Lines) {
        // The occurrences' lines stand instead of the file's line, which they each name.
        if (!ShowChange(Path, Encoding)) FOut.WriteLine(Path + L" (" + PlainCount(Count) + L")");
    } else if (Change && (FOptions.DryRun || FOptions.Verbose)) {
        FOut.WriteLine(Path + L" (" + PlainCount(Count) + L")");
    } else if (!Change && FOptions.Verbose) {
        FOut.WriteLine(SkippedFileLine(FSwedish, Path, Outcome));
    }
}

int TReplaceRun::Run() {
    const std::vector<TReplaceRule> Pairs =
        FOptions.Pairs.empty() ? std::vector<TReplaceRule>{{FOptions.TextToFind, FOptions.ReplaceWith}} : FOptions.Pairs;
    TWorkThreadApply Worker(FFolder, FOptions.Recursive, FOptions.Filters, Pairs, FOptions.CaseSensitive,
                            FOptions.TextEncoding, RuleOf(FOptions));
    Worker.DryRun = FOptions.DryRun;
    Worker.EnterVersionControl = FOptions.NoVcsSkip;
    Worker.Excludes = FOptions.Excludes;
    Worker.OnApplyShowCurrentFilter = [this, &Worker](std::wstring CurrentFilter) {
        FFilter = std::move(CurrentFilter);
        FPercent = 0;
        ShowProgress(Worker.FilesExamined());
    };
    Worker.OnApplyProgress = [this, &Worker](std::int32_t ProgressValue) {
        FPercent = ProgressValue;
        ShowProgress(Worker.FilesExamined());
    };
    Worker.OnApplyFile = [this](std::wstring FileName, std::int32_t Count, TEncodingMode Encoding,
                                TApplyFileOutcome Outcome) { NameFile(FileName, Count, Encoding, Outcome); };
    Worker.OnApplyReturnValues = [this](std::int32_t ChangeCount, std::int32_t ReplaceCount, std::int32_t SkipCount) {
        FTotals = {ChangeCount, ReplaceCount, SkipCount};
    };
    const std::optional<std::wstring> Fault = RunToEnd(Worker, FOut);

    FProgress.Erase();
    const int Code = Fault                     ? ExitFault
                     : StopRequested()         ? ExitInterrupted
                     : FTotals.Changed != 0    ? ExitListed
                                               : ExitNone;
    if (FOut.Broken()) {
        if (Fault) FErr.WriteLine(MsgRunFaultLine(FSwedish, *Fault));
        return Code;
    }
    const bool Stopped = Code == ExitInterrupted;
    if (FOptions.Json)
        FOut.WriteUtf8Line(JsonSummaryLine(FTotals, FOptions.DryRun, Stopped));
    else
        (FOptions.Diff ? FErr : FOut).WriteLine(
            FOptions.DryRun ? DryRunResultLine(FSwedish, FTotals.Changed, FTotals.Replacements, FTotals.Skipped, Stopped)
                            : ReplaceResultLine(FSwedish, FTotals.Changed, FTotals.Replacements, FTotals.Skipped,
                                                Stopped));
    if (Fault) FErr.WriteLine(MsgRunFaultLine(FSwedish, *Fault));
    if (Code == ExitInterrupted) FErr.WriteLine(MsgInterrupted(FSwedish));
    return Code;
}

}  // namespace

// The window's Apply without its two questions: the command line is the
// confirmation, and --replace "" deletes the occurrences.
int RunReplaceCommand(const TCliOptions& Typed) {
    const TCliOptions Options = TargetAsFolder(Typed);
    const TRunInputs Inputs{Options.Folder,      Options.Filters,       Options.TextToFind,
                            Options.ReplaceWith, Options.CaseSensitive, Options.TextEncoding,
                            Options.Regex};
    if (!Options.Pairs.empty()) {
        if (const std::optional<std::wstring> Problem = CheckPairInputs(Options, true)) {
            TCliOutput(STD_ERROR_HANDLE, false).WriteLine(*Problem);
            return ExitBadInput;
        }
    } else if (TInputProblem Problem = CheckApplyInputs(Inputs); Problem != TInputProblem::None) {
        TCliOutput Err(STD_ERROR_HANDLE, false);
        Err.WriteLine(CliInputProblemMessage(Options.Swedish, Problem, Options.Folder, Options.Filters));
        return ExitBadInput;
    }
    TReplaceRun Run(Options);
    return Run.Run();
}
