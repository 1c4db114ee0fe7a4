#include "WindowText.h"

std::wstring TextOf(HWND Window) {
    wchar_t Buffer[1024] = L"";
    DWORD_PTR Result = 0;
    SendMessageTimeoutW(Window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(Buffer), SMTO_BLOCK, 5000, &Result);
    return Buffer;
}
