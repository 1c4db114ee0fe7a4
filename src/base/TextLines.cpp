#include "base/TextLines.h"

#include <optional>

namespace {

// Walks a text forward once, keeping the number and start of the line a
// position is in: the state a walk over consecutive pieces would carry.
class LineCursor {
public:
    LineCursor(std::wstring_view Text, TLineBreaks Breaks) : FText(Text), FBreaks(Breaks) {}

    // Moves to Position (never backwards).
    void MoveTo(std::size_t Position) {
        for (std::size_t I = FScanned; I < Position; ++I)
            if (EndsLineAt(I)) {
                ++FLine;
                FLineStart = I + 1;
            }
        if (Position > FScanned) FScanned = Position;
    }
    std::int64_t Line() const { return FLine; }
    std::size_t LineStart() const { return FLineStart; }

    // Offset just after the line end of the line holding Position (or the text's end).
    std::size_t LineEndAfter(std::size_t Position) const {
        for (std::size_t I = Position; I < FText.size(); ++I)
            if (EndsLineAt(I)) return I + 1;
        return FText.size();
    }
    // Whether a line break ends at I + 1.
    bool EndsLineAt(std::size_t I) const {
        const wchar_t U = FText[I];
        if (U == L'\n') return true;
        return FBreaks == TLineBreaks::Any && U == L'\r' && (I + 1 == FText.size() || FText[I + 1] != L'\n');
    }

private:
    std::wstring_view FText;
    TLineBreaks FBreaks;
    std::size_t FScanned = 0;
    std::int64_t FLine = 1;
    std::size_t FLineStart = 0;
};

}  // namespace

std::size_t LineEndLength(std::wstring_view Line) {
    if (Line.empty()) return 0;
    if (Line.back() == L'\n') return Line.size() >= 2 && Line[Line.size() - 2] == L'\r' ? 2 : 1;
    return Line.back() == L'\r' ? 1 : 0;
}

namespace {

// The blocks of the occurrences ForEachHit gives (each as Hit, HitEnd, in order),
// their new text written by AppendAfter(Out, Hit, HitEnd) when WithAfter.
template <class TForEachHit, class TAppendAfter>
void BuildBlocks(std::wstring_view Text, bool WithAfter, TLineBreaks Breaks, TForEachHit&& ForEachHit,
                 TAppendAfter&& AppendAfter, const std::function<void(const TMatchBlock&)>& Take) {
    LineCursor Cursor(Text, Breaks);
    TMatchBlock Block;  // the block being gathered, while Open
    bool Open = false;
    std::size_t Copied = 0;  // Text before this offset is in Block.After already

    // Whether the new text of the block ends where its old lines did: otherwise
    // the line after it would join its last line.
    auto EndsCleanly = [&](const TMatchBlock& Block) {
        if (Block.End == Text.size() || !WithAfter) return true;
        const wchar_t Last = Copied < Block.End ? Text[Block.End - 1]
                             : !Block.After.empty() ? Block.After.back()
                             : Block.Start > 0 ? Text[Block.Start - 1] : L'\n';
        if (Last == L'\n') return true;
        return Breaks == TLineBreaks::Any && Last == L'\r' && Text[Block.End] != L'\n';
    };
    auto Flush = [&] {
        while (!EndsCleanly(Block)) Block.End = Cursor.LineEndAfter(Block.End);
        if (WithAfter) Block.After.append(Text.substr(Copied, Block.End - Copied));
        Copied = Block.End;
        // The old lines: those the cursor passes up to the block's last unit.
        Cursor.MoveTo(Block.End - 1);
        Block.LineCount = Cursor.Line() - Block.FirstLine + 1;
        Take(Block);
        Open = false;
    };
    ForEachHit([&](std::size_t Hit, std::size_t HitEnd) {
        if (Open) {
            while (Hit >= Block.End && !EndsCleanly(Block)) Block.End = Cursor.LineEndAfter(Block.End);
            if (Hit >= Block.End) Flush();
        }
        if (!Open) {
            Cursor.MoveTo(Hit);
            Block = TMatchBlock{};
            Block.Start = Cursor.LineStart();
            Block.FirstLine = Cursor.Line();
            Block.End = Block.Start;
            Copied = Block.Start;
            Open = true;
        }
        Block.Matches.push_back(Hit);
        Block.MatchEnds.push_back(HitEnd);
        if (HitEnd > Block.End) Block.End = Cursor.LineEndAfter(HitEnd - 1);
        if (WithAfter) {
            Block.After.append(Text.substr(Copied, Hit - Copied));
            Block.NewStarts.push_back(Block.After.size());
            AppendAfter(Block.After, Hit, HitEnd);
            Block.NewEnds.push_back(Block.After.size());
            Copied = HitEnd;
        }
    });
    if (Open) Flush();
}

}  // namespace

void ForEachMatchBlock(std::wstring_view Text, const TextScanner& Scanner, const std::wstring* ReplaceWith,
                       TLineBreaks Breaks, const std::function<void(const TMatchBlock&)>& Take) {
    const std::size_t First = Scanner.Find(Text, 0);
    if (!Scanner.Admits(Text, First)) return;
    const OccurrenceReplacer Writer(Scanner, Text,
                                    ReplaceWith != nullptr ? std::wstring_view(*ReplaceWith) : std::wstring_view());
    BuildBlocks(
        Text, ReplaceWith != nullptr, Breaks, [&](auto&& Hit) { Scanner.ForEach(Text, First, Hit); },
        [&](std::wstring& Out, std::size_t Hit, std::size_t HitEnd) { Writer.Append(Out, Hit, HitEnd); }, Take);
}

void ForEachEditBlock(std::wstring_view Text, const std::vector<TTextEdit>& Edits, bool WithAfter,
                      TLineBreaks Breaks, const std::function<void(const TMatchBlock&)>& Take) {
    std::size_t Next = 0;  // the edit whose new text comes next
    BuildBlocks(
        Text, WithAfter, Breaks,
        [&](auto&& Hit) {
            for (const TTextEdit& Edit : Edits) Hit(Edit.Start, Edit.End);
        },
        [&](std::wstring& Out, std::size_t, std::size_t) { Out += Edits[Next++].After; }, Take);
}

void ForEachHitBlock(std::wstring_view Text, const std::vector<std::pair<std::size_t, std::size_t>>& Hits,
                     bool WithAfter, const TAppendAfter& AppendAfter, TLineBreaks Breaks,
                     const std::function<void(const TMatchBlock&)>& Take) {
    BuildBlocks(
        Text, WithAfter, Breaks,
        [&](auto&& Hit) {
            for (const auto& [Start, End] : Hits) Hit(Start, End);
        },
        AppendAfter, Take);
}

std::vector<TLineMatch> MatchesInLines(std::wstring_view Text, std::wstring_view TextToFind, bool CaseSensitive,
                                       const std::wstring* ReplaceWith) {
    std::vector<TLineMatch> Result;
    if (Text.empty() || TextToFind.empty()) return Result;
    const TextScanner Scanner(TextToFind, CaseSensitive);
    ForEachMatchBlock(Text, Scanner, ReplaceWith, TLineBreaks::Any, [&](const TMatchBlock& Block) {
        std::wstring_view Old = Text.substr(Block.Start, Block.End - Block.Start);
        const std::size_t OldEnd = LineEndLength(Old);
        Old.remove_suffix(OldEnd);
        // The new lines end where the old ones did (the block guarantees it).
        std::wstring_view New = Block.After;
        New.remove_suffix(OldEnd == 0 ? 0 : LineEndLength(New));
        // Line and column of each occurrence within the block.
        LineCursor Cursor(Old, TLineBreaks::Any);
        for (const std::size_t Hit : Block.Matches) {
            Cursor.MoveTo(Hit - Block.Start);
            TLineMatch Match;
            Match.Line = Block.FirstLine + Cursor.Line() - 1;
            Match.Column = static_cast<std::int64_t>(Hit - Block.Start - Cursor.LineStart()) + 1;
            Match.FirstLine = Block.FirstLine;
            Match.LineCount = Block.LineCount;
            Match.Text = Old;
            Match.After = New;
            Result.push_back(std::move(Match));
        }
    });
    return Result;
}
