// Regular expressions and whole words through the one scanner: what is counted,
// what a replacement writes, what is refused, against texts written by hand.
#include "base/TextLines.h"
#include "base/TextMatching.h"
#include "base/TextPattern.h"
#include "base/TextScanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ReplaceCase {
    const wchar_t* Text;
    const wchar_t* Find;
    bool CaseSensitive;
    TFindRule Rule;
    const wchar_t* With;
    int Count;
    const wchar_t* After;
};

constexpr TFindRule Regex{true, false};
constexpr TFindRule Word{false, true};
constexpr TFindRule RegexWord{true, true};

TEST(TextPattern, CountsAndReplacements) {
    const ReplaceCase Cases[] = {
        // Numbered groups, two digits, the whole match, a dollar sign.
        {L"getName() getSize()", L"get(\\w+)\\(\\)", true, Regex, L"read$1()", 2, L"readName() readSize()"},
        {L"a-b c-d", L"(\\w)-(\\w)", true, Regex, L"$2+$1=$0 $$", 2, L"b+a=a-b $ d+c=c-d $"},
        {L"abcdefghijkl", L"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)", true, Regex, L"$11$10$1", 1, L"kjal"},
        // $12 with eleven groups: group 1, then a literal 2.
        {L"abcdefghijk", L"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)", true, Regex, L"$12", 1, L"a2"},
        // Named groups, and a number in braces.
        {L"x=1, y=22", L"(?<key>\\w)=(?<val>\\d+)", true, Regex, L"${val}:${key}${1}", 2, L"1:xx, 22:yy"},
        // A group that took no part writes nothing.
        {L"ab b", L"(a)?b", true, Regex, L"[$1]", 2, L"[a] []"},
        // Without a pattern, a replacement is literal, $ and all.
        {L"cost", L"cost", true, {}, L"$1 ${x} $$", 1, L"$1 ${x} $$"},
        // Across lines: \n takes any one line break, a CR LF whole, never half of one.
        {L"end\r\nbegin end\nbegin end\rbegin", L"end\\nbegin", true, Regex, L"-", 3, L"- - -"},
        {L"a\r\nb", L"\\nb", true, Regex, L"X", 1, L"aX"},
        {L"a\r\nb", L"\\n\\nb", true, Regex, L"X", 0, L"a\r\nb"},
        {L"a\r\nb", L"a\r\nb", true, Regex, L"X", 1, L"X"},
        {L"one\r\ntwo", L"(\\w+)\\n(\\w+)", true, Regex, L"$2\n$1", 1, L"two\none"},
        // "." stays within a line; [^x] is told apart from \n.
        {L"a\nb a-b", L"a.b", true, Regex, L"X", 1, L"a\nb X"},
        // Surrogate pairs: one character of two units, never split by a match.
        {L"a\U0001F600b", L"a.b", true, Regex, L"X", 0, L"a\U0001F600b"},
        {L"a\U0001F600b", L".", true, Regex, L"X", 2, L"X\U0001F600X"},
        {L"x\U0001F600\U0001F600y", L"(?:\U0001F600)+", true, Regex, L"<$0>", 1, L"x<\U0001F600\U0001F600>y"},
        // Case-insensitive: ASCII and beyond, one unit to one unit.
        {L"Straße STRASSE ÅSA åsa", L"straße|åsa", false, Regex, L"_", 3, L"_ STRASSE _ _"},
        {L"Cat cAT dog", L"cat", false, Regex, L"[$0]", 2, L"[Cat] [cAT] dog"},
        {L"Жук жук", L"ж\\w+", false, Regex, L"$0!", 2, L"Жук! жук!"},
        // Classes are Unicode's: \w takes letters beyond ASCII, \d digits.
        {L"väg_1 -- é", L"\\w+", true, Regex, L"<$0>", 2, L"<väg_1> -- <é>"},
        // Empty matches are no occurrences: a lookahead alone finds nothing.
        {L"abc", L"(?=b)", true, Regex, L"X", 0, L"abc"},
        {L"a b", L"\\b", true, Regex, L"Y", 0, L"a b"},
        // Whole words: letters, digits and the underscore join a word, in every mode.
        {L"cat cats cat_ _cat 2cat cat. (cat)", L"cat", true, Word, L"dog", 3, L"dog cats cat_ _cat 2cat dog. (dog)"},
        {L"CAT cats Cat", L"cat", false, Word, L"dog", 2, L"dog cats dog"},
        {L"cat cats cat_", L"cats?", true, RegexWord, L"[$0]", 2, L"[cat] [cats] cat_"},
        {L"cat|cats", L"cat|cats", true, RegexWord, L"X", 2, L"X|X"},
        // A hit inside a longer word may hide a whole one that overlaps it.
        {L"aaa aa", L"aa", true, Word, L"X", 1, L"aaa X"},
        {L"Ärende ärende1 ärende", L"ärende", false, Word, L"X", 2, L"X ärende1 X"},
        {L"end\nfin", L"end\nfin", true, Word, L"X", 1, L"X"},
    };
    for (const ReplaceCase& Case : Cases) {
        SCOPED_TRACE(testing::Message() << "find " << testing::PrintToString(std::wstring(Case.Find)) << " in "
                                        << testing::PrintToString(std::wstring(Case.Text)));
        if (Case.Rule.Regex) {
            TPatternProblem Problem;
            const auto Pattern = TextPattern::Compile(Case.Find, Case.CaseSensitive, Case.Rule.WholeWord, Problem);
            ASSERT_NE(Pattern, nullptr);
            TPatternReplacement Pieces;
            ASSERT_TRUE(Pattern->ReadReplacement(Case.With, Pieces, Problem));
        }
        const TextScanner Scanner(Case.Find, Case.CaseSensitive, Case.Rule);
        EXPECT_EQ(CountMatches(Case.Text, Scanner), Case.Count);
        EXPECT_EQ(ReplaceAll(Case.Text, Scanner, Case.With), Case.After);
        // The lines listed with their new text agree with the replace-all.
        std::wstring Rebuilt;
        std::size_t Kept = 0;
        int Listed = 0;
        const std::wstring With = Case.With;
        const std::wstring_view Text = Case.Text;
        ForEachMatchBlock(Text, Scanner, &With, TLineBreaks::Any, [&](const TMatchBlock& Block) {
            Rebuilt.append(Text.substr(Kept, Block.Start - Kept));
            Rebuilt += Block.After;
            Kept = Block.End;
            Listed += static_cast<int>(Block.Matches.size());
        });
        Rebuilt.append(Text.substr(Kept));
        EXPECT_EQ(Listed, Case.Count);
        EXPECT_EQ(Rebuilt, Case.After);
    }
}

TEST(TextPattern, RefusedPatternsAndReplacements) {
    struct Refused {
        const wchar_t* Pattern;
        const wchar_t* With;
        TPatternFault Fault;
        std::size_t Position;  // Syntax only
        TPatternSyntax Syntax;
        const wchar_t* Reference;  // BadReference only
    };
    const Refused Cases[] = {
        {L"get(\\w+", L"", TPatternFault::Syntax, 7, TPatternSyntax::Parenthesis, L""},
        {L"a)b", L"", TPatternFault::Syntax, 1, TPatternSyntax::Parenthesis, L""},
        {L"[abc", L"", TPatternFault::Syntax, 4, TPatternSyntax::Bracket, L""},
        {L"ab*+?", L"", TPatternFault::Syntax, 4, TPatternSyntax::Repeat, L""},
        {L"*a", L"", TPatternFault::Syntax, 0, TPatternSyntax::Repeat, L""},
        {L"x*", L"", TPatternFault::MatchesEmpty, 0, TPatternSyntax::Other, L""},
        {L"^", L"", TPatternFault::MatchesEmpty, 0, TPatternSyntax::Other, L""},
        {L"(a|)", L"", TPatternFault::MatchesEmpty, 0, TPatternSyntax::Other, L""},
        {L"(a)(b)", L"$3", TPatternFault::BadReference, 0, TPatternSyntax::Other, L"$3"},
        {L"(a)", L"x$", TPatternFault::BadReference, 0, TPatternSyntax::Other, L"$"},
        {L"(a)", L"$x", TPatternFault::BadReference, 0, TPatternSyntax::Other, L"$x"},
        {L"(?<k>a)", L"${v}", TPatternFault::BadReference, 0, TPatternSyntax::Other, L"${v}"},
        {L"(?<k>a)", L"${k", TPatternFault::BadReference, 0, TPatternSyntax::Other, L"${k"},
        {L"(a)", L"${}", TPatternFault::BadReference, 0, TPatternSyntax::Other, L"${}"},
        {L"(a)", L"${2}", TPatternFault::BadReference, 0, TPatternSyntax::Other, L"${2}"},
        {L"a", L"$10", TPatternFault::BadReference, 0, TPatternSyntax::Other, L"$10"},
    };
    for (const Refused& Case : Cases) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(std::wstring(Case.Pattern)) << " -> "
                                        << testing::PrintToString(std::wstring(Case.With)));
        TPatternProblem Problem;
        const auto Pattern = TextPattern::Compile(Case.Pattern, true, false, Problem);
        if (Case.Fault == TPatternFault::BadReference) {
            ASSERT_NE(Pattern, nullptr);
            TPatternReplacement Pieces;
            EXPECT_FALSE(Pattern->ReadReplacement(Case.With, Pieces, Problem));
            EXPECT_EQ(Problem.Reference, Case.Reference);
        } else {
            EXPECT_EQ(Pattern, nullptr);
        }
        EXPECT_EQ(Problem.Fault, Case.Fault);
        if (Case.Fault == TPatternFault::Syntax) {
            EXPECT_EQ(Problem.Position, Case.Position);
            EXPECT_EQ(Problem.Syntax, Case.Syntax);
        }
    }
    // A scanner given a bad pattern finds nothing rather than something else.
    EXPECT_EQ(CountMatches(L"[abc", TextScanner(L"[abc", true, Regex)), 0);
}

}  // namespace
