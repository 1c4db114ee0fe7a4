#include "files/TemporaryFileRecord.h"

#include "TempFolder.h"
#include "UndoJournalScope.h"
#include "base/UniqueHandle.h"
#include "files/LongPath.h"
#include "files/SafeFileWriter.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

UniqueFile MakeNew(const std::wstring& Path) {
    return UniqueFile(CreateFileW(ExtendedPath(Path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool Exists(const std::wstring& Path) {
    return GetFileAttributesW(ExtendedPath(Path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Utf8(const std::wstring& Text) {
    std::string Out(Text.size() * 4, '\0');
    Out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()),
                                                       Out.data(), static_cast<int>(Out.size()), nullptr, nullptr)));
    return Out;
}

std::wstring RecordFolder(const TUndoJournalScope& Journal) { return Journal.Root() + L"temp\\"; }

// A run that ended while its temporary files were in every state a kill can
// leave them in: its record stays behind, held by nobody. The next run removes
// exactly the files the run made and did not see gone, and then the record.
TEST(TemporaryFileRecord, TheNextRunRemovesWhatAKilledRunLeftAndNothingElse) {
    TUndoJournalScope Journal;
    TempFolder Folder;
    const std::wstring UserOwn = Folder.WriteFile(L"TEMP-77.TMP", "the user's own");
    const std::wstring Made = Folder.Path() + L"TEMP-1.TMP";          // made, identity recorded
    const std::wstring Unidentified = Folder.Path() + L"TEMP-2.TMP";  // made, killed before its identity
    const std::wstring Swapped = Folder.Path() + L"TEMP-3.TMP";       // gone, recorded so; the name taken again
    const std::wstring Reused = Folder.Path() + L"TEMP-4.TMP";  // swapped in, killed before that was recorded
    {
        TTemporaryFileRecord Run;
        for (const std::wstring& Path : {Made, Unidentified, Swapped, Reused}) {
            const std::int64_t Id = TemporaryFiles::WillMake(Path);
            ASSERT_GT(Id, 0);
            UniqueFile File = MakeNew(Path);
            ASSERT_TRUE(File);
            if (Path != Unidentified) TemporaryFiles::Made(Id, File.Get());
            if (Path == Reused) {
                File.Reset();
                ASSERT_TRUE(MoveFileExW(ExtendedPath(Path).c_str(), ExtendedPath(Folder.Path() + L"target.txt").c_str(),
                                        0));
            }
            if (Path == Swapped) {
                FILE_DISPOSITION_INFO Disposition{TRUE};
                ASSERT_TRUE(SetFileInformationByHandle(File.Get(), FileDispositionInfo, &Disposition,
                                                       sizeof Disposition));
            }
            if (Path == Swapped) TemporaryFiles::Gone(Id);
        }
    }
    // The record is left as a kill leaves it.
    ASSERT_EQ(FolderFiles(RecordFolder(Journal)).size(), 1u);
    Folder.WriteFile(L"TEMP-3.TMP", "a later file of the user");
    Folder.WriteFile(L"TEMP-4.TMP", "another later file of the user");

    { TTemporaryFileRecord Next; }

    EXPECT_FALSE(Exists(Made));
    EXPECT_FALSE(Exists(Unidentified));
    EXPECT_EQ(ReadFileBytes(Swapped).Bytes, "a later file of the user");
    EXPECT_EQ(ReadFileBytes(Reused).Bytes, "another later file of the user");
    EXPECT_EQ(ReadFileBytes(UserOwn).Bytes, "the user's own");
    EXPECT_TRUE(FolderFiles(RecordFolder(Journal)).empty());
}

// A record still held belongs to a run that is going: its files stay. Writes
// made while recording leave no record once the run ends, and a name taken
// before the write is never recorded at all.
TEST(TemporaryFileRecord, ARunningRunsFilesStayAndAFinishedRunLeavesNoRecord) {
    TUndoJournalScope Journal;
    TempFolder Folder;
    const std::wstring Live = Folder.WriteFile(L"TEMP-5.TMP", "partial");
    const std::wstring UserOwn = Folder.WriteFile(L"TEMP-1.TMP", "the user's own");
    CreateDirectoryW(ExtendedPath(Journal.Root()).c_str(), nullptr);
    CreateDirectoryW(ExtendedPath(RecordFolder(Journal)).c_str(), nullptr);
    const std::wstring LiveRecord = RecordFolder(Journal) + L"1-1.rec";
    UniqueFile Held(CreateFileW(ExtendedPath(LiveRecord).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(Held);
    FILETIME Now;
    GetSystemTimeAsFileTime(&Now);
    const std::string Line = "C 1 " + std::to_string((std::uint64_t{Now.dwHighDateTime} << 32) | Now.dwLowDateTime) +
                             " " + Utf8(Live) + "\n";
    DWORD Written = 0;
    ASSERT_TRUE(WriteFile(Held.Get(), Line.data(), static_cast<DWORD>(Line.size()), &Written, nullptr));
    {
        TTemporaryFileRecord Run;
        const std::wstring Target = Folder.WriteFile(L"target.txt", "old");
        ASSERT_TRUE(WriteFileBytes(Target, "new", TSwapCheck{}));  // the safe write, not the test helper
        EXPECT_EQ(ReadFileBytes(Target).Bytes, "new");
    }
    EXPECT_EQ(ReadFileBytes(Live).Bytes, "partial");
    EXPECT_EQ(ReadFileBytes(UserOwn).Bytes, "the user's own");
    const auto Records = FolderFiles(RecordFolder(Journal));
    EXPECT_EQ(Records.size(), 1u);
    EXPECT_EQ(Records.count(L"1-1.rec"), 1u);
    Held.Reset();
    // Let go, the live run's record counts as a killed run's.
    { TTemporaryFileRecord Next; }
    EXPECT_FALSE(Exists(Live));
    EXPECT_EQ(ReadFileBytes(UserOwn).Bytes, "the user's own");
    EXPECT_TRUE(FolderFiles(RecordFolder(Journal)).empty());
}

// A run's temporary files carry a part of its own, and its record flushes one
// line per folder before the first of them is made there. After a power cut the
// record may hold no more than those lines: they alone take the files of that
// run's names in those folders, and nothing else. Not a user's TEMP-N.TMP, not
// another run's names, not a file of the run's name that was there before the
// run came to the folder, nor one in a folder the run did not record; with its
// lines, not a file it saw gone and kept either.
TEST(TemporaryFileRecord, AFolderLineTakesTheRunsOwnFilesThereAndNothingElse) {
    for (bool LinesLost : {false, true}) {
        SCOPED_TRACE(LinesLost ? "only the flushed lines reached the disk" : "every line reached the disk");
        TUndoJournalScope Journal;
        TempFolder Folder, Unrecorded;
        std::vector<std::wstring> Removed, Stays;
        {
            TTemporaryFileRecord Run;
            const std::wstring First = TemporaryFiles::TemporaryName(Folder.Path(), 1);
            const std::wstring Prefix = Folder.Path() + L"TEMP-";
            ASSERT_EQ(First.compare(0, Prefix.size(), Prefix), 0);
            ASSERT_GT(First.size(), Prefix.size() + 7);
            ASSERT_EQ(First.substr(First.size() - 7), L"001.TMP");
            const std::wstring Tag = First.substr(Prefix.size(), First.size() - Prefix.size() - 7);
            // Past the run's own names come the plain ones.
            EXPECT_EQ(TemporaryFiles::TemporaryName(Folder.Path(), 1000), Prefix + L"1.TMP");
            Stays.push_back(Folder.WriteFile(L"TEMP-" + Tag + L"003.TMP", "there before the run came"));
            // File times and the record's are told apart by seconds.
            Sleep(2500);
            Stays.push_back(Unrecorded.WriteFile(L"TEMP-" + Tag + L"001.TMP", "in a folder not recorded"));
            for (std::int64_t N : {1, 2, 4, 5}) {
                // Its line saying so is lost with the others.
                if (N == 5 && LinesLost) continue;
                const std::wstring Path = TemporaryFiles::TemporaryName(Folder.Path(), N);
                const std::int64_t Id = TemporaryFiles::WillMake(Path);
                ASSERT_GT(Id, 0);
                UniqueFile File = MakeNew(Path);
                ASSERT_TRUE(File);
                if (N != 2) TemporaryFiles::Made(Id, File.Get());
                // Seen gone and kept: another program's write is in it.
                if (N == 5) TemporaryFiles::Gone(Id);
                (N == 5 ? Stays : Removed).push_back(Path);
            }
            Stays.push_back(Folder.WriteFile(L"TEMP-77.TMP", "the user's own"));
            Stays.push_back(Folder.WriteFile(L"TEMP-" + Tag + L"1001.TMP", "another run's"));
            Stays.push_back(Folder.WriteFile(L"TEMP-" + Tag + L"000.TMP", "not a name of the run"));
        }
        const auto Records = FolderFiles(RecordFolder(Journal));
        ASSERT_EQ(Records.size(), 1u);
        if (LinesLost) {
            std::istringstream Lines(Records.begin()->second);
            std::string Line, Flushed;
            while (std::getline(Lines, Line))
                if (Line.rfind("F ", 0) == 0) Flushed += Line + "\n";
            ASSERT_FALSE(Flushed.empty());
            UniqueFile Record(CreateFileW(ExtendedPath(RecordFolder(Journal) + Records.begin()->first).c_str(),
                                          GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD Written = 0;
            ASSERT_TRUE(Record && WriteFile(Record.Get(), Flushed.data(), static_cast<DWORD>(Flushed.size()),
                                            &Written, nullptr));
        }

        { TTemporaryFileRecord Next; }

        for (const std::wstring& Path : Removed) EXPECT_FALSE(Exists(Path)) << Utf8(Path);
        for (const std::wstring& Path : Stays) EXPECT_TRUE(Exists(Path)) << Utf8(Path);
        EXPECT_TRUE(FolderFiles(RecordFolder(Journal)).empty());
    }
}

}  // namespace
