#pragma once
// Occurrences of the text to find in their lines: where each starts (line and
// column), the lines it touches as they are, and those lines as a replacement
// writes them. Occurrences come from TextScanner, so the lines listed are exactly
// the ones a count counts and Apply changes.
//
// The lines an occurrence touches, chained with those of every occurrence that
// starts in one of them, form a block; a block is also widened by the next line
// when the replacement would join that line to it (a replacement that removes a
// line end). A block's old and new texts are what a line-by-line view or a diff
// needs; everything between blocks stays as it is.
#include "base/TextRules.h"
#include "base/TextScanner.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class TLineBreaks {
    Any,     // CR LF, LF or CR ends a line
    LfOnly,  // only LF does (CR belongs to the line), as line-based diff tools count
};

struct TMatchBlock {
    std::size_t Start = 0;     // offset of the block's first line
    std::size_t End = 0;       // offset just after its last line's end (or the text's end)
    std::int64_t FirstLine = 0;  // 1-based
    std::int64_t LineCount = 0;  // lines in the old text
    std::vector<std::size_t> Matches;  // offsets of the occurrences in it
    // Offsets just after each occurrence: one holding a line break may be longer
    // or shorter than the text to find.
    std::vector<std::size_t> MatchEnds;
    std::wstring After;        // Text[Start, End) with every occurrence replaced
    // Where each occurrence's new text starts and ends in After (with a new text):
    // a replacement's line breaks are written as the text's own, so its length
    // may differ from the replacement's.
    std::vector<std::size_t> NewStarts, NewEnds;
};

// Calls Take for each block in order. Nothing when the text does not hold the
// text to find (by the scanner's containment rule). ReplaceWith null: After stays empty.
void ForEachMatchBlock(std::wstring_view Text, const TextScanner& Scanner, const std::wstring* ReplaceWith,
                       TLineBreaks Breaks, const std::function<void(const TMatchBlock&)>& Take);

// The same for changes already worked out (TRuleChain::Edits): each change is an
// occurrence (never empty), its new text what a replacement writes.
void ForEachEditBlock(std::wstring_view Text, const std::vector<TTextEdit>& Edits, bool WithAfter,
                      TLineBreaks Breaks, const std::function<void(const TMatchBlock&)>& Take);

// The same for occurrences already found: Hits as (start, end) in order, each
// new text written by AppendAfter(Out, Start, End) when WithAfter.
using TAppendAfter = std::function<void(std::wstring& Out, std::size_t Start, std::size_t End)>;
void ForEachHitBlock(std::wstring_view Text, const std::vector<std::pair<std::size_t, std::size_t>>& Hits,
                     bool WithAfter, const TAppendAfter& AppendAfter, TLineBreaks Breaks,
                     const std::function<void(const TMatchBlock&)>& Take);

// One occurrence in its lines.
struct TLineMatch {
    std::int64_t Line = 0;       // 1-based, the line where it starts
    std::int64_t Column = 0;     // 1-based, in UTF-16 units of that line
    std::int64_t FirstLine = 0;  // the first line of Text (earlier than Line only in a chained block)
    std::int64_t LineCount = 0;  // lines in Text
    std::wstring Text;           // the lines without the last one's line end
    std::wstring After;          // the same as Apply writes them (empty without a replacement)
};

// Lines end at CR LF, LF or CR. Memory grows with the lines listed, not the text.
std::vector<TLineMatch> MatchesInLines(std::wstring_view Text, std::wstring_view TextToFind, bool CaseSensitive,
                                       const std::wstring* ReplaceWith);

// The length of the line end at the end of Line (0 when it has none).
std::size_t LineEndLength(std::wstring_view Line);
