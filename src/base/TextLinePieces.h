#pragma once
// The blocks of TextLines, and the lines between them, for a text given in
// consecutive pieces: what the listings, the diff and the review read of a file,
// so a file is listed a piece at a time and a listing's memory grows with its
// longest line or block, not with the file.
//
// Both ways of reading a text hand the same events to a TBlockEvents, in the
// text's order: a whole text through ForEachBlockEvent, pieces through
// TBlockPieces. A consumer written against the events writes the same output
// either way.
#include "base/TextLines.h"
#include "base/TextPieces.h"
#include "base/TextScanner.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TBlockEvents {
public:
    // A line outside every block, with its line end (only when lines are asked for).
    virtual void Line(std::int64_t Number, std::wstring_view Text) = 0;
    // A block, its offsets in the whole text; Old is that text from Block.Start to Block.End.
    virtual void Block(const TMatchBlock& Block, std::wstring_view Old) = 0;

protected:
    ~TBlockEvents() = default;
};

// For a consumer of the events: the last lines outside the blocks, as many as
// are shown before a block (Most), each copied.
class TLinesBefore {
public:
    explicit TLinesBefore(std::int64_t Most) : FMost(Most) {}
    void Add(std::int64_t Number, std::wstring_view Text) {
        if (FMost <= 0) {
            FDropped = true;
            return;
        }
        if (static_cast<std::int64_t>(FLines.size()) < FMost) {
            FLines.emplace_back(Number, Text);
            return;
        }
        // The oldest line's memory serves the newest.
        std::pair<std::int64_t, std::wstring> Oldest = std::move(FLines.front());
        FLines.pop_front();
        Oldest.first = Number;
        Oldest.second.assign(Text);
        FLines.push_back(std::move(Oldest));
        FDropped = true;
    }
    // The first line held (Otherwise when none).
    std::int64_t First(std::int64_t Otherwise) const { return FLines.empty() ? Otherwise : FLines.front().first; }
    // Whether a line went unheld since the last Take.
    bool Dropped() const { return FDropped; }
    // Hands each line held to Use, in order, and forgets them.
    template <class TUse>
    void Take(TUse&& Use) {
        for (const auto& [Number, Text] : FLines) Use(Number, std::wstring_view(Text));
        FLines.clear();
        FDropped = false;
    }

private:
    std::int64_t FMost;
    std::deque<std::pair<std::int64_t, std::wstring>> FLines;
    bool FDropped = false;
};

using TBlockTake = std::function<void(const TMatchBlock&)>;

// A whole text: the blocks ForEachBlock hands to its Take (ForEachMatchBlock or
// ForEachEditBlock over Text), with the lines outside them when Lines.
void ForEachBlockEvent(std::wstring_view Text, TLineBreaks Breaks, bool Lines,
                       const std::function<void(const TBlockTake&)>& ForEachBlock, TBlockEvents& Events);

// The events of ForEachBlockEvent over ForEachMatchBlock, for a text given in
// pieces as TPieceCounter takes them. A text is cut after a line that no block
// can reach into, and each part is handed over as soon as it is known whole;
// what is held is the part not handed over yet (from the start of the line the
// scan is in, or of the block still gathering) and the units the scan needs again.
// Case-insensitively nothing of a block is handed over before the text is known
// to hold the text to find (TextScanner::Admits): usually its first occurrence
// tells; otherwise the text is held until it does, or to its end.
class TBlockPieces {
public:
    TBlockPieces(const TextScanner& Scanner, const std::wstring* ReplaceWith, TLineBreaks Breaks, bool Lines,
                 TBlockEvents& Events);

    // Whether Scanner's blocks can be found in pieces (a pattern needs the whole text).
    static bool ListsInPieces(const TextScanner& Scanner) { return TPieceCounter::CountsInPieces(Scanner); }

    // A new text from its start (nothing of the last one may have been handed over).
    void Reset();
    // The next piece; Last: nothing follows. Returns 0: nothing is to be given again.
    std::size_t Take(std::wstring_view Text, bool Last);
    // The most units held at once since construction, for the tests of its memory.
    std::size_t MostHeld() const { return FMostHeld; }

private:
    void FindHits(std::size_t ScanEnd, bool Last);
    std::size_t CutPoint(std::size_t Limit);
    std::size_t LastLineStart(std::size_t Limit);
    bool StartsLine(std::size_t Position) const;
    void HandOver(std::size_t Cut);
    void AppendAfter(std::wstring& Out, std::wstring_view Segment, std::size_t Start, std::size_t End) const;
    std::wstring_view Held(std::size_t From, std::size_t To) const {
        return std::wstring_view(FHeld).substr(From - FHeldStart, To - From);
    }

    const TextScanner& FScanner;
    const std::wstring* FReplaceWith;
    const TLineBreaks FBreaks;
    const bool FLines;
    TBlockEvents& FEvents;
    TPieceCounter FContain;       // the containment rule, while the occurrences have not settled it
    std::wstring FHeld;           // the text from FHeldStart on
    std::size_t FHeldStart = 0;
    std::size_t FEnd = 0;         // the text's length so far
    std::size_t FPartStart = 0;   // the start of the part not handed over (a line start)
    std::int64_t FPartLine = 1;   // its line
    std::size_t FFrom = 0;        // where the scan resumes
    std::size_t FContainAt = 0;   // where FContain's next text starts
    bool FAdmitted = false;       // the text holds the text to find
    bool FContaining = false;     // FContain is fed
    std::vector<std::pair<std::size_t, std::size_t>> FHits;  // found, not handed over
    std::size_t FLastStart = 0;      // the last line start up to FStartsKnownTo
    std::size_t FStartsKnownTo = 0;
    std::wstring FFirstBreak;     // the text's first line break, once seen
    bool FBreakSeen = false;
    std::size_t FMostHeld = 0;
};
