// Occurrences in their lines, and the agreement of counting, replacing and
// listing, which all take their occurrences from one scanner.
#include "base/TextLines.h"
#include "base/TextMatching.h"

#include "LineBreakReference.h"
#include "LocaleScope.h"
#include "RandomText.h"
#include "TextBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

struct LineCase {
    const wchar_t* Text;
    const wchar_t* Find;
    bool CaseSensitive;
    const wchar_t* With;
    // Per occurrence: line, column, lines shown, the old lines, the new lines.
    struct Expected {
        std::int64_t Line, Column, LineCount;
        const wchar_t* Old;
        const wchar_t* New;
    };
    std::vector<Expected> Matches;
};

TEST(TextLines, OccurrencesInTheirLines) {
    const LineCase Cases[] = {
        // Every kind of line end; the first and the last line (without a line end).
        {L"ab\r\ncab\ncab\rab", L"ab", true, L"X",
         {{1, 1, 1, L"ab", L"X"}, {2, 2, 1, L"cab", L"cX"}, {3, 2, 1, L"cab", L"cX"}, {4, 1, 1, L"ab", L"X"}}},
        // Empty lines count; two occurrences in one line show the same line.
        {L"\n\r\n\rx x\n", L"x", true, L"yy", {{4, 1, 1, L"x x", L"yy yy"}, {4, 3, 1, L"x x", L"yy yy"}}},
        // An occurrence across a line break belongs to its first line and shows both.
        {L"one\r\ntwo\nthree", L"e\r\nt", true, L"-", {{1, 3, 2, L"one\r\ntwo", L"on-wo"}}},
        // A typed CR is a line break, and matches a CR LF whole: the lines join.
        {L"a\r\nb", L"\r", true, L"", {{1, 2, 2, L"a\r\nb", L"ab"}}},
        // A two-line text in a file with other line ends; the replacement's line
        // break is written as the one it replaces.
        {L"x\none\ntwo", L"E\r\nT", false, L"1\r\n2", {{2, 3, 2, L"one\ntwo", L"on1\n2wo"}}},
        {L"one\rtwo\r", L"one\n", true, L"1\n", {{1, 1, 1, L"one", L"1"}}},
        // Occurrences touching each other, and a chain of lines joined by them:
        // the replacement removes the line ends, so the lines become one.
        {L"a\nb\nc", L"\n", true, L"", {{1, 2, 3, L"a\nb\nc", L"abc"}, {2, 2, 3, L"a\nb\nc", L"abc"}}},
        {L"aaaa", L"aa", true, L"b", {{1, 1, 1, L"aaaa", L"bb"}, {1, 3, 1, L"aaaa", L"bb"}}},
        // Columns count UTF-16 units; surrogate pairs compare as pairs ignoring case.
        {L"\U00010428a\U00010428", L"\U00010400", false, L"Z",
         {{1, 1, 1, L"\U00010428a\U00010428", L"ZaZ"}, {1, 4, 1, L"\U00010428a\U00010428", L"ZaZ"}}},
        // Ignoring case, with letters beyond ASCII.
        {L"x\n\u00C4PPLE \u00E4pple", L"\u00E4PPLE", false, L"Pear",
         {{2, 1, 1, L"\u00C4PPLE \u00E4pple", L"Pear Pear"}, {2, 7, 1, L"\u00C4PPLE \u00E4pple", L"Pear Pear"}}},
        // Case-sensitively the other case is no occurrence.
        {L"Apple", L"apple", true, L"x", {}},
    };
    for (const LineCase& Case : Cases) {
        const std::wstring With = Case.With;
        const std::vector<TLineMatch> Matches = MatchesInLines(Case.Text, Case.Find, Case.CaseSensitive, &With);
        SCOPED_TRACE(HexUnits(Case.Text) + " / " + HexUnits(Case.Find));
        ASSERT_EQ(Matches.size(), Case.Matches.size());
        for (std::size_t I = 0; I < Matches.size(); ++I) {
            EXPECT_EQ(Matches[I].Line, Case.Matches[I].Line) << I;
            EXPECT_EQ(Matches[I].Column, Case.Matches[I].Column) << I;
            EXPECT_EQ(Matches[I].LineCount, Case.Matches[I].LineCount) << I;
            EXPECT_EQ(HexUnits(Matches[I].Text), HexUnits(Case.Matches[I].Old)) << I;
            EXPECT_EQ(HexUnits(Matches[I].After), HexUnits(Case.Matches[I].New)) << I;
        }
    }
}

// Line starts by the plain rule (CR LF, LF or CR ends a line).
std::vector<std::size_t> LineStarts(std::wstring_view Text) {
    std::vector<std::size_t> Starts{0};
    for (std::size_t I = 0; I < Text.size(); ++I) {
        if (Text[I] == L'\r' && I + 1 < Text.size() && Text[I + 1] == L'\n') ++I;
        if (Text[I] == L'\r' || Text[I] == L'\n') Starts.push_back(I + 1);
    }
    return Starts;
}

// The text with each block's lines swapped for their new form; Spans receives
// where each occurrence starts and ends.
std::wstring Rebuilt(std::wstring_view Text, std::wstring_view Find, bool CaseSensitive, const std::wstring& With,
                     TLineBreaks Breaks, std::vector<std::pair<std::size_t, std::size_t>>& Spans) {
    std::wstring Result;
    std::size_t Kept = 0;
    Spans.clear();
    ForEachMatchBlock(Text, TextScanner(Find, CaseSensitive), &With, Breaks, [&](const TMatchBlock& Block) {
        Result.append(Text.substr(Kept, Block.Start - Kept));
        Result.append(Block.After);
        Kept = Block.End;
        for (std::size_t I = 0; I < Block.Matches.size(); ++I) Spans.emplace_back(Block.Matches[I], Block.MatchEnds[I]);
    });
    return Result.append(Text.substr(Kept));
}

TEST(TextLines, CountReplaceAndListingAgreeOnRandomTexts) {
    const LCID Locales[] = {1033, 1053, 1055};
    const wchar_t* const Replacements[] = {L"", L"<>", L"\r\n", L"\n", L"\r", L"\U00010400"};
    RandomText Random(7319);
    int Failures = 0;
    for (int Round = 0; Round < 3000 && Failures < 5; ++Round) {
        LocaleScope Scope(Locales[Random.Below(3)]);
        const std::wstring Text = Random.Text(Round % 10 == 0 ? 300 : 30);
        const std::wstring Find = Random.Needle(Text);
        const std::wstring With = Replacements[Random.Below(std::size(Replacements))];
        for (bool CaseSensitive : {true, false}) {
            SCOPED_TRACE(HexUnits(Text) + " / " + HexUnits(Find) + " / " + HexUnits(With) +
                         (CaseSensitive ? " case-sensitive" : " ignoring case"));
            const std::int32_t Count = CountMatches(Text, Find, CaseSensitive);
            const std::vector<TLineMatch> Matches = MatchesInLines(Text, Find, CaseSensitive, &With);
            const std::vector<RefOccurrence> Expected =
                CaseSensitive ? RefOccurrences(Text, Find, Text, Find)
                              : RefOccurrences(Text, Find, UpperCased(Text), UpperCased(Find));
            bool Same = static_cast<std::int32_t>(Matches.size()) == Count;
            if (Count > 0) {
                const std::wstring Replaced = ReplaceAll(Text, Find, With, CaseSensitive);
                std::vector<std::pair<std::size_t, std::size_t>> Spans, LfSpans;
                Same = Same && Rebuilt(Text, Find, CaseSensitive, With, TLineBreaks::Any, Spans) == Replaced &&
                       Rebuilt(Text, Find, CaseSensitive, With, TLineBreaks::LfOnly, LfSpans) == Replaced &&
                       Spans == LfSpans && Spans.size() == Expected.size();
                for (std::size_t I = 0; Same && I < Spans.size(); ++I)
                    Same = Spans[I].first == Expected[I].Start && Spans[I].second == Expected[I].End;
            }
            // Each line and column points at an occurrence, in order.
            const std::vector<std::size_t> Starts = LineStarts(Text);
            Same = Same && (Count == 0 || Matches.size() == Expected.size());
            for (std::size_t I = 0; Same && I < Matches.size(); ++I) {
                const TLineMatch& Match = Matches[I];
                const std::size_t At = Starts[Match.Line - 1] + static_cast<std::size_t>(Match.Column) - 1;
                Same = At == Expected[I].Start &&
                       Text.compare(Starts[Match.FirstLine - 1], Match.Text.size(), Match.Text) == 0;
            }
            if (!Same) {
                ++Failures;
                ADD_FAILURE() << "count " << Count << ", listed " << Matches.size();
            }
        }
    }
}

}  // namespace
