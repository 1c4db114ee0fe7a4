#include "platform/Messages.h"

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

}  // namespace
