#include "platform/Language.h"

#include "base/TextMatching.h"

#include <windows.h>

namespace {

constexpr LCID SwedishLocale = 1053;

// Arguments are split at any character up to and including the blank; a part in
// double quotes belongs to one argument and the quotes are dropped.
TStringArray SplitArguments(std::wstring_view CommandLine) {
    TStringArray Arguments;
    std::wstring Current;
    bool InArgument = false, InQuotes = false;
    for (wchar_t C : CommandLine) {
        if (C == L'"') {
            InQuotes = !InQuotes;
            InArgument = true;
        } else if (C <= L' ' && !InQuotes) {
            if (InArgument) Arguments.push_back(std::move(Current));
            Current.clear();
            InArgument = false;
        } else {
            Current.push_back(C);
            InArgument = true;
        }
    }
    if (InArgument) Arguments.push_back(std::move(Current));
    return Arguments;
}

}  // namespace

bool HasSwitchIn(std::wstring_view CommandLine, std::wstring_view Switch) {
    TStringArray Arguments = SplitArguments(CommandLine);
    std::wstring Wanted = UpperCaseLinguistic(Switch);
    for (size_t i = 1; i < Arguments.size(); ++i)
        if (UpperCaseLinguistic(Arguments[i]) == Wanted) return true;
    return false;
}

bool HasSwitch(std::wstring_view Switch) {
    return HasSwitchIn(GetCommandLineW(), Switch);
}

bool UseSwedishIn(std::wstring_view CommandLine) {
    bool Swedish = HasSwitchIn(CommandLine, L"/SWEDISH");
    bool English = HasSwitchIn(CommandLine, L"/ENGLISH");
    if (Swedish && English) return StartupLocale == SwedishLocale;
    if (Swedish) return true;
    if (English) return false;
    return StartupLocale == SwedishLocale;
}

// The command line is scanned afresh at every call; nothing is cached.
bool UseSwedish() {
    return UseSwedishIn(GetCommandLineW());
}

std::wstring ChooseText(bool Flag, std::wstring_view First, std::wstring_view Second) {
    return std::wstring(Flag ? First : Second);
}
