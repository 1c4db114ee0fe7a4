#include "workers/WorkThreadSearch.h"

#include "TempFolder.h"
#include "TextBytes.h"
#include "base/TextMatching.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {

struct SearchRun {
    std::vector<std::wstring> Events;  // "filter X", "progress N", "add NAME O T", "skip NAME R", "return S"
    std::vector<std::int64_t> Examined;  // FilesExamined() at each progress event
    std::int32_t SkipCount = -1;
    int ReturnEvents = 0;
};

// Runs a search to its end, recording every event as a line (paths relative to Folder).
SearchRun RunSearch(const std::wstring& Folder, bool Recursive, const std::wstring& Filters,
                    const std::wstring& TextToFind, bool CaseSensitive, std::int32_t Encoding,
                    std::function<void(TWorkThreadSearch&, const std::wstring&)> OnEvent = nullptr,
                    TFindRule Rule = {}) {
    SearchRun Run;
    TWorkThreadSearch Worker(Folder, Recursive, Filters, TextToFind, CaseSensitive, EncodingModeFromStored(Encoding),
                             Rule);
    auto Log = [&](std::wstring Line) {
        Run.Events.push_back(Line);
        if (OnEvent) OnEvent(Worker, Line);
    };
    Worker.OnSearchShowCurrentFilter = [&](std::wstring Filter) { Log(L"filter " + Filter); };
    Worker.OnSearchProgress = [&](std::int32_t Value) {
        Run.Examined.push_back(Worker.FilesExamined());
        Log(L"progress " + std::to_wstring(Value));
    };
    Worker.OnSearchSkipFile = [&](std::wstring FileName, TApplyFileOutcome Reason) {
        Log(L"skip " + FileName.substr(FileName.rfind(L'\\') + 1) + L" " +
            std::to_wstring(static_cast<int>(Reason)));
    };
    Worker.OnSearchAddFile = [&](std::wstring FileName, std::int32_t Occurences, std::int32_t Total) {
        std::wstring Relative = FileName.rfind(Folder, 0) == 0 ? FileName.substr(Folder.size()) : L"?" + FileName;
        Log(L"add " + Relative + L" " + std::to_wstring(Occurences) + L" " + std::to_wstring(Total));
    };
    Worker.OnSearchReturnValues = [&](std::int32_t SkipCount) {
        Run.SkipCount = SkipCount;
        ++Run.ReturnEvents;
        Log(L"return " + std::to_wstring(SkipCount));
    };
    Worker.Start();
    Worker.WaitFor();
    return Run;
}

TEST(WorkThreadSearch, EventsComeFilterByFilterInSortedOrderWithRunningTotal) {
    TempFolder Dir;
    Dir.WriteFile(L"b.txt", "apple apple");
    Dir.WriteFile(L"a.txt", "one apple");
    Dir.WriteFile(L"c.doc", "apple");
    Dir.WriteFile(L"none.txt", "pear");
    Dir.WriteFile(L"Sub\\a.txt", Utf16WithBom(L"apple"));

    SearchRun Run = RunSearch(Dir.Path(), true, L"*.txt; *.doc", L"apple", true, 0);
    std::vector<std::wstring> Expected = {
        L"filter *.txt",  L"progress 0",      L"add a.txt 1 1",  L"progress 33",     L"add b.txt 2 3",
        L"progress 67",   L"progress 100",    L"add Sub\\a.txt 1 4", L"filter *.doc", L"progress 0",
        L"add c.doc 1 5", L"return 0"};
    EXPECT_EQ(Run.Events, Expected);
}

// A tree of numbered files, odd ones in a sub-folder, file i holding the text
// "needle" i % 9 times after Size(i) filler bytes (UTF-16 for every third, UTF-8
// otherwise), and the events a search for "needle" must raise on it.
struct TNeedleTree {
    TempFolder Dir;
    std::vector<std::wstring> Expected;

    TNeedleTree(int Files, const std::function<size_t(int)>& Size) {
        std::vector<std::wstring> Names;
        std::vector<int> Counts;
        for (int i = 0; i < Files; ++i) {
            const std::wstring Name = (i % 2 ? L"Sub\\" : L"") + std::wstring(L"f") + std::to_wstring(100 + i) + L".txt";
            const int Count = i % 9;  // some files without the text
            std::string Text(Size(i), '-');
            for (int k = 0; k < Count; ++k) Text += " needle";
            Dir.WriteFile(Name, i % 3 == 1 ? Utf16WithBom(Wide(Text)) : Utf8Bom + Text);
            Names.push_back(Name);
            Counts.push_back(Count);
        }
        // Files of a folder come before its sub-folders'.
        std::vector<size_t> Order;
        for (int Pass = 0; Pass < 2; ++Pass)
            for (int i = 0; i < Files; ++i)
                if (i % 2 == Pass) Order.push_back(static_cast<size_t>(i));
        Expected = {L"filter *.txt"};
        std::int32_t Total = 0, LastProgress = -1;
        for (size_t Position = 0; Position < Order.size(); ++Position) {
            const auto Progress =
                static_cast<std::int32_t>(ProgressPercent(static_cast<std::int64_t>(Position), Files - 1, 100));
            if (Progress != LastProgress) Expected.push_back(L"progress " + std::to_wstring(Progress));
            LastProgress = Progress;
            const int Count = Counts[Order[Position]];
            Total += Count;
            if (Count)
                Expected.push_back(L"add " + Names[Order[Position]] + L" " + std::to_wstring(Count) + L" " +
                                   std::to_wstring(Total));
        }
        Expected.push_back(L"return 0");
    }
};

// The pool reads files side by side and large ones finish after the small ones
// behind them; the events still come in the collected order, with the exact
// counts, running totals and progress values, whatever the pool's size.
TEST(WorkThreadSearch, EventsKeepTheCollectedOrderWhenFilesFinishOutOfOrder) {
    TNeedleTree Tree(60, [](int i) -> size_t { return i % 10 == 0 ? 6 << 20 : 64; });
    for (unsigned Threads : {2u, 3u, 5u}) {
        SCOPED_TRACE(Threads);
        TFilePipeline::SetThreadsForTests(Threads);
        SearchRun Run = RunSearch(Tree.Dir.Path(), true, L"*.txt", L"needle", true, 0);
        EXPECT_EQ(Run.Events, Tree.Expected);
    }
    TFilePipeline::SetThreadsForTests(0);
}

// The memory the files in flight hold stays within the cap; a file that needs
// more than the cap goes through alone, when the run waits for it, and the run
// neither stalls nor loses a file. A pattern's search reads each file whole.
TEST(WorkThreadSearch, FilesInFlightStayWithinTheMemoryCap) {
    constexpr size_t Large = 3 << 20, Cap = 8 << 20;
    // Ten large files in a row in each folder, among small ones.
    TNeedleTree Tree(50, [](int i) -> size_t { return i >= 10 && i < 30 ? Large : 64; });
    TFilePipeline::SetThreadsForTests(4);
    TFilePipeline::SetInFlightLimitForTests(Cap);
    SearchRun Run = RunSearch(Tree.Dir.Path(), true, L"*.txt", L"needle", true, 0, nullptr, {true, false});
    const std::uint64_t Peak = TFilePipeline::PeakAdmittedForTests();
    TFilePipeline::SetInFlightLimitForTests(0);
    TFilePipeline::SetThreadsForTests(0);
    EXPECT_EQ(Run.Events, Tree.Expected);
    // A large UTF-16 file asks for three times its bytes; small ones may join it.
    const std::uint64_t LargestAsked = 3 * (2 * (Large + 64 * 9) + 2);
    EXPECT_GE(Peak, 3 * Large);
    EXPECT_LE(Peak, LargestAsked + 8 * 3 * 1024);
}

// Without a pattern every file is read in pieces of one size, side by side, in
// the memory of a piece per pool thread however large the files: the run's
// counts are the files' own.
TEST(WorkThreadSearch, LargeFilesAreSearchedSideBySideInPieces) {
    constexpr size_t Large = 20 << 20;
    TNeedleTree Tree(6, [](int i) -> size_t { return i < 4 ? Large : 64; });
    TFilePipeline::SetThreadsForTests(2);
    TFilePipeline::SetInFlightLimitForTests(0);
    SearchRun Run = RunSearch(Tree.Dir.Path(), true, L"*.txt", L"needle", true, 0);
    const std::uint64_t Peak = TFilePipeline::PeakAdmittedForTests();
    TFilePipeline::SetThreadsForTests(0);
    EXPECT_EQ(Run.Events, Tree.Expected);
    EXPECT_GT(Peak, 0u);
    EXPECT_LE(Peak, 2 * TTextFileReader::PieceMemory());
}

// Pieces of 1 to 17 bytes (a spread of them: the reader's and the counter's own
// tests take every size) find what one piece finds, in every mode: occurrences,
// UTF-8 sequences and UTF-16 units across piece ends, a text to find with a line
// break, case-insensitive matches; and a file whose only invalid byte is in its
// last piece is skipped as invalid in UTF-8 mode and is ANSI in automatic mode.
TEST(WorkThreadSearch, TinyPiecesFindWhatOnePieceFinds) {
    TempFolder Dir;
    const std::string Text = "N\xC3\xA4" "del needle\r\nNEEDLE ne\xF0\x9F\x98\x80" "edle nEEdle\nneedle needle";
    Dir.WriteFile(L"a-utf8-mark.txt", Utf8Bom + Text);
    Dir.WriteFile(L"b-utf16.txt", Utf16WithBom(Wide(Text)));
    Dir.WriteFile(L"c-utf8.txt", Text);
    Dir.WriteFile(L"d-ansi.txt", "needle caf\xE9 NEEDLE needle");
    Dir.WriteFile(L"e-last-byte.txt", Text + " needle\xC3");
    Dir.WriteFile(L"f-utf16-no-mark.txt", Utf16WithBom(Wide(Text)).substr(2));
    for (const std::int32_t Mode : {0, 1, 2, 3}) {
        for (const wchar_t* Find : {L"needle", L"e\r\nn", L"\u00E4DEL"}) {
            for (const bool CaseSensitive : {true, false}) {
                SCOPED_TRACE(testing::Message() << "mode " << Mode << ", case " << CaseSensitive);
                const SearchRun One = RunSearch(Dir.Path(), false, L"*.txt", Find, CaseSensitive, Mode);
                for (const size_t Size : std::initializer_list<size_t>{1, 2, 3, 4, 5, 7, 11, 17}) {
                    SetPieceSizeForTests(Size);
                    EXPECT_EQ(RunSearch(Dir.Path(), false, L"*.txt", Find, CaseSensitive, Mode).Events, One.Events)
                        << "piece " << Size;
                }
                SetPieceSizeForTests(0);
            }
        }
    }
    const std::wstring Invalid = std::to_wstring(static_cast<int>(TApplyFileOutcome::InvalidEncoding));
    for (const size_t Size : {size_t{1}, size_t{5}, size_t{0}}) {
        SetPieceSizeForTests(Size);
        const SearchRun Utf8 = RunSearch(Dir.Path(), false, L"e-*.txt", L"needle", true, 3);
        const SearchRun Auto = RunSearch(Dir.Path(), false, L"e-*.txt", L"needle", true, 0);
        EXPECT_EQ(Utf8.Events, (std::vector<std::wstring>{L"filter e-*.txt", L"progress 0",
                                                          L"skip e-last-byte.txt " + Invalid, L"return 1"}));
        EXPECT_EQ(Auto.Events, (std::vector<std::wstring>{L"filter e-*.txt", L"progress 0", L"add e-last-byte.txt 4 4",
                                                          L"return 0"}));
    }
    SetPieceSizeForTests(0);
}

TEST(WorkThreadSearch, NineFilesReportTheProgressSteps) {
    TempFolder Dir;
    for (int i = 1; i <= 9; ++i) Dir.WriteFile(L"f" + std::to_wstring(i) + L".txt", "x");
    SearchRun Run = RunSearch(Dir.Path(), false, L"*.txt", L"nothing here", true, 0);
    std::vector<std::wstring> Progress;
    for (const auto& Event : Run.Events)
        if (Event.rfind(L"progress", 0) == 0) Progress.push_back(Event.substr(9));
    EXPECT_EQ(Progress, (std::vector<std::wstring>{L"0", L"12", L"25", L"38", L"50", L"62", L"75", L"88", L"100"}));
    EXPECT_EQ(Run.SkipCount, 0);
}

TEST(WorkThreadSearch, FilesExaminedCountsFilesNotProgressSteps) {
    TempFolder Dir;
    for (int i = 0; i < 250; ++i) Dir.WriteFile(L"f" + std::to_wstring(1000 + i) + L".txt", "x");
    // The second filter matches the same files again: they are not examined twice.
    SearchRun Run = RunSearch(Dir.Path(), false, L"*.txt; f1*.txt", L"nothing here", true, 0);
    std::vector<std::int32_t> Percent;
    for (const auto& Event : Run.Events)
        if (Event.rfind(L"progress", 0) == 0) Percent.push_back(std::stoi(Event.substr(9)));
    ASSERT_EQ(Run.Examined.size(), Percent.size());
    ASSERT_EQ(Percent.size(), 202u);  // 0..100 for each filter
    for (size_t i = 0; i < 101; ++i) {
        // The file a value is for: the first whose share of the files rounds to it.
        std::int64_t File = 0;
        while (ProgressPercent(File, 249, 100) < Percent[i]) ++File;
        EXPECT_EQ(Run.Examined[i], File + 1) << "step " << i;
    }
    // By the second filter every file has been examined once, and none again.
    for (size_t i = 101; i < Percent.size(); ++i) EXPECT_EQ(Run.Examined[i], 250) << "step " << i;
}

TEST(WorkThreadSearch, EmptyTextListsEveryFileWithoutReadingOrSkipping) {
    TempFolder Dir;
    Dir.WriteFile(L"a.txt", "hello");
    Dir.WriteFile(L"b.txt", std::string("\x00\x00\xFE\xFF", 4));  // UTF-32 BE: would be skipped if probed
    SearchRun Run = RunSearch(Dir.Path(), false, L"*.txt", L"", true, 0);
    std::vector<std::wstring> Expected = {L"filter *.txt", L"progress 0", L"add a.txt 0 0",
                                          L"progress 100", L"add b.txt 0 0", L"return 0"};
    EXPECT_EQ(Run.Events, Expected);
}

// A listing tells its files in calls of many files: every file still comes once,
// in the collected order, with each progress value before the first file it is
// for, in the run's mode.
TEST(WorkThreadSearch, AListingOfManyFilesKeepsItsOrderAndProgress) {
    TempFolder Dir;
    constexpr int Files = 1500;
    std::vector<std::wstring> Names;
    for (int Pass = 0; Pass < 2; ++Pass)
        for (int i = 0; i < Files; ++i)
            if (i % 2 == Pass) Names.push_back((Pass ? L"Sub\\f" : L"f") + std::to_wstring(10000 + i) + L".txt");
    for (const std::wstring& Name : Names) Dir.WriteFile(Name, "");
    std::vector<std::wstring> Expected = {L"filter *.txt"};
    std::int32_t LastProgress = -1;
    for (size_t Position = 0; Position < Names.size(); ++Position) {
        const auto Progress =
            static_cast<std::int32_t>(ProgressPercent(static_cast<std::int64_t>(Position), Files - 1, 100));
        if (Progress != LastProgress) Expected.push_back(L"progress " + std::to_wstring(Progress));
        LastProgress = Progress;
        Expected.push_back(L"add " + Names[Position] + L" 0 0");
    }
    Expected.push_back(L"return 0");
    bool ModeAsAsked = true;
    SearchRun Run = RunSearch(Dir.Path(), true, L"*.txt", L"", true, 2, [&](TWorkThreadSearch& Worker, const std::wstring& Event) {
        if (Event.rfind(L"add", 0) == 0) ModeAsAsked = ModeAsAsked && Worker.FileEncoding() == TEncodingMode::Utf16LE;
    });
    EXPECT_EQ(Run.Events, Expected);
    EXPECT_TRUE(ModeAsAsked);
}

TEST(WorkThreadSearch, SkipsUnsupportedMarksAndInvalidBytes) {
    TempFolder Dir;
    Dir.WriteFile(L"utf32be.txt", std::string("\x00\x00\xFE\xFF", 4) + "apple");
    Dir.WriteFile(L"utf32le.txt", std::string("\xFF\xFE\x00\x00", 4) + "apple");
    Dir.WriteFile(L"utf16be.txt", std::string("\xFE\xFF\x00\x61", 4));
    Dir.WriteFile(L"plain.txt", "apple");
    Dir.WriteFile(L"bad.txt", "apple \xC3\x28");  // invalid UTF-8

    struct Case {
        std::int32_t Mode;
        std::int32_t Skips;
        int Listed;
    } Cases[] = {
        {0, 3, 2},  // plain and bad read as ANSI
        {1, 0, 4},  // ANSI reads the marks as bytes: all but utf16be hold "apple"
        {3, 4, 1},  // UTF-8: invalid bytes (bad.txt, the foreign marks) are skipped, never listed
        {7, 0, 0},  // a mode outside 0..3 reads nothing
    };
    for (const Case& C : Cases) {
        SearchRun Run = RunSearch(Dir.Path(), false, L"*.txt", L"apple", true, C.Mode);
        int Listed = 0;
        for (const auto& Event : Run.Events) Listed += Event.rfind(L"add", 0) == 0;
        EXPECT_EQ(Run.SkipCount, C.Skips) << "mode " << C.Mode;
        EXPECT_EQ(Listed, C.Listed) << "mode " << C.Mode;
        EXPECT_EQ(Run.ReturnEvents, 1);
    }
    // Each skipped file is named with its reason, in the collected order.
    auto Skips = [&](std::int32_t Mode) {
        std::vector<std::wstring> Named;
        for (const auto& Event : RunSearch(Dir.Path(), false, L"*.txt", L"apple", true, Mode).Events)
            if (Event.rfind(L"skip", 0) == 0) Named.push_back(Event.substr(5));
        return Named;
    };
    const std::wstring Mark = std::to_wstring(static_cast<int>(TApplyFileOutcome::UnsupportedMark));
    const std::wstring Invalid = std::to_wstring(static_cast<int>(TApplyFileOutcome::InvalidEncoding));
    EXPECT_EQ(Skips(0), (std::vector<std::wstring>{L"utf16be.txt " + Mark, L"utf32be.txt " + Mark,
                                                    L"utf32le.txt " + Mark}));
    const std::vector<std::wstring> Utf8 = Skips(3);
    ASSERT_EQ(Utf8.size(), 4u);
    EXPECT_EQ(Utf8[0], L"bad.txt " + Invalid);
}

TEST(WorkThreadSearch, SameFileThroughTwoFiltersIsListedOnceAndCaseFlagApplies) {
    TempFolder Dir;
    Dir.WriteFile(L"fruit.txt", Utf8Bom + "\xC3\xA4pple \xC3\x84PPLE");  // äpple ÄPPLE
    SearchRun Sensitive = RunSearch(Dir.Path(), false, L"*.txt; *.TXT", Wide("ÄPPLE"), true, 0);
    EXPECT_EQ(Sensitive.Events,
              (std::vector<std::wstring>{L"filter *.txt", L"progress 0", L"add fruit.txt 1 1", L"filter *.TXT",
                                         L"progress 0", L"return 0"}));
    SearchRun Insensitive = RunSearch(Dir.Path(), false, L"*.txt", Wide("ÄPPLE"), false, 0);
    EXPECT_EQ(Insensitive.Events[2], L"add fruit.txt 2 2");
}

TEST(WorkThreadSearch, FilterListWithoutPiecesOnlyReturns) {
    TempFolder Dir;
    Dir.WriteFile(L"a.txt", "x");
    for (const wchar_t* Filters : {L"", L"; ", L"; ; "}) {
        SearchRun Run = RunSearch(Dir.Path(), false, Filters, L"x", true, 0);
        EXPECT_EQ(Run.Events, std::vector<std::wstring>{L"return 0"}) << Filters;
    }
}

TEST(WorkThreadSearch, MissingFolderGivesNoFilesAndTheRunGoesOn) {
    SearchRun Run = RunSearch(L"Z:\\no\\such\\folder", false, L"*.txt; *.md", L"x", true, 0);
    EXPECT_EQ(Run.Events, (std::vector<std::wstring>{L"filter *.txt", L"filter *.md", L"return 0"}));
}

// The events are raised ahead of the main thread; once a handler asks the run to
// stop, what was worked out after it is dropped and only the return values come.
TEST(WorkThreadSearch, TerminateDropsWhatWasReadAheadAndOnlyReturns) {
    TempFolder Dir;
    for (int i = 1; i <= 5; ++i) Dir.WriteFile(L"f" + std::to_wstring(i) + L".txt", "x x");
    Dir.WriteFile(L"g.md", "x");
    SearchRun Run = RunSearch(Dir.Path(), false, L"*.txt; *.md", L"x", true, 0,
                              [](TWorkThreadSearch& Worker, const std::wstring& Line) {
                                  if (Line == L"progress 25") Worker.Terminate();
                              });
    std::vector<std::wstring> Expected = {L"filter *.txt", L"progress 0", L"add f1.txt 2 2", L"progress 25",
                                          L"return 0"};
    EXPECT_EQ(Run.Events, Expected);
}

TEST(WorkThreadSearch, AFaultInAHandlerEndsTheRunWithReturnValues) {
    TempFolder Dir;
    Dir.WriteFile(L"a.txt", "x");
    Dir.WriteFile(L"b.txt", "x");
    SearchRun Run = RunSearch(Dir.Path(), false, L"*.txt", L"x", true, 0,
                              [](TWorkThreadSearch&, const std::wstring& Line) {
                                  if (Line == L"add a.txt 1 1") throw std::bad_alloc();
                              });
    EXPECT_EQ(Run.ReturnEvents, 1);
    EXPECT_EQ(Run.Events.back(), L"return 0");
    EXPECT_EQ(std::count(Run.Events.begin(), Run.Events.end(), L"add b.txt 1 2"), 0);
}

TEST(WorkThreadSearch, ALineBreakMatchesAnyLineBreak) {
    TempFolder Dir;
    Dir.WriteFile(L"a-crlf.txt", "one\r\ntwo");
    Dir.WriteFile(L"b-lf.txt", "one\ntwo");
    Dir.WriteFile(L"c-cr.txt", "one\rtwo");
    Dir.WriteFile(L"d-two-breaks.txt", "one\r\n\r\ntwo");
    // As a text box gives it, and as a command line does.
    for (const wchar_t* Find : {L"one\r\ntwo", L"one\ntwo"}) {
        SearchRun Run = RunSearch(Dir.Path(), false, L"*.txt", Find, true, 0);
        EXPECT_EQ(Run.Events, (std::vector<std::wstring>{L"filter *.txt", L"progress 0", L"add a-crlf.txt 1 1",
                                                         L"progress 33", L"add b-lf.txt 1 2", L"progress 67",
                                                         L"add c-cr.txt 1 3", L"progress 100", L"return 0"}));
    }
}

}  // namespace
