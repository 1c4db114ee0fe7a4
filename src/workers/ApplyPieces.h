#pragma once
// Apply over a file read in pieces (TTextFileReader::ScanHeld), so that its
// memory stays the same whatever the file's size. A file is read twice while it
// is held (and a third time, by the journal, for its old bytes): first for what the search learns of it (its occurrences) and the facts
// its bytes give at once; then, for a file that would change, for the costly
// facts, with its new content made, encoded and written piece by piece. What can
// only be known at the end (bytes that do not come back unchanged in the last
// piece, a character the encoding lacks there) leaves the file as it is: its
// temporary file goes.
#include "base/TextPieces.h"
#include "base/TextScanner.h"
#include "files/EncodingMode.h"
#include "files/SafeFileWriter.h"
#include "files/Sha256.h"
#include "files/TextFileReader.h"

#include <cstdint>
#include <string>
#include <string_view>

// The first reading: the occurrences, the mark, the first bytes (for the binary
// test), the first line break (for a replacement that holds one) and, when asked,
// the digest of the file's bytes.
class TApplyScanSink final : public TTextPieceSink {
public:
    TApplyScanSink(const TextScanner& Scanner, bool NeedsLineBreak)
        : FCounter(Scanner), FNeedsLineBreak(NeedsLineBreak) {}
    // Before the reading: whether the bytes are hashed.
    void HashBytes(bool Hash) { FHashing = Hash; }

    void Restart() override;
    void Mark(std::string_view Bytes) override;
    void Decoded(std::string_view Bytes) override;
    size_t Take(std::wstring_view Text, bool Last) override;

    bool Holds() const { return FCounter.Holds(); }
    std::int32_t Count() const { return FCounter.Count(); }
    const std::string& FileMark() const { return FMark; }
    // The first bytes after the mark, as many as LooksBinary looks at.
    const std::string& Head() const { return FHead; }
    std::wstring_view FirstBreak() const { return FBreak.Break(); }
    // The SHA-256 of the file's bytes (when hashed).
    TSha256Digest Digest() { return FHash.Finish(); }

private:
    TPieceCounter FCounter;
    TFirstLineBreak FBreak;
    const bool FNeedsLineBreak;
    bool FHashing = false;
    std::string FMark, FHead;
    TSha256 FHash;
};

// The second reading: the facts that cost an encoding, and the new content,
// handed to Content when one is given (none in a dry run).
class TApplyWriteSink final : public TTextPieceSink {
public:
    TApplyWriteSink(const TextScanner& Scanner, std::wstring_view ReplaceWith) : FReplacer(Scanner, ReplaceWith) {}
    // Before the reading: the file's mode (one of the three read), the text's
    // first line break, whether its bytes are watched for UTF-8 (see
    // MultiByteUtf8), and where its new content goes (null: nowhere).
    void Prepare(TEncodingMode Mode, std::wstring_view FirstBreak, bool WatchUtf8, TNewFileContent* Content);

    void Restart() override;
    void Mark(std::string_view Bytes) override;
    void Decoded(std::string_view Bytes) override;
    size_t Take(std::wstring_view Text, bool Last) override;

    // After the reading: every piece's bytes come back unchanged from its text.
    bool RoundTrip() const { return FRoundTrip; }
    // The bytes (after the mark) are valid UTF-8 holding a multi-byte sequence.
    bool MultiByteUtf8() const { return FUtf8Valid && FUtf8High; }
    // The encoding holds the new text.
    bool NewTextFits() const { return FFits; }
    // The new content went to Content whole (false: it was dropped, or none was given).
    bool Written() const { return FContent != nullptr && FWriteOk; }
    // The old bytes and the new, by size and SHA-256.
    std::uint64_t OldSize() const { return FOldSize; }
    std::uint64_t NewSize() const { return FNewSize; }
    TSha256Digest OldDigest() { return FOldHash.Finish(); }
    TSha256Digest NewDigest() { return FNewHash.Finish(); }
    // Lets go of memory beyond what a piece of the usual kind needs.
    void Trim();

private:
    void WatchUtf8(std::string_view Bytes, bool Last);
    void Emit(std::string_view Bytes);

    TPieceReplacer FReplacer;
    TPieceEncoder FEncoder;
    TEncodingMode FMode = TEncodingMode::Utf8;
    std::wstring FFirstBreak;
    TNewFileContent* FContent = nullptr;
    bool FWatchUtf8 = false;
    std::string_view FBytes;  // the bytes of the coming Take's new units
    size_t FKept = 0;         // units the last Take kept
    bool FRoundTrip = true, FFits = true, FWriteOk = true;
    bool FUtf8Valid = true, FUtf8High = false;
    std::string FUtf8Carry, FUtf8Joined;  // a sequence cut at a piece's end, and the next piece after it
    std::wstring FOut, FUtf8Text;
    std::string FEncoded, FBack;
    TSha256 FOldHash, FNewHash;
    std::uint64_t FOldSize = 0, FNewSize = 0;
};
