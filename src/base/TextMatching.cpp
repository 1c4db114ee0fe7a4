#include "base/TextMatching.h"

#include "base/TextCaseMap.h"
#include "base/TextSearch.h"

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

namespace {

// The straightforward forms, used only when no table can stand in for a mapping
// (the platform refused to map for that locale, or a table is still being built
// by another thread): they call the platform on whole copies.
bool ContainsLinguisticByCall(std::wstring_view Text, std::wstring_view TextToFind) {
    return UpperCaseLinguistic(Text).find(UpperCaseLinguistic(TextToFind)) != std::wstring::npos;
}

std::wstring UpperCaseSimpleByCall(std::wstring_view Text) {
    std::wstring Result(Text);
    for (std::size_t Start = 0; Start < Result.size();) {
        const std::size_t Count = PieceLength(Text, Start);
        CharUpperBuffW(Result.data() + Start, static_cast<DWORD>(Count));
        Start += Count;
    }
    return Result;
}

std::wstring ReplaceAllSimpleByCall(std::wstring_view Text, std::wstring_view TextToFind,
                                    std::wstring_view ReplaceWith) {
    const std::wstring UpperText = UpperCaseSimpleByCall(Text);
    const std::wstring UpperFind = UpperCaseSimpleByCall(TextToFind);
    std::wstring Result;
    std::size_t Position = 0;
    for (std::size_t Hit; (Hit = UpperText.find(UpperFind, Position)) != std::wstring::npos;) {
        Result.append(Text.substr(Position, Hit - Position));
        Result.append(ReplaceWith);
        Position = Hit + UpperFind.size();
    }
    Result.append(Text.substr(Position));
    return Result;
}

// Linguistic containment: true when the needle, upper-cased linguistically as a
// whole, occurs in the text upper-cased the same way.
bool ContainsLinguistic(std::wstring_view Text, std::wstring_view TextToFind) {
    const CaseMap* Map = LinguisticCaseMap(StartupLocale);
    if (Map == nullptr) return ContainsLinguisticByCall(Text, TextToFind);
    return TextFinder(TextToFind, Map).Find(Text, 0) != TextFinder::NotFound;
}

// Whether Text[Position ..] maps linguistically to exactly what TextToFind maps
// to: then the linguistic containment holds without a scan of its own.
bool SpanAgrees(const CaseMap& Map, std::wstring_view Text, std::size_t Position,
                std::wstring_view TextToFind) {
    for (std::size_t K = 0; K < TextToFind.size(); ++K)
        if (Map.At(Text.data(), Text.size(), Position + K) !=
            Map.At(TextToFind.data(), TextToFind.size(), K))
            return false;
    return true;
}

}  // namespace

bool TextContains(std::wstring_view Text, std::wstring_view TextToFind, bool CaseSensitive) {
    if (Text.empty() || TextToFind.empty()) return false;
    if (CaseSensitive) return TextFinder(TextToFind, nullptr).Find(Text, 0) != TextFinder::NotFound;
    return ContainsLinguistic(Text, TextToFind);
}

std::wstring ReplaceAll(std::wstring_view Text, std::wstring_view TextToFind,
                        std::wstring_view ReplaceWith, bool CaseSensitive) {
    if (Text.empty() || TextToFind.empty()) return {};
    const CaseMap* Map = nullptr;
    if (!CaseSensitive) {
        Map = SimpleCaseMap();
        if (Map == nullptr) return ReplaceAllSimpleByCall(Text, TextToFind, ReplaceWith);
    }
    // Occurrences in the mapped text mark the same spans in Text; the kept parts
    // come from Text as they are.
    const TextFinder Finder(TextToFind, Map);
    std::wstring Result;
    std::size_t Position = 0;
    for (std::size_t Hit; (Hit = Finder.Find(Text, Position)) != TextFinder::NotFound;) {
        if (Result.empty()) Result.reserve(Text.size());
        Result.append(Text.substr(Position, Hit - Position));
        Result.append(ReplaceWith);
        Position = Hit + TextToFind.size();
    }
    Result.append(Text.substr(Position));
    return Result;
}

std::int32_t CountMatches(std::wstring_view Text, std::wstring_view TextToFind, bool CaseSensitive) {
    if (Text.empty() || TextToFind.empty()) return 0;
    // The count is that of the non-overlapping occurrences replace-all would find,
    // provided the containment test finds the text too. Case-sensitively both
    // look for the same thing.
    if (CaseSensitive) return static_cast<std::int32_t>(TextFinder(TextToFind, nullptr).Count(Text, 0));

    // Case-insensitively replace-all uses the simple mapping and containment the
    // linguistic one. An occurrence whose units agree under the linguistic mapping
    // proves containment; only when none does is the text scanned again.
    const CaseMap* Simple = SimpleCaseMap();
    if (Simple == nullptr) {
        if (!ContainsLinguisticByCall(Text, TextToFind)) return 0;
        const std::wstring Stripped = ReplaceAllSimpleByCall(Text, TextToFind, L"");
        return static_cast<std::int32_t>((Text.size() - Stripped.size()) / TextToFind.size());
    }
    const TextFinder Finder(TextToFind, Simple);
    const std::size_t First = Finder.Find(Text, 0);
    if (First == TextFinder::NotFound) return 0;
    const std::size_t Count = 1 + Finder.Count(Text, First + TextToFind.size());
    const CaseMap* Linguistic = LinguisticCaseMap(StartupLocale);
    bool Contained = false;
    for (std::size_t Hit = First; Linguistic != nullptr && Hit != TextFinder::NotFound;
         Hit = Finder.Find(Text, Hit + TextToFind.size()))
        if ((Contained = SpanAgrees(*Linguistic, Text, Hit, TextToFind))) break;
    if (!Contained && !ContainsLinguistic(Text, TextToFind)) return 0;
    return static_cast<std::int32_t>(Count);
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
