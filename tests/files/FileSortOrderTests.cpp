// The order of a run's files against the order CompareStringW gives in the user's
// locale, on seeded random lists. Wine takes the user's locale from LC_ALL when a
// process starts, so the locale tests run once per locale as their own CTest
// entries (files/extra.cmake), which name the locale in QV_SORT_LOCALE.
#include "files/FileCollection.h"

#include "TextBytes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

namespace {

int Sign(int Value) { return (Value > 0) - (Value < 0); }

int CompareInLocale(const std::wstring& First, const std::wstring& Second) {
    return Sign(CompareStringW(LOCALE_USER_DEFAULT, 0, First.data(), static_cast<int>(First.size()), Second.data(),
                               static_cast<int>(Second.size())) -
                CSTR_EQUAL);
}

std::string KeyBytes(const std::wstring& Text) {
    int Length = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
    EXPECT_GT(Length, 0) << GetLastError();
    std::wstring Buffer((Length + 1) / 2, L'\0');
    LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, Text.data(), static_cast<int>(Text.size()), Buffer.data(), Length);
    return std::string(reinterpret_cast<const char*>(Buffer.data()), static_cast<size_t>(std::max(Length, 0)));
}

int CompareKeyBytes(const std::wstring& First, const std::wstring& Second) {
    return Sign(KeyBytes(First).compare(KeyBytes(Second)));
}

// What the sort must give: std::stable_sort comparing the FileSortKeys with
// CompareStringW in the user's locale.
TStringArray ReferenceOrder(const TStringArray& Files, bool Descending) {
    std::vector<std::pair<std::wstring, size_t>> Keyed;
    for (size_t I = 0; I < Files.size(); ++I) Keyed.emplace_back(FileSortKey(Files[I]), I);
    std::stable_sort(Keyed.begin(), Keyed.end(), [Descending](const auto& First, const auto& Second) {
        int Result = CompareInLocale(First.first, Second.first);
        return Descending ? Result > 0 : Result < 0;
    });
    TStringArray Ordered;
    for (const auto& Entry : Keyed) Ordered.push_back(Files[Entry.second]);
    return Ordered;
}

// Random paths from pieces the collation treats specially: hyphens and apostrophes
// (left out of the main weights of a word sort), digits, case, accents and the
// letters Swedish and Turkish sort apart, dotted and dotless i, other scripts,
// ignorable and combining characters, "<" and ">" (which FileSortKey adds), several
// extensions or none, trailing dots, deep and shallow folders. Every list repeats
// paths exactly and with another case, so it is full of ties and near ties.
class TPathMaker {
public:
    TPathMaker(std::uint32_t Seed, std::vector<std::wstring> Pieces) : FRandom(Seed), FPieces(std::move(Pieces)) {}

    TStringArray List(int Count) {
        TStringArray Files;
        while (static_cast<int>(Files.size()) < Count) {
            if (Files.empty() || Pick(0, 2) != 0)
                Files.push_back(NewPath());
            else
                Files.push_back(Variant(Files[Pick(0, static_cast<int>(Files.size()) - 1)]));
        }
        return Files;
    }

private:
    // The same path again, or one that compares equal or nearly so: another case,
    // "C:" for "C:\\" (the same FileSortKey), an ignorable character inserted, an
    // accented letter composed or decomposed.
    std::wstring Variant(std::wstring Path) {
        static const wchar_t* const Composed[][2] = {
            {L"\u00E9", L"e\u0301"}, {L"\u00E4", L"a\u0308"}, {L"\u00C5", L"A\u030A"}, {L"\u00F6", L"o\u0308"}};
        switch (Pick(0, 5)) {
        case 0:
            return Path;
        case 1:
            return UpperCased(Path);
        case 2:
            for (wchar_t& C : Path)
                if (Pick(0, 2) == 0 && C >= L'A' && C <= L'Z') C = static_cast<wchar_t>(C - L'A' + L'a');
            return Path;
        case 3:
            if (Path.rfind(L"C:\\", 0) == 0) return Path.erase(2, 1);
            if (Path.rfind(L"C:", 0) == 0) return Path.insert(2, 1, L'\\');
            return Path;
        case 4: {
            static const wchar_t Ignorable[] = {L'\u00AD', L'\u200D', L'\uFEFF'};
            return Path.insert(static_cast<size_t>(Pick(0, static_cast<int>(Path.size()))), 1,
                               Ignorable[Pick(0, static_cast<int>(std::size(Ignorable)) - 1)]);
        }
        default:
            for (const auto& Pair : Composed) {
                std::wstring From = Pair[Pick(0, 1)], To = From == Pair[0] ? Pair[1] : Pair[0];
                for (size_t At = Path.find(From); At != std::wstring::npos; At = Path.find(From, At + To.size()))
                    Path.replace(At, From.size(), To);
            }
            return Path;
        }
    }

    int Pick(int Low, int High) { return std::uniform_int_distribution<int>(Low, High)(FRandom); }

    std::wstring Word() {
        std::wstring Text;
        for (int I = Pick(0, 3); I >= 0; --I) Text += FPieces[Pick(0, static_cast<int>(FPieces.size()) - 1)];
        return Text;
    }

    std::wstring NewPath() {
        static const wchar_t* const Starts[] = {L"C:\\", L"C:", L"D:\\Data\\", L"", L"\\\\server\\share\\"};
        static const wchar_t* const Extensions[] = {L".txt", L".TXT", L".Txt", L".tar.gz", L".c",  L".cpp",
                                                    L".h",   L".",    L"..",   L".\u00E9",  L".-", L".d\u00F6c"};
        std::wstring Path = Starts[Pick(0, static_cast<int>(std::size(Starts)) - 1)];
        for (int Depth = Pick(0, 1) ? Pick(0, 1) : Pick(2, 6); Depth > 0; --Depth) Path += Word() + L"\\";
        Path += Word();
        if (Pick(0, 3)) Path += Extensions[Pick(0, static_cast<int>(std::size(Extensions)) - 1)];
        return Path;
    }

    std::mt19937 FRandom;
    std::vector<std::wstring> FPieces;
};

const std::vector<std::wstring> CollationPieces = {
    L"a", L"A", L"b", L"B", L"e", L"E", L"o", L"u", L"v", L"w", L"y", L"z", L"Z", L"readme", L"README", L"ReadMe",
    L"-", L"'", L"co-op", L"coop", L"it's", L"its", L"--", L"'-", L"_", L" ", L"<", L">",
    L"0", L"1", L"2", L"9", L"10", L"01", L"007",
    L"\u00E9", L"\u00C9", L"e\u0301", L"\u00E5", L"\u00C5", L"\u00E4", L"\u00C4", L"\u00F6", L"\u00D6", L"\u00FC",
    L"\u00DC", L"\u00DF", L"ss", L"SS", L"\u00E7", L"c", L"\u011F", L"g", L"\u015F", L"s", L"aa", L"ae", L"\u00E6",
    L"\u0130", L"\u0131", L"I", L"i", L"istanbul", L"\u0130stanbul", L"ISTANBUL", L"\u0131I",
    L"\u00AD", L"\u200B",
    L"\u03B1", L"\u0391", L"\u03A9", L"\u03AC", L"\u0436", L"\u0416", L"\u0451", L"\u0435",
    L"\u4E2D", L"\u6587", L"\u65E5", L"\u0645", L"\u0631", L"\u062D\u0628\u0627",
};

// For each locale, two texts it orders one way and another locale the other way:
// "ä" after "z" in Swedish, "ç" a letter of its own after "c" in Turkish.
struct TLocaleCase {
    const char* Name;
    LCID Locale;
    const wchar_t* Lower;
    const wchar_t* Higher;
};
const TLocaleCase Locales[] = {
    {"en-US", 1033, L"\u00E4", L"z"},
    {"sv-SE", 1053, L"z", L"\u00E4"},
    {"tr-TR", 1055, L"cb", L"\u00E7a"},
};

constexpr std::uint32_t Seed = 20240611;

}  // namespace

TEST(FileSortOrderInLocale, SortKeysGiveTheCompareStringOrder) {
    const char* Wanted = std::getenv("QV_SORT_LOCALE");
    if (!Wanted || !*Wanted) GTEST_SKIP() << "runs once per locale as the files_sort_* CTest entries";
    const TLocaleCase* Case = nullptr;
    for (const TLocaleCase& Row : Locales)
        if (std::string(Row.Name) == Wanted) Case = &Row;
    ASSERT_NE(Case, nullptr) << "no such locale in the table: " << Wanted;
    // Both calls must see the locale: the process's, and their ordering with it.
    ASSERT_EQ(GetUserDefaultLCID(), Case->Locale) << "LC_ALL did not give the process " << Wanted;
    EXPECT_EQ(CompareInLocale(Case->Lower, Case->Higher), -1);
    EXPECT_EQ(CompareKeyBytes(Case->Lower, Case->Higher), -1);

    TPathMaker Maker(Seed, CollationPieces);
    const std::int64_t FallbacksBefore = SortFileListFallbacks();
    int DifferingTies = 0;  // neighbours CompareStringW finds equal though they differ
    for (int Round = 0; Round < 12; ++Round) {
        TStringArray Files = Maker.List(Round < 4 ? 60 : 500);
        for (bool Descending : {false, true}) {
            SCOPED_TRACE(std::string(Wanted) + ", seed " + std::to_string(Seed) + ", round " + std::to_string(Round) +
                         (Descending ? ", descending" : ", ascending"));
            TStringArray Actual = Files;
            SortFileList(Actual, Descending);
            ASSERT_EQ(Actual, ReferenceOrder(Files, Descending));
            // Neighbours compare as bytes exactly as CompareStringW compares them,
            // ties included: the key sort alone gave this order.
            for (size_t I = 1; I < Actual.size(); ++I) {
                std::wstring Before = FileSortKey(Actual[I - 1]), After = FileSortKey(Actual[I]);
                int Order = CompareInLocale(Before, After);
                ASSERT_EQ(CompareKeyBytes(Before, After), Order)
                    << testing::PrintToString(Actual[I - 1]) << " before " << testing::PrintToString(Actual[I]);
                DifferingTies += Order == 0 && Actual[I - 1] != Actual[I];
            }
        }
    }
    EXPECT_EQ(SortFileListFallbacks(), FallbacksBefore) << "the keys were out of step with CompareStringW";
    EXPECT_GT(DifferingTies, 100) << "the lists hardly try the order of ties";
}

// Characters whose sort key the platform forms unlike its comparison: a Hebrew
// letter with a point (U+FB30 is U+05D0 U+05BC), Arabic forms with a shadda, Tibetan
// vowel signs, U+1FEE. Where the keys would misplace a path, every pair is compared
// with CompareStringW instead, and the order is the same.
TEST(FileSortOrder, PathsTheKeysMisplaceAreStillInCompareStringOrder) {
    const std::wstring Alef = L"C:\\d\\a\u05D0b.txt", AlefDagesh = L"C:\\d\\a\uFB30b.txt";
    if (CompareKeyBytes(FileSortKey(Alef), FileSortKey(AlefDagesh)) ==
        CompareInLocale(FileSortKey(Alef), FileSortKey(AlefDagesh)))
        GTEST_SKIP() << "this platform's keys order these as its comparison does";

    const std::int64_t FallbacksBefore = SortFileListFallbacks();
    TStringArray Pair{AlefDagesh, Alef};
    SortFileList(Pair, false);
    EXPECT_EQ(Pair, (TStringArray{Alef, AlefDagesh}));
    EXPECT_EQ(SortFileListFallbacks(), FallbacksBefore + 1);

    std::vector<std::wstring> Pieces = CollationPieces;
    for (const wchar_t* Piece : {L"\u05D0", L"\uFB30", L"\u05D0\u05BC", L"\u05E9", L"\uFB2B", L"\u0627", L"\uFD3D",
                                 L"\uFE7C", L"\uFE7D", L"\uFC5E", L"\u0F73", L"\u0F75", L"\u0F81", L"\u00A8",
                                 L"\u1FEE"})
        Pieces.insert(Pieces.end(), 4, Piece);
    TPathMaker Maker(Seed, Pieces);
    for (int Round = 0; Round < 6; ++Round) {
        TStringArray Files = Maker.List(300);
        for (bool Descending : {false, true}) {
            SCOPED_TRACE("seed " + std::to_string(Seed) + ", round " + std::to_string(Round) +
                         (Descending ? ", descending" : ", ascending"));
            TStringArray Actual = Files;
            SortFileList(Actual, Descending);
            ASSERT_EQ(Actual, ReferenceOrder(Files, Descending));
        }
    }
    EXPECT_GT(SortFileListFallbacks(), FallbacksBefore + 1) << "no list reached the comparison with CompareStringW";
}
