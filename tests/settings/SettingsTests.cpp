#include "settings/Settings.h"
#include "settings/SettingsCatalogue.h"

#include "SettingsLines.h"
#include "TempFolder.h"
#include "TextBytes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// A settings file in a fresh folder; every read and write of the test goes to it.
class SettingsFile : public testing::Test {
protected:
    void SetUp() override { SetSettingsFilePathForTests(Ini); }
    void TearDown() override { SetSettingsFilePathForTests(L""); }

    void WriteIni(std::string_view Content) const { Temp.WriteFile(L"Quorvane.INI", Content); }
    std::string IniBytes() const { return ReadFileBytes(Ini).Bytes; }
    std::vector<std::string> IniLines() const { return SettingsLines(IniBytes()); }

    TempFolder Temp;
    std::wstring Ini = Temp.Path() + L"Quorvane.INI";
};

TEST(SettingsLocation, ExtensionAfterTheLastBackslashBecomesIni) {
    struct Case {
        const wchar_t* Executable;
        const wchar_t* Expected;
    } Cases[] = {
        {L"C:\\Tools\\Tool.exe", L"C:\\Tools\\Tool.INI"},
        {L"C:\\Tools\\Tool.v2.exe", L"C:\\Tools\\Tool.v2.INI"},
        {L"C:\\Tools.d\\Tool", L"C:\\Tools.d\\Tool.INI"},
        {L"C:\\Tools\\Tool", L"C:\\Tools\\Tool.INI"},
    };
    for (const Case& C : Cases) EXPECT_EQ(SettingsFilePathFor(C.Executable), C.Expected) << C.Executable;

    std::wstring Executable = ExecutablePath();
    ASSERT_GE(Executable.size(), 18u);
    EXPECT_EQ(UpperCased(Executable.substr(Executable.size() - 18)), L"SETTINGS_TESTS.EXE");
    EXPECT_EQ(SettingsFilePath(), SettingsFilePathFor(Executable));
}

TEST(HexCodec, EncodesEveryCodeUnitAsFourUpperCaseDigits) {
    EXPECT_EQ(HexEncodeText(L""), L"");
    EXPECT_EQ(HexEncodeText(Wide("å")), L"00E5");
    EXPECT_EQ(HexEncodeText(L"C:\\Temp"), L"0043003A005C00540065006D0070");
    EXPECT_EQ(HexEncodeText(L"*.TXT"), L"002A002E005400580054");
    EXPECT_EQ(HexEncodeText(Wide("\xF0\x9F\x98\x80")), L"D83DDE00");  // a surrogate pair
    std::wstring Everything = Wide("C:\\Mappar\\Åäö ∑ \xF0\x9F\x98\x80\t\"x\"");
    Everything += L'\0';
    Everything += L'\xFFFF';
    EXPECT_EQ(HexDecodeText(HexEncodeText(Everything)), Everything);
}

TEST(HexCodec, DecodesGroupsOfFourDigitsAndInvalidPairsAsZeroBytes) {
    struct Case {
        const wchar_t* Stored;
        std::wstring Expected;
    } Cases[] = {
        {L"", L""},
        {L"002a002e005400580054", L"*.TXT"},  // lower-case digits
        {L"*.TXT", L""},                      // not a multiple of four: nothing is kept
        {L"004100420", L""},
        {L"00ZZ", L"\0"s},                    // both pairs invalid
        {L"0041ZZ42", L"AB"},                 // an invalid pair is a zero byte, the other pair still counts
        {L"4100", L"\x4100"},
        {L"00 41", L""},
    };
    for (const Case& C : Cases) EXPECT_EQ(HexDecodeText(C.Stored), C.Expected) << C.Stored;
}

// The settings of one shut-down in the normal window state create the file line by line in this order.
TEST_F(SettingsFile, FirstShutDownWritesEveryKeyInItsOrderAndReadsThemBack) {
    WriteMainSettings({L"C:\\Data", false, L"*.TXT", true, L"NOTEPAD", 0});
    WriteWindowState(false, {100, 80, 816, 639});
    std::vector<std::string> Expected = {
        "[Main]",
        "Folder=0043003A005C0044006100740061",
        "Recursive=0",
        "Filters=002A002E005400580054",
        "CaseSensitive=1",
        "Editor=004E004F00540045005000410044",
        "TextEncoding=0",
        "Left=100",
        "Top=80",
        "Width=816",
        "Height=639",
        "Maximized=0",
    };
    EXPECT_EQ(IniLines(), Expected);

    TMainSettings Read = ReadMainSettings({});
    EXPECT_EQ(Read.Folder, L"C:\\Data");
    EXPECT_FALSE(Read.Recursive);
    EXPECT_EQ(Read.Filters, L"*.TXT");
    EXPECT_TRUE(Read.CaseSensitive);
    EXPECT_EQ(Read.Editor, L"NOTEPAD");
    EXPECT_EQ(Read.TextEncoding, 0);
    TWindowBounds Bounds = ReadWindowBounds({1, 2, 3, 4});
    EXPECT_EQ(Bounds.Left, 100);
    EXPECT_EQ(Bounds.Top, 80);
    EXPECT_EQ(Bounds.Width, 816);
    EXPECT_EQ(Bounds.Height, 639);
    EXPECT_FALSE(ReadMaximized());
}

// Maximized writes only Maximized=1; the normal rectangle of a later shut-down is appended after it.
TEST_F(SettingsFile, MaximizedShutDownKeepsTheNormalRectangle) {
    WriteMainSettings({L"", true, L"*.c; *.h", false, L"", -3});
    WriteWindowState(true, {1, 2, 3, 4});
    std::vector<std::string> Expected = {
        "[Main]", "Folder=", "Recursive=1", "Filters=002A002E0063003B0020002A002E0068", "CaseSensitive=0",
        "Editor=", "TextEncoding=-3", "Maximized=1",
    };
    EXPECT_EQ(IniLines(), Expected);
    EXPECT_TRUE(ReadMaximized());
    TWindowBounds Bounds = ReadWindowBounds({11, 12, 13, 14});
    EXPECT_EQ(Bounds.Left, 11);
    EXPECT_EQ(Bounds.Height, 14);

    WriteWindowState(false, {-8, 5, 600, 400});
    Expected.back() = "Maximized=0";
    for (const char* Line : {"Left=-8", "Top=5", "Width=600", "Height=400"}) Expected.push_back(Line);
    EXPECT_EQ(IniLines(), Expected);

    WriteWindowState(true, {1, 2, 3, 4});
    Expected[7] = "Maximized=1";
    EXPECT_EQ(IniLines(), Expected);
    EXPECT_EQ(ReadWindowBounds({}).Left, -8);
}

// Values written by hand, read as the window reads them at start-up.
TEST_F(SettingsFile, HandWrittenValuesInOddFormsAreReadAsAtStartUp) {
    WriteIni("[main]\r\n"
             "folder=\r\n"
             "Filters=*.TXT\r\n"
             "Editor=004e004f00540045005000410044\r\n"
             "Recursive=2\r\n"
             "CaseSensitive=yes\r\n"
             "TextEncoding=7\r\n"
             "Left=0x0\r\n"
             "Maximized=0x10\r\n");
    TMainSettings Read = ReadMainSettings({L"default", false, L"*.TXT", true, L"x", 0});
    EXPECT_EQ(Read.Folder, L"");    // present but empty: not the default
    EXPECT_EQ(Read.Filters, L"");   // five characters: not hexadecimal text
    EXPECT_EQ(Read.Editor, L"NOTEPAD");
    EXPECT_TRUE(Read.Recursive);
    EXPECT_TRUE(Read.CaseSensitive);  // not a number: the default
    EXPECT_FALSE(ReadMainSettings({L"", false, L"", false, L"", 0}).CaseSensitive);
    EXPECT_EQ(Read.TextEncoding, 7);
    EXPECT_TRUE(ReadMaximized());
    TWindowBounds Bounds = ReadWindowBounds({9, 9, 9, 9});
    EXPECT_EQ(Bounds.Left, 0);
    EXPECT_EQ(Bounds.Top, 9);
    EXPECT_EQ(ReadSettingString(L"Main", L"Missing", L"keep"), L"keep");
    EXPECT_EQ(ReadSettingString(L"Other", L"Folder", L"keep"), L"keep");

    // The out-of-range encoding mode is carried along unchanged.
    WriteMainSettings(Read);
    std::vector<std::string> Lines = IniLines();
    EXPECT_NE(std::find(Lines.begin(), Lines.end(), "TextEncoding=7"), Lines.end());
    EXPECT_NE(std::find(Lines.begin(), Lines.end(), "Recursive=1"), Lines.end());
}

TEST_F(SettingsFile, IntegerAndBooleanParsing) {
    struct Case {
        const char* Stored;
        std::int32_t Expected;  // read with the default 4242
    } Cases[] = {
        {"12", 12},
        {"-8", -8},
        {"+7", 7},
        {"007", 7},
        {"-0", 0},
        {"\"   15\"", 15},  // leading blanks (kept by the quotes)
        {"$FF", 255},
        {"$ff", 255},
        {"xA", 10},
        {"X10", 16},
        {"0x7FFFFFFF", INT_MAX},
        {"0XFFFFFFFF", -1},
        {"$80000000", INT_MIN},
        {"-$1", -1},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", 4242},
        {"-2147483649", 4242},
        {"99999999999999999999", 4242},
        {"$123456789", 4242},  // more than eight hex digits
        {"12abc", 4242},
        {"1 2", 4242},
        {"$FG", 4242},
        {"yes", 4242},
        {"", 4242},
        {"-", 4242},
        {"+", 4242},
        {"$", 4242},
        {"0x", 4242},
        {"--1", 4242},
        {"1.5", 4242},
    };
    std::string Content = "[Main]\r\n";
    for (size_t i = 0; i < std::size(Cases); ++i) {
        Content += "K";
        Content += std::to_string(i);
        Content += "=";
        Content += Cases[i].Stored;
        Content += "\r\n";
    }
    WriteIni(Content);
    for (size_t i = 0; i < std::size(Cases); ++i) {
        std::wstring Key = L"K" + std::to_wstring(i);
        EXPECT_EQ(ReadSettingInteger(L"Main", Key, 4242), Cases[i].Expected) << Cases[i].Stored;
        bool Number = Cases[i].Expected != 4242;
        EXPECT_EQ(ReadSettingBool(L"Main", Key, true), Number ? Cases[i].Expected != 0 : true) << Cases[i].Stored;
        EXPECT_EQ(ReadSettingBool(L"Main", Key, false), Number ? Cases[i].Expected != 0 : false) << Cases[i].Stored;
    }
    EXPECT_EQ(ReadSettingInteger(L"Main", L"Missing", -5), -5);
}

// Long strings are stored in full and read back whole, whatever their length.
TEST_F(SettingsFile, LongValuesReadBackWhole) {
    for (size_t Length : {511u, 512u, 600u, 20000u}) {
        std::wstring Folder = L"C:\\";
        while (Folder.size() < Length) Folder += Wide("Mäpp\\");
        Folder.resize(Length);
        WriteSettingString(L"Main", L"Folder", Folder);
        EXPECT_EQ(ReadSettingString(L"Main", L"Folder", L"default"), Folder) << Length;
        EXPECT_EQ(ReadMainSettings({}).Folder, Folder) << Length;
        std::wstring Stored = HexEncodeText(Folder);
        std::string Line = "Folder=" + std::string(Stored.begin(), Stored.end());
        EXPECT_EQ(IniLines().at(1), Line) << Length;
        // A long default comes back whole as well.
        EXPECT_EQ(ReadSettingString(L"Main", L"Missing", Folder), Folder) << Length;
    }
    // A raw value of 2047 characters is not a whole number of groups: nothing is kept.
    WriteIni("[Main]\r\nFolder=" + std::string(2047, '4') + "\r\n");
    EXPECT_EQ(ReadSettingString(L"Main", L"Folder", L"default"), L"");
    WriteIni("[Main]\r\nFolder=" + std::string(2044, '4') + "\r\n");
    EXPECT_EQ(ReadSettingString(L"Main", L"Folder", L"default"), std::wstring(511, L'\x4444'));
}

// A settings file that cannot be written (or read) never interrupts anything:
// reads give their defaults or the old values, writes are dropped.
TEST_F(SettingsFile, UnwritableFileIsLeftAsItWas) {
    const std::string Original = "[Main]\r\nFolder=0041\r\nLeft=5\r\n";
    const TMainSettings Defaults{L"d", true, L"*.TXT", true, L"", 2};

    // A folder that does not exist: nothing is created, reads give the defaults.
    SetSettingsFilePathForTests(Temp.Path() + L"missing\\Quorvane.INI");
    TMainSettings Read = ReadMainSettings(Defaults);
    EXPECT_EQ(Read.Folder, L"d");
    EXPECT_EQ(Read.TextEncoding, 2);
    WriteMainSettings({L"C:\\New", false, L"*.c", false, L"NOTEPAD", 3});
    WriteWindowState(false, {1, 2, 3, 4});
    EXPECT_FALSE(ReadFileBytes(Temp.Path() + L"missing\\Quorvane.INI").Exists);
    SetSettingsFilePathForTests(Ini);

    // A file held open without sharing by another program refuses every write.
    WriteIni(Original);
    {
        HANDLE Lock = CreateFileW(Ini.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(Lock, INVALID_HANDLE_VALUE);
        WriteMainSettings({L"C:\\Locked", false, L"*.c", false, L"NOTEPAD", 3});
        WriteWindowState(false, {1, 2, 3, 4});
        EXPECT_EQ(ReadWindowBounds({7, 7, 7, 7}).Top, 7);
        CloseHandle(Lock);
    }
    EXPECT_EQ(IniBytes(), Original);
    EXPECT_EQ(ReadSettingString(L"Main", L"Folder", L""), L"A");
    EXPECT_EQ(ReadWindowBounds({7, 7, 7, 7}).Left, 5);

    // A read-only file. Wine run as root lets every write through, so the content
    // is checked only where the system refuses to open the file for writing.
    ASSERT_TRUE(SetFileAttributesW(Ini.c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE Probe = CreateFileW(Ini.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool Enforced = Probe == INVALID_HANDLE_VALUE;
    if (!Enforced) CloseHandle(Probe);
    WriteMainSettings({L"C:\\New", false, L"*.c", false, L"NOTEPAD", 3});
    WriteWindowState(true, {1, 2, 3, 4});
    if (Enforced) {
        EXPECT_EQ(IniBytes(), Original);
    }
    SetFileAttributesW(Ini.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace

namespace {

// The recent texts: written as comma-separated hex texts and read back; a
// missing key, and each kind of damaged value, read as an empty list; a
// hand-written list is cut to ten texts without empty ones or repeats.
TEST_F(SettingsFile, TextHistoryListsRoundTripAndDamagedValuesAreIgnored) {
    WriteIni("[Main]\r\nFolder=\r\n");
    EXPECT_TRUE(ReadTextHistory().Find.empty());
    EXPECT_TRUE(ReadTextHistory().Replace.empty());
    WriteTextHistory(TTextHistory{});
    EXPECT_EQ(KeysOf(IniLines()), (std::vector<std::string>{"[Main]", "Folder"}));

    WriteTextHistory(TTextHistory{{L"colour", L"a,b", L"två\r\nrader"}, {L"color"}});
    EXPECT_EQ(ValueOf(IniLines(), "FindHistory"),
              "0063006F006C006F00750072,0061002C0062,0074007600E5000D000A00720061006400650072");
    EXPECT_EQ(ValueOf(IniLines(), "ReplaceHistory"), "0063006F006C006F0072");
    TTextHistory Read = ReadTextHistory();
    EXPECT_EQ(Read.Find, (std::vector<std::wstring>{L"colour", L"a,b", L"två\r\nrader"}));
    EXPECT_EQ(Read.Replace, std::vector<std::wstring>{L"color"});

    const char* Damaged[] = {"0041,", ",0041", "0041,,0042", "004", "0041,00ZZ", "0041 0042", "0000", "x"};
    for (const char* Value : Damaged) {
        SCOPED_TRACE(Value);
        WriteIni("[Main]\r\nFindHistory="s + Value + "\r\nReplaceHistory=0041\r\n");
        EXPECT_TRUE(ReadTextHistory().Find.empty());
        EXPECT_EQ(ReadTextHistory().Replace, std::vector<std::wstring>{L"A"});
    }
    // Lower-case digits are hex too; repeats and texts past the tenth are dropped.
    WriteIni("[Main]\r\nFindHistory=0061,0062,0063,0064,0065,0066,0067,0061,0068,0069,006a,006B,006c\r\n");
    Read = ReadTextHistory();
    EXPECT_EQ(Read.Find, (std::vector<std::wstring>{L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i", L"j"}));
}

}  // namespace
