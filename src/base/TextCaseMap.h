#pragma once
// Tables of the two upper-case mappings the text routines use: the simple one of
// CharUpperBuffW and the linguistic one of LCMapStringW under a locale. Each table
// is filled once from the platform call itself, so mapping a text through it gives
// exactly what the call gives, without calling it on the hot path.
//
// Both calls map a surrogate pair as one code point (Wine 8 upper-cases U+10428 to
// U+10400, changing the low unit), so a unit's image depends on its partner: a
// high surrogate followed by a low one, or a low one preceded by a high one, is
// mapped as part of that pair; every other unit, a lone surrogate included, by
// itself. Everything else maps unit by unit (checked against the calls by the
// randomized tests).
#include <windows.h>

#include <cstddef>
#include <cstdint>

struct CaseMap {
    static constexpr int MaxPairBlocks = 32;
    static constexpr std::size_t MaxPreimages = 65536 + 8192;

    // Image of a unit that is not part of a surrogate pair.
    wchar_t Unit[65536];
    // For each high surrogate, the block of Pairs holding the images of its pairs,
    // or -1 when every pair it starts maps to itself.
    std::int16_t PairBlock[1024];
    // Pairs[b][2 * (Low - 0xDC00)] and [... + 1]: the image of the pair (High, Low).
    wchar_t Pairs[MaxPairBlocks][2048];
    // Every unit that can map to value v, in any context:
    // Preimages[PreimageStart[v]] .. Preimages[PreimageStart[v + 1] - 1].
    std::uint32_t PreimageStart[65537];
    wchar_t Preimages[MaxPreimages];

    // The image of Text[Index] when all of Text (Length units) is mapped.
    wchar_t At(const wchar_t* Text, std::size_t Length, std::size_t Index) const {
        const wchar_t U = Text[Index];
        if ((U & 0xF800) != 0xD800) return Unit[U];
        return SurrogateAt(Text, Length, Index);
    }

    std::size_t PreimageCount(wchar_t Value) const {
        return PreimageStart[Value + 1] - PreimageStart[Value];
    }
    const wchar_t* PreimagesOf(wchar_t Value) const { return Preimages + PreimageStart[Value]; }

private:
    wchar_t SurrogateAt(const wchar_t* Text, std::size_t Length, std::size_t Index) const {
        const wchar_t U = Text[Index];
        if (U < 0xDC00) {
            if (Index + 1 < Length && IsLowSurrogate(Text[Index + 1])) {
                const int Block = PairBlock[U - 0xD800];
                return Block < 0 ? U : Pairs[Block][2 * (Text[Index + 1] - 0xDC00)];
            }
        } else if (Index > 0 && IsHighSurrogate(Text[Index - 1])) {
            const int Block = PairBlock[Text[Index - 1] - 0xD800];
            return Block < 0 ? U : Pairs[Block][2 * (U - 0xDC00) + 1];
        }
        return Unit[U];
    }
    static bool IsHighSurrogate(wchar_t U) { return U >= 0xD800 && U < 0xDC00; }
    static bool IsLowSurrogate(wchar_t U) { return U >= 0xDC00 && U < 0xE000; }
};

// The mapping of CharUpperBuffW; null only when the platform refused to map.
const CaseMap* SimpleCaseMap();
// The mapping of LCMapStringW(Locale, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING).
// Null when the call fails for that locale, while another thread is still
// building the table, or when tables for too many locales exist already; callers
// then map with the call itself.
const CaseMap* LinguisticCaseMap(LCID Locale);
