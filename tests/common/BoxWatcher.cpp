#include "BoxWatcher.h"

#include "WindowText.h"

#include <utility>

thread_local TBoxWatcher* TBoxWatcher::Current = nullptr;

TBoxWatcher::TBoxWatcher() {
    Current = this;
    FHook = SetWindowsHookExW(WH_CBT, &TBoxWatcher::HookProc, nullptr, GetCurrentThreadId());
}

TBoxWatcher::~TBoxWatcher() {
    if (FHook) UnhookWindowsHookEx(FHook);
    Current = nullptr;
}

LRESULT CALLBACK TBoxWatcher::HookProc(int Code, WPARAM WParam, LPARAM LParam) {
    if (Code == HCBT_ACTIVATE && Current) {
        HWND Window = reinterpret_cast<HWND>(WParam);
        wchar_t ClassName[64] = L"";
        GetClassNameW(Window, ClassName, 64);
        if (std::wstring(ClassName) == L"#32770") Current->Record(Window);
    }
    return CallNextHookEx(nullptr, Code, WParam, LParam);
}

void TBoxWatcher::Record(HWND Box) {
    TBox Seen;
    Seen.Caption = TextOf(Box);
    if (HWND Static = GetDlgItem(Box, 0xFFFF)) Seen.Text = TextOf(Static);
    Seen.Owner = GetWindow(Box, GW_OWNER);
    for (HWND Child = GetWindow(Box, GW_CHILD); Child; Child = GetWindow(Child, GW_HWNDNEXT)) {
        wchar_t Class[32] = L"";
        GetClassNameW(Child, Class, 32);
        if (std::wstring(Class) == L"Static" && (GetWindowLongW(Child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            Seen.Icon = reinterpret_cast<HICON>(SendMessageW(Child, STM_GETICON, 0, 0));
    }
    const std::pair<int, wchar_t> Ids[] = {{IDOK, L'O'}, {IDCANCEL, L'C'}, {IDYES, L'Y'}, {IDNO, L'N'}};
    for (auto [Id, Letter] : Ids)
        if (GetDlgItem(Box, Id)) Seen.Buttons += Letter;
    FBoxes.push_back(Seen);

    int Answer = IDOK;
    if (!FAnswers.empty()) {
        Answer = FAnswers.front();
        FAnswers.pop_front();
    }
    if (Answer == PressEscape || Answer == PressEnter)
        PostMessageW(Box, WM_KEYDOWN, Answer == PressEscape ? VK_ESCAPE : VK_RETURN, 0);
    else
        PostMessageW(Box, WM_COMMAND, MAKEWPARAM(Answer, BN_CLICKED), 0);
}
