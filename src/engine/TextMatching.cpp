#include "engine/TextMatching.h"

#include <cmath>

LCID StartupLocale = 1033;

void RecordStartupLocale() {
    LCID Locale = GetThreadLocale();
    StartupLocale = Locale != 0 ? Locale : 1033;
}

std::wstring UpperCaseLinguistic(std::wstring_view Text) {
    if (Text.empty()) return {};
    std::wstring Result(Text.size(), L'\0');
    LCMapStringW(StartupLocale, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING, Text.data(),
                 static_cast<int>(Text.size()), Result.data(), static_cast<int>(Result.size()));
    return Result;
}

namespace {

// The simple per-code-unit mapping; never changes the length.
std::wstring UpperCaseSimple(std::wstring_view Text) {
    std::wstring Result(Text);
    if (!Result.empty()) CharUpperBuffW(Result.data(), static_cast<DWORD>(Result.size()));
    return Result;
}

}  // namespace

bool TextContains(std::wstring_view Text, std::wstring_view TextToFind, bool CaseSensitive) {
    if (Text.empty() || TextToFind.empty()) return false;
    if (CaseSensitive) return Text.find(TextToFind) != std::wstring_view::npos;
    return UpperCaseLinguistic(Text).find(UpperCaseLinguistic(TextToFind)) != std::wstring::npos;
}

std::wstring ReplaceAll(std::wstring_view Text, std::wstring_view TextToFind,
                        std::wstring_view ReplaceWith, bool CaseSensitive) {
    if (Text.empty() || TextToFind.empty()) return {};
    std::wstring UpperText, UpperFind;
    std::wstring_view Haystack = Text, Needle = TextToFind;
    if (!CaseSensitive) {
        UpperText = UpperCaseSimple(Text);
        UpperFind = UpperCaseSimple(TextToFind);
        Haystack = UpperText;
        Needle = UpperFind;
    }
    std::wstring Result;
    Result.reserve(Text.size());
    size_t Pos = 0;
    for (;;) {
        size_t Hit = Haystack.find(Needle, Pos);
        if (Hit == std::wstring_view::npos) break;
        Result.append(Text.substr(Pos, Hit - Pos));
        Result.append(ReplaceWith);
        Pos = Hit + Needle.size();
    }
    Result.append(Text.substr(Pos));
    return Result;
}

std::int32_t CountMatches(std::wstring_view Text, std::wstring_view TextToFind, bool CaseSensitive) {
    if (Text.empty() || TextToFind.empty()) return 0;
    if (!TextContains(Text, TextToFind, CaseSensitive)) return 0;
    std::wstring Stripped = ReplaceAll(Text, TextToFind, L"", CaseSensitive);
    return static_cast<std::int32_t>((Text.size() - Stripped.size()) / TextToFind.size());
}

std::int64_t ProgressPercent(std::int64_t Value, std::int64_t Maximum, std::int64_t Scale) {
    double Result = static_cast<double>(Value) / static_cast<double>(Maximum) * static_cast<double>(Scale);
    if (!std::isfinite(Result) || std::fabs(Result) >= 9.2e18) return 0;
    return static_cast<std::int64_t>(std::nearbyint(Result));  // default rounding: half to even
}
