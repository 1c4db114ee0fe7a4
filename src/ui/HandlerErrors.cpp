// An error that escapes one of the window's handlers: shown in an error box
// owned by the window, after which the program goes on.
#include "platform/Language.h"
#include "platform/MessageBoxes.h"
#include "ui/Main.h"

namespace {

std::wstring WideFromAnsi(const char* Text) {
    if (!Text || !*Text) return {};
    int Length = MultiByteToWideChar(CP_ACP, 0, Text, -1, nullptr, 0);
    if (Length <= 1) return {};
    std::wstring Result(static_cast<size_t>(Length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, Text, -1, Result.data(), Length);
    Result.resize(static_cast<size_t>(Length - 1));
    return Result;
}

}  // namespace

void TfrmMain::ShowHandlerError(const char* What) {
    if (FHandlingError) return;  // never a second box from inside the first
    FHandlingError = true;
    std::wstring Text = WideFromAnsi(What);
    if (Text.empty()) Text = ChooseText(UseSwedish(), L"Ett oväntat fel inträffade.", L"An unexpected error occurred.");
    ShowError(FHandle, Text);
    FHandlingError = false;
}
