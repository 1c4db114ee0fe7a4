// quorvane-cli undo: the window's "Undo last Apply" without its question, and
// undo --list, which shows what the journal holds and changes nothing.
#include "cli/CliCommands.h"
#include "cli/CliMessages.h"
#include "cli/CliRun.h"
#include "files/UndoJournal.h"
#include "workers/WorkThreadUndo.h"

#include <windows.h>

namespace {

int ListRuns(const TCliOptions& Options) {
    const std::vector<TUndoRun> Runs = ListUndoRuns();
    TCliOutput Out(STD_OUTPUT_HANDLE, true);
    if (Runs.empty()) {
        TCliOutput Err(STD_ERROR_HANDLE, false);
        Err.WriteLine(MsgNothingToUndo(Options.Swedish));
        return ExitNone;
    }
    for (const TUndoRun& Run : Runs) Out.WriteLines(UndoRunLines(Options.Swedish, Run));
    return ExitListed;
}

}  // namespace

int RunUndoCommand(const TCliOptions& Options) {
    if (Options.List) return ListRuns(Options);
    const bool Swedish = Options.Swedish;
    TCliOutput Out(STD_OUTPUT_HANDLE, true);
    TCliOutput Err(STD_ERROR_HANDLE, false);
    TUndoRun Run;
    if (!NewestUndoRun(Run)) {
        Err.WriteLine(MsgNothingToUndo(Swedish));
        return ExitNone;
    }
    if (Run.Damaged) {
        Err.WriteLine(MsgUndoRunHeaderDamaged(Swedish, Run.Path));
        return ExitDamagedJournal;
    }
    if (Run.InUse) {
        Err.WriteLine(MsgUndoRunInUse(Swedish));
        return ExitNone;
    }

    TProgressLine Progress(Err, !Options.NoProgress);
    if (Out.Console()) Out.ShareConsoleWith(&Progress);
    std::int64_t Examined = 0;
    std::int32_t Restored = 0, Untouched = 0, Damaged = 0;
    TUndoEnd End = TUndoEnd::CannotOpen;
    TWorkThreadUndo Worker(Run.Path);
    Worker.OnUndoProgress = [&](std::int32_t Value) {
        ++Examined;
        Progress.Update(ProgressText(Swedish, UndoProgressName(Swedish), Value, Examined, 0, false));
    };
    // Restored files go without a word; the others are named with their reason.
    Worker.OnUndoFile = [&](std::wstring FileName, TUndoFileOutcome Outcome) {
        if (IsRestored(Outcome)) return;
        Progress.Erase();
        Err.WriteLine(UndoFileLine(Swedish, FileName, Outcome));
    };
    Worker.OnUndoReturnValues = [&](std::int32_t RestoredCount, std::int32_t UntouchedCount,
                                    std::int32_t DamagedCount, TUndoEnd RunEnd) {
        Restored = RestoredCount;
        Untouched = UntouchedCount;
        Damaged = DamagedCount;
        End = RunEnd;
    };
    const std::optional<std::wstring> Fault = RunToEnd(Worker, Out);
    Progress.Erase();

    if (End == TUndoEnd::Busy) {
        Err.WriteLine(MsgUndoBusy(Swedish));
        return ExitNone;
    }
    if (End == TUndoEnd::CannotOpen) {
        Err.WriteLine(MsgUndoRunUnreadable(Swedish));
        return ExitNone;
    }
    Out.WriteLine(UndoResultLine(Swedish, Restored, Untouched, StopRequested()));
    if (Damaged > 0) Err.WriteLine(MsgUndoJournalDamaged(Swedish, Damaged));
    if (End == TUndoEnd::Retry) Err.WriteLine(MsgUndoRunKept(Swedish));
    if (Fault) {
        Err.WriteLine(MsgRunFaultLine(Swedish, *Fault));
        return ExitFault;
    }
    if (StopRequested()) {
        Err.WriteLine(MsgInterrupted(Swedish));
        return ExitInterrupted;
    }
    if (Damaged > 0) return ExitDamagedJournal;
    return Untouched > 0 ? ExitNone : ExitListed;
}
