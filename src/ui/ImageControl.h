#pragma once
// A child window that shows a bitmap (its picture) at its top-left corner,
// unstretched, and keeps an integer tag, as the progress image uses them.
#include "base/UniqueHandle.h"

#include <windows.h>

#include <cstdint>

HWND CreateImageControl(HWND Parent, int Id, int Left, int Top, int Width, int Height);
// The control takes the bitmap over and releases its previous picture.
void SetImagePicture(HWND Image, UniqueGdiObject Picture);
HBITMAP ImagePicture(HWND Image);
void SetImageTag(HWND Image, std::int32_t Tag);
std::int32_t ImageTag(HWND Image);
