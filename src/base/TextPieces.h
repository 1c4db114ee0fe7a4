#pragma once
// Counting the occurrences of a text given in consecutive pieces, as CountMatches
// counts them in the whole text: a file is read and decoded a piece at a time, so
// its memory stays the same whatever its size.
//
// Each call gets the units the last one asked to keep, followed by the new ones;
// what is kept is what an occurrence or a rule still needs to be decided the same
// way as in the whole text: the start of an occurrence that may reach into the next
// piece, the units before the point the scan resumes at (a low surrogate maps with
// the high one before it, a word needs the unit before it), and a CR or a high
// surrogate at the end (its partner may follow).
//
// The case-insensitive containment rule (TextScanner::Admits) is decided over the
// pieces too: the linguistic search runs beside the count until it succeeds.
//
// A pattern (a Regex rule) cannot be carried over pieces: such a scanner must get
// the whole text (CountsInPieces says so).
#include "base/TextCaseMap.h"
#include "base/TextScanner.h"
#include "base/TextSearch.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

class TPieceCounter {
public:
    explicit TPieceCounter(const TextScanner& Scanner) : FScanner(Scanner) {}

    // Whether Scanner's occurrences can be counted in pieces.
    static bool CountsInPieces(const TextScanner& Scanner) { return Scanner.Pattern() == nullptr; }

    // A new text from its start.
    void Reset();
    // Text: the units kept from the last call (as many as it returned; none after
    // Reset), then the new ones. Last: nothing follows. Returns how many units at
    // the end of Text the next call must be given again before its new ones (0
    // after the last piece).
    std::size_t Take(std::wstring_view Text, bool Last);
    // After the last piece: what CountMatches gives for the whole text.
    std::int32_t Count() const;

private:
    std::size_t Contain(std::wstring_view Text, std::size_t From, bool More);

    const TextScanner& FScanner;
    std::size_t FFrom = 0;         // where the count resumes in the next Text
    std::size_t FContainFrom = 0;  // where the linguistic search resumes
    std::size_t FCount = 0;
    bool FContained = false;       // the text holds the text to find linguistically
    std::optional<TextFinder> FLinguistic;  // the linguistic search, made once its table is there
    const CaseMap* FLinguisticMap = nullptr;
};
