#include "platform/MessageBoxes.h"

#include "platform/Language.h"

#include <string>

namespace {

// An empty argument falls back to the default of the language of the moment.
std::wstring OrDefault(std::wstring_view Argument, std::wstring_view Swedish, std::wstring_view English) {
    return ChooseText(Argument.empty(), ChooseText(UseSwedish(), Swedish, English), Argument);
}

int ShowBox(HWND Owner, const std::wstring& Text, const std::wstring& Caption, UINT Style) {
    return MessageBoxW(Owner, Text.c_str(), Caption.c_str(), Style);
}

static_assert((MB_ICONINFORMATION | MB_OK) == 0x40 && (MB_ICONERROR | MB_OK) == 0x10 &&
              (MB_ICONQUESTION | MB_YESNO) == 0x24 && (MB_ICONINFORMATION | MB_OKCANCEL) == 0x41);

const std::wstring ContinueSv = L"Fortsätta?";
const std::wstring ContinueEn = L"Continue?";
const std::wstring ConfirmSv = L"Bekräfta";
const std::wstring ConfirmEn = L"Confirm";

}  // namespace

void ShowInformation(HWND Owner, std::wstring_view Text, std::wstring_view Caption) {
    ShowBox(Owner, std::wstring(Text), OrDefault(Caption, L"Information", L"Information"),
            MB_ICONINFORMATION | MB_OK);
}

void ShowError(HWND Owner, std::wstring_view Text, std::wstring_view Caption) {
    ShowBox(Owner, std::wstring(Text), OrDefault(Caption, L"Fel", L"Error"), MB_ICONERROR | MB_OK);
}

void ShowAbout(HWND Owner, std::wstring_view Text, std::wstring_view Caption) {
    ShowBox(Owner, std::wstring(Text), OrDefault(Caption, L"Om...", L"About..."), MB_ICONINFORMATION | MB_OK);
}

bool ConfirmYesNo(HWND Owner, std::wstring_view Text, std::wstring_view Caption) {
    return ShowBox(Owner, OrDefault(Text, ContinueSv, ContinueEn), OrDefault(Caption, ConfirmSv, ConfirmEn),
                   MB_ICONQUESTION | MB_YESNO) == IDYES;
}

bool ConfirmOkCancel(HWND Owner, std::wstring_view Text, std::wstring_view Caption) {
    return ShowBox(Owner, OrDefault(Text, ContinueSv, ContinueEn), OrDefault(Caption, ConfirmSv, ConfirmEn),
                   MB_ICONINFORMATION | MB_OKCANCEL) == IDOK;
}
