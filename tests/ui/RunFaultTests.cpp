// A run that ends through a fault, driven through the real window: an error box
// names the fault instead of the result message, the counts so far stay on the
// status label, the window is idle and usable again, and the files written
// before the fault can be undone.
#include "CommandsTestSupport.h"

#include "UndoJournalScope.h"
#include "WindowText.h"
#include "ui/Application.h"
#include "workers/WorkerThread.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RunFault : public testing::TestWithParam<bool>, protected TCommandWindowTest {
protected:
    ~RunFault() override { WorkerThread::FailQueuedCallForTests(0); }
    bool Swedish() const { return GetParam(); }
    std::wstring Text(const char* Sv, const char* En) const { return Wide(Swedish() ? Sv : En); }
    std::wstring FaultMessage() const {
        return Text("Ett oväntat fel avbröt körningen: ", "An unexpected error ended the run: ") + L"std::bad_alloc";
    }

    TUndoJournalScope Journal;
    LocaleScope FLanguage{LanguageLocale(GetParam())};
};

std::string LanguageName(const testing::TestParamInfo<bool>& Info) { return Info.param ? "Swedish" : "English"; }

TEST_P(RunFault, AnApplyEndedByAFaultSaysSoKeepsItsCountsAndCanBeUndone) {
    std::vector<std::wstring> Files;
    for (int i = 0; i < 8; ++i) Files.push_back(Fixture.WriteFile(L"f" + std::to_wstring(i) + L".txt", "abc"));
    SetInputs(Fixture.Path(), L"*.txt", L"abc", L"xyz", true);
    {
        TBoxWatcher Boxes;
        Boxes.Answer(IDYES);
        // The run's calls to the window: the filter, then each file's progress.
        // The fourth (the third file's progress) cannot be queued.
        WorkerThread::FailQueuedCallForTests(4);
        Click(Form->btnApply);
        ASSERT_TRUE(WaitForRunEnd(*Form));
        ASSERT_EQ(Boxes.Boxes().size(), 2u) << BoxTexts(Boxes);
        EXPECT_EQ(Boxes.Boxes()[1].Caption, Text("Fel", "Error"));
        EXPECT_EQ(Boxes.Boxes()[1].Text, FaultMessage());
    }
    // The files told of before the fault, and those the pool had begun writing.
    int Changed = 0;
    for (const std::wstring& File : Files) {
        const std::string Bytes = ReadFileBytes(File).Bytes;
        EXPECT_TRUE(Bytes == "abc" || Bytes == "xyz") << Bytes;
        Changed += Bytes == "xyz";
    }
    EXPECT_GE(Changed, 2);
    const std::wstring Count = std::to_wstring(Changed);
    EXPECT_EQ(TextOf(Form->lblFiles), Text("Filer: (", "Files: (") + Count + L" | " + Count + L")");
    EXPECT_FALSE(Form->Run.WorkInProgress);
    EXPECT_TRUE(IsWindowEnabled(Form->btnApply));
    EXPECT_TRUE(IsWindowEnabled(Form->btnSearch));
    EXPECT_EQ(Form->Caption(), Form->Title());

    // Undo brings back every file that was written.
    {
        TBoxWatcher Boxes;
        Boxes.Answer(IDYES);
        SendMessageW(Form->Handle(), WM_COMMAND, MAKEWPARAM(TfrmMain::mnuMainFileUndo, 0), 0);
        ASSERT_TRUE(WaitForRunEnd(*Form));
        ASSERT_EQ(Boxes.Boxes().size(), 2u) << BoxTexts(Boxes);
    }
    for (const std::wstring& File : Files) EXPECT_EQ(ReadFileBytes(File).Bytes, "abc");

    // And the next run goes as ever.
    SetInputs(Fixture.Path(), L"*.txt", L"abc", L"", true);
    TBoxWatcher Boxes;
    Click(Form->btnSearch);
    ASSERT_TRUE(WaitForRunEnd(*Form));
    EXPECT_EQ(Form->FileItemCount(), 8);
    EXPECT_TRUE(Boxes.Boxes().empty()) << BoxTexts(Boxes);
}

TEST_P(RunFault, ASearchEndedByAFaultSaysSoAndKeepsItsRows) {
    Fixture.WriteFile(L"a.txt", "abc abc");
    Fixture.WriteFile(L"b.txt", "abc");
    SetInputs(Fixture.Path(), L"*.txt", L"abc", L"", true);
    TBoxWatcher Boxes;
    // The filter, the first file's progress and row, then the second's progress.
    WorkerThread::FailQueuedCallForTests(4);
    Click(Form->btnSearch);
    ASSERT_TRUE(WaitForRunEnd(*Form));
    ASSERT_EQ(Boxes.Boxes().size(), 1u) << BoxTexts(Boxes);
    EXPECT_EQ(Boxes.Boxes()[0].Text, FaultMessage());
    EXPECT_EQ(Rows(), (std::vector<std::wstring>{L"a.txt|2"}));
    EXPECT_EQ(TextOf(Form->lblFiles), Text("Filer: (", "Files: (") + L"1 | 2)");
    EXPECT_TRUE(IsWindowEnabled(Form->btnSearch));
}

INSTANTIATE_TEST_SUITE_P(Commands, RunFault, testing::Values(false, true), LanguageName);

}  // namespace
