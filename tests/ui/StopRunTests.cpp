// Esc during a run: the run ends through its return values, the window stays
// open, the list keeps its rows and the result says the run was stopped.
// Outside a run Esc changes nothing.
#include "CommandsTestSupport.h"

#include "platform/Messages.h"
#include "ui/MainTexts.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr int FileCount = 3000;

class StopRun : public testing::Test, protected TCommandWindowTest {
protected:
    StopRun() {
        for (int i = 0; i < FileCount; ++i) Fixture.WriteFile(FileName(i), "abc");
    }
    std::wstring FileName(int Index) const { return L"f" + std::to_wstring(10000 + Index) + L".txt"; }
    int FilesHolding(const std::string& Bytes) {
        int Count = 0;
        for (int i = 0; i < FileCount; ++i)
            if (ReadFileBytes(Fixture.Path() + FileName(i)).Bytes == Bytes) ++Count;
        return Count;
    }
    // Esc as the keyboard delivers it to the focused control (or to the window
    // when no control has the focus), read by the message loop.
    void PostEscape() {
        HWND Target = GetFocus() ? GetFocus() : Form->Handle();
        PostMessageW(Target, WM_KEYDOWN, VK_ESCAPE, 1);
        PostMessageW(Target, WM_KEYUP, VK_ESCAPE, 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
    }
    // Wraps a progress handler so that Esc is pressed at its third call.
    std::function<void(std::int32_t)> EscapeAtThirdProgress(std::function<void(std::int32_t)> Progress) {
        return [this, Progress, Calls = 0](std::int32_t Value) mutable {
            Progress(Value);
            if (++Calls == 3) PostEscape();
        };
    }
};

TEST_F(StopRun, EscStopsASearchWhichKeepsItsRowsAndSaysHowManyAreListed) {
    LocaleScope Language(SwedishLocale);
    SetInputs(Fixture.Path(), L"*.TXT", L"abc", L"", true, false);
    TBoxWatcher Boxes;
    Click(Form->btnSearch);
    ASSERT_TRUE(Form->Run.WorkInProgress);
    Form->Run.SearchWorker->OnSearchProgress = EscapeAtThirdProgress(Form->Run.SearchWorker->OnSearchProgress);
    ASSERT_TRUE(WaitForRunEnd(*Form));

    ASSERT_NE(Form->Handle(), nullptr);
    EXPECT_FALSE(Form->Terminated());
    const int Listed = Form->FileItemCount();
    EXPECT_LT(Listed, FileCount);
    EXPECT_EQ(ListView_GetItemCount(Form->lvFiles), Listed);
    ASSERT_EQ(Boxes.Boxes().size(), 1u) << BoxTexts(Boxes);
    EXPECT_EQ(Boxes.Boxes()[0].Text, L"Stoppad. Listade filer: " + FormatCount(static_cast<std::uint64_t>(Listed)) + L".");
    EXPECT_TRUE(IsWindowEnabled(Form->btnSearch));
    EXPECT_TRUE(IsWindowEnabled(Form->txtFolder));
}

TEST_F(StopRun, EscStopsAnApplyAndItsResultCountsWhatWasChanged) {
    LocaleScope Language(EnglishLocale);
    SetInputs(Fixture.Path(), L"*.TXT", L"abc", L"abcd", true, false);
    TBoxWatcher Boxes;
    Boxes.Answer(IDYES);
    Click(Form->btnApply);
    ASSERT_TRUE(Form->Run.WorkInProgress);
    Form->Run.ApplyWorker->OnApplyProgress = EscapeAtThirdProgress(Form->Run.ApplyWorker->OnApplyProgress);
    ASSERT_TRUE(WaitForRunEnd(*Form));

    ASSERT_NE(Form->Handle(), nullptr);
    const int Changed = FilesHolding("abcd");
    EXPECT_EQ(Changed + FilesHolding("abc"), FileCount);  // no file half-written
    EXPECT_GE(Changed, 1);
    EXPECT_LT(Changed, FileCount);
    ASSERT_EQ(Boxes.Boxes().size(), 2u) << BoxTexts(Boxes);  // the question, then the result
    const std::wstring Count = FormatCount(static_cast<std::uint64_t>(Changed));
    EXPECT_EQ(Boxes.Boxes()[1].Text, L"Stopped. Number of files that were changed: " + Count + L". In total " + Count +
                                         L" replacement(s).");
    EXPECT_EQ(Boxes.Boxes()[1].Caption, L"Information");
}

TEST_F(StopRun, EscStopsAnUndoWhichSaysHowManyFilesWereRestored) {
    SetInputs(Fixture.Path(), L"*.TXT", L"abc", L"abcd", true, false);
    {
        TBoxWatcher Boxes;
        Boxes.Answer(IDYES);
        Click(Form->btnApply);
        ASSERT_TRUE(WaitForRunEnd(*Form));
    }
    ASSERT_EQ(FilesHolding("abcd"), FileCount);

    LocaleScope Language(SwedishLocale);
    TBoxWatcher Boxes;
    Boxes.Answer(IDYES);
    SendMessageW(Form->Handle(), WM_COMMAND, TfrmMain::mnuMainFileUndo, 0);
    ASSERT_TRUE(Form->Run.WorkInProgress);
    Form->Run.UndoWorker->OnUndoProgress = EscapeAtThirdProgress(Form->Run.UndoWorker->OnUndoProgress);
    ASSERT_TRUE(WaitForRunEnd(*Form));

    ASSERT_NE(Form->Handle(), nullptr);
    const int Restored = FilesHolding("abc");
    EXPECT_EQ(Restored + FilesHolding("abcd"), FileCount);
    EXPECT_LT(Restored, FileCount);
    ASSERT_EQ(Boxes.Boxes().size(), 2u) << BoxTexts(Boxes);
    EXPECT_EQ(Boxes.Boxes()[1].Text,
              L"Stoppad. Återställda filer: " + FormatCount(static_cast<std::uint64_t>(Restored)) + L".");
}

TEST_F(StopRun, OutsideARunEscChangesNothing) {
    SetInputs(Fixture.Path(), L"*.TXT", L"abc", L"xyz", true, false);
    Form->AppendFileItem(L"a.txt", L"1");
    TBoxWatcher Boxes;
    for (HWND Control : {Form->txtFolder, Form->txtTextToFind, Form->lvFiles}) {
        SetFocus(Control);
        PressKey(Control, VK_ESCAPE);
    }
    EXPECT_NE(Form->Handle(), nullptr);
    EXPECT_TRUE(Boxes.Boxes().empty()) << BoxTexts(Boxes);
    EXPECT_EQ(TextOf(Form->txtTextToFind), L"abc");
    EXPECT_EQ(TextOf(Form->txtReplaceWith), L"xyz");
    EXPECT_EQ(Form->FileItemCount(), 1);
}

// The stopped results in both languages, with the skipped-files sentence when
// files were skipped.
TEST(StoppedResultTexts, BothLanguagesWithAndWithoutSkippedFiles) {
    struct {
        bool Swedish;
        std::function<std::wstring()> Make;
        const char* Text;
    } Cases[] = {
        {true, [] { return StoppedSearchMessage(7, 0); }, "Stoppad. Listade filer: 7."},
        {false, [] { return StoppedSearchMessage(7, 2); }, "Stopped. Files listed: 7. Number of skipped files: 2."},
        {true, [] { return StoppedApplyMessage(2, 5, 1); },
         "Stoppad. Antal filer som ändrades: 2. Totalt 5 ersättning(ar). Antal överhoppade filer: 1."},
        {false, [] { return StoppedApplyMessage(0, 0, 0); },
         "Stopped. Number of files that were changed: 0. In total 0 replacement(s)."},
        {true, [] { return StoppedUndoMessage(3, 0); }, "Stoppad. Återställda filer: 3."},
        {false, [] { return StoppedUndoMessage(3, 1); },
         "Stopped. Files restored: 3. Changed since and left untouched: 1."},
    };
    for (const auto& Case : Cases) {
        LocaleScope Language(LanguageLocale(Case.Swedish));
        EXPECT_EQ(Case.Make(), Wide(Case.Text));
    }
}

}  // namespace
