// The main window's design: the tables of its controls and menu items, and
// building and placing them from those tables.
#include "ui/MainDesign.h"

#include "ui/ControlIds.h"
#include "ui/ImageControl.h"
#include "ui/MainTexts.h"
#include "ui/Resources.h"

#include <commctrl.h>

#include <stdexcept>

namespace {

// The link's markup: the home page as target, shown without its scheme and final slash.
std::wstring LinkMarkup() {
    std::wstring Url(HomePageUrl);
    std::wstring Shown = Url.substr(Url.find(L"://") + 3);
    if (!Shown.empty() && Shown.back() == L'/') Shown.pop_back();
    return L"<a href=\"" + Url + L"\">" + Shown + L"</a>";
}

// Creation order is tab order: txtFolder, btnBrowse, cbRecursive, txtFilters,
// txtTextToFind, btnSearch, cbCaseSensitive, txtReplaceWith, btnApply, lvFiles,
// llURL. Labels and the image take no focus. The list, the boxes and the column
// of names share the growth in width with the right-hand column; the boxes and
// what stands below them share the growth in height.
constexpr TGrowth No = TGrowth::None, W = TGrowth::Width, HalfW = TGrowth::HalfWidth, H = TGrowth::Height,
                  HalfH = TGrowth::HalfHeight;

const TControlDesign Design[] = {
    {&TfrmMain::lblFolder, IdFolderLabel, TKind::Label, 344, 24, 34, 15, HalfW, No, No, No, TFontKind::Window,
     L"Mapp:", L"Folder:", 0, false},
    {&TfrmMain::txtFolder, IdFolder, TKind::Edit, 344, 40, 225, 23, HalfW, No, HalfW, No, TFontKind::Consolas, L"",
     nullptr, 0, false, nullptr, &TfrmMain::txtFolderChange},
    {&TfrmMain::btnBrowse, IdBrowse, TKind::Button, 472, 70, 97, 33, W, No, No, No, TFontKind::Window, L"Bläddra",
     L"Browse", IDB_BROWSE, false, &TfrmMain::btnBrowseClick},
    {&TfrmMain::cbRecursive, IdRecursive, TKind::CheckBox, 344, 70, 121, 20, HalfW, No, No, No, TFontKind::Window,
     L"Rekursivt", L"Recursive", 0, false},
    {&TfrmMain::lblFilters, IdFiltersLabel, TKind::Label, 344, 120, 130, 15, HalfW, No, No, No, TFontKind::Window,
     L"Filter: (separera med \"; \")", L"Filter(s): (separate with \"; \")", 0, false},
    {&TfrmMain::txtFilters, IdFilters, TKind::Edit, 344, 136, 225, 23, HalfW, No, HalfW, No, TFontKind::Consolas,
     L"*.TXT", nullptr, 0, false},
    {&TfrmMain::lblTextToFind, IdTextToFindLabel, TKind::Label, 344, 176, 68, 15, HalfW, No, No, No,
     TFontKind::Window, L"Text att hitta:", L"Text to find:", 0, false},
    {&TfrmMain::txtTextToFind, IdTextToFind, TKind::Memo, 344, 192, 225, 57, HalfW, No, HalfW, HalfH,
     TFontKind::Consolas, L"", nullptr, 0, false, nullptr, nullptr, nullptr, &TfrmMain::txtTextToFindKeyDown,
     krMultiLineBox},
    {&TfrmMain::btnSearch, IdSearch, TKind::Button, 472, 256, 97, 33, W, HalfH, No, No, TFontKind::Window, L"Sök",
     L"Search", IDB_SEARCH, false, &TfrmMain::btnSearchClick},
    {&TfrmMain::cbCaseSensitive, IdCaseSensitive, TKind::CheckBox, 344, 256, 121, 20, HalfW, HalfH, No, No,
     TFontKind::Window, L"Skiftlägeskänsligt", L"Case sensitive", 0, true},
    {&TfrmMain::lblReplaceWith, IdReplaceWithLabel, TKind::Label, 344, 304, 59, 15, HalfW, HalfH, No, No,
     TFontKind::Window, L"Ersätt med:", L"Replace with:", 0, false},
    {&TfrmMain::txtReplaceWith, IdReplaceWith, TKind::Memo, 344, 320, 225, 57, HalfW, HalfH, HalfW, HalfH,
     TFontKind::Consolas, L"", nullptr, 0, false, nullptr, nullptr, nullptr, &TfrmMain::txtReplaceWithKeyDown,
     krMultiLineBox},
    {&TfrmMain::btnApply, IdApply, TKind::Button, 472, 424, 97, 33, W, H, No, No, TFontKind::Window, L"Verkställ",
     L"Apply", IDB_APPLY, false, &TfrmMain::btnApplyClick},
    {&TfrmMain::lblFiles, IdFilesLabel, TKind::Label, 24, 24, 58, 15, No, No, No, No, TFontKind::Window,
     EmptyFilesLabelSwedish, EmptyFilesLabelEnglish, 0, false},
    {&TfrmMain::lvFiles, IdFiles, TKind::ListView, 24, 40, 305, 337, No, No, HalfW, H, TFontKind::Consolas, L"",
     nullptr, 0, false, &TfrmMain::lvFilesDblClick, nullptr, &TfrmMain::lvFilesEnter, &TfrmMain::lvFilesKeyDown,
     krWantsReturn},
    {&TfrmMain::llURL, IdLink, TKind::Link, 24, 392, 119, 19, No, H, No, No, TFontKind::Window, L"", nullptr, 0, false,
     nullptr, nullptr, nullptr, nullptr, krWantsReturn},
    {&TfrmMain::ImageProgress, IdProgress, TKind::Image, 25, 426, 438, 24, No, H, W, No, TFontKind::None, L"",
     nullptr, 0, false},
};

const TMenuText MenuTexts[] = {
    {0, 0, L"Arkiv", L"File", nullptr},
    {TfrmMain::mnuMainFileReview, 0, L"Granska ändringar...", L"Review changes...", L"F6"},
    {TfrmMain::mnuMainFileUndo, 0, L"Ångra senaste Verkställ", L"Undo last Apply", nullptr},
    {TfrmMain::mnuMainFileQuit, 0, L"Avsluta", L"Quit", L"Ctrl+Q"},
    {0, 1, L"Hjälp", L"Help", nullptr},
    {TfrmMain::mnuMainHelpKeyboardShortcuts, 0, L"Tangentbordsgenvägar", L"Keyboard shortcuts", L"F1"},
    {TfrmMain::mnuMainHelpAbout, 0, L"Om", L"About", nullptr},
};

const TMenuText FileListMenuTexts[] = {
    {TfrmMain::pmFilesOpen, 0, L"Öppna", L"Open", nullptr},
    {TfrmMain::pmFilesOpenFolder, 0, L"Öppna mapp", L"Open folder", nullptr},
    {TfrmMain::pmFilesCopyPath, 0, L"Kopiera sökväg", L"Copy path", nullptr},
};

const wchar_t* ClassNameOf(TKind Kind) {
    switch (Kind) {
    case TKind::Label: return WC_STATICW;
    case TKind::Edit:
    case TKind::Memo: return WC_EDITW;
    case TKind::Button:
    case TKind::CheckBox: return WC_BUTTONW;
    case TKind::ListView: return WC_LISTVIEWW;
    case TKind::Link: return WC_LINK;
    case TKind::Image: return L"";
    }
    return L"";
}

DWORD StyleOf(TKind Kind) {
    switch (Kind) {
    case TKind::Label: return SS_LEFTNOWORDWRAP | SS_NOPREFIX;
    case TKind::Edit: return WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
    case TKind::Memo: return WS_TABSTOP | WS_VSCROLL | ES_LEFT | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
    case TKind::Button: return WS_TABSTOP | BS_PUSHBUTTON;
    case TKind::CheckBox: return WS_TABSTOP | BS_AUTOCHECKBOX;
    case TKind::ListView:
        return WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER | LVS_OWNERDATA;
    case TKind::Link: return WS_TABSTOP;
    case TKind::Image: return 0;
    }
    return 0;
}

DWORD ExStyleOf(TKind Kind) {
    return Kind == TKind::Edit || Kind == TKind::Memo || Kind == TKind::ListView ? WS_EX_CLIENTEDGE : 0;
}

}  // namespace

std::span<const TControlDesign> MainControlDesign() { return Design; }

const TControlDesign* ControlDesignOf(int Id) {
    for (const TControlDesign& Control : Design)
        if (Control.Id == Id) return &Control;
    return nullptr;
}

std::span<const TMenuText> MainMenuTexts() { return MenuTexts; }

std::span<const TMenuText> FileListMenuItems() { return FileListMenuTexts; }

std::wstring MenuCaption(const TMenuText& Text, bool English) {
    std::wstring Caption = English ? Text.English : Text.Swedish;
    if (Text.Shortcut) Caption += std::wstring(L"\t") + Text.Shortcut;
    return Caption;
}

const TMenuText& MenuTextOf(UINT Item, int Position) {
    for (const TMenuText& Text : MenuTexts)
        if (Text.Item == Item && (Item != 0 || Text.Position == Position)) return Text;
    for (const TMenuText& Text : FileListMenuTexts)
        if (Text.Item == Item) return Text;
    throw std::logic_error("a menu item without a design text");
}

void TfrmMain::CreateMenus() {
    UniqueMenu Bar(CreateMenu());
    UniqueMenu File(CreatePopupMenu());
    UniqueMenu Help(CreatePopupMenu());
    if (!Bar || !File || !Help) throw std::runtime_error("cannot create the main menu");
    AppendMenuW(File.Get(), MF_STRING, mnuMainFileReview, MenuCaption(MenuTextOf(mnuMainFileReview), false).c_str());
    // Undo has no key: Ctrl+Z belongs to the edit boxes.
    AppendMenuW(File.Get(), MF_STRING, mnuMainFileUndo, MenuCaption(MenuTextOf(mnuMainFileUndo), false).c_str());
    AppendMenuW(File.Get(), MF_STRING, mnuMainFileQuit, MenuCaption(MenuTextOf(mnuMainFileQuit), false).c_str());
    AppendMenuW(Help.Get(), MF_STRING, mnuMainHelpKeyboardShortcuts,
                MenuCaption(MenuTextOf(mnuMainHelpKeyboardShortcuts), false).c_str());
    AppendMenuW(Help.Get(), MF_SEPARATOR, mnuMainHelpBreak1, nullptr);
    AppendMenuW(Help.Get(), MF_STRING, mnuMainHelpAbout, MenuCaption(MenuTextOf(mnuMainHelpAbout), false).c_str());
    mnuMainFile = File.Get();
    mnuMainHelp = Help.Get();
    AppendMenuW(Bar.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(File.Release()),
                MenuCaption(MenuTextOf(0, 0), false).c_str());
    AppendMenuW(Bar.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(Help.Release()),
                MenuCaption(MenuTextOf(0, 1), false).c_str());
    mnuMain = Bar.Release();  // the window destroys its menu with it
}

void TfrmMain::CreateControls() {
    HINSTANCE Instance = GetModuleHandleW(nullptr);
    for (const TControlDesign& Control : Design) {
        int Left = ScaleForDpi(Control.Left), Top = ScaleForDpi(Control.Top);
        int Width = ScaleForDpi(Control.Width), Height = ScaleForDpi(Control.Height);
        HWND Window;
        if (Control.Kind == TKind::Image) {
            Window = CreateImageControl(FHandle, Control.Id, Left, Top, Width, Height);
        } else {
            std::wstring Text = Control.Kind == TKind::Link ? LinkMarkup() : std::wstring(Control.Swedish);
            Window = CreateWindowExW(ExStyleOf(Control.Kind), ClassNameOf(Control.Kind), Text.c_str(),
                                     WS_CHILD | WS_VISIBLE | StyleOf(Control.Kind), Left, Top, Width, Height,
                                     FHandle, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Control.Id)), Instance,
                                     nullptr);
        }
        if (!Window) throw std::runtime_error("cannot create a control of the main window");
        this->*Control.Field = Window;
        if (Control.Kind != TKind::Label && Control.Kind != TKind::Image) AttachControl(Window);
        if (Control.Kind == TKind::CheckBox) SetChecked(Window, Control.Checked);
        if (Control.Kind == TKind::Memo) SendMessageW(Window, EM_SETLIMITTEXT, 0, 0);
    }

    ListView_SetExtendedListViewStyle(lvFiles, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    LVCOLUMNW Column{};
    Column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    Column.fmt = LVCFMT_LEFT;
    Column.cx = ScaleForDpi(Column0Width);
    Column.pszText = const_cast<wchar_t*>(L"Filnamn");
    ListView_InsertColumn(lvFiles, 0, &Column);
    Column.fmt = LVCFMT_RIGHT;
    Column.cx = ScaleForDpi(Column1Width);
    Column.pszText = const_cast<wchar_t*>(L"#");
    Column.iSubItem = 1;
    ListView_InsertColumn(lvFiles, 1, &Column);
}

void TfrmMain::PlaceControlsAtDesign() {
    for (const TControlDesign& Control : Design) {
        HWND Window = this->*Control.Field;
        SetWindowPos(Window, nullptr, ScaleForDpi(Control.Left), ScaleForDpi(Control.Top), ScaleForDpi(Control.Width),
                     ScaleForDpi(Control.Height), SWP_NOZORDER | SWP_NOACTIVATE);
        if (Control.Kind == TKind::Label) AutoSizeLabel(Window);
    }
    ListView_SetColumnWidth(lvFiles, 0, ScaleForDpi(Column0Width));
    ListView_SetColumnWidth(lvFiles, 1, ScaleForDpi(Column1Width));
}
