// The shared text routines: fixed cases, and seeded random comparisons of the
// table-driven routines with straightforward versions that call the platform on
// whole copies, as the routines are defined.
#include "base/TextMatching.h"

#include "LineBreakReference.h"
#include "LocaleScope.h"
#include "RandomText.h"
#include "TextBytes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

// --- Straightforward versions of the routines -------------------------------

std::wstring RefUpperLinguistic(std::wstring_view Text) {
    std::wstring Result(Text.size(), L'\0');
    if (!Text.empty())
        LCMapStringW(StartupLocale, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING, Text.data(),
                     static_cast<int>(Text.size()), Result.data(), static_cast<int>(Result.size()));
    return Result;
}

bool RefTextContains(std::wstring_view Text, std::wstring_view Find, bool CaseSensitive) {
    if (Text.empty() || Find.empty()) return false;
    if (CaseSensitive) return !RefOccurrences(Text, Find, Text, Find).empty();
    return !RefOccurrences(Text, Find, RefUpperLinguistic(Text), RefUpperLinguistic(Find)).empty();
}

// Occurrences as replace-all finds them: exact, or in simply upper-cased copies.
std::vector<RefOccurrence> RefFound(std::wstring_view Text, std::wstring_view Find, bool CaseSensitive) {
    if (CaseSensitive) return RefOccurrences(Text, Find, Text, Find);
    return RefOccurrences(Text, Find, UpperCased(Text), UpperCased(Find));
}

std::wstring RefReplaceAll(std::wstring_view Text, std::wstring_view Find, std::wstring_view With,
                           bool CaseSensitive) {
    if (Text.empty() || Find.empty()) return {};
    return RefReplaced(Text, RefFound(Text, Find, CaseSensitive), With);
}

std::int32_t RefCountMatches(std::wstring_view Text, std::wstring_view Find, bool CaseSensitive) {
    if (Text.empty() || Find.empty()) return 0;
    if (!RefTextContains(Text, Find, CaseSensitive)) return 0;
    return static_cast<std::int32_t>(RefFound(Text, Find, CaseSensitive).size());
}

// --- Fixed cases --------------------------------------------------------------

TEST(TextMatching, CountsLeftmostNonOverlappingOccurrences) {
    struct Case {
        const char* Text;
        const char* Find;
        bool CaseSensitive;
        std::int32_t Expected;
    };
    const Case Cases[] = {
        {"aaaa", "aa", true, 2},
        {"aaa", "aa", true, 1},
        {"aaaa", "AA", false, 2},
        {"aaa", "AA", false, 1},
        {"ÄPPLE", "äpple", false, 1},
        {"ÄPPLE", "äpple", true, 0},
        {"äpple Äpple ÄPPLE", "äPPle", false, 3},
        {"x\r\ny\nx\r\ny", "x\r\ny", true, 2},
        // A typed line break matches any one line break.
        {"x\r\ny\nx\r\ny", "x\ny", true, 2},
        {"x\r\ny\nx\r\ny", "X\nY", false, 2},
        {"x\r\n\ny", "x\ny", true, 0},
        {"", "a", true, 0},
        {"", "a", false, 0},
        {"a", "", true, 0},
        {"a", "", false, 0},
        {"ab", "abc", false, 0},
        {"the cat, the hat, THE end", "the", true, 2},
        {"the cat, the hat, THE end", "the", false, 3},
        {"𐐨𐐨𐐀", "𐐨", true, 2},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(std::string(C.Text) + " / " + C.Find);
        EXPECT_EQ(CountMatches(Wide(C.Text), Wide(C.Find), C.CaseSensitive), C.Expected);
    }
}

TEST(TextMatching, CountsInLongTexts) {
    std::wstring Text;
    for (int I = 0; I < 150000; ++I) Text += L"the cat ";
    Text += L"\u00C4PPLE";
    struct Case {
        const wchar_t* Find;
        bool CaseSensitive;
        std::int32_t Expected;
    };
    const Case Cases[] = {
        {L"the", true, 150000}, {L"THE", false, 150000}, {L"t", true, 300000}, {L"T", false, 300000},
        {L" ", true, 300000},   {L"e c", false, 150000}, {L"cat the", true, 149999}, {L"\u00E4pple", false, 1},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(HexUnits(C.Find));
        EXPECT_EQ(CountMatches(Text, C.Find, C.CaseSensitive), C.Expected);
        EXPECT_EQ(RefCountMatches(Text, C.Find, C.CaseSensitive), C.Expected);
    }
    EXPECT_EQ(ReplaceAll(Text, L"CAT", L"", false).size(), Text.size() - 3 * 150000);
}

TEST(TextMatching, ContainmentAndUpperCasing) {
    EXPECT_FALSE(TextContains(L"", L"a", false));
    EXPECT_FALSE(TextContains(L"a", L"", true));
    EXPECT_TRUE(TextContains(Wide("ÄPPLE"), Wide("äpple"), false));
    EXPECT_FALSE(TextContains(Wide("ÄPPLE"), Wide("äpple"), true));
    EXPECT_EQ(UpperCaseLinguistic(L""), L"");
    EXPECT_EQ(UpperCaseLinguistic(Wide("straße äpple")), Wide("STRAßE ÄPPLE"));  // same length
}

TEST(TextMatching, ReplaceAllKeepsTheRestAsItIs) {
    struct Case {
        const char* Text;
        const char* Find;
        const char* With;
        bool CaseSensitive;
        const char* Expected;
    };
    const Case Cases[] = {
        {"aaa", "a", "aa", true, "aaaaaa"},
        {"aaaa", "aa", "b", true, "bb"},
        {"aaa", "aa", "b", true, "ba"},
        {"Ab ab AB", "ab", "x", false, "x x x"},
        {"Ab ab AB", "ab", "x", true, "Ab x AB"},
        {"Öl och öl", "ÖL", "Vatten", false, "Vatten och Vatten"},
        {"abcabc", "b", "", true, "acac"},
        {"a\r\nb\nc", "\n", "|", true, "a|b|c"},  // a CR LF is one line break
        {"nothing here", "zz", "y", false, "nothing here"},
        {"", "a", "b", true, ""},
        {"abc", "", "x", true, ""},  // empty, not the text itself
        {"abc", "", "x", false, ""},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(std::string(C.Text) + " / " + C.Find);
        EXPECT_EQ(ReplaceAll(Wide(C.Text), Wide(C.Find), Wide(C.With), C.CaseSensitive), Wide(C.Expected));
    }
}

TEST(TextMatching, ProgressPercentRoundsHalvesToEven) {
    std::vector<std::int64_t> NineFiles;
    for (std::int64_t I = 0; I < 9; ++I) NineFiles.push_back(ProgressPercent(I, 8, 100));
    EXPECT_EQ(NineFiles, (std::vector<std::int64_t>{0, 12, 25, 38, 50, 62, 75, 88, 100}));

    struct Case {
        std::int64_t Value, Maximum, Scale, Expected;
    };
    const Case Cases[] = {
        {1, 2, 1, 0},    {3, 2, 1, 2},       {5, 2, 1, 2},     {-1, 2, 1, 0},   {-3, 2, 1, -2},
        {1, 3, 100, 33}, {2, 3, 100, 67},    {0, 0, 100, 0},   {1, 0, 100, 0},  {-1, 0, 100, 0},
        {7, 7, 100, 100}, {INT64_MAX, 1, 100, 0},  // beyond 64 bits: a fault, so 0
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(std::to_string(C.Value) + "/" + std::to_string(C.Maximum) + "*" + std::to_string(C.Scale));
        EXPECT_EQ(ProgressPercent(C.Value, C.Maximum, C.Scale), C.Expected);
    }
}

// Containment uses the linguistic mapping under StartupLocale, replace-all the
// simple one; where they disagree the count is 0 although containment holds.
TEST(TextMatching, FollowsStartupLocaleAndTheTwoMappings) {
    struct Case {
        LCID Locale;
        const char* Text;
        const char* Find;
        bool Contains;
        std::int32_t Count;
    };
    const Case Cases[] = {
        {1033, "I", "i", true, 1},
        {1055, "I", "i", false, 0},  // Turkish: i upper-cases to İ linguistically
        {1055, "İ", "i", true, 0},   // ... but to I in the simple mapping
        {1055, "FİLE file", "file", true, 1},
        {1055, "FILE FİLE file", "FILE", true, 2},
        {1033, "FILE FİLE file", "file", true, 2},
        {1053, "ÅÄÖ", "åäö", true, 1},
        {1033, "I", "i", true, 1},  // back again: tables follow the locale
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(std::to_string(C.Locale) + ": " + C.Text + " / " + C.Find);
        LocaleScope Scope(C.Locale);
        EXPECT_EQ(UpperCaseLinguistic(L"i"), C.Locale == 1055 ? L"\u0130" : L"I");
        EXPECT_EQ(TextContains(Wide(C.Text), Wide(C.Find), false), C.Contains);
        EXPECT_EQ(CountMatches(Wide(C.Text), Wide(C.Find), false), C.Count);
    }
}

TEST(TextMatching, LettersTheSimpleMappingLeavesAloneCountZero) {
    // U+01C5 (title-case DŽ) and U+0131 (dotless i) upper-case linguistically to
    // U+01C4 and I; where the platform's simple mapping leaves them as they are,
    // the case-insensitive count is 0 although containment holds.
    LocaleScope Scope(1033);
    for (const char* Letter : {"ǅ", "ı"}) {
        const std::wstring Text = Wide(Letter);
        const std::wstring Find = UpperCaseLinguistic(Text);
        const std::wstring Simple = UpperCased(Text);
        if (Simple == Find) GTEST_SKIP() << "this platform maps " << Letter << " alike both ways";
        SCOPED_TRACE(Letter);
        EXPECT_TRUE(TextContains(Text, Find, false));
        EXPECT_EQ(CountMatches(Text, Find, false), 0);
        EXPECT_EQ(CountMatches(Text + Find, Find, false), 1);  // the simple mapping finds only Find itself
    }
}

TEST(TextMatching, LocaleThePlatformCannotMapUnderGivesTheCallsResult) {
    LocaleScope Scope(0x7F7F);  // LCMapStringW fails: the upper-cased form is all zeros
    EXPECT_EQ(UpperCaseLinguistic(L"ab"), std::wstring(2, L'\0'));
    EXPECT_EQ(TextContains(L"abc", L"xy", false), RefTextContains(L"abc", L"xy", false));
    EXPECT_EQ(CountMatches(L"abcab", L"AB", false), RefCountMatches(L"abcab", L"AB", false));
    EXPECT_EQ(CountMatches(L"abcab", L"xy", false), RefCountMatches(L"abcab", L"xy", false));
}

// --- Random comparisons with the straightforward versions ---------------------

// Compares TextContains, CountMatches and ReplaceAll with the straightforward
// versions on one input; returns false and reports the first difference.
bool SameAsReference(const std::wstring& Text, const std::wstring& Find, bool CaseSensitive) {
    const std::wstring With = CaseSensitive ? L"<\n>" : L"";
    const bool Same = TextContains(Text, Find, CaseSensitive) == RefTextContains(Text, Find, CaseSensitive) &&
                      CountMatches(Text, Find, CaseSensitive) == RefCountMatches(Text, Find, CaseSensitive) &&
                      ReplaceAll(Text, Find, With, CaseSensitive) == RefReplaceAll(Text, Find, With, CaseSensitive);
    if (!Same)
        ADD_FAILURE() << "locale " << StartupLocale << (CaseSensitive ? ", case-sensitive" : ", ignoring case")
                      << "\n text: " << HexUnits(Text) << "\n find: " << HexUnits(Find) << "\n contains "
                      << TextContains(Text, Find, CaseSensitive) << " vs "
                      << RefTextContains(Text, Find, CaseSensitive) << ", count "
                      << CountMatches(Text, Find, CaseSensitive) << " vs "
                      << RefCountMatches(Text, Find, CaseSensitive);
    return Same;
}

TEST(TextMatching, RandomInputsMatchTheStraightforwardVersions) {
    const LCID Locales[] = {1033, 1053, 1055};
    RandomText Random(20240611);
    int Failures = 0;
    for (int Round = 0; Round < 6000 && Failures < 5; ++Round) {
        // Switching locale between calls checks that the tables follow it.
        LocaleScope Scope(Locales[Random.Below(3)]);
        const std::wstring Text = Random.Text(Round % 10 == 0 ? 400 : 30);
        const std::wstring Find = Random.Needle(Text);
        for (bool CaseSensitive : {true, false})
            if (!SameAsReference(Text, Find, CaseSensitive)) ++Failures;
    }
}

TEST(TextMatching, RandomInputsAgreeOnWorkerThreads) {
    // A locale no other test uses, so the threads race to build its table.
    LocaleScope Scope(1068);
    std::atomic<int> Differences{0};
    std::vector<std::thread> Threads;
    for (std::uint32_t Seed = 1; Seed <= 4; ++Seed)
        Threads.emplace_back([Seed, &Differences] {
            RandomText Random(Seed);
            for (int Round = 0; Round < 300; ++Round) {
                const std::wstring Text = Random.Text(60);
                const std::wstring Find = Random.Needle(Text);
                if (CountMatches(Text, Find, false) != RefCountMatches(Text, Find, false) ||
                    TextContains(Text, Find, false) != RefTextContains(Text, Find, false))
                    ++Differences;
            }
        });
    for (std::thread& Thread : Threads) Thread.join();
    EXPECT_EQ(Differences.load(), 0);
}

}  // namespace
