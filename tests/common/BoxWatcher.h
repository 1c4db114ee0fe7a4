#pragma once
// Watches this thread's message boxes and other dialogs (class #32770) through a
// CBT hook: records each one when it activates (caption, message text, owner,
// icon, buttons) and answers it with the next queued answer, IDOK when none is
// queued. An answer is a button id, or PressEscape / PressEnter as typed keys.
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

constexpr int PressEscape = -1;
constexpr int PressEnter = -2;  // the default button answers

class TBoxWatcher {
public:
    struct TBox {
        std::wstring Caption;
        std::wstring Text;     // a message box's message
        HWND Owner = nullptr;
        HICON Icon = nullptr;  // a message box's icon
        std::wstring Buttons;  // "O" OK, "C" Cancel, "Y" Yes, "N" No, in id order
    };

    TBoxWatcher();
    ~TBoxWatcher();
    TBoxWatcher(const TBoxWatcher&) = delete;
    TBoxWatcher& operator=(const TBoxWatcher&) = delete;

    void Answer(int Answer) { FAnswers.push_back(Answer); }
    // Every activation in order: a box active twice is recorded twice.
    const std::vector<TBox>& Boxes() const { return FBoxes; }

private:
    static LRESULT CALLBACK HookProc(int Code, WPARAM WParam, LPARAM LParam);
    void Record(HWND Box);
    static thread_local TBoxWatcher* Current;
    HHOOK FHook = nullptr;
    std::deque<int> FAnswers;
    std::vector<TBox> FBoxes;
};
