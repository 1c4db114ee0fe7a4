#pragma once
// Small window helpers: DPI queries and scaling, colours, centring and the
// application-wide busy cursor.
#include <windows.h>

#include <cstdint>

// The DPI of the monitor that holds Window (or, with no window, of the primary
// monitor): its effective DPI where the system can tell it, else the screen's
// logical DPI, else 96. The environment variable QV_DPI, when it holds a number
// from 48 to 960, replaces the monitor's answer (window tests use it).
UINT MonitorDpi(HWND Window);
// Design length times Dpi / 96.0: the factor first, then the product, truncated
// toward zero.
std::int32_t ScaleLength(std::int32_t Value, UINT Dpi);

std::int64_t ClampValue(std::int64_t Value, std::int64_t Low, std::int64_t High);
// A system colour (such as COLOR_BTNFACE | 0x80000000) resolved to its RGB value;
// an RGB colour unchanged.
COLORREF ResolveColor(std::uint32_t Color);
std::uint8_t RedOf(COLORREF Color);
std::uint8_t GreenOf(COLORREF Color);
std::uint8_t BlueOf(COLORREF Color);
// Each of red, green and blue plus Amount, clamped to 0..255.
COLORREF LightenColor(std::uint32_t Color, std::int32_t Amount);
// A colour value that names a system colour, as LightenColor takes it.
constexpr std::uint32_t SystemColor(int Index) { return 0x80000000u | static_cast<std::uint32_t>(Index); }

// Places Window in the middle of a rectangle of the primary work area's size at
// the screen's origin (the work area's own left and top are not added).
void CenterOnWorkArea(HWND Window);

// The hourglass for the whole application, and back to the normal cursor once
// every window that turned it on has turned it off.
void BusyCursorOn();
void BusyCursorOff();
bool BusyCursorShown();
