#include "ui/WindowBase.h"

#include <commctrl.h>

#include <exception>

namespace {

// Marks a window as one of ours: GWLP_USERDATA of other windows may hold anything.
constexpr wchar_t OwnerProperty[] = L"Quorvane.WindowObject";

}  // namespace

TWindowBase::~TWindowBase() {
    // The derived object is gone already: its handlers must not run any more.
    AbandonWindow();
}

TWindowBase* TWindowBase::FromHandle(HWND Window) {
    if (!Window) return nullptr;
    return static_cast<TWindowBase*>(GetPropW(Window, OwnerProperty));
}

HWND TWindowBase::CreateBaseWindow(DWORD ExStyle, const wchar_t* ClassName, DWORD Style, int Left, int Top, int Width,
                                   int Height, HMENU Menu, HWND Owner) {
    return CreateWindowExW(ExStyle, ClassName, L"", Style, Left, Top, Width, Height, Owner, Menu,
                           GetModuleHandleW(nullptr), this);
}

void TWindowBase::AbandonWindow() {
    if (!FHandle) return;
    HWND Window = FHandle;
    RemovePropW(Window, OwnerProperty);
    FHandle = nullptr;
    DestroyWindow(Window);
}

void TWindowBase::AttachControl(HWND Control) {
    SetWindowSubclass(Control, &TWindowBase::BaseControlProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT TWindowBase::HandleControlMessage(HWND Control, UINT Message, WPARAM WParam, LPARAM LParam) {
    return DefSubclassProc(Control, Message, WParam, LParam);
}

LRESULT CALLBACK TWindowBase::BaseWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    TWindowBase* Self;
    if (Message == WM_NCCREATE) {
        Self = static_cast<TWindowBase*>(reinterpret_cast<CREATESTRUCTW*>(LParam)->lpCreateParams);
        Self->FHandle = Window;
        SetPropW(Window, OwnerProperty, Self);
    } else {
        Self = FromHandle(Window);
    }
    if (!Self) return DefWindowProcW(Window, Message, WParam, LParam);
    LRESULT Result = 0;
    try {
        Result = Self->HandleMessage(Message, WParam, LParam);
    } catch (const std::exception& Error) {
        Self->ShowHandlerError(Error.what());
    } catch (...) {
        Self->ShowHandlerError(nullptr);
    }
    if (Message == WM_NCDESTROY) {
        // The last message: the object stays, the window is gone.
        RemovePropW(Window, OwnerProperty);
        if (Self->FHandle == Window) Self->FHandle = nullptr;
    }
    return Result;
}

LRESULT CALLBACK TWindowBase::BaseControlProc(HWND Control, UINT Message, WPARAM WParam, LPARAM LParam, UINT_PTR,
                                              DWORD_PTR Data) {
    auto* Self = reinterpret_cast<TWindowBase*>(Data);
    if (Message == WM_NCDESTROY) RemoveWindowSubclass(Control, &TWindowBase::BaseControlProc, 0);
    try {
        return Self->HandleControlMessage(Control, Message, WParam, LParam);
    } catch (const std::exception& Error) {
        Self->ShowHandlerError(Error.what());
    } catch (...) {
        Self->ShowHandlerError(nullptr);
    }
    return 0;
}
