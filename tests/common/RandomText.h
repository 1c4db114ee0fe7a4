#pragma once
// Seeded random texts for comparing the text routines with straightforward
// versions: pieces of text the case mappings treat differently, line breaks, and
// needles taken from the text with some units changed in case.
#include "files/EncodingMode.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

class RandomText {
public:
    explicit RandomText(std::uint32_t Seed) : FRandom(Seed) {}

    std::wstring Text(std::size_t MaxPieces);

    // Mostly a piece of Text with some units changed in case, else a fresh text.
    std::wstring Needle(const std::wstring& Haystack);

    std::size_t Below(std::size_t Limit) { return std::uniform_int_distribution<std::size_t>(0, Limit - 1)(FRandom); }

private:
    std::mt19937 FRandom;
};

// Where a text of Length units is cut: into pieces of Size units, or of random
// sizes up to five units (empty ones included); the last end is Length.
std::vector<std::size_t> EveryUnits(std::size_t Length, std::size_t Size);
std::vector<std::size_t> RandomEnds(RandomText& Random, std::size_t Length);


// Random lines as a text file holds them, with CR LF, LF and CR ends: short
// words, "ab" in both cases, non-ASCII letters and surrogate pairs (Ascii: ASCII
// only, for the ANSI code page).
std::wstring RandomFileLines(std::mt19937& Random, bool Ascii);

// The encodings a test writes a text file in, each with its bytes for a text:
// UTF-8 without and with the mark, UTF-16 LE with the mark, ANSI.
struct TFileEncoding {
    TEncodingMode Mode;
    bool Ascii;  // the text must be ASCII
    std::string (*Bytes)(const std::wstring& Text);
};
std::span<const TFileEncoding> FileEncodings();
