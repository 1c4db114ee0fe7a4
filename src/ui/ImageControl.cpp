#include "ui/ImageControl.h"

#include "base/GdiOwners.h"

#include <memory>
#include <new>

namespace {

constexpr wchar_t ImageClassName[] = L"QuorvaneImage";

struct TImageData {
    UniqueGdiObject Picture;
    std::int32_t Tag = 0;
};

// The control owns its data: from WM_NCCREATE its user data holds the pointer
// that a unique_ptr gave up, and WM_NCDESTROY takes it back into one.
void AttachData(HWND Image, std::unique_ptr<TImageData> Data) {
    SetWindowLongPtrW(Image, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Data.release()));
}

std::unique_ptr<TImageData> DetachData(HWND Image) {
    return std::unique_ptr<TImageData>(reinterpret_cast<TImageData*>(SetWindowLongPtrW(Image, GWLP_USERDATA, 0)));
}

TImageData* DataOf(HWND Image) {
    return reinterpret_cast<TImageData*>(GetWindowLongPtrW(Image, GWLP_USERDATA));
}

void Paint(HWND Image) {
    TPaintDc Dc(Image);
    if (!Dc.Get()) return;
    RECT Client{};
    GetClientRect(Image, &Client);
    int PictureWidth = 0, PictureHeight = 0;
    TImageData* Data = DataOf(Image);
    if (Data && Data->Picture) {
        BITMAP Info{};
        if (GetObjectW(Data->Picture.Get(), sizeof(Info), &Info)) {
            PictureWidth = Info.bmWidth;
            PictureHeight = Info.bmHeight;
            if (TMemoryDc Memory(Dc.Get()); Memory) {
                TSelection Picture(Memory.Get(), Data->Picture.Get());
                BitBlt(Dc.Get(), 0, 0, PictureWidth, PictureHeight, Memory.Get(), 0, 0, SRCCOPY);
            }
        }
    }
    // What the picture does not cover shows the parent's background.
    HBRUSH Face = GetSysColorBrush(COLOR_BTNFACE);
    RECT Right{PictureWidth, 0, Client.right, Client.bottom};
    RECT Below{0, PictureHeight, PictureWidth, Client.bottom};
    if (Right.left < Right.right) FillRect(Dc.Get(), &Right, Face);
    if (Below.top < Below.bottom) FillRect(Dc.Get(), &Below, Face);
}

LRESULT CALLBACK ImageWindowProc(HWND Image, UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
    case WM_NCCREATE:
        try {
            AttachData(Image, std::make_unique<TImageData>());
        } catch (const std::bad_alloc&) {
            return FALSE;  // no control without its data
        }
        break;
    case WM_NCDESTROY:
        DetachData(Image);  // the data goes with the returned owner
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
