#pragma once
// Finding a text inside another, code unit by code unit: either exactly, or as if
// both had been mapped whole through a CaseMap (without mapping the text).
// Candidates are found sixteen positions at a time with SSE2: the text's units at
// a few rare places of the text to find (MaxPlaces at most) are compared with
// every unit that can map to the value there, and only positions passing all are
// compared at the offsets the filter has not already settled.
#include "base/TextCaseMap.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class TextFinder {
public:
    static constexpr std::size_t NotFound = std::wstring_view::npos;

    // Needle must not be empty. Map null compares exactly.
    TextFinder(std::wstring_view Needle, const CaseMap* Map);

    // Position of the first occurrence that starts at or after From, or NotFound.
    std::size_t Find(std::wstring_view Text, std::size_t From) const {
        return FFind(*this, Text.data(), Text.size(), From);
    }
    // Number of occurrences from From on, taken leftmost first without overlap.
    std::size_t Count(std::wstring_view Text, std::size_t From) const {
        return FCount(*this, Text.data(), Text.size(), From);
    }
    std::size_t Length() const { return FMapped.size(); }

private:
    static constexpr int MaxPlaces = 3;
    static constexpr int MaxSetSize = 4;
    using ScanFunction = std::size_t (*)(const TextFinder&, const wchar_t*, std::size_t, std::size_t);
    template <bool Mapped, bool Filtered>
    bool MatchesAt(const wchar_t* Text, std::size_t Length, std::size_t Position) const;
    template <bool Mapped, int SetSize, int Places, bool CountAll>
    static std::size_t ScanSse2(const TextFinder& Finder, const wchar_t* Text, std::size_t Length,
                                std::size_t From);
    template <bool Mapped, bool CountAll>
    static std::size_t ScanScalar(const TextFinder& Finder, const wchar_t* Text, std::size_t Length,
                                  std::size_t From);
    template <bool Mapped, bool CountAll>
    static ScanFunction ChooseScan(int SetSize, int Places);

    std::wstring FMapped;  // the needle as mapped whole (or as given)
    const CaseMap* FMap;
    // Offsets in the needle whose units filter candidates, and for each the text
    // units that can show the needle's value there, padded by repeating the first.
    std::size_t FPlace[MaxPlaces] = {};
    wchar_t FSet[MaxPlaces][MaxSetSize] = {};
    // A set of two units that differ in one bit (a and A) is tested as one unit
    // with that bit forced on.
    wchar_t FFold[MaxPlaces] = {};
    // Offsets a candidate still has to be checked at: a filter place settles its
    // offset unless a surrogate in its set may map otherwise in a pair.
    std::vector<std::size_t> FCheck;
    // Every candidate is an occurrence and none can overlap another: count bits.
    bool FCandidatesAreOccurrences = false;
    ScanFunction FFind = nullptr;
    ScanFunction FCount = nullptr;
};
