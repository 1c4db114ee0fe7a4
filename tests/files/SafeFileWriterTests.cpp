#include "files/SafeFileWriter.h"

#include "TempFolder.h"
#include "TextBytes.h"
#include "base/UniqueHandle.h"
#include "files/FileSystemCalls.h"
#include "files/LongPath.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <set>
#include <vector>
#include <string>

namespace {

using namespace std::string_literals;

// A text long enough to pass through the 4096-byte buffer several times, with
// line breaks of all three kinds and no final break.
std::wstring LongText() {
    std::wstring Text;
    for (int i = 0; Text.size() < 10000; ++i) Text += L"line " + std::to_wstring(i) + (i % 3 == 0 ? L"\r\n" : i % 3 == 1 ? L"\n" : L"\r");
    return Text + L"end";
}

struct LayoutCase {
    const char* Name;
    std::int32_t Encoding;
    std::wstring Text;
    std::string Expected;
};

class SafeFileWriterLayout : public testing::TestWithParam<LayoutCase> {};

// Each layout comes out byte for byte, whether the file is new or replaces an
// old one, and nothing but the target is left in the folder.
TEST_P(SafeFileWriterLayout, WritesExactBytes) {
    const LayoutCase& Case = GetParam();
    TempFolder Folder;
    const std::wstring Fresh = Folder.Path() + L"fresh.txt";
    ASSERT_TRUE(WriteTextFile(Fresh, Case.Text, Case.Encoding));
    EXPECT_EQ(ReadFileBytes(Fresh).Bytes, Case.Expected);

    const std::wstring Old = Folder.WriteFile(L"old.txt", "previous content that is longer than some of the new ones");
    ASSERT_TRUE(WriteTextFile(Old, Case.Text, Case.Encoding));
    EXPECT_EQ(ReadFileBytes(Old).Bytes, Case.Expected);

    auto Files = FolderFiles(Folder.Path());
    EXPECT_EQ(Files.size(), 2u);
    EXPECT_EQ(Files.count(L"fresh.txt") + Files.count(L"old.txt"), 2u);
    EXPECT_EQ(EncodingMark(Case.Encoding) + [&] {
        std::string Bytes;
        EXPECT_TRUE(EncodeText(Case.Text, Case.Encoding, Bytes));
        return Bytes;
    }(), Case.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, SafeFileWriterLayout,
    testing::Values(
        LayoutCase{"Utf8Abc", 3, L"abc", "\xEF\xBB\xBF"s "abc"},
        LayoutCase{"Utf16Abc", 2, L"abc", "\xFF\xFE" "a\0b\0c\0"s},
        LayoutCase{"AnsiAbc", 1, L"abc", AnsiMark() + "abc"},
        LayoutCase{"NoneIsUtf8", 0, L"abc", "\xEF\xBB\xBF"s "abc"},
        LayoutCase{"Utf8Empty", 3, L"", "\xEF\xBB\xBF"s},
        LayoutCase{"Utf16Empty", 2, L"", "\xFF\xFE"s},
        LayoutCase{"AnsiEmpty", 1, L"", AnsiMark()},
        LayoutCase{"Utf8LineBreaks", 3, L"one\r\ntwo\nthree\rfour", "\xEF\xBB\xBF"s "one\r\ntwo\nthree\rfour"},
        LayoutCase{"Utf16LineBreaks", 2, L"a\r\nb\n", "\xFF\xFE" "a\0\r\0\n\0b\0\n\0"s},
        LayoutCase{"AnsiLineBreaks", 1, L"a\r\nb\nc\r\n", AnsiMark() + "a\r\nb\nc\r\n"},
        LayoutCase{"Utf8NonAscii", 3, L"\u00E9\u2192\U0001F600", "\xEF\xBB\xBF\xC3\xA9\xE2\x86\x92\xF0\x9F\x98\x80"s},
        LayoutCase{"Utf16SurrogatesAsTheyStand", 2, L"\U0001F600x\xD800", "\xFF\xFE\x3D\xD8\x00\xDE" "x\0\x00\xD8"s},
        LayoutCase{"Utf8Nul", 3, L"a"s + L'\0' + L"b", "\xEF\xBB\xBF" "a\0b"s},
        LayoutCase{"Utf8Long", 3, LongText(), "\xEF\xBB\xBF"s + Narrow(LongText())},
        LayoutCase{"AnsiLong", 1, LongText(), AnsiMark() + Narrow(LongText())}),
    [](const testing::TestParamInfo<LayoutCase>& Info) { return std::string(Info.param.Name); });

TEST(SafeFileWriter, AnsiUsesTheSystemCodePage) {
    if (GetACP() != 1252) GTEST_SKIP() << "needs code page 1252, have " << GetACP();
    TempFolder Folder;
    const std::wstring Path = Folder.Path() + L"a.txt";
    ASSERT_TRUE(WriteTextFile(Path, L"\u00E9\u20AC\u00FF", 1));
    EXPECT_EQ(ReadFileBytes(Path).Bytes, "\xE9\x80\xFF");
}

// No character may turn into a best-fit or default character: such text is
// refused before anything on disk changes.
TEST(SafeFileWriter, RefusesTextTheEncodingCannotHold) {
    struct Case {
        std::int32_t Encoding;
        std::wstring Text;
        bool Lossless;
    };
    std::vector<Case> Cases = {
        {3, L"\xD800", false},         // lone high surrogate
        {3, L"a\xDC00z", false},       // lone low surrogate
        {3, L"end\xD83D", false},      // high surrogate at the very end
        {3, L"\xD83D\xDE00", true},    // a proper pair
        {2, L"\xDC00\xD800", true},    // UTF-16 takes code units as they stand
        {1, L"plain ASCII\r\n", true},
    };
    if (GetACP() == 1252) {
        Cases.push_back({1, L"\u03A9", false});        // Greek capital omega
        Cases.push_back({1, L"a\u2192b", false});      // an arrow
        Cases.push_back({1, L"\u0101", false});        // a-macron: best fit would give 'a'
        Cases.push_back({1, L"\u00E9\u20AC", true});
    }
    for (const Case& C : Cases) {
        SCOPED_TRACE(testing::Message() << "encoding " << C.Encoding << ", case " << (&C - Cases.data()));
        std::string Bytes;
        EXPECT_EQ(EncodeText(C.Text, C.Encoding, Bytes), C.Lossless);

        TempFolder Folder;
        const std::wstring Path = Folder.WriteFile(L"a.txt", "old bytes\r\n");
        EXPECT_EQ(WriteTextFile(Path, C.Text, C.Encoding), C.Lossless);
        if (!C.Lossless) {
            auto Files = FolderFiles(Folder.Path());
            ASSERT_EQ(Files.size(), 1u);
            EXPECT_EQ(Files[L"a.txt"], "old bytes\r\n");
        }
    }
}

TEST(SafeFileWriter, MakeUniqueFileNameCountsOnlyFiles) {
    TempFolder Folder;
    const std::wstring Pattern = Folder.Path() + L"TEMP-?.TMP";
    EXPECT_EQ(MakeUniqueFileName(Pattern, 1), Folder.Path() + L"TEMP-1.TMP");
    Folder.WriteFile(L"TEMP-1.TMP", "x");
    Folder.WriteFile(L"TEMP-2.TMP", "x");
    Folder.MakeFolder(L"TEMP-3.TMP");
    EXPECT_EQ(MakeUniqueFileName(Pattern, 1), Folder.Path() + L"TEMP-3.TMP");
    EXPECT_EQ(MakeUniqueFileName(Pattern, 2), Folder.Path() + L"TEMP-3.TMP");
    EXPECT_EQ(MakeUniqueFileName(Pattern, 12), Folder.Path() + L"TEMP-12.TMP");
    EXPECT_EQ(MakeUniqueFileName(Folder.Path() + L"?-?.TMP", 1), Folder.Path() + L"1-1.TMP");
    // A pattern without a placeholder names one file: it is returned, not tested forever.
    EXPECT_EQ(MakeUniqueFileName(Folder.Path() + L"TEMP-1.TMP", 1), Folder.Path() + L"TEMP-1.TMP");
}

TEST(SafeFileWriter, TakenTemporaryNameIsSkippedAndLeftAlone) {
    TempFolder Folder;
    const std::wstring Path = Folder.WriteFile(L"a.txt", "old");
    Folder.WriteFile(L"TEMP-1.TMP", "someone else's");
    ASSERT_TRUE(WriteTextFile(Path, L"new", 2));
    auto Files = FolderFiles(Folder.Path());
    ASSERT_EQ(Files.size(), 2u);
    EXPECT_EQ(Files[L"a.txt"], "\xFF\xFEn\0e\0w\0"s);
    EXPECT_EQ(Files[L"TEMP-1.TMP"], "someone else's");
}

// A folder of the temporary name does not stop the write: the next free name is taken.
TEST(SafeFileWriter, FolderOfTheTemporaryNameIsPassedOver) {
    TempFolder Folder;
    const std::wstring Path = Folder.WriteFile(L"a.txt", "old");
    Folder.MakeFolder(L"TEMP-1.TMP");
    EXPECT_TRUE(WriteTextFile(Path, L"new", 3));
    auto Files = FolderFiles(Folder.Path());
    ASSERT_EQ(Files.size(), 1u);
    EXPECT_EQ(Files[L"a.txt"], "\xEF\xBB\xBFnew");
    EXPECT_TRUE(FileAttributes(Folder.Path() + L"TEMP-1.TMP") & FILE_ATTRIBUTE_DIRECTORY);
}

// A read-only file is left as it is (the platform itself may not refuse the
// rename); a hidden one gets a fresh file with ordinary attributes.
TEST(SafeFileWriter, ReadOnlyTargetIsRefusedAndHiddenTargetGetsAFreshFile) {
    TempFolder Folder;
    const std::wstring ReadOnly = Folder.WriteFile(L"ro.txt", "old read-only");
    ASSERT_TRUE(SetAttributes(ReadOnly, FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(WriteTextFile(ReadOnly, L"new", 3));
    EXPECT_EQ(ReadFileBytes(ReadOnly).Bytes, "old read-only");
    EXPECT_TRUE(FileAttributes(ReadOnly) & FILE_ATTRIBUTE_READONLY);

    const std::wstring Hidden = Folder.WriteFile(L"hidden.txt", "old hidden");
    ASSERT_TRUE(SetAttributes(Hidden, FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(WriteTextFile(Hidden, L"new", 3));
    EXPECT_EQ(ReadFileBytes(Hidden).Bytes, "\xEF\xBB\xBFnew");
    EXPECT_FALSE(FileAttributes(Hidden) & FILE_ATTRIBUTE_HIDDEN);
    auto Files = FolderFiles(Folder.Path());
    EXPECT_EQ(Files.size(), 2u);
    SetAttributes(ReadOnly, FILE_ATTRIBUTE_NORMAL);
}

// Any other opener of the target makes the swap fail (the system does not replace
// an open file): nothing changes and no temporary file stays. Share modes are
// enforced among handles of one Wine server, so this process holds the file itself.
TEST(SafeFileWriter, FileHeldOpenStaysUnchanged) {
    for (DWORD Share : {DWORD{0}, DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_DELETE},
                        DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}}) {
        SCOPED_TRACE(testing::Message() << "share mode " << Share);
        TempFolder Folder;
        const std::wstring Path = Folder.WriteFile(L"locked.txt", "old");
        UniqueFile Holder(CreateFileW(ExtendedPath(Path).c_str(), GENERIC_READ, Share, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(Holder.Valid());
        EXPECT_FALSE(WriteTextFile(Path, L"new", 3));
        Holder.Reset();
        auto Files = FolderFiles(Folder.Path());
        ASSERT_EQ(Files.size(), 1u);
        EXPECT_EQ(Files[L"locked.txt"], "old");
    }
}

// Until the swap the target holds its old bytes while the new ones lie in the
// temporary file (held by the writer until the swap); a check that says no leaves
// the target as it was and removes the temporary file.
TEST(SafeFileWriter, TheTargetKeepsItsOldBytesUntilTheSwap) {
    for (bool Agree : {true, false}) {
        SCOPED_TRACE(Agree ? "swap" : "check refuses");
        TempFolder Folder;
        const std::wstring Path = Folder.WriteFile(L"a.txt", "old");
        std::map<std::wstring, std::string> AtSwap;
        EXPECT_EQ(WriteTextFile(Path, L"new", TEncodingMode::Utf8,
                                [&] {
                                    AtSwap = FolderFiles(Folder.Path());
                                    return Agree;
                                }),
                  Agree);
        ASSERT_EQ(AtSwap.size(), 2u);
        EXPECT_EQ(AtSwap[L"a.txt"], "old");
        EXPECT_EQ(AtSwap.count(L"TEMP-1.TMP"), 1u);
        EXPECT_EQ(FolderFiles(Folder.Path()),
                  (std::map<std::wstring, std::string>{{L"a.txt", Agree ? "\xEF\xBB\xBFnew" : "old"}}));
    }
}

// Device names and a trailing dot are ordinary files here, new or old.
TEST(SafeFileWriter, DeviceNamesAndTrailingDotAreFiles) {
    TempFolder Folder;
    for (const wchar_t* Name : {L"aux.c", L"nul.txt", L"con", L"trail."}) {
        SCOPED_TRACE(testing::Message() << Name);
        const std::wstring Path = Folder.Path() + Name;
        ASSERT_TRUE(WriteTextFile(Path, L"first", 3));
        EXPECT_EQ(FolderFiles(Folder.Path())[Name], "\xEF\xBB\xBF" "first");
        ASSERT_TRUE(WriteTextFile(Path, L"second", 3));
        EXPECT_EQ(FolderFiles(Folder.Path())[Name], "\xEF\xBB\xBF" "second");
    }
    auto Files = FolderFiles(Folder.Path());
    EXPECT_EQ(Files.size(), 4u);
}

TEST(SafeFileWriter, PathLongerThanMaxPath) {
    TempFolder Folder;
    std::wstring Relative;
    while (Folder.Path().size() + Relative.size() < 300) Relative += L"a-rather-long-folder-name\\";
    const std::wstring Sub = Folder.MakeFolder(Relative);
    const std::wstring Path = Sub + L"deep.txt";
    ASSERT_TRUE(WriteTextFile(Path, L"one", 3));
    ASSERT_TRUE(WriteTextFile(Path, L"two", 3));
    auto Files = FolderFiles(Sub);
    ASSERT_EQ(Files.size(), 1u);
    EXPECT_EQ(Files[L"deep.txt"], "\xEF\xBB\xBFtwo");
}

TEST(SafeFileWriter, UnwritableTargetsReportFailure) {
    TempFolder Folder;
    // The folder does not exist.
    EXPECT_FALSE(WriteTextFile(Folder.Path() + L"missing\\a.txt", L"x", 3));
    // The name is a folder.
    const std::wstring Sub = Folder.MakeFolder(L"sub");
    EXPECT_FALSE(WriteTextFile(Sub.substr(0, Sub.size() - 1), L"x", 3));
    EXPECT_TRUE(FileAttributes(Sub) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(FolderFiles(Folder.Path()).empty());
}

}  // namespace

namespace {

// Another program's append, as a log writer makes it: open, write, close.
bool AppendTo(const std::wstring& Path, const std::string& Text) {
    UniqueFile File(CreateFileW(ExtendedPath(Path).c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                nullptr));
    DWORD Written = 0;
    return File && WriteFile(File.Get(), Text.data(), static_cast<DWORD>(Text.size()), &Written, nullptr) &&
           Written == Text.size();
}

}  // namespace

// A file held since it was read, replaced while another program writes to it
// in the moments it is let go (where the system cannot replace an open file):
// at the swap, and again at each round of putting the old file back. Nothing it
// wrote is lost, and the name always holds a whole file.
TEST(SafeFileWriter, AWriteInTheMomentOfTheSwapIsNeverLost) {
    using enum THeldWrite;
    struct Case {
        const char* Name;
        std::set<int> AppendAt;  // at which renames (counted from 1) the other program writes
        bool KeepOpen;           // it keeps the file open through the rename (until a removal)
        THeldWrite Outcome;
        std::map<std::wstring, std::string> Files;
    };
    const std::vector<Case> Cases = {
        {"nobody writes", {}, false, Written, {{L"a.txt", "new"}}},
        {"a write at the swap: swapped back", {2}, false, ChangedDuringWrite, {{L"a.txt", "old+2"}}},
        {"writes at putting back too: carried along", {2, 3, 4}, false, ChangedDuringWrite, {{L"a.txt", "old+2+3+4"}}},
        {"held open through the swap: no swap", {2}, true, NotWritten, {{L"a.txt", "old+2"}}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        TempFolder Folder;
        const std::wstring Path = Folder.WriteFile(L"a.txt", "old");
        UniqueFile Held(CreateFileW(ExtendedPath(Path).c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(Held.Valid());
        TFileStamp Stamp;
        ASSERT_TRUE(FileStampOf(Held.Get(), Stamp));
        int Renames = 0;
        std::vector<int> Appended;
        UniqueFile Other;
        FileSystemCalls::SetCallHook([&](FileSystemCalls::TCallKind Call) {
            if (Call == FileSystemCalls::TCallKind::Delete) Other.Reset();
            if (Call != FileSystemCalls::TCallKind::Move) return;
            const int Number = ++Renames;
            if (!C.AppendAt.count(Number)) return;
            std::string Text(1, '+');
            Text += std::to_string(Number);
            if (C.KeepOpen) {
                Other.Reset(CreateFileW(ExtendedPath(Path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
                DWORD Written = 0;
                if (Other && WriteFile(Other.Get(), Text.data(), static_cast<DWORD>(Text.size()), &Written, nullptr))
                    Appended.push_back(Number);
            } else if (AppendTo(Path, Text)) {
                Appended.push_back(Number);
            }
        });
        const THeldWriteResult Result = ReplaceHeldFile(Path, "new", Held, Stamp);
        FileSystemCalls::SetCallHook(nullptr);
        Other.Reset();
        EXPECT_FALSE(Held.Valid());
        if (Result.Path == TSwapPath::HeldThrough) {
            // The system replaced the held file: no moment for a write at all.
            EXPECT_EQ(Result.Outcome, Written);
            EXPECT_TRUE(Appended.empty());
            EXPECT_EQ(FolderFiles(Folder.Path()), (std::map<std::wstring, std::string>{{L"a.txt", "new"}}));
            continue;
        }
        EXPECT_EQ(Result.Path, TSwapPath::LinkKept);
        EXPECT_EQ(Appended, std::vector<int>(C.AppendAt.begin(), C.AppendAt.end()));
        EXPECT_EQ(Result.Outcome, C.Outcome);
        EXPECT_EQ(FolderFiles(Folder.Path()), C.Files);
    }
}
