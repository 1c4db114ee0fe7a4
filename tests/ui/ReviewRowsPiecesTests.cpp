// The review's rows of a file read in tiny pieces are those of its whole text,
// in each encoding the program reads.
#include "ui/Review.h"

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

std::vector<std::wstring> Shown(const std::vector<TChangeRow>& Rows) {
    std::vector<std::wstring> Lines;
    for (const TChangeRow& Row : Rows)
        Lines.push_back(std::to_wstring(Row.Line) + L"/" + std::to_wstring(static_cast<int>(Row.Kind)) + L" " +
                        Row.Text);
    return Lines;
}

}  // namespace

TEST(ReviewRows, PiecesGiveTheWholeTextsRows) {
    TempFolder Folder;
    std::mt19937 Random(4721);
    const wchar_t* const Replacements[] = {L"", L"Q", L"\r\n"};
    int WithGaps = 0;
    for (int Round = 0; Round < 60; ++Round) {
        for (const TFileEncoding& Encoded : FileEncodings()) {
            const std::wstring Text = RandomFileLines(Random, Encoded.Ascii);
            const std::wstring Path = Folder.WriteFile(L"f.txt", Encoded.Bytes(Text));
            const TextScanner Scanner(L"ab", Random() % 2 == 0);
            const std::wstring With = Replacements[Random() % std::size(Replacements)];
            const TTextFileContent Whole = LoadTextFile(Path, Encoded.Mode, false);
            ASSERT_TRUE(Whole.Read);
            std::vector<TChangeRow> Expected;
            TChangeRowBuilder WholeRows(Expected);
            ForEachBlockEvent(
                Whole.Text, TLineBreaks::Any, true,
                [&](const TBlockTake& Take) { ForEachMatchBlock(Whole.Text, Scanner, &With, TLineBreaks::Any, Take); },
                WholeRows);
            WholeRows.Finish();
            for (const TChangeRow& Row : Expected) WithGaps += Row.Kind == TChangeRowKind::Gap;
            for (const size_t Piece : {4, 9}) {
                SetPieceSizeForTests(Piece);
                std::vector<TChangeRow> Rows;
                TChangeRowBuilder PieceRows(Rows);
                const bool Read = ReadFileBlocks(Path, Encoded.Mode, Scanner, &With, TLineBreaks::Any, true, PieceRows);
                SetPieceSizeForTests(0);
                ASSERT_TRUE(Read);
                PieceRows.Finish();
                EXPECT_EQ(Shown(Rows), Shown(Expected)) << "round " << Round << ", piece " << Piece;
            }
        }
    }
    EXPECT_GT(WithGaps, 50);
}

// A replacement's line breaks are written as the file's own: the marks stand
// around the new text as written, however long it came out.
TEST(ReviewRows, MarksTheNewTextAsWritten) {
    TempFolder Folder;
    const std::wstring Path = Folder.WriteFile(L"f.txt", "x ab y ab\nz\n");
    const TextScanner Scanner(L"ab", true);
    const std::wstring With = L"1\r\n2";
    std::vector<TChangeRow> Rows;
    TChangeRowBuilder Builder(Rows);
    ASSERT_TRUE(ReadFileBlocks(Path, TEncodingMode::Utf8, Scanner, &With, TLineBreaks::Any, true, Builder));
    Builder.Finish();
    EXPECT_EQ(Shown(Rows), (std::vector<std::wstring>{L"1/1 x \x00AB" L"ab\x00BB y \x00AB" L"ab\x00BB",
                                                      L"1/2 x \x00AB" L"1", L"2/2 2\x00BB y \x00AB" L"1",
                                                      L"3/2 2\x00BB", L"2/0 z"}));
}
