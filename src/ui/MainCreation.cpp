// The main window's class registration, creation at the DPI of its monitor,
// and its destruction.
#include "ui/Main.h"
#include "ui/MainDesign.h"
#include "ui/Resources.h"
#include "ui/WindowHelpers.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <iterator>
#include <stdexcept>

namespace {

constexpr wchar_t MainClassName[] = L"TfrmMain";
constexpr DWORD MainStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD MainExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

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

}  // namespace

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
        Class.lpfnWndProc = &TWindowBase::BaseWindowProc;
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

    Geometry.Dpi = Geometry.CreatedDpi = MonitorDpi(nullptr);
    CreateMenus();

    // Created hidden at the design size, centred on the screen; FormCreate sizes,
    // shows and places it.
    RECT Outer{0, 0, ScaleForDpi(DesignClientWidth), ScaleForDpi(DesignClientHeight)};
    AdjustForDpi(Outer, MainStyle, MainExStyle, Geometry.Dpi);
    int Width = Outer.right - Outer.left, Height = Outer.bottom - Outer.top;
    int Left = (GetSystemMetrics(SM_CXSCREEN) - Width) / 2;
    int Top = (GetSystemMetrics(SM_CYSCREEN) - Height) / 2;
    HWND Window = CreateBaseWindow(MainExStyle, MainClassName, MainStyle, Left, Top, Width, Height, mnuMain);
    if (!Window) {
        DestroyMenu(mnuMain);
        mnuMain = nullptr;
        throw std::runtime_error("cannot create the main window");
    }
    try {
        BuildWindow(Width, Height);
    } catch (...) {
        // A window that never finished its start-up is taken down without
        // storing anything, and no message reaches this object again.
        AbandonWindow();
        throw;
    }
}

void TfrmMain::BuildWindow(int Width, int Height) {
    // A window opened on a monitor of another DPI than the primary one.
    UINT WindowDpi = MonitorDpi(FHandle);
    if (WindowDpi != Geometry.Dpi) Geometry.Dpi = Geometry.CreatedDpi = WindowDpi;

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
        {FVIRTKEY, VK_F6, static_cast<WORD>(mnuMainFileReview)},
    };
    FAccelerators.Reset(CreateAcceleratorTableW(Keys, static_cast<int>(std::size(Keys))));

    // Folders dropped from Explorer, and path completion in the folder box (with
    // the folders of the file system; without COM on the thread the box simply
    // completes nothing).
    DragAcceptFiles(FHandle, TRUE);
    SHAutoComplete(txtFolder, SHACF_FILESYS_DIRS);

    FActiveControl = txtFolder;
    FormCreate();
    FFormCreated = true;
    UpdateUndoMenuItem();
    if (IsWindowVisible(FHandle) && GetActiveWindow() == FHandle && !GetFocus()) SetFocus(FActiveControl);
}

TfrmMain::~TfrmMain() {
    // Destroyed while this object is whole: FormDestroy runs and stores the settings.
    if (FHandle) DestroyWindow(FHandle);
}

void TfrmMain::Close() {
    if (FHandle) PostMessageW(FHandle, WM_CLOSE, 0, 0);
}
