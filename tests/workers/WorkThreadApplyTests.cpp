#include "workers/WorkThreadApply.h"

#include "TempFolder.h"
#include "TextBytes.h"
#include "base/UniqueHandle.h"
#include "files/FileSystemCalls.h"
#include "files/LongPath.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <set>
#include <stdexcept>
#include <vector>

namespace {

using namespace std::string_literals;

struct ApplyRun {
    std::vector<std::wstring> Events;  // "filter X", "progress N", "return C R S"
    std::int32_t Changed = -1, Replaced = -1, Skipped = -1;
    int ReturnEvents = 0;
};

ApplyRun RunApply(const std::wstring& Folder, bool Recursive, const std::wstring& Filters,
                  const std::wstring& TextToFind, const std::wstring& ReplaceWith, bool CaseSensitive,
                  std::int32_t Encoding, std::function<void(TWorkThreadApply&, const std::wstring&)> OnEvent = nullptr) {
    ApplyRun Run;
    TWorkThreadApply Worker(Folder, Recursive, Filters, TextToFind, ReplaceWith, CaseSensitive,
                            EncodingModeFromStored(Encoding));
    auto Log = [&](std::wstring Line) {
        Run.Events.push_back(Line);
        if (OnEvent) OnEvent(Worker, Line);
    };
    Worker.OnApplyShowCurrentFilter = [&](std::wstring Filter) { Log(L"filter " + Filter); };
    Worker.OnApplyProgress = [&](std::int32_t Value) { Log(L"progress " + std::to_wstring(Value)); };
    Worker.OnApplyReturnValues = [&](std::int32_t Changed, std::int32_t Replaced, std::int32_t Skipped) {
        Run.Changed = Changed;
        Run.Replaced = Replaced;
        Run.Skipped = Skipped;
        ++Run.ReturnEvents;
        Log(L"return " + std::to_wstring(Changed) + L" " + std::to_wstring(Replaced) + L" " +
            std::to_wstring(Skipped));
    };
    Worker.Start();
    Worker.WaitFor();
    return Run;
}

TEST(WorkThreadApply, ReplacesInOnePassAndCounts) {
    struct Case {
        const char* Name;
        std::string Before;
        std::wstring Find, Replace;
        bool CaseSensitive;
        std::string After;
        std::int32_t Replaced;
    };
    const Case Cases[] = {
        {"replacement holds the text", Utf8Bom + "aaa", L"a", L"aa", true, Utf8Bom + "aaaaaa", 3},
        {"no overlaps", Utf8Bom + "aaaa", L"aa", L"b", true, Utf8Bom + "bb", 2},
        {"every case variant", Utf8Bom + "abc ABC aBc\r\nAbC", L"abc", L"ABC", false,
         Utf8Bom + "ABC ABC ABC\r\nABC", 4},
        {"case sensitive leaves the others", Utf8Bom + "abc ABC aBc", L"abc", L"xyz", true,
         Utf8Bom + "xyz ABC aBc", 1},
        {"empty replacement deletes", Utf8Bom + "x-a-x\n", L"a", L"", true, Utf8Bom + "x--x\n", 1},
        {"only the mark remains", Utf8Bom + "gone", L"gone", L"", true, Utf8Bom, 1},
        {"a line break matches any, and is written as the file's", Utf8Bom + "one\r\ntwo\none\ntwo\rone\r\n\ntwo",
         L"one\r\ntwo", L"1\r\n2", true, Utf8Bom + "1\r\n2\n1\n2\rone\r\n\ntwo", 2},
        {"UTF-16 stays UTF-16", Utf16WithBom(L"\u00E4pple \u00C4PPLE"), Wide("äpple"), L"pear", false,
         Utf16WithBom(L"pear pear"), 2},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        TempFolder Dir;
        Dir.WriteFile(L"f.txt", C.Before);
        ApplyRun Run = RunApply(Dir.Path(), false, L"*.txt", C.Find, C.Replace, C.CaseSensitive, 0);
        EXPECT_EQ(Run.Events, (std::vector<std::wstring>{L"filter *.txt", L"progress 0",
                                                         L"return 1 " + std::to_wstring(C.Replaced) + L" 0"}));
        auto Files = FolderFiles(Dir.Path());
        ASSERT_EQ(Files.size(), 1u);
        EXPECT_EQ(Files[L"f.txt"], C.After);
    }
}

TEST(WorkThreadApply, FileReachedThroughTwoFiltersIsProcessedOnce) {
    TempFolder Dir;
    Dir.WriteFile(L"a.txt", Utf8Bom + "a");
    Dir.WriteFile(L"Sub\\b.txt", Utf8Bom + "-");
    ApplyRun Run = RunApply(Dir.Path(), true, L"*.txt; *.TXT", L"a", L"aa", true, 0);
    EXPECT_EQ(Run.Events, (std::vector<std::wstring>{L"filter *.txt", L"progress 0", L"progress 100", L"filter *.TXT",
                                                     L"progress 0", L"progress 100", L"return 1 1 0"}));
    EXPECT_EQ(ReadFileBytes(Dir.Path() + L"a.txt").Bytes, Utf8Bom + "aa");
    EXPECT_EQ(ReadFileBytes(Dir.Path() + L"Sub\\b.txt").Bytes, Utf8Bom + "-");
}

// The file is written in the encoding it was read in, and keeps the mark state it
// had in every mode: no mark is added, none is removed.
TEST(WorkThreadApply, WritesBackInTheEncodingItWasReadInAndKeepsItsMarkState) {
    struct Case {
        const char* Name;
        std::int32_t Mode;
        std::string Before, After;
        const wchar_t* Replace = L"y";
    };
    const std::string Utf16NoMark = Utf16WithBom(L"x\r\n").substr(2);
    const Case Cases[] = {
        {"UTF-8 without mark in UTF-8 mode", 3, "x = 1\n", "y = 1\n"},
        {"UTF-8 without mark in UTF-8 mode, new non-ASCII", 3, "x = 1\n", "\xC3\xA9 = 1\n", L"\u00E9"},
        {"UTF-8 with mark in UTF-8 mode", 3, Utf8Bom + "x", Utf8Bom + "y"},
        {"UTF-8 without mark in automatic mode is UTF-8", 0, "x \xC3\xA9\n", "\xC3\xA9 \xC3\xA9\n", L"\u00E9"},
        {"UTF-8 with mark in automatic mode", 0, Utf8Bom + "x \xC3\xA9", Utf8Bom + "y \xC3\xA9"},
        {"ASCII in automatic mode", 0, "x\n", "y\n"},
        {"UTF-16 in UTF-16 mode", 2, Utf16WithBom(L"x\r\n"), Utf16WithBom(L"y\r\n")},
        {"UTF-16 without mark in UTF-16 mode", 2, Utf16NoMark, Utf16WithBom(L"y\r\n").substr(2)},
        {"UTF-16 mark read as ANSI keeps its bytes", 1, "\xFF\xFEx\0"s, "\xFF\xFEy\0"s},
        {"UTF-8 mark read as ANSI", 1, Utf8Bom + "x", Utf8Bom + "y"},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        TempFolder Dir;
        Dir.WriteFile(L"f.txt", C.Before);
        ApplyRun Run = RunApply(Dir.Path(), false, L"*.txt", L"x", C.Replace, true, C.Mode);
        EXPECT_EQ(Run.Events.back(), L"return 1 1 0");
        EXPECT_EQ(ReadFileBytes(Dir.Path() + L"f.txt").Bytes, C.After);
    }
}

TEST(WorkThreadApply, FileWithoutTheTextKeepsItsBytesAndTime) {
    TempFolder Dir;
    const std::wstring Path = Dir.WriteFile(L"other.txt", "nothing to see");
    FILETIME Old{};
    Old.dwHighDateTime = 0x01C00000;  // some day in 2001
    {
        UniqueFile File(CreateFileW(ExtendedPath(Path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
        ASSERT_TRUE(File.Valid());
        ASSERT_TRUE(SetFileTime(File.Get(), nullptr, nullptr, &Old));
    }
    ApplyRun Run = RunApply(Dir.Path(), false, L"*.txt", L"needle", L"pin", true, 0);
    EXPECT_EQ(Run.Events.back(), L"return 0 0 0");
    WIN32_FILE_ATTRIBUTE_DATA Data{};
    ASSERT_TRUE(GetFileAttributesExW(ExtendedPath(Path).c_str(), GetFileExInfoStandard, &Data));
    EXPECT_EQ(CompareFileTime(&Data.ftLastWriteTime, &Old), 0);
    auto Files = FolderFiles(Dir.Path());
    ASSERT_EQ(Files.size(), 1u);
    EXPECT_EQ(Files[L"other.txt"], "nothing to see");
}

// Files that cannot be changed safely are left byte for byte and counted as
// skipped; files that cannot be read are neither changed nor counted.
TEST(WorkThreadApply, UnsafeFilesAreLeftUntouched) {
    struct Case {
        const char* Name;
        std::int32_t Mode;
        std::string Bytes;
        std::wstring Replace;
        std::int32_t Skipped;
    };
    std::vector<Case> Cases = {
        {"UTF-32 mark in automatic mode", 0, "\xFF\xFE\0\0x\0\0\0"s, L"y", 1},
        {"UTF-16 BE mark in automatic mode", 0, "\xFE\xFF\0x"s, L"y", 1},
        {"UTF-16 with an odd final byte", 2, Utf16WithBom(L"x x") + "!", L"y", 1},
        {"invalid UTF-8 in UTF-8 mode", 3, "x \xC3\x28", L"y", 1},
        {"mode outside 0..3", 9, "x", L"y", 0},
        {"UTF-8 replacement with a lone surrogate", 3, "x", L"\xD800", 1},
    };
    if (GetACP() == 1252) {
        // In automatic mode an ASCII file without a mark is ANSI: the code page has no
        // omega and no arrow, and best fit would turn a-macron into a.
        Cases.push_back({"omega in code page 1252", 0, "x", L"\u03A9", 1});
        Cases.push_back({"arrow in code page 1252", 1, "x", L"\u2192", 1});
        Cases.push_back({"a-macron in code page 1252", 0, "x", L"\u0101", 1});
        // Bytes the code page decodes but does not give back.
        for (int Byte = 0x80; Byte <= 0xFF; ++Byte) {
            char In = static_cast<char>(Byte), Back = 0;
            wchar_t Unit = 0;
            BOOL UsedDefault = FALSE;
            if (MultiByteToWideChar(1252, 0, &In, 1, &Unit, 1) != 1) continue;
            if (WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, &Unit, 1, &Back, 1, nullptr, &UsedDefault) != 1 ||
                UsedDefault || Back != In) {
                Cases.push_back({"ANSI byte without a way back", 1, "x "s + In, L"y", 1});
                break;
            }
        }
    }
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        TempFolder Dir;
        Dir.WriteFile(L"f.txt", C.Bytes);
        ApplyRun Run = RunApply(Dir.Path(), false, L"*.txt", L"x", C.Replace, true, C.Mode);
        EXPECT_EQ(Run.Events.back(), L"return 0 0 " + std::to_wstring(C.Skipped));
        auto Files = FolderFiles(Dir.Path());
        ASSERT_EQ(Files.size(), 1u);
        EXPECT_EQ(Files[L"f.txt"], C.Bytes);
    }
}

// A file that is not text in its encoding is never written: a NUL byte near the
// start of a file read in an 8-bit mode marks a binary file, and bytes invalid in
// the encoding cannot be searched. Both are named, so the user learns of them.
TEST(WorkThreadApply, BinaryAndInvalidFilesAreSkippedWithTheirReason) {
    using enum TApplyFileOutcome;
    struct Case {
        const char* Name;
        std::int32_t Mode;
        std::string Bytes;
        TApplyFileOutcome Outcome;
    };
    const std::string LateNul = "x" + std::string(70000, ' ') + '\0';
    const Case Cases[] = {
        {"executable read as ANSI", 0, "MZ\x90\0\3\0\0\0x\xFF\xFF"s, LooksBinary},
        {"ANSI mode", 1, "x\0y"s, LooksBinary},
        {"UTF-8 with a mark", 0, Utf8Bom + "x\0"s, LooksBinary},
        {"UTF-8 mode without a mark", 3, "\0x"s, LooksBinary},
        {"UTF-16 by its mark", 0, Utf16WithBom(L"x"), Changed},
        {"UTF-16 mode without a mark", 2, "x\0 \0"s, Changed},
        {"UTF-16 mark read in ANSI mode", 1, "\xFF\xFEx\0"s, Changed},
        {"NUL beyond the first 64 KB", 1, LateNul, Changed},
        {"invalid UTF-8 after a mark", 0, Utf8Bom + "x \xC3\x28", InvalidEncoding},
        {"invalid UTF-8 without the text", 3, "\xFF\xFE", InvalidEncoding},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        TempFolder Dir;
        Dir.WriteFile(L"f.bin", C.Bytes);
        std::vector<TApplyFileOutcome> Outcomes;
        TWorkThreadApply Worker(Dir.Path(), false, L"*.*", L"x", L"pear", true, EncodingModeFromStored(C.Mode));
        Worker.OnApplyFile = [&](std::wstring, std::int32_t, TEncodingMode, TApplyFileOutcome Outcome) {
            Outcomes.push_back(Outcome);
        };
        std::int32_t ChangeCount = -1, SkipCount = -1;
        Worker.OnApplyReturnValues = [&](std::int32_t Changes, std::int32_t, std::int32_t Skips) {
            ChangeCount = Changes;
            SkipCount = Skips;
        };
        Worker.Start();
        Worker.WaitFor();
        ASSERT_EQ(Outcomes.size(), 1u);
        EXPECT_EQ(Outcomes[0], C.Outcome);
        EXPECT_EQ(ChangeCount, C.Outcome == Changed ? 1 : 0);
        EXPECT_EQ(SkipCount, C.Outcome == Changed ? 0 : 1);
        if (C.Outcome != Changed) {
            EXPECT_EQ(FolderFiles(Dir.Path())[L"f.bin"], C.Bytes);
        }
    }
}

// A write that cannot happen leaves the file as it was and counts as skipped,
// never as changed; the run goes on with the next file.
TEST(WorkThreadApply, FailedWritesCountAsSkippedAndTheRunGoesOn) {
    {
        SCOPED_TRACE("the swap is refused");
        TempFolder Dir;
        Dir.WriteFile(L"a.txt", "x");
        FileSystemCalls::ResetFaults();
        FileSystemCalls::SetFaultPlan({1, false, FileSystemCalls::TFaultKind::Refuse, FileSystemCalls::TCallKind::Move});
        ApplyRun Run = RunApply(Dir.Path(), false, L"*.txt", L"x", L"y", true, 0);
        FileSystemCalls::ResetFaults();
        EXPECT_EQ(Run.Events.back(), L"return 0 0 1");
        EXPECT_EQ(FolderFiles(Dir.Path()), (std::map<std::wstring, std::string>{{L"a.txt", "x"}}));
    }
    {
        SCOPED_TRACE("file held open without delete sharing");
        TempFolder Dir;
        for (const wchar_t* Name : {L"a.txt", L"b.txt", L"c.txt"}) Dir.WriteFile(Name, "x x");
        UniqueFile Holder(CreateFileW(ExtendedPath(Dir.Path() + L"b.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(Holder.Valid());
        ApplyRun Run = RunApply(Dir.Path(), false, L"*.txt", L"x", L"y", true, 0);
        Holder.Reset();
        EXPECT_EQ(Run.Events.back(), L"return 2 4 1");
        auto Files = FolderFiles(Dir.Path());
        EXPECT_EQ(Files, (std::map<std::wstring, std::string>{
                             {L"a.txt", "y y"}, {L"b.txt", "x x"}, {L"c.txt", "y y"}}));
    }
    {
        SCOPED_TRACE("the new file cannot be created");
        TempFolder Dir;
        for (const wchar_t* Name : {L"a.txt", L"b.txt", L"c.txt"}) Dir.WriteFile(Name, Utf8Bom + "x");
        FileSystemCalls::ResetFaults();
        FileSystemCalls::SetFaultPlan({2, false, FileSystemCalls::TFaultKind::Refuse, FileSystemCalls::TCallKind::CreateNew});
        ApplyRun Run = RunApply(Dir.Path(), false, L"*.txt", L"x", L"y", true, 0);
        FileSystemCalls::ResetFaults();
        EXPECT_EQ(Run.Events.back(), L"return 2 2 1");
        // Files are written side by side, so which one met the refusal varies.
        std::multiset<std::string> Contents;
        for (const auto& [Name, Bytes] : FolderFiles(Dir.Path())) Contents.insert(Bytes);
        EXPECT_EQ(Contents, (std::multiset<std::string>{Utf8Bom + "x", Utf8Bom + "y", Utf8Bom + "y"}));
    }
}

TEST(WorkThreadApply, ReadOnlyFileIsLeftAloneAndCountedSkipped) {
    TempFolder Dir;
    const std::wstring Path = Dir.WriteFile(L"ro.txt", Utf8Bom + "x");
    ASSERT_TRUE(SetAttributes(Path, FILE_ATTRIBUTE_READONLY));
    ApplyRun Run = RunApply(Dir.Path(), false, L"*.txt", L"x", L"y", true, 0);
    EXPECT_EQ(Run.Events.back(), L"return 0 0 1");
    auto Files = FolderFiles(Dir.Path());
    EXPECT_EQ(Files, (std::map<std::wstring, std::string>{{L"ro.txt", Utf8Bom + "x"}}));
    EXPECT_TRUE(FileAttributes(Path) & FILE_ATTRIBUTE_READONLY);
    SetAttributes(Path, FILE_ATTRIBUTE_NORMAL);
}

TEST(WorkThreadApply, DeviceNamesAndTrailingDotAreOrdinaryFiles) {
    TempFolder Dir;
    for (const wchar_t* Name : {L"aux.c", L"nul.txt", L"trail."}) Dir.WriteFile(Name, Utf8Bom + "x");
    ApplyRun Run = RunApply(Dir.Path(), false, L"*", L"x", L"y", true, 0);
    EXPECT_EQ(Run.Events.back(), L"return 3 3 0");
    auto Files = FolderFiles(Dir.Path());
    EXPECT_EQ(Files, (std::map<std::wstring, std::string>{
                         {L"aux.c", Utf8Bom + "y"}, {L"nul.txt", Utf8Bom + "y"}, {L"trail.", Utf8Bom + "y"}}));
}

TEST(WorkThreadApply, NothingToFindChangesNothing) {
    TempFolder Dir;
    Dir.WriteFile(L"a.txt", "abc");
    ApplyRun Run = RunApply(Dir.Path(), false, L"*.txt", L"", L"x", true, 0);
    EXPECT_EQ(Run.Events, (std::vector<std::wstring>{L"filter *.txt", L"progress 0", L"return 0 0 0"}));
    for (const wchar_t* Filters : {L"", L"; "}) {
        ApplyRun Empty = RunApply(Dir.Path(), false, Filters, L"a", L"x", true, 0);
        EXPECT_EQ(Empty.Events, std::vector<std::wstring>{L"return 0 0 0"});
    }
    EXPECT_EQ(ReadFileBytes(Dir.Path() + L"a.txt").Bytes, "abc");
}

// A terminate request lets the files already being written finish; no file is
// begun after it, every file written is counted, and only the return values come
// after the files written.
TEST(WorkThreadApply, TerminateLetsOnlyTheFilesInFlightFinish) {
    TempFolder Dir;
    const int Total = 300;
    for (int i = 0; i < Total; ++i) Dir.WriteFile(L"f" + std::to_wstring(1000 + i) + L".txt", Utf8Bom + "x");
    auto ChangedOnDisk = [&] {
        int Changed = 0;
        for (const auto& [Name, Bytes] : FolderFiles(Dir.Path())) {
            EXPECT_TRUE(Bytes == Utf8Bom + "x" || Bytes == Utf8Bom + "y") << Name;
            Changed += Bytes == Utf8Bom + "y";
        }
        return Changed;
    };
    int ChangedAtStop = -1;
    size_t EventsAtStop = 0;
    ApplyRun Run = RunApply(Dir.Path(), false, L"*.txt", L"x", L"y", true, 0,
                            [&](TWorkThreadApply& Worker, const std::wstring& Line) {
                                if (ChangedAtStop < 0 && Line == L"progress 10") {
                                    Worker.Terminate();
                                    ChangedAtStop = ChangedOnDisk();
                                    EventsAtStop = Run.Events.size();
                                }
                            });
    ASSERT_GE(ChangedAtStop, 0);
    const int Changed = ChangedOnDisk();
    EXPECT_EQ(Run.Changed, Changed);
    EXPECT_LT(Changed, Total);
    // At most the files in flight: two per pool thread.
    EXPECT_LE(Changed - ChangedAtStop, static_cast<int>(2 * TFilePipeline::DefaultThreads()));
    EXPECT_EQ(Run.ReturnEvents, 1);
    for (size_t i = EventsAtStop; i + 1 < Run.Events.size(); ++i) ADD_FAILURE() << "after the stop: " << Run.Events[i];
}

// A handler that fails ends the run: no file is begun after it, and the return
// values still come, counting exactly the files written.
TEST(WorkThreadApply, AFaultInAHandlerEndsTheRunWithReturnValues) {
    TempFolder Dir;
    const int Total = 200;
    for (int i = 0; i < Total; ++i) Dir.WriteFile(L"f" + std::to_wstring(1000 + i) + L".txt", Utf8Bom + "x");
    ApplyRun Run = RunApply(Dir.Path(), false, L"*.txt", L"x", L"y", true, 0,
                            [](TWorkThreadApply&, const std::wstring& Line) {
                                if (Line == L"progress 5") throw std::runtime_error("handler failed");
                            });
    EXPECT_EQ(Run.ReturnEvents, 1);
    int Changed = 0;
    for (const auto& [Name, Bytes] : FolderFiles(Dir.Path())) Changed += Bytes == Utf8Bom + "y";
    EXPECT_EQ(Run.Changed, Changed);
    EXPECT_EQ(Run.Replaced, Changed);
    EXPECT_LT(Changed, Total);
    EXPECT_EQ(Run.Events.back(), L"return " + std::to_wstring(Changed) + L" " + std::to_wstring(Changed) + L" 0");
}

}  // namespace
