#pragma once
// The main window's layout rules as data, and the drawing of the progress bar.
#include "base/UniqueHandle.h"
#include "ui/Main.h"

#include <windows.h>

#include <cstdint>
#include <span>

enum class TLayoutProperty { Left, Top, Width, Height, Column0Width };
// How a value follows the client area's growth: all of it or half of it
// (integer halves truncated toward zero).
enum class TGrowth { Width, HalfWidth, Height, HalfHeight };

struct TLayoutStep {
    HWND TfrmMain::*Control;
    TLayoutProperty Property;
    std::int32_t Design;  // the 96-DPI value
    TGrowth Growth;
};

// The layout rules, in the order every resize applies them.
std::span<const TLayoutStep> MainLayoutSteps();
// ScaleForDpi of the design value plus the growth the step takes.
std::int32_t LayoutValue(const TLayoutStep& Step, UINT Dpi, std::int32_t GrowthWidth, std::int32_t GrowthHeight);

// The progress bitmap: 24 bits per pixel, Width x Height, BackColor everywhere;
// for Progress 1..100 the fill and the text "N %" centred in Consolas 10 pt.
UniqueGdiObject DrawProgressBitmap(std::int32_t Width, std::int32_t Height, std::int32_t Progress, UINT Dpi,
                                   COLORREF BackColor);
// Four one-pixel lines in Color around Control's bounds on its parent's surface Dc.
void DrawProgressFrame(HDC Dc, HWND Control, COLORREF Color, std::int32_t Offset);
