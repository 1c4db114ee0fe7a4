// The main window's texts in both languages, the title rule, Help, About, Quit,
// keyboard navigation and focus.
#include "CommandsTestSupport.h"

#include <gtest/gtest.h>
#include <commdlg.h>

#include <string>

namespace {

std::wstring MenuText(HMENU Menu, UINT Item, UINT Flag) {
    wchar_t Buffer[256] = L"";
    GetMenuStringW(Menu, Item, Buffer, 256, Flag);
    return Buffer;
}

std::wstring ColumnText(HWND List, int Column) {
    wchar_t Buffer[64] = L"";
    LVCOLUMNW Info{};
    Info.mask = LVCF_TEXT;
    Info.pszText = Buffer;
    Info.cchTextMax = 64;
    ListView_GetColumn(List, Column, &Info);
    return Buffer;
}

struct TLanguageTexts {
    bool Swedish;
    const char* Files;
    const char* FileNameColumn;
    const char* Folder;
    const char* Browse;
    const char* Recursive;
    const char* Filters;
    const char* TextToFind;
    const char* Search;
    const char* CaseSensitive;
    const char* ReplaceWith;
    const char* Apply;
    const char* MenuFile;
    const char* MenuReview;
    const char* MenuUndo;
    const char* MenuQuit;
    const char* MenuHelp;
    const char* MenuShortcuts;
    const char* MenuAbout;
    const char* EditorTitle;
    const char* ExportTitle;
    const char* ShortcutsCaption;
    const char* ShortcutsText;
    const char* AboutCaption;
};

const TLanguageTexts Languages[] = {
    {true, "Filer: (0 | #)", "Filnamn", "Mapp:", "Bläddra", "Rekursivt", "Filter: (separera med \"; \")",
     "Text att hitta:", "Sök", "Skiftlägeskänsligt", "Ersätt med:", "Verkställ", "Arkiv", "Granska ändringar...\tF6",
     "Ångra senaste Verkställ",
     "Avsluta\tCtrl+Q", "Hjälp", "Tangentbordsgenvägar\tF1", "Om", "Bläddra", "Exportera fillista",
     "Tangentbordsgenvägar",
     "Tangentbordsgenvägar:\r\n\r\nF6 = Granska ändringarna före Verkställ.\r\nF12 = Välj din redigerare.\r\nF8 = Växla mellan kodningslägena.\r\nF4 = "
     "Exportera fillistan.\r\nEsc = Stoppa en pågående körning.\r\n"
     "Alt+Nedpil = Visa de senaste texterna i Text att hitta eller Ersätt med.\r\n"
     "Skift+F10 eller menytangenten = Snabbmenyn för den valda filen.\r\n\r\n"
     "I Granska ändringar:\r\nUppil/Nedpil = Föregående/nästa fil och dess ändringar.\r\n"
     "Blanksteg = Markera eller avmarkera den valda filen.\r\nCtrl+A / Ctrl+Skift+A = Markera / avmarkera alla filer.\r\n"
     "Enter eller dubbelklick = Öppna filen i redigeraren.\r\nEsc = Stäng utan att skriva något.",
     "Om Quorvane 1.70"},
    {false, "Files: (0 | #)", "Filename", "Folder:", "Browse", "Recursive", "Filter(s): (separate with \"; \")",
     "Text to find:", "Search", "Case sensitive", "Replace with:", "Apply", "File", "Review changes...\tF6",
     "Undo last Apply", "Quit\tCtrl+Q",
     "Help", "Keyboard shortcuts\tF1", "About", "Browse", "Export file list", "Keyboard shortcuts",
     "Keyboard shortcuts:\r\n\r\nF6 = Review the changes before Apply.\r\nF12 = Select your editor.\r\nF8 = Switch between the encoding modes.\r\nF4 = "
     "Export the file list.\r\nEsc = Stop a run in progress.\r\n"
     "Alt+Down = Show the recent texts in Text to find or Replace with.\r\n"
     "Shift+F10 or the menu key = The context menu of the selected file.\r\n\r\n"
     "In Review changes:\r\nUp/Down = The previous/next file and its changes.\r\n"
     "Space = Check or clear the selected file.\r\nCtrl+A / Ctrl+Shift+A = Check / clear every file.\r\n"
     "Enter or double click = Open the file in the editor.\r\nEsc = Close without writing anything.",
     "About Quorvane 1.70"},
};

class MainWindowTexts : public testing::TestWithParam<TLanguageTexts> {
protected:
    void SetUp() override {
        WriteSettingsFile("[Main]\r\nEditor=004E004F00540045005000410044\r\n");
        FForm = OpenMainWindow();
    }
    void TearDown() override {
        FForm.reset();
        DeleteSettingsFile();
    }
    LocaleScope FLanguage{LanguageLocale(GetParam().Swedish)};
    std::unique_ptr<TfrmMain> FForm;
};

TEST_P(MainWindowTexts, ControlsMenuAndDialogsCarryTheTextsOfTheLanguage) {
    const TLanguageTexts& T = GetParam();
    EXPECT_EQ(TextOf(FForm->lblFiles), Wide(T.Files));
    EXPECT_EQ(ColumnText(FForm->lvFiles, 0), Wide(T.FileNameColumn));
    EXPECT_EQ(ColumnText(FForm->lvFiles, 1), L"#");
    EXPECT_EQ(TextOf(FForm->lblFolder), Wide(T.Folder));
    EXPECT_EQ(TextOf(FForm->btnBrowse), Wide(T.Browse));
    EXPECT_EQ(TextOf(FForm->cbRecursive), Wide(T.Recursive));
    EXPECT_EQ(TextOf(FForm->lblFilters), Wide(T.Filters));
    EXPECT_EQ(TextOf(FForm->lblTextToFind), Wide(T.TextToFind));
    EXPECT_EQ(TextOf(FForm->btnSearch), Wide(T.Search));
    EXPECT_EQ(TextOf(FForm->cbCaseSensitive), Wide(T.CaseSensitive));
    EXPECT_EQ(TextOf(FForm->lblReplaceWith), Wide(T.ReplaceWith));
    EXPECT_EQ(TextOf(FForm->btnApply), Wide(T.Apply));
    EXPECT_EQ(MenuText(FForm->mnuMain, 0, MF_BYPOSITION), Wide(T.MenuFile));
    // Review with F6 above Undo, Undo above Quit, without a key.
    EXPECT_EQ(GetMenuItemCount(FForm->mnuMainFile), 3);
    EXPECT_EQ(GetMenuItemID(FForm->mnuMainFile, 0), TfrmMain::mnuMainFileReview);
    EXPECT_EQ(MenuText(FForm->mnuMainFile, 0, MF_BYPOSITION), Wide(T.MenuReview));
    EXPECT_EQ(GetMenuItemID(FForm->mnuMainFile, 1), TfrmMain::mnuMainFileUndo);
    EXPECT_EQ(MenuText(FForm->mnuMainFile, 1, MF_BYPOSITION), Wide(T.MenuUndo));
    EXPECT_EQ(MenuText(FForm->mnuMainFile, 2, MF_BYPOSITION), Wide(T.MenuQuit));
    EXPECT_EQ(MenuText(FForm->mnuMain, 1, MF_BYPOSITION), Wide(T.MenuHelp));
    EXPECT_EQ(MenuText(FForm->mnuMain, TfrmMain::mnuMainHelpKeyboardShortcuts, MF_BYCOMMAND), Wide(T.MenuShortcuts));
    EXPECT_EQ(MenuText(FForm->mnuMain, TfrmMain::mnuMainHelpAbout, MF_BYCOMMAND), Wide(T.MenuAbout));
    EXPECT_EQ(GetMenuState(FForm->mnuMainHelp, 1, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    EXPECT_EQ(GetMenuItemCount(FForm->mnuMainHelp), 3);
    EXPECT_EQ(FForm->odEditor.Title, Wide(T.EditorTitle));
    EXPECT_EQ(FForm->sdTXT.Title, Wide(T.ExportTitle));
    // Texts that are the same in both languages.
    EXPECT_EQ(TextOf(FForm->txtFilters), L"*.TXT");
    EXPECT_EQ(TextOf(FForm->txtFolder), L"");
    LITEM Link{};
    Link.mask = LIF_ITEMINDEX | LIF_URL;
    ASSERT_TRUE(SendMessageW(FForm->llURL, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&Link)));
    EXPECT_EQ(std::wstring(Link.szUrl), HomePageUrl);
}

TEST_P(MainWindowTexts, HelpListsTheKeyboardShortcutsAndAboutNamesTheProgramWithoutTheMode) {
    const TLanguageTexts& T = GetParam();
    TBoxWatcher Boxes;
    // F1 goes through the window's accelerators.
    PostMessageW(FForm->txtFolder, WM_KEYDOWN, VK_F1, 0);
    Pump();
    FForm->CurrentEncodingMode = EncodingModeFromStored(2);
    FForm->ComposeModeTitle();
    PostMessageW(FForm->Handle(), WM_COMMAND, TfrmMain::mnuMainHelpAbout, 0);
    Pump();
    ASSERT_EQ(Boxes.Boxes().size(), 2u);
    EXPECT_EQ(Boxes.Boxes()[0].Caption, Wide(T.ShortcutsCaption));
    EXPECT_EQ(Boxes.Boxes()[0].Text, Wide(T.ShortcutsText));
    EXPECT_EQ(Boxes.Boxes()[1].Caption, Wide(T.AboutCaption));
    EXPECT_NE(Boxes.Boxes()[1].Text.find(L"Quorvane"), std::wstring::npos);
    EXPECT_NE(Boxes.Boxes()[1].Text.find(HomePageUrl), std::wstring::npos);
    EXPECT_EQ(FForm->Caption(), L"Quorvane 1.70 (UTF-16/LE)");
}

INSTANTIATE_TEST_SUITE_P(MainWindow, MainWindowTexts, testing::ValuesIn(Languages),
                         [](const testing::TestParamInfo<TLanguageTexts>& Info) {
                             return Info.param.Swedish ? std::string("Swedish") : std::string("English");
                         });

TEST(MainWindowTitle, ComposeModeTitleLabelsEachModeAndLeavesOtherValuesAlone) {
    struct {
        std::int32_t Mode;
        const wchar_t* Title;
    } Cases[] = {{0, L"Quorvane 1.70 (Auto)"}, {1, L"Quorvane 1.70 (ANSI)"}, {2, L"Quorvane 1.70 (UTF-16/LE)"},
                 {3, L"Quorvane 1.70 (UTF-8)"}};
    WriteSettingsFile("[Main]\r\nEditor=004E004F00540045005000410044\r\n");
    auto Form = OpenMainWindow();
    Form->BaseTitle = L"Quorvane 1.70";
    for (const auto& Case : Cases) {
        Form->CurrentEncodingMode = EncodingModeFromStored(Case.Mode);
        Form->ComposeModeTitle();
        EXPECT_EQ(Form->Title(), Case.Title);
    }
    // No label for another value: the application title stays as it was.
    Form->CurrentEncodingMode = EncodingModeFromStored(7);
    Form->ComposeModeTitle();
    EXPECT_EQ(Form->Title(), L"Quorvane 1.70 (UTF-8)");
    EXPECT_EQ(Form->Caption(), L"Quorvane 1.70 (UTF-8)");
    Form.reset();
    DeleteSettingsFile();
}

class MainWindowBehaviour : public testing::Test {
protected:
    void SetUp() override {
        WriteSettingsFile("[Main]\r\nEditor=004E004F00540045005000410044\r\n");
        FForm = OpenMainWindow();
    }
    void TearDown() override {
        FForm.reset();
        DeleteSettingsFile();
    }
    void PressKey(WORD Key) {
        ASSERT_TRUE(GetFocus()) << "no control has the focus";
        ::PressKey(GetFocus(), Key);
    }
    std::unique_ptr<TfrmMain> FForm;
};

TEST_F(MainWindowBehaviour, StartsWithTheFolderFocusedAndDefaults) {
    EXPECT_EQ(FForm->Caption(), L"Quorvane 1.70 (Auto)");
    EXPECT_TRUE(IsWindowVisible(FForm->Handle()));
    EXPECT_EQ(GetFocus(), FForm->txtFolder);
    EXPECT_FALSE(TfrmMain::Checked(FForm->cbRecursive));
    EXPECT_TRUE(TfrmMain::Checked(FForm->cbCaseSensitive));
    EXPECT_EQ(TextOf(FForm->txtTextToFind), L"");
    EXPECT_EQ(TextOf(FForm->txtReplaceWith), L"");
    // The list: report style, one selection, whole rows, no clickable headers.
    LONG_PTR Style = GetWindowLongPtrW(FForm->lvFiles, GWL_STYLE);
    EXPECT_EQ(Style & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_TRUE(Style & LVS_SINGLESEL);
    EXPECT_TRUE(Style & LVS_NOSORTHEADER);
    EXPECT_FALSE(Style & LVS_EDITLABELS);
    EXPECT_TRUE(ListView_GetExtendedListViewStyle(FForm->lvFiles) & LVS_EX_FULLROWSELECT);
    LVCOLUMNW Column{};
    Column.mask = LVCF_FMT;
    ListView_GetColumn(FForm->lvFiles, 1, &Column);
    EXPECT_EQ(Column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_RIGHT);
    HDITEMW Header{};
    Header.mask = HDI_FORMAT;
    ASSERT_TRUE(Header_GetItem(ListView_GetHeader(FForm->lvFiles), 1, &Header));
    EXPECT_EQ(Header.fmt & HDF_JUSTIFYMASK, HDF_RIGHT);
    ASSERT_TRUE(Header_GetItem(ListView_GetHeader(FForm->lvFiles), 0, &Header));
    EXPECT_EQ(Header.fmt & HDF_JUSTIFYMASK, HDF_LEFT);
    // Multi-line boxes wrap and scroll vertically.
    for (HWND Box : {FForm->txtTextToFind, FForm->txtReplaceWith}) {
        LONG_PTR BoxStyle = GetWindowLongPtrW(Box, GWL_STYLE);
        EXPECT_TRUE(BoxStyle & ES_MULTILINE);
        EXPECT_TRUE(BoxStyle & WS_VSCROLL);
        EXPECT_FALSE(BoxStyle & (ES_AUTOHSCROLL | WS_HSCROLL));
    }
    // The dialogs' settings.
    EXPECT_EQ(FForm->odEditor.Filter, L"*.EXE");
    EXPECT_EQ(FForm->odEditor.DefaultExt, L"EXE");
    EXPECT_EQ(FForm->odEditor.Options, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST |
                                                          OFN_NODEREFERENCELINKS | OFN_ENABLESIZING));
    EXPECT_EQ(FForm->sdTXT.Filter, L"*.TXT");
    EXPECT_EQ(FForm->sdTXT.DefaultExt, L"TXT");
    EXPECT_EQ(FForm->sdTXT.Options,
              static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING));
}

TEST_F(MainWindowBehaviour, TabAndShiftTabWalkTheControlsInTabOrder) {
    const HWND Order[] = {FForm->txtFolder,      FForm->btnBrowse,  FForm->cbRecursive,     FForm->txtFilters,
                          FForm->txtTextToFind,  FForm->btnSearch,  FForm->cbCaseSensitive, FForm->txtReplaceWith,
                          FForm->btnApply,       FForm->lvFiles,    FForm->llURL};
    const size_t Count = std::size(Order);
    SetFocus(FForm->txtFolder);
    for (size_t i = 1; i <= Count; ++i) {
        PressKey(VK_TAB);
        EXPECT_EQ(GetFocus(), Order[i % Count]) << "after " << i << " Tab";
    }
    TModifierScope Shift(ssShift);
    for (size_t i = 1; i <= Count; ++i) {
        PressKey(VK_TAB);
        EXPECT_EQ(GetFocus(), Order[(Count - i) % Count]) << "after " << i << " Shift+Tab";
    }
}

TEST_F(MainWindowBehaviour, MultiLineBoxesTakeEnterButNoTab) {
    SetFocus(FForm->txtTextToFind);
    PostMessageW(FForm->txtTextToFind, WM_CHAR, L'a', 1);
    PressKey(VK_RETURN);
    PostMessageW(FForm->txtTextToFind, WM_CHAR, L'b', 1);
    Pump();
    EXPECT_EQ(TextOf(FForm->txtTextToFind), L"a\r\nb");
    PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), FForm->btnSearch);
    EXPECT_EQ(TextOf(FForm->txtTextToFind), L"a\r\nb");
    // A tab character typed straight at the box is refused too.
    SendMessageW(FForm->txtReplaceWith, WM_CHAR, L'\t', 1);
    EXPECT_EQ(TextOf(FForm->txtReplaceWith), L"");
}

TEST_F(MainWindowBehaviour, TheFocusedControlHasTheFocusAgainAfterABoxCloses) {
    TBoxWatcher Boxes;
    SetFocus(FForm->txtFilters);
    PressKey(VK_F1);
    ASSERT_EQ(Boxes.Boxes().size(), 1u);
    EXPECT_EQ(GetFocus(), FForm->txtFilters);
    SetFocus(FForm->cbCaseSensitive);
    PostMessageW(FForm->Handle(), WM_COMMAND, TfrmMain::mnuMainHelpAbout, 0);
    Pump();
    ASSERT_EQ(Boxes.Boxes().size(), 2u);
    EXPECT_EQ(GetFocus(), FForm->cbCaseSensitive);
}

TEST_F(MainWindowBehaviour, CtrlQClosesTheWindowAndStoresTheSettings) {
    DeleteSettingsFile();
    {
        TModifierScope Control(ssCtrl);
        PressKey('Q');
    }
    Pump();
    EXPECT_EQ(FForm->Handle(), nullptr);
    EXPECT_TRUE(FForm->Terminated());
    EXPECT_EQ(SettingsFileLines().size(), 12u);
}

TEST_F(MainWindowBehaviour, AnEmptyFileListAndItsRows) {
    EXPECT_EQ(FForm->FileItemCount(), 0);
    FForm->AppendFileItem(L"sub\\a.txt", L"3");
    FForm->AppendFileItem(L"b.txt", L"N/A");
    EXPECT_EQ(ListView_GetItemCount(FForm->lvFiles), 2);
    wchar_t Buffer[64] = L"";
    ListView_GetItemText(FForm->lvFiles, 1, 0, Buffer, 64);
    EXPECT_STREQ(Buffer, L"b.txt");
    ListView_GetItemText(FForm->lvFiles, 0, 1, Buffer, 64);
    EXPECT_STREQ(Buffer, L"3");
    EXPECT_EQ(FForm->SelectedFileIndex(), -1);
    ListView_SetItemState(FForm->lvFiles, 1, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(FForm->SelectedFileIndex(), 1);
    FForm->ClearFileList();
    EXPECT_EQ(ListView_GetItemCount(FForm->lvFiles), 0);
}

TEST_F(MainWindowBehaviour, LabelsFollowTheirTexts) {
    RECT Before = BoundsOf(FForm->lblFiles);
    FForm->SetLabelCaption(FForm->lblFiles, L"Files: (12,345 | 1,234,567)");
    RECT After = BoundsOf(FForm->lblFiles);
    EXPECT_EQ(After.left, Before.left);
    EXPECT_GT(After.right - After.left, Before.right - Before.left);
}

}  // namespace
