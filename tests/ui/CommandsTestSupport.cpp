#include "CommandsTestSupport.h"

#include "ui/Application.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

TModifierScope::TModifierScope(TShiftState Shift) {
    GetKeyboardState(FOld);
    BYTE Keys[256];
    std::copy(std::begin(FOld), std::end(FOld), Keys);
    Keys[VK_SHIFT] = (Shift & ssShift) ? 0x80 : 0;
    Keys[VK_CONTROL] = (Shift & ssCtrl) ? 0x80 : 0;
    Keys[VK_MENU] = (Shift & ssAlt) ? 0x80 : 0;
    SetKeyboardState(Keys);
}

TModifierScope::~TModifierScope() { SetKeyboardState(FOld); }

void PressKey(HWND Control, WORD Key) {
    const bool Alt = GetKeyState(VK_MENU) < 0;
    // Alt makes a system key, except together with Ctrl (AltGr).
    const bool System = Alt && GetKeyState(VK_CONTROL) >= 0;
    // Repeat count 1; with Alt the context bit; on release the previous-state and
    // transition bits, as the system sets them.
    const LPARAM Down = 1 | (Alt ? (1 << 29) : 0);
    const LPARAM Up = Down | (LPARAM{1} << 30) | (LPARAM{1} << 31);
    PostMessageW(Control, System ? WM_SYSKEYDOWN : WM_KEYDOWN, Key, Down);
    PostMessageW(Control, System ? WM_SYSKEYUP : WM_KEYUP, Key, Up);
    Pump();
}

void Click(HWND Button) {
    SendMessageW(Button, BM_CLICK, 0, 0);
    Pump();
}

bool WaitForRunEnd(const TfrmMain& Form, DWORD TimeoutMs) {
    const ULONGLONG Deadline = GetTickCount64() + TimeoutMs;
    for (;;) {
        ProcessMessages();
        if (Form.Run.Idle()) {
            Pump();
            return true;
        }
        if (GetTickCount64() > Deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::wstring BoxTexts(const TBoxWatcher& Watcher) {
    std::wstring Text;
    for (const TBoxWatcher::TBox& Box : Watcher.Boxes()) Text += L"[" + Box.Caption + L": " + Box.Text + L"]";
    return Text;
}

TCommandWindowTest::TCommandWindowTest() {
    // A chosen editor: no Notepad++ question at start-up.
    WriteSettingsFile("[Main]\r\nEditor=004E004F00540045005000410044\r\n");
    Form = OpenMainWindow();
}

TCommandWindowTest::~TCommandWindowTest() {
    Form.reset();
    DeleteSettingsFile();
}

void TCommandWindowTest::SetInputs(const std::wstring& Folder, const std::wstring& Filters,
                                   const std::wstring& TextToFind, const std::wstring& ReplaceWith, bool CaseSensitive,
                                   bool Recursive) {
    SetWindowTextW(Form->txtFolder, Folder.c_str());
    SetWindowTextW(Form->txtFilters, Filters.c_str());
    SetWindowTextW(Form->txtTextToFind, TextToFind.c_str());
    SetWindowTextW(Form->txtReplaceWith, ReplaceWith.c_str());
    TfrmMain::SetChecked(Form->cbCaseSensitive, CaseSensitive);
    TfrmMain::SetChecked(Form->cbRecursive, Recursive);
    Pump();
}

std::vector<std::wstring> TCommandWindowTest::Rows() const {
    std::vector<std::wstring> Rows;
    const int Count = ListView_GetItemCount(Form->lvFiles);
    for (int i = 0; i < Count; ++i) {
        wchar_t Caption[512] = L"", CountText[64] = L"";
        ListView_GetItemText(Form->lvFiles, i, 0, Caption, 512);
        ListView_GetItemText(Form->lvFiles, i, 1, CountText, 64);
        Rows.push_back(std::wstring(Caption) + L"|" + CountText);
    }
    return Rows;
}
