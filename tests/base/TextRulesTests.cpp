// Several pairs in one run: the lines of a pairs file, and the pairs applied in
// order, each to the text the ones before it left, as counts, as the new text
// and as changes in the old text's places.
#include "base/TextRules.h"

#include "LocaleScope.h"
#include "RandomText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct PairsCase {
    const char* Name;
    std::vector<std::wstring> Lines;
    std::vector<TReplaceRule> Expected;  // with their lines
    TPairsFault Fault = TPairsFault::None;
    std::size_t FaultLine = 0;
    std::wstring Escape = {};
};

TEST(TextRules, PairLines) {
    const PairsCase Cases[] = {
        {"escapes in both halves, a raw TAB after the first belongs to the replacement",
         {L"a\\tb\\\\c\\nd\tx\\\\y\\t", L"k\tv\tw"},
         {{L"a\tb\\c\nd", L"x\\y\t", 1}, {L"k", L"v\tw", 2}}},
        {"comments, empty lines and lines of blanks are skipped; lines keep their numbers",
         {L"# cat\tdog", L"", L"   ", L"cat\tdog", L" #x\t", L"#"},
         {{L"cat", L"dog", 4}, {L" #x", L"", 5}}},
        {"blanks around the TAB are part of the texts", {L" a \t b "}, {{L" a ", L" b ", 1}}},
        {"a line without a TAB", {L"# ok", L"a\tb", L"just text"}, {}, TPairsFault::NoTab, 3},
        {"an unknown escape in the replacement", {L"a\tb\\rc"}, {}, TPairsFault::UnknownEscape, 1, L"\\r"},
        {"a backslash ending the text to find", {L"", L"a\\\tb"}, {}, TPairsFault::UnknownEscape, 2, L"\\"},
        {"a backslash ending the line", {L"a\tb\\"}, {}, TPairsFault::UnknownEscape, 1, L"\\"},
        {"nothing before the TAB", {L"\tb"}, {}, TPairsFault::EmptyFind, 1},
        {"comments alone", {L"# a\tb", L""}, {}, TPairsFault::NoPairs, 0},
        {"an empty file", {}, {}, TPairsFault::NoPairs, 0},
    };
    for (const PairsCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TPairsProblem Problem;
        const std::vector<TReplaceRule> Pairs = ReadPairLines(C.Lines, Problem);
        EXPECT_EQ(Problem.Fault, C.Fault);
        EXPECT_EQ(Problem.Line, C.FaultLine);
        EXPECT_EQ(Problem.Escape, C.Escape);
        EXPECT_EQ(Pairs, C.Expected);
    }
}

struct ChainCase {
    const char* Name;
    std::vector<TReplaceRule> Pairs;
    bool CaseSensitive;
    bool Regex;
    const wchar_t* Text;
    std::vector<std::int32_t> Counts;
    const wchar_t* After;
    // The changes in the old text's places: start, end, new text.
    std::vector<TTextEdit> Edits;
};

TEST(TextRules, PairsInOrder) {
    LocaleScope Scope(1033);
    const ChainCase Cases[] = {
        {"a later pair sees what an earlier one wrote", {{L"cat", L"dog"}, {L"dog", L"bird"}}, true, false,
         L"cat dog", {1, 2}, L"bird bird", {{0, 3, L"bird"}, {4, 7, L"bird"}}},
        {"a swap through a text that does not occur", {{L"a", L"#"}, {L"b", L"a"}, {L"#", L"b"}}, true, false,
         L"ab ba", {2, 2, 2}, L"ba ab", {{0, 1, L"b"}, {1, 2, L"a"}, {3, 4, L"a"}, {4, 5, L"b"}}},
        {"a pair that does not occur counts nothing", {{L"x", L"y"}, {L"a", L"b"}}, true, false, L"aa", {0, 2},
         L"bb", {{0, 1, L"b"}, {1, 2, L"b"}}},
        {"ignoring case", {{L"CAT", L"dog"}, {L"DOG", L"Bird"}}, false, false, L"Cat cAt", {2, 2}, L"Bird Bird",
         {{0, 3, L"Bird"}, {4, 7, L"Bird"}}},
        {"an occurrence across an earlier change joins it", {{L"ab", L"x"}, {L"xc", L"Y"}}, true, false, L"zabcz",
         {1, 1}, L"zYz", {{1, 4, L"Y"}}},
        {"an occurrence inside an earlier change", {{L"a", L"xyz"}, {L"y", L"Q"}}, true, false, L"bab", {1, 1},
         L"bxQzb", {{1, 2, L"xQz"}}},
        {"a deletion that brings two parts together", {{L"b", L""}, {L"ac", L"Z"}}, true, false, L"abc", {1, 1},
         L"Z", {{0, 3, L"Z"}}},
        {"next to a deletion, not across it", {{L"ab", L""}, {L"cd", L"X"}}, true, false, L"abcd", {1, 1}, L"X",
         {{0, 2, L""}, {2, 4, L"X"}}},
        {"changes that undo each other show none", {{L"a", L"b"}, {L"b", L"a"}}, true, false, L"a", {1, 1}, L"a",
         {}},
        {"patterns with groups, the second on the first's output",
         {{L"(\\w+)=(\\w+)", L"$2=$1"}, {L"^(\\w)", L"[$1]"}}, true, true, L"a=b\nc=d", {2, 2}, L"[b]=a\n[d]=c",
         {{0, 3, L"[b]=a"}, {4, 7, L"[d]=c"}}},
        {"a pattern whose replacement brings back what an earlier pair took",
         {{L"colou?r", L"hue"}, {L"h(u)e", L"col$1r"}}, false, true, L"Colour color", {2, 2}, L"colur colur",
         {{0, 6, L"colur"}, {7, 12, L"colur"}}},
    };
    for (const ChainCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const TRuleChain Chain(C.Pairs, C.CaseSensitive, {C.Regex, false});
        EXPECT_EQ(Chain.Counts(C.Text), C.Counts);
        EXPECT_EQ(Chain.Applied(C.Text), C.After);
        const std::vector<TTextEdit> Edits = Chain.Edits(C.Text);
        ASSERT_EQ(Edits.size(), C.Edits.size());
        for (std::size_t I = 0; I < Edits.size(); ++I) {
            EXPECT_EQ(Edits[I].Start, C.Edits[I].Start) << I;
            EXPECT_EQ(Edits[I].End, C.Edits[I].End) << I;
            EXPECT_EQ(Edits[I].After, C.Edits[I].After) << I;
        }
    }
}

// The changes, made in the old text, give exactly the text the pairs give, on
// random texts and pairs that often find what earlier pairs wrote.
TEST(TextRules, ChangesGiveTheNewText) {
    LocaleScope Scope(1033);
    RandomText Random(20261211);
    const wchar_t* Pieces[] = {L"a", L"b", L"ab", L"ba", L"\n", L"", L"aa", L"c"};
    for (int Round = 0; Round < 3000; ++Round) {
        std::wstring Text;
        for (std::size_t I = Random.Below(16); I > 0; --I) Text += Pieces[Random.Below(8)];
        std::vector<TReplaceRule> Pairs;
        for (std::size_t I = 1 + Random.Below(4); I > 0; --I) {
            std::wstring Find = Pieces[Random.Below(8)];
            if (Find.empty()) Find = L"b";
            Pairs.push_back({Find, std::wstring(Pieces[Random.Below(8)]) + Pieces[Random.Below(8)]});
        }
        const TRuleChain Chain(Pairs, Random.Below(2) == 0, {});
        const std::wstring Expected = Chain.Applied(Text);
        std::wstring Made;
        std::size_t At = 0;
        for (const TTextEdit& Edit : Chain.Edits(Text)) {
            ASSERT_LE(At, Edit.Start) << "changes in order and apart, round " << Round;
            ASSERT_LT(Edit.Start, Edit.End) << "a change is never empty, round " << Round;
            ASSERT_NE(Text.substr(Edit.Start, Edit.End - Edit.Start), Edit.After);
            Made += Text.substr(At, Edit.Start - At) + Edit.After;
            At = Edit.End;
        }
        Made += Text.substr(std::min(At, Text.size()));
        ASSERT_EQ(Made, Expected) << "round " << Round;
    }
}

}  // namespace
