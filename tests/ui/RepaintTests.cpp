// What the window shows after a resize, a maximise and a restore: its pixels are
// those of a window opened fresh at that size with the same rows, the list
// scrolled to the same place. The picture is read from the window's own
// surface, so a control left unpainted or a stale list row shows as it would on
// the screen.
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int RowCount = 300;

struct TShot {
    int Width = 0, Height = 0;
    std::vector<DWORD> Pixels;
};

TShot Capture(HWND Window) {
    TShot Shot;
    RECT Client{};
    GetClientRect(Window, &Client);
    Shot.Width = Client.right;
    Shot.Height = Client.bottom;
    HDC WindowDc = GetDC(Window);
    HDC Memory = CreateCompatibleDC(WindowDc);
    BITMAPINFO Info{};
    Info.bmiHeader.biSize = sizeof(Info.bmiHeader);
    Info.bmiHeader.biWidth = Shot.Width;
    Info.bmiHeader.biHeight = -Shot.Height;
    Info.bmiHeader.biPlanes = 1;
    Info.bmiHeader.biBitCount = 32;
    Info.bmiHeader.biCompression = BI_RGB;
    void* Bits = nullptr;
    HBITMAP Picture = CreateDIBSection(WindowDc, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
    HGDIOBJ Old = SelectObject(Memory, Picture);
    BitBlt(Memory, 0, 0, Shot.Width, Shot.Height, WindowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD* Words = static_cast<const DWORD*>(Bits);
    Shot.Pixels.assign(Words, Words + static_cast<size_t>(Shot.Width) * static_cast<size_t>(Shot.Height));
    for (DWORD& Pixel : Shot.Pixels) Pixel &= 0xFFFFFF;
    SelectObject(Memory, Old);
    DeleteObject(Picture);
    DeleteDC(Memory);
    ReleaseDC(Window, WindowDc);
    return Shot;
}

// The number of differing pixels, and the first one in Where.
int Differences(const TShot& Actual, const TShot& Expected, std::string& Where) {
    if (Actual.Width != Expected.Width || Actual.Height != Expected.Height) {
        Where = "size " + std::to_string(Actual.Width) + "x" + std::to_string(Actual.Height) + " vs " +
                std::to_string(Expected.Width) + "x" + std::to_string(Expected.Height);
        return -1;
    }
    int Count = 0;
    RECT Box{Actual.Width, Actual.Height, -1, -1};
    for (int Y = 0; Y < Actual.Height; ++Y)
        for (int X = 0; X < Actual.Width; ++X) {
            size_t I = static_cast<size_t>(Y * Actual.Width + X);
            if (Actual.Pixels[I] == Expected.Pixels[I]) continue;
            ++Count;
            Box = RECT{std::min<LONG>(Box.left, X), std::min<LONG>(Box.top, Y), std::max<LONG>(Box.right, X),
                       std::max<LONG>(Box.bottom, Y)};
        }
    if (Count > 0)
        Where = "within " + std::to_string(Box.left) + "," + std::to_string(Box.top) + " .. " +
                std::to_string(Box.right) + "," + std::to_string(Box.bottom);
    return Count;
}

// Rows whose counts differ from row to row, so a stale row shows.
void FillList(TfrmMain& Form) {
    std::vector<TFileListItem> Rows;
    for (int I = 0; I < RowCount; ++I)
        Rows.push_back(TFileListItem{L"folder\\file" + std::to_wstring(I) + L".txt", std::to_wstring(I % 9 + 1)});
    Form.AppendFileItems(Rows);
    Pump();
}

void ScrollTo(TfrmMain& Form, int TopIndex, int Selected) {
    ListView_SetItemState(Form.lvFiles, Selected, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(Form.lvFiles, 0, FALSE);
    RECT Row{};
    ListView_GetItemRect(Form.lvFiles, 0, &Row, LVIR_BOUNDS);
    ListView_Scroll(Form.lvFiles, 0, TopIndex * (Row.bottom - Row.top));
    Pump();
}

// The list takes the focus: no caret blinks in a box between two pictures.
void FocusList(TfrmMain& Form) {
    SetFocus(Form.lvFiles);
    Pump();
}

struct TResizeCase {
    const char* Name;
    std::function<void(HWND)> Change;
};

void SizeBy(HWND Window, int Width, int Height) {
    RECT Outer{};
    GetWindowRect(Window, &Outer);
    SetWindowPos(Window, nullptr, 0, 0, Outer.right - Outer.left + Width, Outer.bottom - Outer.top + Height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

class RepaintAtDpi : public testing::TestWithParam<UINT> {
protected:
    void TearDown() override { DeleteSettingsFile(); }
    TEnvironment FDpiOverride{L"QV_DPI", std::to_wstring(GetParam()).c_str()};
};

TEST_P(RepaintAtDpi, AResizedWindowShowsThePixelsOfOneOpenedAtItsSize) {
    const TResizeCase Cases[] = {
        {"grown by the corner", [](HWND Window) { SizeBy(Window, 302, 301); Pump(); }},
        {"grown, then shrunk a little", [](HWND Window) { SizeBy(Window, 60, 120); Pump(); SizeBy(Window, -23, -41); Pump(); }},
        {"maximised", [](HWND Window) { ShowWindow(Window, SW_MAXIMIZE); Pump(); }},
        {"maximised, then restored", [](HWND Window) { ShowWindow(Window, SW_MAXIMIZE); Pump(); ShowWindow(Window, SW_RESTORE); Pump(); }},
        {"grown, maximised, restored", [](HWND Window) { SizeBy(Window, 40, 30); Pump(); ShowWindow(Window, SW_MAXIMIZE); Pump(); ShowWindow(Window, SW_RESTORE); Pump(); }},
    };
    for (const TResizeCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        WriteSettingsFile("[Main]\r\nEditor=004E004F00540045005000410044\r\n");
        TShot Changed;
        int TopIndex = 0;
        {
            auto Form = OpenMainWindow();
            FillList(*Form);
            ScrollTo(*Form, RowCount / 2, RowCount / 2 + 3);
            FocusList(*Form);
            Case.Change(Form->Handle());
            Pump();
            TopIndex = ListView_GetTopIndex(Form->lvFiles);
            Changed = Capture(Form->Handle());
        }  // closing stores the size (and the maximised state) the next window opens at
        auto Fresh = OpenMainWindow();
        FillList(*Fresh);
        ScrollTo(*Fresh, TopIndex, RowCount / 2 + 3);
        FocusList(*Fresh);
        ASSERT_EQ(ListView_GetTopIndex(Fresh->lvFiles), TopIndex);
        TShot AtStart = Capture(Fresh->Handle());
        // Everything painted anew: what the window must look like at this size.
        RedrawWindow(Fresh->Handle(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Pump();
        TShot Expected = Capture(Fresh->Handle());

        std::string Where;
        EXPECT_EQ(Differences(Changed, Expected, Where), 0) << "after the change: " << Where;
        Where.clear();
        EXPECT_EQ(Differences(AtStart, Expected, Where), 0) << "opened at the stored size: " << Where;
    }
}

INSTANTIATE_TEST_SUITE_P(MainWindow, RepaintAtDpi, testing::Values(96u, 144u),
                         [](const testing::TestParamInfo<UINT>& Info) { return "Dpi" + std::to_string(Info.param); });

}  // namespace
