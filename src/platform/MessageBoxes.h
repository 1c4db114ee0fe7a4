#pragma once
// The program's message boxes (information, error, and the questions); an empty
// Text or Caption falls back to the default of the language of the moment.
#include <windows.h>
#include <string_view>

void ShowInformation(HWND Owner, std::wstring_view Text = {}, std::wstring_view Caption = {});
void ShowError(HWND Owner, std::wstring_view Text = {}, std::wstring_view Caption = {});
void ShowAbout(HWND Owner, std::wstring_view Text = {}, std::wstring_view Caption = {});
bool ConfirmYesNo(HWND Owner, std::wstring_view Text = {}, std::wstring_view Caption = {});
bool ConfirmOkCancel(HWND Owner, std::wstring_view Text = {}, std::wstring_view Caption = {});
