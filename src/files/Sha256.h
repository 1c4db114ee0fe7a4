#pragma once
// SHA-256 of file contents, for the undo journal: it tells whether a file still
// holds exactly the bytes an Apply wrote, and whether the journal's copy of the
// old bytes is still whole. Our own code rather than the system's hashing
// library: it needs no provider handle per thread, gives the same result on
// every Windows version the program runs on, and on processors with the SHA
// instructions it runs several times faster than a plain C implementation.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using TSha256Digest = std::array<std::uint8_t, 32>;

class TSha256 {
public:
    TSha256();
    void Update(std::string_view Bytes);
    // The digest of everything given to Update; the object starts over afterwards.
    TSha256Digest Finish();

private:
    void Compress(const std::uint8_t* Blocks, size_t Count);

    std::uint32_t FState[8];
    std::uint8_t FBuffer[64];
    size_t FBuffered = 0;
    std::uint64_t FLength = 0;  // bytes given so far
};

TSha256Digest Sha256(std::string_view Bytes);
// Lower-case hexadecimal, 64 digits.
std::string Sha256Hex(const TSha256Digest& Digest);

// For tests: false makes every hash use the plain implementation, so both ways
// can be compared on the same machine. Returns whether the processor has the
// SHA instructions.
bool UseSha256Instructions(bool Allowed);
