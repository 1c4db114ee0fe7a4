// Layout of the main window: DPI scaling, the resize rules, the progress bar and
// the frame around it.
#include "base/GdiOwners.h"
#include "base/TextMatching.h"
#include "ui/ImageControl.h"
#include "ui/Layout.h"
#include "ui/Main.h"
#include "ui/WindowHelpers.h"

#include <string>

namespace {

const COLORREF ProgressFillColor = RGB(153, 255, 153);
const COLORREF ProgressTextColor = RGB(0, 102, 0);
constexpr int ProgressFontPoints = 10;
constexpr int ProgressBackLightening = 15;

// The layout rules, applied in this order at every resize.
const TLayoutStep LayoutSteps[] = {
    {&TfrmMain::lvFiles, TLayoutProperty::Width, 305, TGrowth::HalfWidth},
    {&TfrmMain::lvFiles, TLayoutProperty::Height, 337, TGrowth::Height},
    {&TfrmMain::lblFolder, TLayoutProperty::Left, 344, TGrowth::HalfWidth},
    {&TfrmMain::txtFolder, TLayoutProperty::Left, 344, TGrowth::HalfWidth},
    {&TfrmMain::txtFolder, TLayoutProperty::Width, 225, TGrowth::HalfWidth},
    {&TfrmMain::cbRecursive, TLayoutProperty::Left, 344, TGrowth::HalfWidth},
    {&TfrmMain::btnBrowse, TLayoutProperty::Left, 472, TGrowth::Width},
    {&TfrmMain::lblFilters, TLayoutProperty::Left, 344, TGrowth::HalfWidth},
    {&TfrmMain::txtFilters, TLayoutProperty::Left, 344, TGrowth::HalfWidth},
    {&TfrmMain::txtFilters, TLayoutProperty::Width, 225, TGrowth::HalfWidth},
    {&TfrmMain::lblTextToFind, TLayoutProperty::Left, 344, TGrowth::HalfWidth},
    {&TfrmMain::txtTextToFind, TLayoutProperty::Left, 344, TGrowth::HalfWidth},
    {&TfrmMain::txtTextToFind, TLayoutProperty::Width, 225, TGrowth::HalfWidth},
    {&TfrmMain::txtTextToFind, TLayoutProperty::Height, 57, TGrowth::HalfHeight},
    {&TfrmMain::cbCaseSensitive, TLayoutProperty::Left, 344, TGrowth::HalfWidth},
    {&TfrmMain::cbCaseSensitive, TLayoutProperty::Top, 256, TGrowth::HalfHeight},
    {&TfrmMain::btnSearch, TLayoutProperty::Left, 472, TGrowth::Width},
    {&TfrmMain::btnSearch, TLayoutProperty::Top, 256, TGrowth::HalfHeight},
    {&TfrmMain::lblReplaceWith, TLayoutProperty::Left, 344, TGrowth::HalfWidth},
    {&TfrmMain::lblReplaceWith, TLayoutProperty::Top, 304, TGrowth::HalfHeight},
    {&TfrmMain::txtReplaceWith, TLayoutProperty::Left, 344, TGrowth::HalfWidth},
    {&TfrmMain::txtReplaceWith, TLayoutProperty::Top, 320, TGrowth::HalfHeight},
    {&TfrmMain::txtReplaceWith, TLayoutProperty::Width, 225, TGrowth::HalfWidth},
    {&TfrmMain::txtReplaceWith, TLayoutProperty::Height, 57, TGrowth::HalfHeight},
    {&TfrmMain::btnApply, TLayoutProperty::Left, 472, TGrowth::Width},
    {&TfrmMain::btnApply, TLayoutProperty::Top, 424, TGrowth::Height},
    {&TfrmMain::ImageProgress, TLayoutProperty::Top, 426, TGrowth::Height},
    {&TfrmMain::ImageProgress, TLayoutProperty::Width, 438, TGrowth::Width},
    {&TfrmMain::llURL, TLayoutProperty::Top, 392, TGrowth::Height},
    {&TfrmMain::lvFiles, TLayoutProperty::Column0Width, 200, TGrowth::HalfWidth},
};

std::int32_t GrowthFor(TGrowth Growth, std::int32_t Width, std::int32_t Height) {
    switch (Growth) {
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

std::span<const TLayoutStep> MainLayoutSteps() { return LayoutSteps; }

std::int32_t LayoutValue(const TLayoutStep& Step, UINT Dpi, std::int32_t GrowthWidth, std::int32_t GrowthHeight) {
    return ScaleLength(Step.Design, Dpi) + GrowthFor(Step.Growth, GrowthWidth, GrowthHeight);
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

double TfrmMain::DpiScale() const { return static_cast<double>(FDpi) / 96.0; }

std::int32_t TfrmMain::ScaleForDpi(std::int32_t Value) const { return ScaleLength(Value, FDpi); }

std::int32_t TfrmMain::ProgressTag() const { return ImageTag(ImageProgress); }

void TfrmMain::SetProgressTag(std::int32_t Value) { SetImageTag(ImageProgress, Value); }

// ---- TfrmMain: layout ----

void TfrmMain::RecordInitialSize() {
    RECT Outer{}, Client{};
    GetWindowRect(FHandle, &Outer);
    GetClientRect(FHandle, &Client);
    MainState.InitialWidth = Outer.right - Outer.left;
    MainState.InitialHeight = Outer.bottom - Outer.top;
    MainState.InitialClientWidth = Client.right;
    MainState.InitialClientHeight = Client.bottom;
    FCreatedDpi = FDpi;
    // Size changes while the window was being built ran before the reference
    // existed and did nothing; from here on every resize lays out, starting now.
    FLayoutReady = true;
    FormResize();
}

void TfrmMain::FormResize() {
    if (!FLayoutReady || !lvFiles) return;
    RECT Client{};
    GetClientRect(FHandle, &Client);
    // The reference is the client size as created, at the DPI the window has now.
    double Ratio = static_cast<double>(FDpi) / static_cast<double>(FCreatedDpi);
    MainState.GrowthWidth = Client.right - static_cast<std::int32_t>(MainState.InitialClientWidth * Ratio);
    MainState.GrowthHeight = Client.bottom - static_cast<std::int32_t>(MainState.InitialClientHeight * Ratio);

    struct TPlacement {
        HWND Control;
        RECT Bounds;
        bool Changed;
    };
    std::vector<TPlacement> Placements;
    auto PlacementOf = [&Placements](HWND Control) -> TPlacement& {
        for (TPlacement& Placement : Placements)
            if (Placement.Control == Control) return Placement;
        Placements.push_back(TPlacement{Control, BoundsInParent(Control), false});
        return Placements.back();
    };

    for (const TLayoutStep& Step : LayoutSteps) {
        HWND Control = this->*Step.Control;
        std::int32_t Value = LayoutValue(Step, FDpi, MainState.GrowthWidth, MainState.GrowthHeight);
        if (Step.Property == TLayoutProperty::Column0Width) {
            ListView_SetColumnWidth(Control, 0, Value);
            continue;
        }
        TPlacement& Placement = PlacementOf(Control);
        RECT& Bounds = Placement.Bounds;
        switch (Step.Property) {
        case TLayoutProperty::Left: OffsetRect(&Bounds, Value - Bounds.left, 0); break;
        case TLayoutProperty::Top: OffsetRect(&Bounds, 0, Value - Bounds.top); break;
        case TLayoutProperty::Width: Bounds.right = Bounds.left + Value; break;
        case TLayoutProperty::Height: Bounds.bottom = Bounds.top + Value; break;
        case TLayoutProperty::Column0Width: break;
        }
        Placement.Changed = true;
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
    UniqueGdiObject Picture = DrawProgressBitmap(Client.right, Client.bottom, ProgressTag(), FDpi,
                                                 LightenColor(SystemColor(COLOR_BTNFACE), ProgressBackLightening));
    if (Picture) SetImagePicture(ImageProgress, std::move(Picture));
}

void TfrmMain::HandleDpiChanged(UINT NewDpi, const RECT& Suggested) {
    if (NewDpi == 0) return;
    FDpi = NewDpi;
    CreateFonts();
    UpdateButtonGlyphs();
    PlaceControlsAtDesign();
    SetWindowPos(FHandle, nullptr, Suggested.left, Suggested.top, Suggested.right - Suggested.left,
                 Suggested.bottom - Suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    FormResize();  // also when the suggested size is the present one
    FormAfterMonitorDpiChanged();
}

void TfrmMain::FormAfterMonitorDpiChanged() { DrawProgress(); }
