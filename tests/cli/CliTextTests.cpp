// The command line's own text routines: JSON strings, the lossless UTF-8 the
// argument parser works on, filter masks and encoding names.
#include "cli/CliArguments.h"
#include "cli/CliText.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <windows.h>

#include <random>

namespace {

// Valid UTF-16 (no lone surrogates) as plain UTF-8, through the platform.
std::string PlatformUtf8(const std::wstring& Text) {
    const int Length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, Text.data(), static_cast<int>(Text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string Bytes(static_cast<size_t>(Length), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, Text.data(), static_cast<int>(Text.size()), Bytes.data(),
                        Length, nullptr, nullptr);
    return Bytes;
}

// Random text from a mix of ASCII (controls, quotes, backslashes included),
// Latin-1, the BMP, pairs of surrogates and, when Lone, single surrogates.
std::wstring RandomText(std::mt19937& Random, bool Lone) {
    std::uniform_int_distribution<int> Kind(0, Lone ? 5 : 4), Length(0, 24);
    std::wstring Text;
    for (int n = Length(Random); n > 0; --n) {
        switch (Kind(Random)) {
        case 0: Text.push_back(static_cast<wchar_t>(std::uniform_int_distribution<int>(0, 0x7F)(Random))); break;
        case 1: Text.push_back(static_cast<wchar_t>(std::uniform_int_distribution<int>(0x80, 0xFF)(Random))); break;
        case 2: Text.push_back(static_cast<wchar_t>(std::uniform_int_distribution<int>(0x100, 0xD7FF)(Random))); break;
        case 3:
            Text.push_back(static_cast<wchar_t>(std::uniform_int_distribution<int>(0xD800, 0xDBFF)(Random)));
            Text.push_back(static_cast<wchar_t>(std::uniform_int_distribution<int>(0xDC00, 0xDFFF)(Random)));
            break;
        case 4: Text.push_back(static_cast<wchar_t>(std::uniform_int_distribution<int>(0xE000, 0xFFFF)(Random))); break;
        default: Text.push_back(static_cast<wchar_t>(std::uniform_int_distribution<int>(0xD800, 0xDFFF)(Random)));
        }
    }
    return Text;
}

}  // namespace

TEST(CliText, JsonStringEscapesWhatJsonRequiresAndLoneSurrogates) {
    const struct {
        std::wstring Text;
        std::string Json;
    } Cases[] = {
        {L"", "\"\""},
        {L"C:\\dir\\a.txt", "\"C:\\\\dir\\\\a.txt\""},
        {L"say \"hi\"/", "\"say \\\"hi\\\"/\""},
        {L"\b\f\n\r\t\x01\x1f\x7f", "\"\\b\\f\\n\\r\\t\\u0001\\u001f\x7f\""},
        {L"r\u00e4ksm\u00f6rg\u00e5s \u20ac", "\"r\xc3\xa4ksm\xc3\xb6rg\xc3\xa5s \xe2\x82\xac\""},
        {L"\xd83d\xde00", "\"\xf0\x9f\x98\x80\""},           // a pair is one character
        {L"a\xdc80" L"b", "\"a\\udc80b\""},                   // a lone low surrogate
        {L"\xd800", "\"\\ud800\""},                           // a high one at the end
        {L"\xde00\xd83d", "\"\\ude00\\ud83d\""},             // a pair the wrong way round
    };
    for (const auto& Case : Cases) EXPECT_EQ(JsonString(Case.Text), Case.Json) << PlatformUtf8(Case.Text);
}

// For valid text the escaping is exactly that of a well-kept JSON library, and
// the library reads it back as the text.
TEST(CliText, JsonStringMatchesTheJsonLibraryOnValidText) {
    std::mt19937 Random(20240613);
    for (int i = 0; i < 5000; ++i) {
        const std::wstring Text = RandomText(Random, false);
        const std::string Ours = JsonString(Text);
        const std::string Utf8 = PlatformUtf8(Text);
        ASSERT_EQ(Ours, nlohmann::json(Utf8).dump()) << Utf8;
        ASSERT_EQ(nlohmann::json::parse(Ours).get<std::string>(), Utf8);
    }
}

TEST(CliText, LosslessUtf8KeepsEveryCodeUnit) {
    std::mt19937 Random(7);
    for (int i = 0; i < 5000; ++i) {
        const std::wstring Text = RandomText(Random, true);
        ASSERT_EQ(FromLosslessUtf8(ToLosslessUtf8(Text)), Text);
    }
    std::wstring Valid = L"a\u00e9\u20ac\xd83d\xde00";
    EXPECT_EQ(ToLosslessUtf8(Valid), PlatformUtf8(Valid));  // valid text is plain UTF-8
    EXPECT_EQ(ToLosslessUtf8(L"\xdc80"), "\xed\xb2\x80");
    // Bytes that are no UTF-8 at all each read as U+FFFD.
    EXPECT_EQ(FromLosslessUtf8("a\xff\xc0\xaf" "b"), L"a\xfffd\xfffd\xfffd" L"b");
}

TEST(CliArguments, FilterMasksAsPeopleTypeThem) {
    const struct {
        std::vector<std::wstring> Values;
        std::wstring Joined;
    } Cases[] = {
        {{L"*.txt"}, L"*.txt"},
        {{L"*.txt;*.md"}, L"*.txt; *.md"},
        {{L" *.txt ;\t*.md ; "}, L"*.txt; *.md"},
        {{L"*.txt;;  ;*.md"}, L"*.txt; *.md"},
        {{L"*.txt", L"*.md; *.c"}, L"*.txt; *.md; *.c"},
        {{L"my file.txt"}, L"my file.txt"},
        {{L""}, L""},
        {{L" ; "}, L""},
    };
    for (const auto& Case : Cases) EXPECT_EQ(JoinFilterMasks(Case.Values), Case.Joined);
}

TEST(CliArguments, EncodingNamesWithoutRegardToCase) {
    const struct {
        const wchar_t* Name;
        std::optional<TEncodingMode> Mode;
    } Cases[] = {
        {L"auto", TEncodingMode::Auto},     {L"ANSI", TEncodingMode::Ansi},      {L"utf8", TEncodingMode::Utf8},
        {L"UTF8", TEncodingMode::Utf8},     {L"utf-8", TEncodingMode::Utf8},     {L"Utf-8", TEncodingMode::Utf8},
        {L"utf16le", TEncodingMode::Utf16LE}, {L"UTF16", TEncodingMode::Utf16LE}, {L"utf-16LE", TEncodingMode::Utf16LE},
        {L"utf-16be", std::nullopt},        {L"latin1", std::nullopt},           {L"", std::nullopt},
    };
    for (const auto& Case : Cases) EXPECT_EQ(EncodingFromName(Case.Name), Case.Mode) << Case.Name;
}
