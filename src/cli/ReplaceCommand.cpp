#include "cli/CliCommands.h"
#include "cli/CliMessages.h"
#include "cli/CliRun.h"
#include "cli/CliText.h"
#include "cli/ReplacePreview.h"
#include "workers/WorkThreadApply.h"

#include <windows.h>

#include <vector>

namespace {

// A file the forecast named, with its place in the walk and its identity before
// Apply ran.
struct TForecastFile {
    std::wstring Path;
    TApplyForecast Forecast;
    std::int64_t Position = 0;
    TFileIdentity Before;
};

struct TReplaceTotals {
    std::int64_t Changed = 0;
    std::int64_t Replacements = 0;
    std::int64_t Skipped = 0;
};

std::string JsonChangedLine(const std::wstring& Path, const TApplyForecast& Forecast, bool DryRun) {
    return "{\"path\":" + JsonString(Path) + ",\"count\":" + std::to_string(Forecast.Count) +
           ",\"encoding\":" + JsonEncoding(StoredEncodingMode(Forecast.Encoding)) + ",\"status\":\"" +
           (DryRun ? "would-change" : "changed") + "\"}";
}

std::string JsonSkippedLine(const std::wstring& Path, TSkipReason Reason) {
    return "{\"path\":" + JsonString(Path) + ",\"status\":\"skipped\",\"reason\":" +
           JsonString(SkipReasonCode(Reason)) + "}";
}

std::string JsonSummaryLine(const TReplaceTotals& Totals, bool DryRun) {
    return "{\"summary\":{\"changed\":" + std::to_string(Totals.Changed) +
           ",\"replacements\":" + std::to_string(Totals.Replacements) + ",\"skipped\":" +
           std::to_string(Totals.Skipped) + (DryRun ? ",\"dry_run\":true" : "") + "}}";
}

class TReplaceRun {
public:
    explicit TReplaceRun(const TCliOptions& Options)
        : FOptions(Options),
          FSwedish(Options.Swedish),
          FOut(STD_OUTPUT_HANDLE, true),
          FErr(STD_ERROR_HANDLE, false),
          FProgress(FErr, !Options.NoProgress) {
        if (FOut.Console()) FOut.ShareConsoleWith(&FProgress);
        FInputs = TReplaceInputs{AbsoluteFolder(Options.Folder), Options.Recursive,     Options.Filters,
                                 Options.TextToFind,             Options.ReplaceWith,   Options.CaseSensitive,
                                 Options.TextEncoding};
    }

    int Run();

private:
    void ShowProgress() {
        FProgress.Update(ProgressText(FSwedish, FFilter, FPercent, FExamined, 0, false));
    }
    template <typename TWorker>
    void WireProgress(TWorker& Worker);
    // Each file the forecast names, as it is found: the dry run's listing.
    void PrintForecast(const std::wstring& Path, const TApplyForecast& Forecast);
    bool Forecast(bool Print);
    void Apply();
    void ReportAppliedFiles();
    int Finish(bool DryRun);

    const TCliOptions& FOptions;
    const bool FSwedish;
    TCliOutput FOut;
    TCliOutput FErr;
    TProgressLine FProgress;
    TReplaceInputs FInputs;
    std::wstring FFilter;
    std::int32_t FPercent = 0;
    std::int64_t FExamined = 0;
    std::vector<TForecastFile> FFiles;
    TReplaceTotals FTotals;
    std::int64_t FApplyReached = 0;  // files Apply was handed, in the walk's order
};

template <typename TWorker>
void TReplaceRun::WireProgress(TWorker& Worker) {
    FExamined = 0;
    auto OnFilter = [this](std::wstring CurrentFilter) {
        FFilter = std::move(CurrentFilter);
        FPercent = 0;
        ShowProgress();
    };
    auto OnProgress = [this](std::int32_t ProgressValue) {
        FPercent = ProgressValue;
        ++FExamined;
        ShowProgress();
    };
    if constexpr (std::is_same_v<TWorker, TReplacePreview>) {
        Worker.OnPreviewShowCurrentFilter = OnFilter;
        Worker.OnPreviewProgress = OnProgress;
    } else {
        Worker.OnApplyShowCurrentFilter = OnFilter;
        Worker.OnApplyProgress = OnProgress;
    }
}

void TReplaceRun::PrintForecast(const std::wstring& Path, const TApplyForecast& Forecast) {
    const bool Change = Forecast.Kind == TApplyForecast::TKind::Change;
    if (Change) {
        ++FTotals.Changed;
        FTotals.Replacements += Forecast.Count;
    } else {
        ++FTotals.Skipped;
    }
    if (FOptions.CountOnly) return;
    if (FOptions.Json) {
        FOut.WriteUtf8Line(Change ? JsonChangedLine(Path, Forecast, true) : JsonSkippedLine(Path, Forecast.Reason));
    } else if (Change) {
        FOut.WriteLine(Path + L" (" + PlainCount(Forecast.Count) + L")");
    } else if (FOptions.Verbose) {
        FOut.WriteLine(SkippedFileLine(FSwedish, Path, Forecast.Reason));
    }
}

// The forecast of every file; printed as it comes for a dry run, kept for the
// report after a real run otherwise. False when the run was stopped.
bool TReplaceRun::Forecast(bool Print) {
    TReplacePreview Preview(FInputs);
    WireProgress(Preview);
    Preview.OnPreviewFile = [this, Print](std::wstring FileName, TApplyForecast Forecast) {
        if (Print) {
            PrintForecast(FileName, Forecast);
            return;
        }
        TForecastFile File{FileName, Forecast, FExamined - 1, {}};
        if (Forecast.Kind == TApplyForecast::TKind::Change) File.Before = IdentityOf(FileName);
        FFiles.push_back(std::move(File));
    };
    RunToEnd(Preview, FOut);
    return !StopRequested() && !FOut.Broken();
}

void TReplaceRun::Apply() {
    TWorkThreadApply Worker(FInputs.Folder, FInputs.Recursive, FInputs.Filters, FInputs.TextToFind,
                            FInputs.ReplaceWith, FInputs.CaseSensitive, FInputs.TextEncoding);
    WireProgress(Worker);
    Worker.OnApplyReturnValues = [this](std::int32_t ChangeCount, std::int32_t ReplaceCount, std::int32_t SkipCount) {
        FTotals = {ChangeCount, ReplaceCount, SkipCount};
    };
    RunToEnd(Worker, FOut);
    FApplyReached = FExamined;
}

// After the real run: each file the forecast named, with what became of it. A
// file the run did not reach (it was stopped) is not named.
void TReplaceRun::ReportAppliedFiles() {
    for (const TForecastFile& File : FFiles) {
        if (File.Position >= FApplyReached) break;
        const bool Expected = File.Forecast.Kind == TApplyForecast::TKind::Change;
        const bool Changed = Expected && File.Before.Known && !(IdentityOf(File.Path) == File.Before);
        if (Changed) {
            if (FOptions.Json)
                FOut.WriteUtf8Line(JsonChangedLine(File.Path, File.Forecast, false));
            else
                FOut.WriteLine(File.Path + L" (" + PlainCount(File.Forecast.Count) + L")");
            continue;
        }
        const TSkipReason Reason =
            Expected ? DiagnoseUnchanged(File.Path, FInputs, File.Forecast) : File.Forecast.Reason;
        if (FOptions.Json)
            FOut.WriteUtf8Line(JsonSkippedLine(File.Path, Reason));
        else
            FOut.WriteLine(SkippedFileLine(FSwedish, File.Path, Reason));
    }
}

int TReplaceRun::Finish(bool DryRun) {
    FProgress.Erase();
    const int Code = StopRequested() ? ExitInterrupted : FTotals.Changed != 0 ? ExitListed : ExitNone;
    if (FOut.Broken()) return Code;
    if (FOptions.Json)
        FOut.WriteUtf8Line(JsonSummaryLine(FTotals, DryRun));
    else
        FOut.WriteLine(DryRun ? DryRunResultLine(FSwedish, FTotals.Changed, FTotals.Replacements, FTotals.Skipped)
                              : ReplaceResultLine(FSwedish, FTotals.Changed, FTotals.Replacements, FTotals.Skipped));
    if (Code == ExitInterrupted) FErr.WriteLine(MsgInterrupted(FSwedish));
    return Code;
}

int TReplaceRun::Run() {
    if (FOptions.DryRun) {
        Forecast(true);
        return Finish(true);
    }
    const bool NameFiles = (FOptions.Verbose || FOptions.Json) && !FOptions.CountOnly;
    // Without the forecast, a stop during it leaves every file as it was.
    if (NameFiles && !Forecast(false)) return Finish(false);
    Apply();
    if (NameFiles) ReportAppliedFiles();
    return Finish(false);
}

}  // namespace

// The window's Apply without its two questions: the command line is the
// confirmation, and --replace "" deletes the occurrences.
int RunReplaceCommand(const TCliOptions& Options) {
    const TRunInputs Inputs{Options.Folder,      Options.Filters,       Options.TextToFind,
                            Options.ReplaceWith, Options.CaseSensitive, Options.TextEncoding};
    if (TInputProblem Problem = CheckApplyInputs(Inputs); Problem != TInputProblem::None) {
        TCliOutput Err(STD_ERROR_HANDLE, false);
        Err.WriteLine(CliInputProblemMessage(Options.Swedish, Problem, Options.Folder));
        return ExitBadInput;
    }
    TReplaceRun Run(Options);
    return Run.Run();
}
