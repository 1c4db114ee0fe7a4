#pragma once
// Runs of the real window program for the end-to-end tests: a private copy of
// Quorvane.exe in a fresh folder of its own (so it has its own settings file),
// its windows found by process and class, its settings read afterwards.
#include "SettingsLines.h"
#include "TempFolder.h"
#include "TextBytes.h"
#include "WindowText.h"

#include <windows.h>

#include <string>
#include <vector>

// The program under test, as Wine shows the build's host path (drive Z:).
std::wstring ProgramPath();

class TProgram {
public:
    // InitialSettings, when given, is written as the settings file before the start.
    explicit TProgram(const std::string& InitialSettings = {});
    ~TProgram();
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    // Starts the program and waits for its main window (null if none came).
    HWND Start(const std::wstring& Arguments = {});
    // A visible window of the program of this class now, or null.
    HWND Find(const wchar_t* ClassName) const;
    // Waits for a visible window of this class; null when the program ended or time ran out.
    HWND WaitForWindow(const wchar_t* ClassName);
    // The program's message box (or dialog) that is open now, if any.
    HWND Box() const { return Find(L"#32770"); }
    // True when the program has ended by itself within the time.
    bool WaitForEnd(DWORD Milliseconds = 30000);
    // Closes the main window as the system would, and waits for the end.
    bool Close();

    std::string ReadSettings() const;
    void WriteSettings(const std::string& Content) const;
    std::vector<std::string> SettingsLines() const;
    // The stored value of Key, or "<missing>".
    std::string Setting(const std::string& Key) const;
    DWORD ThreadId() const { return FProcess.dwThreadId; }

private:
    TempFolder FFolder;
    std::wstring FExe;
    PROCESS_INFORMATION FProcess{};
    HWND FWindow = nullptr;
};
