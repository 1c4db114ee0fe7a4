// The main window's fonts and button glyphs, made for the window's DPI and
// handed to its controls (at creation and after a DPI change).
#include "base/GdiOwners.h"
#include "ui/MainDesign.h"
#include "ui/Resources.h"

#include <commctrl.h>

#include <iterator>
#include <stdexcept>
#include <type_traits>
#include <utility>

void TfrmMain::CreateFonts() {
    // The new fonts go to every control before the old ones are released.
    UniqueGdiObject WindowFont(CreateFontW(-ScaleForDpi(WindowFontHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                           ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                           DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI"));
    UniqueGdiObject ConsolasFont(CreateFontW(-ScaleForDpi(ConsolasFontHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                             FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                             DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Consolas"));
    if (!WindowFont || !ConsolasFont) throw std::runtime_error("cannot create the window's fonts");
    std::swap(FWindowFont, WindowFont);
    std::swap(FConsolasFont, ConsolasFont);
    ApplyFonts();
}

void TfrmMain::ApplyFonts() {
    for (const TControlDesign& Control : MainControlDesign()) {
        HWND Window = this->*Control.Field;
        if (!Window || Control.Font == TFontKind::None) continue;
        HGDIOBJ Font = Control.Font == TFontKind::Window ? FWindowFont.Get() : FConsolasFont.Get();
        SendMessageW(Window, WM_SETFONT, reinterpret_cast<WPARAM>(Font), TRUE);
        if (Control.Kind == TKind::Label) AutoSizeLabel(Window);
    }
}

namespace {

// The glyph enlarged pixel for pixel to Size x Size, so its magenta mask colour
// stays exact; null when that fails.
UniqueGdiObject EnlargedGlyph(HGDIOBJ Glyph, int Size) {
    UniqueGdiObject Scaled;
    {
        TWindowDc Screen(nullptr);
        if (!Screen) return Scaled;
        Scaled.Reset(CreateCompatibleBitmap(Screen.Get(), Size, Size));
    }
    TMemoryDc Source, Target;
    if (!Scaled || !Source || !Target) return {};
    TSelection SourceGlyph(Source.Get(), Glyph);
    TSelection TargetBitmap(Target.Get(), Scaled.Get());
    SetStretchBltMode(Target.Get(), COLORONCOLOR);
    StretchBlt(Target.Get(), 0, 0, Size, Size, Source.Get(), 0, 0, GlyphSize, GlyphSize, SRCCOPY);
    return Scaled;
}

}  // namespace

void TfrmMain::UpdateButtonGlyphs() {
    HINSTANCE Instance = GetModuleHandleW(nullptr);
    int Size = ScaleForDpi(GlyphSize);
    struct {
        HWND Button;
        int Resource;
    } Buttons[] = {{btnBrowse, IDB_BROWSE}, {btnSearch, IDB_SEARCH}, {btnApply, IDB_APPLY}};
    static_assert(std::size(Buttons) == std::extent_v<decltype(FGlyphs)>);
    for (size_t i = 0; i < std::size(Buttons); ++i) {
        UniqueGdiObject Glyph(LoadImageW(Instance, MAKEINTRESOURCEW(Buttons[i].Resource), IMAGE_BITMAP, 0, 0,
                                         LR_CREATEDIBSECTION));
        if (!Glyph) continue;
        UniqueImageList List(ImageList_Create(Size, Size, ILC_COLOR24 | ILC_MASK, 1, 0));
        if (!List) continue;
        // Larger DPIs get the glyph enlarged.
        UniqueGdiObject Scaled;
        if (Size != GlyphSize) Scaled = EnlargedGlyph(Glyph.Get(), Size);
        ImageList_AddMasked(List.Get(), static_cast<HBITMAP>(Scaled ? Scaled.Get() : Glyph.Get()), RGB(255, 0, 255));
        BUTTON_IMAGELIST Image{};
        Image.himl = List.Get();
        Image.margin = RECT{ScaleForDpi(4), 0, 0, 0};
        Image.uAlign = BUTTON_IMAGELIST_ALIGN_LEFT;
        Button_SetImageList(Buttons[i].Button, &Image);
        std::swap(FGlyphs[i], List);  // the previous list goes when the button has the new one
    }
}
