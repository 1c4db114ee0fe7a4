#pragma once
// Thin shell services: starting a program, opening a link, the special folders
// and the folder-selection dialog.
#include <windows.h>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The program's main window: owner of the folder dialog, and the window whose
// monitor the dialog is centred on. Set by the window when it is created.
void SetApplicationWindow(HWND Window);
HWND ApplicationWindow();

void RunCommandLine(std::wstring_view CommandLine);
void OpenLink(std::wstring_view Target);
std::wstring SpecialFolderPath(std::int32_t FolderId, std::wstring_view Fallback);
std::wstring TextUpToNul(std::wstring_view Buffer);
// The chosen folder with a trailing backslash; nothing when the user cancelled.
std::optional<std::wstring> BrowseForFolder(const std::wstring& InitialFolder, const std::wstring& Root);
bool ShowFolderDialog(const std::wstring& Caption, const std::wstring& Root, std::wstring& Folder, HWND Parent);
