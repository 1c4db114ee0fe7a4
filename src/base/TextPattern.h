#pragma once
// Regular expressions for the text to find (Boost.Regex, Perl/ECMAScript syntax),
// matched on the UTF-16 text, so every encoding mode behaves alike.
//
// An occurrence is never empty: a pattern that matches the empty text is refused,
// and an empty match elsewhere (a lookaround or \b alone) is passed over. "." does
// not cross a line end; ^ and $ match at each line's start and end. \n (or a line
// break typed in the pattern) outside brackets matches any one line break, CR LF,
// LF or CR, and never half of a CR LF, as a typed line break does in a literal
// text to find. An occurrence never starts or ends inside a surrogate pair.
// Case-insensitively each unit is lower-cased by Windows (LCMapStringW) before it
// is compared: one unit to one unit, no multi-letter folds.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class TPatternFault {
    None,
    Syntax,        // the pattern does not compile
    MatchesEmpty,  // it matches the empty text
    BadReference,  // the replacement names a group the pattern lacks, or holds a lone $
};

enum class TPatternSyntax { Parenthesis, Bracket, Brace, Escape, Repeat, Range, Backreference, Other };

struct TPatternProblem {
    TPatternFault Fault = TPatternFault::None;
    std::size_t Position = 0;  // Syntax: 0-based unit of the pattern where the engine stopped
    TPatternSyntax Syntax = TPatternSyntax::Other;
    std::wstring Reference;    // BadReference: as written ("$3", "${name}", "$")
};

// A replacement read for a pattern: literal pieces and group numbers in turn.
struct TPatternReplacement {
    struct TPiece {
        std::wstring Literal;
        int Group = -1;  // -1: the piece is Literal
    };
    std::vector<TPiece> Pieces;
};

class TextPattern {
public:
    static constexpr std::size_t NotFound = std::wstring_view::npos;

    // Null with Problem set when the pattern is bad input. WholeWord: an occurrence
    // must not be preceded or followed by a letter, a digit or an underscore.
    static std::shared_ptr<const TextPattern> Compile(std::wstring_view Pattern, bool CaseSensitive, bool WholeWord,
                                                      TPatternProblem& Problem);
    ~TextPattern();

    // The first occurrence starting at or after From, or NotFound; End receives its end.
    std::size_t Find(std::wstring_view Text, std::size_t From, std::size_t& End) const;

    // Reads a replacement: $1..$99, ${name} or ${n}, $0 the whole occurrence, $$ a
    // dollar sign; any other $ is a fault (Problem set, false).
    bool ReadReplacement(std::wstring_view ReplaceWith, TPatternReplacement& Result, TPatternProblem& Problem) const;
    // Appends Replacement for the occurrence Text[Start, End) that Find gave.
    void AppendReplacement(std::wstring& Out, std::wstring_view Text, std::size_t Start, std::size_t End,
                           const TPatternReplacement& Replacement) const;

private:
    struct TImpl;
    explicit TextPattern(std::unique_ptr<TImpl> Impl);
    std::unique_ptr<TImpl> FImpl;
};

// Whether the unit counts as part of a word: a letter or digit (C1_ALPHA or
// C1_DIGIT) or an underscore.
bool IsWordUnit(wchar_t Unit);
// Whether Text[Start, End) is not preceded or followed by a word unit.
bool StandsAsWord(std::wstring_view Text, std::size_t Start, std::size_t End);
