#pragma once
// Helpers for the window tests of the commands: modifier keys, keys and clicks
// sent to the real controls, and waiting for a run to end while its events (and
// any result box) are served. The language of the moment is set with a LocaleScope.
#include "WindowTestSupport.h"

#include "LocaleScope.h"
#include "TempFolder.h"
#include "TextBytes.h"
#include "ui/Application.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// Holds Shift, Ctrl and Alt (a TShiftState) in this thread's key state for the scope.
class TModifierScope {
public:
    explicit TModifierScope(TShiftState Shift);
    ~TModifierScope();
    TModifierScope(const TModifierScope&) = delete;
    TModifierScope& operator=(const TModifierScope&) = delete;

private:
    BYTE FOld[256];
};

// A key pressed and released in Control as the keyboard would deliver it
// (WM_SYSKEYDOWN and WM_SYSKEYUP when Alt is held without Ctrl), then the queue
// served through the program's own message handling, which makes the characters.
void PressKey(HWND Control, WORD Key);
// A click on a button through the button itself, then the queue served.
void Click(HWND Button);
// Serves the queue until Form has no run in progress and every worker of it has ended;
// false on a timeout (a bound for a busy machine, not a moment).
bool WaitForRunEnd(const TfrmMain& Form, DWORD TimeoutMs = 300000);

// The texts of a message box recorded by TBoxWatcher, as a readable pair.
std::wstring BoxTexts(const TBoxWatcher& Watcher);

// The window with a fresh fixture folder: each test sets the inputs it needs.
class TCommandWindowTest {
public:
    TCommandWindowTest();
    ~TCommandWindowTest();

    void SetInputs(const std::wstring& Folder, const std::wstring& Filters, const std::wstring& TextToFind,
                   const std::wstring& ReplaceWith, bool CaseSensitive, bool Recursive = true);
    // Every row of the list as "caption|count".
    std::vector<std::wstring> Rows() const;

    TempFolder Fixture;
    std::unique_ptr<TfrmMain> Form;
};
