#include "base/TextMatching.h"

#include "base/TextScanner.h"

#include <cmath>

LCID StartupLocale = 1033;

void RecordStartupLocale() {
    LCID Locale = GetThreadLocale();
    StartupLocale = Locale != 0 ? Locale : 1033;
}

namespace {

// One platform call maps at most INT_MAX units; longer texts go in pieces that
// never split a surrogate pair, which maps them as one call would have.
std::size_t PieceLength(std::wstring_view Text, std::size_t Start) {
    constexpr std::size_t Piece = std::size_t{1} << 30;
    if (Text.size() - Start <= Piece) return Text.size() - Start;
    return IS_HIGH_SURROGATE(Text[Start + Piece - 1]) ? Piece - 1 : Piece;
}

}  // namespace

std::wstring UpperCaseLinguistic(std::wstring_view Text) {
    if (Text.empty()) return {};
    std::wstring Result(Text.size(), L'\0');
    for (std::size_t Start = 0; Start < Text.size();) {
        const std::size_t Count = PieceLength(Text, Start);
        LCMapStringW(StartupLocale, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING, Text.data() + Start,
                     static_cast<int>(Count), Result.data() + Start, static_cast<int>(Count));
        Start += Count;
    }
    return Result;
}

std::wstring UpperCaseSimple(std::wstring_view Text) {
    std::wstring Result(Text);
    for (std::size_t Start = 0; Start < Result.size();) {
        const std::size_t Count = PieceLength(Text, Start);
        CharUpperBuffW(Result.data() + Start, static_cast<DWORD>(Count));
        Start += Count;
    }
    return Result;
}

bool TextContains(std::wstring_view Text, std::wstring_view TextToFind, bool CaseSensitive) {
    if (Text.empty() || TextToFind.empty()) return false;
    if (CaseSensitive) return TextScanner(TextToFind, true).Find(Text, 0) != TextScanner::NotFound;
    return TextScanner::ContainsLinguistic(Text, TextToFind);
}

std::wstring ReplaceAll(std::wstring_view Text, std::wstring_view TextToFind,
                        std::wstring_view ReplaceWith, bool CaseSensitive) {
    if (Text.empty() || TextToFind.empty()) return {};
    return ReplaceAll(Text, TextScanner(TextToFind, CaseSensitive), ReplaceWith);
}

std::wstring ReplaceAll(std::wstring_view Text, const TextScanner& Scanner, std::wstring_view ReplaceWith) {
    if (Text.empty()) return {};
    // Occurrences in the mapped text mark the same spans in Text; the kept parts
    // come from Text as they are.
    std::wstring Result;
    std::size_t Position = 0;
    const OccurrenceReplacer Writer(Scanner, Text, ReplaceWith);
    Scanner.ForEach(Text, 0, [&](std::size_t Hit, std::size_t End) {
        if (Result.empty()) Result.reserve(Text.size());
        Result.append(Text.substr(Position, Hit - Position));
        Writer.Append(Result, Hit, End);
        Position = End;
    });
    Result.append(Text.substr(Position));
    return Result;
}

std::int32_t CountMatches(std::wstring_view Text, std::wstring_view TextToFind, bool CaseSensitive) {
    if (Text.empty() || TextToFind.empty()) return 0;
    return CountMatches(Text, TextScanner(TextToFind, CaseSensitive));
}

std::int32_t CountMatches(std::wstring_view Text, const TextScanner& Scanner) {
    if (Text.empty()) return 0;
    // The non-overlapping occurrences replace-all would find, provided the text
    // holds the text to find at all.
    const std::size_t First = Scanner.Find(Text, 0);
    if (!Scanner.Admits(Text, First)) return 0;
    return static_cast<std::int32_t>(Scanner.Count(Text, First));
}

std::int64_t ProgressPercent(std::int64_t Value, std::int64_t Maximum, std::int64_t Scale) {
    const double Result = static_cast<double>(Value) / static_cast<double>(Maximum) * static_cast<double>(Scale);
    if (!std::isfinite(Result)) return 0;  // division by zero, overflow
    // Nearest integer, ties to even, whatever rounding mode the thread runs in.
    double Rounded = std::floor(Result);
    const double Fraction = Result - Rounded;  // exact for doubles
    if (Fraction > 0.5 || (Fraction == 0.5 && std::fmod(Rounded, 2.0) != 0.0)) Rounded += 1.0;
    if (!(Rounded >= -9223372036854775808.0 && Rounded < 9223372036854775808.0)) return 0;
    return static_cast<std::int64_t>(Rounded);
}
