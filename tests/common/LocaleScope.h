#pragma once
// Sets StartupLocale for a scope and puts the recorded one back. Without a
// language switch on the command line the locale decides the language of the
// program's texts, and it decides the linguistic upper-casing of the text routines.
#include <windows.h>

#include <concepts>

constexpr LCID SwedishLocale = 1053;
constexpr LCID EnglishLocale = 1033;
// The locale that gives Swedish or English texts.
constexpr LCID LanguageLocale(bool Swedish) { return Swedish ? SwedishLocale : EnglishLocale; }

class LocaleScope {
public:
    explicit LocaleScope(LCID Locale);
    // A flag is no locale: say LanguageLocale(Swedish).
    template <std::same_as<bool> Flag>
    explicit LocaleScope(Flag) = delete;
    ~LocaleScope();
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    LCID FSaved;
};
