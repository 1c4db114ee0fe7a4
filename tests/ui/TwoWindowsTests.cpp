// Two main windows in one process: each holds its own inputs, list, encoding
// mode, title and run, and one closing leaves the other working.
#include "CommandsTestSupport.h"

#include "ui/WindowHelpers.h"

#include <gtest/gtest.h>

namespace {

void SetFolderAndText(TfrmMain& Form, const std::wstring& Folder, const std::wstring& TextToFind) {
    SetWindowTextW(Form.txtFolder, Folder.c_str());
    SetWindowTextW(Form.txtFilters, L"*.txt");
    SetWindowTextW(Form.txtTextToFind, TextToFind.c_str());
    TfrmMain::SetChecked(Form.cbRecursive, true);
    Pump();
}

TEST(TwoMainWindows, EachKeepsItsOwnStateAndRunAndOutlivesTheOther) {
    WriteSettingsFile("[Main]\r\nEditor=004E004F00540045005000410044\r\n");
    TempFolder Fixture;
    // Enough files that the first window's rows arrive in several updates.
    for (int i = 0; i < 300; ++i) Fixture.WriteFile(L"many\\f" + std::to_wstring(1000 + i) + L".txt", "x");
    Fixture.WriteFile(L"other\\y.txt", "yy");

    auto First = OpenMainWindow();
    auto Second = OpenMainWindow();
    ASSERT_NE(First->Handle(), Second->Handle());
    const std::wstring Title = First->Caption();
    EXPECT_EQ(Second->Caption(), Title);

    SetFolderAndText(*Second, Fixture.Path() + L"other", L"y");
    Second->AppendFileItem(L"kept.txt", L"7");
    // F8 in the second window: its mode and title change, the first's do not.
    PressKey(Second->txtFolder, VK_F8);
    EXPECT_EQ(StoredEncodingMode(Second->CurrentEncodingMode), 1);
    EXPECT_EQ(StoredEncodingMode(First->CurrentEncodingMode), 0);
    EXPECT_EQ(First->Caption(), Title);
    EXPECT_NE(Second->Caption(), Title);
    const std::wstring SecondCaption = Second->Caption();

    // A search in the first window runs there only.
    SetFolderAndText(*First, Fixture.Path() + L"many", L"x");
    SendMessageW(First->btnSearch, BM_CLICK, 0, 0);
    EXPECT_TRUE(First->Run.WorkInProgress);
    EXPECT_FALSE(Second->Run.WorkInProgress);
    EXPECT_FALSE(IsWindowEnabled(First->btnSearch));
    EXPECT_TRUE(IsWindowEnabled(Second->btnSearch));
    EXPECT_TRUE(IsWindowEnabled(Second->txtFolder));
    ASSERT_TRUE(WaitForRunEnd(*First));
    EXPECT_EQ(First->FileItemCount(), 300);
    EXPECT_EQ(TextOf(First->lblFiles), L"Files: (300 | 300)");
    EXPECT_EQ(Second->FileItemCount(), 1);
    EXPECT_EQ(Second->FileItem(0).Caption, L"kept.txt");
    EXPECT_EQ(TextOf(Second->txtFolder), Fixture.Path() + L"other");
    EXPECT_EQ(Second->Caption(), SecondCaption);

    // The first closes; the second still runs its own search.
    First.reset();
    EXPECT_FALSE(Second->Terminated());
    ASSERT_NE(Second->Handle(), nullptr);
    SendMessageW(Second->btnSearch, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitForRunEnd(*Second));
    ASSERT_EQ(Second->FileItemCount(), 1);
    EXPECT_EQ(Second->FileItem(0).Caption, L"y.txt");
    EXPECT_EQ(Second->FileItem(0).CountText, L"2");
    EXPECT_FALSE(BusyCursorShown());
    Second.reset();
    DeleteSettingsFile();
}

}  // namespace
