#include "files/TextDecoding.h"

#include "TextBytes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// Byte strings that exercise every branch of a UTF-8 decoder: ASCII runs long
// enough to cross 16-byte blocks, every valid length, and the invalid forms
// (stray continuations, truncations, overlongs, encoded surrogates, values above
// U+10FFFF, bytes that never start a sequence).
class TByteMaker {
public:
    explicit TByteMaker(unsigned Seed) : FRandom(Seed) {}

    // Valid pieces with, unless ValidOnly, one doubtful piece among them: a string
    // with several faults would hide a decoder that accepts one of them.
    std::string Make(bool ValidOnly) {
        std::string Bytes;
        int Pieces = Pick(0, 8);
        int Doubtful = ValidOnly ? -1 : Pick(0, Pieces);
        for (int I = 0; I <= Pieces; ++I) AddPiece(Bytes, I != Doubtful);
        return Bytes;
    }

private:
    int Pick(int Low, int High) { return std::uniform_int_distribution<int>(Low, High)(FRandom); }
    char Byte(int Low, int High) { return static_cast<char>(Pick(Low, High)); }

    void AddCode(std::string& Bytes, std::uint32_t Code) {
        if (Code < 0x80) {
            Bytes += static_cast<char>(Code);
        } else if (Code < 0x800) {
            Bytes += static_cast<char>(0xC0 | (Code >> 6));
            Bytes += static_cast<char>(0x80 | (Code & 0x3F));
        } else if (Code < 0x10000) {
            Bytes += static_cast<char>(0xE0 | (Code >> 12));
            Bytes += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
            Bytes += static_cast<char>(0x80 | (Code & 0x3F));
        } else {
            Bytes += static_cast<char>(0xF0 | (Code >> 18));
            Bytes += static_cast<char>(0x80 | ((Code >> 12) & 0x3F));
            Bytes += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
            Bytes += static_cast<char>(0x80 | (Code & 0x3F));
        }
    }

    void AddPiece(std::string& Bytes, bool ValidOnly) {
        int Kind = ValidOnly ? Pick(0, 5) : Pick(6, 16);
        switch (Kind) {
        case 0:
        case 1: {  // an ASCII run, often across a 16-byte boundary
            int Length = Pick(0, 40);
            for (int I = 0; I < Length; ++I) Bytes += Byte(0, 0x7F);
            break;
        }
        case 2: AddCode(Bytes, static_cast<std::uint32_t>(Pick(0x80, 0x7FF))); break;
        case 3: {
            std::uint32_t Code = static_cast<std::uint32_t>(Pick(0x800, 0xFFFF));
            if (Code >= 0xD800 && Code <= 0xDFFF) Code -= 0x1000;
            AddCode(Bytes, Code);
            break;
        }
        case 4: AddCode(Bytes, static_cast<std::uint32_t>(Pick(0x10000, 0x10FFFF))); break;
        case 5: {  // the edges of each length, U+FFFE and U+FFFF included
            static const std::uint32_t Edges[] = {0x7F, 0x80, 0x7FF, 0x800, 0xD7FF, 0xE000, 0xFFFD,
                                                  0xFFFE, 0xFFFF, 0x10000, 0x10FFFF};
            AddCode(Bytes, Edges[Pick(0, 10)]);
            break;
        }
        case 6: Bytes += Byte(0x80, 0xBF); break;  // a stray continuation
        case 7: {                                  // a truncated sequence
            std::string Full;
            AddCode(Full, static_cast<std::uint32_t>(Pick(0x80, 0x10FFFF)) & ~0u);
            if (Full.size() > 1) Full.resize(static_cast<size_t>(Pick(1, static_cast<int>(Full.size()) - 1)));
            Bytes += Full;
            break;
        }
        case 8: {  // overlong forms
            static const char* const Overlongs[] = {"\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xE0\x9F\xBF",
                                                    "\xF0\x80\x80\x80", "\xF0\x8F\xBF\xBF"};
            Bytes += Overlongs[Pick(0, 5)];
            break;
        }
        case 9:  // an encoded surrogate
            Bytes += '\xED';
            Bytes += Byte(0xA0, 0xBF);
            Bytes += Byte(0x80, 0xBF);
            break;
        case 10:  // above U+10FFFF
            Bytes += Pick(0, 1) ? '\xF4' : Byte(0xF5, 0xF7);
            Bytes += Byte(0x90, 0xBF);
            Bytes += Byte(0x80, 0xBF);
            Bytes += Byte(0x80, 0xBF);
            break;
        case 11: Bytes += Byte(0xF5, 0xFF); break;  // never a lead byte
        case 12: {                                  // any bytes at all
            int Length = Pick(1, 6);
            for (int I = 0; I < Length; ++I) Bytes += Byte(0x80, 0xFF);
            break;
        }
        case 13:  // a lead byte followed by ASCII
            Bytes += Byte(0xC2, 0xF4);
            Bytes += Byte(0x00, 0x7F);
            break;
        case 14: {  // a lead byte followed by a wrong continuation count
            Bytes += Byte(0xE1, 0xEC);
            Bytes += Byte(0x80, 0xBF);
            Bytes += Byte(0xC0, 0xFF);
            break;
        }
        default: Bytes += Byte(0, 0xFF); break;
        }
    }

    std::mt19937 FRandom;
};

}  // namespace

TEST(TextDecoding, StrictUtf8FailsAndDecodesExactlyAsThePlatform) {
    TByteMaker Maker(20240611);
    int Valid = 0, Invalid = 0;
    for (int Round = 0; Round < 40000; ++Round) {
        std::string Bytes = Maker.Make(Round % 3 == 0);
        std::wstring Platform, Ours;
        bool PlatformOk = DecodeWithPlatform(CP_UTF8, MB_ERR_INVALID_CHARS, Bytes, Platform);
        bool OursOk = DecodeUtf8Strict(Bytes, Ours);
        ASSERT_EQ(OursOk, PlatformOk) << HexBytes(Bytes);
        if (PlatformOk) {
            ASSERT_EQ(Ours, Platform) << HexBytes(Bytes);
        } else {
            ASSERT_TRUE(Ours.empty());
        }
        (PlatformOk ? Valid : Invalid) += Bytes.empty() ? 0 : 1;
    }
    // Both outcomes must have been exercised in earnest.
    EXPECT_GT(Valid, 10000);
    EXPECT_GT(Invalid, 10000);
}

TEST(TextDecoding, StrictUtf8Table) {
    struct TCase {
        const char* Bytes;
        bool Ok;
        const wchar_t* Text;
    } Cases[] = {
        {"", true, L""},
        {"abc", true, L"abc"},
        {"\xC3\xA5\xE2\x82\xAC\xF0\x9F\x98\x80", true, L"\u00E5\u20AC\U0001F600"},
        {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF", true, L"\uFFFF\U0010FFFF"},
        {"a\x80", false, L""},
        {"\xC0\xAF", false, L""},
        {"\xED\xA0\x80", false, L""},
        {"\xF4\x90\x80\x80", false, L""},
        {"0123456789abcdef0123456789abcdef\xE2\x82", false, L""},
    };
    for (const TCase& Case : Cases) {
        std::wstring Text = L"stale";
        EXPECT_EQ(DecodeUtf8Strict(Case.Bytes, Text), Case.Ok) << HexBytes(Case.Bytes);
        EXPECT_EQ(Text, Case.Text) << HexBytes(Case.Bytes);
    }
}

TEST(TextDecoding, ByteTablesDecodeAsThePlatformForSingleByteCodePages) {
    std::mt19937 Random(77);
    int Built = 0;
    for (UINT CodePage : {437u, 850u, 866u, 874u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u, 1256u, 1257u, 1258u,
                          28591u, 28592u, 28605u}) {
        TByteTable Table;
        if (!BuildByteTable(CodePage, Table)) continue;  // not a code page a table can stand for here
        ++Built;
        for (int Round = 0; Round < 300; ++Round) {
            std::string Bytes;
            int Length = std::uniform_int_distribution<int>(0, 100)(Random);
            bool Ascii = Round % 2 == 0;
            for (int I = 0; I < Length; ++I)
                Bytes += static_cast<char>(std::uniform_int_distribution<int>(0, Ascii && I % 37 ? 0x7F : 0xFF)(Random));
            std::wstring Platform, Ours;
            ASSERT_TRUE(DecodeWithPlatform(CodePage, 0, Bytes, Platform));
            DecodeWithTable(Table, Bytes, Ours);
            ASSERT_EQ(Ours, Platform) << "code page " << CodePage << ": " << HexBytes(Bytes);
        }
    }
    EXPECT_GE(Built, 10);
    // Double-byte and multi-byte code pages never get a table.
    TByteTable Table;
    EXPECT_FALSE(BuildByteTable(932, Table));
    EXPECT_FALSE(BuildByteTable(CP_UTF8, Table));
}

TEST(TextDecoding, AnsiDecodesAsThePlatformForEveryByte) {
    std::mt19937 Random(5);
    std::string All;
    for (int B = 0; B < 256; ++B) All += static_cast<char>(B);
    for (int Round = 0; Round < 2000; ++Round) {
        std::string Bytes = Round == 0 ? All : std::string();
        int Length = std::uniform_int_distribution<int>(0, 70)(Random);
        for (int I = 0; I < Length; ++I) Bytes += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(Random));
        std::wstring Platform, Ours;
        ASSERT_TRUE(DecodeWithPlatform(CP_ACP, 0, Bytes, Platform));
        ASSERT_TRUE(DecodeAnsi(Bytes, Ours));
        ASSERT_EQ(Ours, Platform) << HexBytes(Bytes);
    }
}

TEST(TextDecoding, Utf16LittleEndianDropsAnOddFinalByte) {
    std::wstring Text;
    DecodeUtf16LE(std::string("A\0\xE5\0\x3D\xD8\x00\xDE", 8), Text);
    EXPECT_EQ(Text, L"A\u00E5\U0001F600");
    DecodeUtf16LE(std::string("A\0B", 3), Text);
    EXPECT_EQ(Text, L"A");
    DecodeUtf16LE(std::string("B", 1), Text);
    EXPECT_EQ(Text, L"");
}
