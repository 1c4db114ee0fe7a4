#pragma once
// Scoped owners for device contexts and selections. Each pairs a GDI call with
// its release, which runs on every way out of the scope, an exception included.
// None of them can be copied or moved: each lives exactly as long as its scope.
#include <windows.h>

// BeginPaint and EndPaint around the painting of one WM_PAINT. EndPaint runs
// even when BeginPaint gave no device context, so the window is validated.
class TPaintDc {
public:
    explicit TPaintDc(HWND Window) noexcept : FWindow(Window), FDc(BeginPaint(Window, &FPaint)) {}
    ~TPaintDc() { EndPaint(FWindow, &FPaint); }
    TPaintDc(const TPaintDc&) = delete;
    TPaintDc& operator=(const TPaintDc&) = delete;

    HDC Get() const noexcept { return FDc; }
    const PAINTSTRUCT& Paint() const noexcept { return FPaint; }

private:
    HWND FWindow;
    PAINTSTRUCT FPaint{};
    HDC FDc;
};

// GetDC and ReleaseDC: the client area of a window, or the screen for null.
class TWindowDc {
public:
    explicit TWindowDc(HWND Window) noexcept : FWindow(Window), FDc(GetDC(Window)) {}
    ~TWindowDc() {
        if (FDc) ReleaseDC(FWindow, FDc);
    }
    TWindowDc(const TWindowDc&) = delete;
    TWindowDc& operator=(const TWindowDc&) = delete;

    HDC Get() const noexcept { return FDc; }
    explicit operator bool() const noexcept { return FDc != nullptr; }

private:
    HWND FWindow;
    HDC FDc;
};

// CreateCompatibleDC and DeleteDC: a memory device context compatible with
// Compatible, or with the screen for null.
class TMemoryDc {
public:
    explicit TMemoryDc(HDC Compatible = nullptr) noexcept : FDc(CreateCompatibleDC(Compatible)) {}
    ~TMemoryDc() {
        if (FDc) DeleteDC(FDc);
    }
    TMemoryDc(const TMemoryDc&) = delete;
    TMemoryDc& operator=(const TMemoryDc&) = delete;

    HDC Get() const noexcept { return FDc; }
    explicit operator bool() const noexcept { return FDc != nullptr; }

private:
    HDC FDc;
};

// SelectObject for one scope: the object that was selected before comes back
// at the end. Declare it after the owner of Object, so the object is released
// only once it is no longer selected.
class TSelection {
public:
    TSelection(HDC Dc, HGDIOBJ Object) noexcept : FDc(Dc), FOld(Dc && Object ? SelectObject(Dc, Object) : nullptr) {}
    ~TSelection() {
        if (FOld && FOld != HGDI_ERROR) SelectObject(FDc, FOld);
    }
    TSelection(const TSelection&) = delete;
    TSelection& operator=(const TSelection&) = delete;

private:
    HDC FDc;
    HGDIOBJ FOld;
};
