// The Search and Apply commands and "Undo last Apply": their input checks and
// questions, the running state of the window, and the handlers through which a
// worker reports on the main thread.
#include "files/FileCollection.h"
#include "files/UndoJournal.h"
#include "platform/InputChecks.h"
#include "platform/Language.h"
#include "platform/MessageBoxes.h"
#include "platform/Messages.h"
#include "ui/Main.h"
#include "ui/MainTexts.h"
#include "ui/WindowHelpers.h"

#include <array>
#include <utility>
#include <vector>

namespace {

// The controls that a run disables and its end enables again, in this order.
std::array<HWND, 10> RunControls(const TfrmMain& Form) {
    return {Form.lvFiles,    Form.txtFolder,     Form.btnBrowse, Form.cbRecursive,
            Form.txtFilters, Form.txtTextToFind, Form.btnSearch, Form.cbCaseSensitive,
            Form.txtReplaceWith, Form.btnApply};
}

void EnableRunControls(const TfrmMain& Form, bool Enabled) {
    for (HWND Control : RunControls(Form)) EnableWindow(Control, Enabled ? TRUE : FALSE);
}

// The input checks of a command on the texts the controls hold now; false after
// showing the message of the first problem.
bool InputsPass(const TfrmMain& Form, TInputProblem (*Check)(const TRunInputs&)) {
    const std::wstring Folder = TfrmMain::ControlText(Form.txtFolder), Filters = TfrmMain::ControlText(Form.txtFilters),
                       TextToFind = TfrmMain::ControlText(Form.txtTextToFind),
                       ReplaceWith = TfrmMain::ControlText(Form.txtReplaceWith);
    const TInputProblem Problem =
        Check(TRunInputs{Folder, Filters, TextToFind, ReplaceWith, TfrmMain::Checked(Form.cbCaseSensitive),
                         MainState.CurrentEncodingMode});
    if (Problem == TInputProblem::None) return true;
    ShowError(Form.Handle(), InputProblemMessage(Problem, Filters));
    return false;
}

// A search's rows wait in MainState.Pending and reach the list at most every
// ShowInterval milliseconds, and all of them at the run's end.
constexpr ULONGLONG ShowInterval = 50;
constexpr UINT_PTR ShowPendingTimer = 0x5157;  // on the main window

void ShowPendingRows(TfrmMain& Form) {
    if (MainState.Pending.TimerSet) {
        KillTimer(Form.Handle(), ShowPendingTimer);
        MainState.Pending.TimerSet = false;
    }
    MainState.Pending.LastShown = GetTickCount64();
    if (MainState.Pending.Rows.empty()) return;
    Form.AppendFileItems(MainState.Pending.Rows);
    Form.SetLabelCaption(Form.lblFiles, MainState.Pending.Label);
}

// Rows that wait while the worker reads a large file are shown by the timer;
// a timer message comes only when nothing else waits, hence the time test in
// the handlers too.
void CALLBACK ShowPendingRowsLater(HWND, UINT, UINT_PTR, DWORD) {
    try {
        if (MainState.frmMain) ShowPendingRows(*MainState.frmMain);
    } catch (...) {
        // Not a reason to stop the program: the rows come with the next update.
    }
}

void ShowPendingRowsWhenDue(TfrmMain& Form) {
    if (MainState.Pending.Rows.empty()) return;
    if (GetTickCount64() - MainState.Pending.LastShown >= ShowInterval) {
        ShowPendingRows(Form);
    } else if (!MainState.Pending.TimerSet) {
        MainState.Pending.TimerSet = SetTimer(Form.Handle(), ShowPendingTimer, static_cast<UINT>(ShowInterval),
                                              &ShowPendingRowsLater) != 0;
    }
}

// The window as a run starts: busy cursor, the inputs and both commands
// disabled so nothing changes under the worker, an empty list with its empty
// status label. The caller frees its previous worker and starts the new one.
// The end of a run, in two halves so that Apply can empty its text boxes
// between them: first the title and the progress bar, then the controls, the
// cursor and the Undo menu item.
void ShowRunEnded(TfrmMain& Form) {
    MainState.WorkInProgress = false;
    Form.SetCaption(ApplicationTitle());
    Form.SetProgressTag(0);
    Form.DrawProgress();
}

void EnableAfterRun(TfrmMain& Form) {
    EnableRunControls(Form, true);
    BusyCursorOff();
    Form.UpdateUndoMenuItem();
}

void EnterRunningState(TfrmMain& Form) {
    BusyCursorOn();
    EnableRunControls(Form, false);
    Form.ClearFileList();
    Form.SetLabelCaption(Form.lblFiles, EmptyFilesLabel());
    MainState.WorkInProgress = true;
    Form.UpdateUndoMenuItem();
    // Rows of a run that ended with its window belong to no list.
    if (MainState.Pending.TimerSet) KillTimer(Form.Handle(), ShowPendingTimer);
    MainState.Pending = TPendingRows{};
}

// A start that failed half-way (no thread could be made) must not leave the
// window disabled for good.
void LeaveRunningStateAfterFailure(TfrmMain& Form) {
    MainState.WorkInProgress = false;
    EnableAfterRun(Form);
}

}  // namespace

// ---- The commands ----

void TfrmMain::btnSearchClick() {
    if (!InputsPass(*this, &CheckSearchInputs)) return;

    EnterRunningState(*this);
    // The folder box is disabled until the run ends, so its text is the same for
    // every row of the run.
    MainState.Pending.FolderLength = WithTrailingBackslash(ControlText(txtFolder)).size();
    try {
        auto& Worker = MainState.SearchWorker;
        Worker.reset();
        Worker = std::make_unique<TWorkThreadSearch>(ControlText(txtFolder), Checked(cbRecursive),
                                                     ControlText(txtFilters), ControlText(txtTextToFind),
                                                     Checked(cbCaseSensitive), MainState.CurrentEncodingMode);
        Worker->OnSearchShowCurrentFilter = [this](std::wstring Filter) { SearchShowCurrentFilter(std::move(Filter)); };
        Worker->OnSearchProgress = [this](std::int32_t Value) { SearchProgress(Value); };
        Worker->OnSearchAddFile = [this](std::wstring FileName, std::int32_t Occurences, std::int32_t TotalOccurences) {
            SearchAddFile(std::move(FileName), Occurences, TotalOccurences);
        };
        Worker->OnSearchReturnValues = [this](std::int32_t SkipCount) { SearchReturnValues(SkipCount); };
        Worker->OnRunFault = [this](std::wstring What) { RunFault(std::move(What)); };
        FRunFault.reset();
        Worker->Start();
    } catch (...) {
        LeaveRunningStateAfterFailure(*this);
        throw;
    }
}

void TfrmMain::btnApplyClick() {
    if (!InputsPass(*this, &CheckApplyInputs)) return;
    if (!ConfirmYesNo(FHandle)) return;
    if (ControlText(txtReplaceWith).empty() &&
        !ConfirmOkCancel(FHandle, MsgReplaceWithEmpty(), ChooseText(UseSwedish(), L"Varning", L"Warning")))
        return;

    EnterRunningState(*this);
    try {
        auto& Worker = MainState.ApplyWorker;
        Worker.reset();
        // The values as the controls hold them now, after the questions.
        Worker = std::make_unique<TWorkThreadApply>(ControlText(txtFolder), Checked(cbRecursive),
                                                    ControlText(txtFilters), ControlText(txtTextToFind),
                                                    ControlText(txtReplaceWith), Checked(cbCaseSensitive),
                                                    MainState.CurrentEncodingMode);
        Worker->OnApplyShowCurrentFilter = [this](std::wstring Filter) { ApplyShowCurrentFilter(std::move(Filter)); };
        Worker->OnApplyProgress = [this](std::int32_t Value) { ApplyProgress(Value); };
        Worker->OnApplyReturnValues = [this](std::int32_t ChangeCount, std::int32_t ReplaceCount,
                                             std::int32_t SkipCount) {
            ApplyReturnValues(ChangeCount, ReplaceCount, SkipCount);
        };
        Worker->OnRunFault = [this](std::wstring What) { RunFault(std::move(What)); };
        FRunFault.reset();
        Worker->Start();
    } catch (...) {
        LeaveRunningStateAfterFailure(*this);
        throw;
    }
}

void TfrmMain::StopRun() {
    if (!MainState.WorkInProgress) return;
    FRunStopped = true;
    if (MainState.SearchWorker) MainState.SearchWorker->Terminate();
    if (MainState.ApplyWorker) MainState.ApplyWorker->Terminate();
    if (MainState.UndoWorker) MainState.UndoWorker->Terminate();
}

// ---- Worker events ----

void TfrmMain::SearchShowCurrentFilter(std::wstring CurrentFilter) {
    SetCaption(ApplicationTitle() + L" - " + CurrentFilter);
}

void TfrmMain::SearchProgress(std::int32_t ProgressValue) {
    ShowPendingRowsWhenDue(*this);
    // Most files of a large run leave the percentage as it was: no redraw then.
    if (ProgressValue == ProgressTag()) return;
    SetProgressTag(ProgressValue);
    DrawProgress();
}

void TfrmMain::SearchAddFile(std::wstring FileName, std::int32_t Occurences, std::int32_t TotalOccurences) {
    // The caption is the path relative to the folder.
    const size_t FolderLength = MainState.Pending.FolderLength;
    std::wstring Caption = FolderLength < FileName.size() ? FileName.substr(FolderLength) : std::wstring();
    MainState.Pending.Rows.push_back(TFileListItem{std::move(Caption), CountOrNotAvailable(Occurences)});
    const auto Count = static_cast<std::uint64_t>(FileItemCount()) + MainState.Pending.Rows.size();
    MainState.Pending.Label = FilesLabel(Count, CountOrNotAvailable(TotalOccurences));
    ShowPendingRowsWhenDue(*this);
}

void TfrmMain::SearchReturnValues(std::int32_t SkipCount) {
    // Closing the window waits for the worker; its last event then finds nothing to do.
    if (ApplicationTerminated()) return;
    ShowPendingRows(*this);
    ShowRunEnded(*this);
    EnableAfterRun(*this);
    SetFocus(btnSearch);
    // A fault is never taken for the end of the files, nor a stop: the rows so far stay.
    const bool Stopped = std::exchange(FRunStopped, false);
    if (FRunFault)
        ShowError(FHandle, MsgRunFault(UseSwedish(), *std::exchange(FRunFault, std::nullopt)));
    else if (Stopped)
        ShowInformation(FHandle, StoppedSearchMessage(FileItemCount(), SkipCount));
    else if (FileItemCount() == 0)
        ShowInformation(FHandle, SearchResultMessage(SkipCount));
}

void TfrmMain::ApplyShowCurrentFilter(std::wstring CurrentFilter) {
    SetCaption(ApplicationTitle() + L" - " + CurrentFilter);
}

void TfrmMain::ApplyProgress(std::int32_t ProgressValue) {
    if (ProgressValue == ProgressTag()) return;
    SetProgressTag(ProgressValue);
    DrawProgress();
}

void TfrmMain::ApplyReturnValues(std::int32_t ChangeCount, std::int32_t ReplaceCount, std::int32_t SkipCount) {
    if (ApplicationTerminated()) return;
    ShowRunEnded(*this);
    SetControlText(txtTextToFind, L"");
    SetControlText(txtReplaceWith, L"");
    EnableAfterRun(*this);
    SetFocus(txtTextToFind);
    const bool Stopped = std::exchange(FRunStopped, false);
    if (FRunFault) {
        // What was written so far stays in view (and in the undo journal).
        SetLabelCaption(lblFiles, FilesLabel(static_cast<std::uint64_t>(ChangeCount), FormatCount(ReplaceCount)));
        ShowError(FHandle, MsgRunFault(UseSwedish(), *std::exchange(FRunFault, std::nullopt)));
        return;
    }
    // The worker waits while its return values are shown: its counts hold still.
    const std::int32_t JournalFailCount = MainState.ApplyWorker ? MainState.ApplyWorker->JournalFailCount() : 0;
    ShowInformation(FHandle, Stopped ? StoppedApplyMessage(ChangeCount, ReplaceCount, SkipCount)
                                     : ApplyResultMessage(ChangeCount, ReplaceCount, SkipCount, JournalFailCount));
}

// ---- Undo last Apply ----

void TfrmMain::UpdateUndoMenuItem() {
    const bool Enabled = !MainState.WorkInProgress && UndoJournalHasRun();
    EnableMenuItem(mnuMainFile, mnuMainFileUndo, MF_BYCOMMAND | (Enabled ? MF_ENABLED : MF_GRAYED));
}

void TfrmMain::mnuMainFileUndoClick() {
    if (MainState.WorkInProgress) return;
    TUndoRun Run;
    if (!NewestUndoRun(Run)) {
        UpdateUndoMenuItem();
        return;
    }
    if (Run.Damaged) {
        ShowError(FHandle, MsgUndoRunHeaderDamaged(Run.Path));
        return;
    }
    if (Run.InUse) {
        ShowInformation(FHandle, MsgUndoRunInUse());
        return;
    }
    if (!ConfirmYesNo(FHandle, MsgUndoQuestion(Run.Entries, FormatShortDateTime(Run.Header.StartTime)))) return;

    EnterRunningState(*this);
    SetCaption(ApplicationTitle() + L" - " + ChooseText(UseSwedish(), L"Ångra", L"Undo"));
    try {
        auto& Worker = MainState.UndoWorker;
        Worker.reset();
        // The run the question named, even if another has come since.
        Worker = std::make_unique<TWorkThreadUndo>(Run.Path);
        Worker->OnUndoProgress = [this](std::int32_t Value) { UndoProgress(Value); };
        Worker->OnUndoReturnValues = [this](std::int32_t Restored, std::int32_t Untouched, std::int32_t Damaged,
                                            TUndoEnd End) { UndoReturnValues(Restored, Untouched, Damaged, End); };
        Worker->OnRunFault = [this](std::wstring What) { RunFault(std::move(What)); };
        FRunFault.reset();
        Worker->Start();
    } catch (...) {
        SetCaption(ApplicationTitle());
        LeaveRunningStateAfterFailure(*this);
        throw;
    }
}

void TfrmMain::UndoProgress(std::int32_t ProgressValue) {
    if (ProgressValue == ProgressTag()) return;
    SetProgressTag(ProgressValue);
    DrawProgress();
}

void TfrmMain::UndoReturnValues(std::int32_t RestoredCount, std::int32_t UntouchedCount, std::int32_t DamagedCount,
                                TUndoEnd End) {
    if (ApplicationTerminated()) return;
    const bool Stopped = std::exchange(FRunStopped, false);
    ShowRunEnded(*this);
    EnableAfterRun(*this);
    SetFocus(txtTextToFind);
    if (End == TUndoEnd::Busy) {
        ShowInformation(FHandle, MsgUndoBusy());
        return;
    }
    if (End == TUndoEnd::CannotOpen) {
        ShowError(FHandle, MsgUndoRunUnreadable());
        return;
    }
    if (FRunFault) {
        ShowError(FHandle, MsgRunFault(UseSwedish(), *std::exchange(FRunFault, std::nullopt)));
        return;
    }
    std::wstring Result = Stopped || End == TUndoEnd::Stopped ? StoppedUndoMessage(RestoredCount, UntouchedCount)
                                                              : UndoResultMessage(RestoredCount, UntouchedCount);
    if (End == TUndoEnd::Retry) Result += L"\n" + MsgUndoRunKept();
    ShowInformation(FHandle, Result);
    if (DamagedCount > 0) ShowError(FHandle, MsgUndoJournalDamaged(DamagedCount));
}
