#pragma once
// Seeded random texts for comparing the text routines with straightforward
// versions: pieces of text the case mappings treat differently, line breaks, and
// needles taken from the text with some units changed in case.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

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

