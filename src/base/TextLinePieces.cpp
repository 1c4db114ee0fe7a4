#include "base/TextLinePieces.h"

#include "base/TextLineBreaks.h"

#include <windows.h>

#include <algorithm>

namespace {

// The offset just after the line end of the line starting at From (or Text's end).
std::size_t LineEndFrom(std::wstring_view Text, std::size_t From, TLineBreaks Breaks) {
    for (std::size_t I = From; I < Text.size(); ++I) {
        if (Text[I] == L'\n') return I + 1;
        if (Breaks == TLineBreaks::Any && Text[I] == L'\r')
            return I + 1 < Text.size() && Text[I + 1] == L'\n' ? I + 2 : I + 1;
    }
    return Text.size();
}

// The lines of Text, counted (without handing them to anyone).
std::int64_t CountLines(std::wstring_view Text, TLineBreaks Breaks) {
    std::int64_t Lines = 0;
    for (std::size_t Position = 0; Position < Text.size(); ++Lines) Position = LineEndFrom(Text, Position, Breaks);
    return Lines;
}

// Hands the blocks of a run of whole lines to Events with the lines between
// them: Part starts at offset Start of the text, on line FirstLine. With Lead,
// Part starts with the last unit of the line before the run (a line end, which
// the blocks see as a line of its own), so that a block at the run's start sees
// the unit before it, as in the whole text.
class TPartEvents {
public:
    TPartEvents(std::wstring_view Part, std::size_t Start, std::int64_t FirstLine, TLineBreaks Breaks, bool Lines,
                TBlockEvents& Events, std::size_t Lead = 0)
        : FPart(Part), FStart(Start), FFirstLine(FirstLine), FLine(FirstLine + static_cast<std::int64_t>(Lead)),
          FBreaks(Breaks), FLines(Lines), FEvents(Events), FPosition(Lead) {}

    // A block of Part (its offsets and lines Part's own).
    void Block(const TMatchBlock& Block) {
        LinesUpTo(Block.Start);
        TMatchBlock Whole = Block;
        Whole.Start += FStart;
        Whole.End += FStart;
        for (std::size_t& Offset : Whole.Matches) Offset += FStart;
        for (std::size_t& Offset : Whole.MatchEnds) Offset += FStart;
        Whole.FirstLine += FFirstLine - 1;
        FEvents.Block(Whole, FPart.substr(Block.Start, Block.End - Block.Start));
        FPosition = Block.End;
        FLine = Whole.FirstLine + Whole.LineCount;
    }
    // The lines after the last block; returns the line after Part.
    std::int64_t Finish(bool Count) {
        if (!FLines && Count) FLine += CountLines(FPart.substr(std::min(FPosition, FPart.size())), FBreaks);
        LinesUpTo(FPart.size());
        return FLine;
    }

private:
    void LinesUpTo(std::size_t Limit) {
        if (!FLines) {
            FPosition = std::max(FPosition, Limit);
            return;
        }
        while (FPosition < Limit) {
            const std::size_t End = LineEndFrom(FPart, FPosition, FBreaks);
            FEvents.Line(FLine++, FPart.substr(FPosition, End - FPosition));
            FPosition = End;
        }
    }

    std::wstring_view FPart;
    std::size_t FStart;
    std::int64_t FFirstLine, FLine;
    TLineBreaks FBreaks;
    bool FLines;
    TBlockEvents& FEvents;
    std::size_t FPosition;
};

// Units kept before the point the scan resumes at (as TPieceCounter keeps them).
constexpr std::size_t ScanContext = 2;

}  // namespace

void ForEachBlockEvent(std::wstring_view Text, TLineBreaks Breaks, bool Lines,
                       const std::function<void(const TBlockTake&)>& ForEachBlock, TBlockEvents& Events) {
    TPartEvents Part(Text, 0, 1, Breaks, Lines, Events);
    ForEachBlock([&Part](const TMatchBlock& Block) { Part.Block(Block); });
    Part.Finish(false);
}

TBlockPieces::TBlockPieces(const TextScanner& Scanner, const std::wstring* ReplaceWith, TLineBreaks Breaks,
                           bool Lines, TBlockEvents& Events)
    : FScanner(Scanner), FReplaceWith(ReplaceWith), FBreaks(Breaks), FLines(Lines), FEvents(Events),
      FContain(Scanner) {
    Reset();
}

void TBlockPieces::Reset() {
    FHeld.clear();
    FHeldStart = FEnd = FPartStart = FFrom = FContainAt = FLastStart = FStartsKnownTo = 0;
    FPartLine = 1;
    FHits.clear();
    FFirstBreak.clear();
    FBreakSeen = false;
    // Case-sensitively every occurrence counts; otherwise the linguistic rule
    // must agree, which the occurrences or the counter beside them settle.
    FAdmitted = FScanner.CaseSensitive() || FScanner.TextToFind().empty();
    FContaining = !FAdmitted;
    FContain.Reset();
}

std::size_t TBlockPieces::Take(std::wstring_view Text, bool Last) {
    FHeld.append(Text);
    FEnd += Text.size();
    FMostHeld = std::max(FMostHeld, FHeld.size());
    // A CR or a high surrogate at the end waits for the unit after it.
    std::size_t ScanEnd = FEnd;
    if (!Last && FEnd > FHeldStart && (FHeld.back() == L'\r' || IS_HIGH_SURROGATE(FHeld.back()))) --ScanEnd;
    FindHits(ScanEnd, Last);

    // Held occurrences that the rule has not admitted yet keep their lines back.
    std::size_t Limit = Last ? FEnd : std::min(FFrom, ScanEnd);
    if (!FAdmitted && !Last && !FHits.empty()) Limit = std::min(Limit, FHits.front().first);
    if (const std::size_t Cut = Last ? FEnd : CutPoint(Limit); Cut > FPartStart) HandOver(Cut);

    if (Last) {
        FHeld.clear();
        FHeldStart = FEnd;
        return 0;
    }
    // What is still needed: the part not handed over and the unit before it,
    // the units before the scan's resumption, the counter's kept units. Dropped
    // once it is half the text held, so the text is moved seldom.
    std::size_t Keep = std::min(FPartStart - (FPartStart > 0 ? 1 : 0), FFrom - std::min(FFrom, ScanContext));
    if (FContaining) Keep = std::min(Keep, FContainAt);
    if (Keep > FHeldStart && 2 * (Keep - FHeldStart) >= FHeld.size()) {
        FHeld.erase(0, Keep - FHeldStart);
        FHeldStart = Keep;
    }
    return 0;
}

void TBlockPieces::FindHits(std::size_t ScanEnd, bool Last) {
    const std::wstring_view View = Held(FHeldStart, ScanEnd);
    const std::size_t Known = FHits.size();
    const std::size_t Next = FScanner.ForEach(
        View, std::min(FFrom, ScanEnd) - FHeldStart,
        [this](std::size_t Start, std::size_t End) { FHits.emplace_back(Start + FHeldStart, End + FHeldStart); },
        !Last);
    FFrom = Next + FHeldStart;
    if (!FAdmitted && FHits.size() > Known) {
        // The new occurrences (with the units before the first) settle the rule when one agrees.
        const std::size_t First = FHits[Known].first;
        const std::size_t From = First - std::min(First - FHeldStart, ScanContext);
        FAdmitted = FScanner.Admits(Held(From, ScanEnd), First - From);
    }
    if (FContaining && !FAdmitted) {
        const std::size_t Keep = FContain.Take(Held(FContainAt, FEnd), Last);
        FContainAt = FEnd - Keep;
        if (Last) FAdmitted = FContain.Count() > 0;
    }
    if (FAdmitted) FContaining = false;
}

bool TBlockPieces::StartsLine(std::size_t Position) const {
    const wchar_t Unit = FHeld[Position - 1 - FHeldStart];
    return Unit == L'\n' ||
           (FBreaks == TLineBreaks::Any && Unit == L'\r' && FHeld[Position - FHeldStart] != L'\n');
}

std::size_t TBlockPieces::LastLineStart(std::size_t Limit) {
    // What was looked through is not looked through again: a long line is
    // searched once, not once for each piece of it.
    std::size_t Floor = FPartStart;
    if (Limit >= FStartsKnownTo) {
        Floor = std::max(Floor, FStartsKnownTo);
    } else if (Limit >= FLastStart) {
        return std::max(FLastStart, FPartStart);
    }
    for (std::size_t Position = Limit; Position > Floor; --Position)
        if (StartsLine(Position)) {
            if (Limit >= FStartsKnownTo) FLastStart = Position, FStartsKnownTo = Limit;
            return Position;
        }
    if (Limit >= FStartsKnownTo) {
        FStartsKnownTo = Limit;
        return std::max(FLastStart, FPartStart);
    }
    return FPartStart;
}

std::size_t TBlockPieces::CutPoint(std::size_t Limit) {
    // The last line start at or before Limit whose line before it no block can
    // reach past: no occurrence before it ends after it, nor ends just at it
    // with a replacement (whose new text might then join the next line).
    std::size_t Hit = FHits.size();
    while (Limit > FPartStart) {
        const std::size_t Cut = LastLineStart(Limit);
        if (Cut <= FPartStart) return FPartStart;
        while (Hit > 0 && FHits[Hit - 1].first >= Cut) --Hit;
        if (Hit == 0) return Cut;
        const std::size_t HitEnd = FHits[Hit - 1].second;
        if (HitEnd < Cut || (HitEnd == Cut && FReplaceWith == nullptr)) return Cut;
        Limit = FHits[Hit - 1].first;
    }
    return FPartStart;
}

void TBlockPieces::HandOver(std::size_t Cut) {
    const std::size_t Lead = FPartStart > 0 ? 1 : 0;
    const std::size_t PartStart = FPartStart - Lead;
    const std::wstring_view Part = Held(PartStart, Cut);
    if (!FBreakSeen) {
        const std::size_t First = Part.find_first_of(L"\r\n");
        if (First != std::wstring_view::npos) {
            FFirstBreak = Part.substr(First, LineBreakAt(Part, First));
            FBreakSeen = true;
        }
    }
    std::size_t Count = 0;
    while (Count < FHits.size() && FHits[Count].first < Cut) ++Count;
    TPartEvents Events(Part, PartStart, FPartLine - static_cast<std::int64_t>(Lead), FBreaks, FLines, FEvents, Lead);
    if (FAdmitted && Count > 0) {
        std::vector<std::pair<std::size_t, std::size_t>> Hits(FHits.begin(), FHits.begin() + Count);
        for (auto& [Start, End] : Hits) Start -= PartStart, End -= PartStart;
        ForEachHitBlock(
            Part, Hits, FReplaceWith != nullptr,
            [&](std::wstring& Out, std::size_t Start, std::size_t End) { AppendAfter(Out, Part, Start, End); },
            FBreaks, [&Events](const TMatchBlock& Block) { Events.Block(Block); });
    }
    FPartLine = Events.Finish(true);
    FHits.erase(FHits.begin(), FHits.begin() + Count);
    FPartStart = Cut;
}

void TBlockPieces::AppendAfter(std::wstring& Out, std::wstring_view Segment, std::size_t Start,
                               std::size_t End) const {
    // A replacement's line breaks follow the occurrence's own, else the text's
    // first one: the writer is shown that one before the occurrence.
    std::wstring Shown = FFirstBreak;
    Shown.append(Segment.substr(Start, End - Start));
    ReplacementWriter(Shown, *FReplaceWith).Append(Out, FFirstBreak.size(), Shown.size());
}
