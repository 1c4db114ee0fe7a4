#pragma once
// Finding a text inside another, code unit by code unit: either exactly, or as if
// both had been mapped whole through a CaseMap (without mapping the text).
// Candidates are found eight positions at a time with SSE2: the text's units at
// two chosen places of the text to find are compared with every unit that can map
// to the value there, and only positions passing both are compared in full.
#include "engine/TextCaseMap.h"

#include <cstddef>
#include <string>
#include <string_view>

class TextFinder {
public:
    static constexpr std::size_t NotFound = std::wstring_view::npos;

    // Needle must not be empty. Map null compares exactly.
    TextFinder(std::wstring_view Needle, const CaseMap* Map);

    // Position of the first occurrence that starts at or after From, or NotFound.
    std::size_t Find(std::wstring_view Text, std::size_t From) const {
        return FScan(*this, Text.data(), Text.size(), From);
    }
    std::size_t Length() const { return FMapped.size(); }

private:
    using ScanFunction = std::size_t (*)(const TextFinder&, const wchar_t*, std::size_t, std::size_t);
    template <bool Mapped>
    bool MatchesAt(const wchar_t* Text, std::size_t Length, std::size_t Position) const;
    template <bool Mapped, int SetSize, bool TwoPlaces>
    static std::size_t ScanSse2(const TextFinder& Finder, const wchar_t* Text, std::size_t Length,
                                std::size_t From);
    template <bool Mapped>
    static std::size_t ScanScalar(const TextFinder& Finder, const wchar_t* Text, std::size_t Length,
                                  std::size_t From);
    template <bool Mapped>
    static ScanFunction ChooseScan(int SetSize, bool TwoPlaces);

    std::wstring FMapped;           // the needle as mapped whole (or as given)
    const CaseMap* FMap;
    std::size_t FFirstPlace = 0;    // offsets in the needle whose units filter candidates
    std::size_t FSecondPlace = 0;
    wchar_t FFirstSet[4] = {};      // text units that can show the needle's value there,
    wchar_t FSecondSet[4] = {};     // padded by repeating the first one
    ScanFunction FScan = nullptr;
};
