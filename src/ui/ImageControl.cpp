#include "ui/ImageControl.h"

#include <new>

namespace {

constexpr wchar_t ImageClassName[] = L"QuorvaneImage";

struct TImageData {
    UniqueGdiObject Picture;
    std::int32_t Tag = 0;
};

TImageData* DataOf(HWND Image) {
    return reinterpret_cast<TImageData*>(GetWindowLongPtrW(Image, GWLP_USERDATA));
}

void Paint(HWND Image) {
    PAINTSTRUCT Paint{};
    HDC Dc = BeginPaint(Image, &Paint);
    if (!Dc) return;
    RECT Client{};
    GetClientRect(Image, &Client);
    int PictureWidth = 0, PictureHeight = 0;
    TImageData* Data = DataOf(Image);
    if (Data && Data->Picture) {
        BITMAP Info{};
        if (GetObjectW(Data->Picture.Get(), sizeof(Info), &Info)) {
            PictureWidth = Info.bmWidth;
            PictureHeight = Info.bmHeight;
            if (HDC Memory = CreateCompatibleDC(Dc)) {
                HGDIOBJ Old = SelectObject(Memory, Data->Picture.Get());
                BitBlt(Dc, 0, 0, PictureWidth, PictureHeight, Memory, 0, 0, SRCCOPY);
                SelectObject(Memory, Old);
                DeleteDC(Memory);
            }
        }
    }
    // What the picture does not cover shows the parent's background.
    HBRUSH Face = GetSysColorBrush(COLOR_BTNFACE);
    RECT Right{PictureWidth, 0, Client.right, Client.bottom};
    RECT Below{0, PictureHeight, PictureWidth, Client.bottom};
    if (Right.left < Right.right) FillRect(Dc, &Right, Face);
    if (Below.top < Below.bottom) FillRect(Dc, &Below, Face);
    EndPaint(Image, &Paint);
}

LRESULT CALLBACK ImageWindowProc(HWND Image, UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(Image, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new (std::nothrow) TImageData));
        if (!DataOf(Image)) return FALSE;
        break;
    case WM_NCDESTROY:
        delete DataOf(Image);
        SetWindowLongPtrW(Image, GWLP_USERDATA, 0);
        break;
    case WM_ERASEBKGND:
        return 1;  // the paint covers everything
    case WM_PAINT:
        Paint(Image);
        return 0;
    }
    return DefWindowProcW(Image, Message, WParam, LParam);
}

}  // namespace

HWND CreateImageControl(HWND Parent, int Id, int Left, int Top, int Width, int Height) {
    static const ATOM ClassAtom = [] {
        WNDCLASSEXW Class{};
        Class.cbSize = sizeof(Class);
        Class.lpfnWndProc = ImageWindowProc;
        Class.hInstance = GetModuleHandleW(nullptr);
        Class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        Class.lpszClassName = ImageClassName;
        return RegisterClassExW(&Class);
    }();
    if (!ClassAtom) return nullptr;
    return CreateWindowExW(0, ImageClassName, L"", WS_CHILD | WS_VISIBLE, Left, Top, Width, Height, Parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), GetModuleHandleW(nullptr), nullptr);
}

void SetImagePicture(HWND Image, UniqueGdiObject Picture) {
    TImageData* Data = DataOf(Image);
    if (!Data) return;
    Data->Picture = std::move(Picture);
    InvalidateRect(Image, nullptr, FALSE);
}

HBITMAP ImagePicture(HWND Image) {
    TImageData* Data = DataOf(Image);
    return Data ? static_cast<HBITMAP>(Data->Picture.Get()) : nullptr;
}

void SetImageTag(HWND Image, std::int32_t Tag) {
    if (TImageData* Data = DataOf(Image)) Data->Tag = Tag;
}

std::int32_t ImageTag(HWND Image) {
    TImageData* Data = DataOf(Image);
    return Data ? Data->Tag : 0;
}
