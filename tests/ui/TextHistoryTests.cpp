// The recent texts of the find and replace boxes: remembered by Search and
// Apply, most recent first, without repeats, ten at most; kept across a restart
// of the window; shown with Alt+Down and put into the box when chosen.
#include "CommandsTestSupport.h"

#include "SettingsLines.h"
#include "settings/Settings.h"
#include "ui/TextHistory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string Narrow(const std::wstring& Text) { return std::string(Text.begin(), Text.end()); }

std::string HexList(const std::vector<std::wstring>& Texts) {
    std::string Value;
    for (const std::wstring& Text : Texts) {
        if (!Value.empty()) Value.push_back(',');
        Value.append(Narrow(HexEncodeText(Text)));
    }
    return Value;
}

std::vector<std::wstring> ItemTexts(const TMenuAnswer& Answer) {
    std::vector<std::wstring> Texts;
    for (const TMenuAnswer::TItem& Item : Answer.Items()) Texts.push_back(Item.Text);
    return Texts;
}

// The language of the case, in force before the window is made.
struct TCaseLanguage {
    LocaleScope FLanguage{LanguageLocale(testing::WithParamInterface<bool>::GetParam())};
};

class TextHistory : public testing::TestWithParam<bool>, protected TCaseLanguage, protected TCommandWindowTest {
protected:
    void Search(const std::wstring& Text) {
        SetInputs(Fixture.Path(), L"*.txt", Text, L"", true);
        Click(Form->btnSearch);
        ASSERT_TRUE(WaitForRunEnd(*Form));
        ASSERT_EQ(Form->FileItemCount(), 1) << "the fixture holds every text";
    }
    // Alt+Down in Box, the drop-down answered by choosing item Choose.
    std::vector<std::wstring> DropDown(HWND Box, int Choose, const std::wstring& Shot = L"") {
        TMenuAnswer Answer(Choose, Shot);
        SetFocus(Box);
        {
            TModifierScope Alt(ssAlt);
            PressKey(Box, VK_DOWN);
        }
        Pump();
        return Answer.Shown() ? ItemTexts(Answer) : std::vector<std::wstring>{L"<no list>"};
    }
};

TEST_P(TextHistory, SearchAndApplyRememberTenTextsMostRecentFirstAcrossARestart) {
    Fixture.WriteFile(L"a.txt", "t1 t2 t3 t4 t5 t6 t7 t8 t9 t10 t11 t12");
    for (int i = 1; i <= 12; ++i) Search(L"t" + std::to_wstring(i));
    Search(L"t3");  // used again: to the front, listed once
    {
        TBoxWatcher Boxes;
        Boxes.Answer(IDYES);
        SetInputs(Fixture.Path(), L"*.txt", L"t5", L"R & D", true);
        Click(Form->btnApply);
        ASSERT_TRUE(WaitForRunEnd(*Form));
        ASSERT_EQ(Boxes.Boxes().size(), 2u) << BoxTexts(Boxes);  // the question and the result
    }
    const std::vector<std::wstring> Find{L"t5", L"t3", L"t12", L"t11", L"t10", L"t9", L"t8", L"t7", L"t6", L"t4"};
    const std::vector<std::wstring> Replace{L"R & D"};
    EXPECT_EQ(Form->History.Find, Find);
    EXPECT_EQ(Form->History.Replace, Replace);

    // A restart: what the window stored, it reads back.
    Form.reset();
    const std::vector<std::string> Lines = SettingsFileLines();
    EXPECT_EQ(ValueOf(Lines, "FindHistory"), HexList(Find));
    EXPECT_EQ(ValueOf(Lines, "ReplaceHistory"), HexList(Replace));
    Form = OpenMainWindow();
    EXPECT_EQ(Form->History.Find, Find);

    const bool Swedish = GetParam();
    EXPECT_EQ(DropDown(Form->txtTextToFind, 2, Swedish ? L"shot-history-sv" : L"shot-history-en"), Find);
    EXPECT_EQ(TextOf(Form->txtTextToFind), L"t12");
    EXPECT_EQ(GetFocus(), Form->txtTextToFind);
    // The item's menu string doubles "&", which the menu shows as one "&".
    EXPECT_EQ(DropDown(Form->txtReplaceWith, 0), std::vector<std::wstring>{L"R && D"});
    EXPECT_EQ(TextOf(Form->txtReplaceWith), L"R & D");
    // Closed with Esc: the box keeps its text.
    SetWindowTextW(Form->txtTextToFind, L"typed");
    EXPECT_EQ(DropDown(Form->txtTextToFind, -1), Find);
    EXPECT_EQ(TextOf(Form->txtTextToFind), L"typed");
}

INSTANTIATE_TEST_SUITE_P(Window, TextHistory, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& Info) {
                             return Info.param ? std::string("Swedish") : std::string("English");
                         });

class TextHistoryFile : public testing::Test, protected TCommandWindowTest {};

// A damaged list is ignored (no drop-down, the other list still read); without
// any history the settings file gets no history keys.
TEST_F(TextHistoryFile, ADamagedListIsIgnoredAndNoListWritesNoKey) {
    Form.reset();
    WriteSettingsFile("[Main]\r\nEditor=004E004F00540045005000410044\r\nFindHistory=00ZZ,0041\r\n"
                      "ReplaceHistory=0078\r\n");
    Form = OpenMainWindow();
    EXPECT_TRUE(Form->History.Find.empty());
    EXPECT_EQ(Form->History.Replace, std::vector<std::wstring>{L"x"});
    {
        TMenuAnswer Answer(-1);
        SetFocus(Form->txtTextToFind);
        TModifierScope Alt(ssAlt);
        PressKey(Form->txtTextToFind, VK_DOWN);
        EXPECT_FALSE(Answer.Shown());
    }
    Form.reset();
    WriteSettingsFile("[Main]\r\nEditor=004E004F00540045005000410044\r\n");
    Form = OpenMainWindow();
    Form.reset();
    const std::vector<std::string> Keys = KeysOf(SettingsFileLines());
    EXPECT_EQ(std::count(Keys.begin(), Keys.end(), "FindHistory"), 0);
    EXPECT_EQ(std::count(Keys.begin(), Keys.end(), "ReplaceHistory"), 0);
}

TEST(TextHistoryRules, RememberAndCaption) {
    std::vector<std::wstring> History;
    RememberText(History, L"");
    EXPECT_TRUE(History.empty());
    for (int i = 0; i < 11; ++i) RememberText(History, std::to_wstring(i));
    EXPECT_EQ(History, (std::vector<std::wstring>{L"10", L"9", L"8", L"7", L"6", L"5", L"4", L"3", L"2", L"1"}));
    RememberText(History, L"5");
    EXPECT_EQ(History.front(), L"5");
    EXPECT_EQ(std::count(History.begin(), History.end(), L"5"), 1);
    RememberText(History, L"Case");
    RememberText(History, L"case");  // another text: case matters
    EXPECT_EQ(History[0], L"case");
    EXPECT_EQ(History[1], L"Case");

    EXPECT_EQ(HistoryCaption(L"one\r\ntwo\nthree\tfour"), L"one \u00B6 two \u00B6 three four");
    EXPECT_EQ(HistoryCaption(L"R & D"), L"R && D");
    EXPECT_EQ(HistoryCaption(std::wstring(60, L'x')), std::wstring(60, L'x'));
    EXPECT_EQ(HistoryCaption(std::wstring(61, L'x')), std::wstring(60, L'x') + L"...");
}

}  // namespace
