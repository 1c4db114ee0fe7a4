// What both workers do with files that are not theirs to change: files another
// program has open, read-only files, files written as UTF-8 but read as ANSI,
// files too large to hold, and files that several filters match.
#include "workers/WorkThreadApply.h"
#include "workers/WorkThreadSearch.h"

#include "TempFolder.h"
#include "TextBytes.h"
#include "base/UniqueHandle.h"
#include "files/FileIdentity.h"
#include "files/LongPath.h"
#include "files/TextFileReader.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

struct TApplyResult {
    std::int32_t Changed = -1, Replaced = -1, Skipped = -1;
    std::vector<std::int32_t> Progress;
};

TApplyResult Apply(const std::wstring& Folder, const std::wstring& Filters, const std::wstring& Find,
                   const std::wstring& Replace, TEncodingMode Mode = TEncodingMode::Auto, TFindRule Rule = {}) {
    TApplyResult Result;
    TWorkThreadApply Worker(Folder, false, Filters, Find, Replace, true, Mode, Rule);
    Worker.OnApplyProgress = [&](std::int32_t Value) { Result.Progress.push_back(Value); };
    Worker.OnApplyReturnValues = [&](std::int32_t Changed, std::int32_t Replaced, std::int32_t Skipped) {
        Result.Changed = Changed;
        Result.Replaced = Replaced;
        Result.Skipped = Skipped;
    };
    Worker.Start();
    Worker.WaitFor();
    return Result;
}

struct TSearchResult {
    std::vector<std::pair<std::wstring, std::int32_t>> Listed;  // name relative to the folder, count
    std::int32_t Skipped = -1;
};

TSearchResult Search(const std::wstring& Folder, const std::wstring& Filters, const std::wstring& Find,
                     TEncodingMode Mode = TEncodingMode::Auto, TFindRule Rule = {}) {
    TSearchResult Result;
    TWorkThreadSearch Worker(Folder, false, Filters, Find, true, Mode, Rule);
    Worker.OnSearchAddFile = [&](std::wstring File, std::int32_t Count, std::int32_t) {
        Result.Listed.emplace_back(File.substr(Folder.size()), Count);
    };
    Worker.OnSearchReturnValues = [&](std::int32_t Skipped) { Result.Skipped = Skipped; };
    Worker.Start();
    Worker.WaitFor();
    return Result;
}

UniqueFile Hold(const std::wstring& Path, DWORD Share) {
    return UniqueFile(
        CreateFileW(ExtendedPath(Path).c_str(), GENERIC_READ, Share, nullptr, OPEN_EXISTING, 0, nullptr));
}

// A file another program has open, in any sharing mode, is not written by Apply
// and is counted skipped when it holds the text; Search still reads it in the
// encoding its mark names.
TEST(RunSafety, FilesInUseAreLeftAloneAndStillSearched) {
    const struct {
        const char* Name;
        std::string Bytes;
    } Files[] = {
        {"utf16.txt", Utf16WithBom(L"hello world, hello")},
        {"utf8.txt", "\xEF\xBB\xBFhello w\xC3\xB6rld, hello"},
        {"ansi.txt", "hello w\xF6rld, hello"},
    };
    const DWORD Shares[] = {0, FILE_SHARE_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE};
    for (DWORD Share : Shares) {
        SCOPED_TRACE(testing::Message() << "share mode " << Share);
        TempFolder Folder;
        std::vector<UniqueFile> Held;
        for (const auto& File : Files) Held.push_back(Hold(Folder.WriteFile(Wide(File.Name), File.Bytes), Share));
        Folder.WriteFile(L"free.txt", "hello");
        Folder.WriteFile(L"other.txt", "nothing here");  // in use, without the text
        Held.push_back(Hold(Folder.Path() + L"other.txt", Share));
        for (const UniqueFile& H : Held) ASSERT_TRUE(H.Valid());

        if (Share & FILE_SHARE_READ) {
            const TSearchResult Found = Search(Folder.Path(), L"*.txt", L"hello");
            EXPECT_EQ(Found.Listed, (std::vector<std::pair<std::wstring, std::int32_t>>{
                                        {L"ansi.txt", 2}, {L"free.txt", 1}, {L"utf16.txt", 2}, {L"utf8.txt", 2}}));
            EXPECT_EQ(Found.Skipped, 0);
        }
        const TApplyResult Run = Apply(Folder.Path(), L"*.txt", L"hello", L"bye");
        EXPECT_EQ(Run.Changed, 1);
        EXPECT_EQ(Run.Replaced, 1);
        // Without read sharing even the one without the text cannot be looked at.
        EXPECT_EQ(Run.Skipped, (Share & FILE_SHARE_READ) ? 3 : 4);
        Held.clear();
        for (const auto& File : Files) EXPECT_EQ(ReadFileBytes(Folder.Path() + Wide(File.Name)).Bytes, File.Bytes);
        EXPECT_EQ(ReadFileBytes(Folder.Path() + L"free.txt").Bytes, "bye");
    }
}

// A file held without any sharing cannot be read at all: both workers count it,
// so a run never looks complete when it was not.
TEST(RunSafety, UnreadableFilesAreCountedByBothWorkers) {
    TempFolder Folder;
    UniqueFile Held = Hold(Folder.WriteFile(L"a.txt", "hello"), 0);
    Folder.WriteFile(L"b.txt", "hello");
    ASSERT_TRUE(Held.Valid());
    const TSearchResult Found = Search(Folder.Path(), L"*.txt", L"hello", TEncodingMode::Utf8);
    EXPECT_EQ(Found.Listed.size(), 1u);
    EXPECT_EQ(Found.Skipped, 1);
    const TApplyResult Run = Apply(Folder.Path(), L"*.txt", L"hello", L"bye", TEncodingMode::Utf8);
    EXPECT_EQ(Run.Changed, 1);
    EXPECT_EQ(Run.Skipped, 1);
}

// A read-only file that holds the text is not written and counted skipped; one
// without the text is simply not changed.
TEST(RunSafety, ReadOnlyFilesAreNotWritten) {
    TempFolder Folder;
    const std::wstring WithText = Folder.WriteFile(L"a.txt", "hello");
    const std::wstring WithoutText = Folder.WriteFile(L"b.txt", "other");
    for (const std::wstring& Path : {WithText, WithoutText})
        ASSERT_TRUE(SetAttributes(Path, FILE_ATTRIBUTE_READONLY));
    const TApplyResult Run = Apply(Folder.Path(), L"*.txt", L"hello", L"bye");
    EXPECT_EQ(Run.Changed, 0);
    EXPECT_EQ(Run.Skipped, 1);
    EXPECT_EQ(ReadFileBytes(WithText).Bytes, "hello");
    EXPECT_TRUE(FileAttributes(WithText) & FILE_ATTRIBUTE_READONLY);
    for (const std::wstring& Path : {WithText, WithoutText})
        SetAttributes(Path, FILE_ATTRIBUTE_NORMAL);
}

// A file read as ANSI whose bytes are UTF-8 with characters beyond ASCII would
// get two encodings from new characters beyond ASCII written in the ANSI code
// page: it is left alone. In automatic mode such a file is UTF-8 and takes them
// as UTF-8. Pure ASCII files, real ANSI files and ASCII replacements go ahead.
TEST(RunSafety, NoFileGetsTwoEncodings) {
    if (GetACP() != 1252) GTEST_SKIP() << "needs code page 1252, have " << GetACP();
    const struct {
        const char* Name;
        TEncodingMode Mode;
        std::string Before;
        const char* Replace;
        std::string After;  // empty: left alone and skipped
    } Cases[] = {
        {"utf8 without mark as ANSI, new non-ASCII", TEncodingMode::Ansi, "Caf\xC3\xA9 in Malmo", "Malm\xC3\xB6", ""},
        {"utf8 without mark as ANSI, new ASCII", TEncodingMode::Ansi, "Caf\xC3\xA9 in Malmo", "Lund",
         "Caf\xC3\xA9 in Lund"},
        {"utf8 without mark, automatic", TEncodingMode::Auto, "Caf\xC3\xA9 in Malmo", "Malm\xC3\xB6",
         "Caf\xC3\xA9 in Malm\xC3\xB6"},
        {"pure ASCII, new non-ASCII", TEncodingMode::Auto, "Malmo", "Malm\xC3\xB6", "Malm\xF6"},
        {"real ANSI, new non-ASCII", TEncodingMode::Auto, "Caf\xE9 in Malmo", "Malm\xC3\xB6", "Caf\xE9 in Malm\xF6"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TempFolder Folder;
        const std::wstring Path = Folder.WriteFile(L"a.txt", Case.Before);
        const TApplyResult Run = Apply(Folder.Path(), L"*.txt", L"Malmo", Wide(Case.Replace), Case.Mode);
        const bool Skip = Case.After.empty();
        EXPECT_EQ(Run.Changed, Skip ? 0 : 1);
        EXPECT_EQ(Run.Skipped, Skip ? 1 : 0);
        EXPECT_EQ(ReadFileBytes(Path).Bytes, Skip ? Case.Before : Case.After);
    }
}

// A file whose content cannot be held in memory is counted skipped, and the files
// sorted after it are still examined, in both workers (they read whole only for
// a pattern; in pieces they hold no file whole, and search and change it).
TEST(RunSafety, AFileTooLargeToHoldDoesNotEndTheRun) {
    TempFolder Folder;
    Folder.WriteFile(L"a.txt", "hello");
    const std::wstring Big = Folder.WriteFile(L"b.txt", "hello " + std::string(4096, 'x'));
    Folder.WriteFile(L"c.txt", "hello");
    SetReadSizeLimitForTests(1024);
    const TSearchResult Found = Search(Folder.Path(), L"*.txt", L"hello", TEncodingMode::Auto, {true, false});
    const TSearchResult InPieces = Search(Folder.Path(), L"*.txt", L"hello");
    const TApplyResult Run = Apply(Folder.Path(), L"*.txt", L"hello", L"bye", TEncodingMode::Auto, {true, false});
    const std::string BigAfterRun = ReadFileBytes(Big).Bytes;
    const TApplyResult PiecesRun = Apply(Folder.Path(), L"*.txt", L"hello", L"hi");
    SetReadSizeLimitForTests(0);
    EXPECT_EQ(Found.Listed, (std::vector<std::pair<std::wstring, std::int32_t>>{{L"a.txt", 1}, {L"c.txt", 1}}));
    EXPECT_EQ(Found.Skipped, 1);
    EXPECT_EQ(InPieces.Listed,
              (std::vector<std::pair<std::wstring, std::int32_t>>{{L"a.txt", 1}, {L"b.txt", 1}, {L"c.txt", 1}}));
    EXPECT_EQ(InPieces.Skipped, 0);
    EXPECT_EQ(Run.Changed, 2);
    EXPECT_EQ(Run.Skipped, 1);
    EXPECT_EQ(ReadFileBytes(Folder.Path() + L"c.txt").Bytes, "bye");
    EXPECT_EQ(BigAfterRun.substr(0, 6), "hello ");
    EXPECT_EQ(PiecesRun.Changed, 1);
    EXPECT_EQ(PiecesRun.Skipped, 0);
    EXPECT_EQ(ReadFileBytes(Big).Bytes, "hi " + std::string(4096, 'x'));
}

// Several filters that match one file: the first examines it, the later ones pass
// it over (still counting it in their progress), so a replacement that contains
// the text to find is applied once and Search lists the file once.
TEST(RunSafety, AFileMatchedByTwoFiltersIsExaminedOnce) {
    TempFolder Folder;
    const std::wstring Path = Folder.WriteFile(L"a.txt", "cat");
    Folder.WriteFile(L"b.md", "cat");
    const TSearchResult Found = Search(Folder.Path(), L"*.txt; *.TXT; *.md", L"cat");
    EXPECT_EQ(Found.Listed, (std::vector<std::pair<std::wstring, std::int32_t>>{{L"a.txt", 1}, {L"b.md", 1}}));
    const TApplyResult Run = Apply(Folder.Path(), L"*.txt; *.TXT; *.md", L"cat", L"cats");
    EXPECT_EQ(Run.Changed, 2);
    EXPECT_EQ(Run.Replaced, 2);
    EXPECT_EQ(Run.Progress, (std::vector<std::int32_t>{0, 0, 0}));
    EXPECT_EQ(ReadFileBytes(Path).Bytes, "cats");
}

// Two names of one file (hard links) next to each other in the list, read side
// by side by the pool: the file is examined once, under the name met first.
// Search lists that name; Apply writes it (a new file under that name), and the
// second name keeps the old bytes. Neither is taken for a file in use.
TEST(RunSafety, TwoNamesOfOneFileAreExaminedOnce) {
    TempFolder Folder;
    constexpr int Pairs = 40;
    for (int i = 0; i < Pairs; ++i) {
        const std::wstring First = Folder.WriteFile(L"f" + std::to_wstring(100 + i) + L"a.txt", Utf8Bom + "x a y");
        const std::wstring Second = Folder.Path() + L"f" + std::to_wstring(100 + i) + L"b.txt";
        ASSERT_TRUE(CreateHardLinkW(ExtendedPath(Second).c_str(), ExtendedPath(First).c_str(), nullptr));
    }
    const TSearchResult Found = Search(Folder.Path(), L"*.txt", L"a");
    EXPECT_EQ(Found.Skipped, 0);
    ASSERT_EQ(Found.Listed.size(), size_t{Pairs});
    for (const auto& [Name, Count] : Found.Listed) {
        EXPECT_EQ(Count, 1) << Name;
        EXPECT_EQ(Name.substr(Name.size() - 5), L"a.txt");
    }

    const TApplyResult Run = Apply(Folder.Path(), L"*.txt", L"a", L"aa");
    EXPECT_EQ(Run.Skipped, 0);
    EXPECT_EQ(Run.Changed, Pairs);
    EXPECT_EQ(Run.Replaced, Pairs);
    for (int i = 0; i < Pairs; ++i) {
        const std::wstring Stem = Folder.Path() + L"f" + std::to_wstring(100 + i);
        EXPECT_EQ(ReadFileBytes(Stem + L"a.txt").Bytes, Utf8Bom + "x aa y");
        EXPECT_EQ(ReadFileBytes(Stem + L"b.txt").Bytes, Utf8Bom + "x a y");
    }
}

// Telling files apart costs no look at the volume per file: a run over a tree
// without links asks for its root's volume, and Apply's temporary files once
// for each folder they are made in.
TEST(RunSafety, VolumesAreAskedPerRunNotPerFile) {
    TempFolder Folder;
    const wchar_t* Folders[] = {L"", L"a\\", L"a\\b\\"};
    for (const wchar_t* Sub : Folders)
        for (int i = 0; i < 10; ++i) Folder.WriteFile(Sub + (L"f" + std::to_wstring(i) + L".txt"), "x cat y");
    std::int64_t Before = VolumeQueries();
    const TSearchResult Found = Search(Folder.Path(), L"*.txt", L"cat");
    EXPECT_EQ(Found.Listed.size(), 10u);  // the folder's own files: the run is not recursive
    EXPECT_EQ(VolumeQueries() - Before, 1);

    TApplyResult Run;
    Before = VolumeQueries();
    {
        TWorkThreadApply Worker(Folder.Path(), true, L"*.txt", L"cat", L"dog", true, TEncodingMode::Auto);
        Worker.OnApplyReturnValues = [&](std::int32_t Changed, std::int32_t Replaced, std::int32_t Skipped) {
            Run = {Changed, Replaced, Skipped, {}};
        };
        Worker.Start();
        Worker.WaitFor();
    }
    EXPECT_EQ(Run.Changed, 30);
    EXPECT_LE(VolumeQueries() - Before, 1 + 3);
    for (const wchar_t* Sub : Folders)
        EXPECT_EQ(ReadFileBytes(Folder.Path() + Sub + L"f9.txt").Bytes, "x dog y");
}

}  // namespace
