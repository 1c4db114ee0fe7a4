#include "base/TextLinePieces.h"

#include "LocaleScope.h"
#include "RandomText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every event as one line of text, so two runs compare as two lists.
class TRecorder final : public TBlockEvents {
public:
    std::vector<std::wstring> Events;
    void Line(std::int64_t Number, std::wstring_view Text) override {
        Events.push_back(L"line " + std::to_wstring(Number) + L" [" + std::wstring(Text) + L"]");
    }
    void Block(const TMatchBlock& Block, std::wstring_view Old) override {
        std::wstring Event = L"block " + std::to_wstring(Block.Start) + L"-" + std::to_wstring(Block.End) + L" line " +
                             std::to_wstring(Block.FirstLine) + L"+" + std::to_wstring(Block.LineCount) + L" at";
        for (std::size_t I = 0; I < Block.Matches.size(); ++I)
            Event += L" " + std::to_wstring(Block.Matches[I]) + L"-" + std::to_wstring(Block.MatchEnds[I]);
        for (std::size_t I = 0; I < Block.NewStarts.size(); ++I)
            Event += L" new " + std::to_wstring(Block.NewStarts[I]) + L"-" + std::to_wstring(Block.NewEnds[I]);
        Events.push_back(Event + L" [" + std::wstring(Old) + L"] -> [" + Block.After + L"]");
    }
};

std::vector<std::wstring> WholeEvents(std::wstring_view Text, const TextScanner& Scanner, const std::wstring* With,
                                      TLineBreaks Breaks, bool Lines) {
    TRecorder Recorder;
    ForEachBlockEvent(
        Text, Breaks, Lines,
        [&](const TBlockTake& Take) { ForEachMatchBlock(Text, Scanner, With, Breaks, Take); }, Recorder);
    return Recorder.Events;
}

// Text handed over at the given ends of its pieces.
std::vector<std::wstring> PieceEvents(std::wstring_view Text, const TextScanner& Scanner, const std::wstring* With,
                                      TLineBreaks Breaks, bool Lines, const std::vector<std::size_t>& Ends,
                                      std::size_t* MostHeld = nullptr) {
    TRecorder Recorder;
    TBlockPieces Pieces(Scanner, With, Breaks, Lines, Recorder);
    std::size_t Position = 0;
    for (const std::size_t End : Ends) {
        EXPECT_EQ(Pieces.Take(Text.substr(Position, End - Position), End == Text.size()), 0u);
        Position = End;
    }
    if (MostHeld) *MostHeld = Pieces.MostHeld();
    return Recorder.Events;
}

// Random lines holding the text to find here and there, so that blocks chain,
// join and stand apart, and occurrences fall on piece ends.
std::wstring RandomLines(RandomText& Random, const std::wstring& Find, std::size_t Lines) {
    const wchar_t* const Ends[] = {L"\r\n", L"\n", L"\r", L""};
    std::wstring Text;
    for (std::size_t Line = 0; Line < Lines; ++Line) {
        Text += Random.Text(8);
        if (!Find.empty() && Random.Below(3) == 0) Text += Find;
        Text += Ends[Random.Below(4)];
    }
    return Text;
}

}  // namespace

// Blocks, their old and new texts, line numbers and the lines between them come
// out of the pieces exactly as out of the whole text, with occurrences, CR LF,
// surrogate pairs and case-insensitive matches split by piece ends of every size
// and random ones, line breaks in the text to find and in the replacement, and
// a replacement that removes a line end (the next line joins the block).
TEST(TextLinePieces, BlocksAndLinesAsInTheWholeText) {
    const LCID Locales[] = {1033, 1053, 1055};
    const wchar_t* const Replacements[] = {L"", L"<>", L"\r\n", L"\n", L"\r", L"\U00010400", L"a\nb"};
    RandomText Random(5107);
    int Compared = 0, WithBlocks = 0;
    for (int Round = 0; Round < 1500; ++Round) {
        LocaleScope Scope(Locales[Random.Below(3)]);
        std::wstring Find = Random.Needle(Random.Text(20));
        if (Random.Below(4) == 0) Find += Random.Below(2) ? L"\r\n" : L"\n";
        const std::wstring Text = RandomLines(Random, Find, 3 + Random.Below(25));
        const std::wstring With = Replacements[Random.Below(std::size(Replacements))];
        for (const bool CaseSensitive : {true, false}) {
            const TextScanner Scanner(Find, CaseSensitive, {false, Random.Below(5) == 0});
            for (const TLineBreaks Breaks : {TLineBreaks::Any, TLineBreaks::LfOnly}) {
                const std::wstring* Replace = Random.Below(3) == 0 ? nullptr : &With;
                const bool Lines = Random.Below(4) != 0;
                const std::vector<std::wstring> Whole = WholeEvents(Text, Scanner, Replace, Breaks, Lines);
                WithBlocks += !Whole.empty() && Whole.back().starts_with(L"block");
                SCOPED_TRACE(testing::Message() << "round " << Round << ", case " << CaseSensitive << ", LF only "
                                                << (Breaks == TLineBreaks::LfOnly));
                for (const std::size_t Size : {1, 2, 3, 5, 8, 13}) {
                    ASSERT_EQ(PieceEvents(Text, Scanner, Replace, Breaks, Lines, EveryUnits(Text.size(), Size)), Whole)
                        << "size " << Size;
                    ++Compared;
                }
                ASSERT_EQ(PieceEvents(Text, Scanner, Replace, Breaks, Lines, RandomEnds(Random, Text.size())), Whole);
            }
        }
    }
    // The random texts hold what they should test.
    EXPECT_GT(WithBlocks, 2000);
    EXPECT_GT(Compared, 20000);
}

// The cases the random texts may miss, each split at every place.
TEST(TextLinePieces, SplitsThatMatter) {
    struct TCase {
        LCID Locale;
        const wchar_t* Text;
        const wchar_t* Find;
        bool CaseSensitive;
        const wchar_t* With;
    } Cases[] = {
        {1033, L"x\r\nab\r\ny", L"ab", true, L"-"},           // a CR LF split in two
        {1033, L"ab\r\nc\nab", L"ab\r\n", true, L""},          // the line after joins the block
        {1033, L"one\ntwo ab\nab three\n", L"ab\nab", true, L"X"},  // an occurrence over a line end
        {1033, L"q\U00010428\nx \U00010400", L"\U00010400", false, L"y"},  // a pair upper-cased as one
        {1055, L"FILE\nF\u0130LE\nfile", L"file", false, L"f"},  // Turkish: held linguistically by "FİLE" only
        {1055, L"I\nI\nI", L"i", false, L"j"},                  // ... but never in "I": no block at all
        {1033, L"no break ab", L"ab", true, L"\n"},             // the replacement's break without one in the text
        {1033, L"ab\rx\r\n", L"ab", true, L"1\n2"},            // ... and the text's first break after the occurrence
        {1033, L"x\ra\n\ny", L"a\n", true, L""},            // the unit before a block decides how it ends
        {1033, L"a\rb\n\nc", L"b\n", true, L""},             // the unit before a block decides whether it ends cleanly
    };
    for (const TCase& C : Cases) {
        LocaleScope Scope(C.Locale);
        const TextScanner Scanner(C.Find, C.CaseSensitive);
        const std::wstring With = C.With;
        const std::wstring_view Text = C.Text;
        for (const TLineBreaks Breaks : {TLineBreaks::Any, TLineBreaks::LfOnly}) {
            const std::vector<std::wstring> Whole = WholeEvents(Text, Scanner, &With, Breaks, true);
            for (std::size_t Split = 0; Split <= Text.size(); ++Split)
                EXPECT_EQ(PieceEvents(Text, Scanner, &With, Breaks, true, {Split, Text.size()}), Whole)
                    << testing::PrintToString(std::wstring(Text)) << " split " << Split;
        }
    }
}

// A long text of short lines with occurrences all through it is held a piece and
// a few lines at a time, not whole; a line that is one long block is held whole,
// as it must be to be handed over.
TEST(TextLinePieces, HoldsPiecesNotTheText) {
    std::wstring Text;
    for (int Line = 0; Line < 40000; ++Line) Text += Line % 7 == 0 ? L"a needle here\r\n" : L"hay and more hay\n";
    const TextScanner Scanner(L"NEEDLE", false);
    const std::wstring With = L"pin";
    std::size_t MostHeld = 0;
    const std::vector<std::wstring> Pieces =
        PieceEvents(Text, Scanner, &With, TLineBreaks::Any, true, EveryUnits(Text.size(), 4096), &MostHeld);
    EXPECT_EQ(Pieces, WholeEvents(Text, Scanner, &With, TLineBreaks::Any, true));
    EXPECT_LE(MostHeld, 3u * 4096);
    EXPECT_GT(Text.size(), 100u * 4096);

    const std::wstring Long = L"start " + std::wstring(50000, L'x') + L" needle " + std::wstring(50000, L'y') + L"\n";
    PieceEvents(Long, Scanner, &With, TLineBreaks::Any, false, EveryUnits(Long.size(), 4096), &MostHeld);
    EXPECT_GE(MostHeld, Long.size() - 4096);
}
