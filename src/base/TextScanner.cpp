#include "base/TextScanner.h"

#include "base/TextCaseMap.h"
#include "base/TextMatching.h"

namespace {

// Whether Text[Position ..] maps linguistically to exactly what TextToFind maps to.
bool SpanAgrees(const CaseMap& Map, std::wstring_view Text, std::size_t Position, std::wstring_view TextToFind) {
    for (std::size_t K = 0; K < TextToFind.size(); ++K)
        if (Map.At(Text.data(), Text.size(), Position + K) != Map.At(TextToFind.data(), TextToFind.size(), K))
            return false;
    return true;
}

}  // namespace

TextScanner::TextScanner(std::wstring_view TextToFind, bool CaseSensitive, TFindRule Rule)
    : FTextToFind(TextToFind), FCaseSensitive(CaseSensitive), FWholeWord(Rule.WholeWord) {
    if (FTextToFind.empty()) return;
    if (Rule.Regex) {
        TPatternProblem Problem;
        FPattern = TextPattern::Compile(FTextToFind, CaseSensitive, Rule.WholeWord, Problem);
        if (!FPattern) FTextToFind.clear();
        return;
    }
    const CaseMap* Map = CaseSensitive ? nullptr : SimpleCaseMap();
    FMapCopy = !CaseSensitive && Map == nullptr;
    if (HoldsLineBreak(FTextToFind))
        FLines.emplace(FMapCopy ? UpperCaseSimple(FTextToFind) : FTextToFind, Map);
    else if (!FMapCopy)
        FFinder.emplace(FTextToFind, Map);
    else
        FUpperFind = UpperCaseSimple(FTextToFind);
}

std::size_t TextScanner::Find(std::wstring_view Text, std::size_t From) const {
    if (FTextToFind.empty()) return NotFound;
    if (FPattern) {
        std::size_t End = 0;
        return FPattern->Find(Text, From, End);
    }
    if (FWholeWord && !FMapCopy) {
        std::size_t End = 0;
        for (std::size_t Hit; (Hit = FindLiteral(Text, From, End)) != NotFound; From = Hit + 1)
            if (StandsAsWord(Text, Hit, End)) return Hit;
        return NotFound;
    }
    const bool Plain = !FPattern && !FWholeWord;
    if (FFinder && Plain) return FFinder->Find(Text, From);
    std::size_t End = 0;
    if (FLines && !FMapCopy && Plain) return FLines->Find(Text, From, End);
    std::size_t First = NotFound;
    ForEach(Text, From, [&](std::size_t Hit) {
        if (First == NotFound) First = Hit;
    });
    return First;
}

std::size_t TextScanner::Count(std::wstring_view Text, std::size_t From) const {
    if (FTextToFind.empty()) return 0;
    if (FFinder && !FPattern && !FWholeWord) return FFinder->Count(Text, From);
    std::size_t Count = 0;
    ForEach(Text, From, [&](std::size_t) { ++Count; });
    return Count;
}

std::size_t TextScanner::FindLiteral(std::wstring_view Mapped, std::size_t From, std::size_t& End) const {
    std::size_t Hit = NotFound;
    if (FLines) return FLines->Find(Mapped, From, End);
    Hit = FFinder ? FFinder->Find(Mapped, From) : Mapped.find(FUpperFind, From);
    End = Hit + Length();
    return Hit;
}

OccurrenceReplacer::OccurrenceReplacer(const TextScanner& Scanner, std::wstring_view Text,
                                       std::wstring_view ReplaceWith)
    : FLiteral(Text, ReplaceWith), FPattern(Scanner.Pattern()), FText(Text) {
    TPatternProblem Problem;
    if (FPattern && !FPattern->ReadReplacement(ReplaceWith, FPieces, Problem)) FPieces.Pieces.clear();
}

bool TextScanner::Admits(std::wstring_view Text, std::size_t First) const {
    if (First == NotFound) return false;
    // A pattern has no linguistic counterpart: its matches decide alone.
    if (FCaseSensitive || FPattern) return true;
    const CaseMap* Linguistic = LinguisticCaseMap(StartupLocale);
    if (Linguistic != nullptr && FFinder)
        for (std::size_t Hit = First; Hit != NotFound; Hit = FFinder->Find(Text, Hit + Length()))
            if (SpanAgrees(*Linguistic, Text, Hit, FTextToFind)) return true;
    return ContainsLinguistic(Text, FTextToFind);
}

bool TextScanner::ContainsLinguistic(std::wstring_view Text, std::wstring_view TextToFind) {
    const CaseMap* Map = LinguisticCaseMap(StartupLocale);
    // Without a table (the platform refused the locale, or another thread is
    // still building it) the call maps whole copies.
    if (HoldsLineBreak(TextToFind)) {
        std::size_t End = 0;
        if (Map == nullptr)
            return LineBreakPattern(UpperCaseLinguistic(TextToFind), nullptr).Find(UpperCaseLinguistic(Text), 0, End) !=
                   NotFound;
        return LineBreakPattern(TextToFind, Map).Find(Text, 0, End) != NotFound;
    }
    if (Map == nullptr) return UpperCaseLinguistic(Text).find(UpperCaseLinguistic(TextToFind)) != std::wstring::npos;
    return TextFinder(TextToFind, Map).Find(Text, 0) != TextFinder::NotFound;
}
