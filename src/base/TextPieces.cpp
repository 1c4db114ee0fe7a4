#include "base/TextPieces.h"

#include "base/TextCaseMap.h"
#include "base/TextLineBreaks.h"
#include "base/TextMatching.h"
#include "base/TextSearch.h"

#include <windows.h>

#include <algorithm>

namespace {

// Units kept before the point a scan resumes at: the unit before a low surrogate
// decides its mapping, the unit before an occurrence decides a word.
constexpr std::size_t Context = 2;

}  // namespace

void TPieceCounter::Reset() {
    FFrom = FContainFrom = FCount = 0;
    FContained = false;
}

std::size_t TPieceCounter::Take(std::wstring_view Text, bool Last) {
    std::size_t End = Text.size();
    // A CR or a high surrogate at the end waits for the unit after it: a CR LF is
    // one line break, a surrogate pair maps as one.
    if (!Last && End > 0 && (Text[End - 1] == L'\r' || IS_HIGH_SURROGATE(Text[End - 1]))) --End;
    const std::wstring_view View = Text.substr(0, End);
    const std::size_t Next =
        FScanner.ForEach(View, std::min(FFrom, End), [this](std::size_t) { ++FCount; }, !Last);
    std::size_t Resume = Next;
    std::size_t ContainNext = End;
    if (!FContained && !FScanner.CaseSensitive() && !FScanner.TextToFind().empty()) {
        ContainNext = Contain(View, std::min(FContainFrom, End), !Last);
        if (!FContained) Resume = std::min(Resume, ContainNext);
    }
    if (Last) return 0;
    const std::size_t Dropped = Resume > Context ? Resume - Context : 0;
    FFrom = Next - Dropped;
    FContainFrom = ContainNext >= Dropped ? ContainNext - Dropped : 0;
    return Text.size() - Dropped;
}

std::size_t TPieceCounter::Contain(std::wstring_view Text, std::size_t From, bool More) {
    // As TextScanner::ContainsLinguistic, resumed at From: occurrences starting
    // before Limit end within Text whatever follows.
    const std::wstring_view Find = FScanner.TextToFind();
    const std::size_t Limit = !More ? Text.size() : Text.size() - std::min(Text.size(), FScanner.MaxLength() - 1);
    if (From >= Text.size()) return From;
    const CaseMap* Map = LinguisticCaseMap(StartupLocale);
    std::size_t Hit = TextScanner::NotFound;
    if (HoldsLineBreak(Find)) {
        std::size_t Until = 0;
        if (Map != nullptr)
            Hit = LineBreakPattern(Find, Map).Find(Text, From, Until);
        else
            Hit = LineBreakPattern(UpperCaseLinguistic(Find), nullptr).Find(UpperCaseLinguistic(Text), From, Until);
    } else if (Map != nullptr) {
        if (!FLinguistic || FLinguisticMap != Map) {
            FLinguistic.emplace(Find, Map);
            FLinguisticMap = Map;
        }
        Hit = FLinguistic->Find(Text, From);
    } else {
        Hit = UpperCaseLinguistic(Text).find(UpperCaseLinguistic(Find), From);
    }
    if (Hit != TextScanner::NotFound) FContained = true;
    return std::max(From, Limit);
}

std::int32_t TPieceCounter::Count() const {
    // The text must hold the text to find at all: case-insensitively also under
    // the linguistic mapping (a pattern has no such rule).
    if (FCount == 0 || (!FScanner.CaseSensitive() && FScanner.Pattern() == nullptr && !FContained)) return 0;
    return static_cast<std::int32_t>(FCount);
}

void TPieceReplacer::Reset(std::wstring_view FirstBreak) {
    FFirstBreak.assign(FirstBreak.empty() ? std::wstring_view(L"\r\n") : FirstBreak);
    FFrom = 0;
}

std::size_t TPieceReplacer::Take(std::wstring_view Text, bool Last, std::wstring& Out) {
    // The end waits as for the count: a CR LF is one line break, a pair one character.
    std::size_t End = Text.size();
    if (!Last && End > 0 && (Text[End - 1] == L'\r' || IS_HIGH_SURROGATE(Text[End - 1]))) --End;
    const ReplacementWriter Writer(Text, FWith, FFirstBreak);
    std::size_t Written = std::min(FFrom, End);  // Out holds the new text of the units before it
    const std::size_t Next = FScanner.ForEach(
        Text.substr(0, End), Written,
        [&](std::size_t Start, std::size_t Stop) {
            Out.append(Text.substr(Written, Start - Written));
            Writer.Append(Out, Start, Stop);
            Written = Stop;
        },
        !Last);
    if (Last) {
        Out.append(Text.substr(Written));
        return 0;
    }
    // Units before Next hold no occurrence that is not written: they are settled.
    Out.append(Text.substr(Written, Next - Written));
    const std::size_t Dropped = Next > Context ? Next - Context : 0;
    FFrom = Next - Dropped;
    return Text.size() - Dropped;
}

void TFirstLineBreak::Take(std::wstring_view Text, bool Last) {
    if (FFound) return;
    const std::size_t At = Text.find_first_of(L"\r\n");
    if (At == std::wstring_view::npos) return;
    if (Text[At] == L'\r' && At + 1 == Text.size() && !Last) return;  // the next unit tells
    FBreak.assign(Text.substr(At, Text[At] == L'\r' && At + 1 < Text.size() && Text[At + 1] == L'\n' ? 2 : 1));
    FFound = true;
}
