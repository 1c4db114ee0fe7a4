// The review window: its creation at the owner's DPI, layout, texts in both
// languages, keys, the list of files from Apply's dry run, and "Apply checked".
#include "files/FileCollection.h"
#include "platform/Language.h"
#include "platform/MessageBoxes.h"
#include "platform/Messages.h"
#include "settings/SettingsCatalogue.h"
#include "ui/Main.h"
#include "ui/MainTexts.h"
#include "ui/Review.h"
#include "ui/WindowHelpers.h"

#include <commctrl.h>
#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>
#include <stdexcept>
#include <unordered_map>
#include <utility>

namespace {

constexpr wchar_t ReviewClassName[] = L"TfrmReview";
constexpr DWORD ReviewStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD ReviewExStyle = WS_EX_CONTROLPARENT;
// The design at 96 DPI.
constexpr int DesignWidth = 760, DesignHeight = 480, MinWidth = 480, MinHeight = 300;
constexpr int Margin = 8, LabelHeight = 16, ButtonHeight = 26, ApplyWidth = 150, CloseWidth = 90;
constexpr int CountColumnWidth = 130, LineColumnWidth = 64, KindColumnWidth = 24;
// A list view shows at most this many characters of a cell.
constexpr std::size_t ListCellChars = 260;
enum : int { IdFilesLabel = 1, IdFiles, IdChanges, IdApplyChecked, IdClose };

const wchar_t* KindText(TChangeRowKind Kind) {
    switch (Kind) {
    case TChangeRowKind::Before: return L"-";
    case TChangeRowKind::After: return L"+";
    case TChangeRowKind::Context:
    case TChangeRowKind::Gap: break;
    }
    return L"";
}

HWND MakeControl(HWND Parent, const wchar_t* Class, DWORD Style, DWORD ExStyle, int Id) {
    HWND Control = CreateWindowExW(ExStyle, Class, L"", WS_CHILD | WS_VISIBLE | Style, 0, 0, 10, 10, Parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), GetModuleHandleW(nullptr),
                                   nullptr);
    if (!Control) throw std::runtime_error("cannot create a control of the review window");
    return Control;
}

void SetColumn(HWND List, int Index, const wchar_t* Text, int Width, int Format) {
    LVCOLUMNW Column{};
    Column.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM | (Width >= 0 ? LVCF_WIDTH : 0);
    Column.fmt = Format;
    Column.cx = Width;
    Column.pszText = const_cast<wchar_t*>(Text);
    Column.iSubItem = Index;
    if (!ListView_SetColumn(List, Index, &Column)) ListView_InsertColumn(List, Index, &Column);
}

// A theme's data, closed when the owner goes.
struct ThemeTraits {
    using Type = HTHEME;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type H) noexcept { ::CloseThemeData(H); }
};
using UniqueTheme = UniqueHandle<ThemeTraits>;

// The check boxes of List at Dpi: the list's own are made once at the system's
// DPI and would stay small beside text that grows with the window's.
UniqueImageList MakeCheckBoxImages(HWND List, UINT Dpi) {
    const int Size = ScaleLength(16, Dpi), Box = ScaleLength(13, Dpi), Inset = (Size - Box) / 2;
    constexpr COLORREF Transparent = RGB(255, 0, 255);
    UniqueImageList Images(ImageList_Create(Size, Size, ILC_COLOR24 | ILC_MASK, 2, 0));
    TWindowDc Screen(nullptr);
    TMemoryDc Memory(Screen.Get());
    UniqueGdiObject Strip(CreateCompatibleBitmap(Screen.Get(), 2 * Size, Size));
    if (!Images || !Memory || !Strip) throw std::runtime_error("cannot make the review window's check boxes");
    {
        TSelection Selected(Memory.Get(), Strip.Get());
        const RECT Whole{0, 0, 2 * Size, Size};
        UniqueGdiObject Background(CreateSolidBrush(Transparent));
        FillRect(Memory.Get(), &Whole, static_cast<HBRUSH>(Background.Get()));
        const UniqueTheme Theme(OpenThemeData(List, L"BUTTON"));
        for (int Checked = 0; Checked < 2; ++Checked) {
            RECT Cell{Checked * Size + Inset, Inset, Checked * Size + Inset + Box, Inset + Box};
            if (Theme) {
                DrawThemeBackground(Theme.Get(), Memory.Get(), BP_CHECKBOX,
                                    Checked ? CBS_CHECKEDNORMAL : CBS_UNCHECKEDNORMAL, &Cell, nullptr);
            } else {
                DrawFrameControl(Memory.Get(), &Cell, DFC_BUTTON,
                                 DFCS_BUTTONCHECK | DFCS_FLAT | (Checked ? DFCS_CHECKED : 0));
            }
        }
    }
    if (ImageList_AddMasked(Images.Get(), static_cast<HBITMAP>(Strip.Get()), Transparent) < 0)
        throw std::runtime_error("cannot make the review window's check boxes");
    return Images;
}

}  // namespace

TfrmReview::TfrmReview(TfrmMain& Owner, TReviewInputs Inputs) : FOwner(Owner), FInputs(std::move(Inputs)) {
    static const ATOM ClassAtom = [] {
        WNDCLASSEXW Class{};
        Class.cbSize = sizeof(Class);
        Class.lpfnWndProc = &TWindowBase::BaseWindowProc;
        Class.hInstance = GetModuleHandleW(nullptr);
        Class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        Class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        Class.lpszClassName = ReviewClassName;
        return RegisterClassExW(&Class);
    }();
    if (!ClassAtom) throw std::runtime_error("cannot register the review window class");

    // Where it was last, if that is still on a monitor; otherwise over the middle of its owner.
    FDpi = MonitorDpi(Owner.Handle());
    const int Width = ScaleLength(DesignWidth, FDpi), Height = ScaleLength(DesignHeight, FDpi);
    RECT OwnerRect{};
    GetWindowRect(Owner.Handle(), &OwnerRect);
    TWindowBounds Bounds{(OwnerRect.left + OwnerRect.right - Width) / 2,
                         (OwnerRect.top + OwnerRect.bottom - Height) / 2, Width, Height};
    const TWindowBounds Saved = ReadReviewBounds(TWindowBounds{});
    const RECT SavedRect{Saved.Left, Saved.Top, Saved.Left + Saved.Width, Saved.Top + Saved.Height};
    if (Saved.Width > 0 && Saved.Height > 0 && MonitorFromRect(&SavedRect, MONITOR_DEFAULTTONULL)) Bounds = Saved;
    if (!CreateBaseWindow(ReviewExStyle, ReviewClassName, ReviewStyle, Bounds.Left, Bounds.Top, Bounds.Width,
                          Bounds.Height, nullptr, Owner.Handle()))
        throw std::runtime_error("cannot create the review window");
    try {
        FDpi = MonitorDpi(FHandle);
        CreateControls();
        ApplyDpi();
        SetTexts();
        // The inputs stay as they were reviewed until the review closes.
        EnableWindow(Owner.Handle(), FALSE);
        ShowWindow(FHandle, SW_SHOW);
        SetFocus(lvReviewFiles);
        StartScan();
    } catch (...) {
        FClosing = true;
        EnableWindow(Owner.Handle(), TRUE);
        AbandonWindow();
        throw;
    }
}

TfrmReview::~TfrmReview() {
    TearDown();
    if (FHandle) DestroyWindow(FHandle);
}

void TfrmReview::CreateControls() {
    lblReviewFiles = MakeControl(FHandle, WC_STATICW, SS_LEFT | SS_NOPREFIX, 0, IdFilesLabel);
    lvReviewFiles = MakeControl(FHandle, WC_LISTVIEWW,
                                WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                                WS_EX_CLIENTEDGE, IdFiles);
    lvReviewChanges = MakeControl(FHandle, WC_LISTVIEWW,
                                  WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_OWNERDATA | LVS_NOSORTHEADER,
                                  WS_EX_CLIENTEDGE, IdChanges);
    btnApplyChecked = MakeControl(FHandle, WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON, 0, IdApplyChecked);
    btnClose = MakeControl(FHandle, WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON, 0, IdClose);
    ListView_SetExtendedListViewStyle(lvReviewFiles, LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES | LVS_EX_DOUBLEBUFFER);
    ListView_SetExtendedListViewStyle(lvReviewChanges, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    EnableWindow(btnApplyChecked, FALSE);
}

void TfrmReview::SetTexts() {
    const bool Swedish = UseSwedish();
    SetWindowTextW(FHandle, ChooseText(Swedish, L"Granska ändringar", L"Review changes").c_str());
    SetWindowTextW(btnApplyChecked, ChooseText(Swedish, L"Verkställ markerade", L"Apply checked").c_str());
    SetWindowTextW(btnClose, ChooseText(Swedish, L"Stäng", L"Close").c_str());
    SetColumn(lvReviewFiles, 0, Swedish ? L"Filnamn" : L"Filename", -1, LVCFMT_LEFT);
    SetColumn(lvReviewFiles, 1, L"#", -1, LVCFMT_LEFT);
    SetColumn(lvReviewChanges, 0, Swedish ? L"Rad" : L"Line", -1, LVCFMT_RIGHT);
    SetColumn(lvReviewChanges, 1, L"", -1, LVCFMT_LEFT);
    // Each escape ends its literal: a letter a to f after it would count as a hex digit.
    SetColumn(lvReviewChanges, 2,
              Swedish ? L"Text (\x00AB" L"funnen\x00BB" L" / \x00AB" L"ers\x00E4" L"ttning\x00BB" L")"
                      : L"Text (\x00AB" L"found\x00BB" L" / \x00AB" L"replacement\x00BB" L")",
              -1, LVCFMT_LEFT);
    const auto Label = FilesLabel(Files().size(), FormatCount(static_cast<std::uint64_t>(FTotalOccurences)));
    SetWindowTextW(lblReviewFiles, Label.c_str());
}

void TfrmReview::ApplyDpi() {
    const int Height = ScaleLength(12, FDpi);
    UniqueGdiObject Font(CreateFontW(-Height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                     DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI"));
    UniqueGdiObject Mono(CreateFontW(-ScaleLength(13, FDpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN,
                                     L"Consolas"));
    if (!Font || !Mono) throw std::runtime_error("cannot create the review window's fonts");
    UniqueImageList CheckBoxes = MakeCheckBoxImages(lvReviewFiles, FDpi);
    for (HWND Control : {lblReviewFiles, lvReviewFiles, btnApplyChecked, btnClose})
        SendMessageW(Control, WM_SETFONT, reinterpret_cast<WPARAM>(Font.Get()), TRUE);
    SendMessageW(lvReviewChanges, WM_SETFONT, reinterpret_cast<WPARAM>(Mono.Get()), TRUE);
    // The list keeps the new images and destroys them with itself; the ones they
    // replace, its own first, are ours to destroy.
    UniqueImageList Replaced(ListView_SetImageList(lvReviewFiles, CheckBoxes.Release(), LVSIL_STATE));
    std::swap(FFont, Font);
    std::swap(FMonoFont, Mono);
    {
        TWindowDc Dc(lvReviewChanges);
        TSelection Selected(Dc.Get(), FMonoFont.Get());
        TEXTMETRICW Metrics{};
        FMonoCharWidth = GetTextMetricsW(Dc.Get(), &Metrics) ? Metrics.tmAveCharWidth : ScaleLength(7, FDpi);
    }
    Layout();
}

void TfrmReview::Layout() {
    if (!lvReviewFiles) return;
    RECT Client{};
    GetClientRect(FHandle, &Client);
    const auto S = [this](int Value) { return ScaleLength(Value, FDpi); };
    const int Width = Client.right, Height = Client.bottom;
    const int ListsTop = S(Margin + LabelHeight + 4);
    const int ButtonTop = Height - S(Margin + ButtonHeight);
    const int ListsHeight = std::max(0, ButtonTop - S(Margin) - ListsTop);
    const int Inner = std::max(0, Width - S(3 * Margin));
    const int FilesWidth = Inner * 2 / 5, ChangesWidth = Inner - FilesWidth;
    const UINT Flags = SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(lblReviewFiles, nullptr, S(Margin), S(Margin), FilesWidth, S(LabelHeight), Flags);
    SetWindowPos(lvReviewFiles, nullptr, S(Margin), ListsTop, FilesWidth, ListsHeight, Flags);
    SetWindowPos(lvReviewChanges, nullptr, S(2 * Margin) + FilesWidth, ListsTop, ChangesWidth, ListsHeight, Flags);
    const int CloseLeft = Width - S(Margin + CloseWidth);
    SetWindowPos(btnClose, nullptr, CloseLeft, ButtonTop, S(CloseWidth), S(ButtonHeight), Flags);
    SetWindowPos(btnApplyChecked, nullptr, CloseLeft - S(Margin + ApplyWidth), ButtonTop, S(ApplyWidth),
                 S(ButtonHeight), Flags);
    const int Scroll = GetSystemMetrics(SM_CXVSCROLL) + S(4);
    ListView_SetColumnWidth(lvReviewFiles, 1, S(CountColumnWidth));
    ListView_SetColumnWidth(lvReviewFiles, 0, std::max(S(60), FilesWidth - S(CountColumnWidth) - Scroll));
    ListView_SetColumnWidth(lvReviewChanges, 0, S(LineColumnWidth));
    ListView_SetColumnWidth(lvReviewChanges, 1, S(KindColumnWidth));
    SizeChangesColumn();
}

// The text column fills the pane, and is wider when a row needs it: a line is
// reviewed whole, scrolled to, never cut short with an ellipsis.
void TfrmReview::SizeChangesColumn() {
    RECT Bounds{};
    GetWindowRect(lvReviewChanges, &Bounds);
    const auto S = [this](int Value) { return ScaleLength(Value, FDpi); };
    // Room kept for the vertical scroll bar, so that it coming never brings a horizontal one.
    const int Fill = Bounds.right - Bounds.left - S(LineColumnWidth + KindColumnWidth) -
                     GetSystemMetrics(SM_CXVSCROLL) - S(4);
    const int Longest = static_cast<int>(FLongestRow) * FMonoCharWidth + S(24);
    const int Width = std::max({S(100), Fill, Longest});
    if (ListView_GetColumnWidth(lvReviewChanges, 2) != Width) ListView_SetColumnWidth(lvReviewChanges, 2, Width);
}

// ---- The files ----

void TfrmReview::StartScan() {
    FScan = std::make_unique<TWorkThreadApply>(FInputs.Folder, FInputs.Recursive, FInputs.Filters, FInputs.TextToFind,
                                               FInputs.ReplaceWith, FInputs.CaseSensitive, FInputs.Mode);
    FScan->DryRun = true;
    FScan->RecordStamps = true;
    if (FInputs.Files) FScan->SetFileList(*FInputs.Files);
    FScan->OnApplyFileStamp = [this](std::wstring File, TReviewStamp Stamp) {
        FNextStamp.emplace(std::move(File), Stamp);
    };
    FScan->OnApplyFile = [this](std::wstring File, std::int32_t Occurences, TEncodingMode Mode,
                                TApplyFileOutcome Outcome) {
        if (FClosing) return;
        TReviewFile Item{File, {}, Occurences, Mode, Outcome, std::nullopt};
        if (FNextStamp && FNextStamp->first == File) Item.Stamp = FNextStamp->second;
        FNextStamp.reset();
        AddFile(std::move(Item));
    };
    FScan->OnApplyReturnValues = [this](std::int32_t, std::int32_t, std::int32_t) {
        if (!FClosing) ScanEnded();
    };
    FScan->OnRunFault = [this](std::wstring What) {
        if (!FClosing) ShowError(FHandle, MsgRunFault(UseSwedish(), What));
    };
    FScan->Start();
}

void TfrmReview::AddFile(TReviewFile File) {
    const std::wstring Root = WithTrailingBackslash(FInputs.Folder);
    File.Caption = File.Path.size() > Root.size() && File.Path.compare(0, Root.size(), Root) == 0
                       ? File.Path.substr(Root.size())
                       : File.Path;
    const std::wstring Second =
        File.Skipped() ? ApplyOutcomeText(UseSwedish(), File.Outcome) : CountOrNotAvailable(File.Occurences);
    if (!File.Skipped()) FTotalOccurences += File.Occurences;
    FFiles.push_back(std::move(File));
    const TReviewFile& Added = FFiles.back();
    const int Index = static_cast<int>(FFiles.size() - 1);
    LVITEMW Item{};
    Item.mask = LVIF_TEXT;
    Item.iItem = Index;
    Item.pszText = const_cast<wchar_t*>(Added.Caption.c_str());
    if (ListView_InsertItem(lvReviewFiles, &Item) < 0) throw std::runtime_error("cannot list a reviewed file");
    ListView_SetItemText(lvReviewFiles, Index, 1, const_cast<wchar_t*>(Second.c_str()));
    // A file Apply would skip has no check box: there is nothing to choose.
    if (Added.Skipped()) {
        ListView_SetItemState(lvReviewFiles, Index, INDEXTOSTATEIMAGEMASK(0), LVIS_STATEIMAGEMASK);
    } else {
        ListView_SetCheckState(lvReviewFiles, Index, TRUE);
    }
    if (Index == 0) {
        ListView_SetItemState(lvReviewFiles, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    const auto Label = FilesLabel(FFiles.size(), FormatCount(static_cast<std::uint64_t>(FTotalOccurences)));
    SetWindowTextW(lblReviewFiles, Label.c_str());
}

void TfrmReview::ScanEnded() {
    FScanDone = true;
    EnableWindow(btnApplyChecked, TRUE);
    if (FFiles.empty()) ShowInformation(FHandle, SearchResultMessage(0));
}

bool TfrmReview::FileChecked(std::size_t Index) const {
    return Index < FFiles.size() && !FFiles[Index].Skipped() &&
           ListView_GetCheckState(lvReviewFiles, static_cast<int>(Index)) != FALSE;
}

void TfrmReview::SetAllChecked(bool Checked) {
    for (std::size_t i = 0; i < FFiles.size(); ++i)
        if (!FFiles[i].Skipped()) {
            ListView_SetCheckState(lvReviewFiles, static_cast<int>(i), Checked ? TRUE : FALSE);
        }
}

std::int32_t TfrmReview::CheckedCount() const {
    std::int32_t Count = 0;
    for (std::size_t i = 0; i < FFiles.size(); ++i) Count += FileChecked(i) ? 1 : 0;
    return Count;
}

void TfrmReview::OpenSelectedFile() {
    const int Index = ListView_GetNextItem(lvReviewFiles, -1, LVNI_SELECTED);
    if (Index >= 0 && static_cast<std::size_t>(Index) < FFiles.size())
        FOwner.OpenFileInEditor(FFiles[static_cast<std::size_t>(Index)].Path);
}

void TfrmReview::btnApplyCheckedClick() {
    if (Listing()) return;
    const std::int32_t Count = CheckedCount();
    if (Count == 0) return;
    if (!ConfirmYesNo(FHandle, MsgApplyCheckedQuestion(Count))) return;
    // Exactly the files kept, each written only while it is as the review read it.
    TReviewInputs Inputs = FInputs;
    Inputs.Files.emplace();
    std::unordered_map<std::wstring, TReviewStamp> Stamps;
    for (std::size_t i = 0; i < FFiles.size(); ++i) {
        if (!FileChecked(i) || !FFiles[i].Stamp) continue;
        Inputs.Files->push_back(FFiles[i].Path);
        Stamps.emplace(FFiles[i].Path, *FFiles[i].Stamp);
    }
    TfrmMain& Owner = FOwner;
    Close();
    Owner.ApplyReviewed(Inputs, std::move(Stamps));
}

// ---- The changes of the selected file ----

void TfrmReview::StopChanges() {
    ++FChangesGeneration;
    FChanges.reset();
    FChangesDone = true;
}

void TfrmReview::ShowSelectedChanges() {
    const int Index = ListView_GetNextItem(lvReviewFiles, -1, LVNI_SELECTED);
    if (Index == FShownFile) return;
    StopChanges();
    FShownFile = Index;
    FRows.clear();
    FLongestRow = 0;
    ListView_SetItemCountEx(lvReviewChanges, 0, 0);
    SizeChangesColumn();
    if (Index < 0 || static_cast<std::size_t>(Index) >= FFiles.size()) return;
    const TReviewFile& File = FFiles[static_cast<std::size_t>(Index)];
    if (File.Skipped()) return;
    const std::uint64_t Generation = FChangesGeneration;
    FChanges = std::make_unique<TReviewChangesWorker>(File.Path, File.Mode, FInputs.TextToFind, FInputs.ReplaceWith,
                                                      FInputs.CaseSensitive);
    FChanges->OnRows = [this, Generation](std::vector<TChangeRow> Rows) {
        if (FClosing || Generation != FChangesGeneration) return;
        const std::size_t Longest = FLongestRow;
        for (const TChangeRow& Row : Rows)
            FLongestRow = std::max(FLongestRow, std::min(Row.Text.size(), ListCellChars));
        FRows.insert(FRows.end(), std::make_move_iterator(Rows.begin()), std::make_move_iterator(Rows.end()));
        ListView_SetItemCountEx(lvReviewChanges, static_cast<int>(FRows.size()),
                                LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
        if (FLongestRow != Longest) SizeChangesColumn();
    };
    FChanges->OnDone = [this, Generation] {
        if (Generation == FChangesGeneration) FChangesDone = true;
    };
    FChangesDone = false;
    FChanges->Start();
}

void TfrmReview::ChangesGetDispInfo(NMLVDISPINFOW& Info) {
    if (!(Info.item.mask & LVIF_TEXT) || Info.item.iItem < 0 ||
        static_cast<std::size_t>(Info.item.iItem) >= FRows.size())
        return;
    const TChangeRow& Row = FRows[static_cast<std::size_t>(Info.item.iItem)];
    switch (Info.item.iSubItem) {
    case 0: FCellText = Row.Line > 0 ? std::to_wstring(Row.Line) : std::wstring(); break;
    case 1: FCellText = KindText(Row.Kind); break;
    default: FCellText = Row.Text; break;
    }
    // The list copies at most cchTextMax characters.
    Info.item.pszText = FCellText.data();
}

// ---- Messages and keys ----

bool TfrmReview::PreTranslateMessage(MSG& Message) {
    if (!FHandle || (Message.hwnd != FHandle && !IsChild(FHandle, Message.hwnd))) return false;
    if (Message.message == WM_KEYDOWN) {
        const bool Ctrl = GetKeyState(VK_CONTROL) < 0, Shift = GetKeyState(VK_SHIFT) < 0,
                   Alt = GetKeyState(VK_MENU) < 0;
        if (Message.wParam == VK_ESCAPE) {
            Close();
            return true;
        }
        if (Message.wParam == VK_RETURN && Message.hwnd == lvReviewFiles && !Ctrl && !Shift && !Alt) {
            OpenSelectedFile();
            return true;
        }
        if (Message.wParam == 'A' && Ctrl && !Alt &&
            (Message.hwnd == lvReviewFiles || Message.hwnd == lvReviewChanges)) {
            SetAllChecked(!Shift);
            return true;
        }
    }
    return IsDialogMessageW(FHandle, &Message) != FALSE;
}

LRESULT TfrmReview::HandleNotify(const NMHDR& Header) {
    if (Header.hwndFrom == lvReviewChanges && Header.code == LVN_GETDISPINFOW) {
        ChangesGetDispInfo(reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(Header)));
        return 0;
    }
    if (Header.hwndFrom != lvReviewFiles) return 0;
    switch (Header.code) {
    case LVN_ITEMCHANGING: {
        // A skipped file never gets a check box, whatever key or click asks for one.
        const auto& Change = reinterpret_cast<const NMLISTVIEW&>(Header);
        const bool StateImage =
            (Change.uChanged & LVIF_STATE) && ((Change.uNewState ^ Change.uOldState) & LVIS_STATEIMAGEMASK);
        if (StateImage && Change.iItem >= 0 && static_cast<std::size_t>(Change.iItem) < FFiles.size() &&
            FFiles[static_cast<std::size_t>(Change.iItem)].Skipped() && (Change.uNewState & LVIS_STATEIMAGEMASK) != 0)
            return TRUE;
        return FALSE;
    }
    case LVN_ITEMCHANGED: {
        const auto& Change = reinterpret_cast<const NMLISTVIEW&>(Header);
        if ((Change.uChanged & LVIF_STATE) && ((Change.uNewState ^ Change.uOldState) & LVIS_SELECTED))
            ShowSelectedChanges();
        return 0;
    }
    case NM_DBLCLK: OpenSelectedFile(); return 0;
    case NM_CUSTOMDRAW: {
        auto& Draw = reinterpret_cast<NMLVCUSTOMDRAW&>(const_cast<NMHDR&>(Header));
        if (Draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
        if (Draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT && Draw.nmcd.dwItemSpec < FFiles.size() &&
            FFiles[Draw.nmcd.dwItemSpec].Skipped())
            Draw.clrText = GetSysColor(COLOR_GRAYTEXT);
        return CDRF_DODEFAULT;
    }
    }
    return 0;
}

LRESULT TfrmReview::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(LParam) == btnApplyChecked && HIWORD(WParam) == BN_CLICKED) btnApplyCheckedClick();
        else if (reinterpret_cast<HWND>(LParam) == btnClose && HIWORD(WParam) == BN_CLICKED) btnCloseClick();
        else if (LOWORD(WParam) == IDCANCEL && LParam == 0) Close();
        return 0;
    case WM_NOTIFY: return HandleNotify(*reinterpret_cast<const NMHDR*>(LParam));
    case WM_SIZE: Layout(); return 0;
    case WM_GETMINMAXINFO: {
        auto& Info = *reinterpret_cast<MINMAXINFO*>(LParam);
        Info.ptMinTrackSize.x = ScaleLength(MinWidth, FDpi);
        Info.ptMinTrackSize.y = ScaleLength(MinHeight, FDpi);
        return 0;
    }
    case WM_DPICHANGED: {
        FDpi = HIWORD(WParam);
        const RECT& Suggested = *reinterpret_cast<const RECT*>(LParam);
        SetWindowPos(FHandle, nullptr, Suggested.left, Suggested.top, Suggested.right - Suggested.left,
                     Suggested.bottom - Suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
        ApplyDpi();
        return 0;
    }
    case WM_CLOSE: Close(); return 0;
    case WM_DESTROY: TearDown(); return 0;
    }
    return DefWindowProcW(FHandle, Message, WParam, LParam);
}

void TfrmReview::ShowHandlerError(const char* What) {
    if (FHandlingError) return;
    FHandlingError = true;
    std::wstring Text = ChooseText(UseSwedish(), L"Ett oväntat fel inträffade.", L"An unexpected error occurred.");
    if (What && *What) {
        Text += L"\r\n\r\n";
        for (const char* C = What; *C; ++C) Text += static_cast<wchar_t>(static_cast<unsigned char>(*C));
    }
    ShowError(FHandle, Text);
    FHandlingError = false;
}

void TfrmReview::Close() {
    if (!FHandle) return;
    TearDown();
    DestroyWindow(FHandle);
}

void TfrmReview::StoreBounds() {
    WINDOWPLACEMENT Placement{};
    Placement.length = sizeof(Placement);
    if (!FHandle || !GetWindowPlacement(FHandle, &Placement)) return;
    const RECT& R = Placement.rcNormalPosition;
    try {
        WriteReviewBounds(TWindowBounds{R.left, R.top, R.right - R.left, R.bottom - R.top});
    } catch (...) {
        // A place not remembered is no reason to keep the window open.
    }
}

// Once, on the way out: the place is remembered, the workers stop (their late
// reports find FClosing set), and the owner takes input again before this
// window goes, so it is the one activated.
void TfrmReview::TearDown() {
    if (FClosing) return;
    FClosing = true;
    StoreBounds();
    ++FChangesGeneration;
    FChanges.reset();
    FScan.reset();
    EnableWindow(FOwner.Handle(), TRUE);
}
