// The main window's messages: its window procedure and the subclass of its
// controls, each message sent on to its named handler; keyboard navigation
// and the accelerators; the focus kept across activations.
#include "base/GdiOwners.h"
#include "platform/Shell.h"
#include "ui/Main.h"
#include "ui/WindowHelpers.h"

#include <stdexcept>
#include <utility>

TShiftState CurrentShiftState() {
    TShiftState Shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) Shift |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) Shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) Shift |= ssAlt;
    return Shift;
}

LRESULT CALLBACK TfrmMain::WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    TfrmMain* Self;
    if (Message == WM_NCCREATE) {
        Self = static_cast<TfrmMain*>(reinterpret_cast<CREATESTRUCTW*>(LParam)->lpCreateParams);
        Self->FHandle = Window;
        SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Self));
    } else {
        Self = reinterpret_cast<TfrmMain*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
    }
    if (!Self) return DefWindowProcW(Window, Message, WParam, LParam);
    // An error escaping a handler is shown and the program goes on.
    try {
        return Self->HandleMessage(Message, WParam, LParam);
    } catch (const std::exception& Error) {
        Self->ShowHandlerError(Error.what());
    } catch (...) {
        Self->ShowHandlerError(nullptr);
    }
    return 0;
}

LRESULT CALLBACK TfrmMain::ControlProc(HWND Control, UINT Message, WPARAM WParam, LPARAM LParam, UINT_PTR,
                                       DWORD_PTR Data) {
    auto* Self = reinterpret_cast<TfrmMain*>(Data);
    try {
        return Self->HandleControlMessage(Control, Message, WParam, LParam);
    } catch (const std::exception& Error) {
        Self->ShowHandlerError(Error.what());
    } catch (...) {
        Self->ShowHandlerError(nullptr);
    }
    return 0;
}

LRESULT TfrmMain::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
    case WM_COMMAND:
        HandleCommand(LOWORD(WParam), HIWORD(WParam), reinterpret_cast<HWND>(LParam));
        return 0;
    case WM_NOTIFY:
        return HandleNotify(*reinterpret_cast<const NMHDR*>(LParam));
    case WM_SIZE:
        if (WParam != SIZE_MINIMIZED) FormResize();
        return 0;
    case WM_PAINT: {
        // The paint ends even when FormPaint throws.
        TPaintDc Paint(FHandle);
        if (Paint.Get()) FormPaint(Paint.Get());
        return 0;
    }
    case WM_GETMINMAXINFO:
        if (MainState.InitialWidth > 0 && MainState.InitialHeight > 0) {
            // The user cannot make the window smaller than it was created; after a
            // move to a monitor of another DPI the minimum follows the new scale.
            auto* Info = reinterpret_cast<MINMAXINFO*>(LParam);
            double Ratio = static_cast<double>(FDpi) / static_cast<double>(FCreatedDpi);
            Info->ptMinTrackSize.x = static_cast<LONG>(MainState.InitialWidth * Ratio);
            Info->ptMinTrackSize.y = static_cast<LONG>(MainState.InitialHeight * Ratio);
        }
        return 0;
    case WM_DPICHANGED:
        HandleDpiChanged(LOWORD(WParam), *reinterpret_cast<const RECT*>(LParam));
        return 0;
    case WM_ACTIVATE:
        HandleActivate(WParam);
        return 0;
    case WM_INITMENUPOPUP:
        // The journal may have changed meanwhile (another program's Apply or undo).
        if (reinterpret_cast<HMENU>(WParam) == mnuMainFile) UpdateUndoMenuItem();
        return 0;
    case WM_SETCURSOR:
        if (BusyCursorShown()) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        // The window itself has the focus (no control does).
        WORD Key = static_cast<WORD>(WParam);
        FormKeyDown(Key, CurrentShiftState());
        if (Key == 0) return 0;
        WParam = Key;
        break;
    }
    case WM_DESTROY:
        MainState.Application.Terminated = true;
        if (FFormCreated) FormDestroy();
        if (FQuitOnDestroy) PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
        if (ApplicationWindow() == FHandle) SetApplicationWindow(nullptr);
        FHandle = nullptr;
        return 0;
    }
    return DefWindowProcW(FHandle, Message, WParam, LParam);
}

void TfrmMain::HandleCommand(UINT Id, UINT Code, HWND Control) {
    if (!Control) {
        switch (Id) {
        case mnuMainFileQuit: mnuMainFileQuitClick(); break;
        case mnuMainFileUndo: mnuMainFileUndoClick(); break;
        case mnuMainHelpKeyboardShortcuts: mnuMainHelpKeyboardShortcutsClick(); break;
        case mnuMainHelpAbout: mnuMainHelpAboutClick(); break;
        }
        return;
    }
    if (Code == BN_CLICKED) {
        if (Control == btnApply) btnApplyClick();
        else if (Control == btnBrowse) btnBrowseClick();
        else if (Control == btnSearch) btnSearchClick();
    } else if (Code == EN_CHANGE && Control == txtFolder) {
        // The box reports a change for Ctrl+A and for the text it holds set
        // again; the list follows the text itself.
        std::wstring Text = ControlText(txtFolder);
        if (Text == FFolderText) return;
        FFolderText = std::move(Text);
        if (lvFiles) txtFolderChange();
    }
}

LRESULT TfrmMain::HandleNotify(const NMHDR& Header) {
    if (Header.hwndFrom == lvFiles) {
        switch (Header.code) {
        case LVN_GETDISPINFOW:
            lvFilesGetDispInfo(reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(Header)));
            return 0;
        case NM_DBLCLK:
            lvFilesDblClick();
            return 0;
        }
    } else if (Header.hwndFrom == llURL && (Header.code == NM_CLICK || Header.code == NM_RETURN)) {
        const auto& Link = reinterpret_cast<const NMLINK&>(Header);
        llURLLinkClick(Link.item.szUrl);
        return 0;
    }
    return 0;
}

void TfrmMain::HandleActivate(WPARAM WParam) {
    // The control that had the focus gets it back when the window is active again,
    // after a message box or a dialog as after a switch to another program.
    if (LOWORD(WParam) == WA_INACTIVE) {
        HWND Focus = GetFocus();
        while (Focus && GetParent(Focus) && GetParent(Focus) != FHandle) Focus = GetParent(Focus);
        if (Focus && GetParent(Focus) == FHandle) FActiveControl = Focus;
        return;
    }
    if (HIWORD(WParam)) return;  // minimized
    if (FActiveControl && IsWindow(FActiveControl) && IsWindowEnabled(FActiveControl) &&
        IsWindowVisible(FActiveControl))
        SetFocus(FActiveControl);
    else
        SetFocus(FHandle);
}

LRESULT TfrmMain::HandleControlMessage(HWND Control, UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        // Key preview: the window's handler sees the key first, then the control's
        // own handler, then the control; a handler clears Key to consume it.
        WORD Key = static_cast<WORD>(WParam);
        TShiftState Shift = CurrentShiftState();
        FormKeyDown(Key, Shift);
        if (Key != 0) {
            if (Control == lvFiles) lvFilesKeyDown(Key, Shift);
            else if (Control == txtTextToFind) txtTextToFindKeyDown(Key, Shift);
            else if (Control == txtReplaceWith) txtReplaceWithKeyDown(Key, Shift);
        }
        if (Key == 0) return 0;
        // Two keys stop at the find and replace boxes. Esc: a multi-line edit
        // control in a window with keyboard navigation closes that window on it,
        // and the typed texts would be gone. Ctrl+A: the control selects all
        // whatever else is held; the box's own handler has already done that
        // when Ctrl alone was held.
        if ((Control == txtTextToFind || Control == txtReplaceWith) &&
            (Key == VK_ESCAPE || (Key == 'A' && (Shift & ssCtrl))))
            return 0;
        WParam = Key;
        break;
    }
    case WM_CHAR:
        // The find and replace boxes take line breaks but no tab characters; Esc
        // is no character for them either.
        if ((WParam == L'\t' || WParam == VK_ESCAPE) && (Control == txtTextToFind || Control == txtReplaceWith))
            return 0;
        break;
    case WM_GETDLGCODE: {
        LRESULT Code = DefSubclassProc(Control, Message, WParam, LParam);
        const MSG* Key = reinterpret_cast<const MSG*>(LParam);
        bool KeyDown = Key && (Key->message == WM_KEYDOWN || Key->message == WM_CHAR);
        if (KeyDown && Key->wParam == VK_TAB && (Control == txtTextToFind || Control == txtReplaceWith))
            Code &= ~static_cast<LRESULT>(DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
        if (KeyDown && Key->wParam == VK_RETURN && (Control == lvFiles || Control == llURL)) Code |= DLGC_WANTMESSAGE;
        return Code;
    }
    case WM_SETFOCUS: {
        bool Entered = FActiveControl != Control;
        FActiveControl = Control;
        LRESULT Result = DefSubclassProc(Control, Message, WParam, LParam);
        if (Entered && Control == lvFiles) lvFilesEnter();
        return Result;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(Control, &TfrmMain::ControlProc, 0);
        break;
    }
    return DefSubclassProc(Control, Message, WParam, LParam);
}

bool TfrmMain::PreTranslateMessage(MSG& Message) {
    if (!FHandle) return false;
    if (Message.hwnd != FHandle && !IsChild(FHandle, Message.hwnd)) return false;
    // Esc stops a run wherever the focus is: the inputs are disabled then, and
    // the key may reach the window itself as a system key.
    if ((Message.message == WM_KEYDOWN || Message.message == WM_SYSKEYDOWN) && Message.wParam == VK_ESCAPE &&
        MainState.WorkInProgress) {
        StopRun();
        return true;
    }
    if (FAccelerators && TranslateAcceleratorW(FHandle, FAccelerators.Get(), &Message)) return true;
    return IsDialogMessageW(FHandle, &Message) != FALSE;
}
