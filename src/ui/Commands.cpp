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
#include "ui/TextHistory.h"
#include "ui/WindowHelpers.h"

#include <utility>
#include <vector>

namespace {

// A search's rows wait in Run.Pending and reach the list at most every
// ShowInterval milliseconds, and all of them at the run's end.
constexpr ULONGLONG ShowInterval = 50;
constexpr UINT_PTR ShowPendingTimer = 0x5157;  // on the main window

}  // namespace

// The controls that a run disables and its end enables again, in this order.
void TfrmMain::EnableRunControls(bool Enabled) {
    for (HWND Control : {lvFiles, txtFolder, btnBrowse, cbRecursive, txtFilters, txtTextToFind, btnSearch,
                         cbCaseSensitive, txtReplaceWith, btnApply})
        EnableWindow(Control, Enabled ? TRUE : FALSE);
}

bool TfrmMain::InputsPass(TInputProblem (*Check)(const TRunInputs&)) {
    const std::wstring Folder = ControlText(txtFolder), Filters = ControlText(txtFilters),
                       TextToFind = ControlText(txtTextToFind), ReplaceWith = ControlText(txtReplaceWith);
    const TInputProblem Problem = Check(
        TRunInputs{Folder, Filters, TextToFind, ReplaceWith, Checked(cbCaseSensitive), CurrentEncodingMode});
    if (Problem == TInputProblem::None) return true;
    ShowError(FHandle, InputProblemMessage(Problem, Filters));
    return false;
}

void TfrmMain::ShowPendingRows() {
    TPendingRows& Pending = Run.Pending;
    if (Pending.TimerSet) {
        KillTimer(FHandle, ShowPendingTimer);
        Pending.TimerSet = false;
    }
    Pending.LastShown = GetTickCount64();
    if (Pending.Rows.empty()) return;
    AppendFileItems(Pending.Rows);
    SetLabelCaption(lblFiles, Pending.Label);
}

// Rows that wait while the worker reads a large file are shown by the timer;
// a timer message comes only when nothing else waits, hence the time test in
// the handlers too. The timer names its window by the handle.
void CALLBACK TfrmMain::ShowPendingRowsLater(HWND Window, UINT, UINT_PTR, DWORD) {
    try {
        if (TfrmMain* Form = FromHandle(Window)) Form->ShowPendingRows();
    } catch (...) {
        // Not a reason to stop the program: the rows come with the next update.
    }
}

void TfrmMain::ShowPendingRowsWhenDue() {
    TPendingRows& Pending = Run.Pending;
    if (Pending.Rows.empty()) return;
    if (GetTickCount64() - Pending.LastShown >= ShowInterval) {
        ShowPendingRows();
    } else if (!Pending.TimerSet) {
        Pending.TimerSet =
            SetTimer(FHandle, ShowPendingTimer, static_cast<UINT>(ShowInterval), &TfrmMain::ShowPendingRowsLater) != 0;
    }
}

// The end of a run, in two halves so that Apply can empty its text boxes
// between them: first the title and the progress bar, then the controls, the
// cursor and the Undo menu item.
void TfrmMain::ShowRunEnded() {
    Run.WorkInProgress = false;
    SetCaption(Title());
    SetProgressTag(0);
    DrawProgress();
}

void TfrmMain::EnableAfterRun() {
    EnableRunControls(true);
    BusyCursorOff();
    UpdateUndoMenuItem();
}

// The window as a run starts: busy cursor, the inputs and both commands
// disabled so nothing changes under the worker, an empty list with its empty
// status label. The caller frees its previous worker and starts the new one.
void TfrmMain::EnterRunningState() {
    BusyCursorOn();
    EnableRunControls(false);
    ClearFileList();
    SetLabelCaption(lblFiles, EmptyFilesLabel());
    Run.WorkInProgress = true;
    UpdateUndoMenuItem();
    if (Run.Pending.TimerSet) KillTimer(FHandle, ShowPendingTimer);
    Run.Pending = TPendingRows{};
    Run.Fault.reset();
}

// A start that failed half-way (no thread could be made) must not leave the
// window disabled for good.
void TfrmMain::LeaveRunningStateAfterFailure() {
    Run.WorkInProgress = false;
    EnableAfterRun();
}

// ---- The commands ----

void TfrmMain::btnSearchClick() {
    if (!InputsPass(&CheckSearchInputs)) return;
    RememberText(History.Find, ControlText(txtTextToFind));

    EnterRunningState();
    // The folder box is disabled until the run ends, so its text is the same for
    // every row of the run.
    Run.Pending.FolderLength = WithTrailingBackslash(ControlText(txtFolder)).size();
    try {
        auto& Worker = Run.SearchWorker;
        Worker.reset();
        Worker = std::make_unique<TWorkThreadSearch>(ControlText(txtFolder), Checked(cbRecursive),
                                                     ControlText(txtFilters), ControlText(txtTextToFind),
                                                     Checked(cbCaseSensitive), CurrentEncodingMode);
        Worker->OnSearchShowCurrentFilter = [this](std::wstring Filter) { SearchShowCurrentFilter(std::move(Filter)); };
        Worker->OnSearchProgress = [this](std::int32_t Value) { SearchProgress(Value); };
        Worker->OnSearchAddFile = [this](std::wstring FileName, std::int32_t Occurences, std::int32_t TotalOccurences) {
            SearchAddFile(std::move(FileName), Occurences, TotalOccurences);
        };
        Worker->OnSearchReturnValues = [this](std::int32_t SkipCount) { SearchReturnValues(SkipCount); };
        Worker->OnRunFault = [this](std::wstring What) { RunFault(std::move(What)); };
        Worker->Start();
    } catch (...) {
        LeaveRunningStateAfterFailure();
        throw;
    }
}

void TfrmMain::btnApplyClick() {
    if (!InputsPass(&CheckApplyInputs)) return;
    if (!ConfirmYesNo(FHandle)) return;
    if (ControlText(txtReplaceWith).empty() &&
        !ConfirmOkCancel(FHandle, MsgReplaceWithEmpty(), ChooseText(UseSwedish(), L"Varning", L"Warning")))
        return;
    StartApply(TReviewInputs{ControlText(txtFolder), ControlText(txtFilters), ControlText(txtTextToFind),
                             ControlText(txtReplaceWith), Checked(cbRecursive), Checked(cbCaseSensitive),
                             CurrentEncodingMode, std::nullopt},
               {});
}

void TfrmMain::ApplyReviewed(const TReviewInputs& Inputs, std::unordered_map<std::wstring, TReviewStamp> Stamps) {
    if (Run.WorkInProgress) return;
    StartApply(Inputs, std::move(Stamps));
}

void TfrmMain::StartApply(const TReviewInputs& Inputs, std::unordered_map<std::wstring, TReviewStamp> Stamps) {
    RememberText(History.Find, Inputs.TextToFind);
    RememberText(History.Replace, Inputs.ReplaceWith);

    EnterRunningState();
    try {
        auto& Worker = Run.ApplyWorker;
        Worker.reset();
        Worker = std::make_unique<TWorkThreadApply>(Inputs.Folder, Inputs.Recursive, Inputs.Filters, Inputs.TextToFind,
                                                    Inputs.ReplaceWith, Inputs.CaseSensitive, Inputs.Mode);
        if (Inputs.Files) Worker->SetFileList(*Inputs.Files);
        Worker->ExpectedStamps = std::move(Stamps);
        Worker->OnApplyShowCurrentFilter = [this](std::wstring Filter) { ApplyShowCurrentFilter(std::move(Filter)); };
        Worker->OnApplyProgress = [this](std::int32_t Value) { ApplyProgress(Value); };
        Worker->OnApplyReturnValues = [this](std::int32_t ChangeCount, std::int32_t ReplaceCount,
                                             std::int32_t SkipCount) {
            ApplyReturnValues(ChangeCount, ReplaceCount, SkipCount);
        };
        Worker->OnRunFault = [this](std::wstring What) { RunFault(std::move(What)); };
        Worker->Start();
    } catch (...) {
        LeaveRunningStateAfterFailure();
        throw;
    }
}

void TfrmMain::mnuMainFileReviewClick() {
    if (Run.WorkInProgress || Review()) return;
    if (!InputsPass(&CheckApplyInputs)) return;
    TReviewInputs Inputs{ControlText(txtFolder), ControlText(txtFilters), ControlText(txtTextToFind),
                         ControlText(txtReplaceWith), Checked(cbRecursive), Checked(cbCaseSensitive),
                         CurrentEncodingMode, std::nullopt};
    // The list only ever holds files of the folder the box shows.
    if (FileItemCount() > 0) {
        const std::wstring Root = WithTrailingBackslash(Inputs.Folder);
        Inputs.Files.emplace();
        for (const TFileListItem& Item : FFileItems) Inputs.Files->push_back(Root + Item.Caption);
    }
    FReview.reset();
    FReview = std::make_unique<TfrmReview>(*this, std::move(Inputs));
}

void TfrmMain::StopRun() {
    if (!Run.WorkInProgress) return;
    Run.Stopped = true;
    if (Run.SearchWorker) Run.SearchWorker->Terminate();
    if (Run.ApplyWorker) Run.ApplyWorker->Terminate();
    if (Run.UndoWorker) Run.UndoWorker->Terminate();
}

// ---- Worker events ----

void TfrmMain::ShowCurrentFilter(const std::wstring& CurrentFilter) { SetCaption(Title() + L" - " + CurrentFilter); }

void TfrmMain::ShowProgress(std::int32_t ProgressValue) {
    // Most files of a large run leave the percentage as it was: no redraw then.
    if (ProgressValue == ProgressTag()) return;
    SetProgressTag(ProgressValue);
    DrawProgress();
}

void TfrmMain::SearchShowCurrentFilter(std::wstring CurrentFilter) { ShowCurrentFilter(CurrentFilter); }

void TfrmMain::SearchProgress(std::int32_t ProgressValue) {
    ShowPendingRowsWhenDue();
    ShowProgress(ProgressValue);
}

void TfrmMain::SearchAddFile(std::wstring FileName, std::int32_t Occurences, std::int32_t TotalOccurences) {
    // The caption is the path relative to the folder.
    const size_t FolderLength = Run.Pending.FolderLength;
    std::wstring Caption = FolderLength < FileName.size() ? FileName.substr(FolderLength) : std::wstring();
    Run.Pending.Rows.push_back(TFileListItem{std::move(Caption), CountOrNotAvailable(Occurences)});
    const auto Count = static_cast<std::uint64_t>(FileItemCount()) + Run.Pending.Rows.size();
    Run.Pending.Label = FilesLabel(Count, CountOrNotAvailable(TotalOccurences));
    ShowPendingRowsWhenDue();
}

void TfrmMain::SearchReturnValues(std::int32_t SkipCount) {
    // Closing the window waits for the worker; its last event then finds nothing to do.
    if (Terminated()) return;
    ShowPendingRows();
    ShowRunEnded();
    EnableAfterRun();
    SetFocus(btnSearch);
    // A fault is never taken for the end of the files, nor a stop: the rows so far stay.
    const bool Stopped = std::exchange(Run.Stopped, false);
    if (Run.Fault)
        ShowError(FHandle, MsgRunFault(UseSwedish(), *std::exchange(Run.Fault, std::nullopt)));
    else if (Stopped)
        ShowInformation(FHandle, StoppedSearchMessage(FileItemCount(), SkipCount));
    else if (FileItemCount() == 0)
        ShowInformation(FHandle, SearchResultMessage(SkipCount));
}

void TfrmMain::ApplyShowCurrentFilter(std::wstring CurrentFilter) { ShowCurrentFilter(CurrentFilter); }

void TfrmMain::ApplyProgress(std::int32_t ProgressValue) { ShowProgress(ProgressValue); }

void TfrmMain::ApplyReturnValues(std::int32_t ChangeCount, std::int32_t ReplaceCount, std::int32_t SkipCount) {
    if (Terminated()) return;
    ShowRunEnded();
    SetControlText(txtTextToFind, L"");
    SetControlText(txtReplaceWith, L"");
    EnableAfterRun();
    SetFocus(txtTextToFind);
    const bool Stopped = std::exchange(Run.Stopped, false);
    if (Run.Fault) {
        // What was written so far stays in view (and in the undo journal).
        SetLabelCaption(lblFiles, FilesLabel(static_cast<std::uint64_t>(ChangeCount), FormatCount(ReplaceCount)));
        ShowError(FHandle, MsgRunFault(UseSwedish(), *std::exchange(Run.Fault, std::nullopt)));
        return;
    }
    // The worker waits while its return values are shown: its counts hold still.
    const std::int32_t JournalFailCount = Run.ApplyWorker ? Run.ApplyWorker->JournalFailCount() : 0;
    ShowInformation(FHandle, Stopped ? StoppedApplyMessage(ChangeCount, ReplaceCount, SkipCount)
                                     : ApplyResultMessage(ChangeCount, ReplaceCount, SkipCount, JournalFailCount));
}

// ---- Undo last Apply ----

void TfrmMain::UpdateUndoMenuItem() {
    const bool Enabled = !Run.WorkInProgress && UndoJournalHasRun();
    EnableMenuItem(mnuMainFile, mnuMainFileUndo, MF_BYCOMMAND | (Enabled ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(mnuMainFile, mnuMainFileReview, MF_BYCOMMAND | (Run.WorkInProgress ? MF_GRAYED : MF_ENABLED));
}

void TfrmMain::mnuMainFileUndoClick() {
    if (Run.WorkInProgress) return;
    TUndoRun Newest;
    if (!NewestUndoRun(Newest)) {
        UpdateUndoMenuItem();
        return;
    }
    if (Newest.Damaged) {
        ShowError(FHandle, MsgUndoRunHeaderDamaged(Newest.Path));
        return;
    }
    if (Newest.InUse) {
        ShowInformation(FHandle, MsgUndoRunInUse());
        return;
    }
    if (!ConfirmYesNo(FHandle, MsgUndoQuestion(Newest.Entries, FormatShortDateTime(Newest.Header.StartTime)))) return;

    EnterRunningState();
    SetCaption(Title() + L" - " + ChooseText(UseSwedish(), L"Ångra", L"Undo"));
    try {
        auto& Worker = Run.UndoWorker;
        Worker.reset();
        // The run the question named, even if another has come since.
        Worker = std::make_unique<TWorkThreadUndo>(Newest.Path);
        Worker->OnUndoProgress = [this](std::int32_t Value) { UndoProgress(Value); };
        Worker->OnUndoReturnValues = [this](std::int32_t Restored, std::int32_t Untouched, std::int32_t Damaged,
                                            TUndoEnd End) { UndoReturnValues(Restored, Untouched, Damaged, End); };
        Worker->OnRunFault = [this](std::wstring What) { RunFault(std::move(What)); };
        Worker->Start();
    } catch (...) {
        SetCaption(Title());
        LeaveRunningStateAfterFailure();
        throw;
    }
}

void TfrmMain::UndoProgress(std::int32_t ProgressValue) { ShowProgress(ProgressValue); }

void TfrmMain::UndoReturnValues(std::int32_t RestoredCount, std::int32_t UntouchedCount, std::int32_t DamagedCount,
                                TUndoEnd End) {
    if (Terminated()) return;
    const bool Stopped = std::exchange(Run.Stopped, false);
    ShowRunEnded();
    EnableAfterRun();
    SetFocus(txtTextToFind);
    if (End == TUndoEnd::Busy) {
        ShowInformation(FHandle, MsgUndoBusy());
        return;
    }
    if (End == TUndoEnd::CannotOpen) {
        ShowError(FHandle, MsgUndoRunUnreadable());
        return;
    }
    if (Run.Fault) {
        ShowError(FHandle, MsgRunFault(UseSwedish(), *std::exchange(Run.Fault, std::nullopt)));
        return;
    }
    std::wstring Result = Stopped || End == TUndoEnd::Stopped ? StoppedUndoMessage(RestoredCount, UntouchedCount)
                                                              : UndoResultMessage(RestoredCount, UntouchedCount);
    if (End == TUndoEnd::Retry) Result += L"\n" + MsgUndoRunKept();
    ShowInformation(FHandle, Result);
    if (DamagedCount > 0) ShowError(FHandle, MsgUndoJournalDamaged(DamagedCount));
}
