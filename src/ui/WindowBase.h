#pragma once
// A top-level window as an object: the object is stored in the window at its
// creation, and every message of the window (and of the controls it attaches)
// goes to the object's own handler. No exception crosses into the system: one
// escaping a handler is shown by ShowHandlerError and the program goes on.
#include <windows.h>

class TWindowBase {
public:
    TWindowBase(const TWindowBase&) = delete;
    TWindowBase& operator=(const TWindowBase&) = delete;

    HWND Handle() const { return FHandle; }
    // The object of a window created through CreateBaseWindow, while it exists; null for any other window.
    static TWindowBase* FromHandle(HWND Window);
    // The window's keys before they are dispatched (accelerators, keyboard
    // navigation); true when Message has been handled and must not be dispatched.
    virtual bool PreTranslateMessage(MSG& /*Message*/) { return false; }

protected:
    TWindowBase() = default;
    virtual ~TWindowBase();

    // Registers nothing: the class must use BaseWindowProc as its procedure.
    HWND CreateBaseWindow(DWORD ExStyle, const wchar_t* ClassName, DWORD Style, int Left, int Top, int Width,
                          int Height, HMENU Menu, HWND Owner = nullptr);
    // Takes the window down without running any handler of this object again.
    void AbandonWindow();
    // Messages of Control go to HandleControlMessage from now on.
    void AttachControl(HWND Control);

    static LRESULT CALLBACK BaseWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
    virtual LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) = 0;
    virtual LRESULT HandleControlMessage(HWND Control, UINT Message, WPARAM WParam, LPARAM LParam);
    virtual void ShowHandlerError(const char* What) = 0;

    HWND FHandle = nullptr;

private:
    static LRESULT CALLBACK BaseControlProc(HWND Control, UINT Message, WPARAM WParam, LPARAM LParam, UINT_PTR Id,
                                            DWORD_PTR Data);
};
