#pragma once
// How the program reads and writes the files of a run.
#include <cstdint>

// Automatic takes each file's byte-order mark (none: ANSI). The settings file
// stores the mode as its number, and a number outside the four is kept as it
// is: such a mode reads no file and leaves the title and F8 alone.
enum class TEncodingMode : std::int32_t {
    Auto = 0,
    Ansi = 1,
    Utf16LE = 2,
    Utf8 = 3,
};

constexpr bool IsKnownEncodingMode(TEncodingMode Mode) {
    return Mode >= TEncodingMode::Auto && Mode <= TEncodingMode::Utf8;
}

// The number the settings file keeps, and the mode it stands for.
constexpr std::int32_t StoredEncodingMode(TEncodingMode Mode) { return static_cast<std::int32_t>(Mode); }
constexpr TEncodingMode EncodingModeFromStored(std::int32_t Stored) { return static_cast<TEncodingMode>(Stored); }

// F8: Auto, ANSI, UTF-16 LE, UTF-8 and round again; an unknown mode stays.
constexpr TEncodingMode NextEncodingMode(TEncodingMode Mode) {
    if (!IsKnownEncodingMode(Mode)) return Mode;
    return EncodingModeFromStored((StoredEncodingMode(Mode) + 1) % 4);
}
