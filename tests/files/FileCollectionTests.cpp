#include "files/FileCollection.h"
#include "files/LongPath.h"

#include "TempFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
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

void SetAttributes(const std::wstring& Path, DWORD Attributes) {
    ASSERT_TRUE(SetFileAttributesW(ExtendedPath(Path).c_str(), Attributes)) << GetLastError();
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
}

TEST(FileCollection, HiddenAndSystemFilesAndFoldersAreCollected) {
    TempFolder Folder;
    SetAttributes(Folder.WriteFile(L"hidden.txt", ""), FILE_ATTRIBUTE_HIDDEN);
    SetAttributes(Folder.WriteFile(L"system.txt", ""), FILE_ATTRIBUTE_SYSTEM);
    Folder.WriteFile(L"Hidden\\in.txt", "");
    SetAttributes(Folder.Path() + L"Hidden", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(Sorted(Collect(Folder, L"*.txt", true)), (TStringArray{L"Hidden\\in.txt", L"hidden.txt", L"system.txt"}));
    // The switches leave them out, files and folders alike.
    EXPECT_EQ(Relative(Folder, CollectFiles(Folder.Path(), L"*.txt", true, false, true, false)),
              TStringArray{L"system.txt"});
    EXPECT_EQ(Relative(Folder, CollectFiles(Folder.Path(), L"*.txt", true, true, false, false)),
              TStringArray{L"hidden.txt"});
}
