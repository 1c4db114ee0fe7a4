#pragma once
// Helpers for tests that create the main window in this process: message boxes
// answered from the test, and settings files.
#include "ui/Main.h"

#include <windows.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

// Watches this thread's message boxes (and other dialogs) through a CBT hook:
// records each one's caption and text when it activates and presses the next
// queued answer (IDOK when none is queued).
class TBoxWatcher {
public:
    struct TBox {
        std::wstring Caption;
        std::wstring Text;
        std::wstring ClassName;
    };

    TBoxWatcher();
    ~TBoxWatcher();
    TBoxWatcher(const TBoxWatcher&) = delete;
    TBoxWatcher& operator=(const TBoxWatcher&) = delete;

    void Answer(int ButtonId) { FAnswers.push_back(ButtonId); }
    const std::vector<TBox>& Boxes() const { return FBoxes; }

private:
    static LRESULT CALLBACK HookProc(int Code, WPARAM WParam, LPARAM LParam);
    static TBoxWatcher* Current;
    HHOOK FHook = nullptr;
    std::deque<int> FAnswers;
    std::vector<TBox> FBoxes;
};

// Forgets the settings file; with `MainState = TMainState{};` a test starts as a
// fresh program would.
void DeleteSettingsFile();
void WriteSettingsFile(const std::string& Content);
// The settings file's lines (empty when there is none).
std::vector<std::string> SettingsFileLines();

// Runs pending messages through the window's own handling until none is left.
void Pump();

// Control bounds in its parent's client coordinates.
RECT BoundsOf(HWND Control);
std::wstring TextOf(HWND Control);

// Temporarily sets an environment variable (QV_DPI) for this process.
class TEnvironment {
public:
    TEnvironment(const wchar_t* Name, const wchar_t* Value);
    ~TEnvironment();

private:
    std::wstring FName;
    std::wstring FOld;
    bool FHadOld;
};

// A fresh main window as the program opens it (FormCreate ran), destroyed at
// the end of the scope, which runs FormDestroy and writes the settings.
std::unique_ptr<TfrmMain> OpenMainWindow();
