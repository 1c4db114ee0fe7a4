// Apply over files read and written in pieces (made tiny here): the bytes it
// writes are those of the whole text replaced and encoded, in every encoding; a
// file that fails a rule only in its last piece is left as it was, with no
// temporary file; an undo brings every byte back.
#include "workers/WorkThreadApply.h"
#include "workers/WorkThreadUndo.h"

#include "RandomText.h"
#include "TempFolder.h"
#include "TextBytes.h"
#include "UndoJournalScope.h"
#include "base/TextMatching.h"
#include "files/SafeFileWriter.h"
#include "files/TextFileReader.h"
#include "files/UndoJournal.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

struct TPiecesRun {
    std::int32_t Changed = -1, Skipped = -1;
    std::map<std::wstring, TApplyFileOutcome> Files;  // by name
};

TPiecesRun ApplyWithPieces(size_t PieceSize, const std::wstring& Folder, const std::wstring& Find,
                           const std::wstring& Replace, bool CaseSensitive, TEncodingMode Mode) {
    SetPieceSizeForTests(PieceSize);
    TPiecesRun Run;
    TWorkThreadApply Worker(Folder, false, L"*", Find, Replace, CaseSensitive, Mode);
    Worker.OnApplyFile = [&](std::wstring FileName, std::int32_t, TEncodingMode, TApplyFileOutcome Outcome) {
        Run.Files[FileName.substr(Folder.size())] = Outcome;
    };
    Worker.OnApplyReturnValues = [&](std::int32_t Changed, std::int32_t, std::int32_t Skipped) {
        Run.Changed = Changed;
        Run.Skipped = Skipped;
    };
    Worker.Start();
    Worker.WaitFor();
    SetPieceSizeForTests(0);
    return Run;
}

// A file of the test: its text, mode and bytes, and what Apply must leave in it,
// worked out on the whole text.
struct TTextFile {
    std::wstring Name;
    TEncodingMode Mode;
    std::string Mark;
    std::wstring Text;
    std::string Bytes() const {
        std::string Body;
        EXPECT_TRUE(EncodeText(Text, Mode, Body));
        return Mark + Body;
    }
    std::string After(const TextScanner& Scanner, std::wstring_view With) const {
        const std::wstring New = ReplaceAll(Text, Scanner, With);
        std::string Body;
        if (CountMatches(Text, Scanner) == 0 || New == Text || !EncodeText(New, Mode, Body)) return Bytes();
        return Mark + Body;
    }
};

// ANSI text (code page 1252): letters in both cases, an accented pair, line breaks.
std::wstring AnsiRandomText(RandomText& Random) {
    static const char Bytes[] = "aAeEsSiIx \r\n\xE9\xC9\xE4\xC4";
    std::string Text;
    for (size_t N = Random.Below(60); N > 0; --N) Text += Bytes[Random.Below(sizeof Bytes - 1)];
    return AnsiText(Text);
}

}  // namespace

// Random texts in UTF-16 LE (lone surrogates and all), UTF-8 with and without a
// mark and ANSI, pieces of 1 to 17 bytes: every piece boundary falls inside a
// UTF-8 sequence, a surrogate pair, a CR LF and an occurrence somewhere, and the
// bytes written are the whole text's, case-sensitive or not.
TEST(ApplyPieces, TinyPiecesWriteWhatTheWholeTextGives) {
    TUndoJournalScope Journal;
    const wchar_t* const Replacements[] = {L"", L"Z", L"\U0001F600-", L"r\r\ns", L"\u00E9"};
    RandomText Random(9061);
    int Changed = 0;
    for (int Round = 0; Round < 10; ++Round) {
        const std::wstring Text = Random.Text(40);
        const std::wstring Ansi = AnsiRandomText(Random);
        const std::wstring Needle = Random.Below(2) ? Random.Needle(Text) : Random.Needle(Ansi);
        const std::wstring With = Replacements[Random.Below(std::size(Replacements))];
        std::vector<TTextFile> Files;
        // Each text as it came, and with the text to find inside.
        for (const std::wstring& Unicode : {Text, Random.Text(20) + Needle + Random.Text(20)}) {
            const std::wstring Number = std::to_wstring(Files.size());
            // UTF-8 holds no lone surrogate: such a unit reads back as U+FFFD.
            const std::wstring Valid = Wide(Narrow(Unicode));
            Files.push_back({L"a-utf16-" + Number + L".txt", TEncodingMode::Utf16LE, "\xFF\xFE", Unicode});
            Files.push_back({L"b-utf8-mark-" + Number + L".txt", TEncodingMode::Utf8, "\xEF\xBB\xBF", Valid});
            Files.push_back({L"c-utf8-" + Number + L".txt", TEncodingMode::Utf8, "", Valid + L"\u00E4"});
        }
        // An ANSI text starts with a byte that no UTF-8 sequence holds, so that
        // the automatic choice reads it as ANSI whatever follows.
        std::string NeedleBytes;
        const std::wstring Inside = EncodeText(Needle, TEncodingMode::Ansi, NeedleBytes) ? Needle : L"";
        for (const std::wstring& Text1252 : {Ansi, AnsiRandomText(Random) + Inside + Ansi})
            Files.push_back({L"d-ansi-" + std::to_wstring(Files.size()) + L".txt", TEncodingMode::Ansi, "",
                             L"\u00E9 " + Text1252});
        for (const bool CaseSensitive : {true, false}) {
            const TextScanner Scanner(Needle, CaseSensitive);
            for (const size_t Size : {1, 2, 3, 5, 11, 0}) {
                SCOPED_TRACE(testing::Message() << "round " << Round << ", case " << CaseSensitive << ", piece "
                                                << Size << ", find " << HexUnits(Needle));
                TempFolder Folder;
                for (const TTextFile& File : Files) Folder.WriteFile(File.Name, File.Bytes());
                ApplyWithPieces(Size, Folder.Path(), Needle, With, CaseSensitive, TEncodingMode::Auto);
                for (const TTextFile& File : Files) {
                    const std::string After = File.After(Scanner, With);
                    Changed += After != File.Bytes();
                    EXPECT_EQ(HexBytes(ReadFileBytes(Folder.Path() + File.Name).Bytes), HexBytes(After))
                        << Narrow(File.Name);
                }
                EXPECT_EQ(FolderFiles(Folder.Path()).size(), Files.size());
            }
        }
    }
    EXPECT_GT(Changed, 100);
}

// A file that fails a rule only in its last piece, once much of its new content
// is written: the temporary file goes, the file keeps every byte, nothing is
// journalled, and the run says why.
TEST(ApplyPieces, AFileFailingInItsLastPieceIsLeftUntouched) {
    TUndoJournalScope Journal;
    const std::string Filler(300, 'x');
    struct TCase {
        const char* Name;
        std::string Bytes;
        TEncodingMode Mode;
        const wchar_t* Replace;
        TApplyFileOutcome Outcome;
    } Cases[] = {
        // The only occurrence, at the end, becomes a character code page 1252 lacks.
        {"cannot encode", "begin " + Filler + " needle", TEncodingMode::Ansi, L"\u2603", TApplyFileOutcome::CannotEncode},
        // An odd last byte forms no code unit: the bytes would not come back.
        {"odd byte", Utf16WithBom(L"needle " + Wide(Filler)) + "!", TEncodingMode::Auto, L"pin",
         TApplyFileOutcome::NotRoundTrip},
        // UTF-8 bytes at the very end of a file read as ANSI, and a replacement beyond ASCII.
        {"two encodings", "needle " + Filler + "\xC3\xA9", TEncodingMode::Ansi, L"\u00E9",
         TApplyFileOutcome::MixedEncoding},
    };
    for (const TCase& Case : Cases) {
        for (const size_t Size : {4, 64}) {
            SCOPED_TRACE(testing::Message() << Case.Name << ", piece " << Size);
            TempFolder Folder;
            const std::wstring Path = Folder.WriteFile(L"a.txt", Case.Bytes);
            const TPiecesRun Run = ApplyWithPieces(Size, Folder.Path(), L"needle", Case.Replace, true, Case.Mode);
            EXPECT_EQ(Run.Changed, 0);
            EXPECT_EQ(Run.Skipped, 1);
            EXPECT_EQ(Run.Files, (std::map<std::wstring, TApplyFileOutcome>{{L"a.txt", Case.Outcome}}));
            EXPECT_EQ(FolderFiles(Folder.Path()), (std::map<std::wstring, std::string>{{L"a.txt", Case.Bytes}}));
            EXPECT_FALSE(UndoJournalHasRun());
        }
    }
}

// The journal takes the old bytes from the file in pieces: an undo puts every
// byte of every encoding back.
TEST(ApplyPieces, UndoBringsEveryByteBack) {
    TUndoJournalScope Journal;
    TempFolder Folder;
    const std::wstring Text = L"n\u00E4\U0001F600dle needle\r\nNEEDLE " + std::wstring(200, L'y') + L" needle";
    const std::map<std::wstring, std::string> Before = {
        {L"a.txt", Utf16WithBom(Text)},
        {L"b.txt", "\xEF\xBB\xBF" + Narrow(Text)},
        {L"c.txt", Narrow(Text)},
        {L"d.txt", "caf\xE9 needle " + std::string(200, 'z') + " needle"},
    };
    for (const auto& [Name, Bytes] : Before) Folder.WriteFile(Name, Bytes);
    const TPiecesRun Run = ApplyWithPieces(5, Folder.Path(), L"needle", L"pin\U0001F600", false, TEncodingMode::Auto);
    EXPECT_EQ(Run.Changed, 3);  // the ANSI file cannot hold the new text
    EXPECT_EQ(Run.Files.at(L"d.txt"), TApplyFileOutcome::CannotEncode);
    EXPECT_EQ(ReadFileBytes(Folder.Path() + L"c.txt").Bytes,
              Narrow(L"n\u00E4\U0001F600dle pin\U0001F600\r\npin\U0001F600 " + std::wstring(200, L'y') +
                     L" pin\U0001F600"));
    TUndoRun Newest;
    ASSERT_TRUE(NewestUndoRun(Newest));
    std::int32_t Restored = -1;
    TWorkThreadUndo Undo(Newest.Path);
    Undo.OnUndoReturnValues = [&](std::int32_t Count, std::int32_t, std::int32_t, TUndoEnd) { Restored = Count; };
    Undo.Start();
    Undo.WaitFor();
    EXPECT_EQ(Restored, 3);
    EXPECT_EQ(FolderFiles(Folder.Path()), Before);
}
