#include "base/TextCaseMap.h"

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

namespace {

constexpr DWORD LinguisticUpperCase = LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING;

// Maps Buffer in place with the platform call the table stands for.
using MapCall = bool (*)(LCID Locale, std::vector<wchar_t>& Buffer);

bool MapSimple(LCID, std::vector<wchar_t>& Buffer) {
    const DWORD Count = static_cast<DWORD>(Buffer.size());
    return CharUpperBuffW(Buffer.data(), Count) == Count;
}

bool MapLinguistic(LCID Locale, std::vector<wchar_t>& Buffer) {
    std::vector<wchar_t> Mapped(Buffer.size());
    const int Count = static_cast<int>(Buffer.size());
    if (LCMapStringW(Locale, LinguisticUpperCase, Buffer.data(), Count, Mapped.data(), Count) != Count)
        return false;
    Buffer.swap(Mapped);
    return true;
}

// Fills Map from three calls: every unit outside the surrogate range, every
// surrogate on its own (a blank beside each keeps it unpaired), and every
// surrogate pair.
bool BuildCaseMap(CaseMap& Map, MapCall Call, LCID Locale) {
    std::vector<wchar_t> Buffer;
    Buffer.reserve(0x10000);
    for (unsigned U = 0; U < 0x10000; ++U)
        if (U < 0xD800 || U >= 0xE000) Buffer.push_back(static_cast<wchar_t>(U));
    if (!Call(Locale, Buffer)) return false;
    std::size_t Next = 0;
    for (unsigned U = 0; U < 0x10000; ++U)
        if (U < 0xD800 || U >= 0xE000) Map.Unit[U] = Buffer[Next++];

    Buffer.clear();
    for (unsigned U = 0xD800; U < 0xE000; ++U) {
        Buffer.push_back(static_cast<wchar_t>(U));
        Buffer.push_back(L' ');
    }
    if (!Call(Locale, Buffer)) return false;
    for (unsigned U = 0xD800; U < 0xE000; ++U) Map.Unit[U] = Buffer[2 * (U - 0xD800)];

    Buffer.clear();
    Buffer.reserve(2 * 1024 * 1024);
    for (unsigned High = 0xD800; High < 0xDC00; ++High)
        for (unsigned Low = 0xDC00; Low < 0xE000; ++Low) {
            Buffer.push_back(static_cast<wchar_t>(High));
            Buffer.push_back(static_cast<wchar_t>(Low));
        }
    if (!Call(Locale, Buffer)) return false;
    int Blocks = 0;
    for (unsigned H = 0; H < 1024; ++H) {
        const wchar_t* Images = Buffer.data() + H * 2048;
        bool Changed = false;
        for (unsigned K = 0; K < 1024 && !Changed; ++K)
            Changed = Images[2 * K] != 0xD800 + H || Images[2 * K + 1] != 0xDC00 + K;
        if (!Changed) {
            Map.PairBlock[H] = -1;
            continue;
        }
        if (Blocks == CaseMap::MaxPairBlocks) return false;
        std::copy(Images, Images + 2048, Map.Pairs[Blocks]);
        Map.PairBlock[H] = static_cast<std::int16_t>(Blocks++);
    }

    // Invert: which raw units can show a given image, in any context.
    // A surrogate may also keep its own value inside an unchanged pair; listing
    // that for every surrogate at most adds candidates the matcher rejects.
    std::vector<std::pair<wchar_t, wchar_t>> Images;  // (image, unit)
    Images.reserve(0x10000 + 2048 + Blocks * 2048);
    for (unsigned U = 0; U < 0x10000; ++U) Images.emplace_back(Map.Unit[U], static_cast<wchar_t>(U));
    for (unsigned U = 0xD800; U < 0xE000; ++U) Images.emplace_back(static_cast<wchar_t>(U), static_cast<wchar_t>(U));
    for (unsigned H = 0; H < 1024; ++H) {
        const int Block = Map.PairBlock[H];
        if (Block < 0) continue;
        for (unsigned K = 0; K < 1024; ++K) {
            Images.emplace_back(Map.Pairs[Block][2 * K], static_cast<wchar_t>(0xD800 + H));
            Images.emplace_back(Map.Pairs[Block][2 * K + 1], static_cast<wchar_t>(0xDC00 + K));
        }
    }
    std::sort(Images.begin(), Images.end());
    Images.erase(std::unique(Images.begin(), Images.end()), Images.end());
    if (Images.size() > CaseMap::MaxPreimages) return false;
    std::size_t Index = 0;
    for (unsigned V = 0; V < 0x10000; ++V) {
        Map.PreimageStart[V] = static_cast<std::uint32_t>(Index);
        while (Index < Images.size() && Images[Index].first == V) {
            Map.Preimages[Index] = Images[Index].second;
            ++Index;
        }
    }
    Map.PreimageStart[0x10000] = static_cast<std::uint32_t>(Index);
    return true;
}

// Tables live in static storage and are never freed, so a worker thread still
// counting while the process ends never sees one disappear.
CaseMap GSimpleMap;

// One slot per locale, claimed without a lock: Tag holds the locale shifted left
// by two and the slot's state in the low bits (0 = free).
enum : std::uint64_t { SlotBuilding = 1, SlotReady = 2, SlotFailed = 3 };
struct LinguisticSlot {
    std::atomic<std::uint64_t> Tag{0};
    CaseMap Map;
};
LinguisticSlot GLinguisticSlots[8];

}  // namespace

const CaseMap* SimpleCaseMap() {
    static const bool Built = [] {
        try {
            return BuildCaseMap(GSimpleMap, MapSimple, 0);
        } catch (...) {
            return false;  // out of memory: the callers map with the call itself
        }
    }();
    return Built ? &GSimpleMap : nullptr;
}

const CaseMap* LinguisticCaseMap(LCID Locale) {
    const std::uint64_t Key = static_cast<std::uint64_t>(Locale) << 2;
    for (LinguisticSlot& Slot : GLinguisticSlots) {
        std::uint64_t Tag = Slot.Tag.load(std::memory_order_acquire);
        if (Tag == 0 &&
            Slot.Tag.compare_exchange_strong(Tag, Key | SlotBuilding, std::memory_order_acq_rel)) {
            bool Built = false;
            try {
                Built = BuildCaseMap(Slot.Map, MapLinguistic, Locale);
            } catch (...) {
                Built = false;  // out of memory: the callers map with the call itself
            }
            Slot.Tag.store(Key | (Built ? SlotReady : SlotFailed), std::memory_order_release);
            return Built ? &Slot.Map : nullptr;
        }
        if ((Tag & ~std::uint64_t{3}) == Key) return (Tag & 3) == SlotReady ? &Slot.Map : nullptr;
    }
    return nullptr;
}
