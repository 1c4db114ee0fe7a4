#pragma once
// The drawing of the progress bar and of the frame around it.
#include "base/UniqueHandle.h"
#include "ui/Main.h"

#include <windows.h>

#include <cstdint>

// The progress bitmap: 24 bits per pixel, Width x Height, BackColor everywhere;
// for Progress 1..100 the fill and the text "N %" centred in Consolas 10 pt.
UniqueGdiObject DrawProgressBitmap(std::int32_t Width, std::int32_t Height, std::int32_t Progress, UINT Dpi,
                                   COLORREF BackColor);
// Four one-pixel lines in Color around Control's bounds on its parent's surface Dc.
void DrawProgressFrame(HDC Dc, HWND Control, COLORREF Color, std::int32_t Offset);
