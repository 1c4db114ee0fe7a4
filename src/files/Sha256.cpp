#include "files/Sha256.h"

#include <cpuid.h>
#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

constexpr std::uint32_t RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::uint32_t InitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                           0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr std::uint32_t Rotate(std::uint32_t Value, int Bits) { return (Value >> Bits) | (Value << (32 - Bits)); }

void CompressPlain(std::uint32_t State[8], const std::uint8_t* Blocks, size_t Count) {
    for (; Count > 0; --Count, Blocks += 64) {
        std::uint32_t W[64];
        for (int i = 0; i < 16; ++i)
            W[i] = (std::uint32_t{Blocks[4 * i]} << 24) | (std::uint32_t{Blocks[4 * i + 1]} << 16) |
                   (std::uint32_t{Blocks[4 * i + 2]} << 8) | std::uint32_t{Blocks[4 * i + 3]};
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t S0 = Rotate(W[i - 15], 7) ^ Rotate(W[i - 15], 18) ^ (W[i - 15] >> 3);
            const std::uint32_t S1 = Rotate(W[i - 2], 17) ^ Rotate(W[i - 2], 19) ^ (W[i - 2] >> 10);
            W[i] = W[i - 16] + S0 + W[i - 7] + S1;
        }
        std::uint32_t A = State[0], B = State[1], C = State[2], D = State[3], E = State[4], F = State[5],
                      G = State[6], H = State[7];
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t T1 =
                H + (Rotate(E, 6) ^ Rotate(E, 11) ^ Rotate(E, 25)) + ((E & F) ^ (~E & G)) + RoundConstants[i] + W[i];
            const std::uint32_t T2 = (Rotate(A, 2) ^ Rotate(A, 13) ^ Rotate(A, 22)) + ((A & B) ^ (A & C) ^ (B & C));
            H = G;
            G = F;
            F = E;
            E = D + T1;
            D = C;
            C = B;
            B = A;
            A = T1 + T2;
        }
        State[0] += A;
        State[1] += B;
        State[2] += C;
        State[3] += D;
        State[4] += E;
        State[5] += F;
        State[6] += G;
        State[7] += H;
    }
}

// The same rounds with the processor's SHA instructions: four rounds' message
// words per register, two rounds per instruction. The state is kept as the
// instructions want it, ABEF and CDGH.
__attribute__((target("sha,sse4.1,ssse3"))) void CompressWithInstructions(std::uint32_t State[8],
                                                                           const std::uint8_t* Blocks, size_t Count) {
    const __m128i ByteOrder = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i Tmp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&State[0]));
    __m128i State1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&State[4]));
    Tmp = _mm_shuffle_epi32(Tmp, 0xB1);             // CDAB
    State1 = _mm_shuffle_epi32(State1, 0x1B);       // EFGH
    __m128i State0 = _mm_alignr_epi8(Tmp, State1, 8);  // ABEF
    State1 = _mm_blend_epi16(State1, Tmp, 0xF0);    // CDGH

    for (; Count > 0; --Count, Blocks += 64) {
        const __m128i SavedAbef = State0, SavedCdgh = State1;
        __m128i Message[4];
        for (int Group = 0; Group < 16; ++Group) {
            __m128i& Current = Message[Group % 4];
            if (Group < 4)
                Current = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Blocks + 16 * Group)),
                                           ByteOrder);
            __m128i Words = _mm_add_epi32(
                Current, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&RoundConstants[4 * Group])));
            State1 = _mm_sha256rnds2_epu32(State1, State0, Words);
            if (Group >= 3 && Group <= 14) {
                // The words of the next group are completed from this one and the one before.
                __m128i& Next = Message[(Group + 1) % 4];
                Next = _mm_add_epi32(Next, _mm_alignr_epi8(Current, Message[(Group + 3) % 4], 4));
                Next = _mm_sha256msg2_epu32(Next, Current);
            }
            Words = _mm_shuffle_epi32(Words, 0x0E);
            State0 = _mm_sha256rnds2_epu32(State0, State1, Words);
            if (Group >= 1 && Group <= 12) {
                __m128i& Previous = Message[(Group + 3) % 4];
                Previous = _mm_sha256msg1_epu32(Previous, Current);
            }
        }
        State0 = _mm_add_epi32(State0, SavedAbef);
        State1 = _mm_add_epi32(State1, SavedCdgh);
    }

    // Back to A..H in memory order.
    Tmp = _mm_shuffle_epi32(State0, 0x1B);
    State1 = _mm_shuffle_epi32(State1, 0xB1);
    State0 = _mm_blend_epi16(Tmp, State1, 0xF0);
    State1 = _mm_alignr_epi8(State1, Tmp, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&State[0]), State0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&State[4]), State1);
}

bool ProcessorHasShaInstructions() {
    unsigned A = 0, B = 0, C = 0, D = 0;
    if (!__get_cpuid(1, &A, &B, &C, &D)) return false;
    const bool Ssse3 = C & (1u << 9), Sse41 = C & (1u << 19);
    if (!__get_cpuid_count(7, 0, &A, &B, &C, &D)) return false;
    return Ssse3 && Sse41 && (B & (1u << 29));
}

const bool HasInstructions = ProcessorHasShaInstructions();
std::atomic<bool> InstructionsAllowed{true};

}  // namespace

bool UseSha256Instructions(bool Allowed) {
    InstructionsAllowed.store(Allowed);
    return HasInstructions;
}

TSha256::TSha256() { std::memcpy(FState, InitialState, sizeof(FState)); }

void TSha256::Compress(const std::uint8_t* Blocks, size_t Count) {
    if (HasInstructions && InstructionsAllowed.load(std::memory_order_relaxed))
        CompressWithInstructions(FState, Blocks, Count);
    else
        CompressPlain(FState, Blocks, Count);
}

void TSha256::Update(std::string_view Bytes) {
    auto Data = reinterpret_cast<const std::uint8_t*>(Bytes.data());
    size_t Size = Bytes.size();
    FLength += Size;
    if (FBuffered > 0) {
        const size_t Take = std::min(Size, sizeof(FBuffer) - FBuffered);
        std::memcpy(FBuffer + FBuffered, Data, Take);
        FBuffered += Take;
        Data += Take;
        Size -= Take;
        if (FBuffered < sizeof(FBuffer)) return;
        Compress(FBuffer, 1);
        FBuffered = 0;
    }
    if (Size >= 64) {
        Compress(Data, Size / 64);
        Data += Size / 64 * 64;
        Size %= 64;
    }
    if (Size > 0) std::memcpy(FBuffer, Data, Size);
    FBuffered = Size;
}

TSha256Digest TSha256::Finish() {
    const std::uint64_t Bits = FLength * 8;
    // The padding: one bit, zeros, and the length in bits, to a whole block.
    std::uint8_t Tail[128] = {0x80};
    const size_t Padding = (FBuffered < 56 ? 56 : 120) - FBuffered;
    for (int i = 0; i < 8; ++i) Tail[Padding + static_cast<size_t>(i)] = static_cast<std::uint8_t>(Bits >> (56 - 8 * i));
    Update(std::string_view(reinterpret_cast<const char*>(Tail), Padding + 8));
    TSha256Digest Digest;
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j)
            Digest[static_cast<size_t>(4 * i + j)] = static_cast<std::uint8_t>(FState[i] >> (24 - 8 * j));
    *this = TSha256();
    return Digest;
}

TSha256Digest Sha256(std::string_view Bytes) {
    TSha256 Hash;
    Hash.Update(Bytes);
    return Hash.Finish();
}

std::string Sha256Hex(const TSha256Digest& Digest) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string Text;
    for (std::uint8_t Byte : Digest) {
        Text.push_back(Digits[Byte >> 4]);
        Text.push_back(Digits[Byte & 15]);
    }
    return Text;
}
