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
// Every command line of RunCommandLine goes to Runner instead of a new process
// while one is set (tests watch the programs the window would start); null
// starts processes again.
using TCommandLineRunner = void (*)(std::wstring_view CommandLine);
void SetCommandLineRunner(TCommandLineRunner Runner);
// Explorer showing the folder of Path with that file selected:
// "<Windows folder>\explorer.exe" /select,"Path", started by RunCommandLine.
std::wstring ExplorerSelectCommandLine(std::wstring_view Path);
void ShowInExplorer(std::wstring_view Path);
void OpenLink(std::wstring_view Target);
std::wstring SpecialFolderPath(std::int32_t FolderId, std::wstring_view Fallback);
std::wstring TextUpToNul(std::wstring_view Buffer);
// The chosen folder with a trailing backslash; nothing when the user cancelled.
// The dialog belongs to Owner (without one, to ApplicationWindow) and is centred
// on that window's monitor.
std::optional<std::wstring> BrowseForFolder(const std::wstring& InitialFolder, const std::wstring& Root,
                                            HWND Owner = nullptr);
bool ShowFolderDialog(const std::wstring& Caption, const std::wstring& Root, std::wstring& Folder, HWND Parent);
