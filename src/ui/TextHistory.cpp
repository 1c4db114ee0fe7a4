// The recent texts of the find and replace boxes and their drop-down list.
#include "ui/TextHistory.h"

#include "base/UniqueHandle.h"
#include "settings/SettingsCatalogue.h"
#include "ui/Main.h"

#include <algorithm>

namespace {

constexpr size_t CaptionLength = 60;

}  // namespace

void RememberText(std::vector<std::wstring>& History, std::wstring_view Text) {
    if (Text.empty()) return;
    std::wstring Entry(Text);
    History.erase(std::remove(History.begin(), History.end(), Entry), History.end());
    History.insert(History.begin(), std::move(Entry));
    if (History.size() > TextHistoryLength) History.resize(TextHistoryLength);
}

std::wstring HistoryCaption(std::wstring_view Text) {
    std::wstring Caption;
    size_t Shown = 0;
    for (size_t i = 0; i < Text.size(); ++i) {
        if (Shown == CaptionLength) {
            Caption += L"...";
            break;
        }
        const wchar_t C = Text[i];
        if (C == L'\r' || C == L'\n') {
            if (C == L'\r' && i + 1 < Text.size() && Text[i + 1] == L'\n') ++i;
            Caption += L" \u00B6 ";
        } else if (C == L'\t') {
            Caption += L' ';
        } else if (C == L'&') {
            Caption += L"&&";  // a menu would take a single "&" for a mnemonic
        } else {
            Caption += C;
        }
        ++Shown;
    }
    return Caption;
}

void TfrmMain::ShowTextHistory(HWND Box) {
    const std::vector<std::wstring> List = Box == txtTextToFind ? History.Find : History.Replace;
    if (List.empty() || Run.WorkInProgress) return;
    UniqueMenu Menu(CreatePopupMenu());
    if (!Menu) return;
    for (size_t i = 0; i < List.size(); ++i)
        AppendMenuW(Menu.Get(), MF_STRING, static_cast<UINT_PTR>(i + 1), HistoryCaption(List[i]).c_str());
    // Below the box, as a combo box drops its list.
    RECT Bounds{};
    GetWindowRect(Box, &Bounds);
    const auto Chosen = static_cast<size_t>(TrackPopupMenu(
        Menu.Get(), TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, Bounds.left, Bounds.bottom, 0, FHandle, nullptr));
    if (Chosen == 0 || Chosen > List.size()) return;
    const std::wstring& Text = List[Chosen - 1];
    SetControlText(Box, Text);
    SetFocus(Box);
    SendMessageW(Box, EM_SETSEL, Text.size(), Text.size());
}
