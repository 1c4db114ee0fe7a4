// "Undo last Apply" driven through the real window and its message loop: when
// the item is enabled, the question and its date, the running state, the result
// and the damage messages in both languages, and closing the window mid-undo.
#include "CommandsTestSupport.h"

#include "UndoJournalScope.h"
#include "files/UndoJournal.h"
#include "ui/Application.h"
#include "ui/WindowHelpers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The run's start as the user's short date and time formats show it, made here
// with the platform's own calls.
std::wstring ShortDateTime(std::uint64_t FileTime) {
    FILETIME Utc{static_cast<DWORD>(FileTime), static_cast<DWORD>(FileTime >> 32)};
    FILETIME LocalTime;
    SYSTEMTIME Local;
    FileTimeToLocalFileTime(&Utc, &LocalTime);
    FileTimeToSystemTime(&LocalTime, &Local);
    wchar_t Date[128], Time[128];
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &Local, nullptr, Date, 128);
    GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &Local, nullptr, Time, 128);
    return std::wstring(Date) + L" " + Time;
}

class UndoMenu : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        WriteSettingsFile("[Main]\r\nEditor=004E004F00540045005000410044\r\n");
        Form = OpenMainWindow();
    }
    void TearDown() override {
        Form.reset();
        DeleteSettingsFile();
    }

    bool Swedish() const { return GetParam(); }
    std::wstring Text(const char* SwedishText, const char* EnglishText) const {
        return Wide(Swedish() ? SwedishText : EnglishText);
    }
    bool UndoEnabled() const {
        return !(GetMenuState(Form->mnuMainFile, TfrmMain::mnuMainFileUndo, MF_BYCOMMAND) & MF_GRAYED);
    }
    // The File menu as it opens: the window looks at the journal again.
    void OpenFileMenu() {
        SendMessageW(Form->Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(Form->mnuMainFile), 0);
    }
    // A choice of the item as the menu makes it: a posted command, served by the loop.
    void ChooseUndo() {
        PostMessageW(Form->Handle(), WM_COMMAND, MAKEWPARAM(TfrmMain::mnuMainFileUndo, 0), 0);
        ProcessMessages();
    }
    void ApplyThroughTheWindow(const std::wstring& Find, const std::wstring& Replace) {
        SetWindowTextW(Form->txtFolder, Fixture.Path().c_str());
        SetWindowTextW(Form->txtFilters, L"*.txt");
        SetWindowTextW(Form->txtTextToFind, Find.c_str());
        SetWindowTextW(Form->txtReplaceWith, Replace.c_str());
        TBoxWatcher Boxes;
        Boxes.Answer(IDYES);
        SendMessageW(Form->btnApply, BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitForRunEnd(*Form));
    }

    TUndoJournalScope Journal;
    LocaleScope FLanguage{LanguageLocale(GetParam())};
    TempFolder Fixture;
    std::unique_ptr<TfrmMain> Form;
};

std::string LanguageName(const testing::TestParamInfo<bool>& Info) { return Info.param ? "Swedish" : "English"; }

TEST_P(UndoMenu, AskingRunningAndReportingAnUndo) {
    EXPECT_FALSE(UndoEnabled());  // nothing to undo yet
    const std::wstring A = Fixture.WriteFile(L"a.txt", "abc\r\nabc");
    const std::wstring B = Fixture.WriteFile(L"b.txt", Utf8Bom + "abc");
    ApplyThroughTheWindow(L"abc", L"xyz");
    ASSERT_EQ(ReadFileBytes(A).Bytes, "xyz\r\nxyz");
    EXPECT_TRUE(UndoEnabled());
    TUndoRun Run;
    ASSERT_TRUE(NewestUndoRun(Run));
    const std::wstring Question = Swedish()
                                      ? L"Återställa 2 fil(er) som ändrades " + ShortDateTime(Run.Header.StartTime) + L"?"
                                      : L"Restore 2 file(s) changed on " + ShortDateTime(Run.Header.StartTime) + L"?";
    {
        // No: nothing happens.
        TBoxWatcher Boxes;
        Boxes.Answer(IDNO);
        ChooseUndo();
        ASSERT_EQ(Boxes.Boxes().size(), 1u) << BoxTexts(Boxes);
        EXPECT_EQ(Boxes.Boxes()[0].Text, Question);
        EXPECT_EQ(Boxes.Boxes()[0].Caption, Text("Bekräfta", "Confirm"));
        EXPECT_EQ(Boxes.Boxes()[0].Buttons, L"YN");
        EXPECT_FALSE(Form->Run.WorkInProgress);
        EXPECT_EQ(Form->Run.UndoWorker, nullptr);
        EXPECT_EQ(ReadFileBytes(A).Bytes, "xyz\r\nxyz");
    }

    // Yes: the run starts as Apply's does, with the undo named in the caption.
    TBoxWatcher Boxes;
    Boxes.Answer(IDYES);
    SendMessageW(Form->Handle(), WM_COMMAND, MAKEWPARAM(TfrmMain::mnuMainFileUndo, 0), 0);
    const std::wstring Running = Form->Title() + Text(" - Ångra", " - Undo");
    EXPECT_TRUE(Form->Run.WorkInProgress);
    EXPECT_FALSE(UndoEnabled());
    EXPECT_FALSE(IsWindowEnabled(Form->btnApply));
    EXPECT_FALSE(IsWindowEnabled(Form->btnSearch));
    EXPECT_TRUE(BusyCursorShown());
    EXPECT_EQ(Form->Caption(), Running);
    ASSERT_NE(Form->Run.UndoWorker, nullptr);
    std::vector<std::int32_t> Progress;
    auto OnProgress = Form->Run.UndoWorker->OnUndoProgress;
    Form->Run.UndoWorker->OnUndoProgress = [&](std::int32_t Value) {
        OnProgress(Value);
        Progress.push_back(Value);
        EXPECT_EQ(Form->ProgressTag(), Value);
        EXPECT_EQ(Form->Caption(), Running);
        // The item stays disabled whatever the journal holds.
        OpenFileMenu();
        EXPECT_FALSE(UndoEnabled());
    };
    ASSERT_TRUE(WaitForRunEnd(*Form));
    EXPECT_EQ(Progress, (std::vector<std::int32_t>{0, 100}));
    ASSERT_EQ(Boxes.Boxes().size(), 2u) << BoxTexts(Boxes);
    EXPECT_EQ(Boxes.Boxes()[1].Text, Text("Klart. Återställda filer: 2.", "Done. Files restored: 2."));
    EXPECT_EQ(Boxes.Boxes()[1].Caption, L"Information");
    EXPECT_EQ(ReadFileBytes(A).Bytes, "abc\r\nabc");
    EXPECT_EQ(ReadFileBytes(B).Bytes, Utf8Bom + "abc");
    // Idle again, with nothing left to undo.
    EXPECT_FALSE(Form->Run.WorkInProgress);
    EXPECT_EQ(Form->Caption(), Form->Title());
    EXPECT_EQ(Form->ProgressTag(), 0);
    EXPECT_TRUE(IsWindowEnabled(Form->btnApply));
    EXPECT_FALSE(BusyCursorShown());
    EXPECT_FALSE(UndoEnabled());
}

TEST_P(UndoMenu, FilesChangedSinceAndADamagedJournalAreReported) {
    const std::wstring A = Fixture.WriteFile(L"a.txt", "first abc");
    const std::wstring B = Fixture.WriteFile(L"b.txt", "second abc");
    ApplyThroughTheWindow(L"abc", L"xyz");
    Fixture.WriteFile(L"b.txt", "edited");
    {
        TBoxWatcher Boxes;
        Boxes.Answer(IDYES);
        ChooseUndo();
        ASSERT_TRUE(WaitForRunEnd(*Form));
        ASSERT_EQ(Boxes.Boxes().size(), 2u) << BoxTexts(Boxes);
        EXPECT_EQ(Boxes.Boxes()[1].Text,
                  Text("Klart. Återställda filer: 1. Ändrade sedan dess och lämnade orörda: 1.",
                       "Done. Files restored: 1. Changed since and left untouched: 1."));
        EXPECT_EQ(ReadFileBytes(A).Bytes, "first abc");
        EXPECT_EQ(ReadFileBytes(B).Bytes, "edited");
    }

    // The journal's copy of a.txt's old bytes damaged: nothing comes back from
    // it, b.txt still does, and the damage is told in an error box.
    Fixture.WriteFile(L"b.txt", "edited abc");
    ApplyThroughTheWindow(L"abc", L"xyz");
    TUndoRun Run;
    ASSERT_TRUE(NewestUndoRun(Run));
    std::string Bytes = ReadFileBytes(Run.Path + L"journal.dat").Bytes;
    Bytes[Bytes.find("first abc")] = 'F';
    ASSERT_TRUE(WriteFileBytes(Run.Path + L"journal.dat", Bytes));
    TBoxWatcher Boxes;
    Boxes.Answer(IDYES);
    ChooseUndo();
    ASSERT_TRUE(WaitForRunEnd(*Form));
    ASSERT_EQ(Boxes.Boxes().size(), 3u) << BoxTexts(Boxes);
    EXPECT_EQ(Boxes.Boxes()[1].Text, Text("Klart. Återställda filer: 1.", "Done. Files restored: 1."));
    EXPECT_EQ(Boxes.Boxes()[2].Text,
              Text("Ångrajournalen är skadad: 1 fil(er) kunde inte återställas från den.",
                   "The undo journal is damaged: 1 file(s) could not be restored from it."));
    EXPECT_EQ(Boxes.Boxes()[2].Caption, Text("Fel", "Error"));
    EXPECT_EQ(ReadFileBytes(A).Bytes, "first xyz");
    EXPECT_EQ(ReadFileBytes(B).Bytes, "edited abc");
}

// A damaged run header stops the undo before its question, told in an error box
// naming the run; the run before stays as it is. An undo while another holds
// the journal's lock touches nothing and says so in a box.
TEST_P(UndoMenu, ADamagedHeaderAndASecondUndoAreToldInABox) {
    const std::wstring A = Fixture.WriteFile(L"a.txt", "abc");
    ApplyThroughTheWindow(L"abc", L"xyz");
    const std::wstring B = Fixture.WriteFile(L"b.txt", "xyz");
    ApplyThroughTheWindow(L"xyz", L"uvw");
    TUndoRun Run;
    ASSERT_TRUE(NewestUndoRun(Run));
    std::string Bytes = ReadFileBytes(Run.Path + L"journal.dat").Bytes;
    Bytes[12] = static_cast<char>(Bytes[12] ^ 0xFF);  // the start time
    ASSERT_TRUE(WriteFileBytes(Run.Path + L"journal.dat", Bytes));
    {
        TBoxWatcher Boxes;
        Boxes.Answer(IDYES);
        ChooseUndo();
        ASSERT_EQ(Boxes.Boxes().size(), 1u) << BoxTexts(Boxes);
        EXPECT_EQ(Boxes.Boxes()[0].Caption, Text("Fel", "Error"));
        EXPECT_EQ(Boxes.Boxes()[0].Text,
                  Swedish() ? L"Huvudet i den senaste körningens ångrajournal är skadat:\n" + Run.Path +
                                  L"\nInget återställdes. Ta bort mappen för att ångra äldre körningar."
                            : L"The header of the newest run's undo journal is damaged:\n" + Run.Path +
                                  L"\nNothing was restored. Remove the folder to undo older runs.");
        EXPECT_FALSE(Form->Run.WorkInProgress);
        EXPECT_EQ(ReadFileBytes(A).Bytes, "uvw");
        EXPECT_EQ(ReadFileBytes(B).Bytes, "uvw");
    }
    ASSERT_TRUE(RemoveUndoRun(Run.Path));

    TUndoLock Other;
    ASSERT_TRUE(Other.Acquire());
    TBoxWatcher Boxes;
    Boxes.Answer(IDYES);
    ChooseUndo();
    ASSERT_TRUE(WaitForRunEnd(*Form));
    ASSERT_EQ(Boxes.Boxes().size(), 2u) << BoxTexts(Boxes);
    EXPECT_EQ(Boxes.Boxes()[1].Text, Text("En annan ångring pågår redan.", "Another undo is already running."));
    EXPECT_EQ(ReadFileBytes(A).Bytes, "uvw");
    EXPECT_TRUE(UndoJournalHasRun());
}

// Search and Apply runs disable the item too; a command that comes anyway
// (from a key or another program) does nothing while a run goes.
TEST_P(UndoMenu, NoUndoDuringARun) {
    Fixture.WriteFile(L"a.txt", "abc");
    ApplyThroughTheWindow(L"abc", L"xyz");
    ASSERT_TRUE(UndoEnabled());
    SetWindowTextW(Form->txtTextToFind, L"xyz");
    TBoxWatcher Boxes;
    SendMessageW(Form->btnSearch, BM_CLICK, 0, 0);
    EXPECT_TRUE(Form->Run.WorkInProgress);
    EXPECT_FALSE(UndoEnabled());
    SendMessageW(Form->Handle(), WM_COMMAND, MAKEWPARAM(TfrmMain::mnuMainFileUndo, 0), 0);
    EXPECT_TRUE(Boxes.Boxes().empty()) << BoxTexts(Boxes);
    EXPECT_EQ(Form->Run.UndoWorker, nullptr);
    ASSERT_TRUE(WaitForRunEnd(*Form));
    EXPECT_TRUE(UndoEnabled());
    EXPECT_EQ(ReadFileBytes(Fixture.Path() + L"a.txt").Bytes, "xyz");
}

INSTANTIATE_TEST_SUITE_P(Undo, UndoMenu, testing::Bool(), LanguageName);

// Closing the window during an undo finishes the file at hand; the run stays in
// the journal, and the next undo, in a new window, completes it.
TEST(UndoMenuClose, ClosingMidUndoLeavesTheRunForTheNextUndo) {
    TUndoJournalScope Journal;
    LocaleScope Language(EnglishLocale);
    TempFolder Fixture;
    constexpr int FileCount = 200;
    for (int i = 0; i < FileCount; ++i) Fixture.WriteFile(L"f" + std::to_wstring(1000 + i) + L".txt", "abc");
    WriteSettingsFile("[Main]\r\nEditor=004E004F00540045005000410044\r\n");
    auto Form = OpenMainWindow();
    SetWindowTextW(Form->txtFolder, Fixture.Path().c_str());
    SetWindowTextW(Form->txtTextToFind, L"abc");
    SetWindowTextW(Form->txtReplaceWith, L"abcd");
    {
        TBoxWatcher Boxes;
        Boxes.Answer(IDYES);
        SendMessageW(Form->btnApply, BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitForRunEnd(*Form));
    }
    TBoxWatcher Boxes;
    Boxes.Answer(IDYES);
    SendMessageW(Form->Handle(), WM_COMMAND, MAKEWPARAM(TfrmMain::mnuMainFileUndo, 0), 0);
    ASSERT_NE(Form->Run.UndoWorker, nullptr);
    int Events = 0;
    auto OnProgress = Form->Run.UndoWorker->OnUndoProgress;
    Form->Run.UndoWorker->OnUndoProgress = [&, OnProgress](std::int32_t Value) {
        OnProgress(Value);
        if (++Events == 3) Form->Close();
    };
    for (int i = 0; i < 1000 && Form->Handle(); ++i) {
        ProcessMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    ASSERT_EQ(Form->Handle(), nullptr);
    EXPECT_EQ(Form->Run.UndoWorker, nullptr);
    EXPECT_EQ(Boxes.Boxes().size(), 1u) << BoxTexts(Boxes);  // the question only
    int Restored = 0;
    for (int i = 0; i < FileCount; ++i) {
        const std::string Bytes = ReadFileBytes(Fixture.Path() + L"f" + std::to_wstring(1000 + i) + L".txt").Bytes;
        EXPECT_TRUE(Bytes == "abc" || Bytes == "abcd") << Bytes;
        Restored += Bytes == "abc";
    }
    EXPECT_GE(Restored, 2);
    EXPECT_LT(Restored, FileCount / 2);
    Form.reset();

    Form = OpenMainWindow();
    ASSERT_FALSE(GetMenuState(Form->mnuMainFile, TfrmMain::mnuMainFileUndo, MF_BYCOMMAND) & MF_GRAYED);
    TBoxWatcher Again;
    Again.Answer(IDYES);
    SendMessageW(Form->Handle(), WM_COMMAND, MAKEWPARAM(TfrmMain::mnuMainFileUndo, 0), 0);
    ASSERT_TRUE(WaitForRunEnd(*Form));
    // A box of a window that has just opened may be activated twice: each once.
    std::vector<std::wstring> Texts;
    for (const auto& Box : Again.Boxes())
        if (Texts.empty() || Texts.back() != Box.Text) Texts.push_back(Box.Text);
    ASSERT_EQ(Texts.size(), 2u) << BoxTexts(Again);
    EXPECT_EQ(Texts[0].rfind(L"Restore 200 file(s) changed on ", 0), 0u);
    EXPECT_EQ(Texts[1], L"Done. Files restored: 200.");
    for (int i = 0; i < FileCount; ++i)
        EXPECT_EQ(ReadFileBytes(Fixture.Path() + L"f" + std::to_wstring(1000 + i) + L".txt").Bytes, "abc");
    Form.reset();
    DeleteSettingsFile();
}

}  // namespace
