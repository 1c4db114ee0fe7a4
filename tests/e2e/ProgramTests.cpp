// The window program as a whole: started with command lines, closed as a user
// closes it, its settings file read afterwards.
#include "ProgramSupport.h"
#include "ui/ControlIds.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

void PressKeys(std::initializer_list<WORD> Keys) {
    std::vector<INPUT> Inputs;
    for (WORD Key : Keys) {
        INPUT Down{};
        Down.type = INPUT_KEYBOARD;
        Down.ki.wVk = Key;
        Inputs.push_back(Down);
    }
    for (auto Key = std::rbegin(Keys); Key != std::rend(Keys); ++Key) {
        INPUT Up{};
        Up.type = INPUT_KEYBOARD;
        Up.ki.wVk = *Key;
        Up.ki.dwFlags = KEYEVENTF_KEYUP;
        Inputs.push_back(Up);
    }
    SendInput(static_cast<UINT>(Inputs.size()), Inputs.data(), sizeof(INPUT));
}

HWND FocusOf(DWORD ThreadId) {
    GUITHREADINFO Info{};
    Info.cbSize = sizeof(Info);
    return GetGUIThreadInfo(ThreadId, &Info) ? Info.hwndFocus : nullptr;
}

TEST(Program, FirstStartShowsTheEnglishWindowAndStoresEveryKeyAtExit) {
    TProgram Program;
    HWND Window = Program.Start(L"");
    ASSERT_TRUE(Window);
    EXPECT_EQ(TextOf(Window), L"Quorvane 1.70 (Auto)");
    EXPECT_EQ(TextOf(GetDlgItem(Window, IdSearch)), L"Search");
    EXPECT_EQ(TextOf(GetDlgItem(Window, IdFilters)), L"*.TXT");
    EXPECT_EQ(GetWindow(Window, GW_OWNER), nullptr);  // its own task-bar button
    EXPECT_TRUE(GetWindowLongPtrW(Window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    ASSERT_TRUE(Program.Close());
    EXPECT_EQ(KeysOf(Program.SettingsLines()),
              (std::vector<std::string>{"[Main]", "Folder", "Recursive", "Filters", "CaseSensitive", "Editor",
                                        "TextEncoding", "Left", "Top", "Width", "Height", "Maximized"}));
    EXPECT_EQ(Program.Setting("TextEncoding"), "0");
    EXPECT_EQ(Program.Setting("Width"), "800");
}

TEST(Program, AnEncodingSwitchIsStoredAndTheNextStartKeepsIt) {
    TProgram Program;
    HWND Window = Program.Start(L"/UTF8");
    ASSERT_TRUE(Window);
    EXPECT_EQ(TextOf(Window), L"Quorvane 1.70 (UTF-8)");
    ASSERT_TRUE(Program.Close());
    EXPECT_EQ(Program.Setting("TextEncoding"), "3");
    Window = Program.Start(L"");
    ASSERT_TRUE(Window);
    EXPECT_EQ(TextOf(Window), L"Quorvane 1.70 (UTF-8)");
    ASSERT_TRUE(Program.Close());
}

TEST(Program, AnsiWinsOverUtf8WhateverTheOrderAndCase) {
    TProgram Program;
    HWND Window = Program.Start(L"/utf8 /Ansi");
    ASSERT_TRUE(Window);
    EXPECT_EQ(TextOf(Window), L"Quorvane 1.70 (ANSI)");
    ASSERT_TRUE(Program.Close());
    EXPECT_EQ(Program.Setting("TextEncoding"), "1");
}

TEST(Program, SwedishByItsSwitch) {
    TProgram Program;
    HWND Window = Program.Start(L"/SWEDISH");
    ASSERT_TRUE(Window);
    EXPECT_EQ(TextOf(GetDlgItem(Window, IdSearch)), Wide("Sök"));
    EXPECT_EQ(TextOf(GetDlgItem(Window, IdFolderLabel)), L"Mapp:");
    ASSERT_TRUE(Program.Close());
}

TEST(Program, F1ShowsTheShortcutsAndTheFocusReturnsThenCtrlQQuits) {
    TProgram Program;
    HWND Window = Program.Start(L"");
    ASSERT_TRUE(Window);
    SetForegroundWindow(Window);
    for (int i = 0; i < 100 && FocusOf(Program.ThreadId()) != GetDlgItem(Window, IdFolder); ++i) Sleep(20);
    ASSERT_EQ(FocusOf(Program.ThreadId()), GetDlgItem(Window, IdFolder));

    PressKeys({VK_F1});
    HWND Box = Program.WaitForWindow(L"#32770");
    ASSERT_TRUE(Box);
    EXPECT_EQ(TextOf(Box), L"Keyboard shortcuts");
    PostMessageW(Box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 200 && FocusOf(Program.ThreadId()) != GetDlgItem(Window, IdFolder); ++i) Sleep(20);
    EXPECT_EQ(FocusOf(Program.ThreadId()), GetDlgItem(Window, IdFolder));

    SetForegroundWindow(Window);
    PressKeys({VK_CONTROL, 'Q'});
    ASSERT_TRUE(Program.WaitForEnd());
    EXPECT_EQ(Program.Setting("Maximized"), "0");
}

}  // namespace
