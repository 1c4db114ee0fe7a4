// Layout of the main window: DPI scaling, the resize rules, the progress bar and
// the frame around it.
#include "base/GdiOwners.h"
#include "base/TextMatching.h"
#include "ui/ImageControl.h"
#include "ui/Layout.h"
#include "ui/MainDesign.h"
#include "ui/WindowHelpers.h"

#include <string>

namespace {

const COLORREF ProgressFillColor = RGB(153, 255, 153);
const COLORREF ProgressTextColor = RGB(0, 102, 0);
constexpr int ProgressFontPoints = 10;
constexpr int ProgressBackLightening = 15;

std::int32_t GrowthFor(TGrowth Growth, std::int32_t Width, std::int32_t Height) {
    switch (Growth) {
    case TGrowth::None: return 0;
    case TGrowth::Width: return Width;
    case TGrowth::HalfWidth: return Width / 2;  // truncated toward zero
    case TGrowth::Height: return Height;
    case TGrowth::HalfHeight: return Height / 2;
    }
    return 0;
}

RECT BoundsInParent(HWND Control) {
    RECT Bounds{};
    GetWindowRect(Control, &Bounds);
    MapWindowPoints(nullptr, GetParent(Control), reinterpret_cast<POINT*>(&Bounds), 2);
    return Bounds;
}

void FillWith(HDC Dc, const RECT& Area, COLORREF Color) {
    UniqueGdiObject Brush(CreateSolidBrush(Color));
    if (Brush) FillRect(Dc, &Area, static_cast<HBRUSH>(Brush.Get()));
}

}  // namespace

std::int32_t LayoutValue(std::int32_t Design, TGrowth Growth, UINT Dpi, std::int32_t GrowthWidth,
                         std::int32_t GrowthHeight) {
    return ScaleLength(Design, Dpi) + GrowthFor(Growth, GrowthWidth, GrowthHeight);
}

void DrawProgressFrame(HDC Dc, HWND Control, COLORREF Color, std::int32_t Offset) {
    RECT Bounds = BoundsInParent(Control);
    int L = Bounds.left, T = Bounds.top, W = Bounds.right - Bounds.left, H = Bounds.bottom - Bounds.top;
    int O = Offset, D = Offset + 1;
    UniqueGdiObject Pen(CreatePen(PS_SOLID, 1, Color));
    if (!Pen) return;
    TSelection Selected(Dc, Pen.Get());
    // Each line includes its start point and excludes its end point.
    MoveToEx(Dc, L - D, T - D, nullptr);
    LineTo(Dc, L + W + D, T - D);
    MoveToEx(Dc, L - D, T - D, nullptr);
    LineTo(Dc, L - D, T + H + D);
    MoveToEx(Dc, L - D, T + H + O, nullptr);
    LineTo(Dc, L + W + D, T + H + O);
    MoveToEx(Dc, L + W + O, T - D, nullptr);
    LineTo(Dc, L + W + O, T + H + D);
}

UniqueGdiObject DrawProgressBitmap(std::int32_t Width, std::int32_t Height, std::int32_t Progress, UINT Dpi,
                                   COLORREF BackColor) {
    BITMAPINFO Info{};
    Info.bmiHeader.biSize = sizeof(Info.bmiHeader);
    Info.bmiHeader.biWidth = Width;
    Info.bmiHeader.biHeight = -Height;  // top-down
    Info.bmiHeader.biPlanes = 1;
    Info.bmiHeader.biBitCount = 24;
    Info.bmiHeader.biCompression = BI_RGB;
    void* Bits = nullptr;
    UniqueGdiObject Picture(CreateDIBSection(nullptr, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0));
    TMemoryDc Dc;
    if (!Picture || !Dc) return {};
    {
        TSelection Bitmap(Dc.Get(), Picture.Get());
        FillWith(Dc.Get(), RECT{0, 0, Width, Height}, BackColor);

        // 10 points at the window's DPI.
        UniqueGdiObject Font(CreateFontW(-MulDiv(ProgressFontPoints, static_cast<int>(Dpi), 72), 0, 0, 0, FW_NORMAL,
                                         FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                         DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Consolas"));
        TSelection Selected(Dc.Get(), Font ? Font.Get() : GetStockObject(DEFAULT_GUI_FONT));
        SetTextColor(Dc.Get(), ProgressTextColor);

        if (Progress >= 1 && Progress <= 100) {
            std::int32_t Fill =
                Progress == 100 ? Width : static_cast<std::int32_t>(ProgressPercent(Progress, 100, Width));
            FillWith(Dc.Get(), RECT{0, 0, Fill, Height}, ProgressFillColor);

            SetBkMode(Dc.Get(), TRANSPARENT);
            std::wstring Text = std::to_wstring(Progress) + L" %";
            SIZE Extent{};
            GetTextExtentPoint32W(Dc.Get(), Text.c_str(), static_cast<int>(Text.size()), &Extent);
            TextOutW(Dc.Get(), Width / 2 - Extent.cx / 2, Height / 2 - Extent.cy / 2, Text.c_str(),
                     static_cast<int>(Text.size()));
        }
    }
    GdiFlush();
    return Picture;
}

// ---- TfrmMain: scaling ----

double TfrmMain::DpiScale() const { return static_cast<double>(Geometry.Dpi) / 96.0; }

std::int32_t TfrmMain::ScaleForDpi(std::int32_t Value) const { return ScaleLength(Value, Geometry.Dpi); }

std::int32_t TfrmMain::ProgressTag() const { return ImageTag(ImageProgress); }

void TfrmMain::SetProgressTag(std::int32_t Value) { SetImageTag(ImageProgress, Value); }

// ---- TfrmMain: layout ----

void TfrmMain::RecordInitialSize() {
    RECT Outer{}, Client{};
    GetWindowRect(FHandle, &Outer);
    GetClientRect(FHandle, &Client);
    Geometry.InitialWidth = Outer.right - Outer.left;
    Geometry.InitialHeight = Outer.bottom - Outer.top;
    Geometry.InitialClientWidth = Client.right;
    Geometry.InitialClientHeight = Client.bottom;
    Geometry.CreatedDpi = Geometry.Dpi;
    // Size changes while the window was being built ran before the reference
    // existed and did nothing; from here on every resize lays out, starting now.
    Geometry.LayoutReady = true;
    FormResize();
}

void TfrmMain::FormResize() {
    if (!Geometry.LayoutReady || !lvFiles) return;
    RECT Client{};
    GetClientRect(FHandle, &Client);
    // The reference is the client size as created, at the DPI the window has now.
    const UINT Dpi = Geometry.Dpi;
    double Ratio = static_cast<double>(Dpi) / static_cast<double>(Geometry.CreatedDpi);
    Geometry.GrowthWidth = Client.right - static_cast<std::int32_t>(Geometry.InitialClientWidth * Ratio);
    Geometry.GrowthHeight = Client.bottom - static_cast<std::int32_t>(Geometry.InitialClientHeight * Ratio);
    const std::int32_t GrowWidth = Geometry.GrowthWidth, GrowHeight = Geometry.GrowthHeight;

    // The list's name column shares the growth in width with the list.
    ListView_SetColumnWidth(lvFiles, 0, LayoutValue(Column0Width, TGrowth::HalfWidth, Dpi, GrowWidth, GrowHeight));

    // Each control's new bounds: what its design row lets grow follows the
    // client area; the rest (a label sized to its text) stays as it is.
    struct TPlacement {
        HWND Control;
        RECT Bounds;
    };
    std::vector<TPlacement> Placements;
    for (const TControlDesign& Design : MainControlDesign()) {
        if (Design.LeftGrowth == TGrowth::None && Design.TopGrowth == TGrowth::None &&
            Design.WidthGrowth == TGrowth::None && Design.HeightGrowth == TGrowth::None)
            continue;
        HWND Control = this->*Design.Field;
        RECT Bounds = BoundsInParent(Control);
        auto Value = [&](std::int32_t DesignValue, TGrowth Growth) {
            return LayoutValue(DesignValue, Growth, Dpi, GrowWidth, GrowHeight);
        };
        if (Design.LeftGrowth != TGrowth::None) OffsetRect(&Bounds, Value(Design.Left, Design.LeftGrowth) - Bounds.left, 0);
        if (Design.TopGrowth != TGrowth::None) OffsetRect(&Bounds, 0, Value(Design.Top, Design.TopGrowth) - Bounds.top);
        if (Design.WidthGrowth != TGrowth::None) Bounds.right = Bounds.left + Value(Design.Width, Design.WidthGrowth);
        if (Design.HeightGrowth != TGrowth::None) Bounds.bottom = Bounds.top + Value(Design.Height, Design.HeightGrowth);
        Placements.push_back(TPlacement{Control, Bounds});
    }
    // All controls move in one step; each then paints whole at its new place
    // (a control moved piecemeal keeps stale or blank areas behind).
    // The caret is drawn over what is painted: hidden while everything is
    // painted again, or its old picture stays behind in the box.
    const bool CaretHidden = HideCaret(nullptr) != FALSE;
    HDWP Positions = BeginDeferWindowPos(static_cast<int>(Placements.size()));
    for (const TPlacement& Placement : Placements) {
        const RECT& Bounds = Placement.Bounds;
        const UINT Flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS;
        if (Positions)
            Positions = DeferWindowPos(Positions, Placement.Control, nullptr, Bounds.left, Bounds.top,
                                       Bounds.right - Bounds.left, Bounds.bottom - Bounds.top, Flags);
        if (!Positions)
            SetWindowPos(Placement.Control, nullptr, Bounds.left, Bounds.top, Bounds.right - Bounds.left,
                         Bounds.bottom - Bounds.top, Flags);
    }
    if (Positions) EndDeferWindowPos(Positions);
    DrawProgress();
    RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    if (CaretHidden) ShowCaret(nullptr);
}

void TfrmMain::FormPaint(HDC Dc) { DrawProgressFrame(Dc, ImageProgress, RGB(0, 0, 0), 0); }

void TfrmMain::DrawProgress() {
    RECT Client{};
    GetClientRect(ImageProgress, &Client);
    if (Client.right < 100) return;  // too narrow: the previous picture stays
    UniqueGdiObject Picture = DrawProgressBitmap(Client.right, Client.bottom, ProgressTag(), Geometry.Dpi,
                                                 LightenColor(SystemColor(COLOR_BTNFACE), ProgressBackLightening));
    if (Picture) SetImagePicture(ImageProgress, std::move(Picture));
}

void TfrmMain::HandleDpiChanged(UINT NewDpi, const RECT& Suggested) {
    if (NewDpi == 0) return;
    Geometry.Dpi = NewDpi;
    CreateFonts();
    UpdateButtonGlyphs();
    PlaceControlsAtDesign();
    SetWindowPos(FHandle, nullptr, Suggested.left, Suggested.top, Suggested.right - Suggested.left,
                 Suggested.bottom - Suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    FormResize();  // also when the suggested size is the present one
    FormAfterMonitorDpiChanged();
}

void TfrmMain::FormAfterMonitorDpiChanged() { DrawProgress(); }
