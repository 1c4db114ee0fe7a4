#include "ui/Main.h"

#include "platform/Language.h"
#include "platform/MessageBoxes.h"
#include "platform/Shell.h"
#include "ui/ImageControl.h"
#include "ui/Resources.h"
#include "ui/WindowHelpers.h"

#include <commdlg.h>
#include <windowsx.h>

#include <cwchar>
#include <iterator>
#include <stdexcept>

// ---- Module state ----
TEncodingMode CurrentEncodingMode = TEncodingMode::Auto;
std::wstring BaseTitle;
std::int32_t InitialWidth = 0, InitialHeight = 0;
std::int32_t InitialClientWidth = 0, InitialClientHeight = 0;
std::int32_t GrowthWidth = 0, GrowthHeight = 0;
std::wstring EditorPath;
std::unique_ptr<TWorkThreadSearch> SearchWorker;
std::unique_ptr<TWorkThreadApply> ApplyWorker;
bool WorkInProgress = false;
TfrmMain* frmMain = nullptr;

namespace {

std::wstring TheApplicationTitle;
bool Terminated = false;

constexpr wchar_t MainClassName[] = L"TfrmMain";

// The window as designed at 96 DPI.
constexpr int DesignClientWidth = 593;
constexpr int DesignClientHeight = 481;
constexpr int WindowFontHeight = 12;
constexpr int ConsolasFontHeight = 13;
constexpr int GlyphSize = 16;
constexpr int Column0Width = 200;
constexpr int Column1Width = 70;

enum class TKind { Label, Edit, Memo, Button, CheckBox, ListView, Link, Image };
enum class TFontKind { Window, Consolas, None };

struct TControlDesign {
    HWND TfrmMain::*Field;
    int Id;
    TKind Kind;
    int Left, Top, Width, Height;
    TFontKind Font;
    const wchar_t* Swedish;  // the design text
    const wchar_t* English;  // null: the text is the same in both languages
    int Glyph;
    bool Checked;
};

// The link's markup: the home page as target, shown without its scheme and final slash.
std::wstring LinkMarkup() {
    std::wstring Url(HomePageUrl);
    std::wstring Shown = Url.substr(Url.find(L"://") + 3);
    if (!Shown.empty() && Shown.back() == L'/') Shown.pop_back();
    return L"<a href=\"" + Url + L"\">" + Shown + L"</a>";
}

// Creation order is tab order: txtFolder 0, btnBrowse 1, cbRecursive 2, txtFilters 3,
// txtTextToFind 4, btnSearch 5, cbCaseSensitive 6, txtReplaceWith 7, btnApply 8,
// lvFiles 9, llURL 10. Labels and the image take no focus.
const TControlDesign Design[] = {
    {&TfrmMain::lblFolder, 101, TKind::Label, 344, 24, 34, 15, TFontKind::Window, L"Mapp:", L"Folder:", 0, false},
    {&TfrmMain::txtFolder, 102, TKind::Edit, 344, 40, 225, 23, TFontKind::Consolas, L"", nullptr, 0, false},
    {&TfrmMain::btnBrowse, 103, TKind::Button, 472, 70, 97, 33, TFontKind::Window, L"Bläddra", L"Browse",
     IDB_BROWSE, false},
    {&TfrmMain::cbRecursive, 104, TKind::CheckBox, 344, 70, 121, 20, TFontKind::Window, L"Rekursivt",
     L"Recursive", 0, false},
    {&TfrmMain::lblFilters, 105, TKind::Label, 344, 120, 130, 15, TFontKind::Window,
     L"Filter: (separera med \"; \")", L"Filter(s): (separate with \"; \")", 0, false},
    {&TfrmMain::txtFilters, 106, TKind::Edit, 344, 136, 225, 23, TFontKind::Consolas, L"*.TXT", nullptr, 0, false},
    {&TfrmMain::lblTextToFind, 107, TKind::Label, 344, 176, 68, 15, TFontKind::Window, L"Text att hitta:",
     L"Text to find:", 0, false},
    {&TfrmMain::txtTextToFind, 108, TKind::Memo, 344, 192, 225, 57, TFontKind::Consolas, L"", nullptr, 0, false},
    {&TfrmMain::btnSearch, 109, TKind::Button, 472, 256, 97, 33, TFontKind::Window, L"Sök", L"Search", IDB_SEARCH,
     false},
    {&TfrmMain::cbCaseSensitive, 110, TKind::CheckBox, 344, 256, 121, 20, TFontKind::Window,
     L"Skiftlägeskänsligt", L"Case sensitive", 0, true},
    {&TfrmMain::lblReplaceWith, 111, TKind::Label, 344, 304, 59, 15, TFontKind::Window, L"Ersätt med:",
     L"Replace with:", 0, false},
    {&TfrmMain::txtReplaceWith, 112, TKind::Memo, 344, 320, 225, 57, TFontKind::Consolas, L"", nullptr, 0, false},
    {&TfrmMain::btnApply, 113, TKind::Button, 472, 424, 97, 33, TFontKind::Window, L"Verkställ", L"Apply",
     IDB_APPLY, false},
    {&TfrmMain::lblFiles, 114, TKind::Label, 24, 24, 58, 15, TFontKind::Window, L"Filer: (0 | #)",
     L"Files: (0 | #)", 0, false},
    {&TfrmMain::lvFiles, 115, TKind::ListView, 24, 40, 305, 337, TFontKind::Consolas, L"", nullptr, 0, false},
    {&TfrmMain::llURL, 116, TKind::Link, 24, 392, 119, 19, TFontKind::Window, L"", nullptr, 0, false},
    {&TfrmMain::ImageProgress, 117, TKind::Image, 25, 426, 438, 24, TFontKind::None, L"", nullptr, 0, false},
};

struct TMenuText {
    UINT Item;         // command identifier, or 0 for a top-level menu by position
    int Position;
    const wchar_t* Swedish;
    const wchar_t* English;
    const wchar_t* Shortcut;
};

const TMenuText MenuTexts[] = {
    {0, 0, L"Arkiv", L"File", nullptr},
    {TfrmMain::mnuMainFileQuit, 0, L"Avsluta", L"Quit", L"Ctrl+Q"},
    {0, 1, L"Hjälp", L"Help", nullptr},
    {TfrmMain::mnuMainHelpKeyboardShortcuts, 0, L"Tangentbordsgenvägar", L"Keyboard shortcuts", L"F1"},
    {TfrmMain::mnuMainHelpAbout, 0, L"Om", L"About", nullptr},
};

std::wstring MenuCaption(const TMenuText& Text, bool English) {
    std::wstring Caption = English ? Text.English : Text.Swedish;
    if (Text.Shortcut) Caption += std::wstring(L"\t") + Text.Shortcut;
    return Caption;
}

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

using TAdjustWindowRectExForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

// The outer rectangle of a client area at a DPI; the DPI-aware call exists from
// Windows 10 on, older systems scale the frame themselves.
void AdjustForDpi(RECT& Rect, DWORD Style, DWORD ExStyle, UINT Dpi) {
    static const auto AdjustProc = [] {
        HMODULE User = GetModuleHandleW(L"user32.dll");
        return User ? reinterpret_cast<TAdjustWindowRectExForDpi>(
                          reinterpret_cast<void*>(GetProcAddress(User, "AdjustWindowRectExForDpi")))
                    : nullptr;
    }();
    if (AdjustProc) AdjustProc(&Rect, Style, TRUE, ExStyle, Dpi);
    else AdjustWindowRectEx(&Rect, Style, TRUE, ExStyle);
}

constexpr DWORD MainStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD MainExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

std::wstring WideFromAnsi(const char* Text) {
    if (!Text || !*Text) return {};
    int Length = MultiByteToWideChar(CP_ACP, 0, Text, -1, nullptr, 0);
    if (Length <= 1) return {};
    std::wstring Result(static_cast<size_t>(Length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, Text, -1, Result.data(), Length);
    Result.resize(static_cast<size_t>(Length - 1));
    return Result;
}

}  // namespace

// ---- The application ----

const std::wstring& ApplicationTitle() { return TheApplicationTitle; }
void SetApplicationTitle(std::wstring_view Title) { TheApplicationTitle.assign(Title); }
bool ApplicationTerminated() { return Terminated; }

std::wstring_view EncodingModeLabel(TEncodingMode Mode) {
    switch (Mode) {
    case TEncodingMode::Auto: return L"(Auto)";
    case TEncodingMode::Ansi: return L"(ANSI)";
    case TEncodingMode::Utf16LE: return L"(UTF-16/LE)";
    case TEncodingMode::Utf8: return L"(UTF-8)";
    }
    return {};
}

void ComposeModeTitle() {
    std::wstring_view Label = EncodingModeLabel(CurrentEncodingMode);
    if (!Label.empty()) SetApplicationTitle(BaseTitle + L" " + std::wstring(Label));
    if (frmMain) frmMain->SetCaption(ApplicationTitle());
}

TShiftState CurrentShiftState() {
    TShiftState Shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) Shift |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) Shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) Shift |= ssAlt;
    return Shift;
}

// ---- Construction ----

TfrmMain::TfrmMain(bool QuitOnDestroy)
    : odEditor(TFileDialog::TKind::Open, L"Bläddra", L"*.EXE", L"EXE",
               OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NODEREFERENCELINKS | OFN_ENABLESIZING),
      sdTXT(TFileDialog::TKind::Save, L"Exportera fillista", L"*.TXT", L"TXT",
            OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING),
      FQuitOnDestroy(QuitOnDestroy) {
    static const ATOM ClassAtom = [] {
        INITCOMMONCONTROLSEX Controls{sizeof(Controls), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_LINK_CLASS};
        InitCommonControlsEx(&Controls);
        HINSTANCE Instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW Class{};
        Class.cbSize = sizeof(Class);
        Class.style = CS_DBLCLKS;
        Class.lpfnWndProc = &TfrmMain::WindowProc;
        Class.hInstance = Instance;
        Class.hIcon = static_cast<HICON>(LoadImageW(Instance, MAKEINTRESOURCEW(IDI_MAINICON), IMAGE_ICON,
                                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
        Class.hIconSm = static_cast<HICON>(LoadImageW(Instance, MAKEINTRESOURCEW(IDI_MAINICON), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), 0));
        Class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        Class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        Class.lpszClassName = MainClassName;
        return RegisterClassExW(&Class);
    }();
    if (!ClassAtom) throw std::runtime_error("cannot register the main window class");

    Terminated = false;
    FDpi = FCreatedDpi = MonitorDpi(nullptr);
    CreateMenus();

    // Created hidden at the design size, centred on the screen; FormCreate sizes,
    // shows and places it.
    RECT Outer{0, 0, ScaleForDpi(DesignClientWidth), ScaleForDpi(DesignClientHeight)};
    AdjustForDpi(Outer, MainStyle, MainExStyle, FDpi);
    int Width = Outer.right - Outer.left, Height = Outer.bottom - Outer.top;
    int Left = (GetSystemMetrics(SM_CXSCREEN) - Width) / 2;
    int Top = (GetSystemMetrics(SM_CYSCREEN) - Height) / 2;
    HWND Window = CreateWindowExW(MainExStyle, MainClassName, L"", MainStyle, Left, Top, Width, Height, nullptr,
                                  mnuMain, GetModuleHandleW(nullptr), this);
    if (!Window) {
        DestroyMenu(mnuMain);
        mnuMain = nullptr;
        throw std::runtime_error("cannot create the main window");
    }
    frmMain = this;
    SetApplicationWindow(FHandle);

    try {
        BuildWindow(Width, Height);
    } catch (...) {
        // A window that never finished its start-up is taken down without
        // storing anything, and no message reaches this object again.
        SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
        DestroyWindow(FHandle);
        FHandle = nullptr;
        if (frmMain == this) frmMain = nullptr;
        if (ApplicationWindow() == Window) SetApplicationWindow(nullptr);
        throw;
    }
}

void TfrmMain::BuildWindow(int Width, int Height) {
    // A window opened on a monitor of another DPI than the primary one.
    UINT WindowDpi = MonitorDpi(FHandle);
    if (WindowDpi != FDpi) FDpi = FCreatedDpi = WindowDpi;

    // The frame the system really draws decides: give the client area its
    // designed size exactly.
    RECT Client{};
    GetClientRect(FHandle, &Client);
    int MissingWidth = ScaleForDpi(DesignClientWidth) - Client.right;
    int MissingHeight = ScaleForDpi(DesignClientHeight) - Client.bottom;
    if (MissingWidth != 0 || MissingHeight != 0)
        SetWindowPos(FHandle, nullptr, 0, 0, Width + MissingWidth, Height + MissingHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    CreateFonts();
    CreateControls();
    ApplyFonts();
    UpdateButtonGlyphs();

    ACCEL Keys[] = {
        {FVIRTKEY, VK_F1, static_cast<WORD>(mnuMainHelpKeyboardShortcuts)},
        {FVIRTKEY | FCONTROL, 'Q', static_cast<WORD>(mnuMainFileQuit)},
    };
    FAccelerators.Reset(CreateAcceleratorTableW(Keys, static_cast<int>(std::size(Keys))));

    FActiveControl = txtFolder;
    FormCreate();
    FFormCreated = true;
    if (IsWindowVisible(FHandle) && GetActiveWindow() == FHandle && !GetFocus()) SetFocus(FActiveControl);
}

TfrmMain::~TfrmMain() {
    if (FHandle) DestroyWindow(FHandle);
    if (frmMain == this) frmMain = nullptr;
}

void TfrmMain::Close() {
    if (FHandle) PostMessageW(FHandle, WM_CLOSE, 0, 0);
}

void TfrmMain::CreateMenus() {
    UniqueMenu Bar(CreateMenu());
    UniqueMenu File(CreatePopupMenu());
    UniqueMenu Help(CreatePopupMenu());
    if (!Bar || !File || !Help) throw std::runtime_error("cannot create the main menu");
    AppendMenuW(File.Get(), MF_STRING, mnuMainFileQuit, MenuCaption(MenuTexts[1], false).c_str());
    AppendMenuW(Help.Get(), MF_STRING, mnuMainHelpKeyboardShortcuts, MenuCaption(MenuTexts[3], false).c_str());
    AppendMenuW(Help.Get(), MF_SEPARATOR, mnuMainHelpBreak1, nullptr);
    AppendMenuW(Help.Get(), MF_STRING, mnuMainHelpAbout, MenuCaption(MenuTexts[4], false).c_str());
    mnuMainFile = File.Get();
    mnuMainHelp = Help.Get();
    AppendMenuW(Bar.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(File.Release()), MenuCaption(MenuTexts[0], false).c_str());
    AppendMenuW(Bar.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(Help.Release()), MenuCaption(MenuTexts[2], false).c_str());
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
        if (Control.Kind != TKind::Label && Control.Kind != TKind::Image)
            SetWindowSubclass(Window, &TfrmMain::ControlProc, 0, reinterpret_cast<DWORD_PTR>(this));
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

void TfrmMain::CreateFonts() {
    // The new fonts go to every control before the old ones are released.
    UniqueGdiObject WindowFont(CreateFontW(-ScaleForDpi(WindowFontHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                           ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                           DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI"));
    UniqueGdiObject ConsolasFont(CreateFontW(-ScaleForDpi(ConsolasFontHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                             FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                             DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Consolas"));
    if (!WindowFont || !ConsolasFont) throw std::runtime_error("cannot create the window's fonts");
    std::swap(FWindowFont, WindowFont);
    std::swap(FConsolasFont, ConsolasFont);
    ApplyFonts();
}

void TfrmMain::ApplyFonts() {
    for (const TControlDesign& Control : Design) {
        HWND Window = this->*Control.Field;
        if (!Window || Control.Font == TFontKind::None) continue;
        HGDIOBJ Font = Control.Font == TFontKind::Window ? FWindowFont.Get() : FConsolasFont.Get();
        SendMessageW(Window, WM_SETFONT, reinterpret_cast<WPARAM>(Font), TRUE);
        if (Control.Kind == TKind::Label) AutoSizeLabel(Window);
    }
}

void TfrmMain::UpdateButtonGlyphs() {
    HINSTANCE Instance = GetModuleHandleW(nullptr);
    int Size = ScaleForDpi(GlyphSize);
    struct {
        HWND Button;
        int Resource;
    } Buttons[] = {{btnBrowse, IDB_BROWSE}, {btnSearch, IDB_SEARCH}, {btnApply, IDB_APPLY}};
    for (size_t i = 0; i < std::size(Buttons); ++i) {
        UniqueGdiObject Glyph(LoadImageW(Instance, MAKEINTRESOURCEW(Buttons[i].Resource), IMAGE_BITMAP, 0, 0,
                                         LR_CREATEDIBSECTION));
        if (!Glyph) continue;
        UniqueHandle<TImageListTraits> List(ImageList_Create(Size, Size, ILC_COLOR24 | ILC_MASK, 1, 0));
        if (!List) continue;
        // Larger DPIs get the glyph enlarged pixel for pixel, so magenta stays exact.
        UniqueGdiObject Scaled;
        if (Size != GlyphSize) {
            HDC Screen = GetDC(nullptr);
            Scaled.Reset(CreateCompatibleBitmap(Screen, Size, Size));
            HDC Source = CreateCompatibleDC(Screen), Target = CreateCompatibleDC(Screen);
            ReleaseDC(nullptr, Screen);
            if (Scaled && Source && Target) {
                HGDIOBJ OldSource = SelectObject(Source, Glyph.Get());
                HGDIOBJ OldTarget = SelectObject(Target, Scaled.Get());
                SetStretchBltMode(Target, COLORONCOLOR);
                StretchBlt(Target, 0, 0, Size, Size, Source, 0, 0, GlyphSize, GlyphSize, SRCCOPY);
                SelectObject(Source, OldSource);
                SelectObject(Target, OldTarget);
            }
            if (Source) DeleteDC(Source);
            if (Target) DeleteDC(Target);
        }
        ImageList_AddMasked(List.Get(), static_cast<HBITMAP>(Scaled ? Scaled.Get() : Glyph.Get()), RGB(255, 0, 255));
        BUTTON_IMAGELIST Image{};
        Image.himl = List.Get();
        Image.margin = RECT{ScaleForDpi(4), 0, 0, 0};
        Image.uAlign = BUTTON_IMAGELIST_ALIGN_LEFT;
        Button_SetImageList(Buttons[i].Button, &Image);
        std::swap(FGlyphs[i], List);  // the previous list goes when the button has the new one
    }
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

void TfrmMain::SetEnglishTexts() {
    for (const TMenuText& Text : MenuTexts) {
        MENUITEMINFOW Item{};
        Item.cbSize = sizeof(Item);
        Item.fMask = MIIM_STRING;
        std::wstring Caption = MenuCaption(Text, true);
        Item.dwTypeData = Caption.data();
        if (Text.Item) SetMenuItemInfoW(mnuMain, Text.Item, FALSE, &Item);
        else SetMenuItemInfoW(mnuMain, static_cast<UINT>(Text.Position), TRUE, &Item);
    }
    DrawMenuBar(FHandle);

    for (const TControlDesign& Control : Design) {
        if (!Control.English) continue;
        HWND Window = this->*Control.Field;
        if (Control.Kind == TKind::Label) SetLabelCaption(Window, Control.English);
        else SetControlText(Window, Control.English);
    }
    // Column 1 is "#" in both languages. The format goes along with the text:
    // a text-only change resets the header's alignment under Wine.
    LVCOLUMNW Column{};
    Column.mask = LVCF_TEXT | LVCF_FMT;
    Column.fmt = LVCFMT_LEFT;
    Column.pszText = const_cast<wchar_t*>(L"Filename");
    ListView_SetColumn(lvFiles, 0, &Column);

    odEditor.Title = L"Browse";
    sdTXT.Title = L"Export file list";
}

// ---- Control helpers ----

std::wstring TfrmMain::ControlText(HWND Control) {
    int Length = GetWindowTextLengthW(Control);
    std::wstring Text(static_cast<size_t>(Length) + 1, L'\0');
    int Copied = GetWindowTextW(Control, Text.data(), Length + 1);
    Text.resize(static_cast<size_t>(Copied > 0 ? Copied : 0));
    return Text;
}

void TfrmMain::SetControlText(HWND Control, std::wstring_view Text) {
    if (ControlText(Control) == Text) return;
    SetWindowTextW(Control, std::wstring(Text).c_str());
}

bool TfrmMain::Checked(HWND CheckBox) { return Button_GetCheck(CheckBox) == BST_CHECKED; }

void TfrmMain::SetChecked(HWND CheckBox, bool Value) {
    Button_SetCheck(CheckBox, Value ? BST_CHECKED : BST_UNCHECKED);
}

void TfrmMain::SetLabelCaption(HWND Label, std::wstring_view Text) {
    SetControlText(Label, Text);
    AutoSizeLabel(Label);
}

void TfrmMain::AutoSizeLabel(HWND Label) {
    std::wstring Text = ControlText(Label);
    HDC Dc = GetDC(Label);
    if (!Dc) return;
    HGDIOBJ Old = SelectObject(Dc, reinterpret_cast<HGDIOBJ>(SendMessageW(Label, WM_GETFONT, 0, 0)));
    RECT Extent{0, 0, 0, 0};
    DrawTextW(Dc, Text.empty() ? L" " : Text.c_str(), -1, &Extent, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(Dc, Old);
    ReleaseDC(Label, Dc);
    SetWindowPos(Label, nullptr, 0, 0, Text.empty() ? 0 : Extent.right, Extent.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(Label, nullptr, TRUE);
}

void TfrmMain::SetCaption(std::wstring_view Text) {
    if (FHandle) SetWindowTextW(FHandle, std::wstring(Text).c_str());
}

std::wstring TfrmMain::Caption() const { return FHandle ? ControlText(FHandle) : std::wstring(); }

// ---- File list ----

void TfrmMain::ClearFileList() {
    FFileItems.clear();
    ListView_SetItemCountEx(lvFiles, 0, 0);
}

void TfrmMain::AppendFileItem(std::wstring Caption, std::wstring CountText) {
    FFileItems.push_back(TFileListItem{std::move(Caption), std::move(CountText)});
    ListView_SetItemCountEx(lvFiles, static_cast<int>(FFileItems.size()), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
}

void TfrmMain::AppendFileItems(std::vector<TFileListItem>& Items) {
    if (Items.empty()) return;
    FFileItems.insert(FFileItems.end(), std::make_move_iterator(Items.begin()), std::make_move_iterator(Items.end()));
    Items.clear();
    ListView_SetItemCountEx(lvFiles, static_cast<int>(FFileItems.size()), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
}

std::int32_t TfrmMain::SelectedFileIndex() const {
    return ListView_GetNextItem(lvFiles, -1, LVNI_SELECTED);
}

// ---- Messages ----

LRESULT CALLBACK TfrmMain::WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    TfrmMain* Self;
    if (Message == WM_NCCREATE) {
        Self = static_cast<TfrmMain*>(reinterpret_cast<CREATESTRUCTW*>(LParam)->lpCreateParams);
        Self->FHandle = Window;
        SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Self));
    } else {
        Self = reinterpret_cast<TfrmMain*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
    }
    if (!Self) return DefWindowProcW(Window, Message, WParam, LParam);
    // An error escaping a handler is shown and the program goes on.
    try {
        return Self->HandleMessage(Message, WParam, LParam);
    } catch (const std::exception& Error) {
        Self->ShowHandlerError(Error.what());
    } catch (...) {
        Self->ShowHandlerError(nullptr);
    }
    return 0;
}

LRESULT CALLBACK TfrmMain::ControlProc(HWND Control, UINT Message, WPARAM WParam, LPARAM LParam, UINT_PTR,
                                       DWORD_PTR Data) {
    auto* Self = reinterpret_cast<TfrmMain*>(Data);
    try {
        return Self->HandleControlMessage(Control, Message, WParam, LParam);
    } catch (const std::exception& Error) {
        Self->ShowHandlerError(Error.what());
    } catch (...) {
        Self->ShowHandlerError(nullptr);
    }
    return 0;
}

void TfrmMain::ShowHandlerError(const char* What) {
    if (FHandlingError) return;  // never a second box from inside the first
    FHandlingError = true;
    std::wstring Text = WideFromAnsi(What);
    if (Text.empty()) Text = ChooseText(UseSwedish(), L"Ett oväntat fel inträffade.", L"An unexpected error occurred.");
    ShowError(FHandle, Text);
    FHandlingError = false;
}

LRESULT TfrmMain::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
    case WM_COMMAND:
        HandleCommand(LOWORD(WParam), HIWORD(WParam), reinterpret_cast<HWND>(LParam));
        return 0;
    case WM_NOTIFY:
        return HandleNotify(*reinterpret_cast<const NMHDR*>(LParam));
    case WM_SIZE:
        if (WParam != SIZE_MINIMIZED) FormResize();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT Paint{};
        HDC Dc = BeginPaint(FHandle, &Paint);
        if (Dc) FormPaint(Dc);
        EndPaint(FHandle, &Paint);
        return 0;
    }
    case WM_GETMINMAXINFO:
        if (InitialWidth > 0 && InitialHeight > 0) {
            // The user cannot make the window smaller than it was created; after a
            // move to a monitor of another DPI the minimum follows the new scale.
            auto* Info = reinterpret_cast<MINMAXINFO*>(LParam);
            double Ratio = static_cast<double>(FDpi) / static_cast<double>(FCreatedDpi);
            Info->ptMinTrackSize.x = static_cast<LONG>(InitialWidth * Ratio);
            Info->ptMinTrackSize.y = static_cast<LONG>(InitialHeight * Ratio);
        }
        return 0;
    case WM_DPICHANGED:
        HandleDpiChanged(LOWORD(WParam), *reinterpret_cast<const RECT*>(LParam));
        return 0;
    case WM_ACTIVATE:
        HandleActivate(WParam);
        return 0;
    case WM_SETCURSOR:
        if (BusyCursorShown()) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        // The window itself has the focus (no control does).
        WORD Key = static_cast<WORD>(WParam);
        FormKeyDown(Key, CurrentShiftState());
        if (Key == 0) return 0;
        WParam = Key;
        break;
    }
    case WM_DESTROY:
        Terminated = true;
        if (FFormCreated) FormDestroy();
        if (FQuitOnDestroy) PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
        if (ApplicationWindow() == FHandle) SetApplicationWindow(nullptr);
        FHandle = nullptr;
        return 0;
    }
    return DefWindowProcW(FHandle, Message, WParam, LParam);
}

void TfrmMain::HandleCommand(UINT Id, UINT Code, HWND Control) {
    if (!Control) {
        switch (Id) {
        case mnuMainFileQuit: mnuMainFileQuitClick(); break;
        case mnuMainHelpKeyboardShortcuts: mnuMainHelpKeyboardShortcutsClick(); break;
        case mnuMainHelpAbout: mnuMainHelpAboutClick(); break;
        }
        return;
    }
    if (Code == BN_CLICKED) {
        if (Control == btnApply) btnApplyClick();
        else if (Control == btnBrowse) btnBrowseClick();
        else if (Control == btnSearch) btnSearchClick();
    } else if (Code == EN_CHANGE && Control == txtFolder && lvFiles) {
        txtFolderChange();
    }
}

LRESULT TfrmMain::HandleNotify(const NMHDR& Header) {
    if (Header.hwndFrom == lvFiles) {
        switch (Header.code) {
        case LVN_GETDISPINFOW: {
            auto& Info = reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(Header));
            if ((Info.item.mask & LVIF_TEXT) && Info.item.pszText && Info.item.cchTextMax > 0 && Info.item.iItem >= 0 &&
                Info.item.iItem < FileItemCount()) {
                const TFileListItem& Item = FileItem(Info.item.iItem);
                const std::wstring& Text = Info.item.iSubItem == 0 ? Item.Caption : Item.CountText;
                lstrcpynW(Info.item.pszText, Text.c_str(), Info.item.cchTextMax);
            }
            return 0;
        }
        case NM_DBLCLK:
            lvFilesDblClick();
            return 0;
        }
    } else if (Header.hwndFrom == llURL && (Header.code == NM_CLICK || Header.code == NM_RETURN)) {
        const auto& Link = reinterpret_cast<const NMLINK&>(Header);
        llURLLinkClick(Link.item.szUrl);
        return 0;
    }
    return 0;
}

void TfrmMain::HandleActivate(WPARAM WParam) {
    // The control that had the focus gets it back when the window is active again,
    // after a message box or a dialog as after a switch to another program.
    if (LOWORD(WParam) == WA_INACTIVE) {
        HWND Focus = GetFocus();
        while (Focus && GetParent(Focus) && GetParent(Focus) != FHandle) Focus = GetParent(Focus);
        if (Focus && GetParent(Focus) == FHandle) FActiveControl = Focus;
        return;
    }
    if (HIWORD(WParam)) return;  // minimized
    if (FActiveControl && IsWindow(FActiveControl) && IsWindowEnabled(FActiveControl) &&
        IsWindowVisible(FActiveControl))
        SetFocus(FActiveControl);
    else
        SetFocus(FHandle);
}

LRESULT TfrmMain::HandleControlMessage(HWND Control, UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        // Key preview: the window's handler sees the key first, then the control's
        // own handler, then the control; a handler clears Key to consume it.
        WORD Key = static_cast<WORD>(WParam);
        TShiftState Shift = CurrentShiftState();
        FormKeyDown(Key, Shift);
        if (Key != 0) {
            if (Control == lvFiles) lvFilesKeyDown(Key, Shift);
            else if (Control == txtTextToFind) txtTextToFindKeyDown(Key, Shift);
            else if (Control == txtReplaceWith) txtReplaceWithKeyDown(Key, Shift);
        }
        if (Key == 0) return 0;
        WParam = Key;
        break;
    }
    case WM_CHAR:
        // The find and replace boxes take line breaks but no tab characters.
        if (WParam == L'\t' && (Control == txtTextToFind || Control == txtReplaceWith)) return 0;
        break;
    case WM_GETDLGCODE: {
        LRESULT Code = DefSubclassProc(Control, Message, WParam, LParam);
        const MSG* Key = reinterpret_cast<const MSG*>(LParam);
        bool KeyDown = Key && (Key->message == WM_KEYDOWN || Key->message == WM_CHAR);
        if (KeyDown && Key->wParam == VK_TAB && (Control == txtTextToFind || Control == txtReplaceWith))
            Code &= ~static_cast<LRESULT>(DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
        if (KeyDown && Key->wParam == VK_RETURN && (Control == lvFiles || Control == llURL)) Code |= DLGC_WANTMESSAGE;
        return Code;
    }
    case WM_SETFOCUS: {
        bool Entered = FActiveControl != Control;
        FActiveControl = Control;
        LRESULT Result = DefSubclassProc(Control, Message, WParam, LParam);
        if (Entered && Control == lvFiles) lvFilesEnter();
        return Result;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(Control, &TfrmMain::ControlProc, 0);
        break;
    }
    return DefSubclassProc(Control, Message, WParam, LParam);
}

bool TfrmMain::PreTranslateMessage(MSG& Message) {
    if (!FHandle) return false;
    if (Message.hwnd != FHandle && !IsChild(FHandle, Message.hwnd)) return false;
    if (FAccelerators && TranslateAcceleratorW(FHandle, FAccelerators.Get(), &Message)) return true;
    return IsDialogMessageW(FHandle, &Message) != FALSE;
}

// ---- Help, About, Quit and the link ----

void TfrmMain::mnuMainFileQuitClick() { Close(); }

void TfrmMain::mnuMainHelpKeyboardShortcutsClick() {
    bool Swedish = UseSwedish();
    std::wstring Text = ChooseText(Swedish,
                                   L"Tangentbordsgenvägar:\r\n\r\n"
                                   L"F12 = Välj din redigerare.\r\n"
                                   L"F8 = Växla mellan kodningslägena.\r\n"
                                   L"F4 = Exportera fillistan.",
                                   L"Keyboard shortcuts:\r\n\r\n"
                                   L"F12 = Select your editor.\r\n"
                                   L"F8 = Switch between the encoding modes.\r\n"
                                   L"F4 = Export the file list.");
    ShowInformation(FHandle, Text, ChooseText(Swedish, L"Tangentbordsgenvägar", L"Keyboard shortcuts"));
}

void TfrmMain::mnuMainHelpAboutClick() {
    bool Swedish = UseSwedish();
    std::wstring Text = ChooseText(Swedish, L"Quorvane är skapat av Quorvane-projektet: ",
                                   L"Quorvane is made by the Quorvane project: ") +
                        std::wstring(HomePageUrl);
    ShowAbout(FHandle, Text, ChooseText(Swedish, L"Om", L"About") + L" " + BaseTitle);
}

void TfrmMain::llURLLinkClick(std::wstring_view Link) { OpenLink(Link); }
