// The main window's messages: the window's and its controls', each sent on to
// its named handler (a control's handlers and key rules come from its design
// row, found by its identifier); keyboard navigation and the accelerators; the
// focus kept across activations.
#include "base/GdiOwners.h"
#include "platform/Shell.h"
#include "ui/MainDesign.h"
#include "ui/WindowHelpers.h"

#include <windowsx.h>

#include <stdexcept>
#include <utility>

TShiftState CurrentShiftState() {
    TShiftState Shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) Shift |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) Shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) Shift |= ssAlt;
    return Shift;
}

TfrmMain* TfrmMain::FromHandle(HWND Window) { return dynamic_cast<TfrmMain*>(TWindowBase::FromHandle(Window)); }

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
        if (Geometry.InitialWidth > 0 && Geometry.InitialHeight > 0) {
            // The user cannot make the window smaller than it was created; after a
            // move to a monitor of another DPI the minimum follows the new scale.
            auto* Info = reinterpret_cast<MINMAXINFO*>(LParam);
            double Ratio = static_cast<double>(Geometry.Dpi) / static_cast<double>(Geometry.CreatedDpi);
            Info->ptMinTrackSize.x = static_cast<LONG>(Geometry.InitialWidth * Ratio);
            Info->ptMinTrackSize.y = static_cast<LONG>(Geometry.InitialHeight * Ratio);
        }
        return 0;
    case WM_CONTEXTMENU:
        // A right click on the list (the keyboard's menu keys come through lvFilesKeyDown).
        if (reinterpret_cast<HWND>(WParam) == lvFiles && LParam != -1) {
            lvFilesContextPopup(POINT{GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)}, false);
            return 0;
        }
        break;
    case WM_DROPFILES:
        FormDropFiles(reinterpret_cast<HDROP>(WParam));
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
        FTerminated = true;
        if (FFormCreated) FormDestroy();
        // A run ended with its window: its return values were never shown.
        if (std::exchange(Run.WorkInProgress, false)) BusyCursorOff();
        if (FQuitOnDestroy) PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(FHandle, Message, WParam, LParam);
}

void TfrmMain::HandleCommand(UINT Id, UINT Code, HWND Control) {
    if (!Control) {
        switch (Id) {
        case mnuMainFileQuit: mnuMainFileQuitClick(); break;
        case mnuMainFileUndo: mnuMainFileUndoClick(); break;
        case mnuMainFileReview: mnuMainFileReviewClick(); break;
        case mnuMainHelpKeyboardShortcuts: mnuMainHelpKeyboardShortcutsClick(); break;
        case mnuMainHelpAbout: mnuMainHelpAboutClick(); break;
        }
        return;
    }
    // A control's event goes to the handler its design row names.
    const TControlDesign* Design = ControlDesignOf(static_cast<int>(Id));
    if (!Design || this->*Design->Field != Control) return;
    if (Code == BN_CLICKED && Design->Kind == TKind::Button && Design->Click) (this->*Design->Click)();
    else if (Code == EN_CHANGE && Design->Change) (this->*Design->Change)();
}

LRESULT TfrmMain::HandleNotify(const NMHDR& Header) {
    const TControlDesign* Design = ControlDesignOf(static_cast<int>(Header.idFrom));
    if (!Design || this->*Design->Field != Header.hwndFrom) return 0;
    switch (Design->Kind) {
    case TKind::ListView:
        if (Header.code == LVN_GETDISPINFOW) {
            lvFilesGetDispInfo(reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(Header)));
        } else if (Header.code == NM_DBLCLK && Design->Click) {
            (this->*Design->Click)();
        }
        return 0;
    case TKind::Link:
        if (Header.code == NM_CLICK || Header.code == NM_RETURN)
            llURLLinkClick(reinterpret_cast<const NMLINK&>(Header).item.szUrl);
        return 0;
    default:
        return 0;
    }
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
    const TControlDesign* Design = ControlDesignOf(GetDlgCtrlID(Control));
    const unsigned Rules = Design ? Design->KeyRules : 0;
    switch (Message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        // Key preview: the window's handler sees the key first, then the control's
        // own handler, then the control; a handler clears Key to consume it.
        WORD Key = static_cast<WORD>(WParam);
        TShiftState Shift = CurrentShiftState();
        FormKeyDown(Key, Shift);
        if (Key != 0 && Design && Design->KeyDown) (this->*Design->KeyDown)(Control, Key, Shift);
        if (Key == 0) return 0;
        // Ctrl+A: the control selects all whatever else is held; the box's own
        // handler has already done that when Ctrl alone was held.
        if ((Rules & krMultiLineBox) && (Key == VK_ESCAPE || (Key == 'A' && (Shift & ssCtrl)))) return 0;
        WParam = Key;
        break;
    }
    case WM_CHAR:
        if ((Rules & krMultiLineBox) && (WParam == L'\t' || WParam == VK_ESCAPE)) return 0;
        break;
    case WM_GETDLGCODE: {
        LRESULT Code = DefSubclassProc(Control, Message, WParam, LParam);
        const MSG* Key = reinterpret_cast<const MSG*>(LParam);
        bool KeyDown = Key && (Key->message == WM_KEYDOWN || Key->message == WM_CHAR);
        if (KeyDown && Key->wParam == VK_TAB && (Rules & krMultiLineBox))
            Code &= ~static_cast<LRESULT>(DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
        if (KeyDown && Key->wParam == VK_RETURN && (Rules & krWantsReturn)) Code |= DLGC_WANTMESSAGE;
        return Code;
    }
    case WM_SETFOCUS: {
        bool Entered = FActiveControl != Control;
        FActiveControl = Control;
        LRESULT Result = DefSubclassProc(Control, Message, WParam, LParam);
        if (Entered && Design && Design->Enter) (this->*Design->Enter)();
        return Result;
    }
    }
    return DefSubclassProc(Control, Message, WParam, LParam);
}

bool TfrmMain::PreTranslateMessage(MSG& Message) {
    if (!FHandle) return false;
    if (Message.hwnd != FHandle && !IsChild(FHandle, Message.hwnd)) return false;
    // Esc stops a run wherever the focus is: the inputs are disabled then, and
    // the key may reach the window itself as a system key.
    if ((Message.message == WM_KEYDOWN || Message.message == WM_SYSKEYDOWN) && Message.wParam == VK_ESCAPE &&
        Run.WorkInProgress) {
        StopRun();
        return true;
    }
    if (FAccelerators && TranslateAcceleratorW(FHandle, FAccelerators.Get(), &Message)) return true;
    return IsDialogMessageW(FHandle, &Message) != FALSE;
}
