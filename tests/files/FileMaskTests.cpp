#include "files/FileCollection.h"

#include "base/UniqueHandle.h"
#include "files/LongPath.h"

#include "TempFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <random>
#include <regex>
#include <set>

namespace {

TStringArray Collect(const TempFolder& Folder, const std::wstring& Mask, bool Recursive = false,
                     bool EnterVersionControl = false) {
    TFileCollector Collector(EnterVersionControl);
    TStringArray Files;
    for (const std::wstring& File : Collector.Collect(Folder.Path(), Mask, Recursive, false, false, false))
        Files.push_back(File.substr(Folder.Path().size()));
    std::sort(Files.begin(), Files.end());
    return Files;
}

// Where the platform here departs from the documented long-name rules, the
// matcher keeps to those rules and the two cannot be compared: a "?" right after
// a star is taken there as a literal question mark ("*?" matches nothing), and a
// mask ending in "." matches names with dots too.
bool ComparableWithThePlatform(std::wstring_view Mask) {
    return Mask.back() != L'.' && Mask.find(L"*?") == std::wstring_view::npos;
}

// The documented rules written once more, as a regular expression: "*" any run,
// "?" one character, and in the run of dots and stars that ends the mask a dot
// may also meet the name's end.
bool DocumentedRulesMatch(std::wstring_view Mask, std::wstring_view Name) {
    const size_t Tail = Mask.find_last_not_of(L".*") + 1;
    std::wstring Pattern;
    for (size_t I = 0; I < Mask.size(); ++I) {
        const wchar_t C = Mask[I];
        if (C == L'*') Pattern += L".*";
        else if (C == L'?') Pattern += L'.';
        else if (C == L'.') Pattern += I >= Tail ? L"(?:\\.|$)" : L"\\.";
        else Pattern += C;
    }
    return std::regex_match(std::wstring(Name), std::wregex(Pattern, std::regex::icase));
}

}  // namespace

TEST(FileMask, LongNameRules) {
    const struct {
        const wchar_t* Mask;
        const wchar_t* Name;
        bool Match;
    } Cases[] = {
        {L"*.doc", L"report.doc", true},
        {L"*.doc", L"report.docx", false},
        {L"*.htm", L"page.html", false},
        {L"*.cpp", L"foo.cpp~", false},
        {L"*.txt", L"notes.txt1", false},
        {L"*.TXT", L"notes.txt", true},          // letter case ignored
        {L"*.txt", L"NOTES.TXT", true},
        {L"*.txt", L"a.b.txt", true},
        {L"*.txt", L".txt", true},
        {L"*.txt ", L"a.txt", true},            // trailing blanks of the mask dropped
        {L"*", L"anything.at.all", true},
        {L"*.*", L"README", true},              // every name, with a dot or without
        {L"*.*", L"a.b", true},
        {L"*.", L"README", true},               // names without a dot
        {L"*.", L"a.b", false},
        {L"*.", L".git", false},
        {L"read*.", L"readme", true},
        {L"read*.", L"readme.md", false},
        {L"name.*", L"name", true},             // a dot and star may follow the name's end
        {L"name.*", L"name.txt", true},
        {L"name.*", L"names", false},
        {L"?.txt", L"a.txt", true},
        {L"?.txt", L"ab.txt", false},
        {L"?.txt", L".txt", false},
        {L"a?c", L"abc", true},
        {L"a?c", L"ac", false},
        {L"*a*b*", L"xxaxxbxx", true},
        {L"*a*b*", L"xxbxxaxx", false},
        {L"*ab", L"aab", true},
        {L"\u00C5*.txt", L"\u00E5ngstr\u00F6m.txt", true},  // case beyond ASCII
        {L"", L"a.txt", false},
        {L"  ", L"a.txt", false},
    };
    for (const auto& Case : Cases) {
        EXPECT_EQ(MaskMatchesName(Case.Mask, Case.Name), Case.Match)
            << testing::PrintToString(std::wstring(Case.Mask)) << " on " << testing::PrintToString(std::wstring(Case.Name));
    }
}

// The collection matches the long name only: a name whose short name (8.3) would
// match the mask is not listed.
TEST(FileMask, CollectionIgnoresShortNames) {
    TempFolder Folder;
    for (const wchar_t* Name : {L"report.doc", L"report.docx", L"page.htm", L"page.html", L"foo.cpp", L"foo.cpp~",
                                L"notes.txt", L"notes.txt1", L"README"})
        Folder.WriteFile(Name, "x");
    EXPECT_EQ(Collect(Folder, L"*.doc"), TStringArray{L"report.doc"});
    EXPECT_EQ(Collect(Folder, L"*.htm"), TStringArray{L"page.htm"});
    EXPECT_EQ(Collect(Folder, L"*.cpp"), TStringArray{L"foo.cpp"});
    EXPECT_EQ(Collect(Folder, L"*.txt"), TStringArray{L"notes.txt"});
    EXPECT_EQ(Collect(Folder, L"*."), TStringArray{L"README"});
    EXPECT_EQ(Collect(Folder, L"*.*").size(), 9u);
}

// Our matcher against the platform's listing of the same folder, on random names
// and masks. The platform also matches the short name, so a name it lists that
// the matcher refuses is allowed only when its short name matches the mask.
TEST(FileMask, MatcherAgreesWithThePlatformListingOnLongNames) {
    TempFolder Folder;
    std::mt19937 Random(20261211);
    auto Pick = [&](std::wstring_view From, size_t Min, size_t Max) {
        std::wstring Text(std::uniform_int_distribution<size_t>(Min, Max)(Random), L' ');
        for (wchar_t& C : Text) C = From[std::uniform_int_distribution<size_t>(0, From.size() - 1)(Random)];
        return Text;
    };
    std::set<std::wstring> Names;
    while (Names.size() < 80) {
        std::wstring Name = Pick(L"aAbB.x~1\u00E9", 1, 9);
        if (Name == L"." || Name == L"..") continue;
        std::wstring Upper = Name;
        CharUpperBuffW(Upper.data(), static_cast<DWORD>(Upper.size()));
        bool Clash = false;
        for (const std::wstring& Known : Names) {
            std::wstring KnownUpper = Known;
            CharUpperBuffW(KnownUpper.data(), static_cast<DWORD>(KnownUpper.size()));
            Clash = Clash || KnownUpper == Upper;
        }
        if (!Clash) Names.insert(Name);
    }
    for (const std::wstring& Name : Names) ASSERT_FALSE(Folder.WriteFile(Name, "x").empty());

    int Compared = 0, ShortOnly = 0, PlatformMissed = 0;
    for (int Round = 0; Round < 400; ++Round) {
        std::wstring Mask = Pick(L"aAbB.x*?", 1, 6);
        if (!ComparableWithThePlatform(Mask)) continue;
        std::set<std::wstring> Platform, ShortNames;
        WIN32_FIND_DATAW Data;
        UniqueFind Find(FindFirstFileExW((ExtendedPath(Folder.Path()) + Mask).c_str(), FindExInfoStandard, &Data,
                                         FindExSearchNameMatch, nullptr, 0));
        if (Find) {
            do {
                if (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
                Platform.insert(Data.cFileName);
                if (Data.cAlternateFileName[0] && MaskMatchesName(Mask, Data.cAlternateFileName))
                    ShortNames.insert(Data.cFileName);
            } while (FindNextFileW(Find.Get(), &Data));
        }
        for (const std::wstring& Name : Names) {
            const bool Ours = MaskMatchesName(Mask, Name);
            const bool Theirs = Platform.count(Name) != 0;
            ++Compared;
            EXPECT_EQ(Ours, DocumentedRulesMatch(Mask, Name))
                << "mask " << testing::PrintToString(Mask) << ", name " << testing::PrintToString(Name);
            if (Ours == Theirs) continue;
            if (Theirs && ShortNames.count(Name)) {
                ++ShortOnly;
                continue;
            }
            // The platform here also misses a few long names where the part after a
            // star matched once too early ("*aa" on "1aaa"); the regular expression
            // above decides those.
            if (Ours && !Theirs && DocumentedRulesMatch(Mask, Name)) {
                ++PlatformMissed;
                continue;
            }
            ADD_FAILURE() << "mask " << testing::PrintToString(Mask) << ", name " << testing::PrintToString(Name)
                          << ": platform " << Theirs << ", ours " << Ours;
        }
    }
    EXPECT_GT(Compared, 0);
    std::printf("compared %d: listed by a short name only %d, missed by the platform %d\n", Compared, ShortOnly,
                PlatformMissed);
}

TEST(FileMask, VersionControlFoldersAreLeftAloneUnlessAsked) {
    TempFolder Folder;
    for (const wchar_t* Name : {L"a.txt", L".git\\config", L".GIT2\\b.txt", L"sub\\.svn\\c.txt", L"sub\\.hg\\d.txt",
                                L"_darcs\\e.txt", L".bzr\\f.txt", L"sub\\.Git\\g.txt", L"sub\\h.txt"})
        Folder.WriteFile(Name, "x");
    Folder.WriteFile(L"wt\\.git", "gitdir: ../.git/worktrees/wt\n");  // a file named .git is ordinary
    EXPECT_EQ(Collect(Folder, L"*", true),
              (TStringArray{L".GIT2\\b.txt", L"a.txt", L"sub\\h.txt", L"wt\\.git"}));
    EXPECT_EQ(Collect(Folder, L"*", true, true).size(), 10u);
    for (const wchar_t* Name : {L".git", L".GIT", L".svn", L".hg", L"_darcs", L".bzr"})
        EXPECT_TRUE(IsVersionControlFolder(Name)) << Name;
    for (const wchar_t* Name : {L"git", L".git2", L".gitignore", L"darcs", L""})
        EXPECT_FALSE(IsVersionControlFolder(Name)) << Name;
}
