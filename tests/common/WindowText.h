#pragma once
// The text of a window of this process or another: WM_GETTEXT, which the system
// carries across processes (GetWindowTextW does not ask another process's
// window), given up after five seconds for a window that does not answer.
#include <windows.h>

#include <string>

std::wstring TextOf(HWND Window);
