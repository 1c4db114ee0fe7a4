#include "base/TextPieces.h"

#include "base/TextMatching.h"

#include "LocaleScope.h"
#include "RandomText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Hands Text to Take at the given ends of its pieces, each piece after the units
// Take asked to keep, as the reader hands a file over.
template <typename TTake>
void HandOver(std::wstring_view Text, const std::vector<size_t>& Ends, TTake&& Take) {
    std::wstring Given;
    size_t Position = 0;
    for (const size_t End : Ends) {
        Given.append(Text.substr(Position, End - Position));
        Position = End;
        const size_t Keep = Take(std::wstring_view(Given), End == Text.size());
        EXPECT_LE(Keep, Given.size());
        Given.erase(0, Given.size() - Keep);
    }
}

std::int32_t CountInPieces(const TextScanner& Scanner, std::wstring_view Text, const std::vector<size_t>& Ends) {
    TPieceCounter Counter(Scanner);
    Counter.Reset();
    HandOver(Text, Ends, [&](std::wstring_view Given, bool Last) { return Counter.Take(Given, Last); });
    return Counter.Count();
}

}  // namespace

// Occurrences across piece ends count once, surrogate pairs and CR LF split by
// an end map and match as whole, whole words see the unit on each side, and the
// case-insensitive containment rule gives the whole text's answer: for every
// piece size from 1 to 17 units and random ends, the count equals CountMatches
// on the whole text, in locales whose linguistic mapping differs.
TEST(TextPieces, CountsInPiecesAsInTheWholeText) {
    const LCID Locales[] = {1033, 1053, 1055};
    RandomText Random(2417);
    int Compared = 0, Found = 0;
    for (int Round = 0; Round < 300; ++Round) {
        LocaleScope Scope(Locales[Random.Below(3)]);
        const std::wstring Text = Random.Text(60);
        const std::wstring Needle = Random.Needle(Text);
        for (const bool CaseSensitive : {true, false}) {
            for (const bool WholeWord : {false, true}) {
                const TextScanner Scanner(Needle, CaseSensitive, {false, WholeWord});
                ASSERT_TRUE(TPieceCounter::CountsInPieces(Scanner));
                const std::int32_t Whole = CountMatches(Text, Scanner);
                Found += Whole > 0;
                SCOPED_TRACE(testing::Message() << "round " << Round << ", case " << CaseSensitive << ", word "
                                                << WholeWord);
                for (size_t Size = 1; Size <= 17; ++Size) {
                    EXPECT_EQ(CountInPieces(Scanner, Text, EveryUnits(Text.size(), Size)), Whole) << "size " << Size;
                    ++Compared;
                }
                for (int Cut = 0; Cut < 4; ++Cut) EXPECT_EQ(CountInPieces(Scanner, Text, RandomEnds(Random, Text.size())), Whole);
            }
        }
    }
    // The random texts hold what they should test.
    EXPECT_GT(Found, 200);
    EXPECT_GT(Compared, 10000);
}

// The cases the random texts may miss, each split at every place.
TEST(TextPieces, SplitsThatMatter) {
    struct TCase {
        LCID Locale;
        const wchar_t* Text;
        const wchar_t* Needle;
        bool CaseSensitive, WholeWord;
        std::int32_t Count;
    } Cases[] = {
        {1033, L"xabababx", L"abab", true, false, 1},                   // overlapping candidates: leftmost, once
        {1033, L"a\r\nb a\nb a\rb", L"a\r\nb", true, false, 3},          // any line break, a CR LF split in two
        {1033, L"a\r\n\nb", L"a\n\nb", true, false, 1},
        {1033, L"a\r\nb", L"a\n\nb", true, false, 0},                    // CR LF is one break, never two
        {1033, L"x\U00010428y \U00010400", L"\U00010400", false, false, 2},  // a pair upper-cased as one
        {1033, L"\U00010428\xDC28", L"\xDC28", false, false, 1},         // the low half of a pair is no lone unit
        {1033, L"ab_ab ab", L"ab", true, true, 1},                      // a word sees the units beside it
        {1055, L"FILE F\u0130LE file", L"file", false, false, 2},      // Turkish: held linguistically by "FİLE" only
        {1055, L"I I I", L"i", false, false, 0},                        // ... but never in "I"
    };
    for (const TCase& C : Cases) {
        LocaleScope Scope(C.Locale);
        const TextScanner Scanner(C.Needle, C.CaseSensitive, {false, C.WholeWord});
        const std::wstring_view Text = C.Text;
        ASSERT_EQ(CountMatches(Text, Scanner), C.Count) << testing::PrintToString(std::wstring(Text));
        for (size_t Split = 0; Split <= Text.size(); ++Split)
            EXPECT_EQ(CountInPieces(Scanner, Text, {Split, Text.size()}), C.Count) << "split " << Split;
    }
}

namespace {

// Replaces in Text handed over at the given ends, as the reader hands a file over;
// the text's first line break is found over the same pieces first.
std::wstring ReplaceInPieces(const TextScanner& Scanner, std::wstring_view With, std::wstring_view Text,
                             const std::vector<size_t>& Ends) {
    TFirstLineBreak Break;
    TPieceCounter Counter(Scanner);
    Counter.Reset();
    HandOver(Text, Ends, [&](std::wstring_view Given, bool Last) {
        Break.Take(Given, Last);
        return Counter.Take(Given, Last);
    });
    TPieceReplacer Replacer(Scanner, With);
    Replacer.Reset(Break.Break());
    std::wstring Out;
    HandOver(Text, Ends, [&](std::wstring_view Given, bool Last) { return Replacer.Take(Given, Last, Out); });
    return Out;
}

}  // namespace

// The new text made in pieces is ReplaceAll's: occurrences across piece ends are
// replaced once, surrogate pairs and CR LF split by an end stay whole, a
// replacement's line breaks take the occurrence's own or the text's first (which
// may come after the occurrence), for every piece size from 1 to 17 units and
// random ends, case-sensitive or not, whole words or not.
TEST(TextPieces, ReplacesInPiecesAsInTheWholeText) {
    const LCID Locales[] = {1033, 1053, 1055};
    const wchar_t* const Replacements[] = {L"", L"Z", L"\U0001F600-", L"r\r\ns", L"\n\n", L"\xDC00"};
    RandomText Random(5113);
    int Changed = 0;
    for (int Round = 0; Round < 200; ++Round) {
        LocaleScope Scope(Locales[Random.Below(3)]);
        const std::wstring Text = Random.Text(60);
        const std::wstring Needle = Random.Needle(Text);
        const std::wstring_view With = Replacements[Random.Below(std::size(Replacements))];
        for (const bool CaseSensitive : {true, false}) {
            for (const bool WholeWord : {false, true}) {
                const TextScanner Scanner(Needle, CaseSensitive, {false, WholeWord});
                const std::wstring Whole = ReplaceAll(Text, Scanner, With);
                Changed += Whole != Text;
                SCOPED_TRACE(testing::Message() << "round " << Round << ", case " << CaseSensitive << ", word "
                                                << WholeWord);
                for (size_t Size = 1; Size <= 17; ++Size)
                    EXPECT_EQ(ReplaceInPieces(Scanner, With, Text, EveryUnits(Text.size(), Size)), Whole)
                        << "size " << Size;
                for (int Cut = 0; Cut < 4; ++Cut)
                    EXPECT_EQ(ReplaceInPieces(Scanner, With, Text, RandomEnds(Random, Text.size())), Whole);
            }
        }
    }
    EXPECT_GT(Changed, 200);
}

// A replacement's line break in an occurrence that spans none is the text's first
// line break, wherever it is; CR LF when there is none. Split at every place.
TEST(TextPieces, ReplacementTakesTheTextsFirstLineBreak) {
    struct TCase {
        const wchar_t* Text;
        const wchar_t* Result;
    } Cases[] = {
        {L"ab\ncd\r\n", L"x\ny\ncd\r\n"},
        {L"ab cd\r", L"x\ry cd\r"},
        {L"ab\r\n", L"x\r\ny\r\n"},
        {L"ab", L"x\r\ny"},
    };
    const TextScanner Scanner(L"ab", true);
    for (const TCase& C : Cases) {
        const std::wstring_view Text = C.Text;
        ASSERT_EQ(ReplaceAll(Text, Scanner, L"x\ny"), C.Result);
        for (size_t Split = 0; Split <= Text.size(); ++Split)
            EXPECT_EQ(ReplaceInPieces(Scanner, L"x\ny", Text, {Split, Text.size()}), C.Result) << "split " << Split;
    }
}
