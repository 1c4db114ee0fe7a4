// The folder box's conveniences: a folder or a file dropped on the window, and
// path completion with the folders of the file system.
#include "CommandsTestSupport.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <ole2.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A WM_DROPFILES as Explorer posts it: a movable global block holding a
// DROPFILES header and the wide paths, each ended by a NUL, with a NUL after the
// last. The window frees it.
HGLOBAL DropOf(const std::vector<std::wstring>& Paths) {
    std::wstring List;
    for (const std::wstring& Path : Paths) List += Path + L'\0';
    List += L'\0';
    const size_t Bytes = sizeof(DROPFILES) + List.size() * sizeof(wchar_t);
    HGLOBAL Block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, Bytes);
    if (!Block) return nullptr;
    auto* Header = static_cast<DROPFILES*>(GlobalLock(Block));
    Header->pFiles = sizeof(DROPFILES);
    Header->fWide = TRUE;
    std::memcpy(reinterpret_cast<BYTE*>(Header) + sizeof(DROPFILES), List.data(), List.size() * sizeof(wchar_t));
    GlobalUnlock(Block);
    return Block;
}

class FolderBox : public testing::Test, protected TCommandWindowTest {
protected:
    void Drop(const std::vector<std::wstring>& Paths) {
        HGLOBAL Block = DropOf(Paths);
        ASSERT_NE(Block, nullptr);
        ASSERT_TRUE(PostMessageW(Form->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(Block), 0));
        Pump();
    }
};

TEST_F(FolderBox, ADroppedFolderOrFileSetsTheFolderAndEmptiesTheList) {
    const std::wstring Sub = Fixture.MakeFolder(L"dropped");
    const std::wstring File = Fixture.WriteFile(L"other\\note.txt", "x");
    std::wstring SubFolder = Sub;
    if (SubFolder.back() == L'\\') SubFolder.pop_back();
    struct {
        const char* Name;
        std::vector<std::wstring> Items;
        std::wstring Folder;
    } Cases[] = {
        {"a folder", {SubFolder}, SubFolder},
        {"a file: its folder", {File}, Fixture.Path() + L"other"},
        {"several: the first", {SubFolder, File}, SubFolder},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        SetInputs(L"C:\\before", L"*.TXT", L"", L"", true);
        Form->AppendFileItem(L"a.txt", L"1");
        Drop(Case.Items);
        EXPECT_EQ(TextOf(Form->txtFolder), Case.Folder);
        EXPECT_EQ(Form->FileItemCount(), 0);
        EXPECT_EQ(TextOf(Form->lblFiles), L"Files: (0 | #)");
    }
}

TEST_F(FolderBox, ADropDuringARunIsIgnored) {
    for (int i = 0; i < 200; ++i) Fixture.WriteFile(L"many\\f" + std::to_wstring(i) + L".txt", "x");
    const std::wstring Other = Fixture.MakeFolder(L"other");
    SetInputs(Fixture.Path() + L"many", L"*.txt", L"x", L"", true);
    SendMessageW(Form->btnSearch, BM_CLICK, 0, 0);
    ASSERT_TRUE(Form->Run.WorkInProgress);
    HGLOBAL Block = DropOf({Other});
    ASSERT_NE(Block, nullptr);
    // Handled at once, while the run still goes on.
    SendMessageW(Form->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(Block), 0);
    EXPECT_TRUE(Form->Run.WorkInProgress);
    ASSERT_TRUE(WaitForRunEnd(*Form));
    EXPECT_EQ(TextOf(Form->txtFolder), Fixture.Path() + L"many");
    EXPECT_EQ(Form->FileItemCount(), 200);
}

// With path completion attached (COM on the thread, as the program has it) the
// folder box still types as before and Ctrl+A still selects the whole path.
// (Wine's SHAutoComplete attaches nothing, so the list of folders itself is
// seen only on Windows.)
TEST(FolderBoxCompletion, TheBoxTypesAndSelectsAllAsBefore) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    {
        TCommandWindowTest Test;
        Test.Fixture.MakeFolder(L"alpha");
        TfrmMain& Form = *Test.Form;
        SetWindowTextW(Form.txtFolder, L"");
        SetFocus(Form.txtFolder);
        const std::wstring Typed = Test.Fixture.Path() + L"alp";
        for (wchar_t C : Typed) PostMessageW(Form.txtFolder, WM_CHAR, C, 1);
        Pump();
        EXPECT_EQ(TextOf(Form.txtFolder).substr(0, Typed.size()), Typed);

        SetWindowTextW(Form.txtFolder, L"C:\\some\\folder");
        SendMessageW(Form.txtFolder, EM_SETSEL, 3, 3);
        {
            TModifierScope Control(ssCtrl);
            PressKey(Form.txtFolder, 'A');
        }
        DWORD Start = 0, End = 0;
        SendMessageW(Form.txtFolder, EM_GETSEL, reinterpret_cast<WPARAM>(&Start), reinterpret_cast<LPARAM>(&End));
        EXPECT_EQ(Start, 0u);
        EXPECT_EQ(End, 14u);
        EXPECT_EQ(TextOf(Form.txtFolder), L"C:\\some\\folder");
    }
    OleUninitialize();
}

}  // namespace
