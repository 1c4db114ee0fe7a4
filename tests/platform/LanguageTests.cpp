#include "platform/Language.h"

#include "LocaleScope.h"

#include <gtest/gtest.h>

namespace {

constexpr LCID Swedish = SwedishLocale, English = EnglishLocale, SwedishFinland = 2077;

TEST(Language, SwitchesAndLocaleChooseTheLanguage) {
    struct Case {
        const wchar_t* CommandLine;
        LCID Locale;
        bool Swedish;
    } Cases[] = {
        {L"prog.exe", Swedish, true},
        {L"prog.exe", English, false},
        {L"prog.exe", SwedishFinland, false},
        {L"prog.exe /english", Swedish, false},
        {L"prog.exe /Swedish", English, true},
        {L"prog.exe /SWEDISH /ENGLISH", English, false},  // both: the locale decides
        {L"prog.exe /SWEDISH /ENGLISH", Swedish, true},
        {L"prog.exe /english other /swedish", Swedish, true},
        {L"prog.exe /english /swedish", SwedishFinland, false},
        {L"prog.exe /SWEDISH /SWEDISH", English, true},
        {L"prog.exe /SWEDISH:yes", English, false},
        {L"prog.exe SWEDISH", English, false},
        {L"prog.exe /SWEDISHX -SWEDISH", English, false},
        {L"prog.exe /ENGLISH:no", Swedish, true},
        {L"prog.exe \"/SWEDISH\"", English, true},        // quotes are dropped
        {L"prog.exe /swe\"dish\"", English, true},        // also inside an argument
        {L"prog.exe \"/SWEDISH x\"", English, false},     // one argument with a blank in it
        {L"\"C:\\My Tools\\prog.exe\" /UTF8\t/swedish", English, true},  // a tab separates too
        {L"prog.exe\x01/SWEDISH", English, true},         // so does any control character
        {L"/SWEDISH", English, false},                    // the program name is no argument
        {L"\"C:\\x /SWEDISH\\prog.exe\"", English, false},
        {L"prog.exe  /ENGLISH  ", Swedish, false},
    };
    for (const Case& C : Cases) {
        LocaleScope Scope(C.Locale);
        EXPECT_EQ(UseSwedishIn(C.CommandLine), C.Swedish) << testing::PrintToString(std::wstring(C.CommandLine))
                                                          << " locale " << C.Locale;
    }
}

TEST(Language, SwitchTestIgnoresCaseAndPosition) {
    LocaleScope Scope(English);
    EXPECT_TRUE(HasSwitchIn(L"prog.exe /ansi /Utf8", L"/UTF8"));
    EXPECT_TRUE(HasSwitchIn(L"prog.exe /ansi /Utf8", L"/ANSI"));
    EXPECT_FALSE(HasSwitchIn(L"prog.exe /ansi /Utf8", L"/UTF16LE"));
    EXPECT_FALSE(HasSwitch(L"/SWEDISH"));             // the test runner passes no language switch
    EXPECT_EQ(UseSwedish(), UseSwedishIn(GetCommandLineW()));
    EXPECT_EQ(ChooseText(true, L"Sök", L"Search"), L"Sök");
    EXPECT_EQ(ChooseText(false, L"Sök", L"Search"), L"Search");
}

}  // namespace
