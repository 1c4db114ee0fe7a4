// The listings and the diff of a file read in tiny pieces write the same bytes
// as over the file's whole text, in each encoding the program reads.
#include "cli/CliDiff.h"
#include "cli/CliLines.h"
#include "files/TextFileBlocks.h"
#include "files/TextFileReader.h"

#include "RandomText.h"
#include "TempFolder.h"
#include "TextBytes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Everything one file gives: the plain listing with each context, the JSON
// listing, and the diff with each context.
std::string AllOutput(const std::wstring& Path, const TBlockSource& Changes, const TBlockSource& Places,
                      const std::function<TBlockFeed(const TBlockSource&)>& Feed, bool Utf8Mark) {
    std::string Out;
    const auto Write = [&Out](std::string_view Bytes) { Out.append(Bytes).append("|\n"); };
    for (const std::int64_t Context : {-1, 0, 1, 3}) {
        TMatchLister Lister(Context, [&](std::wstring_view Line) { Write(Narrow(Line)); });
        EXPECT_TRUE(Lister.List(Path, Feed(Places)));
        EXPECT_TRUE(Lister.List(Path, Feed(Places)));  // a second file: the separator between files
        EXPECT_TRUE(WriteUnifiedDiff(L"f.txt", Utf8Mark, Feed(Changes), Context < 0 ? 3 : Context, Write));
    }
    EXPECT_TRUE(ListMatchesJson(Path, true, Feed(Changes), Write));
    return Out;
}

class PieceSizeScope {
public:
    explicit PieceSizeScope(size_t Bytes) { SetPieceSizeForTests(Bytes); }
    ~PieceSizeScope() { SetPieceSizeForTests(0); }
};

}  // namespace

TEST(CliListingPieces, SameOutputAsTheWholeText) {
    TempFolder Folder;
    std::mt19937 Random(9011);
    const wchar_t* const Replacements[] = {L"", L"Q", L"\r\n", L"z\nz"};
    int WithChanges = 0;
    for (int Round = 0; Round < 60; ++Round) {
        for (const TFileEncoding& Encoded : FileEncodings()) {
            const std::wstring Text = RandomFileLines(Random, Encoded.Ascii);
            const std::wstring Path = Folder.WriteFile(L"f.txt", Encoded.Bytes(Text));
            const bool CaseSensitive = Random() % 2;
            const TextScanner Scanner(Random() % 3 ? L"ab" : L"b\n", CaseSensitive);
            const std::wstring With = Replacements[Random() % std::size(Replacements)];
            const TBlockSource Changes(Scanner, &With), Places(Scanner, nullptr);
            ASSERT_TRUE(ReadsBlocksInPieces(Encoded.Mode, Scanner) || Encoded.Mode == TEncodingMode::Ansi);
            const TTextFileContent Whole = LoadTextFile(Path, Encoded.Mode, false);
            ASSERT_TRUE(Whole.Read);
            const bool Mark = ListedUtf8Mark(Path, Encoded.Mode);
            const std::string Expected = AllOutput(
                Path, Changes, Places, [&](const TBlockSource& Source) { return TextFeed(Whole.Text, Source); }, Mark);
            WithChanges += Expected.find("@@") != std::string::npos;
            for (const size_t Piece : {4, 7, 64}) {
                PieceSizeScope Scope(Piece);
                EXPECT_EQ(AllOutput(
                              Path, Changes, Places,
                              [&](const TBlockSource& Source) { return FileFeed(Path, Encoded.Mode, Source); }, Mark),
                          Expected)
                    << "round " << Round << ", piece " << Piece << ", text " << HexUnits(Text);
            }
        }
    }
    EXPECT_GT(WithChanges, 100);
}
