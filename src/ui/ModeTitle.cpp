// The title rule: the application title names the encoding mode, and the
// window caption follows the application title.
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

void ComposeModeTitle() {
    std::wstring_view Label = EncodingModeLabel(MainState.CurrentEncodingMode);
    if (!Label.empty()) SetApplicationTitle(MainState.BaseTitle + L" " + std::wstring(Label));
    if (MainState.frmMain) MainState.frmMain->SetCaption(ApplicationTitle());
}
