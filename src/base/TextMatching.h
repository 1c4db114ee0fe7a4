#pragma once
// Text routines shared by the whole program: the two case mappings, containment,
// replace-all, occurrence counting and the rounding used for percentages.
#include <windows.h>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TextScanner;

using TStringArray = std::vector<std::wstring>;

// The main thread's locale as recorded at start-up (1033 when the system gives 0).
extern LCID StartupLocale;
void RecordStartupLocale();

// Locale-aware upper-casing under StartupLocale (LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING).
std::wstring UpperCaseLinguistic(std::wstring_view Text);
// CharUpperBuffW's upper-casing over the whole text.
std::wstring UpperCaseSimple(std::wstring_view Text);
bool TextContains(std::wstring_view Text, std::wstring_view TextToFind, bool CaseSensitive);
std::wstring ReplaceAll(std::wstring_view Text, std::wstring_view TextToFind,
                        std::wstring_view ReplaceWith, bool CaseSensitive);
std::int32_t CountMatches(std::wstring_view Text, std::wstring_view TextToFind, bool CaseSensitive);
// The same with the scanner's rule (a pattern, whole words).
std::wstring ReplaceAll(std::wstring_view Text, const TextScanner& Scanner, std::wstring_view ReplaceWith);
std::int32_t CountMatches(std::wstring_view Text, const TextScanner& Scanner);
// Value / Maximum * Scale in double precision, rounded half to even; 0 on a floating-point fault.
std::int64_t ProgressPercent(std::int64_t Value, std::int64_t Maximum, std::int64_t Scale);
