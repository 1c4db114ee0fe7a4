#include "base/TextSearch.h"

#include <emmintrin.h>

#include <cstring>
#include <vector>

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

// Set bits of a 16-bit mask (SSE2 machines need not have POPCNT).
inline unsigned BitCount(unsigned Mask) {
    Mask = Mask - ((Mask >> 1) & 0x5555u);
    Mask = (Mask & 0x3333u) + ((Mask >> 2) & 0x3333u);
    Mask = (Mask + (Mask >> 4)) & 0x0F0Fu;
    return (Mask + (Mask >> 8)) & 0x1Fu;
}

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
    // Pick the offsets whose sets are small and rare, rarest first.
    long Weight[MaxPlaces] = {};
    int Places = 0;
    int SetSize = 1;
    for (std::size_t K = 0; K < Length; ++K) {
        std::size_t Count = 0;
        const wchar_t* Set = SetAt(K, Count);
        if (Count == 0 || Count > MaxSetSize) continue;
        long ThisWeight = 0;
        for (std::size_t I = 0; I < Count; ++I) ThisWeight += UnitFrequency(Set[I]);
        int Slot = Places < MaxPlaces ? Places++ : MaxPlaces;
        while (Slot > 0 && ThisWeight < Weight[Slot - 1]) {
            if (Slot < MaxPlaces) {
                Weight[Slot] = Weight[Slot - 1];
                FPlace[Slot] = FPlace[Slot - 1];
            }
            --Slot;
        }
        if (Slot < MaxPlaces) {
            Weight[Slot] = ThisWeight;
            FPlace[Slot] = K;
        }
    }
    std::vector<bool> Settled(Length, false);
    for (int P = 0; P < Places; ++P) {
        std::size_t Count = 0;
        const wchar_t* Set = SetAt(FPlace[P], Count);
        Settled[FPlace[P]] = true;
        for (std::size_t I = 0; I < Count && Map != nullptr; ++I)
            if ((Set[I] & 0xF800) == 0xD800) Settled[FPlace[P]] = false;
        const unsigned Difference = Count == 2 ? static_cast<unsigned>(Set[0] ^ Set[1]) : 0;
        wchar_t Folded = 0;
        if (Difference != 0 && (Difference & (Difference - 1)) == 0) {
            FFold[P] = static_cast<wchar_t>(Difference);
            Folded = static_cast<wchar_t>(Set[0] | Difference);
            Set = &Folded;
            Count = 1;
        }
        for (int I = 0; I < MaxSetSize; ++I) FSet[P][I] = Set[static_cast<std::size_t>(I) < Count ? I : 0];
        if (static_cast<int>(Count) > SetSize) SetSize = static_cast<int>(Count);
    }
    for (std::size_t K = 0; K < Length; ++K)
        if (!Settled[K]) FCheck.push_back(K);
    // With every offset settled, each candidate is an occurrence; unless the needle
    // repeats itself within its length, no two of them can overlap.
    FCandidatesAreOccurrences = Places > 0 && FCheck.empty();
    for (std::size_t Shift = 1; Shift < Length && FCandidatesAreOccurrences; ++Shift)
        if (FMapped.compare(Shift, Length - Shift, FMapped, 0, Length - Shift) == 0)
            FCandidatesAreOccurrences = false;
    if (Map != nullptr) {
        FFind = ChooseScan<true, false>(SetSize, Places);
        FCount = ChooseScan<true, true>(SetSize, Places);
    } else {
        FFind = ChooseScan<false, false>(1, Places);
        FCount = ChooseScan<false, true>(1, Places);
    }
}

template <bool Mapped, bool CountAll>
TextFinder::ScanFunction TextFinder::ChooseScan(int SetSize, int Places) {
    if (Places == 0) return &ScanScalar<Mapped, CountAll>;
    if constexpr (!Mapped) {
        (void)SetSize;
        switch (Places) {
        case 1: return &ScanSse2<false, 1, 1, CountAll>;
        case 2: return &ScanSse2<false, 1, 2, CountAll>;
        default: return &ScanSse2<false, 1, 3, CountAll>;
        }
    } else {
        static constexpr ScanFunction Table[MaxSetSize][MaxPlaces] = {
            {&ScanSse2<true, 1, 1, CountAll>, &ScanSse2<true, 1, 2, CountAll>, &ScanSse2<true, 1, 3, CountAll>},
            {&ScanSse2<true, 2, 1, CountAll>, &ScanSse2<true, 2, 2, CountAll>, &ScanSse2<true, 2, 3, CountAll>},
            {&ScanSse2<true, 3, 1, CountAll>, &ScanSse2<true, 3, 2, CountAll>, &ScanSse2<true, 3, 3, CountAll>},
            {&ScanSse2<true, 4, 1, CountAll>, &ScanSse2<true, 4, 2, CountAll>, &ScanSse2<true, 4, 3, CountAll>},
        };
        return Table[SetSize - 1][Places - 1];
    }
}

// Whether an occurrence starts at Position. Filtered: Position passed the filter
// places, so only the offsets in FCheck are left to compare.
template <bool Mapped, bool Filtered>
inline bool TextFinder::MatchesAt(const wchar_t* Text, std::size_t Length, std::size_t Position) const {
    const wchar_t* Needle = FMapped.data();
    if constexpr (Filtered) {
        const std::size_t* Check = FCheck.data();
        const std::size_t CheckCount = FCheck.size();
        if constexpr (Mapped) {
            const CaseMap& Map = *FMap;
            for (std::size_t I = 0; I < CheckCount; ++I)
                if (Map.At(Text, Length, Position + Check[I]) != Needle[Check[I]]) return false;
        } else {
            for (std::size_t I = 0; I < CheckCount; ++I)
                if (Text[Position + Check[I]] != Needle[Check[I]]) return false;
        }
        return true;
    }
    const std::size_t NeedleLength = FMapped.size();
    if constexpr (Mapped) {
        const CaseMap& Map = *FMap;
        for (std::size_t K = 0; K < NeedleLength; ++K)
            if (Map.At(Text, Length, Position + K) != Needle[K]) return false;
    } else {
        (void)Length;
        for (std::size_t K = 0; K < NeedleLength; ++K)
            if (Text[Position + K] != Needle[K]) return false;
    }
    return true;
}

// Returns the first position (or NotFound), or with CountAll the number of
// occurrences, each search resuming after the previous occurrence.
template <bool Mapped, bool CountAll>
std::size_t TextFinder::ScanScalar(const TextFinder& Finder, const wchar_t* Text, std::size_t Length,
                                   std::size_t From) {
    const std::size_t NeedleLength = Finder.FMapped.size();
    std::size_t Count = 0;
    if (Length >= NeedleLength)
        for (std::size_t P = From; P <= Length - NeedleLength;) {
            if (!Finder.MatchesAt<Mapped, false>(Text, Length, P)) {
                ++P;
                continue;
            }
            if constexpr (!CountAll) return P;
            ++Count;
            P += NeedleLength;
        }
    return CountAll ? Count : NotFound;
}

template <bool Mapped, int SetSize, int Places, bool CountAll>
std::size_t TextFinder::ScanSse2(const TextFinder& Finder, const wchar_t* Text, std::size_t Length,
                                 std::size_t From) {
    const std::size_t NeedleLength = Finder.FMapped.size();
    if (Length < NeedleLength || From > Length - NeedleLength) return CountAll ? 0 : NotFound;
    const std::size_t Last = Length - NeedleLength;  // last possible start
    __m128i Sets[Places][SetSize];
    __m128i Folds[Places];
    const wchar_t* Bases[Places];
    for (int Place = 0; Place < Places; ++Place) {
        for (int I = 0; I < SetSize; ++I) Sets[Place][I] = _mm_set1_epi16(static_cast<short>(Finder.FSet[Place][I]));
        Folds[Place] = _mm_set1_epi16(static_cast<short>(Finder.FFold[Place]));
        Bases[Place] = Text + Finder.FPlace[Place];
    }
    auto HitsAt = [&](std::size_t Start) {
        __m128i Hits;
        for (int Place = 0; Place < Places; ++Place) {
            __m128i Units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Bases[Place] + Start));
            if constexpr (Mapped) Units = _mm_or_si128(Units, Folds[Place]);
            __m128i PlaceHits = _mm_cmpeq_epi16(Units, Sets[Place][0]);
            for (int I = 1; I < SetSize; ++I)
                PlaceHits = _mm_or_si128(PlaceHits, _mm_cmpeq_epi16(Units, Sets[Place][I]));
            Hits = Place == 0 ? PlaceHits : _mm_and_si128(Hits, PlaceHits);
        }
        return Hits;
    };
    std::size_t Count = 0;
    std::size_t P = From;
    std::size_t Next = From;  // no occurrence may start before this one
    // Bit I of Mask stands for the start P + I.
    auto TakeCandidates = [&](unsigned Mask) {
        while (Mask != 0) {
            const std::size_t Q = P + static_cast<unsigned>(__builtin_ctz(Mask));
            Mask &= Mask - 1;
            if (Q < Next || !Finder.MatchesAt<Mapped, true>(Text, Length, Q)) continue;
            if constexpr (!CountAll) return Q;
            ++Count;
            Next = Q + NeedleLength;
        }
        return NotFound;
    };
    // Sixteen starts P .. P + 15 per round, then eight; every load stays inside the text.
    if (CountAll && Finder.FCandidatesAreOccurrences) {
        // Every hit counts: sum the hit lanes (each -1) without looking at them,
        // emptying the 16-bit sums before they could overflow.
        while (P + 15 <= Last) {
            std::size_t Rounds = (Last - P - 15) / 16 + 1;
            if (Rounds > 8192) Rounds = 8192;
            __m128i Sums = _mm_setzero_si128();
            for (; Rounds != 0; --Rounds, P += 16)
                Sums = _mm_sub_epi16(_mm_sub_epi16(Sums, HitsAt(P)), HitsAt(P + 8));
            const __m128i Pairs = _mm_madd_epi16(Sums, _mm_set1_epi16(1));
            const __m128i Halves = _mm_add_epi32(Pairs, _mm_shuffle_epi32(Pairs, _MM_SHUFFLE(1, 0, 3, 2)));
            const __m128i Total = _mm_add_epi32(Halves, _mm_shuffle_epi32(Halves, _MM_SHUFFLE(2, 3, 0, 1)));
            Count += static_cast<unsigned>(_mm_cvtsi128_si32(Total));
        }
    }
    while (P + 15 <= Last) {
        const unsigned Mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(HitsAt(P), HitsAt(P + 8))));
        if (Mask != 0) {
            const std::size_t Hit = TakeCandidates(Mask);
            if (!CountAll && Hit != NotFound) return Hit;
        }
        P = Next > P + 16 ? Next : P + 16;
    }
    if (P + 7 <= Last) {
        const unsigned Mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(HitsAt(P), _mm_setzero_si128())));
        if (CountAll && Finder.FCandidatesAreOccurrences) {
            Count += BitCount(Mask);
        } else {
            const std::size_t Hit = TakeCandidates(Mask);
            if (!CountAll && Hit != NotFound) return Hit;
        }
        P = Next > P + 8 ? Next : P + 8;
    }
    if (P < Next) P = Next;
    for (; P <= Last;) {
        if (!Finder.MatchesAt<Mapped, false>(Text, Length, P)) {
            ++P;
            continue;
        }
        if constexpr (!CountAll) return P;
        ++Count;
        P += NeedleLength;
    }
    return CountAll ? Count : NotFound;
}
