#pragma once
// What one window holds of its runs: the workers of Search, Apply and undo,
// whether one is running, how it is ending, and the rows of a running search
// that the list does not show yet.
#include "workers/WorkThreadApply.h"
#include "workers/WorkThreadSearch.h"
#include "workers/WorkThreadUndo.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One row of the file list: the path relative to the folder and the count text.
struct TFileListItem {
    std::wstring Caption;
    std::wstring CountText;
};

// Rows that a search has reported but the list does not show yet. Telling the
// list its new length redraws its scroll bar, which takes milliseconds; a run
// that lists thousands of files shows its new rows and the status label at
// intervals instead, and all of them at its end.
struct TPendingRows {
    std::vector<TFileListItem> Rows;
    std::wstring Label;          // the status label for every row reported so far
    ULONGLONG LastShown = 0;     // GetTickCount64 of the last update of the list
    bool TimerSet = false;
    size_t FolderLength = 0;     // of the run's folder with its trailing backslash
};

struct TRunState {
    std::unique_ptr<TWorkThreadSearch> SearchWorker;
    std::unique_ptr<TWorkThreadApply> ApplyWorker;
    std::unique_ptr<TWorkThreadUndo> UndoWorker;
    bool WorkInProgress = false;           // a Search, Apply or undo run
    bool Stopped = false;                  // Esc asked the running run to stop
    std::optional<std::wstring> Fault;     // the fault ending the run, told before its return values
    TPendingRows Pending;                  // rows of the running search not shown yet

    // No run is in progress and every worker has ended.
    bool Idle() const {
        return !WorkInProgress && (!SearchWorker || SearchWorker->Finished()) &&
               (!ApplyWorker || ApplyWorker->Finished()) && (!UndoWorker || UndoWorker->Finished());
    }
};
