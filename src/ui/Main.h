#pragma once
// The main window TfrmMain: its controls, its handlers and everything it
// holds, and the routines around it. Each window is whole in itself: two of
// them in one process share nothing but the settings file.
#include "QuorvaneVersion.h"
#include "base/UniqueHandle.h"
#include "files/EncodingMode.h"
#include "platform/InputChecks.h"
#include "settings/SettingsCatalogue.h"
#include "ui/FileDialogs.h"
#include "ui/Review.h"
#include "ui/RunState.h"
#include "ui/WindowBase.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// "Quorvane" and the version of the build.
constexpr std::wstring_view ApplicationName = QV_PRODUCT_WNAME;
// "(Auto)", "(ANSI)", "(UTF-16/LE)", "(UTF-8)", or empty for any other mode.
std::wstring_view EncodingModeLabel(TEncodingMode Mode);
// The encoding switches /AUTO, /ANSI, /UTF16LE and /UTF8, tested in that order on
// CommandLine: the first present gives its mode; without any, Current.
TEncodingMode EncodingModeFromSwitches(std::wstring_view CommandLine, TEncodingMode Current);
// Whether a monitor of this size gets the 800 x 600 start-up size.
bool MonitorTakesDefaultSize(const RECT& MonitorBounds);

// The project's home page: the link of the window and the About credit.
constexpr std::wstring_view HomePageUrl = L"https://quorvane.example/";

// Modifier keys held with a key.
enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
using TShiftState = unsigned;
TShiftState CurrentShiftState();

// The sizes the layout works from: the window as created, and how much its
// client area has grown since, at the DPI of the moment.
struct TWindowGeometry {
    UINT Dpi = 96;          // DPI of the monitor the window is on
    UINT CreatedDpi = 96;   // DPI at which the initial sizes were recorded
    bool LayoutReady = false;  // the reference size has been recorded
    std::int32_t InitialWidth = 0, InitialHeight = 0;              // outer size as created: the minimum size
    std::int32_t InitialClientWidth = 0, InitialClientHeight = 0;  // reference of the layout rules
    std::int32_t GrowthWidth = 0, GrowthHeight = 0;                // client growth at the last resize
};

class TfrmMain : public TWindowBase {
public:
    // Builds the window from its design at the DPI of the monitor it opens on and
    // runs FormCreate, which shows it. With QuitOnDestroy the window ends the
    // thread's message loop when it is destroyed (the program's main window).
    explicit TfrmMain(bool QuitOnDestroy = false);
    ~TfrmMain() override;
    // The window object of a main window's handle (timers and callbacks get the handle); null for other windows.
    static TfrmMain* FromHandle(HWND Window);

    // Accelerators (F1, Ctrl+Q) and keyboard navigation between the controls;
    // true when Message has been handled and must not be dispatched again.
    bool PreTranslateMessage(MSG& Message) override;
    // Closes the window as the user would (the window is destroyed and FormDestroy runs).
    void Close();
    // Esc: asks the running Search, Apply or undo to stop; it ends through its
    // return values, with a result that says it was stopped. Nothing outside a run.
    void StopRun();

    // ---- Components, in design order ----
    HWND btnApply = nullptr;
    HWND btnBrowse = nullptr;
    HWND btnSearch = nullptr;
    HWND cbCaseSensitive = nullptr;
    HWND cbRecursive = nullptr;
    HWND ImageProgress = nullptr;
    HWND lblFiles = nullptr;
    HWND lblFilters = nullptr;
    HWND lblFolder = nullptr;
    HWND lblReplaceWith = nullptr;
    HWND lblTextToFind = nullptr;
    HWND llURL = nullptr;
    HWND lvFiles = nullptr;
    HMENU mnuMain = nullptr;
    HMENU mnuMainFile = nullptr;
    HMENU mnuMainHelp = nullptr;
    // Command identifiers of the menu items.
    static constexpr UINT mnuMainFileQuit = 201;
    static constexpr UINT mnuMainHelpKeyboardShortcuts = 202;
    static constexpr UINT mnuMainHelpBreak1 = 203;
    static constexpr UINT mnuMainHelpAbout = 204;
    static constexpr UINT mnuMainFileUndo = 205;
    // The file list's context menu and its commands.
    static constexpr UINT pmFilesOpen = 206;
    static constexpr UINT pmFilesOpenFolder = 207;
    static constexpr UINT pmFilesCopyPath = 208;
    static constexpr UINT mnuMainFileReview = 209;
    TFileDialog odEditor;
    TFileDialog sdTXT;
    HWND txtFilters = nullptr;
    HWND txtFolder = nullptr;
    HWND txtReplaceWith = nullptr;
    HWND txtTextToFind = nullptr;

    // ---- The window's state ----
    TRunState Run;
    TWindowGeometry Geometry;
    TEncodingMode CurrentEncodingMode = TEncodingMode::Auto;  // an unknown mode from the settings file is kept
    std::wstring EditorPath;  // empty, "NOTEPAD" or the full path of a program
    std::wstring BaseTitle;   // the title when the window was created
    TTextHistory History;     // the recent texts of the find and replace boxes
    // The window's title: BaseTitle and the label of the encoding mode. The caption
    // shows it, or during a run the filter or command after it.
    const std::wstring& Title() const { return FTitle; }
    void SetTitle(std::wstring_view Value) { FTitle.assign(Value); }
    // The title rule: BaseTitle, a blank and the label of the current encoding
    // mode become the title (an unknown mode leaves it as it is); the caption follows.
    void ComposeModeTitle();
    // The window has been destroyed: no run reports to it any more.
    bool Terminated() const { return FTerminated; }

    // ---- Event handlers ----
    void btnApplyClick();
    void btnBrowseClick();
    void btnSearchClick();
    void FormAfterMonitorDpiChanged();
    void FormCreate();
    void FormDestroy();
    void FormKeyDown(WORD& Key, TShiftState Shift);
    void FormPaint(HDC Dc);
    void FormResize();
    void llURLLinkClick(std::wstring_view Link);
    void lvFilesDblClick();
    void lvFilesEnter();
    void lvFilesKeyDown(HWND Sender, WORD& Key, TShiftState Shift);
    // The context menu of the selected file, at a point on the screen or, from the
    // keyboard, below the file's row. Nothing during a run or without a selected file.
    void lvFilesContextPopup(POINT Screen, bool FromKeyboard);
    void pmFilesOpenClick();        // as a double click
    void pmFilesOpenFolderClick();  // Explorer with the file selected
    void pmFilesCopyPathClick();    // the full path on the clipboard as Unicode text
    void mnuMainFileQuitClick();
    void mnuMainFileUndoClick();
    // The review of every change Apply would make, with the inputs as they stand
    // (the same checks as Apply); the listed files when the list holds any.
    void mnuMainFileReviewClick();
    void mnuMainHelpAboutClick();
    void mnuMainHelpKeyboardShortcutsClick();
    void txtFolderChange();
    // A folder, or a file (its folder), dropped on the window: the first item goes
    // into the folder box. Nothing during a run.
    void FormDropFiles(HDROP Drop);
    void txtReplaceWithKeyDown(HWND Sender, WORD& Key, TShiftState Shift);
    void txtTextToFindKeyDown(HWND Sender, WORD& Key, TShiftState Shift);
    // Alt+Down in the find or replace box: its recent texts in a drop-down list
    // below it; the one chosen goes into the box.
    void ShowTextHistory(HWND Box);

    // ---- Worker event handlers (run on the main thread while the worker waits) ----
    void SearchShowCurrentFilter(std::wstring CurrentFilter);
    void SearchProgress(std::int32_t ProgressValue);
    void SearchAddFile(std::wstring FileName, std::int32_t Occurences, std::int32_t TotalOccurences);
    void SearchReturnValues(std::int32_t SkipCount);
    void ApplyShowCurrentFilter(std::wstring CurrentFilter);
    void ApplyProgress(std::int32_t ProgressValue);
    void ApplyReturnValues(std::int32_t ChangeCount, std::int32_t ReplaceCount, std::int32_t SkipCount);
    void UndoProgress(std::int32_t ProgressValue);
    void UndoReturnValues(std::int32_t RestoredCount, std::int32_t UntouchedCount, std::int32_t DamagedCount,
                          TUndoEnd End);
    // Any worker: the run ends through a fault; its return values follow.
    void RunFault(std::wstring What) { Run.Fault = std::move(What); }

    // The review window while it is open; null otherwise.
    TfrmReview* Review() const { return FReview && FReview->Handle() ? FReview.get() : nullptr; }
    // Apply on the files a review kept, each only while it still has its reviewed stamp.
    void ApplyReviewed(const TReviewInputs& Inputs, std::unordered_map<std::wstring, TReviewStamp> Stamps);
    // A file in the editor chosen with F12 (Notepad without one).
    void OpenFileInEditor(const std::wstring& Path);

    // "Undo last Apply" is enabled only between runs, and only when the journal
    // holds a run to undo.
    void UpdateUndoMenuItem();

    // ---- Layout, scaling and progress display ----
    UINT Dpi() const { return Geometry.Dpi; }
    double DpiScale() const;
    std::int32_t ScaleForDpi(std::int32_t Value) const;
    void DrawProgress();
    std::int32_t ProgressTag() const;
    void SetProgressTag(std::int32_t Value);

    // ---- Control helpers ----
    static std::wstring ControlText(HWND Control);
    // Sets the text only when it differs, so an edit box reports a change only for a real one.
    static void SetControlText(HWND Control, std::wstring_view Text);
    static bool Checked(HWND CheckBox);
    static void SetChecked(HWND CheckBox, bool Value);
    // Sets a label's text and sizes the label to it.
    void SetLabelCaption(HWND Label, std::wstring_view Text);
    void SetCaption(std::wstring_view Text);
    std::wstring Caption() const;

    // ---- File list (a virtual list: the rows live here) ----
    void ClearFileList();
    void AppendFileItem(std::wstring Caption, std::wstring CountText);
    // Appends many rows at once: the list learns its new length (and redraws its
    // scroll bar, which takes milliseconds) once for all of them.
    void AppendFileItems(std::vector<TFileListItem>& Items);
    std::int32_t FileItemCount() const { return static_cast<std::int32_t>(FFileItems.size()); }
    const TFileListItem& FileItem(std::int32_t Index) const { return FFileItems[static_cast<size_t>(Index)]; }
    // The selected row, or -1.
    std::int32_t SelectedFileIndex() const;
    // The full path of the selected row's file; empty without one.
    std::wstring SelectedFilePath() const;

private:
    LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;
    LRESULT HandleControlMessage(HWND Control, UINT Message, WPARAM WParam, LPARAM LParam) override;
    void ShowHandlerError(const char* What) override;
    void HandleCommand(UINT Id, UINT Code, HWND Control);
    LRESULT HandleNotify(const NMHDR& Header);
    // The text of one cell of the virtual list, asked for by LVN_GETDISPINFO.
    void lvFilesGetDispInfo(NMLVDISPINFOW& Info) const;
    void HandleActivate(WPARAM WParam);
    void HandleDpiChanged(UINT NewDpi, const RECT& Suggested);
    // What two handlers of each pair share: the keys of the find and replace
    // boxes, a filter in the caption, the percentage.
    void MultiLineBoxKeyDown(HWND Sender, WORD& Key, TShiftState Shift);
    void ShowCurrentFilter(const std::wstring& CurrentFilter);
    void ShowProgress(std::int32_t ProgressValue);
    // The rows of the running search that wait, shown now.
    void ShowPendingRows();
    void ShowPendingRowsWhenDue();
    static void CALLBACK ShowPendingRowsLater(HWND Window, UINT Message, UINT_PTR Timer, DWORD Time);
    void EnableRunControls(bool Enabled);
    void EnterRunningState();
    void ShowRunEnded();
    void EnableAfterRun();
    void LeaveRunningStateAfterFailure();
    // The input checks of a command on the texts the controls hold now; false after
    // showing the message of the first problem.
    bool InputsPass(TInputProblem (*Check)(const TRunInputs&));
    void OpenSelectedFile();
    void StartApply(const TReviewInputs& Inputs, std::unordered_map<std::wstring, TReviewStamp> Stamps);

    void BuildWindow(int Width, int Height);
    void CreateMenus();
    void CreateControls();
    void CreateFonts();
    void ApplyFonts();
    void UpdateButtonGlyphs();
    void PlaceControlsAtDesign();
    void SetEnglishTexts();
    void AutoSizeLabel(HWND Label);
    void OfferNotepadPlusPlus();
    void RecordInitialSize();

    bool FQuitOnDestroy = false;
    bool FHandlingError = false;
    bool FFormCreated = false;   // FormCreate has run: FormDestroy will store the settings
    bool FTerminated = false;
    std::wstring FTitle{ApplicationName};
    HWND FActiveControl = nullptr;  // the control that has (or last had) the focus
    UniqueGdiObject FWindowFont;
    UniqueGdiObject FConsolasFont;
    UniqueAcceleratorTable FAccelerators;
    UniqueImageList FGlyphs[3];
    std::vector<TFileListItem> FFileItems;
    std::wstring FFolderText;  // the folder box's text at its last real change
    std::unique_ptr<TfrmReview> FReview;  // the last review opened (its window may be closed)
};
