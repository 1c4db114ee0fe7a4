#include "WindowTestSupport.h"

#include "base/GdiOwners.h"
#include "base/TextMatching.h"
#include "base/UniqueHandle.h"
#include "settings/Settings.h"
#include "SettingsLines.h"
#include "TempFolder.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

namespace {

// Under Wine on a display without a window manager, maximizing a window after an
// earlier top-level window of the process was destroyed fails in the X11 driver
// (BadWindow on the process's first X window). A hidden window that lives as
// long as the test program keeps that first X window valid.
class TWineAnchorWindow : public testing::Environment {
public:
    void SetUp() override {
        FAnchor = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    }
    void TearDown() override {
        if (FAnchor) DestroyWindow(FAnchor);
    }

private:
    HWND FAnchor = nullptr;
};

testing::Environment* const AnchorEnvironment = testing::AddGlobalTestEnvironment(new TWineAnchorWindow);

}  // namespace

void DeleteSettingsFile() { DeleteFileW(SettingsFilePath().c_str()); }

void WriteSettingsFile(const std::string& Content) {
    DeleteSettingsFile();
    WriteFileBytes(SettingsFilePath(), Content);
}

std::vector<std::string> SettingsFileLines() { return SettingsLines(ReadFileBytes(SettingsFilePath()).Bytes); }

void Pump() {
    for (int Round = 0; Round < 3; ++Round) ProcessMessages();
}

RECT BoundsOf(HWND Control) {
    RECT Bounds{};
    GetWindowRect(Control, &Bounds);
    MapWindowPoints(nullptr, GetParent(Control), reinterpret_cast<POINT*>(&Bounds), 2);
    return Bounds;
}

namespace {

TMenuAnswer* CurrentAnswer = nullptr;

void PostKey(HWND Window, WORD Key) {
    PostMessageW(Window, WM_KEYDOWN, Key, 1);
    PostMessageW(Window, WM_KEYUP, Key, 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
}

}  // namespace

TMenuAnswer::TMenuAnswer(int Choose, std::wstring ShotName) : FChoose(Choose), FShotName(std::move(ShotName)) {
    CurrentAnswer = this;
    FTimer = SetTimer(nullptr, 0, 30, &TMenuAnswer::Tick);
}

TMenuAnswer::~TMenuAnswer() {
    if (FTimer) KillTimer(nullptr, FTimer);
    CurrentAnswer = nullptr;
}

void CALLBACK TMenuAnswer::Tick(HWND, UINT, UINT_PTR, DWORD) {
    TMenuAnswer* Self = CurrentAnswer;
    if (!Self || Self->FShown) return;
    // A popup menu of this thread (never one of another program on the desktop).
    HWND MenuWindow = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND Window, LPARAM Found) -> BOOL {
            wchar_t Class[16] = L"";
            GetClassNameW(Window, Class, 16);
            if (std::wstring_view(Class) != L"#32768" || !IsWindowVisible(Window)) return TRUE;
            *reinterpret_cast<HWND*>(Found) = Window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&MenuWindow));
    if (MenuWindow) Self->Answer(MenuWindow);
}

void TMenuAnswer::Answer(HWND MenuWindow) {
    FShown = true;
    HMENU Menu = reinterpret_cast<HMENU>(SendMessageW(MenuWindow, MN_GETHMENU, 0, 0));
    const UINT Default = Menu ? GetMenuDefaultItem(Menu, TRUE, 0) : static_cast<UINT>(-1);
    for (int i = 0; Menu && i < GetMenuItemCount(Menu); ++i) {
        wchar_t Text[256] = L"";
        GetMenuStringW(Menu, static_cast<UINT>(i), Text, 256, MF_BYPOSITION);
        const UINT State = GetMenuState(Menu, static_cast<UINT>(i), MF_BYPOSITION);
        FItems.push_back(TItem{Text, !(State & (MF_GRAYED | MF_DISABLED)), Default == static_cast<UINT>(i)});
    }
    if (!FShotName.empty()) {
        UpdateWindow(MenuWindow);
        SaveScreenShot(FShotName);
    }
    if (FChoose < 0) {
        PostKey(MenuWindow, VK_ESCAPE);
        return;
    }
    for (int i = 0; i <= FChoose; ++i) PostKey(MenuWindow, VK_DOWN);
    PostKey(MenuWindow, VK_RETURN);
}

void SaveScreenShot(const std::wstring& Name, const RECT* Area) {
    wchar_t Folder[MAX_PATH] = L"";
    const DWORD Length = GetEnvironmentVariableW(L"QV_SHOT_DIR", Folder, MAX_PATH);
    if (Length == 0 || Length >= MAX_PATH) return;
    RECT Whole{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT Shot = Whole;
    if (Area && !IntersectRect(&Shot, Area, &Whole)) return;
    const int Width = Shot.right - Shot.left, Height = Shot.bottom - Shot.top;
    BITMAPINFOHEADER Header{};
    Header.biSize = sizeof(Header);
    Header.biWidth = Width;
    Header.biHeight = Height;  // bottom-up, as BMP files hold it
    Header.biPlanes = 1;
    Header.biBitCount = 24;
    Header.biCompression = BI_RGB;
    const int Stride = (Width * 3 + 3) & ~3;
    std::string Pixels(static_cast<size_t>(Stride) * static_cast<size_t>(Height), '\0');
    {
        TWindowDc Screen(nullptr);
        TMemoryDc Memory(Screen.Get());
        UniqueGdiObject Bitmap(CreateCompatibleBitmap(Screen.Get(), Width, Height));
        if (!Screen || !Memory || !Bitmap) return;
        {
            TSelection Selected(Memory.Get(), Bitmap.Get());
            BitBlt(Memory.Get(), 0, 0, Width, Height, Screen.Get(), Shot.left, Shot.top, SRCCOPY);
        }
        GetDIBits(Memory.Get(), static_cast<HBITMAP>(Bitmap.Get()), 0, static_cast<UINT>(Height), Pixels.data(),
                  reinterpret_cast<BITMAPINFO*>(&Header), DIB_RGB_COLORS);
    }
    BITMAPFILEHEADER File{};
    File.bfType = 0x4D42;
    File.bfOffBits = sizeof(File) + sizeof(Header);
    File.bfSize = File.bfOffBits + static_cast<DWORD>(Pixels.size());
    std::string Bytes(reinterpret_cast<const char*>(&File), sizeof(File));
    Bytes.append(reinterpret_cast<const char*>(&Header), sizeof(Header));
    Bytes += Pixels;
    WriteFileBytes(std::wstring(Folder) + L"\\" + Name + L".bmp", Bytes);
}

TEnvironment::TEnvironment(const wchar_t* Name, const wchar_t* Value) : FName(Name) {
    wchar_t Buffer[256];
    DWORD Length = GetEnvironmentVariableW(Name, Buffer, 256);
    FHadOld = Length > 0 && Length < 256;
    if (FHadOld) FOld = Buffer;
    SetEnvironmentVariableW(Name, Value);
}

TEnvironment::~TEnvironment() { SetEnvironmentVariableW(FName.c_str(), FHadOld ? FOld.c_str() : nullptr); }

std::unique_ptr<TfrmMain> OpenMainWindow() {
    auto Form = std::make_unique<TfrmMain>();
    // The display's focus events of windows closed just before may still arrive:
    // wait until this window is the active one with a focused control.
    for (int i = 0; i < 100; ++i) {
        Pump();
        if (GetActiveWindow() == Form->Handle() && GetFocus()) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    Pump();
    return Form;
}
