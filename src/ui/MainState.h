#pragma once
// The state of the main window's module, kept in one object: what the window,
// its commands, its worker handlers and the application share on the main
// thread. A fresh TMainState is the state of a program that has just started,
// so `MainState = TMainState{};` starts over as a whole.
#include "QuorvaneVersion.h"
#include "files/EncodingMode.h"
#include "workers/WorkThreadApply.h"
#include "workers/WorkThreadSearch.h"
#include "workers/WorkThreadUndo.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TfrmMain;

// "Quorvane" and the version of the build.
constexpr std::wstring_view ApplicationName = QV_PRODUCT_WNAME;

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

// The application object: its title, and whether its main window has been
// destroyed (the message loop is ending and no run reports any more).
struct TApplicationState {
    std::wstring Title{ApplicationName};
    bool Terminated = false;
};

struct TMainState {
    // The workers come first: a whole assignment stops and frees them before any
    // other field changes, so their last handlers still see the state they ran in.
    std::unique_ptr<TWorkThreadSearch> SearchWorker;
    std::unique_ptr<TWorkThreadApply> ApplyWorker;
    std::unique_ptr<TWorkThreadUndo> UndoWorker;
    TEncodingMode CurrentEncodingMode = TEncodingMode::Auto;  // an unknown mode from the settings file is kept
    std::wstring BaseTitle;                 // the application title when the window was created
    std::int32_t InitialWidth = 0, InitialHeight = 0;              // outer size as created: the minimum size
    std::int32_t InitialClientWidth = 0, InitialClientHeight = 0;  // reference of the layout rules
    std::int32_t GrowthWidth = 0, GrowthHeight = 0;                // client growth at the last resize
    std::wstring EditorPath;                // empty, "NOTEPAD" or the full path of a program
    bool WorkInProgress = false;            // a Search, Apply or undo run
    TPendingRows Pending;                   // rows of the running search not shown yet
    TfrmMain* frmMain = nullptr;            // the one main window while it exists
    TApplicationState Application;
};

// Main thread only.
extern TMainState MainState;

// ---- The application's title and end, kept in MainState.Application ----
const std::wstring& ApplicationTitle();
void SetApplicationTitle(std::wstring_view Title);
bool ApplicationTerminated();
