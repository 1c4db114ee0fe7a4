// Line breaks in the text to find and in the replacement: a typed CR LF, LF or
// CR matches any line break of the text, and a replacement's line breaks are
// written as the text's own.
#include "base/TextLines.h"
#include "base/TextMatching.h"
#include "base/TextScanner.h"

#include "LocaleScope.h"
#include "RandomText.h"
#include "TextBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const wchar_t* const LineEnds[] = {L"\r\n", L"\n", L"\r"};

// "{0}" in a pattern stands for a line end.
std::wstring WithEnds(std::wstring_view Pattern, std::wstring_view End) {
    std::wstring Result;
    for (std::size_t I = 0; I < Pattern.size(); ++I) {
        if (Pattern.substr(I, 3) == L"{0}") {
            Result += End;
            I += 2;
        } else {
            Result += Pattern[I];
        }
    }
    return Result;
}

TEST(TextLineBreaks, ATwoLineTextIsFoundWhateverTheLineEnds) {
    // A file in each line-end style; the text to find typed with each.
    const std::wstring_view File = L"begin{0}end{0}Begin{0}END{0}begin end{0}begin{0}{0}end";
    for (const wchar_t* FileEnd : LineEnds)
        for (const wchar_t* TypedEnd : LineEnds) {
            const std::wstring Text = WithEnds(File, FileEnd);
            const std::wstring Find = WithEnds(L"begin{0}end", TypedEnd);
            const std::wstring With = WithEnds(L"one{0}two{0}three", TypedEnd);
            SCOPED_TRACE(HexUnits(FileEnd) + "in the file, typed " + HexUnits(TypedEnd));
            EXPECT_TRUE(TextContains(Text, Find, true));
            EXPECT_EQ(CountMatches(Text, Find, true), 1);
            EXPECT_EQ(CountMatches(Text, Find, false), 2);
            // The replacement's line breaks come out as the file's.
            EXPECT_EQ(HexUnits(ReplaceAll(Text, Find, With, true)),
                      HexUnits(WithEnds(L"one{0}two{0}three{0}Begin{0}END{0}begin end{0}begin{0}{0}end", FileEnd)));
            EXPECT_EQ(HexUnits(ReplaceAll(Text, Find, With, false)),
                      HexUnits(WithEnds(L"one{0}two{0}three{0}one{0}two{0}three{0}begin end{0}begin{0}{0}end", FileEnd)));
            // Two typed line breaks need two in the file.
            EXPECT_EQ(CountMatches(Text, WithEnds(L"begin{0}{0}end", TypedEnd), true), 1);
        }
}

TEST(TextLineBreaks, LineBreaksMatchWholeAndWithoutOverlap) {
    struct Case {
        const wchar_t* Text;
        const wchar_t* Find;
        std::int32_t Count;
        const wchar_t* Replaced;  // every occurrence replaced by "#"
    };
    const Case Cases[] = {
        // A CR LF is one line break, never two and never half of one.
        {L"a\r\nb", L"\n", 1, L"a#b"},
        {L"a\r\nb", L"\r", 1, L"a#b"},
        {L"\r\n\r\n", L"\n\n", 1, L"#"},
        {L"\r\n\r\n", L"\r\n", 2, L"##"},
        {L"\r\r\n\n", L"\n\n\n", 1, L"#"},
        {L"\r\n", L"\n\r", 0, L"\r\n"},
        {L"\n\r", L"\n\r", 1, L"#"},
        {L"\n\r", L"\r\n", 2, L"##"},
        {L"x\r\ny", L"x\n\ny", 0, L"x\r\ny"},
        // Occurrences taken leftmost first, never overlapping.
        {L"a\na\r\na\ra", L"a\na", 2, L"#\r\n#"},
        {L"a\r\na\r\na", L"a\r\na", 1, L"#\r\na"},
        // At the ends of the text: a CR LF at the end is taken whole.
        {L"end\r", L"d\n", 1, L"en#"},
        {L"end\r\n", L"d\r", 1, L"en#"},
        {L"end\r\n", L"\n", 1, L"end#"},
        {L"\r\nstart", L"\nst", 1, L"#art"},
        {L"\nstart", L"\r\nst", 1, L"#art"},
        {L"end", L"end\n", 0, L"end"},
        // A text to find that is one line break counts the lines ended.
        {L"1\r\n2\n3\r4\r\n", L"\r\n", 4, L"1#2#3#4#"},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(HexUnits(C.Text) + "/ " + HexUnits(C.Find));
        EXPECT_EQ(CountMatches(C.Text, C.Find, true), C.Count);
        EXPECT_EQ(CountMatches(C.Text, C.Find, false), C.Count);
        EXPECT_EQ(HexUnits(ReplaceAll(C.Text, C.Find, L"#", true)), HexUnits(C.Replaced));
        EXPECT_EQ(static_cast<std::int32_t>(MatchesInLines(C.Text, C.Find, true, nullptr).size()), C.Count);
    }
}

TEST(TextLineBreaks, AReplacementsLineBreaksAreTheFilesOwn) {
    struct Case {
        const wchar_t* Text;
        const wchar_t* Find;
        const wchar_t* With;
        const wchar_t* Expected;
    };
    const Case Cases[] = {
        // Spanning none: the file's first line break, CR LF when it has none.
        {L"a;b\nc;d\r\n", L";", L";\r\n", L"a;\nb\nc;\nd\r\n"},
        {L"a;b\rc", L";", L"\n", L"a\rb\rc"},
        {L"a;b", L";", L"\r", L"a\r\nb"},
        // A mixed file: each line break written as the one it replaces, one
        // beyond those as the last replaced.
        {L"one\r\ntwo\nthree\rfour", L"one\ntwo\nthree", L"1\n2\n3", L"1\r\n2\n3\rfour"},
        {L"one\r\ntwo\nthree\rfour", L"one\ntwo\nthree", L"1\r2", L"1\r\n2\rfour"},
        {L"one\r\ntwo\nthree", L"one\ntwo", L"1\n2\n\n3", L"1\r\n2\r\n\r\n3\nthree"},
        {L"x\ny\r\nz", L"x\ny\nz", L"xyz", L"xyz"},
        // Without a line break the replacement is written as it is.
        {L"a\nb", L"a\nb", L"\t", L"\t"},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(HexUnits(C.Text) + "/ " + HexUnits(C.Find) + "/ " + HexUnits(C.With));
        const std::wstring Replaced = ReplaceAll(C.Text, C.Find, C.With, true);
        EXPECT_EQ(HexUnits(Replaced), HexUnits(C.Expected));
        // The listing's new lines are the same text.
        const std::wstring With = C.With;
        std::wstring Rebuilt(C.Text);
        std::size_t Shift = 0;
        ForEachMatchBlock(C.Text, TextScanner(C.Find, true), &With, TLineBreaks::Any, [&](const TMatchBlock& Block) {
            Rebuilt.replace(Block.Start + Shift, Block.End - Block.Start, Block.After);
            Shift += Block.After.size() - (Block.End - Block.Start);
        });
        EXPECT_EQ(HexUnits(Rebuilt), HexUnits(Replaced));
    }
}

TEST(TextLineBreaks, IgnoringCaseAcrossLineBreaks) {
    struct Case {
        LCID Locale;
        const char* Text;
        const char* Find;
        std::int32_t Count;
        std::int32_t CaseSensitiveCount;
    };
    const Case Cases[] = {
        {1033, "ÄPPLE\r\npäron\näpple\rPÄRON", "äpple\npäron", 2, 0},
        {1053, "Ö\nÅ", "ö\r\nå", 1, 0},
        // The containment rule holds across lines too: in Turkish, i upper-cases
        // to İ linguistically, so I does not hold it.
        {1055, "I\nI", "i\ni", 0, 0},
        {1055, "İ\nFILE\r\nfile", "FILE\nfile", 1, 1},
        {1033, "I\nI", "i\ni", 1, 0},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(std::to_string(C.Locale) + ": " + C.Text + " / " + C.Find);
        LocaleScope Scope(C.Locale);
        EXPECT_EQ(CountMatches(Wide(C.Text), Wide(C.Find), false), C.Count);
        EXPECT_EQ(TextContains(Wide(C.Text), Wide(C.Find), false), C.Count > 0);
        EXPECT_EQ(CountMatches(Wide(C.Text), Wide(C.Find), true), C.CaseSensitiveCount);
    }
}

// Occurrences of a scan over Text given in two pieces, split at Split.
std::vector<std::pair<std::size_t, std::size_t>> InTwoPieces(const TextScanner& Scanner, std::wstring_view Text,
                                                            std::size_t Split) {
    std::vector<std::pair<std::size_t, std::size_t>> Found;
    const std::size_t Kept = Scanner.ForEach(
        Text.substr(0, Split), 0, [&](std::size_t Start, std::size_t End) { Found.emplace_back(Start, End); }, true);
    // The unit before the resumed position goes along: a surrogate pair maps as one.
    const std::size_t Context = Kept > 0 ? 1 : 0;
    Scanner.ForEach(Text.substr(Kept - Context), Context, [&](std::size_t Start, std::size_t End) {
        Found.emplace_back(Kept - Context + Start, Kept - Context + End);
    });
    return Found;
}

TEST(TextLineBreaks, AScanInPiecesFindsWhatAWholeScanFinds) {
    // A CR ending one piece may be the first half of a CR LF in the next.
    const wchar_t* const Texts[] = {L"ab\r\nab\r\ncd", L"x\r\n\r\nx\r\r\n", L"ab\r"};
    const wchar_t* const Finds[] = {L"b\n", L"\n\n", L"\r", L"b\r\na", L"ab", L"x\n\nx\n"};
    RandomText Random(5501);
    std::vector<std::pair<std::wstring, std::wstring>> Inputs;
    for (const wchar_t* Text : Texts)
        for (const wchar_t* Find : Finds) Inputs.emplace_back(Text, Find);
    for (int Round = 0; Round < 300; ++Round) {
        std::wstring Text = Random.Text(30);
        std::wstring Find = Random.Needle(Text);
        Inputs.emplace_back(std::move(Text), std::move(Find));
    }
    for (const auto& [Text, Find] : Inputs)
        for (bool CaseSensitive : {true, false}) {
            const TextScanner Scanner(Find, CaseSensitive);
            std::vector<std::pair<std::size_t, std::size_t>> Whole;
            Scanner.ForEach(Text, 0, [&](std::size_t Start, std::size_t End) { Whole.emplace_back(Start, End); });
            for (std::size_t Split = 0; Split <= Text.size(); ++Split) {
                // Pieces that split a surrogate pair map it otherwise; not a line-break matter.
                if (Split > 0 && Split < Text.size() && IS_SURROGATE_PAIR(Text[Split - 1], Text[Split])) continue;
                SCOPED_TRACE(HexUnits(Text) + "/ " + HexUnits(Find) + "split at " + std::to_string(Split));
                ASSERT_EQ(InTwoPieces(Scanner, Text, Split), Whole);
            }
        }
}

}  // namespace
