// The whole job done in the real program as a user does it: mouse clicks and
// typing through the X display (xdotool), a search, the export with F4, an
// apply, Ctrl+Q; then the exported list, the changed files and the settings.
// Esc typed into the text boxes leaves the program and the texts alone.
#include "ProgramSupport.h"
#include "ui/ControlIds.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {


bool WaitUntil(const std::function<bool()>& Condition, DWORD Milliseconds = 30000) {
    const ULONGLONG Deadline = GetTickCount64() + Milliseconds;
    while (!Condition()) {
        if (GetTickCount64() > Deadline) return false;
        Sleep(30);
    }
    return true;
}

// Runs xdotool (a Linux program, which Wine starts directly) and waits until it
// has done its work. Wine cannot wait for a Linux process, so a shell runs it and
// then leaves a mark in /tmp, for which this polls.
bool Xdotool(const std::wstring& Arguments) {
    static int Calls = 0;
    const std::wstring Mark =
        L"/tmp/qv-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++Calls) + L".done";
    const std::wstring WindowsMark = WinePath(Mark);
    std::wstring CommandLine = L"/bin/sh -c \"/usr/bin/xdotool " + Arguments + L"; : > " + Mark + L"\"";
    STARTUPINFOW Startup{};
    Startup.cb = sizeof(Startup);
    PROCESS_INFORMATION Process{};
    if (!CreateProcessW(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup, &Process))
        return false;
    CloseHandle(Process.hProcess);
    CloseHandle(Process.hThread);
    const bool Done =
        WaitUntil([&] { return GetFileAttributesW(WindowsMark.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000);
    DeleteFileW(WindowsMark.c_str());
    return Done;
}

void ClickOn(HWND Control) {
    RECT Bounds{};
    GetWindowRect(Control, &Bounds);
    Xdotool(L"mousemove --sync " + std::to_wstring((Bounds.left + Bounds.right) / 2) + L" " +
            std::to_wstring((Bounds.top + Bounds.bottom) / 2) + L" click 1");
}

// Text without quotes and not ending in a backslash.
void Type(const std::wstring& Text) { Xdotool(L"type --delay 15 '" + Text + L"'"); }
void Keys(const std::wstring& Keys) { Xdotool(L"key " + Keys); }

LRESULT Ask(HWND Window, UINT Message, WPARAM WParam = 0) {
    DWORD_PTR Result = 0;
    SendMessageTimeoutW(Window, Message, WParam, 0, SMTO_BLOCK, 5000, &Result);
    return static_cast<LRESULT>(Result);
}

// The text of a message box's message.
std::wstring BoxMessage(HWND Box) { return TextOf(GetDlgItem(Box, 0xFFFF)); }

TEST(ProgramAtWork, SearchExportApplyAndQuitAsAUserDoes) {
    TempFolder Data;
    const std::wstring A = Data.WriteFile(L"a.txt", Utf8Bom + "Hello world, hello!");
    const std::wstring B = Data.WriteFile(L"sub\\b.txt", "say hello");
    const std::wstring C = Data.WriteFile(L"sub\\c.log", "hello");
    const std::wstring D = Data.WriteFile(L"d.txt", "nothing");
    const std::wstring Folder = Data.Path().substr(0, Data.Path().size() - 1);  // typed without the backslash
    TempFolder Out;
    const std::wstring Export = Out.Path() + L"list.txt";

    // An editor is chosen: no question about one at start-up.
    TProgram Program("[Main]\r\nEditor=004E004F00540045005000410044\r\n");
    HWND Window = Program.Start();
    ASSERT_TRUE(Window);
    ASSERT_TRUE(WaitUntil([&] { return TextOf(Window) == L"Quorvane 1.70 (Auto)"; }));

    // The search: folder, sub-folders, any letter case, the text.
    ClickOn(GetDlgItem(Window, IdFolder));
    Type(Folder);
    ClickOn(GetDlgItem(Window, IdRecursive));
    ClickOn(GetDlgItem(Window, IdCaseSensitive));
    ClickOn(GetDlgItem(Window, IdTextToFind));
    Type(L"hello");
    ASSERT_EQ(TextOf(GetDlgItem(Window, IdFolder)), Folder);
    ASSERT_EQ(Ask(GetDlgItem(Window, IdRecursive), BM_GETCHECK), BST_CHECKED);
    ASSERT_EQ(Ask(GetDlgItem(Window, IdCaseSensitive), BM_GETCHECK), BST_UNCHECKED);
    ClickOn(GetDlgItem(Window, IdSearch));
    ASSERT_TRUE(WaitUntil([&] {
        return Ask(GetDlgItem(Window, IdFiles), LVM_GETITEMCOUNT) == 2 && TextOf(Window) == L"Quorvane 1.70 (Auto)" &&
               IsWindowEnabled(GetDlgItem(Window, IdSearch));
    })) << "items " << Ask(GetDlgItem(Window, IdFiles), LVM_GETITEMCOUNT);
    EXPECT_EQ(TextOf(GetDlgItem(Window, IdFilesLabel)), L"Files: (2 | 3)");
    EXPECT_EQ(Program.Box(), nullptr);  // files were listed: no message

    // F4: the save dialog takes the typed name; the program says it is done.
    Keys(L"F4");
    HWND Dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (Dialog = Program.Box()) != nullptr; }));
    EXPECT_EQ(TextOf(Dialog), L"Export file list");
    Type(Export.substr(0, Export.size() - 4));  // the dialog adds ".TXT"
    Keys(L"Return");
    HWND Box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (Box = Program.Box()) != nullptr && Box != Dialog; }));
    EXPECT_EQ(BoxMessage(Box), L"The file list is now exported.");
    Keys(L"Return");
    ASSERT_TRUE(WaitUntil([&] { return Program.Box() == nullptr; }));

    // The apply: the replacement, the question answered with Yes, the result.
    ClickOn(GetDlgItem(Window, IdReplaceWith));
    Type(L"bye");
    ClickOn(GetDlgItem(Window, IdApply));
    ASSERT_TRUE(WaitUntil([&] { return (Box = Program.Box()) != nullptr; }));
    EXPECT_EQ(BoxMessage(Box), L"Continue?");
    ClickOn(GetDlgItem(Box, IDYES));
    HWND Question = Box;
    ASSERT_TRUE(WaitUntil([&] { return (Box = Program.Box()) != nullptr && Box != Question; }));
    EXPECT_EQ(BoxMessage(Box), L"Done. Number of files that were changed: 2. In total 3 replacement(s).");
    ClickOn(GetDlgItem(Box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return Program.Box() == nullptr; }));
    EXPECT_EQ(TextOf(GetDlgItem(Window, IdTextToFind)), L"");
    EXPECT_EQ(TextOf(GetDlgItem(Window, IdReplaceWith)), L"");
    EXPECT_EQ(Ask(GetDlgItem(Window, IdFiles), LVM_GETITEMCOUNT), 0);

    Keys(L"ctrl+q");
    ASSERT_TRUE(Program.WaitForEnd());

    // The list as it was shown, UTF-8 with its mark, no break after the last line.
    EXPECT_EQ(ReadFileBytes(Export).Bytes,
              Utf8Bom + Narrow(Folder + L"\\a.txt (2)\r\n" + Folder + L"\\sub\\b.txt (1)"));
    // The changed files keep their encodings; the others are untouched.
    EXPECT_EQ(ReadFileBytes(A).Bytes, Utf8Bom + "bye world, bye!");
    EXPECT_EQ(ReadFileBytes(B).Bytes, "say bye");
    EXPECT_EQ(ReadFileBytes(C).Bytes, "hello");
    EXPECT_EQ(ReadFileBytes(D).Bytes, "nothing");
    WIN32_FIND_DATAW Found;
    HANDLE Find = FindFirstFileW((Data.Path() + L"*.TMP").c_str(), &Found);
    EXPECT_EQ(Find, INVALID_HANDLE_VALUE) << "a temporary file was left";
    if (Find != INVALID_HANDLE_VALUE) FindClose(Find);
    // What the user set is stored; the texts are not.
    EXPECT_EQ(Program.Setting("Folder"), HexUnits(Folder, ""));
    EXPECT_EQ(Program.Setting("Recursive"), "1");
    EXPECT_EQ(Program.Setting("Filters"), HexUnits(L"*.TXT", ""));
    EXPECT_EQ(Program.Setting("CaseSensitive"), "0");
    EXPECT_EQ(Program.Setting("Editor"), HexUnits(L"NOTEPAD", ""));
    EXPECT_EQ(Program.Setting("TextEncoding"), "0");
}

// Keys are handled in the order typed, and a close asked for by Esc would come
// before the next key: text typed after Esc shows that the program read the Esc
// and stayed open.
TEST(ProgramAtWork, EscInTheTextBoxesKeepsTheProgramAndTheTexts) {
    TProgram Program("[Main]\r\nEditor=004E004F00540045005000410044\r\n");
    HWND Window = Program.Start();
    ASSERT_TRUE(Window);
    ASSERT_TRUE(WaitUntil([&] { return TextOf(Window) == L"Quorvane 1.70 (Auto)"; }));
    for (int Id : {IdTextToFind, IdReplaceWith}) {
        SCOPED_TRACE(testing::Message() << "box " << Id);
        HWND Box = GetDlgItem(Window, Id);
        ClickOn(Box);
        Type(L"hello");
        Keys(L"Escape");
        Type(L" again");
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(Window) || TextOf(Box) == L"hello again"; }));
        ASSERT_TRUE(IsWindow(Window)) << "Esc closed the program";
        EXPECT_EQ(Program.Box(), nullptr);
    }
    EXPECT_EQ(TextOf(GetDlgItem(Window, IdTextToFind)), L"hello again");
    EXPECT_EQ(TextOf(GetDlgItem(Window, IdReplaceWith)), L"hello again");
    Keys(L"ctrl+q");
    ASSERT_TRUE(Program.WaitForEnd());
}

}  // namespace
