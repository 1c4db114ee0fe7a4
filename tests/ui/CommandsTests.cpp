// The Search and Apply commands driven through the real window: input checks and
// their messages in both languages, the questions, the running state, the worker
// handlers, the result messages, and closing the window during a run.
#include "CommandsTestSupport.h"

#include "platform/Messages.h"
#include "ui/Application.h"
#include "ui/ImageControl.h"
#include "ui/WindowHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The program's texts, written out here so that a wrong word in the program shows.
struct TTexts {
    bool Swedish;
    const char* Folder;
    const char* Filters;
    const char* Ansi;
    const char* TextToFind;
    const char* Same;
    const char* ConfirmCaption;
    const char* ConfirmText;
    const char* WarningCaption;
    const char* WarningText;
    const char* NoneMatched;
    const char* NoneChanged;
    const char* EmptyLabel;
    const char* FilesWord;
    const char* FilterPath;
};

const TTexts Languages[] = {
    {true, "Ange en existerande mapp.", "Ange ett eller flera filter.",
     "Programmet arbetar i ANSI-läge och hanterar därför inte Unicode-tecken. Växla läge med [F8].",
     "Ange en text att hitta.",
     "Text att hitta och ersätt med kan inte ha samma värde när skiftlägeskänsligt är på.", "Bekräfta", "Fortsätta?",
     "Varning",
     "Ersätt med är tomt vilket innebär att text att hitta kommer raderas. Klicka på OK för att fortsätta ändå.",
     "Inga filer matchades.", "Inga filer ändrades.", "Filer: (0 | #)", "Filer: (",
     "Filter får inte innehålla sökvägar: "},
    {false, "Specify an existing folder.", "Specify one or more filter(s).",
     "The program works in ANSI mode and thus can not handle Unicode characters. Switch mode with [F8].",
     "Specify a text to find.", "Text to find and replace with cannot be the same when case sensitive is checked.",
     "Confirm", "Continue?", "Warning",
     "Replace with is empty. All occurences of text to find will be deleted. Click OK to continue anyway.",
     "No files were matched.", "No files were changed.", "Files: (0 | #)", "Files: (",
     "A filter cannot hold a path: "},
};

void PrintTo(const TTexts& Texts, std::ostream* Stream) { *Stream << (Texts.Swedish ? "Swedish" : "English"); }

std::string LanguageName(const testing::TestParamInfo<TTexts>& Info) {
    return Info.param.Swedish ? "Swedish" : "English";
}

class CommandsInLanguage : public testing::TestWithParam<TTexts>, protected TCommandWindowTest {
protected:
    // The window before a command that must not change it: a listed row, a label
    // with counts, texts in both boxes.
    void MarkState() {
        Form->ClearFileList();
        Form->AppendFileItem(L"keep.txt", L"7");
        Form->SetLabelCaption(Form->lblFiles, L"marker");
    }
    void ExpectStateKept(const std::wstring& TextToFind, const std::wstring& ReplaceWith) {
        EXPECT_EQ(Rows(), std::vector<std::wstring>{L"keep.txt|7"});
        EXPECT_EQ(TextOf(Form->lblFiles), L"marker");
        EXPECT_EQ(TextOf(Form->txtTextToFind), TextToFind);
        EXPECT_EQ(TextOf(Form->txtReplaceWith), ReplaceWith);
        EXPECT_EQ(Form->Caption(), ApplicationTitle());
        EXPECT_FALSE(MainState.WorkInProgress);
        EXPECT_TRUE(IsWindowEnabled(Form->btnSearch));
    }

    LocaleScope FLanguage{LanguageLocale(GetParam().Swedish)};
};

enum class TOutcome { Folder, Filters, FilterPath, Ansi, TextToFind, Same, Question, SearchRuns };

struct TInputCase {
    const char* Name;
    bool Apply;
    const char* Folder;  // "<fixture>" (no trailing backslash), "<fixture>\\...", "<missing>" or a literal
    const char* Filters;
    const char* TextToFind;
    const char* ReplaceWith;
    bool CaseSensitive;
    std::int32_t Mode;
    TOutcome Outcome;
};

const TInputCase InputCases[] = {
    {"search, empty folder", false, "", "*.TXT", "abc", "", true, 0, TOutcome::Folder},
    {"search, missing folder", false, "<missing>", "*.TXT", "abc", "", true, 0, TOutcome::Folder},
    {"apply, a file is no folder", true, "<fixture>\\a.txt", "*.TXT", "abc", "x", true, 0, TOutcome::Folder},
    {"apply, folder before text", true, "<missing>", "*.TXT", "", "", true, 0, TOutcome::Folder},
    {"search, no filters", false, "<fixture>", "", "abc", "", true, 0, TOutcome::Filters},
    {"apply, no filters before ANSI", true, "<fixture>", "", "\xE2\x82\xAC", "x", true, 1, TOutcome::Filters},
    {"search, a filter with a folder", false, "<fixture>", "*.TXT; sub\\*.md", "abc", "", true, 0,
     TOutcome::FilterPath},
    {"apply, a filter with a drive before ANSI", true, "<fixture>", "C:*", "\xE2\x82\xAC", "x", true, 1,
     TOutcome::FilterPath},
    {"search, ANSI and the euro sign", false, "<fixture>", "*.TXT", "a\xE2\x82\xAC", "", true, 1, TOutcome::Ansi},
    {"search, ANSI and e acute", false, "<fixture>", "*.TXT", "\xC3\xA9", "", true, 1, TOutcome::SearchRuns},
    {"search, ANSI ignores the replacement", false, "<fixture>", "*.TXT", "abc", "\xE2\x82\xAC", true, 1,
     TOutcome::SearchRuns},
    {"search, euro sign in Auto", false, "<fixture>", "*.TXT", "\xE2\x82\xAC", "", true, 0, TOutcome::SearchRuns},
    {"search, euro sign in UTF-16", false, "<fixture>", "*.TXT", "\xE2\x82\xAC", "", true, 2, TOutcome::SearchRuns},
    {"search, euro sign in UTF-8", false, "<fixture>", "*.TXT", "\xE2\x82\xAC", "", true, 3, TOutcome::SearchRuns},
    {"search, empty text", false, "<fixture>", "*.TXT", "", "", true, 0, TOutcome::SearchRuns},
    {"apply, ANSI and the euro sign to find", true, "<fixture>", "*.TXT", "\xE2\x82\xAC", "x", true, 1,
     TOutcome::Ansi},
    {"apply, ANSI and the euro sign to replace", true, "<fixture>", "*.TXT", "abc", "\xE2\x82\xAC", true, 1,
     TOutcome::Ansi},
    {"apply, ANSI before the empty text", true, "<fixture>", "*.TXT", "", "\xE2\x82\xAC", true, 1, TOutcome::Ansi},
    {"apply, ANSI and e acute", true, "<fixture>", "*.TXT", "\xC3\xA9", "\xC3\xA8", true, 1, TOutcome::Question},
    {"apply, euro sign in UTF-8", true, "<fixture>", "*.TXT", "\xE2\x82\xAC", "x", true, 3, TOutcome::Question},
    {"apply, empty text", true, "<fixture>", "*.TXT", "", "x", true, 0, TOutcome::TextToFind},
    {"apply, same text case sensitive", true, "<fixture>", "*.TXT", "abc", "abc", true, 0, TOutcome::Same},
    {"apply, same text case insensitive", true, "<fixture>", "*.TXT", "abc", "abc", false, 0, TOutcome::Question},
    {"apply, abc and ABC case sensitive", true, "<fixture>", "*.TXT", "abc", "ABC", true, 0, TOutcome::Question},
    {"apply, abc and ABC case insensitive", true, "<fixture>", "*.TXT", "abc", "ABC", false, 0, TOutcome::Question},
    {"apply, folder with a trailing backslash", true, "<fixture>\\", "*.TXT", "abc", "x", true, 0,
     TOutcome::Question},
};

std::wstring FolderOf(const TInputCase& Case, const std::wstring& Fixture) {
    // Fixture ends with a backslash; "<fixture>" stands for it without one.
    const std::wstring Folder = Wide(Case.Folder);
    if (Folder == L"<fixture>") return Fixture.substr(0, Fixture.size() - 1);
    if (Folder.rfind(L"<fixture>\\", 0) == 0) return Fixture + Folder.substr(10);
    if (Folder == L"<missing>") return Fixture + L"missing";
    return Folder;
}

TEST_P(CommandsInLanguage, InputChecksInOrderWithTheirMessages) {
    const TTexts& T = GetParam();
    Fixture.WriteFile(L"a.txt", Utf8Bom + "abc \xE2\x82\xAC \xC3\xA9");
    for (const TInputCase& Case : InputCases) {
        SCOPED_TRACE(Case.Name);
        const std::wstring TextToFind = Wide(Case.TextToFind), ReplaceWith = Wide(Case.ReplaceWith);
        SetInputs(FolderOf(Case, Fixture.Path()), Wide(Case.Filters), TextToFind, ReplaceWith, Case.CaseSensitive);
        MainState.CurrentEncodingMode = EncodingModeFromStored(Case.Mode);
        ComposeModeTitle();
        MarkState();
        TWorkThreadSearch* SearchBefore = MainState.SearchWorker.get();
        TWorkThreadApply* ApplyBefore = MainState.ApplyWorker.get();

        TBoxWatcher Boxes;
        Boxes.Answer(IDNO);  // the question, where it comes
        Click(Case.Apply ? Form->btnApply : Form->btnSearch);

        if (Case.Outcome == TOutcome::SearchRuns) {
            ASSERT_TRUE(WaitForRunEnd());
            // The run emptied the list and reset the label before it listed anything.
            EXPECT_NE(TextOf(Form->lblFiles), L"marker");
            for (const std::wstring& Row : Rows()) EXPECT_NE(Row, L"keep.txt|7");
            // No input message: at most the search's own result.
            for (const auto& Box : Boxes.Boxes()) EXPECT_EQ(Box.Text, Wide(T.NoneMatched));
            continue;
        }
        std::string Expected;
        switch (Case.Outcome) {
        case TOutcome::FilterPath: {
            // The message names the offending filter, the last one of these lists.
            const std::string Filters = Case.Filters;
            const size_t Last = Filters.rfind("; ");
            Expected = std::string(T.FilterPath) + (Last == std::string::npos ? Filters : Filters.substr(Last + 2));
            break;
        }
        case TOutcome::Folder: Expected = T.Folder; break;
        case TOutcome::Filters: Expected = T.Filters; break;
        case TOutcome::Ansi: Expected = T.Ansi; break;
        case TOutcome::TextToFind: Expected = T.TextToFind; break;
        case TOutcome::Same: Expected = T.Same; break;
        case TOutcome::Question: Expected = T.ConfirmText; break;
        case TOutcome::SearchRuns: break;
        }
        ASSERT_EQ(Boxes.Boxes().size(), 1u) << BoxTexts(Boxes);
        EXPECT_EQ(Boxes.Boxes()[0].Text, Wide(Expected));
        if (Case.Outcome == TOutcome::Question) {
            EXPECT_EQ(Boxes.Boxes()[0].Caption, Wide(T.ConfirmCaption));
        }
        ExpectStateKept(TextToFind, ReplaceWith);
        EXPECT_EQ(MainState.SearchWorker.get(), SearchBefore);
        EXPECT_EQ(MainState.ApplyWorker.get(), ApplyBefore);
    }
    EXPECT_EQ(ReadFileBytes(Fixture.Path() + L"a.txt").Bytes, Utf8Bom + "abc \xE2\x82\xAC \xC3\xA9");
}

TEST_P(CommandsInLanguage, AnEmptyReplacementAsksTwiceAndDecliningEitherChangesNothing) {
    const TTexts& T = GetParam();
    const std::string Content = Utf8Bom + "keep abc, abc";
    const std::wstring File = Fixture.WriteFile(L"a.txt", Content);
    struct {
        std::vector<int> Answers;
        size_t Boxes;
    } Declines[] = {{{IDNO}, 1}, {{IDYES, IDCANCEL}, 2}};
    for (const auto& Decline : Declines) {
        SetInputs(Fixture.Path(), L"*.TXT", L"abc", L"", true);
        MarkState();
        TBoxWatcher Boxes;
        for (int Answer : Decline.Answers) Boxes.Answer(Answer);
        Click(Form->btnApply);
        ASSERT_EQ(Boxes.Boxes().size(), Decline.Boxes) << BoxTexts(Boxes);
        EXPECT_EQ(Boxes.Boxes()[0].Caption, Wide(T.ConfirmCaption));
        EXPECT_EQ(Boxes.Boxes()[0].Text, Wide(T.ConfirmText));
        if (Decline.Boxes == 2) {
            EXPECT_EQ(Boxes.Boxes()[1].Caption, Wide(T.WarningCaption));
            EXPECT_EQ(Boxes.Boxes()[1].Text, Wide(T.WarningText));
        }
        ExpectStateKept(L"abc", L"");
        EXPECT_EQ(MainState.ApplyWorker, nullptr);
        EXPECT_EQ(ReadFileBytes(File).Bytes, Content);
    }
    // Yes and OK: every occurrence is deleted.
    TBoxWatcher Boxes;
    Boxes.Answer(IDYES);
    Boxes.Answer(IDOK);
    Click(Form->btnApply);
    ASSERT_TRUE(WaitForRunEnd());
    ASSERT_EQ(Boxes.Boxes().size(), 3u) << BoxTexts(Boxes);
    EXPECT_EQ(Boxes.Boxes()[2].Text, ApplyResultMessage(1, 2, 0));
    EXPECT_EQ(ReadFileBytes(File).Bytes, Utf8Bom + "keep , ");
}

// A whole search: the running state right after the click, the caption with the
// filter, the progress bar redrawn only for a new value, the rows, the status
// label, and the idle state at the end.
TEST_P(CommandsInLanguage, ASearchRunsAndReturnsToIdle) {
    const TTexts& T = GetParam();
    Fixture.WriteFile(L"a.txt", "x");
    Fixture.WriteFile(L"b.txt", "xx");
    Fixture.WriteFile(L"sub\\c.txt", "none");
    Fixture.WriteFile(L"sub\\deeper\\d.txt", "xxx");
    Fixture.WriteFile(L"e.log", "x x x x");
    for (int i = 0; i < 300; ++i) Fixture.WriteFile(L"many\\f" + std::to_wstring(1000 + i) + L".log", "-");
    SetInputs(Fixture.Path(), L"*.TXT; *.LOG", L"x", L"", true);
    SetFocus(Form->btnSearch);

    SendMessageW(Form->btnSearch, BM_CLICK, 0, 0);  // no serving of the queue yet
    const HWND RunControls[] = {Form->lvFiles,    Form->txtFolder,     Form->btnBrowse, Form->cbRecursive,
                                Form->txtFilters, Form->txtTextToFind, Form->btnSearch, Form->cbCaseSensitive,
                                Form->txtReplaceWith, Form->btnApply};
    for (HWND Control : RunControls) EXPECT_FALSE(IsWindowEnabled(Control));
    EXPECT_TRUE(IsWindowEnabled(Form->llURL));
    EXPECT_FALSE(GetMenuState(Form->mnuMainFile, TfrmMain::mnuMainFileQuit, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(BusyCursorShown());
    EXPECT_TRUE(MainState.WorkInProgress);
    EXPECT_EQ(Form->FileItemCount(), 0);
    EXPECT_EQ(TextOf(Form->lblFiles), Wide(T.EmptyLabel));
    ASSERT_NE(MainState.SearchWorker, nullptr);

    // The window's handlers, observed from around them.
    std::vector<std::wstring> Captions;
    int ProgressEvents = 0, Redraws = 0, Changes = 0;
    std::int32_t Last = Form->ProgressTag();
    auto ShowFilter = MainState.SearchWorker->OnSearchShowCurrentFilter;
    MainState.SearchWorker->OnSearchShowCurrentFilter = [&](std::wstring Filter) {
        ShowFilter(Filter);
        Captions.push_back(Form->Caption());
    };
    auto Progress = MainState.SearchWorker->OnSearchProgress;
    MainState.SearchWorker->OnSearchProgress = [&](std::int32_t Value) {
        HBITMAP Before = ImagePicture(Form->ImageProgress);
        Progress(Value);
        HBITMAP After = ImagePicture(Form->ImageProgress);
        ++ProgressEvents;
        if (Before != After) ++Redraws;
        if (Value != Last) ++Changes;
        Last = Value;
        EXPECT_EQ(Form->ProgressTag(), Value);
    };
    TBoxWatcher Boxes;
    ASSERT_TRUE(WaitForRunEnd());

    const std::wstring Title = ApplicationTitle();
    EXPECT_EQ(Captions, (std::vector<std::wstring>{Title + L" - *.TXT", Title + L" - *.LOG"}));
    // 305 files in two filters; a value is not reported twice in a row.
    EXPECT_EQ(ProgressEvents, 105);
    EXPECT_EQ(Redraws, Changes);
    EXPECT_GT(Changes, 100);
    EXPECT_EQ(Rows(), (std::vector<std::wstring>{L"a.txt|1", L"b.txt|2", L"sub\\deeper\\d.txt|3", L"e.log|4"}));
    EXPECT_EQ(TextOf(Form->lblFiles), Wide(T.FilesWord) + L"4 | 10)");
    EXPECT_TRUE(Boxes.Boxes().empty()) << BoxTexts(Boxes);
    // Idle again.
    for (HWND Control : RunControls) EXPECT_TRUE(IsWindowEnabled(Control));
    EXPECT_FALSE(BusyCursorShown());
    EXPECT_FALSE(MainState.WorkInProgress);
    EXPECT_EQ(Form->Caption(), Title);
    EXPECT_EQ(Form->ProgressTag(), 0);
    EXPECT_EQ(GetFocus(), Form->btnSearch);
}

TEST_P(CommandsInLanguage, AnEmptyTextListsEveryFileWithoutCountsWithOrWithoutTrailingBackslash) {
    const TTexts& T = GetParam();
    Fixture.WriteFile(L"a.txt", "");
    Fixture.WriteFile(L"sub\\b.txt", std::string("\xFE\xFF", 2));  // a skipped mark is not even probed
    Fixture.WriteFile(L"c.log", "x");
    const std::wstring WithBackslash = Fixture.Path();
    for (const std::wstring& Folder : {WithBackslash, WithBackslash.substr(0, WithBackslash.size() - 1)}) {
        SCOPED_TRACE(testing::Message() << "folder " << testing::PrintToString(Folder));
        SetInputs(Folder, L"*.TXT", L"", L"", true);
        TBoxWatcher Boxes;
        Click(Form->btnSearch);
        ASSERT_TRUE(WaitForRunEnd());
        EXPECT_EQ(Rows(), (std::vector<std::wstring>{L"a.txt|N/A", L"sub\\b.txt|N/A"}));
        EXPECT_EQ(TextOf(Form->lblFiles), Wide(T.FilesWord) + L"2 | N/A)");
        EXPECT_TRUE(Boxes.Boxes().empty()) << BoxTexts(Boxes);
    }
}

TEST_P(CommandsInLanguage, ASearchReportsOnlyWhenNothingIsListed) {
    const TTexts& T = GetParam();
    const std::wstring Skipped = Wide(T.Swedish ? " Antal överhoppade filer: " : " Number of skipped files: ");
    Fixture.WriteFile(L"a.txt", "other");
    struct {
        const char* Name;
        const char* File;     // written before the search, in addition to the earlier ones
        std::string Content;
        std::wstring Message;  // empty: no box
        std::vector<std::wstring> Rows;
    } Steps[] = {
        {"nothing found", nullptr, "", Wide(T.NoneMatched), {}},
        // A mark the automatic mode does not read: skipped and counted.
        {"nothing found, one skipped", "b.txt", std::string("\xFE\xFF\0a\0b\0c", 8),
         Wide(T.NoneMatched) + Skipped + L"1.", {}},
        {"one found, one skipped", "c.txt", "abc", L"", {L"c.txt|1"}},
    };
    for (const auto& Step : Steps) {
        SCOPED_TRACE(Step.Name);
        if (Step.File) Fixture.WriteFile(Wide(Step.File), Step.Content);
        SetInputs(Fixture.Path(), L"*.TXT", L"abc", L"", true);
        TBoxWatcher Boxes;
        Click(Form->btnSearch);
        ASSERT_TRUE(WaitForRunEnd());
        EXPECT_EQ(Rows(), Step.Rows);
        if (Step.Message.empty()) {
            EXPECT_TRUE(Boxes.Boxes().empty()) << BoxTexts(Boxes);
        } else {
            ASSERT_EQ(Boxes.Boxes().size(), 1u);
            EXPECT_EQ(Boxes.Boxes()[0].Text, Step.Message);
            EXPECT_EQ(Boxes.Boxes()[0].Caption, L"Information");
        }
    }
}

TEST_P(CommandsInLanguage, AnApplyEmptiesBothBoxesFocusesTheTextAndAlwaysReports) {
    const TTexts& T = GetParam();
    const std::wstring A = Fixture.WriteFile(L"a.txt", Utf8Bom + "abc, ABC, abc");
    const std::wstring B = Fixture.WriteFile(L"sub\\b.txt", "\xFF\xFE" + std::string("a\0b\0c\0", 6));
    const std::wstring C = Fixture.WriteFile(L"c.txt", "nothing here");
    // A search first lists the files; the apply then empties the list.
    SetInputs(Fixture.Path(), L"*.TXT", L"abc", L"", true);
    Click(Form->btnSearch);
    ASSERT_TRUE(WaitForRunEnd());
    ASSERT_EQ(Form->FileItemCount(), 2);
    TWorkThreadSearch* Search = MainState.SearchWorker.get();

    {
        SetInputs(Fixture.Path(), L"*.TXT", L"abc", L"xyz", true);
        TBoxWatcher Boxes;
        Boxes.Answer(IDYES);
        Click(Form->btnApply);
        ASSERT_TRUE(WaitForRunEnd());
        ASSERT_EQ(Boxes.Boxes().size(), 2u) << BoxTexts(Boxes);
        EXPECT_EQ(Boxes.Boxes()[1].Caption, L"Information");
        EXPECT_EQ(Boxes.Boxes()[1].Text,
                  Wide(T.Swedish ? "Klar. Antal filer som ändrades: 2. Totalt 3 ersättning(ar)."
                                 : "Done. Number of files that were changed: 2. In total 3 replacement(s)."));
        EXPECT_EQ(ReadFileBytes(A).Bytes, Utf8Bom + "xyz, ABC, xyz");
        EXPECT_EQ(ReadFileBytes(B).Bytes, "\xFF\xFE" + std::string("x\0y\0z\0", 6));
        EXPECT_EQ(ReadFileBytes(C).Bytes, "nothing here");
        EXPECT_EQ(TextOf(Form->txtTextToFind), L"");
        EXPECT_EQ(TextOf(Form->txtReplaceWith), L"");
        EXPECT_EQ(GetFocus(), Form->txtTextToFind);
        EXPECT_EQ(Form->FileItemCount(), 0);
        EXPECT_EQ(TextOf(Form->lblFiles), Wide(T.EmptyLabel));
        EXPECT_EQ(Form->Caption(), ApplicationTitle());
        EXPECT_EQ(MainState.SearchWorker.get(), Search);  // the other kind's worker is left alone
    }

    // Nothing to change is reported too.
    SetInputs(Fixture.Path(), L"*.TXT", L"abc", L"xyz", true);
    TBoxWatcher Boxes;
    Boxes.Answer(IDYES);
    Click(Form->btnApply);
    ASSERT_TRUE(WaitForRunEnd());
    ASSERT_EQ(Boxes.Boxes().size(), 2u) << BoxTexts(Boxes);
    EXPECT_EQ(Boxes.Boxes()[1].Text, Wide(T.NoneChanged));
}

INSTANTIATE_TEST_SUITE_P(Commands, CommandsInLanguage, testing::ValuesIn(Languages), LanguageName);

class Commands : public testing::Test, protected TCommandWindowTest {
protected:
    LocaleScope FLanguage{EnglishLocale};
};

// Counts of a thousand and more are grouped with the user's separator in the
// count column, the status label and the result messages.
TEST_F(Commands, LargeCountsAreGroupedEverywhere) {
    const std::wstring Grouped = FormatCount(1234);
    ASSERT_EQ(Grouped.size(), 5u) << "no thousands separator in " << testing::PrintToString(Grouped);
    EXPECT_EQ(Grouped.substr(0, 1) + Grouped.substr(2), L"1234");
    const std::wstring Separator = Grouped.substr(1, 1);

    Fixture.WriteFile(L"big.txt", std::string(1234, 'x'));
    Fixture.WriteFile(L"small.txt", "x");
    SetInputs(Fixture.Path(), L"*.TXT", L"x", L"", true);
    Click(Form->btnSearch);
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(Rows(), (std::vector<std::wstring>{L"big.txt|1" + Separator + L"234", L"small.txt|1"}));
    EXPECT_EQ(TextOf(Form->lblFiles), L"Files: (2 | 1" + Separator + L"235)");

    // The count column for a count in the millions, through the handler itself.
    Form->SearchAddFile(Fixture.Path() + L"g.txt", 2000000, 2001235);
    Form->SearchReturnValues(0);
    EXPECT_EQ(Rows().back(), L"g.txt|2" + Separator + L"000" + Separator + L"000");
    EXPECT_EQ(TextOf(Form->lblFiles), L"Files: (3 | 2" + Separator + L"001" + Separator + L"235)");

    // 1,234 listed files.
    TempFolder Many;
    for (int i = 0; i < 1234; ++i) Many.WriteFile(L"f" + std::to_wstring(i) + L".txt", "");
    SetInputs(Many.Path(), L"*.TXT", L"", L"", true);
    Click(Form->btnSearch);
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(Form->FileItemCount(), 1234);
    EXPECT_EQ(ListView_GetItemCount(Form->lvFiles), 1234);
    EXPECT_EQ(TextOf(Form->lblFiles), L"Files: (1" + Separator + L"234 | N/A)");

    // The result messages.
    TBoxWatcher Boxes;
    MainState.WorkInProgress = true;
    Form->ApplyReturnValues(1234, 56789, 1000);
    MainState.WorkInProgress = true;
    Form->ClearFileList();
    Form->SearchReturnValues(4321);
    ASSERT_EQ(Boxes.Boxes().size(), 2u);
    const std::wstring S = Separator;
    EXPECT_EQ(Boxes.Boxes()[0].Text, L"Done. Number of files that were changed: 1" + S + L"234. In total 56" + S +
                                         L"789 replacement(s). Number of skipped files: 1" + S + L"000.");
    EXPECT_EQ(Boxes.Boxes()[1].Text, L"No files were matched. Number of skipped files: 4" + S + L"321.");
}

// Enter pressed in the boxes gives a CR LF; it matches the line end of every
// file, and the replacement's line break is written as each file's own.
TEST_F(Commands, ALineBreakTypedInTheBoxesMatchesEveryFilesLineEnds) {
    const std::wstring CrLf = Fixture.WriteFile(L"crlf.txt", "one\r\ntwo\r\n");
    const std::wstring Lf = Fixture.WriteFile(L"lf.txt", "one\ntwo\n");
    const std::wstring Cr = Fixture.WriteFile(L"cr.txt", "one\rtwo\r");
    const std::wstring OneLine = Fixture.WriteFile(L"oneline.txt", "one two");
    SetInputs(Fixture.Path(), L"*.TXT", L"", L"", true);
    auto Type = [&](HWND Box, std::wstring_view Keys) {
        for (const wchar_t Key : Keys) SendMessageW(Box, WM_CHAR, Key, 0);
    };
    Type(Form->txtTextToFind, L"one\rtwo");
    Type(Form->txtReplaceWith, L"1\r2");
    ASSERT_EQ(TextOf(Form->txtTextToFind), L"one\r\ntwo");
    Click(Form->btnSearch);
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(Rows(), (std::vector<std::wstring>{L"cr.txt|1", L"crlf.txt|1", L"lf.txt|1"}));

    TBoxWatcher Boxes;
    Boxes.Answer(IDYES);
    Click(Form->btnApply);
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(ReadFileBytes(CrLf).Bytes, "1\r\n2\r\n");
    EXPECT_EQ(ReadFileBytes(Lf).Bytes, "1\n2\n");
    EXPECT_EQ(ReadFileBytes(Cr).Bytes, "1\r2\r");
    EXPECT_EQ(ReadFileBytes(OneLine).Bytes, "one two");
}

// The Swedish and English result messages of Apply, with and without changed and skipped
// files, through the handler.
TEST_F(Commands, ApplyResultMessagesInBothLanguages) {
    struct {
        bool Swedish;
        std::int32_t Changed, Replaced, Skipped;
        const char* Text;
    } Cases[] = {
        {true, 0, 0, 0, "Inga filer ändrades."},
        {true, 0, 0, 3, "Inga filer ändrades. Antal överhoppade filer: 3."},
        {true, 2, 5, 0, "Klar. Antal filer som ändrades: 2. Totalt 5 ersättning(ar)."},
        {true, 2, 5, 1, "Klar. Antal filer som ändrades: 2. Totalt 5 ersättning(ar). Antal överhoppade filer: 1."},
        {false, 0, 0, 0, "No files were changed."},
        {false, 0, 0, 3, "No files were changed. Number of skipped files: 3."},
        {false, 2, 5, 0, "Done. Number of files that were changed: 2. In total 5 replacement(s)."},
        {false, 2, 5, 1,
         "Done. Number of files that were changed: 2. In total 5 replacement(s). Number of skipped files: 1."},
    };
    for (const auto& Case : Cases) {
        LocaleScope Language(LanguageLocale(Case.Swedish));
        TBoxWatcher Boxes;
        MainState.WorkInProgress = true;
        Form->ApplyReturnValues(Case.Changed, Case.Replaced, Case.Skipped);
        ASSERT_EQ(Boxes.Boxes().size(), 1u);
        EXPECT_EQ(Boxes.Boxes()[0].Text, Wide(Case.Text));
        EXPECT_EQ(Boxes.Boxes()[0].Caption, L"Information");
        EXPECT_FALSE(MainState.WorkInProgress);
    }
}

// Closing the window during a run stops the worker, serves its last events,
// shows nothing, and then stores the settings.
TEST_F(Commands, ClosingDuringARunStopsTheWorkerWithoutAResultMessage) {
    // Enough files that the run, read ahead by the pool, is still going when the
    // handlers below are in place.
    constexpr int FileCount = 3000;
    for (int i = 0; i < FileCount; ++i) Fixture.WriteFile(L"f" + std::to_wstring(10000 + i) + L".txt", "abc");
    for (bool Apply : {false, true}) {
        SCOPED_TRACE(Apply ? "apply" : "search");
        if (!Form->Handle()) {
            Form.reset();
            MainState = TMainState{};
            Form = OpenMainWindow();
        }
        DeleteSettingsFile();
        SetInputs(Fixture.Path(), L"*.TXT", L"abc", L"abcd", true, false);
        TBoxWatcher Boxes;
        Boxes.Answer(IDYES);
        Click(Apply ? Form->btnApply : Form->btnSearch);
        ASSERT_TRUE(MainState.WorkInProgress);
        int Events = 0, Added = 0;
        auto Close = [&](std::int32_t) {
            if (++Events == 3) Form->Close();
        };
        if (Apply) {
            auto Progress = MainState.ApplyWorker->OnApplyProgress;
            MainState.ApplyWorker->OnApplyProgress = [&, Progress](std::int32_t Value) {
                Progress(Value);
                Close(Value);
            };
        } else {
            auto Progress = MainState.SearchWorker->OnSearchProgress;
            MainState.SearchWorker->OnSearchProgress = [&, Progress](std::int32_t Value) {
                Progress(Value);
                Close(Value);
            };
            auto AddFile = MainState.SearchWorker->OnSearchAddFile;
            MainState.SearchWorker->OnSearchAddFile = [&, AddFile](std::wstring FileName, std::int32_t Occurences,
                                                         std::int32_t Total) {
                AddFile(std::move(FileName), Occurences, Total);
                ++Added;
            };
        }
        for (int i = 0; i < 1000 && Form->Handle(); ++i) {
            ProcessMessages();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        ASSERT_EQ(Form->Handle(), nullptr);
        EXPECT_TRUE(ApplicationTerminated());
        // The worker was released by the window and did not finish the run.
        EXPECT_EQ(MainState.SearchWorker, nullptr);
        EXPECT_EQ(MainState.ApplyWorker, nullptr);
        EXPECT_EQ(Boxes.Boxes().size(), Apply ? 1u : 0u) << BoxTexts(Boxes);  // the question only
        if (Apply) {
            int Changed = 0;
            for (int i = 0; i < FileCount; ++i) {
                std::string Bytes = ReadFileBytes(Fixture.Path() + L"f" + std::to_wstring(10000 + i) + L".txt").Bytes;
                EXPECT_TRUE(Bytes == "abc" || Bytes == "abcd") << testing::PrintToString(Bytes);
                if (Bytes == "abcd") ++Changed;
            }
            EXPECT_GE(Changed, 2);
            EXPECT_LT(Changed, FileCount / 2);
        } else {
            EXPECT_GE(Added, 2);
            EXPECT_LT(Added, FileCount / 2);
        }
        // The settings were written after the worker ended.
        std::vector<std::string> Lines = SettingsFileLines();
        ASSERT_EQ(Lines.size(), 12u);
        EXPECT_EQ(Lines[1].rfind("Folder=", 0), 0u);
        EXPECT_GT(Lines[1].size(), 10u);
    }
}

}  // namespace
