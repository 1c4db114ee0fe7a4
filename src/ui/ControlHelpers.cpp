// Reading and setting what the window's controls show: texts, check marks,
// labels sized to their text, and the window's caption.
#include "base/GdiOwners.h"
#include "ui/Main.h"

#include <windowsx.h>

std::wstring TfrmMain::ControlText(HWND Control) {
    int Length = GetWindowTextLengthW(Control);
    std::wstring Text(static_cast<size_t>(Length) + 1, L'\0');
    int Copied = GetWindowTextW(Control, Text.data(), Length + 1);
    Text.resize(static_cast<size_t>(Copied > 0 ? Copied : 0));
    return Text;
}

void TfrmMain::SetControlText(HWND Control, std::wstring_view Text) {
    if (ControlText(Control) == Text) return;
    SetWindowTextW(Control, std::wstring(Text).c_str());
}

bool TfrmMain::Checked(HWND CheckBox) { return Button_GetCheck(CheckBox) == BST_CHECKED; }

void TfrmMain::SetChecked(HWND CheckBox, bool Value) {
    Button_SetCheck(CheckBox, Value ? BST_CHECKED : BST_UNCHECKED);
}

void TfrmMain::SetLabelCaption(HWND Label, std::wstring_view Text) {
    SetControlText(Label, Text);
    AutoSizeLabel(Label);
}

void TfrmMain::AutoSizeLabel(HWND Label) {
    std::wstring Text = ControlText(Label);
    RECT Extent{0, 0, 0, 0};
    {
        TWindowDc Dc(Label);
        if (!Dc) return;
        TSelection Font(Dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageW(Label, WM_GETFONT, 0, 0)));
        DrawTextW(Dc.Get(), Text.empty() ? L" " : Text.c_str(), -1, &Extent,
                  DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
    }
    SetWindowPos(Label, nullptr, 0, 0, Text.empty() ? 0 : Extent.right, Extent.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(Label, nullptr, TRUE);
}

void TfrmMain::SetCaption(std::wstring_view Text) {
    if (FHandle) SetWindowTextW(FHandle, std::wstring(Text).c_str());
}

std::wstring TfrmMain::Caption() const { return FHandle ? ControlText(FHandle) : std::wstring(); }
