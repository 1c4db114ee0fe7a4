#pragma once
// One undo away from the window: puts back the old bytes of every file one
// Apply run recorded in the undo journal, in the order they were recorded, and
// takes the run out of the journal once each of them is back or never can be.
// One undo runs at a time. A file
// goes back only when it still holds exactly the bytes that Apply wrote (size
// and SHA-256); one that holds its old bytes already counts as restored; any
// other file is left as it is. Reports progress, each file's outcome and the
// counts through events that run on the main thread while the worker waits.
#include "workers/WorkerThread.h"

#include <cstdint>
#include <functional>
#include <string>

enum class TUndoFileOutcome {
    Restored,         // the old bytes are back
    AlreadyRestored,  // it held its old bytes already: nothing written
    EditedSince,      // its bytes are neither the new nor the old ones
    Missing,          // it has gone
    NotAFile,         // a folder has its name now
    InUse,            // another program has it open
    ReadOnly,         // it holds the new bytes but has been made read-only since
    Unreadable,
    ChangedMeanwhile, // another program changed it between the check and the swap
    WriteFailed,
    DamagedEntry,     // its entry in the journal is damaged: nothing was restored from it
};

// Restored and AlreadyRestored count as restored; DamagedEntry as damaged; the
// rest as left untouched.
bool IsRestored(TUndoFileOutcome Outcome);

// Whether a file left untouched for this outcome may go back on a later undo
// (open elsewhere, read-only, unreadable for now): its run stays in the journal.
bool MayRetry(TUndoFileOutcome Outcome);

// How the run ended: through every entry with nothing left to retry (the run has
// left the journal), through every entry with files to retry (the run stays and
// the next undo tries them again), stopped by a terminate request (the run
// stays, a later undo completes it), the run could not be opened (gone, damaged,
// or an Apply still writes it), or another undo is running.
enum class TUndoEnd { Finished, Retry, Stopped, CannotOpen, Busy };

using TUndoProgressEvent = std::function<void(std::int32_t ProgressValue)>;
using TUndoFileEvent = std::function<void(std::wstring FileName, TUndoFileOutcome Outcome)>;
// Damaged counts the damaged entries, named or not (a journal cut short in the
// middle hides the names of what follows).
using TUndoReturnValuesEvent = std::function<void(std::int32_t RestoredCount, std::int32_t UntouchedCount,
                                                  std::int32_t DamagedCount, TUndoEnd End)>;

class TWorkThreadUndo : public WorkerThread {
public:
    // RunPath: the run's folder in the journal, ending with a backslash.
    explicit TWorkThreadUndo(std::wstring RunPath);
    ~TWorkThreadUndo() override;

    TUndoProgressEvent OnUndoProgress;  // before each file, 0 for the first, 100 for the last
    TUndoFileEvent OnUndoFile;          // after each file
    TUndoReturnValuesEvent OnUndoReturnValues;

private:
    void Execute() override;
    void Run();
    void SyncReturnValues();

    const std::wstring FRunPath;
    std::int32_t FRestoredCount = 0;
    std::int32_t FUntouchedCount = 0;
    std::int32_t FDamagedCount = 0;
    TUndoEnd FEnd = TUndoEnd::CannotOpen;
};
