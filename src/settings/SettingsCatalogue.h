#pragma once
// The keys of section "Main", typed: the inputs, editor and encoding mode, and the
// window's place. Each routine reads or writes its keys in the order it lists,
// which is the order they stand in the file.
#include <cstdint>
#include <string>
#include <vector>

struct TMainSettings {
    std::wstring Folder;
    bool Recursive = false;
    std::wstring Filters;
    bool CaseSensitive = true;
    std::wstring Editor;
    std::int32_t TextEncoding = 0;
};

struct TWindowBounds {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

// Folder, Recursive, Filters, CaseSensitive, Editor, TextEncoding, each with the
// value in Defaults as its default.
TMainSettings ReadMainSettings(const TMainSettings& Defaults);
// Left, Top, Width, Height.
TWindowBounds ReadWindowBounds(const TWindowBounds& Defaults);
bool ReadMaximized();  // default false
// Folder, Recursive, Filters, CaseSensitive, Editor, TextEncoding.
void WriteMainSettings(const TMainSettings& Settings);
// The review window's place: ReviewLeft, ReviewTop, ReviewWidth, ReviewHeight.
TWindowBounds ReadReviewBounds(const TWindowBounds& Defaults);
void WriteReviewBounds(const TWindowBounds& Bounds);
// Maximized: only Maximized=1. Otherwise Left, Top, Width, Height, then Maximized=0.
void WriteWindowState(bool Maximized, const TWindowBounds& Bounds);

// The recent texts of the find and replace boxes, most recent first.
struct TTextHistory {
    std::vector<std::wstring> Find;
    std::vector<std::wstring> Replace;
};
constexpr size_t TextHistoryLength = 10;

// FindHistory and ReplaceHistory. A missing key or a damaged value gives an
// empty list; a list is cut to TextHistoryLength, without empty texts and
// without a text a second time.
TTextHistory ReadTextHistory();
// FindHistory and ReplaceHistory; a list without texts is not written, so a
// file without them stays as it was.
void WriteTextHistory(const TTextHistory& History);
