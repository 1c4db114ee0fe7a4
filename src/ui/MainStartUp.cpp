// Start-up and shut-down of the main window: settings, encoding switches,
// start-up geometry, the offer of Notepad++, and what is stored at exit.
#include "files/LongPath.h"
#include "platform/Language.h"
#include "platform/MessageBoxes.h"
#include "platform/Shell.h"
#include "settings/SettingsCatalogue.h"
#include "ui/Main.h"
#include "ui/WindowHelpers.h"

#include <shlobj.h>

namespace {

constexpr int DefaultOuterWidth = 800;
constexpr int DefaultOuterHeight = 600;

bool FileExists(const std::wstring& Path) {
    DWORD Attributes = GetFileAttributesW(ExtendedPath(Path).c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TWindowBounds WindowBounds(HWND Window) {
    RECT Outer{};
    GetWindowRect(Window, &Outer);
    return TWindowBounds{Outer.left, Outer.top, Outer.right - Outer.left, Outer.bottom - Outer.top};
}

}  // namespace

TEncodingMode EncodingModeFromSwitches(std::wstring_view CommandLine, TEncodingMode Current) {
    static constexpr struct {
        std::wstring_view Switch;
        TEncodingMode Mode;
    } Switches[] = {{L"/AUTO", TEncodingMode::Auto},
                    {L"/ANSI", TEncodingMode::Ansi},
                    {L"/UTF16LE", TEncodingMode::Utf16LE},
                    {L"/UTF8", TEncodingMode::Utf8}};
    for (const auto& Entry : Switches)
        if (HasSwitchIn(CommandLine, Entry.Switch)) return Entry.Mode;
    return Current;
}

bool MonitorTakesDefaultSize(const RECT& MonitorBounds) {
    return MonitorBounds.right - MonitorBounds.left >= 1024 && MonitorBounds.bottom - MonitorBounds.top >= 768;
}

void TfrmMain::FormCreate() {
    // The design texts are Swedish; everyone else reads the window in English.
    if (!UseSwedish()) SetEnglishTexts();
    // The title without a mode label: the title rule adds the label to it.
    BaseTitle = Title();
    // The empty progress bar (the tag is still 0).
    DrawProgress();
    // The stored settings; a missing key keeps the design value.
    TMainSettings Defaults;
    Defaults.Folder = ControlText(txtFolder);
    Defaults.Recursive = Checked(cbRecursive);
    Defaults.Filters = ControlText(txtFilters);
    Defaults.CaseSensitive = Checked(cbCaseSensitive);
    Defaults.Editor = L"";
    Defaults.TextEncoding = StoredEncodingMode(CurrentEncodingMode);
    TMainSettings Settings = ReadMainSettings(Defaults);
    SetControlText(txtFolder, Settings.Folder);
    SetChecked(cbRecursive, Settings.Recursive);
    SetControlText(txtFilters, Settings.Filters);
    SetChecked(cbCaseSensitive, Settings.CaseSensitive);
    EditorPath = Settings.Editor;
    History = ReadTextHistory();
    CurrentEncodingMode = EncodingModeFromStored(Settings.TextEncoding);
    // An encoding switch on the command line wins over the stored mode.
    CurrentEncodingMode = EncodingModeFromSwitches(GetCommandLineW(), CurrentEncodingMode);
    // The title names the mode the run starts in.
    ComposeModeTitle();
    // The size as created becomes the minimum size and the reference of the
    // layout rules (WM_GETMINMAXINFO answers with it from here on).
    RecordInitialSize();
    // A large enough monitor gives the window its roomier start-up size.
    MONITORINFO Monitor{};
    Monitor.cbSize = sizeof(Monitor);
    if (GetMonitorInfoW(MonitorFromWindow(FHandle, MONITOR_DEFAULTTONEAREST), &Monitor) &&
        MonitorTakesDefaultSize(Monitor.rcMonitor))
        SetWindowPos(FHandle, nullptr, 0, 0, ScaleForDpi(DefaultOuterWidth), ScaleForDpi(DefaultOuterHeight),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Shown and centred: where a first start, without stored bounds, opens.
    ShowWindow(FHandle, SW_SHOW);
    CenterOnWorkArea(FHandle);
    // Stored bounds win: screen pixels used as they are; the minimum size still applies.
    TWindowBounds Bounds = ReadWindowBounds(WindowBounds(FHandle));
    MoveWindow(FHandle, Bounds.Left, Bounds.Top, Bounds.Width, Bounds.Height, TRUE);
    // Maximized last, so the stored bounds stay the size it is restored to.
    if (ReadMaximized()) ShowWindow(FHandle, SW_MAXIMIZE);
    // Painted whole before a question can appear over it.
    InvalidateRect(FHandle, nullptr, TRUE);
    UpdateWindow(FHandle);
    // Without a chosen editor, Notepad++ is offered when it is installed; the
    // question comes over the visible, placed window.
    if (EditorPath.empty()) OfferNotepadPlusPlus();
}

void TfrmMain::OfferNotepadPlusPlus() {
    struct TCandidate {
        std::int32_t FolderId;
        const wchar_t* Fallback;
        const wchar_t* Swedish;
        const wchar_t* English;
    };
    static const TCandidate Candidates[] = {
        {CSIDL_PROGRAM_FILES, L"C:\\Program Files\\",
         L"Notepad++ (x64) hittades. Vill du använda denna som din redigerare?",
         L"Notepad++ (x64) was found. Do you want to use this as your editor?"},
        {CSIDL_PROGRAM_FILESX86, L"C:\\Program Files (x86)\\",
         L"Notepad++ (x86) hittades. Vill du använda denna som din redigerare?",
         L"Notepad++ (x86) was found. Do you want to use this as your editor?"},
    };
    for (const TCandidate& Candidate : Candidates) {
        std::wstring Path = SpecialFolderPath(Candidate.FolderId, Candidate.Fallback) + L"Notepad++\\notepad++.exe";
        if (!FileExists(Path)) continue;
        bool Accepted = ConfirmYesNo(FHandle, ChooseText(UseSwedish(), Candidate.Swedish, Candidate.English));
        EditorPath = Accepted ? Path : std::wstring(L"NOTEPAD");
        return;
    }
    // Neither found: the editor stays unchosen and the next start looks again.
}

void TfrmMain::FormDestroy() {
    // A running worker is asked to stop; the wait still runs its pending
    // handlers on this thread.
    {
        std::unique_ptr<TWorkThreadSearch> Worker = std::move(Run.SearchWorker);
        Worker.reset();
    }
    {
        std::unique_ptr<TWorkThreadApply> Worker = std::move(Run.ApplyWorker);
        Worker.reset();
    }
    {
        // A running undo finishes the file at hand; its run stays in the journal
        // and the next undo completes it.
        std::unique_ptr<TWorkThreadUndo> Worker = std::move(Run.UndoWorker);
        Worker.reset();
    }
    // The settings as the controls and the window hold them now.
    TMainSettings Settings;
    Settings.Folder = ControlText(txtFolder);
    Settings.Recursive = Checked(cbRecursive);
    Settings.Filters = ControlText(txtFilters);
    Settings.CaseSensitive = Checked(cbCaseSensitive);
    Settings.Editor = EditorPath;
    Settings.TextEncoding = StoredEncodingMode(CurrentEncodingMode);
    WriteMainSettings(Settings);
    WriteTextHistory(History);
    // The window's state and bounds. A minimized window is stored as the state
    // it would be restored to, not at the far-off position the system parks
    // minimized windows at.
    bool Maximized = IsZoomed(FHandle) != FALSE;
    TWindowBounds Bounds = WindowBounds(FHandle);
    if (IsIconic(FHandle)) {
        WINDOWPLACEMENT Placement{};
        Placement.length = sizeof(Placement);
        if (GetWindowPlacement(FHandle, &Placement)) {
            Maximized = (Placement.flags & WPF_RESTORETOMAXIMIZED) != 0;
            // The normal position is in work-area coordinates.
            MONITORINFO Monitor{};
            Monitor.cbSize = sizeof(Monitor);
            GetMonitorInfoW(MonitorFromWindow(FHandle, MONITOR_DEFAULTTONEAREST), &Monitor);
            RECT Normal = Placement.rcNormalPosition;
            OffsetRect(&Normal, Monitor.rcWork.left - Monitor.rcMonitor.left, Monitor.rcWork.top - Monitor.rcMonitor.top);
            Bounds = TWindowBounds{Normal.left, Normal.top, Normal.right - Normal.left, Normal.bottom - Normal.top};
        }
    }
    WriteWindowState(Maximized, Bounds);
}
