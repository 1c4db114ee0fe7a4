#include "engine/TextSearch.h"

#include <emmintrin.h>

#include <cstring>

namespace {

// Rough share of a unit in typical text and source code, so that the filter
// places fall on rare units ("q" rather than "e", anything before a blank).
int UnitFrequency(wchar_t Unit) {
    static constexpr const char* Common = " etaoinshrdlcumwfgypbvkxjqz";
    if (Unit >= 0x80) return Unit < 0x250 ? 8 : 2;
    if (Unit >= L'a' && Unit <= L'z') {
        const char* Hit = std::strchr(Common, static_cast<char>(Unit));
        return 400 - 14 * static_cast<int>(Hit - Common);
    }
    if (Unit == L' ') return 1000;
    if (Unit >= L'A' && Unit <= L'Z') return 40;
    if (Unit >= L'0' && Unit <= L'9') return 40;
    if (Unit == L'\n' || Unit == L'\r' || Unit == L'\t') return 80;
    if (Unit == L',' || Unit == L'.' || Unit == L'_' || Unit == L'(' || Unit == L')' || Unit == L';' ||
        Unit == L'=' || Unit == L'*' || Unit == L'/' || Unit == L'-' || Unit == L'"')
        return 60;
    return 20;
}

constexpr int MaxSetSize = 4;

}  // namespace

TextFinder::TextFinder(std::wstring_view Needle, const CaseMap* Map) : FMapped(Needle), FMap(Map) {
    const std::size_t Length = FMapped.size();
    if (Map != nullptr)
        for (std::size_t K = 0; K < Length; ++K) FMapped[K] = Map->At(Needle.data(), Length, K);

    // The units of the text that can stand at offset K of an occurrence.
    auto SetAt = [&](std::size_t K, std::size_t& Count) -> const wchar_t* {
        if (Map == nullptr) {
            Count = 1;
            return FMapped.data() + K;
        }
        Count = Map->PreimageCount(FMapped[K]);
        return Map->PreimagesOf(FMapped[K]);
    };
    // Pick the two offsets whose sets are small and rare.
    long Best[2] = {-1, -1};
    std::size_t BestPlace[2] = {0, 0};
    for (std::size_t K = 0; K < Length; ++K) {
        std::size_t Count = 0;
        const wchar_t* Set = SetAt(K, Count);
        if (Count == 0 || Count > MaxSetSize) continue;
        long Weight = 0;
        for (std::size_t I = 0; I < Count; ++I) Weight += UnitFrequency(Set[I]);
        if (Best[0] < 0 || Weight < Best[0]) {
            Best[1] = Best[0];
            BestPlace[1] = BestPlace[0];
            Best[0] = Weight;
            BestPlace[0] = K;
        } else if (Best[1] < 0 || Weight < Best[1]) {
            Best[1] = Weight;
            BestPlace[1] = K;
        }
    }
    if (Best[0] < 0) {
        FScan = Map != nullptr ? &ScanScalar<true> : &ScanScalar<false>;
        return;
    }
    const bool TwoPlaces = Best[1] >= 0;
    FFirstPlace = BestPlace[0];
    FSecondPlace = TwoPlaces ? BestPlace[1] : BestPlace[0];
    std::size_t FirstCount = 0, SecondCount = 0;
    const wchar_t* First = SetAt(FFirstPlace, FirstCount);
    const wchar_t* Second = SetAt(FSecondPlace, SecondCount);
    for (int I = 0; I < MaxSetSize; ++I) {
        FFirstSet[I] = First[static_cast<std::size_t>(I) < FirstCount ? I : 0];
        FSecondSet[I] = Second[static_cast<std::size_t>(I) < SecondCount ? I : 0];
    }
    const int SetSize = static_cast<int>(FirstCount > SecondCount ? FirstCount : SecondCount);
    FScan = Map != nullptr ? ChooseScan<true>(SetSize, TwoPlaces) : ChooseScan<false>(SetSize, TwoPlaces);
}

template <bool Mapped>
TextFinder::ScanFunction TextFinder::ChooseScan(int SetSize, bool TwoPlaces) {
    switch (SetSize) {
    case 1: return TwoPlaces ? &ScanSse2<Mapped, 1, true> : &ScanSse2<Mapped, 1, false>;
    case 2: return TwoPlaces ? &ScanSse2<Mapped, 2, true> : &ScanSse2<Mapped, 2, false>;
    case 3: return TwoPlaces ? &ScanSse2<Mapped, 3, true> : &ScanSse2<Mapped, 3, false>;
    default: return TwoPlaces ? &ScanSse2<Mapped, 4, true> : &ScanSse2<Mapped, 4, false>;
    }
}

template <bool Mapped>
inline bool TextFinder::MatchesAt(const wchar_t* Text, std::size_t Length, std::size_t Position) const {
    const std::size_t NeedleLength = FMapped.size();
    if constexpr (Mapped) {
        const CaseMap& Map = *FMap;
        for (std::size_t K = 0; K < NeedleLength; ++K)
            if (Map.At(Text, Length, Position + K) != FMapped[K]) return false;
        return true;
    } else {
        (void)Length;
        return std::memcmp(Text + Position, FMapped.data(), NeedleLength * sizeof(wchar_t)) == 0;
    }
}

template <bool Mapped>
std::size_t TextFinder::ScanScalar(const TextFinder& Finder, const wchar_t* Text, std::size_t Length,
                                   std::size_t From) {
    const std::size_t NeedleLength = Finder.FMapped.size();
    if (Length < NeedleLength) return NotFound;
    for (std::size_t P = From; P <= Length - NeedleLength; ++P)
        if (Finder.MatchesAt<Mapped>(Text, Length, P)) return P;
    return NotFound;
}

template <bool Mapped, int SetSize, bool TwoPlaces>
std::size_t TextFinder::ScanSse2(const TextFinder& Finder, const wchar_t* Text, std::size_t Length,
                                 std::size_t From) {
    const std::size_t NeedleLength = Finder.FMapped.size();
    if (Length < NeedleLength || From > Length - NeedleLength) return NotFound;
    const std::size_t Last = Length - NeedleLength;  // last possible start
    __m128i FirstSet[SetSize], SecondSet[SetSize];
    for (int I = 0; I < SetSize; ++I) {
        FirstSet[I] = _mm_set1_epi16(static_cast<short>(Finder.FFirstSet[I]));
        SecondSet[I] = _mm_set1_epi16(static_cast<short>(Finder.FSecondSet[I]));
    }
    const wchar_t* FirstBase = Text + Finder.FFirstPlace;
    const wchar_t* SecondBase = Text + Finder.FSecondPlace;
    std::size_t P = From;
    // Eight starts P .. P + 7 per round; every load stays inside the text.
    while (P + 7 <= Last) {
        const __m128i A = _mm_loadu_si128(reinterpret_cast<const __m128i*>(FirstBase + P));
        __m128i Hits = _mm_cmpeq_epi16(A, FirstSet[0]);
        for (int I = 1; I < SetSize; ++I) Hits = _mm_or_si128(Hits, _mm_cmpeq_epi16(A, FirstSet[I]));
        if constexpr (TwoPlaces) {
            const __m128i B = _mm_loadu_si128(reinterpret_cast<const __m128i*>(SecondBase + P));
            __m128i SecondHits = _mm_cmpeq_epi16(B, SecondSet[0]);
            for (int I = 1; I < SetSize; ++I)
                SecondHits = _mm_or_si128(SecondHits, _mm_cmpeq_epi16(B, SecondSet[I]));
            Hits = _mm_and_si128(Hits, SecondHits);
        }
        unsigned Mask = static_cast<unsigned>(_mm_movemask_epi8(Hits));
        while (Mask != 0) {
            const std::size_t Q = P + static_cast<unsigned>(__builtin_ctz(Mask)) / 2;
            if (Finder.MatchesAt<Mapped>(Text, Length, Q)) return Q;
            Mask &= Mask - 1;  // each 16-bit lane sets two mask bits
            Mask &= Mask - 1;
        }
        P += 8;
    }
    for (; P <= Last; ++P)
        if (Finder.MatchesAt<Mapped>(Text, Length, P)) return P;
    return NotFound;
}
