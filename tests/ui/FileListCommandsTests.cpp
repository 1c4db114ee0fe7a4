// The file list and the keyboard commands driven through the real window: F4
// export, F8 encoding modes, F12 editor choice, opening a listed file, the list
// following the folder box, Ctrl+A and the folder dialog.
#include "CommandsTestSupport.h"

#include "base/UniqueHandle.h"
#include "files/LongPath.h"
#include "platform/Messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The recorder writes its command line (UTF-16) to QV_RECORD_FILE.
std::wstring WaitForRecord(const std::wstring& Record) {
    for (int i = 0; i < 1000 && !PathExists(Record); ++i) {
        ProcessMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return FromUtf16LE(ReadFileBytes(Record).Bytes);
}

class FileListCommands : public testing::Test, protected TCommandWindowTest {
protected:
    // Lists Folder's *.TXT files (all of them for an empty text) through the Search command.
    void Search(const std::wstring& Folder, const std::wstring& TextToFind) {
        SetInputs(Folder, L"*.TXT", TextToFind, L"", true);
        Click(Form->btnSearch);
        ASSERT_TRUE(WaitForRunEnd(*Form));
    }
    // F-keys are pressed in a control; the window sees them first.
    void Press(WORD Key) { PressKey(Form->txtFilters, Key); }
    LocaleScope FLanguage{EnglishLocale};
};

TEST_F(FileListCommands, F8CyclesTheModesAndTheTitleAndLeavesAnUnknownModeAlone) {
    const std::wstring Base = L"Quorvane 1.70";
    const wchar_t* Titles[] = {L"Quorvane 1.70 (ANSI)", L"Quorvane 1.70 (UTF-16/LE)", L"Quorvane 1.70 (UTF-8)",
                               L"Quorvane 1.70 (Auto)"};
    ASSERT_EQ(Form->Caption(), L"Quorvane 1.70 (Auto)");
    for (std::int32_t i = 0; i < 4; ++i) {
        Press(VK_F8);
        EXPECT_EQ(StoredEncodingMode(Form->CurrentEncodingMode), (i + 1) % 4);
        EXPECT_EQ(Form->Caption(), Titles[i]);
        EXPECT_EQ(Form->Title(), Titles[i]);
    }
    // A mode from an edited settings file has no label and no successor.
    Form->CurrentEncodingMode = EncodingModeFromStored(7);
    Form->SetTitle(Base);
    Press(VK_F8);
    EXPECT_EQ(StoredEncodingMode(Form->CurrentEncodingMode), 7);
    EXPECT_EQ(Form->Caption(), Base);
    // During a run the keys do nothing.
    Form->CurrentEncodingMode = EncodingModeFromStored(2);
    Form->ComposeModeTitle();
    Form->Run.WorkInProgress = true;
    TBoxWatcher Boxes;
    for (WORD Key : {VK_F8, VK_F4, VK_F12}) Press(Key);
    Form->Run.WorkInProgress = false;
    EXPECT_EQ(StoredEncodingMode(Form->CurrentEncodingMode), 2);
    EXPECT_TRUE(Boxes.Boxes().empty()) << BoxTexts(Boxes);
}

TEST_F(FileListCommands, TheKeysWithAModifierDoNothingAndAltF4ClosesWithoutExporting) {
    Form->AppendFileItem(L"a.txt", L"1");  // F4 would export
    Form->EditorPath = L"NOTEPAD";
    const std::wstring Caption = Form->Caption();
    TBoxWatcher Boxes;
    // A dialog that should not have come is cancelled (and recorded).
    for (int i = 0; i < 40; ++i) Boxes.Answer(IDCANCEL);
    for (TShiftState Shift : {TShiftState{ssShift}, TShiftState{ssCtrl}, TShiftState{ssAlt}, TShiftState{ssCtrl | ssShift},
                              TShiftState{ssCtrl | ssAlt}}) {
        for (WORD Key : {VK_F4, VK_F8, VK_F12}) {
            if (Key == VK_F4 && (Shift & ssAlt)) continue;  // closes the window: below
            SCOPED_TRACE(testing::Message() << "shift " << Shift << " key " << Key);
            TModifierScope Modifiers(Shift);
            Press(Key);
            EXPECT_EQ(StoredEncodingMode(Form->CurrentEncodingMode), 0);
            EXPECT_EQ(Form->Caption(), Caption);
            EXPECT_EQ(Form->EditorPath, L"NOTEPAD");
            EXPECT_TRUE(Boxes.Boxes().empty()) << BoxTexts(Boxes);
        }
    }
    {
        TModifierScope Modifiers(ssAlt);
        Press(VK_F4);
    }
    for (int i = 0; i < 100 && Form->Handle(); ++i) {
        ProcessMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    EXPECT_EQ(Form->Handle(), nullptr);
    EXPECT_TRUE(Boxes.Boxes().empty()) << BoxTexts(Boxes);
}

TEST_F(FileListCommands, AnEmptyListCannotBeExportedInEitherLanguage) {
    for (bool Swedish : {true, false}) {
        LocaleScope Language(LanguageLocale(Swedish));
        TBoxWatcher Boxes;
        Press(VK_F4);
        ASSERT_EQ(Boxes.Boxes().size(), 1u);
        EXPECT_EQ(Boxes.Boxes()[0].Text, Swedish ? Wide("Fillistan är tom.") : L"The file list is empty.");
    }
}

TEST_F(FileListCommands, AChangedFolderEmptiesTheListAndResetsTheLabel) {
    Fixture.WriteFile(L"a.txt", "x");
    Search(Fixture.Path(), L"x");
    ASSERT_EQ(Form->FileItemCount(), 1);
    ASSERT_EQ(TextOf(Form->lblFiles), L"Files: (1 | 1)");
    // One character typed at the end.
    SendMessageW(Form->txtFolder, EM_SETSEL, 1000, 1000);
    SendMessageW(Form->txtFolder, WM_CHAR, L'x', 1);
    Pump();
    EXPECT_EQ(Form->FileItemCount(), 0);
    EXPECT_EQ(ListView_GetItemCount(Form->lvFiles), 0);
    EXPECT_EQ(TextOf(Form->lblFiles), L"Files: (0 | #)");
    TBoxWatcher Boxes;
    Press(VK_F4);
    ASSERT_EQ(Boxes.Boxes().size(), 1u);
    EXPECT_EQ(Boxes.Boxes()[0].Text, L"The file list is empty.");
}

TEST_F(FileListCommands, AnApplyLeavesNothingToExport) {
    Fixture.WriteFile(L"a.txt", "abc");
    Search(Fixture.Path(), L"abc");
    ASSERT_EQ(Form->FileItemCount(), 1);
    SetInputs(Fixture.Path(), L"*.TXT", L"abc", L"x", true);
    TBoxWatcher Boxes;
    Boxes.Answer(IDYES);
    Click(Form->btnApply);
    ASSERT_TRUE(WaitForRunEnd(*Form));
    Press(VK_F4);
    ASSERT_EQ(Boxes.Boxes().size(), 3u) << BoxTexts(Boxes);
    EXPECT_EQ(Boxes.Boxes()[2].Text, L"The file list is empty.");
}

// The export in both languages: the lines as listed, joined by CR LF without a
// final break, UTF-8 with its mark; an existing file is replaced after the
// dialog's question; a file that cannot be written is reported.
TEST_F(FileListCommands, F4ExportsTheListAsListed) {
    const std::wstring Folder = Fixture.MakeFolder(Wide("Mapp å"));
    Fixture.WriteFile(Wide("Mapp å\\a.txt"), "");
    Fixture.WriteFile(Wide("Mapp å\\sub\\b.txt"), std::string(1234, 'x'));
    const std::wstring Export = Fixture.Path() + L"export.txt";
    const std::wstring FolderText = Folder.substr(0, Folder.size() - 1);  // typed without the backslash

    struct {
        bool Swedish;
        const wchar_t* TextToFind;
        std::wstring Expected;
        std::vector<int> Answers;  // save dialog, overwrite question
    } Exports[] = {
        {true, L"", Folder + L"a.txt (N/A)\r\n" + Folder + L"sub\\b.txt (N/A)", {IDOK}},
        {false, L"x", Folder + L"sub\\b.txt (" + FormatCount(1234) + L")", {IDOK, IDYES}},
    };
    for (const auto& Case : Exports) {
        SCOPED_TRACE(Case.Swedish ? "Swedish" : "English");
        LocaleScope Language(LanguageLocale(Case.Swedish));
        Search(FolderText, Case.TextToFind);
        Form->sdTXT.FileName = Export;  // as if typed into the dialog
        TBoxWatcher Boxes;
        for (int Answer : Case.Answers) Boxes.Answer(Answer);
        Press(VK_F4);
        // The save dialog, for an existing file the question (after which the
        // dialog is active once more), then the message.
        ASSERT_GE(Boxes.Boxes().size(), Case.Answers.size() + 1) << BoxTexts(Boxes);
        EXPECT_EQ(Boxes.Boxes()[0].Caption, L"Export file list");  // the window's language
        EXPECT_EQ(Boxes.Boxes().size() > 2, Case.Answers.size() > 1) << BoxTexts(Boxes);
        EXPECT_EQ(Boxes.Boxes().back().Text,
                  Case.Swedish ? Wide("Fillistan är nu exporterad.") : L"The file list is now exported.");
        EXPECT_EQ(ReadFileBytes(Export).Bytes, Utf8Bom + Narrow(Case.Expected));
        EXPECT_EQ(Form->sdTXT.FileName, L"");
    }

    // Cancelling the dialog writes nothing.
    const std::string Before = ReadFileBytes(Export).Bytes;
    {
        TBoxWatcher Boxes;
        Boxes.Answer(IDCANCEL);
        Press(VK_F4);
        EXPECT_EQ(Boxes.Boxes().size(), 1u) << BoxTexts(Boxes);
    }
    // A file held open by another program cannot be replaced: an error, never "exported".
    Form->AppendFileItem(L"more.txt", L"1");
    for (bool Swedish : {true, false}) {
        LocaleScope Language(LanguageLocale(Swedish));
        UniqueFile Holder(
            CreateFileW(ExtendedPath(Export).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(Holder.Valid());
        Form->sdTXT.FileName = Export;
        TBoxWatcher Boxes;
        Boxes.Answer(IDOK);
        Boxes.Answer(IDYES);
        Press(VK_F4);
        ASSERT_GE(Boxes.Boxes().size(), 3u) << BoxTexts(Boxes);
        EXPECT_EQ(Boxes.Boxes().back().Text, Swedish ? Wide("Fillistan kunde inte exporteras.")
                                                 : L"The file list could not be exported.");
        Holder.Reset();
        EXPECT_EQ(ReadFileBytes(Export).Bytes, Before);
    }
    // A read-only file is not replaced either: the error, and its bytes as they were.
    {
        LocaleScope Language(EnglishLocale);
        ASSERT_TRUE(SetAttributes(Export, FILE_ATTRIBUTE_READONLY));
        Form->sdTXT.FileName = Export;
        TBoxWatcher Boxes;
        Boxes.Answer(IDOK);
        Boxes.Answer(IDYES);
        Press(VK_F4);
        ASSERT_GE(Boxes.Boxes().size(), 2u) << BoxTexts(Boxes);
        EXPECT_EQ(Boxes.Boxes().back().Text, L"The file list could not be exported.");
        EXPECT_EQ(ReadFileBytes(Export).Bytes, Before);
        SetAttributes(Export, FILE_ATTRIBUTE_NORMAL);
    }
}

// Opening the selected file: the quoted editor and the quoted path, started by
// a double click or Enter, nothing without a selection.
TEST_F(FileListCommands, ASelectedFileOpensInTheEditor) {
    const std::wstring Recorder = TestProgramFolder() + L"qv_record_cmdline.exe";
    ASSERT_TRUE(PathExists(Recorder)) << "the command-line recorder of the platform tests is missing";
    Fixture.WriteFile(L"docs\\a.txt", "");
    Fixture.WriteFile(L"docs\\sub\\b.txt", "");
    const std::wstring Folder = Fixture.Path() + L"docs";
    Search(Folder, L"");
    ASSERT_EQ(Form->FileItemCount(), 2);
    Form->EditorPath = Recorder;
    auto Record = [&](const wchar_t* Name) {
        const std::wstring Path = Fixture.Path() + Name;
        SetEnvironmentVariableW(L"QV_RECORD_FILE", Path.c_str());
        return Path;
    };

    // No selection: Enter and a double click open nothing. Tab into the list marks
    // the first row as focused without selecting it.
    const std::wstring Nothing = Record(L"nothing.rec");
    SetFocus(Form->btnApply);
    PressKey(Form->btnApply, VK_TAB);
    ASSERT_EQ(GetFocus(), Form->lvFiles);
    EXPECT_EQ(ListView_GetItemState(Form->lvFiles, 0, LVIS_FOCUSED | LVIS_SELECTED), static_cast<UINT>(LVIS_FOCUSED));
    EXPECT_EQ(Form->SelectedFileIndex(), -1);
    PressKey(Form->lvFiles, VK_RETURN);
    RECT Row{};
    ListView_GetItemRect(Form->lvFiles, 1, &Row, LVIR_LABEL);
    const LPARAM RowPoint = MAKELPARAM(Row.left + 2, (Row.top + Row.bottom) / 2);
    RECT Empty{};
    GetClientRect(Form->lvFiles, &Empty);
    const LPARAM EmptyPoint = MAKELPARAM(Empty.right / 2, Empty.bottom - 2);  // below the rows
    SendMessageW(Form->lvFiles, WM_LBUTTONDBLCLK, MK_LBUTTON, EmptyPoint);
    SendMessageW(Form->lvFiles, WM_LBUTTONUP, 0, EmptyPoint);
    Pump();

    // A double click on the second row selects and opens it.
    const std::wstring Clicked = Record(L"clicked.rec");
    SendMessageW(Form->lvFiles, WM_LBUTTONDOWN, MK_LBUTTON, RowPoint);
    SendMessageW(Form->lvFiles, WM_LBUTTONUP, 0, RowPoint);
    SendMessageW(Form->lvFiles, WM_LBUTTONDBLCLK, MK_LBUTTON, RowPoint);
    SendMessageW(Form->lvFiles, WM_LBUTTONUP, 0, RowPoint);
    Pump();
    EXPECT_EQ(Form->SelectedFileIndex(), 1);
    EXPECT_EQ(WaitForRecord(Clicked), L"\"" + Recorder + L"\" \"" + Folder + L"\\sub\\b.txt\"");

    // Enter on the selected row; without a chosen editor the system's Notepad,
    // here a recorder named NOTEPAD.EXE found in the current folder.
    TempFolder Current;
    ASSERT_TRUE(CopyFileW(Recorder.c_str(), (Current.Path() + L"NOTEPAD.EXE").c_str(), FALSE));
    CurrentFolderScope InCurrent(Current.Path());
    Form->EditorPath.clear();
    ListView_SetItemState(Form->lvFiles, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    const std::wstring Entered = Record(L"entered.rec");
    PressKey(Form->lvFiles, VK_RETURN);
    EXPECT_EQ(WaitForRecord(Entered), L"\"NOTEPAD\" \"" + Folder + L"\\a.txt\"");
    SetEnvironmentVariableW(L"QV_RECORD_FILE", nullptr);
    // Started before the others, had it been started at all.
    EXPECT_FALSE(PathExists(Nothing));
}

// Ctrl+A pressed in the multi-line boxes: alone it selects all; with Shift or Alt
// it selects nothing and types nothing.
TEST_F(FileListCommands, CtrlAAloneSelectsAllOfTheMultiLineBox) {
    struct {
        TShiftState Shift;
        bool SelectsAll;
    } Cases[] = {{ssCtrl, true}, {ssCtrl | ssShift, false}, {ssCtrl | ssAlt, false}};
    for (HWND Box : {Form->txtTextToFind, Form->txtReplaceWith}) {
        for (const auto& Case : Cases) {
            SCOPED_TRACE(testing::Message() << (Box == Form->txtTextToFind ? "find" : "replace") << " shift "
                                            << Case.Shift);
            SetWindowTextW(Box, L"one\r\ntwo");
            SetFocus(Box);
            SendMessageW(Box, EM_SETSEL, 2, 2);
            {
                TModifierScope Modifiers(Case.Shift);
                PressKey(Box, 'A');
            }
            DWORD Start = 0, End = 0;
            SendMessageW(Box, EM_GETSEL, reinterpret_cast<WPARAM>(&Start), reinterpret_cast<LPARAM>(&End));
            EXPECT_EQ(Start, Case.SelectsAll ? 0u : 2u);
            EXPECT_EQ(End, Case.SelectsAll ? 8u : 2u);
            EXPECT_EQ(TextOf(Box), L"one\r\ntwo");
        }
    }
}

// Esc is no command of this window: in any box it leaves the window open, every
// text as typed, the caret where it was and the list as listed.
TEST_F(FileListCommands, EscInABoxDoesNothing) {
    const std::wstring Folder = Fixture.Path();
    SetInputs(Folder, L"*.TXT", L"one\r\ntwo", L"three\r\nfour", true);
    Form->AppendFileItem(L"a.txt", L"1");
    TBoxWatcher Boxes;
    for (HWND Box : {Form->txtFolder, Form->txtFilters, Form->txtTextToFind, Form->txtReplaceWith}) {
        SCOPED_TRACE(testing::Message() << "box " << GetDlgCtrlID(Box));
        SetFocus(Box);
        SendMessageW(Box, EM_SETSEL, 2, 2);
        PressKey(Box, VK_ESCAPE);
        ASSERT_NE(Form->Handle(), nullptr);
        ASSERT_TRUE(IsWindowVisible(Form->Handle()));
        EXPECT_EQ(GetFocus(), Box);
        DWORD Start = 0, End = 0;
        SendMessageW(Box, EM_GETSEL, reinterpret_cast<WPARAM>(&Start), reinterpret_cast<LPARAM>(&End));
        EXPECT_EQ(Start, 2u);
        EXPECT_EQ(End, 2u);
        EXPECT_EQ(TextOf(Form->txtFolder), Folder);
        EXPECT_EQ(TextOf(Form->txtFilters), L"*.TXT");
        EXPECT_EQ(TextOf(Form->txtTextToFind), L"one\r\ntwo");
        EXPECT_EQ(TextOf(Form->txtReplaceWith), L"three\r\nfour");
        EXPECT_EQ(Rows(), std::vector<std::wstring>{L"a.txt|1"});
    }
    EXPECT_TRUE(Boxes.Boxes().empty()) << BoxTexts(Boxes);
}

// The list follows the folder text, not every notification of its box: Ctrl+A
// (which the box reports as a change) and the same text set again keep the
// rows; a typed character, and the text typed back as it was, each empty it.
TEST_F(FileListCommands, TheListEmptiesOnlyWhenTheFolderTextChanges) {
    const std::wstring Folder = Fixture.Path();
    SetInputs(Folder, L"*.TXT", L"", L"", true);
    Form->AppendFileItem(L"a.txt", L"1");
    SetFocus(Form->txtFolder);
    SendMessageW(Form->txtFolder, EM_SETSEL, 2, 2);
    for (TShiftState Shift : {TShiftState{ssCtrl}, TShiftState{ssCtrl | ssShift}}) {
        TModifierScope Modifiers(Shift);
        PressKey(Form->txtFolder, 'A');
    }
    SendMessageW(Form->txtFolder, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Folder.c_str()));
    Pump();
    EXPECT_EQ(TextOf(Form->txtFolder), Folder);
    EXPECT_EQ(Rows(), std::vector<std::wstring>{L"a.txt|1"});

    SendMessageW(Form->txtFolder, EM_SETSEL, Folder.size(), Folder.size());
    PressKey(Form->txtFolder, 'X');
    ASSERT_EQ(TextOf(Form->txtFolder), Folder + L"x");
    EXPECT_EQ(Form->FileItemCount(), 0);
    EXPECT_EQ(TextOf(Form->lblFiles), L"Files: (0 | #)");
    Form->AppendFileItem(L"a.txt", L"1");
    PressKey(Form->txtFolder, VK_BACK);
    ASSERT_EQ(TextOf(Form->txtFolder), Folder);
    EXPECT_EQ(Form->FileItemCount(), 0);
    EXPECT_TRUE(Rows().empty());
}

// F12: the dialog starts at the chosen editor; OK takes the file, Cancel changes nothing.
TEST_F(FileListCommands, F12ChoosesTheEditor) {
    const std::wstring Recorder = TestProgramFolder() + L"qv_record_cmdline.exe";
    ASSERT_TRUE(PathExists(Recorder));
    for (bool Swedish : {true, false}) {
        LocaleScope Language(LanguageLocale(Swedish));
        Form->EditorPath = Recorder;
        Form->odEditor.FileName.clear();
        TBoxWatcher Boxes;
        Boxes.Answer(IDCANCEL);
        Press(VK_F12);
        ASSERT_EQ(Boxes.Boxes().size(), 1u);
        EXPECT_EQ(Boxes.Boxes()[0].Caption, L"Browse");  // the window's language
        EXPECT_EQ(Form->EditorPath, Recorder);
        EXPECT_EQ(Form->odEditor.FileName, Recorder);
    }
    // No editor yet: the dialog keeps its last file name, and OK takes it.
    Form->EditorPath.clear();
    TBoxWatcher Boxes;
    Boxes.Answer(IDOK);
    Press(VK_F12);
    ASSERT_EQ(Boxes.Boxes().size(), 1u);
    EXPECT_EQ(UpperCased(Form->EditorPath), UpperCased(Recorder));
}

// Browse: Cancel leaves the folder box and the list as they were; OK with the
// folder already chosen changes nothing either.
TEST_F(FileListCommands, TheFolderDialogFillsTheFolderBox) {
    const std::wstring Folder = Fixture.MakeFolder(L"Vald");
    const std::wstring Typed = Folder.substr(0, Folder.size() - 1);
    SetInputs(Typed, L"*.TXT", L"", L"", true);
    Form->AppendFileItem(L"a.txt", L"1");
    {
        TBoxWatcher Boxes;
        Boxes.Answer(IDCANCEL);
        Click(Form->btnBrowse);
        EXPECT_EQ(Boxes.Boxes().size(), 1u);
    }
    EXPECT_EQ(TextOf(Form->txtFolder), Typed);
    EXPECT_EQ(Form->FileItemCount(), 1);
    SetInputs(Folder, L"*.TXT", L"", L"", true);
    Form->AppendFileItem(L"a.txt", L"1");
    {
        TBoxWatcher Boxes;
        Boxes.Answer(IDOK);
        Click(Form->btnBrowse);
        EXPECT_EQ(Boxes.Boxes().size(), 1u);
    }
    EXPECT_EQ(UpperCased(TextOf(Form->txtFolder)), UpperCased(Folder));
    EXPECT_EQ(Form->FileItemCount(), 1);
}

}  // namespace
