#include "ui/WindowHelpers.h"

#include "base/GdiOwners.h"

#include <cstdlib>
#include <cwchar>

namespace {

// Windows with a run in progress: the hourglass stays while any of them runs.
int BusyCount = 0;

// GetDpiForMonitor exists from Windows 8.1 on; older systems give the screen's DPI.
using TGetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

UINT DpiOverride() {
    wchar_t Buffer[16];
    DWORD Length = GetEnvironmentVariableW(L"QV_DPI", Buffer, 16);
    if (Length == 0 || Length >= 16) return 0;
    long Value = std::wcstol(Buffer, nullptr, 10);
    return Value >= 48 && Value <= 960 ? static_cast<UINT>(Value) : 0;
}

}  // namespace

UINT MonitorDpi(HWND Window) {
    if (UINT Override = DpiOverride()) return Override;
    static const auto GetDpiForMonitorProc = [] {
        HMODULE Shcore = LoadLibraryW(L"shcore.dll");
        return Shcore ? reinterpret_cast<TGetDpiForMonitor>(
                            reinterpret_cast<void*>(GetProcAddress(Shcore, "GetDpiForMonitor")))
                      : nullptr;
    }();
    if (GetDpiForMonitorProc) {
        HMONITOR Monitor = Window ? MonitorFromWindow(Window, MONITOR_DEFAULTTONEAREST)
                                  : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
        UINT DpiX = 0, DpiY = 0;
        if (SUCCEEDED(GetDpiForMonitorProc(Monitor, 0 /* MDT_EFFECTIVE_DPI */, &DpiX, &DpiY)) && DpiX > 0)
            return DpiX;
    }
    // When the system cannot tell, 96 keeps every length at its design value
    // instead of making it 0.
    int Dpi = 0;
    if (TWindowDc Screen(nullptr); Screen) Dpi = GetDeviceCaps(Screen.Get(), LOGPIXELSY);
    return Dpi > 0 ? static_cast<UINT>(Dpi) : 96;
}

std::int32_t ScaleLength(std::int32_t Value, UINT Dpi) {
    double Factor = static_cast<double>(Dpi) / 96.0;
    return static_cast<std::int32_t>(static_cast<double>(Value) * Factor);
}

std::int64_t ClampValue(std::int64_t Value, std::int64_t Low, std::int64_t High) {
    if (Value < Low) return Low;
    if (Value > High) return High;
    return Value;
}

COLORREF ResolveColor(std::uint32_t Color) {
    if (Color & 0x80000000u) return GetSysColor(static_cast<int>(Color & 0xFF));
    return static_cast<COLORREF>(Color & 0xFFFFFF);
}

std::uint8_t RedOf(COLORREF Color) { return GetRValue(Color); }
std::uint8_t GreenOf(COLORREF Color) { return GetGValue(Color); }
std::uint8_t BlueOf(COLORREF Color) { return GetBValue(Color); }

COLORREF LightenColor(std::uint32_t Color, std::int32_t Amount) {
    COLORREF Resolved = ResolveColor(Color);
    auto Channel = [Amount](std::uint8_t Value) {
        return static_cast<BYTE>(ClampValue(static_cast<std::int64_t>(Value) + Amount, 0, 255));
    };
    return RGB(Channel(RedOf(Resolved)), Channel(GreenOf(Resolved)), Channel(BlueOf(Resolved)));
}

void CenterOnWorkArea(HWND Window) {
    RECT WorkArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &WorkArea, 0);
    RECT Bounds{};
    GetWindowRect(Window, &Bounds);
    int Width = Bounds.right - Bounds.left, Height = Bounds.bottom - Bounds.top;
    int Left = ((WorkArea.right - WorkArea.left) - Width) / 2;
    int Top = ((WorkArea.bottom - WorkArea.top) - Height) / 2;
    SetWindowPos(Window, nullptr, Left, Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void BusyCursorOn() {
    ++BusyCount;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void BusyCursorOff() {
    if (BusyCount > 0) --BusyCount;
    if (BusyCount > 0) return;
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

bool BusyCursorShown() { return BusyCount > 0; }
