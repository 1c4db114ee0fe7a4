// The main window's geometry: design rectangles at 96 and 144 DPI, the layout
// rules after growth, the minimum size, a DPI change, the progress bitmap and
// the frame around it.
#include "WindowTestSupport.h"

#include "ui/ImageControl.h"
#include "ui/Layout.h"
#include "ui/WindowHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int Scaled(int Design, UINT Dpi) { return static_cast<int>(Design * (Dpi / 96.0)); }

// One property of one control: its design value and what growing the client area
// by 101 x 60 and by -3 x -3 adds to it.
struct TGeometry {
    HWND TfrmMain::*Control;
    const char* Name;
    char Property;  // L, T, W, H, or C for the width of the list's column 0
    int Design;
    int AfterGrowth;
    int AfterShrink;
};

const TGeometry Geometry[] = {
    // What the layout moves or sizes as the client area grows or shrinks.
    {&TfrmMain::lvFiles, "lvFiles", 'W', 305, 50, -1},
    {&TfrmMain::lvFiles, "lvFiles", 'H', 337, 60, -3},
    {&TfrmMain::lblFolder, "lblFolder", 'L', 344, 50, -1},
    {&TfrmMain::txtFolder, "txtFolder", 'L', 344, 50, -1},
    {&TfrmMain::txtFolder, "txtFolder", 'W', 225, 50, -1},
    {&TfrmMain::cbRecursive, "cbRecursive", 'L', 344, 50, -1},
    {&TfrmMain::btnBrowse, "btnBrowse", 'L', 472, 101, -3},
    {&TfrmMain::lblFilters, "lblFilters", 'L', 344, 50, -1},
    {&TfrmMain::txtFilters, "txtFilters", 'L', 344, 50, -1},
    {&TfrmMain::txtFilters, "txtFilters", 'W', 225, 50, -1},
    {&TfrmMain::lblTextToFind, "lblTextToFind", 'L', 344, 50, -1},
    {&TfrmMain::txtTextToFind, "txtTextToFind", 'L', 344, 50, -1},
    {&TfrmMain::txtTextToFind, "txtTextToFind", 'W', 225, 50, -1},
    {&TfrmMain::txtTextToFind, "txtTextToFind", 'H', 57, 30, -1},
    {&TfrmMain::cbCaseSensitive, "cbCaseSensitive", 'L', 344, 50, -1},
    {&TfrmMain::cbCaseSensitive, "cbCaseSensitive", 'T', 256, 30, -1},
    {&TfrmMain::btnSearch, "btnSearch", 'L', 472, 101, -3},
    {&TfrmMain::btnSearch, "btnSearch", 'T', 256, 30, -1},
    {&TfrmMain::lblReplaceWith, "lblReplaceWith", 'L', 344, 50, -1},
    {&TfrmMain::lblReplaceWith, "lblReplaceWith", 'T', 304, 30, -1},
    {&TfrmMain::txtReplaceWith, "txtReplaceWith", 'L', 344, 50, -1},
    {&TfrmMain::txtReplaceWith, "txtReplaceWith", 'T', 320, 30, -1},
    {&TfrmMain::txtReplaceWith, "txtReplaceWith", 'W', 225, 50, -1},
    {&TfrmMain::txtReplaceWith, "txtReplaceWith", 'H', 57, 30, -1},
    {&TfrmMain::btnApply, "btnApply", 'L', 472, 101, -3},
    {&TfrmMain::btnApply, "btnApply", 'T', 424, 60, -3},
    {&TfrmMain::ImageProgress, "ImageProgress", 'T', 426, 60, -3},
    {&TfrmMain::ImageProgress, "ImageProgress", 'W', 438, 101, -3},
    {&TfrmMain::llURL, "llURL", 'T', 392, 60, -3},
    {&TfrmMain::lvFiles, "lvFiles column 0", 'C', 200, 50, -1},
    // Everything else keeps its created value.
    {&TfrmMain::lblFiles, "lblFiles", 'L', 24, 0, 0},
    {&TfrmMain::lblFiles, "lblFiles", 'T', 24, 0, 0},
    {&TfrmMain::lvFiles, "lvFiles", 'L', 24, 0, 0},
    {&TfrmMain::lvFiles, "lvFiles", 'T', 40, 0, 0},
    {&TfrmMain::lblFolder, "lblFolder", 'T', 24, 0, 0},
    {&TfrmMain::txtFolder, "txtFolder", 'T', 40, 0, 0},
    {&TfrmMain::txtFolder, "txtFolder", 'H', 23, 0, 0},
    {&TfrmMain::btnBrowse, "btnBrowse", 'T', 70, 0, 0},
    {&TfrmMain::btnBrowse, "btnBrowse", 'W', 97, 0, 0},
    {&TfrmMain::btnBrowse, "btnBrowse", 'H', 33, 0, 0},
    {&TfrmMain::cbRecursive, "cbRecursive", 'T', 70, 0, 0},
    {&TfrmMain::cbRecursive, "cbRecursive", 'W', 121, 0, 0},
    {&TfrmMain::cbRecursive, "cbRecursive", 'H', 20, 0, 0},
    {&TfrmMain::lblFilters, "lblFilters", 'T', 120, 0, 0},
    {&TfrmMain::txtFilters, "txtFilters", 'T', 136, 0, 0},
    {&TfrmMain::txtFilters, "txtFilters", 'H', 23, 0, 0},
    {&TfrmMain::lblTextToFind, "lblTextToFind", 'T', 176, 0, 0},
    {&TfrmMain::txtTextToFind, "txtTextToFind", 'T', 192, 0, 0},
    {&TfrmMain::btnSearch, "btnSearch", 'W', 97, 0, 0},
    {&TfrmMain::btnSearch, "btnSearch", 'H', 33, 0, 0},
    {&TfrmMain::cbCaseSensitive, "cbCaseSensitive", 'W', 121, 0, 0},
    {&TfrmMain::cbCaseSensitive, "cbCaseSensitive", 'H', 20, 0, 0},
    {&TfrmMain::btnApply, "btnApply", 'W', 97, 0, 0},
    {&TfrmMain::btnApply, "btnApply", 'H', 33, 0, 0},
    {&TfrmMain::llURL, "llURL", 'L', 24, 0, 0},
    {&TfrmMain::llURL, "llURL", 'W', 119, 0, 0},
    {&TfrmMain::llURL, "llURL", 'H', 19, 0, 0},
    {&TfrmMain::ImageProgress, "ImageProgress", 'L', 25, 0, 0},
    {&TfrmMain::ImageProgress, "ImageProgress", 'H', 24, 0, 0},
};

int Measure(const TfrmMain& Form, const TGeometry& Item) {
    HWND Control = Form.*Item.Control;
    if (Item.Property == 'C') return ListView_GetColumnWidth(Control, 0);
    RECT Bounds = BoundsOf(Control);
    switch (Item.Property) {
    case 'L': return Bounds.left;
    case 'T': return Bounds.top;
    case 'W': return Bounds.right - Bounds.left;
    case 'H': return Bounds.bottom - Bounds.top;
    }
    return -1;
}

SIZE TextExtent(HWND Control) {
    std::wstring Text = TextOf(Control);
    HDC Dc = GetDC(Control);
    HGDIOBJ Old = SelectObject(Dc, reinterpret_cast<HGDIOBJ>(SendMessageW(Control, WM_GETFONT, 0, 0)));
    SIZE Extent{};
    GetTextExtentPoint32W(Dc, Text.c_str(), static_cast<int>(Text.size()), &Extent);
    TEXTMETRICW Metrics{};
    GetTextMetricsW(Dc, &Metrics);
    SelectObject(Dc, Old);
    ReleaseDC(Control, Dc);
    return SIZE{Extent.cx, Metrics.tmHeight};
}

void ResizeClientBy(TfrmMain& Form, int Width, int Height) {
    SetWindowPos(Form.Handle(), nullptr, 0, 0, Form.Geometry.InitialWidth + Width, Form.Geometry.InitialHeight + Height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
}

class LayoutAtDpi : public testing::TestWithParam<UINT> {
protected:
    void SetUp() override {
        WriteSettingsFile("[Main]\r\nEditor=004E004F00540045005000410044\r\n");
        FForm = OpenMainWindow();
        ASSERT_EQ(FForm->Dpi(), GetParam());
    }
    void TearDown() override {
        FForm.reset();
        DeleteSettingsFile();
    }

    TEnvironment FDpiOverride{L"QV_DPI", std::to_wstring(GetParam()).c_str()};
    std::unique_ptr<TfrmMain> FForm;
};

TEST_P(LayoutAtDpi, EveryControlSitsAtItsScaledDesignRectangleAtTheInitialSize) {
    UINT Dpi = GetParam();
    ResizeClientBy(*FForm, 0, 0);
    EXPECT_EQ(FForm->Geometry.GrowthWidth, 0);
    EXPECT_EQ(FForm->Geometry.GrowthHeight, 0);
    for (const TGeometry& Item : Geometry)
        EXPECT_EQ(Measure(*FForm, Item), Scaled(Item.Design, Dpi)) << Item.Name << " " << Item.Property;
    EXPECT_EQ(ListView_GetColumnWidth(FForm->lvFiles, 1), Scaled(70, Dpi));
    // Labels are sized to their texts.
    for (HWND Label : {FForm->lblFiles, FForm->lblFolder, FForm->lblFilters, FForm->lblTextToFind,
                       FForm->lblReplaceWith}) {
        RECT Bounds = BoundsOf(Label);
        SIZE Extent = TextExtent(Label);
        EXPECT_EQ(Bounds.right - Bounds.left, Extent.cx) << TextOf(Label).size();
        EXPECT_EQ(Bounds.bottom - Bounds.top, Extent.cy);
    }
    // The window's client area as designed, 593 x 481 scaled.
    EXPECT_EQ(FForm->Geometry.InitialClientWidth, Scaled(593, Dpi));
    EXPECT_EQ(FForm->Geometry.InitialClientHeight, Scaled(481, Dpi));
}

TEST_P(LayoutAtDpi, GrowthOf101By60MovesAndSizesEachControlAsTabled) {
    UINT Dpi = GetParam();
    ResizeClientBy(*FForm, 101, 60);
    ASSERT_EQ(FForm->Geometry.GrowthWidth, 101);
    ASSERT_EQ(FForm->Geometry.GrowthHeight, 60);
    for (const TGeometry& Item : Geometry)
        EXPECT_EQ(Measure(*FForm, Item), Scaled(Item.Design, Dpi) + Item.AfterGrowth) << Item.Name << " " << Item.Property;
    EXPECT_EQ(ListView_GetColumnWidth(FForm->lvFiles, 1), Scaled(70, Dpi));
}

TEST_P(LayoutAtDpi, NegativeGrowthHalvesTowardZero) {
    UINT Dpi = GetParam();
    // The user cannot shrink the window below its created size; a reference
    // larger than the client area gives the same negative growth.
    ResizeClientBy(*FForm, 0, 0);
    FForm->Geometry.InitialClientWidth += 3;
    FForm->Geometry.InitialClientHeight += 3;
    FForm->FormResize();
    ASSERT_EQ(FForm->Geometry.GrowthWidth, -3);
    ASSERT_EQ(FForm->Geometry.GrowthHeight, -3);
    for (const TGeometry& Item : Geometry)
        EXPECT_EQ(Measure(*FForm, Item), Scaled(Item.Design, Dpi) + Item.AfterShrink) << Item.Name << " " << Item.Property;
}

TEST_P(LayoutAtDpi, TheWindowCannotBeMadeSmallerThanCreated) {
    SetWindowPos(FForm->Handle(), nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
    RECT Outer{};
    GetWindowRect(FForm->Handle(), &Outer);
    EXPECT_EQ(Outer.right - Outer.left, FForm->Geometry.InitialWidth);
    EXPECT_EQ(Outer.bottom - Outer.top, FForm->Geometry.InitialHeight);
    // A larger size is taken as it is.
    ResizeClientBy(*FForm, 7, 5);
    GetWindowRect(FForm->Handle(), &Outer);
    EXPECT_EQ(Outer.right - Outer.left, FForm->Geometry.InitialWidth + 7);
}

TEST_P(LayoutAtDpi, FontsAreScaledFromTheirDesignHeights) {
    UINT Dpi = GetParam();
    struct {
        HWND Control;
        const wchar_t* Face;
        int Height;
    } Cases[] = {{FForm->btnSearch, L"Segoe UI", 12}, {FForm->lblFiles, L"Segoe UI", 12},
                 {FForm->txtFolder, L"Consolas", 13}, {FForm->lvFiles, L"Consolas", 13},
                 {FForm->txtTextToFind, L"Consolas", 13}};
    for (const auto& Case : Cases) {
        LOGFONTW Font{};
        ASSERT_TRUE(GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(Case.Control, WM_GETFONT, 0, 0)), sizeof(Font),
                               &Font));
        EXPECT_STREQ(Font.lfFaceName, Case.Face);
        EXPECT_EQ(Font.lfHeight, -Scaled(Case.Height, Dpi));
        EXPECT_EQ(Font.lfCharSet, ANSI_CHARSET);
    }
}

INSTANTIATE_TEST_SUITE_P(MainWindow, LayoutAtDpi, testing::Values(96u, 144u),
                         [](const testing::TestParamInfo<UINT>& Info) { return "Dpi" + std::to_string(Info.param); });

TEST(ScaleForDpi, FactorFirstThenProductTruncated) {
    EXPECT_EQ(ScaleLength(305, 144), 457);
    EXPECT_EQ(ScaleLength(305, 120), 381);
    EXPECT_EQ(ScaleLength(305, 96), 305);
    EXPECT_EQ(ScaleLength(-3, 144), -4);  // toward zero
    EXPECT_EQ(ScaleLength(0, 192), 0);
}

TEST(MainWindowDpi, ADpiChangeRescalesControlsAndFontsAndKeepsThemInsideTheWindow) {
    WriteSettingsFile("[Main]\r\nEditor=004E004F00540045005000410044\r\n");
    TEnvironment Dpi(L"QV_DPI", L"96");
    auto Form = OpenMainWindow();
    ResizeClientBy(*Form, 101, 60);
    Form->SetProgressTag(40);
    Form->DrawProgress();

    RECT Outer{};
    GetWindowRect(Form->Handle(), &Outer);
    RECT Suggested{Outer.left, Outer.top, Outer.left + (Outer.right - Outer.left) * 3 / 2,
                   Outer.top + (Outer.bottom - Outer.top) * 3 / 2};
    SendMessageW(Form->Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&Suggested));
    Pump();

    EXPECT_EQ(Form->Dpi(), 144u);
    EXPECT_DOUBLE_EQ(Form->DpiScale(), 1.5);
    LOGFONTW Font{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(Form->btnApply, WM_GETFONT, 0, 0)), sizeof(Font), &Font);
    EXPECT_EQ(Font.lfHeight, -18);
    // Growth is measured against the created client size at the new scale, so the
    // controls keep to the window's edges instead of running off them.
    RECT Client{};
    GetClientRect(Form->Handle(), &Client);
    EXPECT_EQ(Form->Geometry.GrowthWidth, Client.right - static_cast<int>(Form->Geometry.InitialClientWidth * 1.5));
    EXPECT_EQ(Form->Geometry.GrowthHeight, Client.bottom - static_cast<int>(Form->Geometry.InitialClientHeight * 1.5));
    for (const TGeometry& Item : Geometry) {
        if (Item.AfterGrowth != 0) continue;
        EXPECT_EQ(Measure(*Form, Item), Scaled(Item.Design, 144)) << Item.Name << " " << Item.Property;
    }
    RECT Apply = BoundsOf(Form->btnApply);
    EXPECT_EQ(Apply.left, Scaled(472, 144) + Form->Geometry.GrowthWidth);
    EXPECT_LE(Apply.right, Client.right);
    EXPECT_LE(Apply.bottom, Client.bottom);
    // The bar was redrawn at the image's new size.
    BITMAP Picture{};
    ASSERT_TRUE(GetObjectW(ImagePicture(Form->ImageProgress), sizeof(Picture), &Picture));
    RECT Image = BoundsOf(Form->ImageProgress);
    EXPECT_EQ(Picture.bmWidth, Image.right - Image.left);
    EXPECT_EQ(Picture.bmHeight, Image.bottom - Image.top);
    Form.reset();
    DeleteSettingsFile();
}

// ---- The progress bar ----

struct TPixels {
    int Width = 0, Height = 0;
    std::vector<COLORREF> Colors;
    COLORREF At(int X, int Y) const { return Colors[static_cast<size_t>(Y * Width + X)]; }
};

TPixels ReadPixels(HBITMAP Bitmap) {
    TPixels Pixels;
    BITMAP Info{};
    GetObjectW(Bitmap, sizeof(Info), &Info);
    Pixels.Width = Info.bmWidth;
    Pixels.Height = Info.bmHeight;
    BITMAPINFO Request{};
    Request.bmiHeader.biSize = sizeof(Request.bmiHeader);
    Request.bmiHeader.biWidth = Info.bmWidth;
    Request.bmiHeader.biHeight = -Info.bmHeight;
    Request.bmiHeader.biPlanes = 1;
    Request.bmiHeader.biBitCount = 32;
    Request.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> Raw(static_cast<size_t>(Info.bmWidth * Info.bmHeight));
    HDC Dc = GetDC(nullptr);
    GetDIBits(Dc, Bitmap, 0, static_cast<UINT>(Info.bmHeight), Raw.data(), &Request, DIB_RGB_COLORS);
    ReleaseDC(nullptr, Dc);
    for (DWORD Value : Raw) Pixels.Colors.push_back(RGB((Value >> 16) & 0xFF, (Value >> 8) & 0xFF, Value & 0xFF));
    return Pixels;
}

COLORREF ExpectedBackColor() {
    COLORREF Face = GetSysColor(COLOR_BTNFACE);
    auto Up = [](int Value) { return static_cast<BYTE>(Value + 15 > 255 ? 255 : Value + 15); };
    return RGB(Up(GetRValue(Face)), Up(GetGValue(Face)), Up(GetBValue(Face)));
}

SIZE ProgressTextExtent(const std::wstring& Text) {
    HDC Dc = CreateCompatibleDC(nullptr);
    HFONT Font = CreateFontW(-MulDiv(10, 96, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, L"Consolas");
    HGDIOBJ Old = SelectObject(Dc, Font);
    SIZE Extent{};
    GetTextExtentPoint32W(Dc, Text.c_str(), static_cast<int>(Text.size()), &Extent);
    SelectObject(Dc, Old);
    DeleteObject(Font);
    DeleteDC(Dc);
    return Extent;
}

struct TProgressCase {
    int Tag;
    int Width;
    int Fill;  // width of the bar
    bool Text;
};

TEST(ProgressBitmap, FillAndCentredPercentageForEachTag) {
    const TProgressCase Cases[] = {
        {0, 438, 0, false},  {1, 438, 4, true},     {25, 438, 110, true},  {50, 437, 218, true},
        {100, 438, 438, true}, {150, 438, 0, false}, {-5, 438, 0, false},
    };
    const COLORREF Back = ExpectedBackColor(), Fill = RGB(153, 255, 153);
    const int Height = 24;
    for (const TProgressCase& Case : Cases) {
        SCOPED_TRACE("tag " + std::to_string(Case.Tag) + " width " + std::to_string(Case.Width));
        UniqueGdiObject Bitmap = DrawProgressBitmap(Case.Width, Height, Case.Tag, 96, LightenColor(SystemColor(COLOR_BTNFACE), 15));
        ASSERT_TRUE(Bitmap);
        BITMAP Info{};
        GetObjectW(Bitmap.Get(), sizeof(Info), &Info);
        EXPECT_EQ(Info.bmBitsPixel, 24);
        TPixels Pixels = ReadPixels(static_cast<HBITMAP>(Bitmap.Get()));
        ASSERT_EQ(Pixels.Width, Case.Width);
        ASSERT_EQ(Pixels.Height, Height);
        // The top and bottom rows hold no text: fill up to the bar's width, background after.
        for (int Y : {0, Height - 1})
            for (int X = 0; X < Case.Width; ++X)
                ASSERT_EQ(Pixels.At(X, Y), X < Case.Fill ? Fill : Back) << "x " << X << " y " << Y;
        // Anything else is the text, inside its centred box.
        std::wstring Text = std::to_wstring(Case.Tag) + L" %";
        SIZE Extent = ProgressTextExtent(Text);
        int Left = Case.Width / 2 - Extent.cx / 2, Top = Height / 2 - Extent.cy / 2;
        int Ink = 0, DarkGreen = 0;
        for (int Y = 0; Y < Height; ++Y)
            for (int X = 0; X < Case.Width; ++X) {
                COLORREF Color = Pixels.At(X, Y);
                if (Color == Back || Color == Fill) continue;
                ++Ink;
                EXPECT_TRUE(X >= Left && X < Left + Extent.cx && Y >= Top && Y < Top + Extent.cy)
                    << "ink at " << X << "," << Y;
                if (GetGValue(Color) > GetRValue(Color) + 40 && GetGValue(Color) > GetBValue(Color) + 40 &&
                    GetGValue(Color) < 170)
                    ++DarkGreen;
            }
        EXPECT_EQ(Ink > 0, Case.Text);
        EXPECT_EQ(DarkGreen > 0, Case.Text);
    }
}

TEST(ProgressBitmap, TheWindowRedrawsAtTheImageSizeAndKeepsThePictureBelow100Pixels) {
    WriteSettingsFile("[Main]\r\nEditor=004E004F00540045005000410044\r\n");
    TEnvironment Dpi(L"QV_DPI", L"96");
    auto Form = OpenMainWindow();
    EXPECT_EQ(Form->ProgressTag(), 0);
    RECT Image = BoundsOf(Form->ImageProgress);
    TPixels Empty = ReadPixels(ImagePicture(Form->ImageProgress));
    EXPECT_EQ(Empty.Width, Image.right - Image.left);
    EXPECT_EQ(Empty.Height, Image.bottom - Image.top);
    for (COLORREF Color : Empty.Colors) ASSERT_EQ(Color, ExpectedBackColor());

    Form->SetProgressTag(100);
    Form->DrawProgress();
    TPixels Full = ReadPixels(ImagePicture(Form->ImageProgress));
    EXPECT_EQ(Full.At(0, 0), RGB(153, 255, 153));
    EXPECT_EQ(Full.At(Full.Width - 1, Full.Height - 1), RGB(153, 255, 153));

    HBITMAP Before = ImagePicture(Form->ImageProgress);
    SetWindowPos(Form->ImageProgress, nullptr, 0, 0, 99, Image.bottom - Image.top, SWP_NOMOVE | SWP_NOZORDER);
    Form->SetProgressTag(50);
    Form->DrawProgress();
    EXPECT_EQ(ImagePicture(Form->ImageProgress), Before);
    Form.reset();
    DeleteSettingsFile();
}

TEST(ProgressFrame, ABlackOnePixelRectangleSurroundsTheImage) {
    WriteSettingsFile("[Main]\r\nEditor=004E004F00540045005000410044\r\n");
    auto Form = OpenMainWindow();
    RECT Client{};
    GetClientRect(Form->Handle(), &Client);
    HDC Screen = GetDC(nullptr);
    HDC Dc = CreateCompatibleDC(Screen);
    HBITMAP Surface = CreateCompatibleBitmap(Screen, Client.right, Client.bottom);
    ReleaseDC(nullptr, Screen);
    HGDIOBJ Old = SelectObject(Dc, Surface);
    RECT All{0, 0, Client.right, Client.bottom};
    FillRect(Dc, &All, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    Form->FormPaint(Dc);
    SelectObject(Dc, Old);
    DeleteDC(Dc);
    TPixels Pixels = ReadPixels(Surface);
    DeleteObject(Surface);

    RECT Image = BoundsOf(Form->ImageProgress);
    int L = Image.left, T = Image.top, W = Image.right - Image.left, H = Image.bottom - Image.top;
    const COLORREF Black = RGB(0, 0, 0), White = RGB(255, 255, 255);
    for (int X = L - 1; X <= L + W; ++X) {
        EXPECT_EQ(Pixels.At(X, T - 1), Black) << X;
        EXPECT_EQ(Pixels.At(X, T + H), Black) << X;
        EXPECT_EQ(Pixels.At(X, T - 2), White) << X;
        EXPECT_EQ(Pixels.At(X, T + H + 1), White) << X;
    }
    for (int Y = T - 1; Y <= T + H; ++Y) {
        EXPECT_EQ(Pixels.At(L - 1, Y), Black) << Y;
        EXPECT_EQ(Pixels.At(L + W, Y), Black) << Y;
        EXPECT_EQ(Pixels.At(L - 2, Y), White) << Y;
        EXPECT_EQ(Pixels.At(L + W + 1, Y), White) << Y;
    }
    EXPECT_EQ(Pixels.At(L, T), White);
    EXPECT_EQ(Pixels.At(L + W - 1, T + H - 1), White);
    Form.reset();
    DeleteSettingsFile();
}

// ---- Window helpers ----

TEST(WindowHelpers, ColoursAreLightenedAndClamped) {
    EXPECT_EQ(LightenColor(RGB(240, 240, 240), 15), RGB(255, 255, 255));
    EXPECT_EQ(LightenColor(RGB(250, 10, 0), 15), RGB(255, 25, 15));
    EXPECT_EQ(LightenColor(RGB(10, 5, 200), -8), RGB(2, 0, 192));
    EXPECT_EQ(LightenColor(SystemColor(COLOR_BTNFACE), 0), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(RedOf(RGB(1, 2, 3)), 1);
    EXPECT_EQ(GreenOf(RGB(1, 2, 3)), 2);
    EXPECT_EQ(BlueOf(RGB(1, 2, 3)), 3);
    EXPECT_EQ(ClampValue(-1, 0, 255), 0);
    EXPECT_EQ(ClampValue(256, 0, 255), 255);
    EXPECT_EQ(ClampValue(7, 0, 255), 7);
    EXPECT_EQ(ClampValue(-5000000000LL, -4000000000LL, 0), -4000000000LL);
}

TEST(WindowHelpers, CenterOnWorkAreaUsesTheWorkAreaSizeFromTheOrigin) {
    HWND Window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(Window);
    RECT WorkArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &WorkArea, 0);
    CenterOnWorkArea(Window);
    RECT Bounds{};
    GetWindowRect(Window, &Bounds);
    EXPECT_EQ(Bounds.left, (WorkArea.right - WorkArea.left - 300) / 2);
    EXPECT_EQ(Bounds.top, (WorkArea.bottom - WorkArea.top - 200) / 2);
    // Larger than the work area: negative, truncated toward zero.
    int Wide = WorkArea.right - WorkArea.left + 101;
    SetWindowPos(Window, nullptr, 0, 0, Wide, 200, SWP_NOMOVE | SWP_NOZORDER);
    CenterOnWorkArea(Window);
    GetWindowRect(Window, &Bounds);
    EXPECT_EQ(Bounds.left, -50);
    DestroyWindow(Window);
}

TEST(WindowHelpers, BusyCursorIsApplicationWide) {
    BusyCursorOn();
    EXPECT_TRUE(BusyCursorShown());
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    BusyCursorOff();
    EXPECT_FALSE(BusyCursorShown());
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

}  // namespace
