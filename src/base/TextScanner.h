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
// A scan resumes from a position and returns where the next occurrence may start
// at the earliest, which is all the state a scan over consecutive pieces of one
// text has to carry besides the units an occurrence may still need.
#include "base/TextMatching.h"
#include "base/TextSearch.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class TextScanner {
public:
    static constexpr std::size_t NotFound = std::wstring_view::npos;

    // TextToFind may be empty: then nothing is ever found.
    TextScanner(std::wstring_view TextToFind, bool CaseSensitive);

    std::size_t Length() const { return FTextToFind.size(); }
    bool CaseSensitive() const { return FCaseSensitive; }

    // Calls Take(Position) for every occurrence starting at or after From, in
    // order. Returns the earliest start a later occurrence may have.
    template <class Sink>
    std::size_t ForEach(std::wstring_view Text, std::size_t From, Sink&& Take) const {
        if (FTextToFind.empty()) return From;
        if (FFinder) {
            for (std::size_t Hit; (Hit = FFinder->Find(Text, From)) != NotFound; From = Hit + Length()) Take(Hit);
            return From;
        }
        // No table for the simple mapping: the mapped copy stands in for the text.
        const std::wstring Upper = UpperCaseSimple(Text);
        const std::wstring_view Mapped(Upper);
        for (std::size_t Hit; (Hit = Mapped.find(FUpperFind, From)) != NotFound; From = Hit + Length()) Take(Hit);
        return From;
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
    // under StartupLocale, each as a whole.
    static bool ContainsLinguistic(std::wstring_view Text, std::wstring_view TextToFind);

private:
    std::wstring FTextToFind;
    bool FCaseSensitive;
    std::optional<TextFinder> FFinder;  // absent when the simple mapping has no table
    std::wstring FUpperFind;            // the text to find mapped by the call, without a table
};
