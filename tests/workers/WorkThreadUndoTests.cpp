// Apply and undo through the workers: every byte back as it was, the run before
// taken by the next undo, files changed since left alone and why, a journal that
// cannot take an entry, an undo stopped and completed later, a damaged entry.
#include "workers/WorkThreadApply.h"
#include "workers/WorkThreadUndo.h"

#include "TempFolder.h"
#include "TextBytes.h"
#include "UndoJournalScope.h"
#include "base/UniqueHandle.h"
#include "files/FileSystemCalls.h"
#include "files/LongPath.h"
#include "files/UndoJournal.h"
#include "workers/FilePipeline.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct TApplyResult {
    std::int32_t Changed = -1, Replaced = -1, Skipped = -1;
    std::map<std::wstring, TApplyFileOutcome> Files;  // by name relative to the folder
};

TApplyResult Apply(const std::wstring& Folder, const std::wstring& Find, const std::wstring& Replace,
                   TEncodingMode Mode = TEncodingMode::Auto, bool DryRun = false) {
    TApplyResult Result;
    TWorkThreadApply Worker(Folder, true, L"*", Find, Replace, true, Mode);
    Worker.DryRun = DryRun;
    Worker.OnApplyFile = [&](std::wstring FileName, std::int32_t, TEncodingMode, TApplyFileOutcome Outcome) {
        Result.Files[FileName.substr(Folder.size())] = Outcome;
    };
    Worker.OnApplyReturnValues = [&](std::int32_t Changed, std::int32_t Replaced, std::int32_t Skipped) {
        Result.Changed = Changed;
        Result.Replaced = Replaced;
        Result.Skipped = Skipped;
    };
    Worker.Start();
    Worker.WaitFor();
    return Result;
}

struct TUndoResult {
    std::int32_t Restored = -1, Untouched = -1, Damaged = -1;
    TUndoEnd End = TUndoEnd::CannotOpen;
    std::map<std::wstring, TUndoFileOutcome> Files;  // by full path
    std::vector<std::int32_t> Progress;
};

// Undoes the newest run; OnProgress may stop the worker.
TUndoResult Undo(const std::function<void(TWorkThreadUndo&, std::int32_t)>& OnProgress = nullptr) {
    TUndoResult Result;
    TUndoRun Run;
    if (!NewestUndoRun(Run)) return Result;
    TWorkThreadUndo Worker(Run.Path);
    Worker.OnUndoProgress = [&](std::int32_t Value) {
        Result.Progress.push_back(Value);
        if (OnProgress) OnProgress(Worker, Value);
    };
    Worker.OnUndoFile = [&](std::wstring FileName, TUndoFileOutcome Outcome) { Result.Files[FileName] = Outcome; };
    Worker.OnUndoReturnValues = [&](std::int32_t Restored, std::int32_t Untouched, std::int32_t Damaged,
                                    TUndoEnd End) {
        Result.Restored = Restored;
        Result.Untouched = Untouched;
        Result.Damaged = Damaged;
        Result.End = End;
    };
    Worker.Start();
    Worker.WaitFor();
    return Result;
}

// Every file under Folder, sub-folders included, by relative name.
std::map<std::wstring, std::string> Tree(const std::wstring& Folder, const std::wstring& Prefix = L"") {
    std::map<std::wstring, std::string> Files;
    for (auto& [Name, Bytes] : FolderFiles(Folder + Prefix)) Files[Prefix + Name] = Bytes;
    WIN32_FIND_DATAW Found;
    HANDLE Find = FindFirstFileW(ExtendedPath(Folder + Prefix + L"*").c_str(), &Found);
    if (Find == INVALID_HANDLE_VALUE) return Files;
    do {
        const std::wstring Name = Found.cFileName;
        if ((Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && Name != L"." && Name != L"..")
            Files.merge(Tree(Folder, Prefix + Name + L"\\"));
    } while (FindNextFileW(Find, &Found));
    FindClose(Find);
    return Files;
}

TEST(WorkThreadUndo, EveryByteGoesBackAndTheNextUndoTakesTheRunBefore) {
    TUndoJournalScope Journal;
    TempFolder Dir;
    Dir.WriteFile(L"utf8.txt", Utf8Bom + "hello\r\nw\xC3\xB6rld hello\r\n");
    Dir.WriteFile(L"utf16.txt", Utf16WithBom(L"hello\nw\u00F6rld\n"));
    Dir.WriteFile(L"ansi.txt", "caf\xE9 hello");
    Dir.WriteFile(L"empty.txt", "");
    Dir.WriteFile(L"aux.txt", "hello\n");
    Dir.WriteFile(L"sub\\trail.", "hello hello");
    Dir.WriteFile(L"sub\\nothing.txt", "no greeting");
    Dir.WriteFile(L"plain.md", "hello without a mark");
    const auto Before = Tree(Dir.Path());

    TApplyResult First = Apply(Dir.Path(), L"hello", L"HOWDY");
    EXPECT_EQ(First.Changed, 6);
    const auto AfterFirst = Tree(Dir.Path());
    // The second run reads every file as UTF-8; the ones without a mark stay so.
    TApplyResult Second = Apply(Dir.Path(), L"HOWDY", L"hi", TEncodingMode::Utf8);
    EXPECT_EQ(Second.Changed, 4);
    EXPECT_EQ(ReadFileBytes(Dir.Path() + L"plain.md").Bytes, "hi without a mark");
    EXPECT_EQ(ListUndoRuns().size(), 2u);

    TUndoResult Undone = Undo();
    EXPECT_EQ(Undone.End, TUndoEnd::Finished);
    EXPECT_EQ(Undone.Restored, 4);
    EXPECT_EQ(Undone.Untouched, 0);
    EXPECT_EQ(Undone.Damaged, 0);
    EXPECT_EQ(Tree(Dir.Path()), AfterFirst);
    EXPECT_EQ(Undone.Progress, (std::vector<std::int32_t>{0, 33, 67, 100}));
    EXPECT_EQ(ListUndoRuns().size(), 1u);

    Undone = Undo();
    EXPECT_EQ(Undone.Restored, 6);
    EXPECT_EQ(Undone.Untouched, 0);
    EXPECT_EQ(Tree(Dir.Path()), Before);
    for (const auto& [Path, Outcome] : Undone.Files) EXPECT_EQ(Outcome, TUndoFileOutcome::Restored) << Narrow(Path);
    EXPECT_FALSE(UndoJournalHasRun());
    EXPECT_EQ(Undo().End, TUndoEnd::CannotOpen);  // nothing left
}

// Anything but the new bytes Apply wrote is left as it is, counted, and named
// with its reason; a file that has gone is never made again.
TEST(WorkThreadUndo, FilesChangedSinceAreLeftAloneWithTheirReason) {
    TUndoJournalScope Journal;
    TempFolder Dir;
    const wchar_t* Names[] = {L"restored.txt", L"already.txt",  L"edited.txt", L"samesize.txt",
                              L"deleted.txt",  L"folder.txt",   L"readonly.txt", L"inuse.txt"};
    for (const wchar_t* Name : Names) Dir.WriteFile(Name, Utf8Bom + "old");
    ASSERT_EQ(Apply(Dir.Path(), L"old", L"new").Changed, 8);
    const std::string New = Utf8Bom + "new";

    Dir.WriteFile(L"already.txt", Utf8Bom + "old");
    Dir.WriteFile(L"edited.txt", Utf8Bom + "new, and edited");
    Dir.WriteFile(L"samesize.txt", Utf8Bom + "NEW");  // the size alone does not tell
    ASSERT_TRUE(DeleteFileW((Dir.Path() + L"deleted.txt").c_str()));
    ASSERT_TRUE(DeleteFileW((Dir.Path() + L"folder.txt").c_str()));
    Dir.MakeFolder(L"folder.txt");
    ASSERT_TRUE(SetAttributes(Dir.Path() + L"readonly.txt", FILE_ATTRIBUTE_READONLY));
    UniqueFile Holder(CreateFileW((Dir.Path() + L"inuse.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(Holder.Valid());

    TUndoResult Undone = Undo();
    Holder.Reset();
    using enum TUndoFileOutcome;
    std::map<std::wstring, TUndoFileOutcome> Expected;
    const TUndoFileOutcome Outcomes[] = {Restored, AlreadyRestored, EditedSince, EditedSince,
                                         Missing,  NotAFile,        ReadOnly,    InUse};
    for (size_t i = 0; i < std::size(Names); ++i) Expected[Dir.Path() + Names[i]] = Outcomes[i];
    EXPECT_EQ(Undone.Files, Expected);
    EXPECT_EQ(Undone.Restored, 2);
    EXPECT_EQ(Undone.Untouched, 6);
    EXPECT_EQ(Undone.End, TUndoEnd::Retry);
    SetAttributes(Dir.Path() + L"readonly.txt", FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Tree(Dir.Path()), (std::map<std::wstring, std::string>{{L"restored.txt", Utf8Bom + "old"},
                                                                     {L"already.txt", Utf8Bom + "old"},
                                                                     {L"edited.txt", Utf8Bom + "new, and edited"},
                                                                     {L"samesize.txt", Utf8Bom + "NEW"},
                                                                     {L"readonly.txt", New},
                                                                     {L"inuse.txt", New}}));
    EXPECT_TRUE(FileAttributes(Dir.Path() + L"folder.txt") & FILE_ATTRIBUTE_DIRECTORY);
}

// A file left for a passing reason (open elsewhere, read-only) keeps its run in
// the journal, and the next undo restores it; files that can never go back
// (edited, gone) do not keep a run.
TEST(WorkThreadUndo, FilesLeftForAPassingReasonAreRetriedByTheNextUndo) {
    TUndoJournalScope Journal;
    TempFolder Dir;
    for (const wchar_t* Name : {L"a.txt", L"edited.txt", L"readonly.txt", L"inuse.txt"}) Dir.WriteFile(Name, "old");
    ASSERT_EQ(Apply(Dir.Path(), L"old", L"new").Changed, 4);
    Dir.WriteFile(L"edited.txt", "edited");
    ASSERT_TRUE(SetAttributes(Dir.Path() + L"readonly.txt", FILE_ATTRIBUTE_READONLY));
    UniqueFile Holder(CreateFileW((Dir.Path() + L"inuse.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(Holder.Valid());
    TUndoRun Run;
    ASSERT_TRUE(NewestUndoRun(Run));

    TUndoResult First = Undo();
    EXPECT_EQ(First.End, TUndoEnd::Retry);
    EXPECT_EQ(First.Restored, 1);
    EXPECT_EQ(First.Untouched, 3);
    TUndoRun Still;
    ASSERT_TRUE(NewestUndoRun(Still));
    EXPECT_EQ(Still.Path, Run.Path);

    // Still held: the run stays again.
    SetAttributes(Dir.Path() + L"readonly.txt", FILE_ATTRIBUTE_NORMAL);
    TUndoResult Second = Undo();
    EXPECT_EQ(Second.End, TUndoEnd::Retry);
    EXPECT_EQ(Second.Files[Dir.Path() + L"a.txt"], TUndoFileOutcome::AlreadyRestored);
    EXPECT_EQ(Second.Files[Dir.Path() + L"readonly.txt"], TUndoFileOutcome::Restored);
    EXPECT_EQ(Second.Files[Dir.Path() + L"inuse.txt"], TUndoFileOutcome::InUse);

    Holder.Reset();
    TUndoResult Third = Undo();
    EXPECT_EQ(Third.End, TUndoEnd::Finished);
    EXPECT_EQ(Third.Files[Dir.Path() + L"inuse.txt"], TUndoFileOutcome::Restored);
    EXPECT_EQ(Third.Files[Dir.Path() + L"edited.txt"], TUndoFileOutcome::EditedSince);
    EXPECT_EQ(Tree(Dir.Path()), (std::map<std::wstring, std::string>{
                                    {L"a.txt", "old"}, {L"edited.txt", "edited"}, {L"readonly.txt", "old"},
                                    {L"inuse.txt", "old"}}));
    EXPECT_FALSE(UndoJournalHasRun());
}

// One undo at a time: while another holds the journal's lock, an undo touches
// nothing and says so; once it is free, the run goes back.
TEST(WorkThreadUndo, ASecondUndoAtTheSameTimeDoesNothing) {
    TUndoJournalScope Journal;
    TempFolder Dir;
    Dir.WriteFile(L"a.txt", "old");
    ASSERT_EQ(Apply(Dir.Path(), L"old", L"new").Changed, 1);
    {
        TUndoLock Other;
        ASSERT_TRUE(Other.Acquire());
        TUndoLock Third;
        EXPECT_FALSE(Third.Acquire());
        TUndoResult Busy = Undo();
        EXPECT_EQ(Busy.End, TUndoEnd::Busy);
        EXPECT_TRUE(Busy.Files.empty());
        EXPECT_EQ(ReadFileBytes(Dir.Path() + L"a.txt").Bytes, "new");
        EXPECT_TRUE(UndoJournalHasRun());
    }
    EXPECT_EQ(Undo().End, TUndoEnd::Finished);
    EXPECT_EQ(ReadFileBytes(Dir.Path() + L"a.txt").Bytes, "old");
}

// A journal inside the searched tree is neither listed nor changed by a run.
TEST(WorkThreadUndo, AJournalInsideTheTreeIsLeftOutOfTheRun) {
    TUndoJournalScope Journal;
    TempFolder Dir;
    SetEnvironmentVariableW(L"QV_UNDO_DIR", (Dir.Path() + L"journal").c_str());
    Dir.WriteFile(L"a.txt", "apple");
    ASSERT_EQ(Apply(Dir.Path(), L"apple", L"pear").Changed, 1);
    const auto Before = Tree(Dir.Path() + L"journal\\");
    ASSERT_EQ(Before.size(), 2u);  // journal.dat, holding "apple", and ended.dat
    Dir.WriteFile(L"b.txt", "apple");
    TApplyResult Second = Apply(Dir.Path(), L"apple", L"plum", TEncodingMode::Ansi);
    EXPECT_EQ(Second.Files, (std::map<std::wstring, TApplyFileOutcome>{{L"b.txt", TApplyFileOutcome::Changed}}));
    auto After = Tree(Dir.Path() + L"journal\\");
    for (const auto& [Name, Bytes] : Before) EXPECT_EQ(After[Name], Bytes) << Narrow(Name);
}

// An entry the journal cannot take leaves its file untouched and skipped; a
// dry run records nothing.
TEST(WorkThreadUndo, AFileWhoseEntryCannotBeWrittenIsSkippedUntouched) {
    TUndoJournalScope Journal;
    TempFolder Dir;
    const std::string Old = Utf8Bom + std::string(3000, 'o');
    for (const wchar_t* Name : {L"a.txt", L"b.txt", L"c.txt"}) Dir.WriteFile(Name, Old);
    EXPECT_EQ(Apply(Dir.Path(), L"o", L"n", TEncodingMode::Auto, true).Changed, 3);
    EXPECT_FALSE(UndoJournalHasRun());

    // Room for the header and one entry.
    SetUndoJournalSpaceForTests(4000);
    TApplyResult Full = Apply(Dir.Path(), L"o", L"n");
    SetUndoJournalSpaceForTests(0);
    EXPECT_EQ(Full.Changed, 1);
    EXPECT_EQ(Full.Skipped, 2);
    EXPECT_EQ(Full.Files, (std::map<std::wstring, TApplyFileOutcome>{{L"a.txt", TApplyFileOutcome::Changed},
                                                                      {L"b.txt", TApplyFileOutcome::JournalFailed},
                                                                      {L"c.txt", TApplyFileOutcome::JournalFailed}}));
    EXPECT_EQ(Tree(Dir.Path()), (std::map<std::wstring, std::string>{
                                    {L"a.txt", Utf8Bom + std::string(3000, 'n')}, {L"b.txt", Old}, {L"c.txt", Old}}));
    EXPECT_EQ(Undo().Restored, 1);
    EXPECT_EQ(ReadFileBytes(Dir.Path() + L"a.txt").Bytes, Old);

    // A journal that cannot be made at all: nothing changes.
    TempFolder Other;
    const std::wstring NotAFolder = Other.WriteFile(L"file", "x");
    SetEnvironmentVariableW(L"QV_UNDO_DIR", NotAFolder.c_str());
    TApplyResult Refused = Apply(Dir.Path(), L"o", L"n");
    EXPECT_EQ(Refused.Changed, 0);
    EXPECT_EQ(Refused.Skipped, 3);
    for (const auto& [Name, Outcome] : Refused.Files) EXPECT_EQ(Outcome, TApplyFileOutcome::JournalFailed);
    EXPECT_EQ(Tree(Dir.Path()), (std::map<std::wstring, std::string>{{L"a.txt", Old}, {L"b.txt", Old}, {L"c.txt", Old}}));
}

// A stopped undo keeps the run; the next undo completes it, counting the files
// already back as restored.
TEST(WorkThreadUndo, AStoppedUndoIsCompletedByTheNext) {
    TUndoJournalScope Journal;
    TempFolder Dir;
    for (int i = 0; i < 20; ++i) Dir.WriteFile(L"f" + std::to_wstring(100 + i) + L".txt", "old " + std::to_string(i));
    const auto Before = Tree(Dir.Path());
    ASSERT_EQ(Apply(Dir.Path(), L"old", L"new").Changed, 20);
    TUndoRun Run;
    ASSERT_TRUE(NewestUndoRun(Run));
    EXPECT_EQ(Run.Entries, 20);

    int Files = 0;
    TUndoResult Stopped = Undo([&](TWorkThreadUndo& Worker, std::int32_t) {
        if (++Files == 5) Worker.Terminate();
    });
    EXPECT_EQ(Stopped.End, TUndoEnd::Stopped);
    EXPECT_EQ(Stopped.Restored, 5);
    TUndoRun Still;
    ASSERT_TRUE(NewestUndoRun(Still));
    EXPECT_EQ(Still.Path, Run.Path);

    TUndoResult Completed = Undo();
    EXPECT_EQ(Completed.End, TUndoEnd::Finished);
    EXPECT_EQ(Completed.Restored, 20);
    int Already = 0;
    for (const auto& [Path, Outcome] : Completed.Files) Already += Outcome == TUndoFileOutcome::AlreadyRestored;
    EXPECT_EQ(Already, 5);
    EXPECT_EQ(Tree(Dir.Path()), Before);
    EXPECT_FALSE(UndoJournalHasRun());
}

// A damaged entry gives nothing back; the other entries of the run still do.
TEST(WorkThreadUndo, ADamagedEntryRestoresNothingAndTheOthersGoBack) {
    TUndoJournalScope Journal;
    TempFolder Dir;
    Dir.WriteFile(L"a.txt", "first old text");
    Dir.WriteFile(L"b.txt", "second old text");
    Dir.WriteFile(L"c.txt", "third old text");
    ASSERT_EQ(Apply(Dir.Path(), L"old", L"new").Changed, 3);
    TUndoRun Run;
    ASSERT_TRUE(NewestUndoRun(Run));
    const std::wstring JournalFile = Run.Path + L"journal.dat";
    std::string Bytes = ReadFileBytes(JournalFile).Bytes;
    const size_t At = Bytes.find("second old text");
    ASSERT_NE(At, std::string::npos);
    Bytes[At] = 'S';
    ASSERT_TRUE(WriteFileBytes(JournalFile, Bytes));

    TUndoResult Undone = Undo();
    EXPECT_EQ(Undone.Files, (std::map<std::wstring, TUndoFileOutcome>{
                                {Dir.Path() + L"a.txt", TUndoFileOutcome::Restored},
                                {Dir.Path() + L"b.txt", TUndoFileOutcome::DamagedEntry},
                                {Dir.Path() + L"c.txt", TUndoFileOutcome::Restored}}));
    EXPECT_EQ(Undone.Damaged, 1);
    EXPECT_EQ(Undone.End, TUndoEnd::Finished);
    EXPECT_EQ(Tree(Dir.Path()), (std::map<std::wstring, std::string>{
                                    {L"a.txt", "first old text"}, {L"b.txt", "second new text"}, {L"c.txt", "third old text"}}));
}

// Every byte of the newest run's header and of its first two entries flipped in
// turn, in a run that ended and in one cut short: a damaged header stops the
// undo before it touches anything (never the run before); a damaged entry costs
// that entry alone and the others go back; no file ever gets other bytes than
// its old or its new ones. Prints which byte ranges led to which outcome.
TEST(WorkThreadUndo, EveryFlippedByteOfAHeaderOrAnEntryCostsThatPartAlone) {
    TUndoJournalScope Journal;
    TempFolder Older, Dir;
    Older.WriteFile(L"o.txt", "apple older");
    ASSERT_EQ(Apply(Older.Path(), L"apple", L"pear").Changed, 1);
    const std::wstring Names[] = {L"a.txt", L"b.txt", L"c.txt"};
    const std::string Old[] = {"apple one", "apple two", "apple three"};
    const std::string New[] = {"pear one", "pear two", "pear three"};
    for (int i = 0; i < 3; ++i) Dir.WriteFile(Names[i], Old[i]);
    ASSERT_EQ(Apply(Dir.Path(), L"apple", L"pear").Changed, 3);
    TUndoRun Run;
    ASSERT_TRUE(NewestUndoRun(Run));
    const std::string Bytes = ReadFileBytes(Run.Path + L"journal.dat").Bytes;
    const std::string Ended = ReadFileBytes(Run.Path + L"ended.dat").Bytes;
    std::vector<size_t> Starts;  // the entries, found by their magic
    for (size_t At = Bytes.find("QVE\x01"); At != std::string::npos; At = Bytes.find("QVE\x01", At + 1))
        Starts.push_back(At);
    ASSERT_EQ(Starts.size(), 3u);
    const std::wstring JournalFile = Run.Path + L"journal.dat";
    const std::wstring EndedFile = Run.Path + L"ended.dat";

    for (const bool RunEnded : {true, false}) {
        SCOPED_TRACE(RunEnded ? "a run that ended" : "a run cut short");
        std::string Table;
        std::string Last;
        size_t From = 0;
        auto Close = [&](size_t To) {
            if (!Last.empty()) Table += "  bytes " + std::to_string(From) + "-" + std::to_string(To - 1) + ": " + Last + "\n";
        };
        for (size_t At = 0; At < Starts[2]; ++At) {
            const int Part = At < Starts[0] ? -1 : At < Starts[1] ? 0 : 1;  // -1: the header
            for (int i = 0; i < 3; ++i) Dir.WriteFile(Names[i], New[i]);
            std::string Flipped = Bytes;
            Flipped[At] = static_cast<char>(Flipped[At] ^ 0xFF);
            ASSERT_TRUE(WriteFileBytes(JournalFile, Flipped));
            if (RunEnded)
                ASSERT_TRUE(WriteFileBytes(EndedFile, Ended));
            else
                DeleteFileW(EndedFile.c_str());

            std::string Outcome;
            TUndoRun Newest;
            ASSERT_TRUE(NewestUndoRun(Newest)) << At;
            ASSERT_EQ(Newest.Path, Run.Path) << At;  // never the run before
            if (Newest.Damaged) {
                Outcome = "header damaged: undo stops, nothing restored";
                ASSERT_EQ(Part, -1) << At;
            } else {
                ASSERT_NE(Part, -1) << "a flipped header byte went unnoticed at " << At;
                TUndoResult Undone = Undo();
                EXPECT_EQ(Undone.End, TUndoEnd::Finished) << At;
                EXPECT_GE(Undone.Damaged, 1) << At;
                EXPECT_EQ(Undone.Restored, 2) << At;
                const bool Named = Undone.Files.count(Dir.Path() + Names[Part]) == 1 &&
                                   Undone.Files[Dir.Path() + Names[Part]] == TUndoFileOutcome::DamagedEntry;
                Outcome = "entry " + std::to_string(Part + 1) + " damaged (" +
                          (Named ? "named" : Undone.Files.size() == 2 ? "unnamed" : "named as read") +
                          "), the other two restored";
                // Re-create the run for the next byte.
                CreateDirectoryW(Run.Path.c_str(), nullptr);
            }
            for (int i = 0; i < 3; ++i) {
                const std::string Now = ReadFileBytes(Dir.Path() + Names[i]).Bytes;
                const bool Restored = Part != -1 && i != Part;
                ASSERT_EQ(Now, Restored ? Old[i] : New[i]) << "byte " << At << ", file " << i;
            }
            ASSERT_EQ(ReadFileBytes(Older.Path() + L"o.txt").Bytes, "pear older") << At;
            if (Outcome != Last) {
                Close(At);
                Last = Outcome;
                From = At;
            }
        }
        Close(Starts[2]);
        std::printf("%s, header 0-%zu, entry 1 %zu-%zu, entry 2 %zu-%zu:\n%s", RunEnded ? "ended" : "cut short",
                    Starts[0] - 1, Starts[0], Starts[1] - 1, Starts[1], Starts[2] - 1, Table.c_str());
    }
}

// Waits, within a bound, until the run being written lists Count entries.
bool AwaitEntries(std::int64_t Count) {
    for (int Tries = 0; Tries < 3000; ++Tries) {
        if (TUndoRun Run; NewestUndoRun(Run) && Run.Entries >= Count) return true;
        Sleep(10);
    }
    return false;
}

// Four files side by side, each new content's flush held back until the run
// lists every entry: one flush of the journal serves them all. A file that keeps
// its old bytes after its entry was added (written to before its swap, or its
// new content not written) has its entry taken out, the entries after it moved
// up: the run and the undo count exactly the files that changed, and an undo
// brings every byte back without naming the others.
TEST(WorkThreadUndo, OneJournalFlushServesTheEntriesAddedBeforeIt) {
    struct {
        const char* Name;
        const wchar_t* Touched;  // its time changed once every entry is in
        bool WriteFails;         // the first new content's flush fails, whichever file's it is
        std::uint64_t MostFlushes;  // of the journal (a withdrawal flushes the cut)
    } Cases[] = {
        {"every file changes", nullptr, false, 1},
        {"the second file is written to before its swap", L"b.txt", false, 2},
        {"one file's new content cannot be written", nullptr, true, 2},
    };
    const wchar_t* Names[] = {L"a.txt", L"b.txt", L"c.txt", L"d.txt"};
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TUndoJournalScope Journal;
        TempFolder Dir;
        for (size_t i = 0; i < std::size(Names); ++i)
            Dir.WriteFile(Names[i], std::string(1000 * (i + 1), 'x') + " apple " + std::to_string(i));
        const auto Before = Tree(Dir.Path());
        std::atomic<int> ContentFlushes{0};
        std::atomic<bool> TimedOut{false}, TouchFailed{false};
        std::once_flag AllIn;
        FileSystemCalls::ResetFaults();
        if (Case.WriteFails)
            FileSystemCalls::SetFaultPlan({1, false, FileSystemCalls::TFaultKind::Refuse, FileSystemCalls::TCallKind::Flush});
        FileSystemCalls::SetCallHook([&](FileSystemCalls::TCallKind Call) {
            if (Call != FileSystemCalls::TCallKind::Flush) return;
            ++ContentFlushes;
            // Once: a withdrawn entry may take the count below all of them again.
            std::call_once(AllIn, [&] {
                if (!AwaitEntries(std::ssize(Names))) TimedOut = true;
                if (!Case.Touched) return;
                // Its time alone: the file is held with its data shared with nobody.
                UniqueFile File(CreateFileW(ExtendedPath(Dir.Path() + Case.Touched).c_str(), FILE_WRITE_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
                const FILETIME Time{0x12345678, 0x01C00000};
                TouchFailed = !File || !SetFileTime(File.Get(), nullptr, nullptr, &Time);
            });
        });
        TFilePipeline::SetThreadsForTests(4);
        const std::uint64_t FlushesBefore = UndoJournalFlushesForTests();
        const TApplyResult Result = Apply(Dir.Path(), L"apple", L"pear");
        const std::uint64_t Flushes = UndoJournalFlushesForTests() - FlushesBefore;
        TFilePipeline::SetThreadsForTests(0);
        FileSystemCalls::SetCallHook(nullptr);
        FileSystemCalls::ResetFaults();
        ASSERT_FALSE(TimedOut);
        ASSERT_FALSE(TouchFailed);
        EXPECT_EQ(ContentFlushes.load(), 4);
        EXPECT_LE(Flushes, Case.MostFlushes);
        std::printf("%s: %d files, %llu journal flushes\n", Case.Name, static_cast<int>(std::size(Names)),
                    static_cast<unsigned long long>(Flushes));

        std::map<std::wstring, TUndoFileOutcome> Changed;
        int Left = 0;
        for (const wchar_t* Name : Names) {
            const TApplyFileOutcome Outcome = Result.Files.at(Name);
            const std::string Now = ReadFileBytes(Dir.Path() + Name).Bytes;
            if (Outcome == TApplyFileOutcome::Changed) {
                Changed[Dir.Path() + Name] = TUndoFileOutcome::Restored;
                EXPECT_NE(Now.find("pear"), std::string::npos) << Narrow(Name);
                continue;
            }
            ++Left;
            EXPECT_EQ(Now, Before.at(Name)) << Narrow(Name);
            if (Case.Touched) {
                EXPECT_EQ(Name, std::wstring(Case.Touched));
                EXPECT_EQ(Outcome, TApplyFileOutcome::ChangedMeanwhile);
            } else {
                EXPECT_EQ(Outcome, TApplyFileOutcome::WriteFailed) << Narrow(Name);
            }
        }
        EXPECT_EQ(Left, Case.Touched || Case.WriteFails ? 1 : 0);
        EXPECT_EQ(Result.Changed, static_cast<std::int32_t>(Changed.size()));
        TUndoRun Run;
        ASSERT_TRUE(NewestUndoRun(Run));
        EXPECT_EQ(Run.Entries, static_cast<std::int64_t>(Changed.size()));
        const TUndoResult Undone = Undo();
        EXPECT_EQ(Undone.Files, Changed);
        EXPECT_EQ(Undone.Untouched, 0);
        EXPECT_EQ(Undone.Damaged, 0);
        EXPECT_EQ(Undone.End, TUndoEnd::Finished);
        EXPECT_EQ(Tree(Dir.Path()), Before);
    }
}

}  // namespace

// Another program appends to a file in the moment Apply lets go of it for the
// swap (where the system cannot replace an open file): the swap is undone, the
// file keeps the append and counts as skipped, and its journal entry goes, so
// an undo has nothing of it. Where the file is held through the swap, no such
// moment exists and the file is changed.
TEST(WorkThreadUndo, AFileWrittenToDuringItsSwapIsSwappedBackAndLeftOutOfTheJournal) {
    TUndoJournalScope Journal;
    TempFolder Dir;
    const std::wstring Path = Dir.WriteFile(L"a.txt", "apple");
    int Renames = 0;
    bool Appended = false;
    FileSystemCalls::SetCallHook([&](FileSystemCalls::TCallKind Call) {
        // The second rename is the swap after letting go (the first tries it held).
        if (Call != FileSystemCalls::TCallKind::Move || ++Renames != 2) return;
        UniqueFile File(CreateFileW(ExtendedPath(Path).c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
        DWORD Written = 0;
        Appended = File && WriteFile(File.Get(), " tree", 5, &Written, nullptr) && Written == 5;
    });
    const TApplyResult Result = Apply(Dir.Path(), L"apple", L"pear");
    FileSystemCalls::SetCallHook(nullptr);
    TUndoRun Run;
    if (!Appended) {
        EXPECT_EQ(Result.Changed, 1);
        EXPECT_EQ(FolderFiles(Dir.Path()), (std::map<std::wstring, std::string>{{L"a.txt", "pear"}}));
        return;
    }
    EXPECT_EQ(Result.Files,
              (std::map<std::wstring, TApplyFileOutcome>{{L"a.txt", TApplyFileOutcome::ChangedDuringWrite}}));
    EXPECT_EQ(Result.Skipped, 1);
    EXPECT_EQ(FolderFiles(Dir.Path()), (std::map<std::wstring, std::string>{{L"a.txt", "apple tree"}}));
    EXPECT_FALSE(NewestUndoRun(Run));
}
