// The context menu of a listed file, opened by a right click, the menu key or
// Shift+F10 and answered from inside its own loop: its texts in both languages,
// and its three commands seen from outside (the clipboard, the programs started).
#include "CommandsTestSupport.h"

#include "platform/Shell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> StartedCommandLines;

void RecordCommandLine(std::wstring_view CommandLine) { StartedCommandLines.emplace_back(CommandLine); }

std::wstring ClipboardText() {
    std::wstring Text;
    if (!OpenClipboard(nullptr)) return L"<clipboard not open>";
    if (HANDLE Data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* Chars = static_cast<const wchar_t*>(GlobalLock(Data))) {
            Text = Chars;
            GlobalUnlock(Data);
        }
    }
    CloseClipboard();
    return Text;
}

void SetClipboardToNothing() {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    CloseClipboard();
}

enum class TOpenBy { RightClick, MenuKey, ShiftF10 };

struct TMenuCase {
    bool Swedish;
    TOpenBy By;
    int Choose;  // 0 Open, 1 Open folder, 2 Copy path
    const char* Name;
};

// The language of the case, in force before the window is made.
struct TCaseLanguage {
    LocaleScope FLanguage{LanguageLocale(testing::WithParamInterface<TMenuCase>::GetParam().Swedish)};
};

class FileListMenu : public testing::TestWithParam<TMenuCase>, protected TCaseLanguage, protected TCommandWindowTest {
protected:
    void SetUp() override {
        StartedCommandLines.clear();
        SetCommandLineRunner(&RecordCommandLine);
        SetClipboardToNothing();
        Folder = Fixture.Path() + L"site";
        SetInputs(Folder, L"*.TXT", L"", L"", true);
        Form->AppendFileItem(L"a.txt", L"1");
        Form->AppendFileItem(L"docs\\b c.txt", L"2");
        Form->AppendFileItem(L"z.txt", L"3");
        Pump();
    }
    void TearDown() override { SetCommandLineRunner(nullptr); }

    // Opens the menu on row 1 the given way, with Answer waiting for it.
    void OpenMenuOnSecondRow(TOpenBy By) {
        SetFocus(Form->lvFiles);
        RECT Row{};
        ListView_GetItemRect(Form->lvFiles, 1, &Row, LVIR_LABEL);
        if (By == TOpenBy::RightClick) {
            POINT Click{Row.left + 20, (Row.top + Row.bottom) / 2};
            const LPARAM At = MAKELPARAM(Click.x, Click.y);
            // The pointer where the click is: the menu opens at the pointer.
            ClientToScreen(Form->lvFiles, &Click);
            SetCursorPos(Click.x, Click.y);
            PostMessageW(Form->lvFiles, WM_RBUTTONDOWN, MK_RBUTTON, At);
            PostMessageW(Form->lvFiles, WM_RBUTTONUP, 0, At);
            Pump();
            return;
        }
        ListView_SetItemState(Form->lvFiles, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        if (By == TOpenBy::MenuKey) {
            PressKey(Form->lvFiles, VK_APPS);
        } else {
            TModifierScope Shift(ssShift);
            PressKey(Form->lvFiles, VK_F10);
        }
    }

    std::wstring Folder;
};

TEST_P(FileListMenu, OffersItsThreeCommandsAndRunsTheChosenOne) {
    const TMenuCase& Case = GetParam();
    const std::wstring Path = Folder + L"\\docs\\b c.txt";
    {
        TMenuAnswer Answer(Case.Choose, Case.By == TOpenBy::RightClick && Case.Choose == 2
                                            ? (Case.Swedish ? L"shot-menu-sv" : L"shot-menu-en")
                                            : L"");
        OpenMenuOnSecondRow(Case.By);
        ASSERT_TRUE(Answer.Shown());
        ASSERT_EQ(Answer.Items().size(), 3u);
        const wchar_t* Expected[2][3] = {{L"Open", L"Open folder", L"Copy path"},
                                         {L"Öppna", L"Öppna mapp", L"Kopiera sökväg"}};
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(Answer.Items()[i].Text, Expected[Case.Swedish][i]);
            EXPECT_TRUE(Answer.Items()[i].Enabled);
            EXPECT_EQ(Answer.Items()[i].Default, i == 0);  // Open, as a double click
        }
    }
    Pump();
    EXPECT_EQ(Form->SelectedFileIndex(), 1);
    switch (Case.Choose) {
    case 0:
        EXPECT_EQ(StartedCommandLines, std::vector<std::wstring>{L"\"NOTEPAD\" \"" + Path + L"\""});
        EXPECT_EQ(ClipboardText(), L"");
        break;
    case 1:
        EXPECT_EQ(StartedCommandLines, std::vector<std::wstring>{ExplorerSelectCommandLine(Path)});
        EXPECT_EQ(ClipboardText(), L"");
        break;
    case 2:
        EXPECT_TRUE(StartedCommandLines.empty());
        EXPECT_EQ(ClipboardText(), Path);
        break;
    }
}

const TMenuCase MenuCases[] = {
    {true, TOpenBy::RightClick, 2, "SwedishRightClickCopyPath"},
    {false, TOpenBy::RightClick, 2, "EnglishRightClickCopyPath"},
    {false, TOpenBy::ShiftF10, 1, "EnglishShiftF10OpenFolder"},
    {true, TOpenBy::MenuKey, 0, "SwedishMenuKeyOpen"},
    {false, TOpenBy::RightClick, 1, "EnglishRightClickOpenFolder"},
};

INSTANTIATE_TEST_SUITE_P(Window, FileListMenu, testing::ValuesIn(MenuCases),
                         [](const testing::TestParamInfo<TMenuCase>& Info) { return std::string(Info.param.Name); });

TEST(FileListMenuCommandLine, ExplorerSelectsTheFileByItsFullPath) {
    wchar_t Windows[MAX_PATH] = L"";
    GetWindowsDirectoryW(Windows, MAX_PATH);
    EXPECT_EQ(ExplorerSelectCommandLine(L"C:\\work\\a b.txt"),
              L"\"" + std::wstring(Windows) + L"\\explorer.exe\" /select,\"C:\\work\\a b.txt\"");
}

class FileListMenuNone : public testing::Test, protected TCommandWindowTest {
protected:
    LocaleScope FLanguage{EnglishLocale};
};

// No menu without a selected file, during a run, or from a menu key with
// another modifier; closing the menu runs nothing.
TEST_F(FileListMenuNone, AppearsOnlyForASelectedFileBetweenRuns) {
    StartedCommandLines.clear();
    SetCommandLineRunner(&RecordCommandLine);
    for (int i = 0; i < 300; ++i) Fixture.WriteFile(L"many\\f" + std::to_wstring(i) + L".txt", "x");
    SetInputs(Fixture.Path() + L"many", L"*.txt", L"x", L"", true);
    Form->AppendFileItem(L"a.txt", L"1");
    SetFocus(Form->lvFiles);
    {
        TMenuAnswer Answer(-1);
        PressKey(Form->lvFiles, VK_APPS);  // nothing selected
        SendMessageW(Form->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Form->lvFiles), MAKELPARAM(100, 100));
        Pump();
        EXPECT_FALSE(Answer.Shown());
    }
    ListView_SetItemState(Form->lvFiles, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    {
        TMenuAnswer Answer(-1);
        TModifierScope Control(ssCtrl);
        PressKey(Form->lvFiles, VK_F10);
        Pump();
        EXPECT_FALSE(Answer.Shown());
    }
    {
        TMenuAnswer Answer(-1);  // closed with Esc: nothing runs
        PressKey(Form->lvFiles, VK_APPS);
        EXPECT_TRUE(Answer.Shown());
    }
    {
        SendMessageW(Form->btnSearch, BM_CLICK, 0, 0);
        ASSERT_TRUE(Form->Run.WorkInProgress);
        TMenuAnswer Answer(-1);
        ListView_SetItemState(Form->lvFiles, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        Form->lvFilesContextPopup(POINT{100, 100}, false);
        EXPECT_FALSE(Answer.Shown());
        ASSERT_TRUE(WaitForRunEnd(*Form));
    }
    EXPECT_TRUE(StartedCommandLines.empty());
    SetCommandLineRunner(nullptr);
}

}  // namespace
