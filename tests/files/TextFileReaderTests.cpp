#include "files/TextFileReader.h"

#include "base/UniqueHandle.h"
#include "files/FileCollection.h"
#include "files/LongPath.h"

#include "RandomText.h"
#include "TempFolder.h"
#include "TextBytes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string>

namespace {

// Collects what Scan hands over, keeping a few units each time as a counter
// would, and checks that the kept units come back in front of the next piece.
class TCollectingSink final : public TTextPieceSink {
public:
    explicit TCollectingSink(std::uint32_t Seed) : FRandom(Seed) {}
    void Restart() override {
        Text.clear();
        FKept.clear();
        ++Restarts;
    }
    size_t Take(std::wstring_view Piece, bool Last) override {
        EXPECT_TRUE(Piece.starts_with(FKept));
        EXPECT_FALSE(Ended);
        Text.append(Piece.substr(FKept.size()));
        Ended = Last;
        const size_t Keep = Last ? 0 : std::min<size_t>(Piece.size(), FRandom() % 5);
        FKept = Piece.substr(Piece.size() - Keep);
        return Keep;
    }
    std::wstring Text;
    int Restarts = 0;
    bool Ended = false;

private:
    std::mt19937 FRandom;
    std::wstring FKept;
};

std::string B(const char* Bytes, size_t Length) { return std::string(Bytes, Length); }

// LoadTextFile must give what the two-step way gives, in every mode.
void ExpectLoadAgrees(const std::wstring& Path, const std::string& Label) {
    for (std::int32_t Mode : {-1, 0, 1, 2, 3, 4, 7}) {
        SCOPED_TRACE(Label + ", mode " + std::to_string(Mode));
        std::int32_t Resolved = ResolveEncodingMode(Mode, Path);
        for (bool KeepBytes : {false, true}) {
            TTextFileContent Content = LoadTextFile(Path, EncodingModeFromStored(Mode), KeepBytes);
            EXPECT_EQ(StoredEncodingMode(Content.Mode), Resolved);
            EXPECT_EQ(Content.UnsupportedMark, Mode == emAuto && Resolved == emAuto);
            if (Resolved >= 1 && Resolved <= 3) {
                EXPECT_EQ(Content.Text, ReadTextFile(Path, Resolved));
                if (!Content.Read) {
                    EXPECT_TRUE(Content.Text.empty());
                }
            } else {
                EXPECT_FALSE(Content.Read);
                EXPECT_TRUE(Content.Text.empty());
            }
            if (!KeepBytes || !Content.Read) {
                EXPECT_TRUE(Content.Bytes.empty());
            }
        }
    }
}

struct TMarkCase {
    const char* Name;
    std::string Bytes;
    std::int32_t Bom;
    std::int32_t AutoMode;
    std::wstring AutoText;  // read in the automatic mode's encoding (when it has one)
};

}  // namespace

TEST(TextFileReader, MarksDecideTheModeAndAreSkippedOnlyForTheirOwnEncoding) {
    const std::string Utf8Word = "h\xC3\xA9";
    const TMarkCase Cases[] = {
        {"empty", "", bomNone, emAnsi, L""},
        {"utf8 mark alone", "\xEF\xBB\xBF", bomUtf8, emUtf8, L""},
        {"utf8 with mark", "\xEF\xBB\xBF" + Utf8Word, bomUtf8, emUtf8, L"h\u00E9"},
        // Without a mark, valid UTF-8 with a multi-byte sequence is UTF-8; plain
        // ASCII and bytes that are not UTF-8 stay ANSI.
        {"utf8 without mark", Utf8Word, bomNone, emUtf8, L"h\u00E9"},
        {"utf8 without mark, four-byte sequence", "x\xF0\x9F\x98\x80", bomNone, emUtf8, L"x\U0001F600"},
        {"ascii without mark", "plain", bomNone, emAnsi, L"plain"},
        {"invalid utf8 without mark", "ok \xC3(", bomNone, emAnsi, AnsiText("ok \xC3(")},
        {"utf8 cut short at the end", Utf8Word + "\xC3", bomNone, emAnsi, AnsiText(Utf8Word + "\xC3")},
        {"overlong utf8", "\xC0\xAF", bomNone, emAnsi, AnsiText("\xC0\xAF")},
        {"utf8-encoded surrogate", "\xED\xA0\x80", bomNone, emAnsi, AnsiText("\xED\xA0\x80")},
        {"utf16 mark alone", "\xFF\xFE", bomUtf16LE, emUtf16LE, L""},
        {"utf16 with mark", B("\xFF\xFE" "A\0\xE5\0", 6), bomUtf16LE, emUtf16LE, L"A\u00E5"},
        {"utf16 mark and odd byte", B("\xFF\xFE\0", 3), bomUtf16LE, emUtf16LE, L""},
        {"utf32 LE mark (or UTF-16 starting with U+0000)", B("\xFF\xFE\0\0", 4), bomUtf32LE, emAuto, L""},
        {"utf32 BE mark", B("\0\0\xFE\xFF", 4), bomUtf32BE, emAuto, L""},
        {"utf16 BE mark", B("\xFE\xFF\0A", 4), bomUtf16BE, emAuto, L""},
        {"half a utf8 mark", "\xEF\xBB", bomNone, emAnsi, AnsiText("\xEF\xBB")},
        {"one byte", "\xFE", bomNone, emAnsi, AnsiText("\xFE")},
        {"nul and line breaks", B("a\0\r\nb\n", 6), bomNone, emAnsi, std::wstring(L"a\0\r\nb\n", 6)},
    };
    TempFolder Folder;
    for (const TMarkCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        std::wstring Path = Folder.WriteFile(Wide(Case.Name) + L".txt", Case.Bytes);
        EXPECT_EQ(DetectBom(Path), Case.Bom);
        EXPECT_EQ(HasBomUtf32BE(Path), Case.Bom == bomUtf32BE);
        EXPECT_EQ(HasBomUtf32LE(Path), Case.Bom == bomUtf32LE);
        EXPECT_EQ(HasBomUtf8(Path), Case.Bom == bomUtf8);
        EXPECT_EQ(HasBomUtf16BE(Path), Case.Bom == bomUtf16BE);
        // FF FE 00 00 answers both little-endian probes; the UTF-32 one comes first.
        EXPECT_EQ(HasBomUtf16LE(Path), Case.Bom == bomUtf16LE || Case.Bom == bomUtf32LE);
        EXPECT_EQ(ResolveEncodingMode(emAuto, Path), Case.AutoMode);
        if (Case.AutoMode != emAuto) {
            EXPECT_EQ(ReadTextFile(Path, Case.AutoMode), Case.AutoText);
        }
        // Explicit modes are taken as they are, unsupported marks or not.
        for (std::int32_t Mode : {emAnsi, emUtf16LE, emUtf8, 9}) EXPECT_EQ(ResolveEncodingMode(Mode, Path), Mode);
        ExpectLoadAgrees(Path, Case.Name);
    }
}

TEST(TextFileReader, ExplicitModesDecodeOtherMarksAsOrdinaryBytes) {
    TempFolder Folder;
    std::string Utf8WithMark = "\xEF\xBB\xBFh\xC3\xA9";
    std::wstring Utf8File = Folder.WriteFile(L"utf8.txt", Utf8WithMark);
    std::wstring Utf16BEFile = Folder.WriteFile(L"be.txt", B("\xFE\xFF\0A", 4));
    std::wstring Utf32File = Folder.WriteFile(L"le32.txt", B("\xFF\xFE\0\0" "A\0", 6));
    std::wstring Utf16File = Folder.WriteFile(L"le16.txt", B("\xFF\xFE" "A\0", 4));
    std::wstring Invalid = Folder.WriteFile(L"invalid.txt", "ok \xC3(");
    struct {
        const std::wstring& Path;
        std::int32_t Encoding;
        std::wstring Text;
    } Cases[] = {
        // The UTF-8 mark is kept in ANSI mode (as the code page maps it) and read as
        // UTF-16 code units in UTF-16 mode.
        {Utf8File, emAnsi, GetACP() == CP_UTF8 ? L"h\u00E9" : AnsiText(Utf8WithMark)},
        {Utf8File, emUtf16LE, L"\uBBEF\u68BF\uA9C3"},
        {Utf8File, emUtf8, L"h\u00E9"},
        {Utf8File, 0, L"h\u00E9"},  // no encoding given: UTF-8
        {Utf16BEFile, emUtf16LE, L"\uFFFE\u4100"},
        {Utf32File, emUtf16LE, std::wstring(L"\0A", 2)},
        {Utf16File, emUtf8, L""},  // FF is never valid UTF-8
        {Invalid, emUtf8, L""},
        {Invalid, emAnsi, AnsiText("ok \xC3(")},
        {Folder.Path() + L"missing.txt", emAnsi, L""},
        {Folder.Path(), emAnsi, L""},  // a folder is no file
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(testing::PrintToString(Case.Path) + " as " + std::to_string(Case.Encoding));
        EXPECT_EQ(ReadTextFile(Case.Path, Case.Encoding), Case.Text);
        ExpectLoadAgrees(Case.Path, "explicit");
    }
    EXPECT_EQ(DetectBom(Folder.Path() + L"missing.txt"), bomNone);
    EXPECT_EQ(ResolveEncodingMode(emAuto, Folder.Path() + L"missing.txt"), emAnsi);
}

TEST(TextFileReader, KeptBytesAreTheFileAfterTheSkippedMark) {
    TempFolder Folder;
    struct {
        const char* Name;
        std::string Bytes;
        TEncodingMode Mode;
        std::string Kept;
    } Cases[] = {
        {"u8.txt", "\xEF\xBB\xBFxy", TEncodingMode::Auto, "xy"},
        {"u16.txt", B("\xFF\xFE" "x\0y", 5), TEncodingMode::Auto, B("x\0y", 3)},
        {"u16b.txt", B("\xFF\xFE" "x\0", 4), TEncodingMode::Utf16LE, B("x\0", 2)},
        {"ansi.txt", "\xEF\xBB\xBFxy", TEncodingMode::Ansi, GetACP() == CP_UTF8 ? "xy" : "\xEF\xBB\xBFxy"},
        {"plain.txt", "plain", TEncodingMode::Auto, "plain"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TTextFileContent Content = LoadTextFile(Folder.WriteFile(Wide(Case.Name), Case.Bytes), Case.Mode, true);
        EXPECT_TRUE(Content.Read);
        EXPECT_EQ(Content.Bytes, Case.Kept);
    }
}

TEST(TextFileReader, OddFinalByteOfUtf16IsDroppedWhereverItFalls) {
    TempFolder Folder;
    // Mark plus 2047 code units fill the first 4096 bytes exactly; the odd byte is
    // alone in the next block.
    for (size_t Units : {2047u, 2046u, 5000u}) {
        std::string Bytes = "\xFF\xFE";
        for (size_t I = 0; I < Units; ++I) Bytes += B("A\0", 2);
        Bytes += 'X';
        std::wstring Path = Folder.WriteFile(L"odd" + std::to_wstring(Units) + L".txt", Bytes);
        SCOPED_TRACE(Units);
        EXPECT_EQ(ReadTextFile(Path, emUtf16LE), std::wstring(Units, L'A'));
        TTextFileContent Content = LoadTextFile(Path, TEncodingMode::Auto, true);
        EXPECT_EQ(Content.Mode, TEncodingMode::Utf16LE);
        EXPECT_EQ(Content.Text, std::wstring(Units, L'A'));
        EXPECT_EQ(Content.Bytes, Bytes.substr(2));
    }
}

TEST(TextFileReader, LargeFilesReadWholeWithCharactersAcrossBlocks) {
    TempFolder Folder;
    std::string Utf8 = "\xEF\xBB\xBF";
    std::wstring Expected;
    for (int I = 0; I < 30000; ++I) {
        Utf8 += I % 7 ? "a" : "\xE2\x82\xAC";  // three-byte characters land on every offset
        Expected += I % 7 ? L'a' : L'\u20AC';
    }
    std::wstring Path = Folder.WriteFile(L"big.txt", Utf8);
    EXPECT_EQ(ReadTextFile(Path, emUtf8), Expected);
    EXPECT_EQ(LoadTextFile(Path, TEncodingMode::Auto, false).Text, Expected);
    // One invalid byte at the very end spoils the whole read.
    std::wstring Spoilt = Folder.WriteFile(L"spoilt.txt", Utf8 + "\xFF");
    EXPECT_EQ(ReadTextFile(Spoilt, emUtf8), L"");
    TTextFileContent Content = LoadTextFile(Spoilt, TEncodingMode::Auto, true);
    EXPECT_EQ(Content.Mode, TEncodingMode::Utf8);
    EXPECT_FALSE(Content.Read);
    EXPECT_TRUE(Content.Text.empty());
}

// The probe functions cannot see the mark of a file another program has open and
// name it ANSI; the workers' reading takes the mark from the bytes it reads with
// read sharing, so a UTF-8 file in use is still read as UTF-8.
TEST(TextFileReader, FileHeldOpenElsewhereKeepsItsMarkWhenItCanBeRead) {
    TempFolder Folder;
    std::string Bytes = "\xEF\xBB\xBFheld";
    std::wstring Path = Folder.WriteFile(L"held.txt", Bytes);
    std::wstring AsAnsi = GetACP() == CP_UTF8 ? L"held" : AnsiText(Bytes);
    struct {
        const char* Holder;
        DWORD Access;
        DWORD Share;
        std::wstring Text;  // what the read-sharing read gets
    } Cases[] = {
        {"reader sharing reads", GENERIC_READ, FILE_SHARE_READ, AsAnsi},
        {"reader sharing everything", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, AsAnsi},
        {"writer sharing reads", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, L""},
        {"reader sharing nothing", GENERIC_READ, 0, L""},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Holder);
        UniqueFile Holder(CreateFileW(ExtendedPath(Path).c_str(), Case.Access, Case.Share, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(Holder) << GetLastError();
        EXPECT_EQ(DetectBom(Path), bomNone);
        EXPECT_FALSE(HasBomUtf8(Path));
        EXPECT_EQ(ResolveEncodingMode(emAuto, Path), emAnsi);
        EXPECT_EQ(ReadTextFile(Path, emAnsi), Case.Text);
        TTextFileContent Content = LoadTextFile(Path, TEncodingMode::Auto, false);
        // The workers' reading shares the file with anyone who lets it read.
        const bool Readable = (Case.Share & FILE_SHARE_READ) != 0;
        EXPECT_EQ(Content.Mode, Readable ? TEncodingMode::Utf8 : TEncodingMode::Ansi);
        EXPECT_EQ(Content.Read, Readable);
        EXPECT_EQ(Content.Unreadable, !Readable);
        EXPECT_EQ(Content.Text, Readable ? L"held" : L"");
        // Apply's exclusive open finds it in use and reads nothing.
        TTextFileContent ForApply = LoadTextFile(Path, TEncodingMode::Auto, true, TLoadAccess::Exclusive);
        EXPECT_TRUE(ForApply.InUse);
        EXPECT_FALSE(ForApply.Read);
        EXPECT_FALSE(ForApply.Held.Valid());
    }
    // Once nobody holds it, the mark counts again.
    EXPECT_EQ(ResolveEncodingMode(emAuto, Path), emUtf8);
    EXPECT_EQ(LoadTextFile(Path, TEncodingMode::Auto, false).Text, L"held");
}

// Reserved device names, a trailing dot or blank and a path beyond MAX_PATH are
// ordinary files: collected, probed and read like any other.
TEST(TextFileReader, EveryNameReachesTheRealFile) {
    TempFolder Folder;
    std::wstring Deep;
    for (int I = 0; I < 5; ++I) Deep += std::wstring(60, static_cast<wchar_t>(L'a' + I)) + L"\\";
    const std::wstring Names[] = {L"aux.c", L"con.txt", L"nul.txt", L"prn.txt", L"trail.", L"blank ",
                                  Deep + L"deep.txt"};
    for (const std::wstring& Name : Names) Folder.WriteFile(Name, "\xEF\xBB\xBF" + std::string("text of it"));
    ASSERT_GT((Folder.Path() + Deep + L"deep.txt").size(), 300u);

    TStringArray Files = CollectFiles(Folder.Path(), L"*", true, false, false, false);
    SortFileList(Files, false);
    TStringArray Expected;
    for (const std::wstring& Name : Names) Expected.push_back(Folder.Path() + Name);
    SortFileList(Expected, false);
    EXPECT_EQ(Files, Expected);
    for (const std::wstring& File : Files) {
        SCOPED_TRACE(testing::PrintToString(File));
        EXPECT_EQ(DetectBom(File), bomUtf8);
        EXPECT_EQ(ReadTextFile(File, emUtf8), L"text of it");
        TTextFileContent Content = LoadTextFile(File, TEncodingMode::Auto, false);
        EXPECT_EQ(Content.Mode, TEncodingMode::Utf8);
        EXPECT_EQ(Content.Text, L"text of it");
    }
}

// Scan reads in pieces what Read reads whole: for files with and without marks,
// UTF-8 sequences and UTF-16 units split by piece ends, ANSI bytes that are not
// UTF-8 (early, or only in the last piece), truncated sequences and odd final
// bytes, in every mode and with pieces of 1 to 17 bytes, Scan gives Read's
// outcome and hands over exactly Read's text.
TEST(TextFileReader, ScanInPiecesGivesWhatReadGives) {
    RandomText Random(8123);
    std::vector<std::string> Files = {
        "", "a", "\xEF\xBB\xBF", "\xEF\xBB", "\xFF\xFE", B("\xFF\xFE\0", 3), B("\xFF\xFE\0\0", 4),
        B("\xFE\xFF\0A", 4), "x\xF0\x9F\x98\x80", "ok \xC3(", "h\xC3\xA9\xC3", "\xEF\xBB\xBFh\xC3\xA9",
    };
    for (int Round = 0; Round < 12; ++Round) {
        const std::wstring Text = Random.Text(40);
        const std::string Utf8 = Narrow(Text);
        std::string Utf16 = Utf16WithBom(Text);
        Files.push_back(Utf8);
        Files.push_back(Utf8Bom + Utf8);
        Files.push_back(Utf16);
        Files.push_back(Utf16.substr(2) + (Round % 2 ? "\x41" : ""));
        // A byte that is no UTF-8 somewhere, at the end too: a file ANSI without a
        // mark, invalid in UTF-8 mode.
        std::string Ansi = Utf8;
        Ansi.insert(Round % 3 == 0 ? Ansi.size() : Random.Below(Ansi.size() + 1), 1, '\xE9');
        Files.push_back(Ansi);
        Files.push_back(Utf8Bom + Ansi);
    }
    TempFolder Folder;
    TTextFileReader Whole, Pieces;
    for (size_t F = 0; F < Files.size(); ++F) {
        const std::wstring Path = Folder.WriteFile(L"f" + std::to_wstring(F) + L".txt", Files[F]);
        for (const TEncodingMode Mode :
             {TEncodingMode::Auto, TEncodingMode::Ansi, TEncodingMode::Utf16LE, TEncodingMode::Utf8}) {
            const TTextFileReader::TResult Expected = Whole.Read(Path, Mode);
            const std::wstring ExpectedText(Expected.Text);
            for (size_t Size = 1; Size <= 18; ++Size) {
                SCOPED_TRACE(testing::Message() << "file " << F << " (" << HexBytes(Files[F]) << "), mode "
                                                << StoredEncodingMode(Mode) << ", piece " << Size);
                SetPieceSizeForTests(Size == 18 ? 0 : Size);
                TCollectingSink Sink(static_cast<std::uint32_t>(F * 100 + Size));
                const TTextFileReader::TResult Got = Pieces.Scan(Path, Mode, Sink);
                EXPECT_EQ(Got.Mode, Expected.Mode);
                EXPECT_EQ(Got.Read, Expected.Read);
                EXPECT_EQ(Got.Invalid, Expected.Invalid);
                EXPECT_EQ(Got.UnsupportedMark, Expected.UnsupportedMark);
                EXPECT_FALSE(Got.Unreadable);
                if (Expected.Read) {
                    EXPECT_TRUE(Sink.Ended);
                    EXPECT_EQ(Sink.Text, ExpectedText);
                }
            }
        }
    }
    SetPieceSizeForTests(0);
}

// A file that cannot be opened is unreadable to Scan as to Read, and the
// memory Scan asks to be admitted is that of a piece, whatever the file's size.
TEST(TextFileReader, ScanAsksForAPieceOfMemory) {
    TempFolder Folder;
    const std::wstring Path = Folder.WriteFile(L"big.txt", std::string(1 << 20, 'x'));
    TTextFileReader Reader;
    TCollectingSink Sink(1);
    std::uint64_t Asked = 0;
    SetPieceSizeForTests(4096);
    const std::uint64_t Piece = TTextFileReader::PieceMemory();
    const TTextFileReader::TResult Got =
        Reader.Scan(Path, TEncodingMode::Utf8, Sink, [&Asked](std::uint64_t Bytes) { return Asked += Bytes, true; });
    SetPieceSizeForTests(0);
    EXPECT_TRUE(Got.Read);
    EXPECT_EQ(Sink.Text, std::wstring(1 << 20, L'x'));
    EXPECT_EQ(Asked, Piece);
    EXPECT_LT(Asked, 4 * 4096u);
    const TTextFileReader::TResult Missing = Reader.Scan(Folder.Path() + L"none.txt", TEncodingMode::Auto, Sink);
    EXPECT_TRUE(Missing.Unreadable);
    EXPECT_EQ(Missing.Mode, TEncodingMode::Ansi);
}
