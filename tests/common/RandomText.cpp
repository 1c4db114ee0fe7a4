#include "RandomText.h"

#include "TextBytes.h"

#include <algorithm>
#include <iterator>

namespace {

// Pieces texts are built from: ASCII, Latin-1, Turkish i forms, title-case and
// other letters the two mappings treat differently, surrogate pairs with and
// without case, lone surrogates (which may pair up with a neighbour) and line breaks.
const wchar_t* const RandomTextPieces[] = {
    L"a", L"A", L"b", L"B", L"e", L"s", L"S", L"k", L"K", L" ", L"x", L"X",
    L"\u00E4", L"\u00C4", L"\u00F6", L"\u00DF", L"\u00FF", L"\u00B5", L"\u00E9", L"\u00C9",
    L"i", L"I", L"\u0131", L"\u0130",
    L"\u01C4", L"\u01C5", L"\u01C6", L"\u01C8", L"\u01F2", L"\u03C3", L"\u03C2", L"\u03A3", L"\u017F",
    L"\u0345", L"\u1FBE", L"\u1E9E", L"\u212A",
    L"\U00010428", L"\U00010400", L"\U0001E922", L"\U0001F600",
    L"\xD801", L"\xDC28", L"\xDC00",
    L"\r", L"\n", L"\r\n",
};

}  // namespace

std::wstring RandomText::Text(std::size_t MaxPieces) {
    std::wstring Result;
    const std::size_t Count = Below(MaxPieces + 1);
    // A text drawn from a narrow set of pieces repeats itself, as real text does.
    const std::size_t Narrow = 1 + Below(std::size(RandomTextPieces));
    const std::size_t Offset = Below(std::size(RandomTextPieces));
    for (std::size_t I = 0; I < Count; ++I)
        Result += RandomTextPieces[(Offset + Below(Narrow)) % std::size(RandomTextPieces)];
    return Result;
}

// Mostly a piece of Haystack with some units changed in case, else a fresh text.
std::wstring RandomText::Needle(const std::wstring& Haystack) {
    if (Haystack.empty() || Below(4) == 0) return Text(4);
    const std::size_t Start = Below(Haystack.size());
    std::wstring Result = Haystack.substr(Start, 1 + Below(Below(5) == 0 ? 40 : 6));
    for (wchar_t& Unit : Result) {
        if (Below(3) != 0) continue;
        wchar_t Changed[2] = {Unit, 0};
        if (Below(2) == 0) CharUpperW(Changed); else CharLowerW(Changed);
        Unit = Changed[0];
    }
    return Result;
}

std::vector<std::size_t> RandomEnds(RandomText& Random, std::size_t Length) {
    std::vector<std::size_t> Ends;
    for (std::size_t End = 0; End < Length;) {
        End = std::min(Length, End + Random.Below(6));
        Ends.push_back(End);
    }
    if (Ends.empty() || Ends.back() != Length) Ends.push_back(Length);
    return Ends;
}

std::vector<std::size_t> EveryUnits(std::size_t Length, std::size_t Size) {
    std::vector<std::size_t> Ends;
    for (std::size_t End = Size; End < Length; End += Size) Ends.push_back(End);
    Ends.push_back(Length);
    return Ends;
}

std::wstring RandomFileLines(std::mt19937& Random, bool Ascii) {
    const wchar_t* const Words[] = {L"ab", L"AB", L"aB", L"x", L" ", L"\t", L"abab", L"y\u00E4", L"\u00C4B",
                                    L"\U00010400", L"\U00010428", L"\u00DF"};
    const wchar_t* const Ends[] = {L"\r\n", L"\n", L"\r", L"\n\n"};
    std::wstring Text;
    const int Lines = std::uniform_int_distribution<int>(1, 30)(Random);
    for (int Line = 0; Line < Lines; ++Line) {
        for (int Word = std::uniform_int_distribution<int>(0, 5)(Random); Word > 0; --Word)
            Text += Words[std::uniform_int_distribution<int>(0, Ascii ? 6 : 11)(Random)];
        if (Line + 1 < Lines || Random() % 2) Text += Ends[Random() % 4];
    }
    return Text;
}

std::span<const TFileEncoding> FileEncodings() {
    static const TFileEncoding Encodings[] = {
        {TEncodingMode::Utf8, false, [](const std::wstring& Text) { return Narrow(Text); }},
        {TEncodingMode::Utf8, false, [](const std::wstring& Text) { return Utf8Bom + Narrow(Text); }},
        {TEncodingMode::Utf16LE, false, [](const std::wstring& Text) { return Utf16WithBom(Text); }},
        {TEncodingMode::Ansi, true, [](const std::wstring& Text) { return AnsiMark() + Narrow(Text); }},
    };
    return Encodings;
}
