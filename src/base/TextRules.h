#pragma once
// Several replacements in one run: pairs of a text to find and its replacement,
// applied to a text in order, each to the text as the pairs before it left it.
// Every pair takes its occurrences from a TextScanner under the run's case and
// rule, so one pair alone counts and replaces exactly as a single text to find.
//
// Pairs come from a file of lines "FIND<TAB>REPLACE", read by ReadPairLines.
#include "base/TextScanner.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TReplaceRule {
    std::wstring TextToFind;
    std::wstring ReplaceWith;
    std::size_t Line = 0;  // its line in the pairs file (0: not from a file)
    bool operator==(const TReplaceRule&) const = default;
};

// What is wrong with a file of pairs, and on which line (1-based; 0 for the file as a whole).
enum class TPairsFault {
    None,
    NoTab,          // a line that is neither a comment nor empty holds no TAB
    UnknownEscape,  // a backslash followed by anything but t, n or a backslash
    EmptyFind,      // nothing before the TAB
    NoPairs,        // no line holds a pair
};
struct TPairsProblem {
    TPairsFault Fault = TPairsFault::None;
    std::size_t Line = 0;
    std::wstring Escape;  // UnknownEscape: as written ("\x", or "\" at a line's end)
};

// Reads the lines of a pairs file (without their line ends and the file's mark).
// A line starting with # is a comment; an empty line (or one of blanks alone) is
// skipped. Otherwise the first TAB splits the line; a TAB inside either half is
// written \t, a line break \n, a backslash \\. Empty result with Problem set on
// the first fault.
std::vector<TReplaceRule> ReadPairLines(const std::vector<std::wstring>& Lines, TPairsProblem& Problem);

// A place in a text and what replaces it.
struct TTextEdit {
    std::size_t Start = 0, End = 0;
    std::wstring After;
};

class TRuleChain {
public:
    TRuleChain(std::vector<TReplaceRule> Rules, bool CaseSensitive, TFindRule Rule);

    std::size_t Size() const { return FSteps.size(); }
    const TReplaceRule& Rule(std::size_t Index) const { return FSteps[Index].Rule; }
    const TextScanner& Scanner(std::size_t Index) const { return FSteps[Index].Scanner; }

    // Each pair's occurrences: the first's in Text, each later one's in the text
    // as the pairs before it left it. A pair counts as CountMatches counts (none
    // when the text does not hold it), and only a pair that occurs replaces.
    std::vector<std::int32_t> Counts(std::wstring_view Text) const;
    // Text with every pair applied in order.
    std::wstring Applied(std::wstring_view Text) const;
    // The same changes as places in Text, in order and apart: an occurrence of a
    // later pair that touches what an earlier pair wrote joins that change. A
    // change that writes back what was there is left out.
    std::vector<TTextEdit> Edits(std::wstring_view Text) const;
    // Whether a replacement holds a character beyond ASCII.
    bool ReplacesWithNonAscii() const;

private:
    struct TStep {
        TReplaceRule Rule;
        TextScanner Scanner;
    };
    std::vector<TStep> FSteps;
};
