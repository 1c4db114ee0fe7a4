// Start-up and shut-down with real settings files beside the test program, the
// encoding switches and the offer of Notepad++.
#include "WindowTestSupport.h"

#include "base/TextMatching.h"
#include "platform/Shell.h"
#include "SettingsLines.h"
#include "TextBytes.h"
#include "ui/WindowHelpers.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace {

using TLines = std::vector<std::string>;

class StartUpShutDown : public testing::Test {
protected:
    void SetUp() override {
        DeleteSettingsFile();
    }
    void TearDown() override {
        DeleteSettingsFile();
    }
    TEnvironment FDpi{L"QV_DPI", L"96"};
};

const std::string EditorNotepad = "Editor=004E004F00540045005000410044\r\n";

TEST_F(StartUpShutDown, WithoutASettingsFileTheDesignValuesAndTheStartUpGeometryApply) {
    RECT WorkArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &WorkArea, 0);
    {
        auto Form = OpenMainWindow();
        EXPECT_EQ(Form->Caption(), L"Quorvane 1.70 (Auto)");
        EXPECT_EQ(Form->BaseTitle, L"Quorvane 1.70");
        EXPECT_EQ(TextOf(Form->txtFolder), L"");
        EXPECT_EQ(TextOf(Form->txtFilters), L"*.TXT");
        EXPECT_FALSE(TfrmMain::Checked(Form->cbRecursive));
        EXPECT_TRUE(TfrmMain::Checked(Form->cbCaseSensitive));
        EXPECT_EQ(Form->EditorPath, L"");
        RECT Outer{};
        GetWindowRect(Form->Handle(), &Outer);
        EXPECT_EQ(Outer.right - Outer.left, 800);
        EXPECT_EQ(Outer.bottom - Outer.top, 600);
        EXPECT_EQ(Outer.left, (WorkArea.right - WorkArea.left - 800) / 2);
        EXPECT_EQ(Outer.top, (WorkArea.bottom - WorkArea.top - 600) / 2);
        // The minimum is the size as created, before the 800 x 600.
        EXPECT_LT(Form->Geometry.InitialWidth, 800);
        EXPECT_GT(Form->Geometry.InitialWidth, 593);
    }
    TLines Lines = SettingsFileLines();
    EXPECT_EQ(KeysOf(Lines), (std::vector<std::string>{"[Main]", "Folder", "Recursive", "Filters", "CaseSensitive",
                                                       "Editor", "TextEncoding", "Left", "Top", "Width", "Height",
                                                       "Maximized"}));
    EXPECT_EQ(ValueOf(Lines, "Folder"), "");
    EXPECT_EQ(ValueOf(Lines, "Recursive"), "0");
    EXPECT_EQ(ValueOf(Lines, "Filters"), "002A002E005400580054");
    EXPECT_EQ(ValueOf(Lines, "CaseSensitive"), "1");
    EXPECT_EQ(ValueOf(Lines, "Editor"), "");
    EXPECT_EQ(ValueOf(Lines, "TextEncoding"), "0");
    EXPECT_EQ(ValueOf(Lines, "Width"), "800");
    EXPECT_EQ(ValueOf(Lines, "Height"), "600");
    EXPECT_EQ(ValueOf(Lines, "Maximized"), "0");
}

TEST_F(StartUpShutDown, AFirstShutDownWritesEveryKeyInOrderButNotTheTexts) {
    {
        auto Form = OpenMainWindow();
        SetWindowTextW(Form->txtFolder, L"C:\\Data");
        SetWindowTextW(Form->txtTextToFind, L"never stored");
        Form->EditorPath = L"NOTEPAD";
        MoveWindow(Form->Handle(), 100, 80, 816, 639, TRUE);
        Pump();
    }
    EXPECT_EQ(SettingsFileLines(),
              (TLines{"[Main]", "Folder=0043003A005C0044006100740061", "Recursive=0", "Filters=002A002E005400580054",
                      "CaseSensitive=1", "Editor=004E004F00540045005000410044", "TextEncoding=0", "Left=100",
                      "Top=80", "Width=816", "Height=639", "Maximized=0"}));
}

TEST_F(StartUpShutDown, StoredValuesAreRestoredAndWrittenBack) {
    WriteSettingsFile("[Main]\r\nFolder=0043003A005C0044006100740061\r\nRecursive=1\r\nFilters=002A002E006D0064\r\n"
                      "CaseSensitive=0\r\nEditor=004E004F00540045005000410044\r\nTextEncoding=7\r\nLeft=30\r\n"
                      "Top=20\r\nWidth=900\r\nHeight=700\r\nMaximized=0\r\n");
    {
        auto Form = OpenMainWindow();
        EXPECT_EQ(TextOf(Form->txtFolder), L"C:\\Data");
        EXPECT_TRUE(TfrmMain::Checked(Form->cbRecursive));
        EXPECT_EQ(TextOf(Form->txtFilters), L"*.md");
        EXPECT_FALSE(TfrmMain::Checked(Form->cbCaseSensitive));
        EXPECT_EQ(Form->EditorPath, L"NOTEPAD");
        // A mode outside 0..3 gets no label and is kept.
        EXPECT_EQ(StoredEncodingMode(Form->CurrentEncodingMode), 7);
        EXPECT_EQ(Form->Caption(), L"Quorvane 1.70");
        RECT Outer{};
        GetWindowRect(Form->Handle(), &Outer);
        EXPECT_EQ(Outer.left, 30);
        EXPECT_EQ(Outer.top, 20);
        EXPECT_EQ(Outer.right - Outer.left, 900);
        EXPECT_EQ(Outer.bottom - Outer.top, 700);
    }
    TLines Lines = SettingsFileLines();
    EXPECT_EQ(ValueOf(Lines, "TextEncoding"), "7");
    EXPECT_EQ(ValueOf(Lines, "Recursive"), "1");
    EXPECT_EQ(ValueOf(Lines, "Left"), "30");
    EXPECT_EQ(ValueOf(Lines, "Width"), "900");
}

TEST_F(StartUpShutDown, AStoredWidthBelowTheMinimumOpensAtTheMinimum) {
    WriteSettingsFile("[Main]\r\n" + EditorNotepad + "Left=10\r\nTop=10\r\nWidth=100\r\nHeight=90\r\n");
    auto Form = OpenMainWindow();
    RECT Outer{};
    GetWindowRect(Form->Handle(), &Outer);
    EXPECT_EQ(Outer.right - Outer.left, Form->Geometry.InitialWidth);
    EXPECT_EQ(Outer.bottom - Outer.top, Form->Geometry.InitialHeight);
}

TEST_F(StartUpShutDown, AMaximizedWindowOpensMaximizedOverItsNormalBoundsAndStoresOnlyMaximized) {
    WriteSettingsFile("[Main]\r\n" + EditorNotepad + "Left=50\r\nTop=40\r\nWidth=700\r\nHeight=560\r\nMaximized=1\r\n");
    {
        auto Form = OpenMainWindow();
        EXPECT_TRUE(IsZoomed(Form->Handle()));
        WINDOWPLACEMENT Placement{};
        Placement.length = sizeof(Placement);
        GetWindowPlacement(Form->Handle(), &Placement);
        EXPECT_EQ(Placement.rcNormalPosition.right - Placement.rcNormalPosition.left, 700);
        EXPECT_EQ(Placement.rcNormalPosition.bottom - Placement.rcNormalPosition.top, 560);
    }
    TLines Lines = SettingsFileLines();
    EXPECT_EQ(ValueOf(Lines, "Left"), "50");
    EXPECT_EQ(ValueOf(Lines, "Top"), "40");
    EXPECT_EQ(ValueOf(Lines, "Width"), "700");
    EXPECT_EQ(ValueOf(Lines, "Height"), "560");
    EXPECT_EQ(ValueOf(Lines, "Maximized"), "1");
}

TEST_F(StartUpShutDown, AMaximizedFirstShutDownWritesMaximizedAfterTextEncoding) {
    {
        auto Form = OpenMainWindow();
        ShowWindow(Form->Handle(), SW_MAXIMIZE);
        Pump();
    }
    EXPECT_EQ(KeysOf(SettingsFileLines()), (std::vector<std::string>{"[Main]", "Folder", "Recursive", "Filters",
                                                                     "CaseSensitive", "Editor", "TextEncoding",
                                                                     "Maximized"}));
}

TEST_F(StartUpShutDown, AMinimizedWindowStoresTheBoundsItWouldBeRestoredTo) {
    WriteSettingsFile("[Main]\r\n" + EditorNotepad + "Left=60\r\nTop=50\r\nWidth=820\r\nHeight=610\r\n");
    {
        auto Form = OpenMainWindow();
        ShowWindow(Form->Handle(), SW_MINIMIZE);
        Pump();
        ASSERT_TRUE(IsIconic(Form->Handle()));
    }
    TLines Lines = SettingsFileLines();
    EXPECT_EQ(ValueOf(Lines, "Left"), "60");
    EXPECT_EQ(ValueOf(Lines, "Top"), "50");
    EXPECT_EQ(ValueOf(Lines, "Width"), "820");
    EXPECT_EQ(ValueOf(Lines, "Height"), "610");
    EXPECT_EQ(ValueOf(Lines, "Maximized"), "0");
}

TEST(EncodingSwitches, AutoBeforeAnsiBeforeUtf16BeforeUtf8WhateverTheCommandLineOrder) {
    struct {
        const wchar_t* CommandLine;
        std::int32_t Expected;
    } Cases[] = {
        {L"Quorvane.exe", 5},
        {L"Quorvane.exe /AUTO", 0},
        {L"Quorvane.exe /ansi", 1},
        {L"Quorvane.exe /UTF16LE", 2},
        {L"Quorvane.exe /utf8", 3},
        {L"Quorvane.exe /UTF8 /ANSI", 1},
        {L"Quorvane.exe /ANSI /UTF8", 1},
        {L"Quorvane.exe /UTF8 /UTF16LE /AUTO", 0},
        {L"Quorvane.exe /UTF-8 UTF8", 5},
        {L"/UTF8", 5},  // the program's own name is not an argument
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(StoredEncodingMode(EncodingModeFromSwitches(Case.CommandLine, EncodingModeFromStored(5))), Case.Expected)
            << Case.CommandLine;
}

TEST(StartUpSize, MonitorsFrom1024By768TakeThe800By600Size) {
    EXPECT_TRUE(MonitorTakesDefaultSize(RECT{0, 0, 1024, 768}));
    EXPECT_TRUE(MonitorTakesDefaultSize(RECT{-1024, 0, 0, 768}));
    EXPECT_FALSE(MonitorTakesDefaultSize(RECT{0, 0, 1023, 768}));
    EXPECT_FALSE(MonitorTakesDefaultSize(RECT{0, 0, 1024, 767}));
}

// Dummy Notepad++ programs in the prefix's program-files folders, removed again.
class TFakeNotepadPlusPlus {
public:
    TFakeNotepadPlusPlus(bool X64, bool X86) {
        if (X64) Make(SpecialFolderPath(CSIDL_PROGRAM_FILES, L"C:\\Program Files\\"));
        if (X86) Make(SpecialFolderPath(CSIDL_PROGRAM_FILESX86, L"C:\\Program Files (x86)\\"));
    }
    ~TFakeNotepadPlusPlus() {
        for (const std::wstring& Folder : FFolders) {
            DeleteFileW((Folder + L"notepad++.exe").c_str());
            RemoveDirectoryW(Folder.c_str());
        }
    }
    const std::vector<std::wstring>& Programs() const { return FPrograms; }

private:
    void Make(const std::wstring& ProgramFiles) {
        std::wstring Folder = ProgramFiles + L"Notepad++\\";
        CreateDirectoryW(Folder.c_str(), nullptr);
        HANDLE File = CreateFileW((Folder + L"notepad++.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                  nullptr);
        ASSERT_NE(File, INVALID_HANDLE_VALUE);
        CloseHandle(File);
        FFolders.push_back(Folder);
        FPrograms.push_back(Folder + L"notepad++.exe");
    }
    std::vector<std::wstring> FFolders;
    std::vector<std::wstring> FPrograms;
};

struct TNotepadCase {
    const char* Name;
    bool X64, X86;
    int Answer;                 // 0 when no question is expected
    const char* Question;       // English
    int ExpectedProgram;        // index into the fakes, -1 for NOTEPAD, -2 for empty
};

class NotepadPlusPlusOffer : public StartUpShutDown, public testing::WithParamInterface<TNotepadCase> {};

TEST_P(NotepadPlusPlusOffer, IsAskedAfterShowingAndDecidesTheStoredEditor) {
    const TNotepadCase& Case = GetParam();
    TFakeNotepadPlusPlus Fakes(Case.X64, Case.X86);
    TBoxWatcher Boxes;
    if (Case.Answer) Boxes.Answer(Case.Answer);
    {
        auto Form = OpenMainWindow();
        if (Case.Answer) {
            ASSERT_EQ(Boxes.Boxes().size(), 1u);
            EXPECT_EQ(Boxes.Boxes()[0].Text, Wide(Case.Question));
            EXPECT_EQ(Boxes.Boxes()[0].Caption, L"Confirm");
        } else {
            EXPECT_TRUE(Boxes.Boxes().empty());
        }
        std::wstring Expected = Case.ExpectedProgram >= 0 ? Fakes.Programs()[static_cast<size_t>(Case.ExpectedProgram)]
                                : Case.ExpectedProgram == -1 ? L"NOTEPAD" : L"";
        EXPECT_EQ(Form->EditorPath, Expected);
    }
    // A choice made is not offered again.
    if (Case.ExpectedProgram != -2) {
        auto Form = OpenMainWindow();
        EXPECT_EQ(Boxes.Boxes().size(), Case.Answer ? 1u : 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    StartUp, NotepadPlusPlusOffer,
    testing::Values(
        TNotepadCase{"BothYes", true, true, IDYES,
                     "Notepad++ (x64) was found. Do you want to use this as your editor?", 0},
        TNotepadCase{"BothNo", true, true, IDNO,
                     "Notepad++ (x64) was found. Do you want to use this as your editor?", -1},
        TNotepadCase{"X86Yes", false, true, IDYES,
                     "Notepad++ (x86) was found. Do you want to use this as your editor?", 0},
        TNotepadCase{"X86No", false, true, IDNO,
                     "Notepad++ (x86) was found. Do you want to use this as your editor?", -1},
        TNotepadCase{"Neither", false, false, 0, "", -2}),
    [](const testing::TestParamInfo<TNotepadCase>& Info) { return std::string(Info.param.Name); });

}  // namespace
