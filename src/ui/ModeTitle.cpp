// The title rule: the window's title names the encoding mode, and the
// caption follows the title.
#include "ui/Main.h"

std::wstring_view EncodingModeLabel(TEncodingMode Mode) {
    switch (Mode) {
    case TEncodingMode::Auto: return L"(Auto)";
    case TEncodingMode::Ansi: return L"(ANSI)";
    case TEncodingMode::Utf16LE: return L"(UTF-16/LE)";
    case TEncodingMode::Utf8: return L"(UTF-8)";
    }
    return {};
}

void TfrmMain::ComposeModeTitle() {
    std::wstring_view Label = EncodingModeLabel(CurrentEncodingMode);
    if (!Label.empty()) SetTitle(BaseTitle + L" " + std::wstring(Label));
    SetCaption(Title());
}
