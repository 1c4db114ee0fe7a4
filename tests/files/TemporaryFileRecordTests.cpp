#include "files/TemporaryFileRecord.h"

#include "TempFolder.h"
#include "UndoJournalScope.h"
#include "base/UniqueHandle.h"
#include "files/LongPath.h"
#include "files/SafeFileWriter.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

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

}  // namespace
