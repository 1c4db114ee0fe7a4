// The undo journal on the disk: what a run records and reads back, where a
// crash may cut it and what then still counts, which flaws are damage, a full
// disk, the runs kept, a run still being written, and where the journal lives.
#include "files/UndoJournal.h"

#include "TempFolder.h"
#include "UndoJournalScope.h"
#include "files/LongPath.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace {

// 2024-05-01 12:34:56.789 UTC plus Milliseconds.
std::uint64_t StartTime(std::uint64_t Milliseconds = 0) {
    SYSTEMTIME Utc{2024, 5, 3, 1, 12, 34, 56, 789};
    FILETIME Time;
    SystemTimeToFileTime(&Utc, &Time);
    return ((std::uint64_t{Time.dwHighDateTime} << 32) | Time.dwLowDateTime) + Milliseconds * 10000;
}

TUndoRunHeader Header(std::uint64_t Time = StartTime()) {
    return TUndoRunHeader{Time, L"C:\\data", L"*.txt; *.md", L"find\r\nme", L"ersätt", true, false,
                          TEncodingMode::Utf8};
}

struct TFileChange {
    std::wstring Path;
    std::string Mark, Body, New;
    TEncodingMode Encoding = TEncodingMode::Utf8;
};

const std::vector<TFileChange> ThreeFiles = {
    {L"C:\\data\\a.txt", "\xEF\xBB\xBF", "old a", "\xEF\xBB\xBFnew a"},
    {L"C:\\data\\sub\\aux.txt", "", std::string(10000, 'b'), "\xEF\xBB\xBF" + std::string(9000, 'B'),
     TEncodingMode::Ansi},
    {L"C:\\data\\c.txt", "\xFF\xFE", std::string("c\0", 2), std::string("\xFF\xFE" "C\0", 4),
     TEncodingMode::Utf16LE},
};

// Records the changes as one run and ends it; returns the run's folder.
std::wstring WriteRun(const std::vector<TFileChange>& Changes, std::uint64_t Time = StartTime()) {
    TUndoJournalWriter Writer(Header(Time));
    for (const TFileChange& Change : Changes)
        EXPECT_TRUE(Writer.Record(Change.Path, Change.Encoding, Change.Mark, Change.Body, Change.New));
    Writer.Finish();
    std::vector<TUndoRun> Runs = ListUndoRuns();
    return Runs.empty() ? std::wstring() : Runs.front().Path;
}

struct TReadBack {
    TUndoJournalReader::TOpen Opened;
    std::vector<std::wstring> Paths;  // "!" before a path whose old bytes are damaged or cut
    std::vector<std::string> Old;
    std::int64_t Count = 0, Unreadable = 0;
};

TReadBack ReadRun(const std::wstring& RunPath) {
    TReadBack Result;
    TUndoJournalReader Reader;
    Result.Opened = Reader.Open(RunPath);
    Result.Count = Reader.EntryCount();
    TUndoEntry Entry;
    while (Reader.Next(Entry)) {
        std::string Old;
        const bool Whole = Reader.ReadOldBytes(Old);
        Result.Paths.push_back((Whole ? L"" : L"!") + Entry.Path);
        Result.Old.push_back(Whole ? Old : "");
    }
    Result.Unreadable = Reader.Unreadable();
    return Result;
}

// Where each entry of ThreeFiles begins in journal.dat, and its end.
std::vector<std::uint64_t> EntryOffsets() {
    const TUndoRunHeader H = Header();
    std::uint64_t Offset = 8 + 8 + 4 + 4 + 4 * 4 + 2 * (H.Folder.size() + H.Filters.size() + H.TextToFind.size() +
                                                      H.ReplaceWith.size()) + 32;
    std::vector<std::uint64_t> Offsets{Offset};
    for (const TFileChange& Change : ThreeFiles) {
        Offset += 4 + 4 + 4 + 8 + 8 + 32 + 32 + 2 * Change.Path.size() + 32 + Change.Mark.size() + Change.Body.size();
        Offsets.push_back(Offset);
    }
    return Offsets;
}

void Truncate(const std::wstring& File, std::uint64_t Size) {
    std::string Bytes = ReadFileBytes(File).Bytes;
    ASSERT_GE(Bytes.size(), Size);
    ASSERT_TRUE(WriteFileBytes(File, std::string_view(Bytes).substr(0, static_cast<size_t>(Size))));
}

void FlipByte(const std::wstring& File, std::uint64_t Offset) {
    std::string Bytes = ReadFileBytes(File).Bytes;
    ASSERT_LT(Offset, Bytes.size());
    Bytes[static_cast<size_t>(Offset)] ^= 0x20;
    ASSERT_TRUE(WriteFileBytes(File, Bytes));
}

TEST(UndoJournal, RecordsWhatAnUndoNeedsAndReadsItBackInOrder) {
    TUndoJournalScope Journal;
    const std::wstring Run = WriteRun(ThreeFiles);
    ASSERT_FALSE(Run.empty());

    std::vector<TUndoRun> Runs = ListUndoRuns();
    ASSERT_EQ(Runs.size(), 1u);
    EXPECT_EQ(Runs[0].Name, L"20240501-123456-789");
    EXPECT_EQ(Runs[0].Path, Journal.Root() + L"20240501-123456-789\\");
    EXPECT_EQ(Runs[0].Entries, 3);
    EXPECT_TRUE(Runs[0].Ended);
    EXPECT_FALSE(Runs[0].InUse || Runs[0].Damaged);
    const TUndoRunHeader& H = Runs[0].Header;
    EXPECT_EQ(H.StartTime, StartTime());
    EXPECT_EQ(H.Folder, L"C:\\data");
    EXPECT_EQ(H.Filters, L"*.txt; *.md");
    EXPECT_EQ(H.TextToFind, L"find\r\nme");
    EXPECT_EQ(H.ReplaceWith, L"ersätt");
    EXPECT_TRUE(H.Recursive);
    EXPECT_FALSE(H.CaseSensitive);
    EXPECT_EQ(H.Encoding, TEncodingMode::Utf8);
    EXPECT_EQ(FolderFiles(Run).size(), 2u);  // journal.dat and ended.dat, nothing else

    TUndoJournalReader Reader;
    ASSERT_EQ(Reader.Open(Run), TUndoJournalReader::TOpen::Opened);
    for (const TFileChange& Change : ThreeFiles) {
        SCOPED_TRACE(testing::PrintToString(Change.Path));
        TUndoEntry Entry;
        ASSERT_TRUE(Reader.Next(Entry));
        const std::string Old = Change.Mark + Change.Body;
        EXPECT_EQ(Entry.Path, Change.Path);
        EXPECT_EQ(Entry.Encoding, Change.Encoding);
        EXPECT_EQ(Entry.OldSize, Old.size());
        EXPECT_EQ(Entry.NewSize, Change.New.size());
        EXPECT_EQ(Entry.OldHash, Sha256(Old));
        EXPECT_EQ(Entry.NewHash, Sha256(Change.New));
        EXPECT_FALSE(Entry.Cut);
        std::string Bytes;
        EXPECT_TRUE(Reader.ReadOldBytes(Bytes));
        EXPECT_EQ(Bytes, Old);
    }
    TUndoEntry Entry;
    EXPECT_FALSE(Reader.Next(Entry));
    EXPECT_EQ(Reader.Unreadable(), 0);
    Reader.Close();

    // Taken out, the run is gone with its folder.
    EXPECT_TRUE(RemoveUndoRun(Run));
    EXPECT_FALSE(PathExists(Run));
    EXPECT_FALSE(UndoJournalHasRun());
}

TEST(UndoJournal, ARunThatRecordsNothingLeavesNoTrace) {
    TUndoJournalScope Journal;
    {
        TUndoJournalWriter Writer(Header());
        Writer.Finish();
    }
    EXPECT_FALSE(PathExists(Journal.Root()));
    {
        // The first file's entry does not fit on the disk: the run is taken back.
        SetUndoJournalSpaceForTests(200);
        TUndoJournalWriter Writer(Header());
        EXPECT_FALSE(Writer.Record(L"C:\\a.txt", TEncodingMode::Ansi, "", std::string(500, 'x'), "y"));
        Writer.Finish();
        SetUndoJournalSpaceForTests(0);
    }
    EXPECT_FALSE(PathExists(Journal.Root() + L"20240501-123456-789"));
    EXPECT_FALSE(UndoJournalHasRun());
}

TEST(UndoJournal, AnUnwritableJournalRecordsNothing) {
    TUndoJournalScope Journal;  // puts the variable back at the end
    TempFolder Folder;
    const std::wstring NotAFolder = Folder.WriteFile(L"file", "x");
    for (const std::wstring& Root : {NotAFolder, NotAFolder + L"\\below"}) {
        SCOPED_TRACE(testing::PrintToString(Root));
        SetEnvironmentVariableW(L"QV_UNDO_DIR", Root.c_str());
        TUndoJournalWriter Writer(Header());
        EXPECT_FALSE(Writer.Record(L"C:\\a.txt", TEncodingMode::Ansi, "", "x", "y"));
        // Once refused, it stays so for the run: no file of it may change.
        EXPECT_FALSE(Writer.Record(L"C:\\b.txt", TEncodingMode::Ansi, "", "x", "y"));
        Writer.Finish();
        EXPECT_TRUE(ListUndoRuns().empty());
    }
}

TEST(UndoJournal, RunsAreNamedByStartTimeAndListedNewestFirst) {
    TUndoJournalScope Journal;
    const std::vector<TFileChange> One(ThreeFiles.begin(), ThreeFiles.begin() + 1);
    WriteRun(One, StartTime(1000));
    WriteRun(One, StartTime());
    WriteRun(One, StartTime(1000));  // the same millisecond as the first
    WriteRun(One, StartTime(500));
    std::vector<std::wstring> Names;
    for (const TUndoRun& Run : ListUndoRuns()) Names.push_back(Run.Name);
    EXPECT_EQ(Names, (std::vector<std::wstring>{L"20240501-123457-789-2", L"20240501-123457-789",
                                                 L"20240501-123457-289", L"20240501-123456-789"}));
    TUndoRun Newest;
    ASSERT_TRUE(NewestUndoRun(Newest));
    EXPECT_EQ(Newest.Name, Names[0]);
    // Other folders in the journal's folder are not runs.
    CreateDirectoryW((Journal.Root() + L"20240501-123456").c_str(), nullptr);
    EXPECT_EQ(ListUndoRuns().size(), 4u);
}

// A crash can cut journal.dat anywhere in the entry being written, and leaves
// no ended.dat: the whole entries before the cut count, and nothing is damage.
TEST(UndoJournal, ARunCutShortKeepsItsWholeEntriesWhereverTheCutFalls) {
    TUndoJournalScope Journal;
    const std::vector<std::uint64_t> At = EntryOffsets();
    struct {
        const char* Name;
        std::uint64_t Size;
        size_t Whole;
    } Cuts[] = {
        {"inside the header", At[0] - 5, 0},
        {"after the header", At[0], 0},
        {"inside the first entry's head", At[0] + 50, 0},
        {"inside the first entry's old bytes", At[1] - 1, 0},
        {"after the first entry", At[1], 1},
        {"inside the second entry's path", At[1] + 100, 1},
        {"inside the second entry's old bytes", At[1] + 3000, 1},
        {"inside the last entry's old bytes", At[3] - 1, 2},
        {"after the last entry", At[3], 3},
    };
    for (const auto& Cut : Cuts) {
        SCOPED_TRACE(Cut.Name);
        const std::wstring Run = WriteRun(ThreeFiles);
        ASSERT_TRUE(DeleteFileW((Run + L"ended.dat").c_str()));
        Truncate(Run + L"journal.dat", Cut.Size);
        const TReadBack Read = ReadRun(Run);
        std::vector<std::wstring> Expected;
        for (size_t i = 0; i < Cut.Whole; ++i) Expected.push_back(ThreeFiles[i].Path);
        EXPECT_EQ(Read.Paths, Expected);
        EXPECT_EQ(Read.Count, static_cast<std::int64_t>(Cut.Whole));
        EXPECT_EQ(Read.Unreadable, 0);
        for (size_t i = 0; i < Read.Old.size(); ++i) EXPECT_EQ(Read.Old[i], ThreeFiles[i].Mark + ThreeFiles[i].Body);
        std::vector<TUndoRun> Runs = ListUndoRuns();
        if (Cut.Whole == 0) {
            EXPECT_TRUE(Runs.empty());  // nothing to undo
        } else {
            ASSERT_EQ(Runs.size(), 1u);
            EXPECT_EQ(Runs[0].Entries, static_cast<std::int64_t>(Cut.Whole));
            EXPECT_FALSE(Runs[0].Ended);
        }
        ASSERT_TRUE(RemoveUndoRun(Run));
    }
}

// In a run that ended, every flaw is damage: a damaged entry gives nothing back,
// the entries before it and (where they can still be found) after it do.
TEST(UndoJournal, FlawsInARunThatEndedAreDamage) {
    TUndoJournalScope Journal;
    const std::vector<std::uint64_t> At = EntryOffsets();
    const std::wstring A = ThreeFiles[0].Path, B = ThreeFiles[1].Path, C = ThreeFiles[2].Path;
    struct {
        const char* Name;
        bool Cut;
        std::uint64_t Offset;
        std::vector<std::wstring> Paths;
        std::int64_t Unreadable;
    } Flaws[] = {
        {"cut inside the second entry's old bytes", true, At[1] + 3000, {A, L"!" + B}, 1},
        {"cut inside the second entry's head", true, At[1] + 40, {A}, 2},
        {"cut after the first entry", true, At[1], {A}, 2},
        {"a byte of the second entry's old bytes changed", false, At[2] - 10, {A, L"!" + B, C}, 0},
        // A flawed head is passed over to the next whole one, named as far as its path can be read.
        {"a byte of the second entry's path changed", false, At[1] + 100, {A, L"!C:\\dAta\\sub\\aux.txt", C}, 0},
        {"a byte of the second entry's new hash changed", false, At[1] + 70, {A, L"!" + B, C}, 0},
        {"the second entry's magic changed", false, At[1] + 1, {A, L"!" + B, C}, 0},
        {"the second entry's path length changed", false, At[1] + 10, {A, C}, 1},
    };
    for (const auto& Flaw : Flaws) {
        SCOPED_TRACE(Flaw.Name);
        const std::wstring Run = WriteRun(ThreeFiles);
        if (Flaw.Cut)
            Truncate(Run + L"journal.dat", Flaw.Offset);
        else
            FlipByte(Run + L"journal.dat", Flaw.Offset);
        const TReadBack Read = ReadRun(Run);
        EXPECT_EQ(Read.Opened, TUndoJournalReader::TOpen::Opened);
        EXPECT_EQ(Read.Count, 3);
        EXPECT_EQ(Read.Paths, Flaw.Paths);
        EXPECT_EQ(Read.Old[0], ThreeFiles[0].Mark + ThreeFiles[0].Body);
        EXPECT_EQ(Read.Unreadable, Flaw.Unreadable);
        ASSERT_TRUE(RemoveUndoRun(Run));
    }
    // A run with its header damaged, whether it ended or was cut short, is
    // listed as such and is the newest run still: an undo stops there rather
    // than take the run before for it.
    const std::wstring Before = WriteRun(ThreeFiles);
    const std::wstring Run = WriteRun(ThreeFiles, StartTime(1));
    FlipByte(Run + L"journal.dat", 30);
    for (const bool Ended : {true, false}) {
        SCOPED_TRACE(Ended ? "ended" : "cut short");
        if (!Ended) {
            ASSERT_TRUE(DeleteFileW((Run + L"ended.dat").c_str()));
        }
        EXPECT_EQ(ReadRun(Run).Opened, TUndoJournalReader::TOpen::Damaged);
        std::vector<TUndoRun> Runs = ListUndoRuns();
        ASSERT_EQ(Runs.size(), 2u);
        EXPECT_TRUE(Runs[0].Damaged);
        EXPECT_FALSE(Runs[1].Damaged);
        TUndoRun Newest;
        ASSERT_TRUE(NewestUndoRun(Newest));
        EXPECT_EQ(Newest.Path, Run);
        EXPECT_TRUE(Newest.Damaged);
    }
}

// A full disk: the entry that does not fit is taken back whole, the file it
// belongs to must not change, and a later entry that fits is recorded.
TEST(UndoJournal, AFullDiskRecordsNothingOfTheEntryThatDidNotFit) {
    TUndoJournalScope Journal;
    const std::vector<std::uint64_t> At = EntryOffsets();
    SetUndoJournalSpaceForTests(At[1] + 1000);
    {
        TUndoJournalWriter Writer(Header());
        for (const TFileChange& Change : ThreeFiles)
            EXPECT_EQ(Writer.Record(Change.Path, Change.Encoding, Change.Mark, Change.Body, Change.New),
                      &Change != &ThreeFiles[1])
                << testing::PrintToString(Change.Path);
        Writer.Finish();
    }
    SetUndoJournalSpaceForTests(0);
    std::vector<TUndoRun> Runs = ListUndoRuns();
    ASSERT_EQ(Runs.size(), 1u);
    const TReadBack Read = ReadRun(Runs[0].Path);
    EXPECT_EQ(Read.Paths, (std::vector<std::wstring>{ThreeFiles[0].Path, ThreeFiles[2].Path}));
    EXPECT_EQ(Read.Old[1], ThreeFiles[2].Mark + ThreeFiles[2].Body);
    EXPECT_EQ(Read.Unreadable, 0);
}

// Entries added one after another reach the disk with one flush. An entry taken
// out from the middle (its file was never swapped) leaves the others whole and in
// their order, the later ones moved up; one taken out last leaves nothing of it.
TEST(UndoJournal, OneFlushServesTheEntriesAddedBeforeItAndAnyEntryCanBeWithdrawn) {
    TUndoJournalScope Journal;
    const std::vector<std::uint64_t> At = EntryOffsets();
    std::wstring Run;
    {
        TUndoJournalWriter Writer(Header());
        std::vector<TUndoJournalWriter::TEntryId> Ids;
        for (const TFileChange& Change : ThreeFiles) {
            TUndoJournalWriter::TEntryId Id = 0;
            ASSERT_TRUE(Writer.Add(Change.Path, Change.Encoding, Change.Mark, Change.Body, Change.New, Id));
            Ids.push_back(Id);
        }
        const std::uint64_t Before = UndoJournalFlushesForTests();
        for (const auto Id : Ids) EXPECT_TRUE(Writer.MakeDurable(Id));
        EXPECT_EQ(UndoJournalFlushesForTests() - Before, 1u);
        std::vector<TUndoRun> Runs = ListUndoRuns();
        ASSERT_EQ(Runs.size(), 1u);
        EXPECT_EQ(Runs[0].Entries, 3);
        Run = Runs[0].Path;

        Writer.Keep(Ids[0]);
        EXPECT_TRUE(Writer.Withdraw(Ids[1]));
        EXPECT_FALSE(Writer.MakeDurable(Ids[1]));  // nothing of it is left to flush
        Writer.Keep(Ids[2]);
        EXPECT_EQ(ReadFileBytes(Run + L"journal.dat").Bytes.size(), At[3] - (At[2] - At[1]));
        TUndoJournalWriter::TEntryId Last = 0;
        ASSERT_TRUE(Writer.Add(L"C:\\data\\d.txt", TEncodingMode::Utf8, "", "old d", "new d", Last));
        EXPECT_TRUE(Writer.Withdraw(Last));
        EXPECT_EQ(ReadFileBytes(Run + L"journal.dat").Bytes.size(), At[3] - (At[2] - At[1]));
        Writer.Finish();
    }
    for (const bool Ended : {true, false}) {
        SCOPED_TRACE(Ended ? "ended" : "cut short");
        if (!Ended) {
            ASSERT_TRUE(DeleteFileW((Run + L"ended.dat").c_str()));
        }
        const TReadBack Read = ReadRun(Run);
        EXPECT_EQ(Read.Paths, (std::vector<std::wstring>{ThreeFiles[0].Path, ThreeFiles[2].Path}));
        ASSERT_EQ(Read.Old.size(), 2u);
        EXPECT_EQ(Read.Old[0], ThreeFiles[0].Mark + ThreeFiles[0].Body);
        EXPECT_EQ(Read.Old[1], ThreeFiles[2].Mark + ThreeFiles[2].Body);
        EXPECT_EQ(Read.Count, 2);
        EXPECT_EQ(Read.Unreadable, 0);
    }
}

TEST(UndoJournal, KeepsTheNewestRunsWithinTheirNumberAndSize) {
    TUndoJournalScope Journal;
    const std::vector<TFileChange> Small(ThreeFiles.begin(), ThreeFiles.begin() + 1);
    const std::vector<TFileChange> Large(ThreeFiles.begin() + 1, ThreeFiles.begin() + 2);  // 10,000 old bytes
    auto Names = [] {
        std::vector<std::wstring> Result;
        for (const TUndoRun& Run : ListUndoRuns()) Result.push_back(Run.Name.substr(9));
        return Result;
    };
    // By number: the eleventh run pushes out the first.
    for (int i = 0; i < 11; ++i) WriteRun(Small, StartTime(1000 * static_cast<std::uint64_t>(i)));
    std::vector<std::wstring> Kept = Names();
    ASSERT_EQ(Kept.size(), 10u);
    EXPECT_EQ(Kept.front(), L"123506-789");
    EXPECT_EQ(Kept.back(), L"123457-789");
    for (const TUndoRun& Run : ListUndoRuns()) RemoveUndoRun(Run.Path);

    // By size: the oldest go while all together hold more than the limit; the
    // newest stays even when it alone is larger.
    SetUndoJournalLimitsForTests(0, 25000);
    WriteRun(Large, StartTime(0));
    WriteRun(Small, StartTime(1000));
    WriteRun(Large, StartTime(2000));
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"123458-789", L"123457-789", L"123456-789"}));
    WriteRun(Large, StartTime(3000));
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"123459-789", L"123458-789", L"123457-789"}));
    SetUndoJournalLimitsForTests(0, 5000);
    WriteRun(Large, StartTime(4000));
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"123500-789"});
    SetUndoJournalLimitsForTests(0, 0);
}

// While an Apply writes its run, the run can be listed but not removed, and a
// reader is told so; afterwards it is an ordinary run.
TEST(UndoJournal, ARunBeingWrittenIsListedButNotRemoved) {
    TUndoJournalScope Journal;
    WriteRun(ThreeFiles);
    TUndoJournalWriter Writer(Header(StartTime(1000)));
    ASSERT_TRUE(Writer.Record(ThreeFiles[0].Path, TEncodingMode::Utf8, "", "x", "y"));
    std::vector<TUndoRun> Runs = ListUndoRuns();
    ASSERT_EQ(Runs.size(), 2u);
    EXPECT_TRUE(Runs[0].InUse);
    EXPECT_EQ(Runs[0].Entries, 1);
    EXPECT_EQ(Runs[0].Header.TextToFind, L"find\r\nme");
    EXPECT_FALSE(Runs[1].InUse);
    TUndoJournalReader Reader;
    EXPECT_EQ(Reader.Open(Runs[0].Path), TUndoJournalReader::TOpen::InUse);
    Reader.Close();
    // Another Apply keeping the journal within its limits cannot take it away either.
    SetUndoJournalLimitsForTests(1, 0);
    WriteRun(ThreeFiles, StartTime(2000));
    SetUndoJournalLimitsForTests(0, 0);
    EXPECT_FALSE(RemoveUndoRun(Runs[0].Path));
    EXPECT_TRUE(PathExists(Runs[0].Path + L"journal.dat"));
    Writer.Finish();
    EXPECT_EQ(ReadRun(Runs[0].Path).Opened, TUndoJournalReader::TOpen::Opened);
    EXPECT_TRUE(RemoveUndoRun(Runs[0].Path));
}

TEST(UndoJournal, LivesInTheUsersLocalApplicationDataUnlessMoved) {
    TUndoJournalScope Journal;
    EXPECT_EQ(UndoJournalRoot(), Journal.Root());
    SetEnvironmentVariableW(L"QV_UNDO_DIR", nullptr);
    PWSTR Local = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &Local)));
    const std::wstring Expected = std::wstring(Local) + L"\\Quorvane\\Undo\\";
    CoTaskMemFree(Local);
    EXPECT_EQ(UndoJournalRoot(), Expected);
}

}  // namespace
