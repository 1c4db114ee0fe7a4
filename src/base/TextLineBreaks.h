#pragma once
// Line breaks as people type them: a text to find may hold CR LF, LF or CR, and
// each matches one line break of the text searched, whichever of the three that
// text uses there; a line break in a replacement is written as the text's own.
// Files with LF or CR line ends are as common as CR LF ones, and a text box
// gives CR LF: comparing the characters would find nothing in the others.
//
// A line break in a text is CR LF (always one, never a CR and an LF), or a lone
// LF, or a lone CR.
#include "base/TextCaseMap.h"
#include "base/TextSearch.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Units of the line break starting at Text[Position]: 2 for CR LF, 1 for a lone
// CR or LF, 0 when none starts there.
inline std::size_t LineBreakAt(std::wstring_view Text, std::size_t Position) {
    const wchar_t U = Text[Position];
    if (U == L'\n') return 1;
    if (U != L'\r') return 0;
    return Position + 1 < Text.size() && Text[Position + 1] == L'\n' ? 2 : 1;
}

bool HoldsLineBreak(std::wstring_view Text);
// Whether A and B are the same text when each line break counts as one, of
// whatever kind: as texts to find they find the same, and as a replacement one
// writes exactly what the other finds.
bool SameButForLineBreaks(std::wstring_view A, std::wstring_view B);

// A text to find that holds line breaks, as the pieces between them (the first
// or last piece empty when it begins or ends with one). A piece compares unit by
// unit, as mapped through the map (exactly without one); a line break in it
// compares with one line break of the text.
class LineBreakPattern {
public:
    static constexpr std::size_t NotFound = std::wstring_view::npos;

    // TextToFind must hold a line break. Map null: units compare exactly (the
    // caller may have mapped both texts itself).
    LineBreakPattern(std::wstring_view TextToFind, const CaseMap* Map);

    // The first occurrence starting at or after From, or NotFound; End receives
    // where it ends.
    std::size_t Find(std::wstring_view Text, std::size_t From, std::size_t& End) const;
    // The most units an occurrence can have (each line break as CR LF).
    std::size_t MaxLength() const { return FMaxLength; }

private:
    // Where an occurrence starting at Position ends, or NotFound.
    std::size_t MatchAt(std::wstring_view Text, std::size_t Position) const;
    bool PieceAt(std::wstring_view Text, std::size_t Position, const std::wstring& Piece) const;

    std::vector<std::wstring> FPieces;  // mapped; one more than there are line breaks
    const CaseMap* FMap;
    std::optional<TextFinder> FFirst;  // finds the first piece when it is not empty
    std::size_t FMaxLength = 0;
};

// Writes a replacement for occurrences in one text: unchanged when it holds no
// line break; otherwise its line breaks become the text's own. The k-th line
// break of the replacement is written as the k-th one the occurrence spans; one
// beyond those as the last the occurrence spans; for an occurrence spanning none,
// as the text's first line break, and as CR LF when the text has none.
class ReplacementWriter {
public:
    ReplacementWriter(std::wstring_view Text, std::wstring_view ReplaceWith);
    // Text is a part of a longer text, whose first line break is FirstBreak.
    ReplacementWriter(std::wstring_view Text, std::wstring_view ReplaceWith, std::wstring_view FirstBreak)
        : ReplacementWriter(Text, ReplaceWith) {
        FFirstBreak = FirstBreak;
    }

    // Appends the replacement of the occurrence Text[Start, End).
    void Append(std::wstring& Out, std::size_t Start, std::size_t End) const;

private:
    std::wstring_view FText;
    std::wstring_view FWith;
    bool FHasBreaks;
    mutable std::optional<std::wstring_view> FFirstBreak;  // found on first need
};
