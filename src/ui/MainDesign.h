#pragma once
// The main window as designed at 96 DPI: its size, fonts, glyphs, and the
// tables of its controls and menu items with their texts in both languages.
// Creation, DPI changes and the language switch all work from these tables.
#include "ui/Main.h"

#include <windows.h>

#include <span>
#include <string>

constexpr int DesignClientWidth = 593;
constexpr int DesignClientHeight = 481;
constexpr int WindowFontHeight = 12;
constexpr int ConsolasFontHeight = 13;
constexpr int GlyphSize = 16;
constexpr int Column0Width = 200;
constexpr int Column1Width = 70;

enum class TKind { Label, Edit, Memo, Button, CheckBox, ListView, Link, Image };
enum class TFontKind { Window, Consolas, None };

struct TControlDesign {
    HWND TfrmMain::*Field;
    int Id;
    TKind Kind;
    int Left, Top, Width, Height;
    TFontKind Font;
    const wchar_t* Swedish;  // the design text
    const wchar_t* English;  // null: the text is the same in both languages
    int Glyph;
    bool Checked;
};

// The controls in creation order, which is also their tab order.
std::span<const TControlDesign> MainControlDesign();

struct TMenuText {
    UINT Item;         // command identifier, or 0 for a top-level menu by position
    int Position;
    const wchar_t* Swedish;
    const wchar_t* English;
    const wchar_t* Shortcut;
};

// The menu bar's items: each top-level menu followed by its commands.
std::span<const TMenuText> MainMenuTexts();
// The menu text of an item in one language, with its shortcut after a tab.
std::wstring MenuCaption(const TMenuText& Text, bool English);
// The text of a menu item by command identifier (or top-level position when Item is 0).
const TMenuText& MenuTextOf(UINT Item, int Position = 0);
