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
#include <string>
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
    // After the last piece: whether the text holds the text to find at all (as
    // TextContains tells for the whole text).
    bool Holds() const { return FScanner.CaseSensitive() ? FCount > 0 : FContained; }

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

// Replacing every occurrence of a text given in consecutive pieces, as ReplaceAll
// replaces them in the whole text, for a text known to hold the text to find (a
// counter said so): each call appends to Out the new text of the units that are
// settled, and keeps (as TPieceCounter does) what an occurrence still needs. The
// pieces of Out, one after another, are ReplaceAll's result.
class TPieceReplacer {
public:
    TPieceReplacer(const TextScanner& Scanner, std::wstring_view ReplaceWith)
        : FScanner(Scanner), FWith(ReplaceWith) {}

    static bool ReplacesInPieces(const TextScanner& Scanner) { return TPieceCounter::CountsInPieces(Scanner); }

    // A new text from its start. FirstBreak: the text's first line break (CR LF,
    // LF or CR; empty when it has none), which a replacement's line break takes in
    // an occurrence that spans none (see ReplacementWriter).
    void Reset(std::wstring_view FirstBreak);
    // As TPieceCounter::Take; Out receives the new text of what is settled.
    std::size_t Take(std::wstring_view Text, bool Last, std::wstring& Out);

private:
    const TextScanner& FScanner;
    std::wstring FWith;
    std::wstring FFirstBreak;
    std::size_t FFrom = 0;  // where the scan resumes in the next Text; Out holds the text before it
};

// Finds a text's first line break over consecutive pieces (as TPieceCounter::Take
// gets them, a CR at a piece's end given again with the next).
class TFirstLineBreak {
public:
    void Reset() { FBreak.clear(); FFound = false; }
    void Take(std::wstring_view Text, bool Last);
    // After the last piece: CR LF, LF or CR, or empty when the text has none.
    std::wstring_view Break() const { return FBreak; }

private:
    std::wstring FBreak;
    bool FFound = false;
};
