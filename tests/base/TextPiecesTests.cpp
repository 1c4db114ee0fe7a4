#include "base/TextPieces.h"

#include "base/TextMatching.h"

#include "LocaleScope.h"
#include "RandomText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Counts Text handed over at the given ends of its pieces, each piece after the
// units the counter asked to keep, as the reader hands a file over.
std::int32_t CountInPieces(const TextScanner& Scanner, std::wstring_view Text, const std::vector<size_t>& Ends) {
    TPieceCounter Counter(Scanner);
    Counter.Reset();
    std::wstring Given;
    size_t Position = 0;
    for (const size_t End : Ends) {
        Given.append(Text.substr(Position, End - Position));
        Position = End;
        const size_t Keep = Counter.Take(Given, End == Text.size());
        EXPECT_LE(Keep, Given.size());
        Given.erase(0, Given.size() - Keep);
    }
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
