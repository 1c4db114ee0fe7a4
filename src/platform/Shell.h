#pragma once
// Thin shell services: starting a program, opening a link, the special folders
// and the folder-selection dialog.
#include <windows.h>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The owner of a folder dialog opened without one, and the window whose
// monitor such a dialog is centred on.
void SetApplicationWindow(HWND Window);
HWND ApplicationWindow();

void RunCommandLine(std::wstring_view CommandLine);
void OpenLink(std::wstring_view Target);
std::wstring SpecialFolderPath(std::int32_t FolderId, std::wstring_view Fallback);
std::wstring TextUpToNul(std::wstring_view Buffer);
// The chosen folder with a trailing backslash; nothing when the user cancelled.
// The dialog belongs to Owner (without one, to ApplicationWindow) and is centred
// on that window's monitor.
std::optional<std::wstring> BrowseForFolder(const std::wstring& InitialFolder, const std::wstring& Root,
                                            HWND Owner = nullptr);
bool ShowFolderDialog(const std::wstring& Caption, const std::wstring& Root, std::wstring& Folder, HWND Parent);
