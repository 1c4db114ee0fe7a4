#include "platform/Messages.h"

#include "platform/InputChecks.h"
#include "platform/Language.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

// Counts read as the user's locale writes them: groups of three with its
// thousands separator, and zero as "0", never as nothing.
TEST(Messages, FormatCountGroupsDigitsAndWritesZero) {
    wchar_t Separator[8] = {};
    ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, Separator, 8), 0);
    const std::wstring S = Separator;
    const struct {
        std::uint64_t Value;
        std::wstring Expected;
    } Cases[] = {
        {0, L"0"},
        {7, L"7"},
        {999, L"999"},
        {1000, L"1" + S + L"000"},
        {1234567, L"1" + S + L"234" + S + L"567"},
        {4294967296ull, L"4" + S + L"294" + S + L"967" + S + L"296"},
    };
    for (const auto& Case : Cases) EXPECT_EQ(FormatCount(Case.Value), Case.Expected) << Case.Value;
    EXPECT_EQ(CountOrNotAvailable(0), L"N/A");
    EXPECT_EQ(CountOrNotAvailable(1000), L"1" + S + L"000");
}

// A result with nothing skipped or changed still names its numbers.
TEST(Messages, ApplyResultWithZeroReplacementsShowsTheZero) {
    const std::wstring Text = ApplyResultMessage(1, 0, 0);
    EXPECT_NE(Text.find(L" 0 "), std::wstring::npos) << std::string(Text.begin(), Text.end());
}

// Files left alone for want of an undo record get a sentence of their own after
// the skipped count; none when every entry was written.
TEST(Messages, ApplyResultNamesFilesThatCouldNotBeJournalled) {
    const std::wstring Sentence = ChooseText(UseSwedish(), L" Antal filer som inte kunde journalföras: 2.",
                                             L" Files that could not be journalled: 2.");
    const std::wstring Text = ApplyResultMessage(1, 1, 3, 2);
    ASSERT_GE(Text.size(), Sentence.size());
    EXPECT_EQ(Text.substr(Text.size() - Sentence.size()), Sentence);
    EXPECT_EQ(ApplyResultMessage(1, 1, 3, 0).find(L"journal"), std::wstring::npos);
}

// Case-sensitively a replacement that is the text to find changes nothing, and a
// line break counts as one of whatever kind: such an Apply is refused.
TEST(InputChecks, TheSameTextWithOtherLineBreaksIsTheSameText) {
    const struct {
        const wchar_t* Find;
        const wchar_t* With;
        bool Same;
    } Cases[] = {
        {L"a\r\nb", L"a\r\nb", true}, {L"a\r\nb", L"a\nb", true},  {L"\r", L"\n", true},
        {L"a\rb\n", L"a\r\nb\r", true}, {L"a\r\nb", L"a\n\nb", false}, {L"a\r\nb", L"ab", false},
        {L"a\nb", L"a\nB", false},
    };
    wchar_t Folder[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryW(Folder, MAX_PATH), 0u);
    for (const auto& Case : Cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(Case.Find)) + " / " +
                     testing::PrintToString(std::wstring(Case.With)));
        EXPECT_EQ(CheckApplyInputs({Folder, L"*.txt", Case.Find, Case.With, true, TEncodingMode::Auto}),
                  Case.Same ? TInputProblem::SameTextCaseSensitive : TInputProblem::None);
        EXPECT_EQ(CheckApplyInputs({Folder, L"*.txt", Case.Find, Case.With, false, TEncodingMode::Auto}),
                  TInputProblem::None);
    }
}

// A filter is a mask for names: one holding a folder, a separator or a drive is
// refused before anything runs, and the message names it as typed.
TEST(InputChecks, FilterHoldingAPathIsRefusedAndNamed) {
    const struct {
        const wchar_t* Filters;
        const wchar_t* Offending;  // empty: accepted
    } Cases[] = {
        {L"*.TXT; *.md", L""},
        {L"*.txt;;  *.md ", L""},
        {L"../*", L"../*"},
        {L"*.txt; C:\\data\\*", L"C:\\data\\*"},
        {L"  sub\\*.txt ; *.md", L"sub\\*.txt"},
        {L"*.md;a:b", L"a:b"},
    };
    wchar_t Folder[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryW(Folder, MAX_PATH), 0u);
    for (const auto& Case : Cases) {
        const std::wstring Filters = Case.Filters, Offending = Case.Offending;
        EXPECT_EQ(FilterHoldingPath(Filters), Offending);
        const TRunInputs Inputs{Folder, Filters, L"x", L"y", true, TEncodingMode::Auto};
        const TInputProblem Expected = Offending.empty() ? TInputProblem::None : TInputProblem::FilterHoldsPath;
        EXPECT_EQ(CheckSearchInputs(Inputs), Expected);
        EXPECT_EQ(CheckApplyInputs(Inputs), Expected);
        if (!Offending.empty()) {
            EXPECT_EQ(InputProblemMessage(TInputProblem::FilterHoldsPath, Filters),
                      ChooseText(UseSwedish(), L"Filter får inte innehålla sökvägar: ",
                                 L"A filter cannot hold a path: ") + Offending);
        }
    }
}

}  // namespace
