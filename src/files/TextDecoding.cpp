#include "files/TextDecoding.h"

#include <algorithm>

#include <emmintrin.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Widens 16 bytes below 0x80 into 16 code units.
inline void WidenAscii16(__m128i Bytes, wchar_t* Out) {
    const __m128i Zero = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out), _mm_unpacklo_epi8(Bytes, Zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + 8), _mm_unpackhi_epi8(Bytes, Zero));
}

inline bool IsContinuation(unsigned char B) { return (B & 0xC0) == 0x80; }

struct TAnsiDecoder {
    UINT CodePage = 0;
    bool HasTable = false;
    TByteTable Table{};
    bool DoubleByte = false;            // a double-byte code page: LeadByte tells the lead bytes
    std::array<bool, 256> LeadByte{};
    bool KeepsAscii = false;            // bytes below 0x80 map to themselves
};

const TAnsiDecoder& AnsiDecoder() {
    // Built once, on whichever thread first needs it; the initialisation of a
    // function-local static is thread-safe.
    static const TAnsiDecoder Decoder = [] {
        TAnsiDecoder D;
        D.CodePage = GetACP();
        D.HasTable = BuildByteTable(D.CodePage, D.Table);
        CPINFO Info;
        if (!D.HasTable && D.CodePage != CP_UTF8 && GetCPInfo(D.CodePage, &Info) && Info.MaxCharSize == 2) {
            D.DoubleByte = true;
            for (int B = 0; B < 256; ++B) D.LeadByte[static_cast<size_t>(B)] = IsDBCSLeadByteEx(D.CodePage, static_cast<BYTE>(B));
        }
        std::string Ascii;
        for (int B = 0; B < 0x80; ++B) Ascii.push_back(static_cast<char>(B));
        std::wstring Text;
        D.KeepsAscii = DecodeWithPlatform(D.CodePage, 0, Ascii, Text) && Text.size() == Ascii.size() &&
                       std::equal(Ascii.begin(), Ascii.end(), Text.begin(),
                                  [](char Byte, wchar_t Unit) { return static_cast<wchar_t>(Byte) == Unit; });
        return D;
    }();
    return Decoder;
}

}  // namespace

bool DecodeUtf8StrictInto(std::string_view Bytes, wchar_t* const Start, size_t& Length) {
    const auto* P = reinterpret_cast<const unsigned char*>(Bytes.data());
    const size_t N = Bytes.size();
    wchar_t* Out = Start;
    size_t I = 0;
    while (I < N) {
        // ASCII runs sixteen bytes at a time.
        while (I + 16 <= N) {
            __m128i Block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P + I));
            int High = _mm_movemask_epi8(Block);
            if (High == 0) {
                WidenAscii16(Block, Out);
                I += 16;
                Out += 16;
                continue;
            }
            int Ascii = __builtin_ctz(static_cast<unsigned>(High));
            for (int K = 0; K < Ascii; ++K) *Out++ = P[I + K];
            I += Ascii;
            break;
        }
        if (I >= N) break;
        unsigned char B0 = P[I];
        if (B0 < 0x80) {
            *Out++ = B0;
            ++I;
            continue;
        }
        size_t Left = N - I;
        if (B0 >= 0xC2 && B0 <= 0xDF) {
            if (Left < 2 || !IsContinuation(P[I + 1])) break;
            *Out++ = static_cast<wchar_t>(((B0 & 0x1F) << 6) | (P[I + 1] & 0x3F));
            I += 2;
        } else if (B0 >= 0xE0 && B0 <= 0xEF) {
            if (Left < 3) break;
            unsigned char B1 = P[I + 1], B2 = P[I + 2];
            // E0 needs A0..BF (no overlong form); ED needs 80..9F (no surrogates).
            unsigned char Low = B0 == 0xE0 ? 0xA0 : 0x80;
            unsigned char HighLimit = B0 == 0xED ? 0x9F : 0xBF;
            if (B1 < Low || B1 > HighLimit || !IsContinuation(B2)) break;
            *Out++ = static_cast<wchar_t>(((B0 & 0x0F) << 12) | ((B1 & 0x3F) << 6) | (B2 & 0x3F));
            I += 3;
        } else if (B0 >= 0xF0 && B0 <= 0xF4) {
            if (Left < 4) break;
            unsigned char B1 = P[I + 1], B2 = P[I + 2], B3 = P[I + 3];
            // F0 needs 90..BF (no overlong form); F4 needs 80..8F (nothing above U+10FFFF).
            unsigned char Low = B0 == 0xF0 ? 0x90 : 0x80;
            unsigned char HighLimit = B0 == 0xF4 ? 0x8F : 0xBF;
            if (B1 < Low || B1 > HighLimit || !IsContinuation(B2) || !IsContinuation(B3)) break;
            std::uint32_t Code = (static_cast<std::uint32_t>(B0 & 0x07) << 18) | ((B1 & 0x3F) << 12) |
                                 ((B2 & 0x3F) << 6) | (B3 & 0x3F);
            Code -= 0x10000;
            *Out++ = static_cast<wchar_t>(0xD800 | (Code >> 10));
            *Out++ = static_cast<wchar_t>(0xDC00 | (Code & 0x3FF));
            I += 4;
        } else {
            break;
        }
    }
    Length = static_cast<size_t>(Out - Start);
    return I >= N;
}

bool DecodeUtf8Strict(std::string_view Bytes, std::wstring& Text) {
    // UTF-8 never needs more code units than bytes.
    Text.resize(Bytes.size());
    size_t Length = 0;
    if (!DecodeUtf8StrictInto(Bytes, Text.data(), Length)) {
        Text.clear();
        return false;
    }
    Text.resize(Length);
    return true;
}

void DecodeUtf16LE(std::string_view Bytes, std::wstring& Text) {
    size_t Units = Bytes.size() / 2;
    Text.resize(Units);
    // wchar_t is a little-endian 16-bit unit on this platform.
    if (Units) std::memcpy(Text.data(), Bytes.data(), Units * 2);
}

bool DecodeWithPlatform(UINT CodePage, DWORD Flags, std::string_view Bytes, std::wstring& Text) {
    Text.clear();
    if (Bytes.empty()) return true;
    if (Bytes.size() > static_cast<size_t>(INT_MAX)) return false;
    int Length = static_cast<int>(Bytes.size());
    int Needed = MultiByteToWideChar(CodePage, Flags, Bytes.data(), Length, nullptr, 0);
    if (Needed <= 0) return false;
    Text.resize(static_cast<size_t>(Needed));
    int Written = MultiByteToWideChar(CodePage, Flags, Bytes.data(), Length, Text.data(), Needed);
    if (Written != Needed) {
        Text.clear();
        return false;
    }
    return true;
}

bool BuildByteTable(UINT CodePage, TByteTable& Table) {
    CPINFO Info;
    if (!GetCPInfo(CodePage, &Info) || Info.MaxCharSize != 1) return false;
    for (int B = 0; B < 256; ++B) {
        char Byte = static_cast<char>(B);
        wchar_t Unit[2];
        if (MultiByteToWideChar(CodePage, 0, &Byte, 1, Unit, 2) != 1) return false;
        Table[static_cast<size_t>(B)] = Unit[0];
    }
    // A table can only stand for the conversion if no byte depends on its
    // neighbour: check every pair of bytes in one call.
    std::string Pairs;
    Pairs.reserve(2 * 256 * 256);
    for (int First = 0; First < 256; ++First)
        for (int Second = 0; Second < 256; ++Second) {
            Pairs.push_back(static_cast<char>(First));
            Pairs.push_back(static_cast<char>(Second));
        }
    std::wstring Platform;
    if (!DecodeWithPlatform(CodePage, 0, Pairs, Platform) || Platform.size() != Pairs.size()) return false;
    for (size_t I = 0; I < Pairs.size(); ++I)
        if (Platform[I] != Table[static_cast<unsigned char>(Pairs[I])]) return false;
    return true;
}

namespace {

void DecodeWithTableInto(const TByteTable& Table, std::string_view Bytes, wchar_t* Out) {
    const auto* P = reinterpret_cast<const unsigned char*>(Bytes.data());
    const size_t N = Bytes.size();
    size_t I = 0;
    // Bytes below 0x80 are checked against the table once: every single-byte
    // ANSI code page maps them to themselves, but nothing is assumed.
    bool AsciiIdentity = true;
    for (int B = 0; B < 0x80; ++B)
        if (Table[static_cast<size_t>(B)] != static_cast<wchar_t>(B)) AsciiIdentity = false;
    if (AsciiIdentity) {
        while (I + 16 <= N) {
            __m128i Block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P + I));
            if (_mm_movemask_epi8(Block) == 0) {
                WidenAscii16(Block, Out + I);
            } else {
                for (size_t K = 0; K < 16; ++K) Out[I + K] = Table[P[I + K]];
            }
            I += 16;
        }
    }
    for (; I < N; ++I) Out[I] = Table[P[I]];
}

}  // namespace

void DecodeWithTable(const TByteTable& Table, std::string_view Bytes, std::wstring& Text) {
    Text.resize(Bytes.size());
    DecodeWithTableInto(Table, Bytes, Text.data());
}

bool IsMultiByteUtf8(std::string_view Bytes) {
    if (std::none_of(Bytes.begin(), Bytes.end(), [](char C) { return static_cast<unsigned char>(C) >= 0x80; }))
        return false;
    std::wstring Text;
    return DecodeUtf8Strict(Bytes, Text);
}

bool DecodeAnsi(std::string_view Bytes, std::wstring& Text) {
    const TAnsiDecoder& Decoder = AnsiDecoder();
    if (Decoder.HasTable) {
        DecodeWithTable(Decoder.Table, Bytes, Text);
        return true;
    }
    return DecodeWithPlatform(CP_ACP, 0, Bytes, Text);
}

bool DecodeAnsiInto(std::string_view Bytes, wchar_t* Out, size_t& Length) {
    const TAnsiDecoder& Decoder = AnsiDecoder();
    if (Decoder.HasTable) {
        DecodeWithTableInto(Decoder.Table, Bytes, Out);
        Length = Bytes.size();
        return true;
    }
    Length = 0;
    if (Bytes.empty()) return true;
    if (Bytes.size() > static_cast<size_t>(INT_MAX)) return false;
    // No code page gives more code units than it takes bytes.
    const int Written = MultiByteToWideChar(CP_ACP, 0, Bytes.data(), static_cast<int>(Bytes.size()), Out,
                                            static_cast<int>(Bytes.size()));
    if (Written <= 0) return false;
    Length = static_cast<size_t>(Written);
    return true;
}

size_t Utf8CompletePrefix(std::string_view Bytes) {
    // The last byte that is not a continuation, among the last three: a lead byte
    // whose sequence needs more than what follows it waits for the next piece.
    // Anything else either ends a sequence here or is invalid wherever it is cut.
    const size_t N = Bytes.size();
    for (size_t Back = 1; Back <= 3 && Back <= N; ++Back) {
        const auto B = static_cast<unsigned char>(Bytes[N - Back]);
        if (IsContinuation(B)) continue;
        const size_t Needs = B >= 0xF0 ? 4 : B >= 0xE0 ? 3 : B >= 0xC0 ? 2 : 1;
        return Needs > Back ? N - Back : N;
    }
    return N;
}

size_t AnsiCompletePrefix(std::string_view Bytes) {
    const TAnsiDecoder& Decoder = AnsiDecoder();
    if (Decoder.HasTable) return Bytes.size();
    if (!Decoder.DoubleByte) return Utf8CompletePrefix(Bytes);
    // Lead bytes may also stand second in a pair: the pairs are followed from the
    // start of the piece, which starts a character.
    size_t I = 0;
    while (I < Bytes.size()) I += Decoder.LeadByte[static_cast<unsigned char>(Bytes[I])] ? 2 : 1;
    return I > Bytes.size() ? Bytes.size() - 1 : Bytes.size();
}

bool AnsiDecodesInPieces() {
    const TAnsiDecoder& Decoder = AnsiDecoder();
    return Decoder.HasTable || Decoder.DoubleByte || Decoder.CodePage == CP_UTF8;
}

bool AnsiKeepsAscii() { return AnsiDecoder().KeepsAscii; }
