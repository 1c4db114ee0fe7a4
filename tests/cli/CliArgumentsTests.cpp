// Reading the command line: option forms, values that look like options or
// switches, and the faults, each named in the user's language.
#include "cli/CliArguments.h"

#include <gtest/gtest.h>

namespace {

struct TParsed {
    bool Ok = false;
    TCliOptions Options;
    std::wstring Error;
};

TParsed Parse(std::vector<std::wstring> Arguments, bool LocaleSwedish = false) {
    TParsed Result;
    Result.Ok = ParseCliArguments(Arguments, LocaleSwedish, Result.Options, Result.Error);
    return Result;
}

}  // namespace

TEST(CliArguments, OptionFormsGiveTheSameOptions) {
    const std::vector<std::vector<std::wstring>> Forms = {
        {L"search", L"D", L"--find", L"x", L"--recursive", L"--ignore-case", L"--encoding", L"utf8", L"--filters",
         L"*.c;*.h"},
        {L"search", L"D", L"--find=x", L"-r", L"-i", L"-e", L"UTF-8", L"-f", L"*.c", L"-f", L"*.h"},
        {L"-ri", L"--find", L"x", L"search", L"-eutf8", L"--filters=*.c ; *.h", L"D"},
        {L"search", L"--encoding=Utf8", L"D", L"-rif", L"*.c;;*.h", L"--find", L"x"},
    };
    for (const auto& Form : Forms) {
        const TParsed P = Parse(Form);
        ASSERT_TRUE(P.Ok) << testing::PrintToString(Form) << " " << testing::PrintToString(P.Error);
        EXPECT_EQ(P.Options.Command, TCliCommand::Search);
        EXPECT_EQ(P.Options.Folder, L"D");
        EXPECT_EQ(P.Options.TextToFind, L"x");
        EXPECT_TRUE(P.Options.Recursive);
        EXPECT_FALSE(P.Options.CaseSensitive);
        EXPECT_EQ(P.Options.TextEncoding, TEncodingMode::Utf8);
        EXPECT_EQ(P.Options.Filters, L"*.c; *.h");
    }
}

TEST(CliArguments, AValueIsNeverTakenAsAnOptionOrASwitch) {
    const struct {
        std::vector<std::wstring> Arguments;
        std::wstring Find;
        bool Swedish;
    } Cases[] = {
        {{L"search", L"D", L"--find", L"/swedish"}, L"/swedish", false},
        {{L"search", L"D", L"--find", L"-r"}, L"-r", false},
        {{L"search", L"D", L"--find", L"--recursive"}, L"--recursive", false},
        {{L"search", L"D", L"--find="}, L"", false},
        {{L"search", L"D", L"--find=", L"/SWEDISH"}, L"", true},
        {{L"search", L"D", L"--find", L"a=b"}, L"a=b", false},
        {{L"search", L"D", L"--find", L"--x="}, L"--x=", false},
        {{L"search", L"D", L"-if", L"--find=", L"--find", L"y"}, L"y", false},  // "--find=" is -f's value
        {{L"search", L"D", L"-fe", L"--find="}, L"", false},                    // "-fe": the value is "e"
        {{L"search", L"D", L"--find", L"a", L"--find", L"b"}, L"b", false},  // the last one counts
        {{L"/SWEDISH", L"search", L"D", L"--find", L"/ENGLISH"}, L"/ENGLISH", true},
    };
    for (const auto& Case : Cases) {
        const TParsed P = Parse(Case.Arguments);
        ASSERT_TRUE(P.Ok) << testing::PrintToString(Case.Arguments) << " " << testing::PrintToString(P.Error);
        EXPECT_EQ(P.Options.TextToFind, Case.Find) << testing::PrintToString(Case.Arguments);
        EXPECT_EQ(P.Options.Swedish, Case.Swedish) << testing::PrintToString(Case.Arguments);
        EXPECT_FALSE(P.Options.Recursive);
    }
}

TEST(CliArguments, LanguageFromSwitchesOrLocale) {
    const struct {
        std::vector<std::wstring> Switches;
        bool Locale, Swedish;
    } Cases[] = {
        {{}, false, false},          {{}, true, true},
        {{L"/swedish"}, false, true}, {{L"/English"}, true, false},
        {{L"/SWEDISH", L"/ENGLISH"}, false, false}, {{L"/SWEDISH", L"/ENGLISH"}, true, true},
    };
    for (const auto& Case : Cases) {
        std::vector<std::wstring> Arguments = {L"search", L"D", L"--find", L"x"};
        Arguments.insert(Arguments.end(), Case.Switches.begin(), Case.Switches.end());
        const TParsed P = Parse(Arguments, Case.Locale);
        ASSERT_TRUE(P.Ok);
        EXPECT_EQ(P.Options.Swedish, Case.Swedish) << testing::PrintToString(Case.Switches);
        EXPECT_EQ(P.Options.Folder, L"D");
    }
}

TEST(CliArguments, FaultsNameTheOptionInBothLanguages) {
    const struct {
        std::vector<std::wstring> Arguments;
        std::wstring English, Swedish;
    } Cases[] = {
        {{L"search", L"D", L"--find", L"x", L"--bogus"}, L"quorvane-cli: unknown option: --bogus",
         L"quorvane-cli: okänt alternativ: --bogus"},
        {{L"search", L"D", L"--find", L"x", L"-rq"}, L"quorvane-cli: unknown option: -q",
         L"quorvane-cli: okänt alternativ: -q"},
        {{L"search", L"D", L"--find"}, L"quorvane-cli: option --find needs a value",
         L"quorvane-cli: alternativet --find behöver ett värde"},
        {{L"search", L"D", L"--find", L"x", L"-e"}, L"quorvane-cli: option --encoding needs a value",
         L"quorvane-cli: alternativet --encoding behöver ett värde"},
        {{L"search", L"D", L"--find", L"x", L"--recursive=maybe"}, L"quorvane-cli: invalid value for option --recursive",
         L"quorvane-cli: ogiltigt värde för alternativet --recursive"},
        {{L"search", L"D", L"--find", L"x", L"-e", L"utf32"},
         L"quorvane-cli: unknown encoding 'utf32' for --encoding; use auto, ansi, utf8 or utf16le",
         L"quorvane-cli: okänd kodning 'utf32' för --encoding; använd auto, ansi, utf8 eller utf16le"},
        {{L"--find", L"x"}, L"quorvane-cli: name a command: search, replace or undo",
         L"quorvane-cli: ange ett kommando: search, replace eller undo"},
        {{L"find", L"D", L"--find", L"x"}, L"quorvane-cli: unknown command: find (use search, replace or undo)",
         L"quorvane-cli: okänt kommando: find (använd search, replace eller undo)"},
        {{L"undo", L"D"}, L"quorvane-cli: unexpected argument: D (undo takes no folder)",
         L"quorvane-cli: oväntat argument: D (undo tar ingen mapp)"},
        {{L"undo", L"--find", L"x"}, L"quorvane-cli: --find does not belong to the undo command",
         L"quorvane-cli: --find hör inte till kommandot undo"},
        {{L"undo", L"--list", L"-r"}, L"quorvane-cli: --recursive does not belong to the undo command",
         L"quorvane-cli: --recursive hör inte till kommandot undo"},
        {{L"undo", L"-f", L"*.c"}, L"quorvane-cli: --filters does not belong to the undo command",
         L"quorvane-cli: --filters hör inte till kommandot undo"},
        {{L"replace", L"D", L"--find", L"x", L"--replace", L"y", L"--list"},
         L"quorvane-cli: --list belongs to the undo command", L"quorvane-cli: --list hör till kommandot undo"},
        {{L"search", L"--find", L"x"}, L"quorvane-cli: name a folder after the command",
         L"quorvane-cli: ange en mapp efter kommandot"},
        {{L"search", L"D", L"E", L"--find", L"x"}, L"quorvane-cli: unexpected argument: E (name one folder only)",
         L"quorvane-cli: oväntat argument: E (ange en enda mapp)"},
        {{L"search", L"D"}, L"quorvane-cli: --find is missing (use --find \"\" to list every file)",
         L"quorvane-cli: --find saknas (använd --find \"\" för att lista alla filer)"},
        {{L"replace", L"D", L"--find", L"x"},
         L"quorvane-cli: --replace is missing (use --replace \"\" to delete the occurrences)",
         L"quorvane-cli: --replace saknas (använd --replace \"\" för att radera förekomsterna)"},
        {{L"search", L"D", L"--find", L"x", L"--dry-run"}, L"quorvane-cli: --dry-run belongs to the replace command",
         L"quorvane-cli: --dry-run hör till kommandot replace"},
        {{L"replace", L"D", L"--find", L"x", L"--replace", L"y", L"--count-only", L"-v"},
         L"quorvane-cli: --count-only and --verbose cannot be used together",
         L"quorvane-cli: --count-only och --verbose kan inte användas tillsammans"},
    };
    for (const auto& Case : Cases) {
        for (bool Swedish : {false, true}) {
            std::vector<std::wstring> Arguments = Case.Arguments;
            Arguments.insert(Arguments.begin(), Swedish ? L"/SWEDISH" : L"/ENGLISH");
            const TParsed P = Parse(Arguments, !Swedish);
            EXPECT_FALSE(P.Ok);
            EXPECT_EQ(P.Error, Swedish ? Case.Swedish : Case.English) << testing::PrintToString(Arguments);
        }
    }
}

TEST(CliArguments, UndoTakesNoFolderAndListsOnRequest) {
    for (const auto& [Arguments, List] :
         {std::pair{std::vector<std::wstring>{L"undo"}, false}, std::pair{std::vector<std::wstring>{L"undo", L"--list"}, true},
          std::pair{std::vector<std::wstring>{L"--list", L"/SWEDISH", L"undo", L"--no-progress"}, true}}) {
        const TParsed P = Parse(Arguments);
        ASSERT_TRUE(P.Ok) << testing::PrintToString(Arguments) << " " << testing::PrintToString(P.Error);
        EXPECT_EQ(P.Options.Command, TCliCommand::Undo);
        EXPECT_EQ(P.Options.List, List);
        EXPECT_TRUE(P.Options.Folder.empty());
    }
}

TEST(CliArguments, HelpAndVersionNeedNothingElse) {
    for (const std::vector<std::wstring>& Arguments :
         {std::vector<std::wstring>{L"--help"}, {L"-h"}, {L"/?"}, {L"search", L"--help"}}) {
        const TParsed P = Parse(Arguments);
        EXPECT_TRUE(P.Ok && P.Options.Help) << testing::PrintToString(Arguments);
    }
    const TParsed P = Parse({L"--version"});
    EXPECT_TRUE(P.Ok && P.Options.Version);
}

// -n lists lines in a search and keeps its meaning of a dry run in a replace;
// --context implies the lines unless it shapes a diff.
TEST(CliArguments, LinesContextAndDiff) {
    const struct {
        std::vector<std::wstring> Arguments;
        bool Lines, DryRun, Diff;
        std::int64_t Context;
    } Cases[] = {
        {{L"search", L"D", L"--find", L"x", L"-n"}, true, false, false, -1},
        {{L"search", L"D", L"--find", L"x", L"--lines"}, true, false, false, -1},
        {{L"search", L"D", L"--find", L"x", L"-C", L"2"}, true, false, false, 2},
        {{L"search", L"D", L"-rnC0", L"--find", L"x"}, true, false, false, 0},
        {{L"search", L"D", L"--find", L"x", L"--context=12"}, true, false, false, 12},
        {{L"replace", L"D", L"--find", L"x", L"--replace", L"y", L"-n"}, false, true, false, -1},
        {{L"replace", L"D", L"--find", L"x", L"--replace", L"y", L"-n", L"--lines"}, true, true, false, -1},
        {{L"replace", L"D", L"--find", L"x", L"--replace", L"y", L"-n", L"--diff", L"-C", L"5"}, false, true, true, 5},
        {{L"replace", L"D", L"--find", L"x", L"--replace", L"y", L"--dry-run", L"--context", L"1"}, true, true, false,
         1},
    };
    for (const auto& Case : Cases) {
        const TParsed P = Parse(Case.Arguments);
        ASSERT_TRUE(P.Ok) << testing::PrintToString(Case.Arguments) << " " << testing::PrintToString(P.Error);
        EXPECT_EQ(P.Options.Lines, Case.Lines) << testing::PrintToString(Case.Arguments);
        EXPECT_EQ(P.Options.DryRun, Case.DryRun) << testing::PrintToString(Case.Arguments);
        EXPECT_EQ(P.Options.Diff, Case.Diff) << testing::PrintToString(Case.Arguments);
        EXPECT_EQ(P.Options.Context, Case.Context) << testing::PrintToString(Case.Arguments);
    }
    for (const std::vector<std::wstring>& Refused :
         {std::vector<std::wstring>{L"search", L"D", L"--find", L"x", L"-C", L"1x"},
          {L"search", L"D", L"--find", L"x", L"-C", L"99999999999"},
          {L"replace", L"D", L"--find", L"x", L"--replace", L"y", L"--context", L"1"},
          {L"replace", L"D", L"--find", L"x", L"--replace", L"y", L"-n", L"--diff", L"--lines"},
          {L"undo", L"-n"}}) {
        EXPECT_FALSE(Parse(Refused).Ok) << testing::PrintToString(Refused);
    }
}
