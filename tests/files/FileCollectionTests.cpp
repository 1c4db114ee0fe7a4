#include "files/FileCollection.h"

#include "TempFolder.h"
#include "TextBytes.h"
#include "UndoJournalScope.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <random>

namespace {

// Paths relative to the temp folder, for readable expectations.
TStringArray Relative(const TempFolder& Folder, const TStringArray& Files) {
    TStringArray Result;
    for (const std::wstring& File : Files) {
        EXPECT_EQ(File.rfind(Folder.Path(), 0), 0u) << "outside the folder: " << testing::PrintToString(File);
        Result.push_back(File.substr(Folder.Path().size()));
    }
    return Result;
}

TStringArray Collect(const TempFolder& Folder, const std::wstring& Mask, bool Recursive) {
    return Relative(Folder, CollectFiles(Folder.Path(), Mask, Recursive, false, false, false));
}

TStringArray Sorted(TStringArray Files) {
    std::sort(Files.begin(), Files.end());
    return Files;
}

}  // namespace

TEST(FileCollection, SortedWalkPutsAFoldersOwnFilesFirstByExtensionThenName) {
    TempFolder Folder;
    Folder.WriteFile(L"b.txt", "b");
    Folder.WriteFile(L"a.txt", "a");
    Folder.WriteFile(L"c.doc", "c");
    Folder.WriteFile(L"Sub\\a.txt", "s");
    TStringArray Files = CollectFiles(Folder.Path(), L"*", true, false, false, false);
    // The walk itself: the folder's own files (in the file system's order), then Sub's.
    ASSERT_EQ(Files.size(), 4u);
    EXPECT_EQ(Sorted(TStringArray(Files.begin(), Files.begin() + 3)),
              (TStringArray{Folder.Path() + L"a.txt", Folder.Path() + L"b.txt", Folder.Path() + L"c.doc"}));
    EXPECT_EQ(Files[3], Folder.Path() + L"Sub\\a.txt");
    SortFileList(Files, false);
    EXPECT_EQ(Relative(Folder, Files), (TStringArray{L"c.doc", L"a.txt", L"b.txt", L"Sub\\a.txt"}));
    SortFileList(Files, true);
    EXPECT_EQ(Relative(Folder, Files), (TStringArray{L"Sub\\a.txt", L"b.txt", L"a.txt", L"c.doc"}));
}

TEST(FileCollection, MaskMatchingNothingInTheFolderStillFindsSubFolderMatches) {
    TempFolder Folder;
    Folder.WriteFile(L"x.doc", "");
    Folder.WriteFile(L"Sub\\y.txt", "");
    Folder.WriteFile(L"Sub\\Deeper\\z.TXT", "");
    EXPECT_EQ(Collect(Folder, L"*.txt", true), (TStringArray{L"Sub\\y.txt", L"Sub\\Deeper\\z.TXT"}));
    EXPECT_EQ(Collect(Folder, L"*.txt", false), TStringArray{});
    // Trailing blanks of a filter never counted in matching.
    EXPECT_EQ(Collect(Folder, L"*.txt  ", true), (TStringArray{L"Sub\\y.txt", L"Sub\\Deeper\\z.TXT"}));
    EXPECT_EQ(Collect(Folder, L" ", true), TStringArray{});
}

TEST(FileCollection, HiddenAndSystemFilesAndFoldersAreCollected) {
    TempFolder Folder;
    ASSERT_TRUE(SetAttributes(Folder.WriteFile(L"hidden.txt", ""), FILE_ATTRIBUTE_HIDDEN)) << GetLastError();
    ASSERT_TRUE(SetAttributes(Folder.WriteFile(L"system.txt", ""), FILE_ATTRIBUTE_SYSTEM)) << GetLastError();
    Folder.WriteFile(L"Hidden\\in.txt", "");
    ASSERT_TRUE(SetAttributes(Folder.Path() + L"Hidden",
                              FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY))
        << GetLastError();
    EXPECT_EQ(Sorted(Collect(Folder, L"*.txt", true)), (TStringArray{L"Hidden\\in.txt", L"hidden.txt", L"system.txt"}));
    // The switches leave them out, files and folders alike.
    EXPECT_EQ(Relative(Folder, CollectFiles(Folder.Path(), L"*.txt", true, false, true, false)),
              TStringArray{L"system.txt"});
    EXPECT_EQ(Relative(Folder, CollectFiles(Folder.Path(), L"*.txt", true, true, false, false)),
              TStringArray{L"hidden.txt"});
}

namespace {

// A tree with folder links, made outside: Wine accepts CreateSymbolicLinkW but
// makes nothing, and refuses junctions, so the test run builds it with the host's
// own links (tests/files/extra.cmake) and names it in QV_LINK_CYCLE_DIR.
//   A\f.txt, A\B\b.txt, A\B\Up -> A, Side -> A   (a cycle below A, and a second way into A)
//   P\p.txt, P\Q -> R, R\r.txt, R\S -> P     (two folders linked to each other)
std::wstring LinkTree() {
    const char* Unix = std::getenv("QV_LINK_CYCLE_DIR");
    if (!Unix || !*Unix) return {};
    return WithTrailingBackslash(WinePath(Wide(Unix)));
}

}  // namespace

// Links are followed, but each folder is entered once however many links lead to
// it: R (through P\Q) and A (through Side) are not walked a second time.
TEST(FileCollection, LinksAreFollowedAndEachFolderIsEnteredOnce) {
    std::wstring Root = LinkTree();
    if (Root.empty() || GetFileAttributesW((Root + L"Side").c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no folder links here (QV_LINK_CYCLE_DIR is set by the CTest run)";
    TStringArray Files = CollectFiles(Root, L"*.txt", true, false, false, false);
    SortFileList(Files, false);
    TStringArray Expected;
    for (const wchar_t* Name : {L"A\\f.txt", L"A\\B\\b.txt", L"P\\p.txt", L"P\\Q\\r.txt"})
        Expected.push_back(Root + Name);
    SortFileList(Expected, false);
    EXPECT_EQ(Files, Expected);
    // Up leads to A, whose plain sub-folder B is where the walk started.
    std::wstring B = Root + L"A\\B\\";
    EXPECT_EQ(CollectFiles(B, L"*.txt", true, false, false, false), (TStringArray{B + L"b.txt", B + L"Up\\f.txt"}));
}

// The undo journal's folder is never walked: not where the tree holds it, not
// through a link to it, and not when the walk starts inside it. A folder that
// only shares its name is walked.
TEST(FileCollection, TheUndoJournalsFolderIsNeverWalked) {
    TUndoJournalScope Journal;
    TempFolder Folder;
    for (const wchar_t* Name : {L"a.txt", L"Undo\\run\\journal.dat", L"other\\undo\\b.txt"}) Folder.WriteFile(Name, "");
    SetEnvironmentVariableW(L"QV_UNDO_DIR", (Folder.Path() + L"Undo").c_str());
    EXPECT_EQ(Relative(Folder, CollectFiles(Folder.Path(), L"*", true, false, false, false)),
              (TStringArray{L"a.txt", L"other\\undo\\b.txt"}));
    EXPECT_EQ(CollectFiles(Folder.Path() + L"UNDO\\run", L"*", true, false, false, false), TStringArray{});
    EXPECT_EQ(CollectFiles(Folder.Path() + L"undo", L"*", false, false, false, false), TStringArray{});

    // Links: the journal is A\B of the link tree, reached also as Side\B and A\B\Up\B.
    const std::wstring Root = LinkTree();
    if (Root.empty() || GetFileAttributesW((Root + L"Side").c_str()) == INVALID_FILE_ATTRIBUTES) return;
    SetEnvironmentVariableW(L"QV_UNDO_DIR", (Root + L"A\\B").c_str());
    TStringArray Files = CollectFiles(Root, L"*.txt", true, false, false, false);
    SortFileList(Files, false);
    TStringArray Expected;
    for (const wchar_t* Name : {L"A\\f.txt", L"P\\p.txt", L"P\\Q\\r.txt"}) Expected.push_back(Root + Name);
    SortFileList(Expected, false);
    EXPECT_EQ(Files, Expected);
    EXPECT_EQ(CollectFiles(Root + L"Side", L"*.txt", true, false, false, false), TStringArray{Root + L"Side\\f.txt"});
    EXPECT_EQ(CollectFiles(Root + L"Side\\B", L"*.txt", true, false, false, false), TStringArray{});
}

TEST(FileCollection, OneListingPerFolderServesEveryFilter) {
    TempFolder Folder;
    for (const wchar_t* Name : {L"1.txt", L"2.md", L"A\\3.txt", L"A\\B\\4.md", L"A\\B\\5.txt", L"C\\6.md", L"C\\7.ini"})
        Folder.WriteFile(Name, "");
    const wchar_t* Filters[] = {L"*.txt", L"*.md", L"*.nothing", L"*"};
    // Four folders. Keeping the names: one pass each for every filter. Without:
    // one pass each per filter, the sub-folders taken from the first.
    for (const auto& [Keep, Passes] : {std::pair{true, 4}, std::pair{false, 4 * 4}}) {
        SCOPED_TRACE(Keep ? "names kept" : "names not kept");
        TFileCollector Collector;
        Collector.KeepFileNames(Keep);
        for (const wchar_t* Filter : Filters) {
            SCOPED_TRACE(testing::PrintToString(std::wstring(Filter)));
            EXPECT_EQ(Collector.Collect(Folder.Path(), Filter, true, false, false, false),
                      CollectFiles(Folder.Path(), Filter, true, false, false, false));
        }
        EXPECT_EQ(Collector.DirectoryPasses(), Passes);
    }
    // Without recursion only the folder itself is listed.
    TFileCollector Flat;
    EXPECT_EQ(Relative(Folder, Flat.Collect(Folder.Path(), L"*", false, false, false, false)).size(), 2u);
    EXPECT_EQ(Flat.DirectoryPasses(), 1);
}

TEST(FileCollection, ExcludeGlobsMatchNamesPathsAndFolders) {
    struct Case {
        const wchar_t* Glob;
        const wchar_t* Path;
        bool IsFolder;
        bool Matches;
    } Cases[] = {
        {L"node_modules", L"node_modules", true, true},        // a name at the top
        {L"node_modules", L"web\\app\\NODE_MODULES", true, true},  // and at any depth, any case
        {L"*.log", L"a\\b\\x.LOG", false, true},
        {L"*.log", L"a\\b\\x.logs", false, false},
        {L"?.txt", L"ab.txt", false, false},
        {L"?.txt", L"a.txt", false, true},
        {L"build/", L"build", true, true},                     // folders only
        {L"build\\", L"build", false, false},
        {L"build/", L"src\\build", true, true},
        {L"src/gen", L"src\\gen", true, true},                 // a separator ties it to the relative path
        {L"src/gen", L"lib\\src\\gen", true, false},
        {L"src/*.c", L"src\\a.c", false, true},
        {L"src/*.c", L"src\\sub\\a.c", false, false},         // "*" stays within a name
        {L"src/**/*.c", L"src\\a.c", false, true},             // "**" takes no folder too
        {L"src/**/*.c", L"src\\x\\y\\a.c", false, true},
        {L"**/gen/*.js", L"gen\\a.js", false, true},
        {L"**/gen/*.js", L"p\\q\\gen\\a.js", false, true},
        {L"**/gen/*.js", L"p\\gen\\sub\\a.js", false, false},
        {L"**", L"anything\\at\\all", false, true},
        {L"/top.txt", L"top.txt", false, true},                // a leading separator: from the start folder
        {L"/top.txt", L"sub\\top.txt", false, false},
        {L"r\u00e4k*", L"R\u00c4KSM\u00d6RG\u00c5S.txt", false, true},  // letter case of any script
        {L"", L"a", false, false},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(ExcludeGlobMatches(C.Glob, C.Path, C.IsFolder), C.Matches)
            << testing::PrintToString(std::wstring(C.Glob)) << " on " << testing::PrintToString(std::wstring(C.Path));
}

TEST(FileCollection, AnExcludedFolderIsNeverListed) {
    TempFolder Folder;
    for (const wchar_t* Name : {L"a.txt", L"skip.txt", L"keep\\b.txt", L"keep\\skip.txt", L"out\\c.txt",
                                L"out\\deep\\d.txt", L"keep\\out\\e.txt"})
        Folder.WriteFile(Name, "");
    TFileCollector All;
    EXPECT_EQ(All.Collect(Folder.Path(), L"*.txt", true, false, false, false).size(), 7u);
    const std::int64_t AllPasses = All.DirectoryPasses();

    TFileCollector Collector;
    Collector.SetExcludes({L"out/", L"skip.txt"});
    EXPECT_EQ(Sorted(Relative(Folder, Collector.Collect(Folder.Path(), L"*.txt", true, false, false, false))),
              (TStringArray{L"a.txt", L"keep\\b.txt"}));
    // Both "out" folders and the folder inside one are left unlisted.
    EXPECT_EQ(Collector.DirectoryPasses(), AllPasses - 3);
    // A later filter of the run keeps to them too.
    EXPECT_EQ(Relative(Folder, Collector.Collect(Folder.Path(), L"*", true, false, false, false)),
              (TStringArray{L"a.txt", L"keep\\b.txt"}));
}

TEST(FileCollection, FolderWithoutTrailingBackslashAndMissingFolders) {
    TempFolder Folder;
    Folder.WriteFile(L"x.txt", "");
    std::wstring Bare = Folder.Path().substr(0, Folder.Path().size() - 1);
    EXPECT_EQ(CollectFiles(Bare, L"*.txt", true, false, false, false), TStringArray{Folder.Path() + L"x.txt"});
    EXPECT_EQ(CollectFiles(Folder.Path() + L"missing", L"*", true, false, false, false), TStringArray{});
    // EnumerateFiles appends to what the list already holds.
    TStringArray Files{L"kept"};
    EnumerateFiles(Folder.Path(), L"*.txt", false, false, false, false, Files);
    EXPECT_EQ(Files, (TStringArray{L"kept", Folder.Path() + L"x.txt"}));
}

TEST(FileCollection, TextHelpers) {
    struct {
        const wchar_t* Text;
        const wchar_t* Separator;
        TStringArray Pieces;
    } Splits[] = {
        {L"", L"; ", {}},
        {L"*.txt", L"", {}},
        {L"; ; ; ", L"; ", {}},
        {L"*.txt", L"; ", {L"*.txt"}},
        {L"*.txt; *.md", L"; ", {L"*.txt", L"*.md"}},
        {L"; *.txt; ; *.md; ", L"; ", {L"*.txt", L"*.md"}},
        {L"*.txt;*.md", L"; ", {L"*.txt;*.md"}},
        {L"*.txt;  *.md", L"; ", {L"*.txt", L" *.md"}},
        {L"a\r\nb\r\n\r\nc", L"\r\n", {L"a", L"b", L"c"}},
        {L"aXbxc", L"X", {L"a", L"bxc"}},
    };
    for (const auto& Case : Splits)
        EXPECT_EQ(SplitText(Case.Text, Case.Separator), Case.Pieces) << testing::PrintToString(std::wstring(Case.Text));

    EXPECT_EQ(AppendWithSeparator(L"", L"a", L"\r\n"), L"a");
    EXPECT_EQ(AppendWithSeparator(L"a", L"b", L"\r\n"), L"a\r\nb");
    EXPECT_EQ(AppendWithSeparator(L"a", L"", L"; "), L"a; ");

    EXPECT_EQ(WithTrailingBackslash(L"C:\\"), L"C:\\");
    EXPECT_EQ(WithTrailingBackslash(L"C:\\Data"), L"C:\\Data\\");
    EXPECT_EQ(WithTrailingBackslash(L""), L"");
    EXPECT_EQ(WithTrailingBackslash(L"C:"), L"C:\\");
    EXPECT_EQ(WithTrailingBackslash(L"C:/Data/"), L"C:/Data/\\");

    struct {
        const wchar_t* Path;
        const wchar_t* Key;
    } Keys[] = {
        {L"C:\\Data\\report.final.txt", L"C:\\Data\\<.txt>report.final"},
        {L"C:\\Data\\README", L"C:\\Data\\<>README"},
        {L"C:\\Data.d\\README", L"C:\\Data.d\\<>README"},
        {L"C:\\Data\\.profile", L"C:\\Data\\<.profile>"},
        {L"C:\\Data\\trail.", L"C:\\Data\\<.>trail"},
        {L"C:report.txt", L"C:\\<.txt>report"},
        {L"report.txt", L"<.txt>report"},
        {L"", L"<>"},
    };
    for (const auto& Case : Keys) EXPECT_EQ(FileSortKey(Case.Path), Case.Key) << testing::PrintToString(std::wstring(Case.Path));
}

namespace {

// The order the sort must give: a stable insertion sort comparing freshly formed
// keys with the user's locale.
void ReferenceSort(TStringArray& Files, bool Descending) {
    for (size_t I = 1; I < Files.size(); ++I) {
        std::wstring Taken = Files[I];
        size_t J = I;
        while (J > 0) {
            std::wstring Before = FileSortKey(Files[J - 1]), Key = FileSortKey(Taken);
            int Result = CompareStringW(LOCALE_USER_DEFAULT, 0, Before.c_str(), -1, Key.c_str(), -1) - CSTR_EQUAL;
            if (Descending ? Result >= 0 : Result <= 0) break;
            Files[J] = Files[J - 1];
            --J;
        }
        Files[J] = Taken;
    }
}

}  // namespace

TEST(FileCollection, SortGivesTheInsertionSortOrderExactly) {
    // Pieces chosen to collide: case pairs, accents, characters the collation
    // weighs lightly or not at all (hyphen, apostrophe, soft hyphen), digits,
    // "<" and ">" themselves, and "C:x" beside "C:\x" (different paths, equal keys).
    const std::wstring Pieces[] = {L"a",  L"A",  L"b",      L"B",      L"\u00E4", L"\u00C4", L"e", L"\u00E9",
                                   L"-",  L"'",  L"\u00AD", L"1",      L"10",     L"2",      L" ", L"_",
                                   L"<",  L">",  L".",      L"\u0131", L"I",      L"i",      L"z", L"\u00DF"};
    std::mt19937 Random(4242);
    auto Pick = [&](int Low, int High) { return std::uniform_int_distribution<int>(Low, High)(Random); };
    auto Word = [&] {
        std::wstring W;
        for (int I = Pick(0, 3); I >= 0; --I) W += Pieces[Pick(0, std::size(Pieces) - 1)];
        return W;
    };
    for (int Round = 0; Round < 40; ++Round) {
        TStringArray Files;
        int Count = Round == 0 ? 1 : Pick(0, 150);
        for (int I = 0; I < Count; ++I) {
            std::wstring Path = Pick(0, 1) ? L"C:\\" : L"C:";
            for (int Depth = Pick(0, 2); Depth > 0; --Depth) Path += Word() + L"\\";
            Path += Word();
            if (Pick(0, 2)) Path += L"." + Word();
            Files.push_back(Path);
            if (Pick(0, 5) == 0) Files.push_back(Path);  // exact duplicates too
        }
        for (bool Descending : {false, true}) {
            SCOPED_TRACE("round " + std::to_string(Round) + (Descending ? " descending" : " ascending"));
            TStringArray Expected = Files, Actual = Files;
            ReferenceSort(Expected, Descending);
            SortFileList(Actual, Descending);
            ASSERT_EQ(Actual, Expected);
        }
    }
}
