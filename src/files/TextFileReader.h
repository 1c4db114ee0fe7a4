#pragma once
// Byte-order-mark detection, the automatic encoding choice, and whole-file reading.
#include "base/UniqueHandle.h"
#include "files/EncodingMode.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

enum BomKind : std::int32_t {
    bomNone = 0,
    bomUtf32BE = 1,
    bomUtf32LE = 2,
    bomUtf16BE = 3,
    bomUtf16LE = 4,
    bomUtf8 = 5,
};

// The modes as numbers, for the routines below that take and give them as such
// and for the writer: 0 automatic, 1 ANSI, 2 UTF-16 LE, 3 UTF-8.
constexpr std::int32_t emAuto = StoredEncodingMode(TEncodingMode::Auto);
constexpr std::int32_t emAnsi = StoredEncodingMode(TEncodingMode::Ansi);
constexpr std::int32_t emUtf16LE = StoredEncodingMode(TEncodingMode::Utf16LE);
constexpr std::int32_t emUtf8 = StoredEncodingMode(TEncodingMode::Utf8);

bool HasBomUtf32BE(const std::wstring& Path);
bool HasBomUtf32LE(const std::wstring& Path);
bool HasBomUtf16BE(const std::wstring& Path);
bool HasBomUtf16LE(const std::wstring& Path);
bool HasBomUtf8(const std::wstring& Path);
std::int32_t DetectBom(const std::wstring& Path);            // a BomKind value
// Mode itself unless it is automatic; then the file's mark decides, and 0 stands
// for a mark this program does not read (UTF-32, UTF-16 big-endian).
std::int32_t ResolveEncodingMode(std::int32_t Mode, const std::wstring& Path);
std::wstring ReadTextFile(const std::wstring& Path, std::int32_t Encoding); // 1, 2, 3; 0 = none = UTF-8

// A file's size, last write time and attributes, as its open handle tells them.
struct TFileStamp {
    std::uint64_t Size = 0;
    std::uint64_t LastWrite = 0;  // FILETIME as one number
    std::uint32_t Attributes = 0;
    bool operator==(const TFileStamp&) const = default;
};

// How LoadTextFile opens the file.
enum class TLoadAccess {
    // Search: a read that shares the file with anyone (another program writing
    // to it, another thread reading it through a link); the mark is taken from
    // the bytes read.
    Shared,
    // Apply: one exclusive open in every mode, held in Held until the caller lets
    // go, so nobody can change the file between its reading and its replacement.
    // A file that cannot be opened so is InUse and not read.
    Exclusive,
};

// What the workers use: resolves Mode for the file and reads it whole with one
// open. In Shared access, the same results as ResolveEncodingMode followed by
// ReadTextFile, but for a file in use, whose mark still decides.
struct TTextFileContent {
    // The mode the file was read in: ANSI, UTF-16 LE or UTF-8; a mode outside the
    // four stays as it was asked for (and reads nothing), and so does automatic
    // when the file has an unsupported mark.
    TEncodingMode Mode = TEncodingMode::Auto;
    bool UnsupportedMark = false;  // automatic mode met a UTF-32 or UTF-16 big-endian mark; nothing read
    bool Read = false;      // Text holds the decoded content (false: not read, unreadable or invalid)
    bool Invalid = false;   // read, but its bytes are not valid in the mode it was read in
    std::wstring Text;
    std::string Bytes;      // with KeepBytes: the file's bytes after the mark that was skipped
    std::string Mark;       // with KeepBytes: that mark (empty when there was none), so Mark + Bytes is the file
    bool InUse = false;       // Exclusive: another program has the file open; nothing read
    bool Unreadable = false;  // the file could not be opened or read, or is too large to hold in memory
    TFileStamp Stamp;         // as the file was when read (Exclusive only)
    UniqueFile Held;          // Exclusive: the file, still open and shared with nobody
    bool Abandoned = false;   // Admit said no: opened, not read
};
// Admit, when given, is told the file's size once it is open, before it is read,
// and may wait; false leaves the file unread (Abandoned).
TTextFileContent LoadTextFile(const std::wstring& Path, TEncodingMode Mode, bool KeepBytes,
                              TLoadAccess Access = TLoadAccess::Shared,
                              const std::function<bool(std::uint64_t Size)>& Admit = {});

// Takes a file's text in consecutive pieces (see TTextFileReader::Scan).
class TTextPieceSink {
public:
    // The text starts over from its beginning (before the first piece, and when
    // the file turns out to need another decoding).
    virtual void Restart() = 0;
    // Text: the units kept from the last piece (as many as the last call
    // returned; none after Restart), then the new ones. Last: the file ends here.
    // Returns how many units at the end of Text to give again before the next
    // piece's.
    virtual size_t Take(std::wstring_view Text, bool Last) = 0;
    // For a sink that needs the bytes behind the text: after each Restart, the
    // mark the text follows (empty for none); before each Take, the bytes its new
    // units were decoded from. The mark and these bytes, in order, are the file.
    virtual void Mark(std::string_view /*Bytes*/) {}
    virtual void Decoded(std::string_view /*Bytes*/) {}

protected:
    ~TTextPieceSink() = default;
};

// Reads files one after another for a search, keeping its byte and text memory
// from file to file: a file of the usual size needs no new memory, and the text
// is written over what the last file left, never cleared first. Each read gives
// what LoadTextFile(Path, Mode, false) gives. One reader per thread.
class TTextFileReader {
public:
    struct TResult {
        TEncodingMode Mode = TEncodingMode::Auto;  // as TTextFileContent::Mode
        bool UnsupportedMark = false;
        bool Read = false;
        bool Invalid = false;  // read, but its bytes are not valid in Mode
        bool Unreadable = false;
        bool Abandoned = false;  // Admit said no: the file was opened, not read
        std::wstring_view Text;  // valid until the next Read or Trim
        // The file's number on its volume, from the handle it was read through
        // (Numbered false when it could not be opened or told).
        bool Numbered = false;
        std::uint64_t Number = 0;
    };
    // Admit, when given, is told before the reading how much memory the file will
    // hold (its bytes and its text, at most), and may wait; false leaves the file
    // unread.
    using TAdmit = std::function<bool(std::uint64_t Bytes)>;
    TResult Read(const std::wstring& Path, TEncodingMode Mode, const TAdmit& Admit = {});
    // The same file read, decoded and handed to Sink in pieces of PieceSize()
    // bytes, in memory of that size kept from file to file, whatever the file's
    // size: the same result as Read, with Text left empty; the text Sink was given
    // is Read's Text when the result is Read. The decoding carries what a piece
    // ends with into the next (a UTF-8 sequence, a UTF-16 code unit, a double-byte
    // character). Without a mark in automatic mode the text is taken as UTF-8
    // until a byte says otherwise, then read again from the start as ANSI (Sink
    // is told to restart). Admit is told the memory of one piece.
    TResult Scan(const std::wstring& Path, TEncodingMode Mode, TTextPieceSink& Sink, const TAdmit& Admit = {});
    // Scan over a file this caller holds open (see OpenHeldFile), from its start:
    // it may be read again, and its handle stays open.
    TResult ScanHeld(HANDLE File, TEncodingMode Mode, TTextPieceSink& Sink);
    // Whether Scan can read the ANSI code page in pieces (false: Read whole).
    static bool ScansAnsi();
    // Bytes of a piece, and the memory Scan asks Admit for.
    static size_t PieceSize();
    static std::uint64_t PieceMemory();
    // The size of a piece when Scan reads in pieces: of 256 KB to 4 MB, the
    // smallest searched big files as fast as any (the text of a piece stays in the
    // processor's cache), in the least memory.
    static constexpr size_t DefaultPieceSize = 256u << 10;
    // Lets go of the memory if more than Bytes is kept.
    void Trim(std::uint64_t Bytes);

private:
    bool ReadWhole(HANDLE File, const TAdmit& Admit, bool& Abandoned);
    // Scan over File (null: it could not be opened), from its start when asked.
    TResult ScanOpen(HANDLE File, TEncodingMode Mode, TTextPieceSink& Sink, bool FromStart);
    bool ScanPieces(HANDLE File, size_t Piece, TTextPieceSink& Sink, TResult& Result);
    void Reserve(size_t Bytes, size_t Units, size_t KeepUnits);
    TResult NotHeld(TEncodingMode Mode);
    std::unique_ptr<char[]> FBytes;
    size_t FBytesSize = 0, FBytesCapacity = 0;
    std::unique_ptr<wchar_t[]> FText;
    size_t FTextCapacity = 0;
};

// Whether a file read in Mode looks like a binary file rather than text: read in
// ANSI or UTF-8, a NUL byte among the first 64 KB of the file (Mark, then Body).
// UTF-16 text holds NUL bytes of its own and never looks binary, nor does a file
// that starts with a UTF-16 mark, whatever mode reads it.
bool LooksBinary(TEncodingMode Mode, std::string_view Mark, std::string_view Body);

// The stamp of an open file; false when the system cannot tell.
bool FileStampOf(HANDLE File, TFileStamp& Stamp);

// Apply's open (see TLoadAccess::Exclusive): File open for reading and shared for
// deleting only, with its Stamp. False when it is not: InUse when another program
// has it open, otherwise it could not be opened or its stamp not read.
bool OpenHeldFile(const std::wstring& Path, UniqueFile& File, TFileStamp& Stamp, bool& InUse);

// For tests: a file larger than Bytes is treated as one whose content cannot be
// held in memory (0: no limit).
void SetReadSizeLimitForTests(std::uint64_t Bytes);
// For tests and measurements: Scan's piece size from now on (0: the default).
void SetPieceSizeForTests(size_t Bytes);
