#pragma once
// The main window as designed at 96 DPI: its size, fonts, glyphs, and the
// tables of its controls and menu items with their texts in both languages.
// Each control's row holds all that belongs to it: its rectangle and how that
// follows the window's size, its handlers and its key rules. Creation, layout,
// DPI changes, the language switch and the dispatch of its events all work
// from these tables.
#include "ui/Main.h"

#include <windows.h>

#include <span>
#include <cstdint>
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
// How a value follows the client area's growth: not at all, all of it or half
// of it (integer halves truncated toward zero).
enum class TGrowth { None, Width, HalfWidth, Height, HalfHeight };

// The keys a control treats in its own way.
enum TKeyRule : unsigned {
    // Tab moves the focus on and is no character; Esc is no character and stops
    // at the box (a multi-line box would close the window on it); Ctrl+A with any
    // other modifier stops there too.
    krMultiLineBox = 1,
    // Enter reaches the control instead of the window's keyboard navigation.
    krWantsReturn = 2,
};

using TNotifyHandler = void (TfrmMain::*)();
using TKeyHandler = void (TfrmMain::*)(HWND Sender, WORD& Key, TShiftState Shift);

struct TControlDesign {
    HWND TfrmMain::*Field;
    int Id;
    TKind Kind;
    int Left, Top, Width, Height;
    TGrowth LeftGrowth, TopGrowth, WidthGrowth, HeightGrowth;
    TFontKind Font;
    const wchar_t* Swedish;  // the design text
    const wchar_t* English;  // null: the text is the same in both languages
    int Glyph;
    bool Checked;
    TNotifyHandler Click = nullptr;     // a button's click, the list's double click
    TNotifyHandler Change = nullptr;    // an edit box's text changed
    TNotifyHandler Enter = nullptr;     // the control got the focus from another
    TKeyHandler KeyDown = nullptr;      // after the window's own key preview
    unsigned KeyRules = 0;
};

// The controls in creation order, which is also their tab order.
std::span<const TControlDesign> MainControlDesign();
// The row of a control by its child-window identifier; null for none.
const TControlDesign* ControlDesignOf(int Id);
// The design value plus the growth the rule takes, at Dpi.
std::int32_t LayoutValue(std::int32_t Design, TGrowth Growth, UINT Dpi, std::int32_t GrowthWidth,
                         std::int32_t GrowthHeight);

struct TMenuText {
    UINT Item;         // command identifier, or 0 for a top-level menu by position
    int Position;
    const wchar_t* Swedish;
    const wchar_t* English;
    const wchar_t* Shortcut;
};

// The menu bar's items: each top-level menu followed by its commands.
std::span<const TMenuText> MainMenuTexts();
// The file list's context menu, in its order.
std::span<const TMenuText> FileListMenuItems();
// The menu text of an item in one language, with its shortcut after a tab.
std::wstring MenuCaption(const TMenuText& Text, bool English);
// The text of a menu item by command identifier (or top-level position when Item is 0).
const TMenuText& MenuTextOf(UINT Item, int Position = 0);
