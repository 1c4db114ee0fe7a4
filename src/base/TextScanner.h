#pragma once
// The one place that decides where the text to find occurs in a text: counting,
// replacing and listing matches all take their occurrences from here, so what a
// search counts, a listing shows and Apply writes cannot drift apart.
//
// Occurrences are non-overlapping and taken leftmost first. Case-sensitively they
// are exact; otherwise units compare under the simple upper-case mapping (that of
// CharUpperBuffW), and a text counts as holding the text to find at all only if
// it also contains it under the linguistic mapping of StartupLocale (Admits).
//
// A line break in the text to find (CR LF, LF or CR) matches any one line break
// of the text, so an occurrence may be longer or shorter than the text to find:
// each comes with its end. A text to find without one takes the finder's path.
//
// A scan resumes from a position and returns where the next occurrence may start
// at the earliest, which is all the state a scan over consecutive pieces of one
// text has to carry besides the units an occurrence may still need (fewer than
// MaxLength()).
//
// A rule may make the text to find a pattern (see TextPattern) and may ask for
// whole words: an occurrence then stands neither after nor before a letter, a
// digit or an underscore. A word scan over pieces also leaves alone an occurrence
// that ends with the text given (the unit after it decides); a pattern scan always
// gets the whole text (More unused).
#include "base/TextLineBreaks.h"
#include "base/TextMatching.h"
#include "base/TextPattern.h"
#include "base/TextSearch.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

struct TFindRule {
    bool Regex = false;      // the text to find is a pattern
    bool WholeWord = false;  // occurrences stand as words
    bool Plain() const { return !Regex && !WholeWord; }
};

class TextScanner {
public:
    static constexpr std::size_t NotFound = std::wstring_view::npos;

    // TextToFind may be empty: then nothing is ever found; so too with a pattern
    // that does not compile (check it with TextPattern::Compile first).
    TextScanner(std::wstring_view TextToFind, bool CaseSensitive, TFindRule Rule = {});

    // Units of the text to find; an occurrence has as many unless it holds a line break.
    std::size_t Length() const { return FTextToFind.size(); }
    // The most units an occurrence can have.
    std::size_t MaxLength() const { return FLines ? FLines->MaxLength() : Length(); }
    bool CaseSensitive() const { return FCaseSensitive; }
    std::wstring_view TextToFind() const { return FTextToFind; }
    // The compiled pattern with a Regex rule (null otherwise).
    const TextPattern* Pattern() const { return FPattern.get(); }

    // Calls Take(Start, End), or Take(Start), for every occurrence starting at or
    // after From, in order. Returns the earliest start a later occurrence may have.
    // More: units not given yet follow Text. Occurrences that could reach them are
    // then left alone (a CR at the end may be the first half of a CR LF); the next
    // call is given Text from the returned position on, the new units after it
    // (and the unit before it, From 1, so that a surrogate pair maps as one).
    template <class Sink>
    std::size_t ForEach(std::wstring_view Text, std::size_t From, Sink&& Take, bool More = false) const {
        if (FTextToFind.empty()) return From;
        auto Emit = [&Take](std::size_t Start, std::size_t End) {
            if constexpr (std::is_invocable_v<Sink&, std::size_t, std::size_t>)
                Take(Start, End);
            else
                Take(Start);
        };
        if (FPattern || FWholeWord) return ForEachRuled(Text, From, Emit, More);
        // Occurrences starting before Limit end within Text whatever follows.
        const std::size_t Limit = !More ? NotFound : Text.size() - std::min(Text.size(), MaxLength() - 1);
        if (FFinder) {
            for (std::size_t Hit; (Hit = FFinder->Find(Text, From)) != NotFound; From = Hit + Length())
                Emit(Hit, Hit + Length());
            return More ? std::max(From, Limit) : From;
        }
        // No table for the simple mapping: the mapped copy stands in for the text.
        std::wstring Upper;
        std::wstring_view Mapped = Text;
        if (FMapCopy) {
            Upper = UpperCaseSimple(Text);
            Mapped = Upper;
        }
        if (FLines) {
            for (std::size_t Hit, End; (Hit = FLines->Find(Mapped, From, End)) != NotFound && Hit < Limit; From = End)
                Emit(Hit, End);
        } else {
            for (std::size_t Hit; (Hit = Mapped.find(FUpperFind, From)) != NotFound; From = Hit + Length())
                Emit(Hit, Hit + Length());
        }
        return More ? std::max(From, Limit) : From;
    }

    // The first occurrence at or after From, or NotFound.
    std::size_t Find(std::wstring_view Text, std::size_t From) const;
    // How many occurrences start at or after From (without the containment rule).
    std::size_t Count(std::wstring_view Text, std::size_t From) const;

    // Whether a text whose first occurrence is at First (NotFound for none)
    // holds the text to find at all: case-insensitively it must also contain it
    // under the linguistic mapping. An occurrence whose units agree under that
    // mapping proves it without a scan of its own.
    bool Admits(std::wstring_view Text, std::size_t First) const;

    // Whether Text contains TextToFind when both are upper-cased linguistically
    // under StartupLocale, each as a whole (a line break matching any one, as above).
    static bool ContainsLinguistic(std::wstring_view Text, std::wstring_view TextToFind);

private:
    template <class Emit>
    std::size_t ForEachRuled(std::wstring_view Text, std::size_t From, Emit& Take, bool More) const {
        if (FPattern) {
            for (std::size_t Hit, End; (Hit = FPattern->Find(Text, From, End)) != NotFound; From = End) Take(Hit, End);
            return From;
        }
        std::wstring Upper;
        std::wstring_view Mapped = Text;
        if (FMapCopy) {
            Upper = UpperCaseSimple(Text);
            Mapped = Upper;
        }
        // Occurrences starting before Limit end before Text does: the unit after
        // each is known.
        const std::size_t Limit = !More ? NotFound : Text.size() - std::min(Text.size(), MaxLength());
        // A hit that is part of a longer word may hide one starting inside it.
        for (std::size_t Hit, End; (Hit = FindLiteral(Mapped, From, End)) != NotFound && Hit < Limit;) {
            if (StandsAsWord(Text, Hit, End)) {
                Take(Hit, End);
                From = End;
            } else {
                From = Hit + 1;
            }
        }
        return More ? std::max(From, Limit) : From;
    }
    // The next occurrence of the literal text in Mapped, without the word rule.
    std::size_t FindLiteral(std::wstring_view Mapped, std::size_t From, std::size_t& End) const;

    std::wstring FTextToFind;
    bool FCaseSensitive;
    std::optional<TextFinder> FFinder;  // without line breaks, unless the simple mapping has no table
    std::optional<LineBreakPattern> FLines;  // with line breaks
    bool FMapCopy = false;              // no table for the simple mapping: texts are mapped by the call
    std::wstring FUpperFind;            // the text to find mapped by the call, without a table or line break
    bool FWholeWord = false;
    std::shared_ptr<const TextPattern> FPattern;  // with a Regex rule
};

// Writes the replacement of the occurrences a scanner finds in one text: a literal
// replacement as ReplacementWriter does; after a pattern, its $ references filled
// from each occurrence's groups (read with TextPattern::ReadReplacement first: a
// replacement it refuses writes its literal pieces only).
class OccurrenceReplacer {
public:
    OccurrenceReplacer(const TextScanner& Scanner, std::wstring_view Text, std::wstring_view ReplaceWith);

    // Appends the replacement of the occurrence Text[Start, End).
    void Append(std::wstring& Out, std::size_t Start, std::size_t End) const {
        if (FPattern)
            FPattern->AppendReplacement(Out, FText, Start, End, FPieces);
        else
            FLiteral.Append(Out, Start, End);
    }

private:
    ReplacementWriter FLiteral;
    const TextPattern* FPattern;
    std::wstring_view FText;
    TPatternReplacement FPieces;
};
