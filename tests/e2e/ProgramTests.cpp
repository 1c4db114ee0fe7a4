// The window program as a whole: started with command lines, closed as a user
// closes it, its settings file read afterwards.
#include "TempFolder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// Control identifiers of the main window.
constexpr int IdFolderLabel = 101;
constexpr int IdFolder = 102;
constexpr int IdFilters = 106;
constexpr int IdSearch = 109;

std::wstring ProgramPath() {
    // The build gives the host path; Wine shows the host's root as drive Z:.
    std::wstring Path = Wide(QV_PROGRAM);
    if (!Path.empty() && Path[0] == L'/') {
        for (wchar_t& C : Path)
            if (C == L'/') C = L'\\';
        Path = L"Z:" + Path;
    }
    return Path;
}

// WM_GETTEXT, which the system carries across processes (GetWindowText would
// not ask an edit box of another process).
std::wstring TextOf(HWND Window) {
    wchar_t Buffer[512] = L"";
    DWORD_PTR Result = 0;
    SendMessageTimeoutW(Window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(Buffer), SMTO_BLOCK, 5000, &Result);
    return Buffer;
}

struct TFind {
    DWORD ProcessId;
    const wchar_t* ClassName;
    HWND Found;
};

BOOL CALLBACK FindWindowOf(HWND Window, LPARAM Data) {
    auto* Find = reinterpret_cast<TFind*>(Data);
    DWORD ProcessId = 0;
    GetWindowThreadProcessId(Window, &ProcessId);
    wchar_t ClassName[64] = L"";
    GetClassNameW(Window, ClassName, 64);
    if (ProcessId == Find->ProcessId && IsWindowVisible(Window) && std::wstring(ClassName) == Find->ClassName) {
        Find->Found = Window;
        return FALSE;
    }
    return TRUE;
}

// One run of a private copy of the program in its own folder.
class TProgram {
public:
    TProgram() : FExe(FFolder.Path() + L"Quorvane.exe") {
        EXPECT_TRUE(CopyFileW(ProgramPath().c_str(), FExe.c_str(), FALSE)) << "no program at " << QV_PROGRAM;
    }
    ~TProgram() {
        if (FProcess.hProcess) {
            TerminateProcess(FProcess.hProcess, 1);
            WaitForSingleObject(FProcess.hProcess, 10000);
            CloseHandle(FProcess.hProcess);
            CloseHandle(FProcess.hThread);
        }
    }

    // Starts the program and waits for its main window.
    HWND Start(const std::wstring& Arguments) {
        std::wstring CommandLine = L"\"" + FExe + L"\" " + Arguments;
        STARTUPINFOW Startup{};
        Startup.cb = sizeof(Startup);
        if (!CreateProcessW(FExe.c_str(), CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, FFolder.Path().c_str(),
                            &Startup, &FProcess))
            return nullptr;
        FWindow = WaitForWindow(L"TfrmMain");
        return FWindow;
    }

    HWND WaitForWindow(const wchar_t* ClassName) {
        for (int i = 0; i < 600; ++i) {
            TFind Find{FProcess.dwProcessId, ClassName, nullptr};
            EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&Find));
            if (Find.Found) return Find.Found;
            if (WaitForSingleObject(FProcess.hProcess, 50) == WAIT_OBJECT_0) return nullptr;
        }
        return nullptr;
    }

    // True when the program has ended by itself within the time.
    bool WaitForEnd(DWORD Milliseconds = 30000) {
        bool Ended = WaitForSingleObject(FProcess.hProcess, Milliseconds) == WAIT_OBJECT_0;
        if (Ended) {
            CloseHandle(FProcess.hProcess);
            CloseHandle(FProcess.hThread);
            FProcess = PROCESS_INFORMATION{};
        }
        return Ended;
    }

    bool Close() {
        PostMessageW(FWindow, WM_CLOSE, 0, 0);
        return WaitForEnd();
    }

    std::string ReadSettings() const { return ReadFileBytes(FFolder.Path() + L"Quorvane.INI").Bytes; }
    void WriteSettings(const std::string& Content) const { FFolder.WriteFile(L"Quorvane.INI", Content); }
    std::vector<std::string> SettingsLines() const {
        std::vector<std::string> Lines;
        std::istringstream Stream(ReadSettings());
        std::string Line;
        while (std::getline(Stream, Line)) {
            if (!Line.empty() && Line.back() == '\r') Line.pop_back();
            if (!Line.empty()) Lines.push_back(Line);
        }
        return Lines;
    }
    std::string Setting(const std::string& Key) const {
        for (const std::string& Line : SettingsLines())
            if (Line.rfind(Key + "=", 0) == 0) return Line.substr(Key.size() + 1);
        return "<missing>";
    }
    DWORD ThreadId() const { return FProcess.dwThreadId; }

private:
    TempFolder FFolder;
    std::wstring FExe;
    PROCESS_INFORMATION FProcess{};
    HWND FWindow = nullptr;
};

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
    std::vector<std::string> Keys;
    for (const std::string& Line : Program.SettingsLines()) Keys.push_back(Line.substr(0, Line.find('=')));
    EXPECT_EQ(Keys, (std::vector<std::string>{"[Main]", "Folder", "Recursive", "Filters", "CaseSensitive", "Editor",
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
