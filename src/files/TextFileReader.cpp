#include "files/TextFileReader.h"

#include "base/UniqueHandle.h"
#include "files/FileIdentity.h"
#include "files/LongPath.h"
#include "files/TextDecoding.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <exception>
#include <optional>
#include <string_view>

namespace {

constexpr unsigned char MarkUtf32BE[] = {0x00, 0x00, 0xFE, 0xFF};
constexpr unsigned char MarkUtf32LE[] = {0xFF, 0xFE, 0x00, 0x00};
constexpr unsigned char MarkUtf16BE[] = {0xFE, 0xFF};
constexpr unsigned char MarkUtf16LE[] = {0xFF, 0xFE};
constexpr unsigned char MarkUtf8[] = {0xEF, 0xBB, 0xBF};

template <size_t N>
bool StartsWith(std::string_view Bytes, const unsigned char (&Mark)[N]) {
    return Bytes.size() >= N && std::memcmp(Bytes.data(), Mark, N) == 0;
}

// The probes in their fixed order, applied to the first bytes of a file.
std::int32_t BomOfBytes(std::string_view Head) {
    if (StartsWith(Head, MarkUtf32BE)) return bomUtf32BE;
    if (StartsWith(Head, MarkUtf32LE)) return bomUtf32LE;
    if (StartsWith(Head, MarkUtf8)) return bomUtf8;
    if (StartsWith(Head, MarkUtf16BE)) return bomUtf16BE;
    if (StartsWith(Head, MarkUtf16LE)) return bomUtf16LE;
    return bomNone;
}

// The mode automatic reading takes for a file with this mark; none for a mark
// this program does not read (UTF-32 either order, UTF-16 BE). A file without a
// mark is ANSI here; UnmarkedMode looks closer.
std::optional<TEncodingMode> ModeOfBom(std::int32_t Kind) {
    switch (Kind) {
    case bomNone: return TEncodingMode::Ansi;
    case bomUtf16LE: return TEncodingMode::Utf16LE;
    case bomUtf8: return TEncodingMode::Utf8;
    default: return std::nullopt;
    }
}

// A file without a mark: bytes that are valid UTF-8 and hold a multi-byte
// sequence were written as UTF-8 (most editors leave the mark out today; in an
// ANSI code page such a run of bytes is rare); anything else, pure ASCII
// included, is the ANSI code page's.
TEncodingMode UnmarkedMode(std::string_view Bytes) {
    return IsMultiByteUtf8(Bytes) ? TEncodingMode::Utf8 : TEncodingMode::Ansi;
}

// The mode automatic reading takes for a whole file; none for an unsupported mark.
std::optional<TEncodingMode> AutoModeOfBytes(std::string_view Bytes) {
    const std::int32_t Kind = BomOfBytes(Bytes.substr(0, 4));
    if (Kind == bomNone) return UnmarkedMode(Bytes);
    return ModeOfBom(Kind);
}

UniqueFile OpenForReading(const std::wstring& Path, DWORD Share) {
    return UniqueFile(CreateFileW(ExtendedPath(Path).c_str(), GENERIC_READ, Share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

std::atomic<std::uint64_t> ReadSizeLimit{0};
std::atomic<size_t> PieceSizeForTests{0};

using TAdmitSize = std::function<bool(std::uint64_t Size)>;

// The whole open file, into memory that Room(Total, Keep) gives: room for Total
// bytes that keeps the first Keep bytes read so far. One byte more than the size
// is asked for, so a file that is exactly its reported size needs no extra read
// to see its end, and one that grew meanwhile is still read to its end. Admit,
// when given, is told the size first and may refuse (Abandoned). Read tells how
// many bytes were read, also when a read fails (false).
template <typename TRoom>
bool ReadWholeInto(HANDLE File, TRoom&& Room, size_t& Read, const TAdmitSize& Admit, bool& Abandoned) {
    Read = 0;
    LARGE_INTEGER Size;
    if (!GetFileSizeEx(File, &Size) || Size.QuadPart < 0) return false;
    const auto Bytes = static_cast<std::uint64_t>(Size.QuadPart);
    if (const std::uint64_t Limit = ReadSizeLimit.load(); Limit != 0 && Bytes > Limit) throw std::bad_alloc();
    if (Admit && !Admit(Bytes)) {
        Abandoned = true;
        return false;
    }
    size_t Want = static_cast<size_t>(Bytes) + 1;
    for (;;) {
        char* Data = Room(Read + Want, Read);
        size_t Done = 0;
        while (Done < Want) {
            const DWORD Chunk = static_cast<DWORD>(std::min<size_t>(Want - Done, 1u << 30));
            DWORD Got = 0;
            if (!ReadFile(File, Data + Read + Done, Chunk, &Got, nullptr)) {
                Read += Done;
                return false;
            }
            Done += Got;
            if (Got < Chunk) break;  // end of file
        }
        Read += Done;
        if (Done < Want) return true;
        Want = std::max<size_t>(Read, 65536);
    }
}

// The whole file into Bytes; on failure Bytes keeps what was read.
bool ReadWhole(HANDLE File, std::string& Bytes, const TAdmitSize& Admit, bool& Abandoned) {
    size_t Read = 0;
    const bool Whole = ReadWholeInto(
        File,
        [&Bytes](size_t Total, size_t) {
            Bytes.resize(Total);
            return Bytes.data();
        },
        Read, Admit, Abandoned);
    Bytes.resize(Read);
    return Whole;
}

// A search's open. A search only reads, so it shares the file with anyone, a
// program writing to it included, and the other threads of its own run, which
// may read the same file through another path (a link) at the same moment. The
// mark is taken from the bytes read.
UniqueFile OpenToSearch(const std::wstring& Path) {
    return OpenForReading(Path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
}

bool AnsiHasUtf8Mark() {
    static const bool Result = GetACP() == CP_UTF8;
    return Result;
}

// Length of the encoding's own mark at the start of Bytes (0 when absent).
size_t OwnMarkLength(TEncodingMode Mode, std::string_view Bytes) {
    switch (Mode) {
    case TEncodingMode::Ansi: return AnsiHasUtf8Mark() && StartsWith(Bytes, MarkUtf8) ? 3 : 0;
    case TEncodingMode::Utf16LE: return StartsWith(Bytes, MarkUtf16LE) ? 2 : 0;
    default: return StartsWith(Bytes, MarkUtf8) ? 3 : 0;
    }
}

bool Decode(TEncodingMode Mode, std::string_view Bytes, std::wstring& Text) {
    switch (Mode) {
    case TEncodingMode::Ansi: return DecodeAnsi(Bytes, Text);
    case TEncodingMode::Utf16LE: DecodeUtf16LE(Bytes, Text); return true;
    default: return DecodeUtf8Strict(Bytes, Text);
    }
}

// Decodes Bytes (a whole file) in the concrete Mode into Content.
void DecodeContent(TEncodingMode Mode, std::string& Bytes, bool KeepBytes, TTextFileContent& Content) {
    size_t Skip = OwnMarkLength(Mode, Bytes);
    std::string_view Body(Bytes.data() + Skip, Bytes.size() - Skip);
    Content.Read = Decode(Mode, Body, Content.Text);
    if (!Content.Read) {
        Content.Invalid = true;
        Content.Text.clear();
        return;
    }
    if (KeepBytes) {
        Content.Mark.assign(Bytes, 0, Skip);
        Bytes.erase(0, Skip);
        Content.Bytes = std::move(Bytes);
    }
}

// Code units of text room for a piece: one per byte, and the units a sink keeps
// (for a text to find of the usual length).
size_t PieceUnits(size_t Piece) { return Piece + Piece / 8 + 64; }

// How much of a piece that more bytes follow decodes now (see TextDecoding).
size_t CompletePrefix(TEncodingMode Mode, std::string_view Bytes) {
    switch (Mode) {
    case TEncodingMode::Ansi: return AnsiCompletePrefix(Bytes);
    case TEncodingMode::Utf16LE: return Bytes.size() & ~size_t{1};
    default: return Utf8CompletePrefix(Bytes);
    }
}

// Decodes Bytes in the concrete Mode into Out (room for Bytes.size() units).
bool DecodeInto(TEncodingMode Mode, std::string_view Bytes, wchar_t* Out, size_t& Length) {
    switch (Mode) {
    case TEncodingMode::Ansi: return DecodeAnsiInto(Bytes, Out, Length);
    case TEncodingMode::Utf16LE:
        Length = Bytes.size() / 2;
        if (Length) std::memcpy(Out, Bytes.data(), Length * 2);
        return true;
    default: return DecodeUtf8StrictInto(Bytes, Out, Length);
    }
}

bool ProbeMark(const std::wstring& Path, const unsigned char* Mark, DWORD Length) {
    UniqueFile File = OpenForReading(Path, 0);
    if (!File) return false;
    unsigned char Head[4];
    DWORD Got = 0;
    if (!ReadFile(File.Get(), Head, Length, &Got, nullptr)) return false;
    return Got == Length && std::memcmp(Head, Mark, Length) == 0;
}

}  // namespace

bool HasBomUtf32BE(const std::wstring& Path) { return ProbeMark(Path, MarkUtf32BE, 4); }
bool HasBomUtf32LE(const std::wstring& Path) { return ProbeMark(Path, MarkUtf32LE, 4); }
bool HasBomUtf16BE(const std::wstring& Path) { return ProbeMark(Path, MarkUtf16BE, 2); }
bool HasBomUtf16LE(const std::wstring& Path) { return ProbeMark(Path, MarkUtf16LE, 2); }
bool HasBomUtf8(const std::wstring& Path) { return ProbeMark(Path, MarkUtf8, 3); }

// One exclusive open and one read of the first four bytes answer every probe:
// each probe only compares a prefix of those bytes.
std::int32_t DetectBom(const std::wstring& Path) {
    UniqueFile File = OpenForReading(Path, 0);
    if (!File) return bomNone;
    char Head[4];
    DWORD Got = 0;
    if (!ReadFile(File.Get(), Head, sizeof(Head), &Got, nullptr)) return bomNone;
    return BomOfBytes(std::string_view(Head, Got));
}

std::int32_t ResolveEncodingMode(std::int32_t Mode, const std::wstring& Path) {
    if (Mode != emAuto) return Mode;
    const std::int32_t Kind = DetectBom(Path);
    if (Kind == bomNone) {
        // Without a mark the bytes decide, read with the probes' exclusive open: a
        // file that cannot be opened so stays ANSI, as for the probes.
        try {
            UniqueFile File = OpenForReading(Path, 0);
            std::string Bytes;
            bool Abandoned = false;
            if (!File || !ReadWhole(File.Get(), Bytes, {}, Abandoned)) return emAnsi;
            return StoredEncodingMode(UnmarkedMode(Bytes));
        } catch (const std::exception&) {
            return emAnsi;
        }
    }
    const std::optional<TEncodingMode> Found = ModeOfBom(Kind);
    return Found ? StoredEncodingMode(*Found) : emAuto;
}

std::wstring ReadTextFile(const std::wstring& Path, std::int32_t Encoding) {
    // Anything but ANSI and UTF-16 LE, "none" included, reads as UTF-8.
    TEncodingMode Mode = EncodingModeFromStored(Encoding);
    if (Mode != TEncodingMode::Ansi && Mode != TEncodingMode::Utf16LE) Mode = TEncodingMode::Utf8;
    try {
        TTextFileContent Content;
        UniqueFile File = OpenForReading(Path, FILE_SHARE_READ);
        if (!File) return {};
        std::string Bytes;
        bool Abandoned = false;
        if (!ReadWhole(File.Get(), Bytes, {}, Abandoned)) return {};
        File.Reset();
        DecodeContent(Mode, Bytes, false, Content);
        return std::move(Content.Text);
    } catch (const std::exception&) {
        // A file too large to hold is a file that cannot be read.
        return {};
    }
}

void SetReadSizeLimitForTests(std::uint64_t Bytes) { ReadSizeLimit.store(Bytes); }
void SetPieceSizeForTests(size_t Bytes) { PieceSizeForTests.store(Bytes); }

bool LooksBinary(TEncodingMode Mode, std::string_view Mark, std::string_view Body) {
    if (Mode != TEncodingMode::Ansi && Mode != TEncodingMode::Utf8) return false;
    // A UTF-16 mark says the NUL bytes are text, whatever mode reads the file.
    if (Mark.empty() && (Body.starts_with("\xFF\xFE") || Body.starts_with("\xFE\xFF"))) return false;
    constexpr size_t Head = 64 * 1024;
    return Body.substr(0, Head > Mark.size() ? Head - Mark.size() : 0).find('\0') != std::string_view::npos;
}

bool FileStampOf(HANDLE File, TFileStamp& Stamp) {
    // Time and attributes in one call, the size in another: GetFileInformationByHandle
    // would also ask for the volume's serial number, which costs far more under Wine.
    FILE_BASIC_INFO Basic;
    LARGE_INTEGER Size;
    if (!GetFileInformationByHandleEx(File, FileBasicInfo, &Basic, sizeof(Basic)) || !GetFileSizeEx(File, &Size))
        return false;
    Stamp.Size = static_cast<std::uint64_t>(Size.QuadPart);
    Stamp.LastWrite = static_cast<std::uint64_t>(Basic.LastWriteTime.QuadPart);
    Stamp.Attributes = Basic.FileAttributes;
    return true;
}

bool OpenHeldFile(const std::wstring& Path, UniqueFile& File, TFileStamp& Stamp, bool& InUse) {
    // Deleting is shared, as the system's replacing of a file that is still open
    // asks; writing and reading are not.
    InUse = false;
    File = OpenForReading(Path, FILE_SHARE_DELETE);
    if (!File) {
        const DWORD Error = GetLastError();
        // Whoever else has the file open keeps it: it is not ours to replace now.
        InUse = Error == ERROR_SHARING_VIOLATION || Error == ERROR_LOCK_VIOLATION;
        return false;
    }
    if (FileStampOf(File.Get(), Stamp)) return true;
    File.Reset();
    return false;
}

TTextFileContent LoadTextFile(const std::wstring& Path, TEncodingMode Mode, bool KeepBytes, TLoadAccess Access,
                              const std::function<bool(std::uint64_t Size)>& Admit) {
    TTextFileContent Content;
    Content.Mode = Mode;
    if (!IsKnownEncodingMode(Mode)) return Content;
    try {
        std::string Bytes;
        UniqueFile File;
        if (Access == TLoadAccess::Exclusive) {
            if (!OpenHeldFile(Path, File, Content.Stamp, Content.InUse)) {
                Content.Unreadable = !Content.InUse;
                return Content;
            }
        } else {
            File = OpenToSearch(Path);
        }
        if (!File || !ReadWhole(File.Get(), Bytes, Admit, Content.Abandoned)) {
            if (Content.Abandoned) return Content;
            // No mark could be seen: automatic mode names ANSI, as the probe does.
            if (Mode == TEncodingMode::Auto) Content.Mode = TEncodingMode::Ansi;
            Content.Unreadable = true;
            return Content;
        }
        if (Mode == TEncodingMode::Auto) {
            const std::optional<TEncodingMode> Found = AutoModeOfBytes(Bytes);
            if (!Found) {
                Content.UnsupportedMark = true;
                return Content;
            }
            Content.Mode = *Found;
        }
        DecodeContent(Content.Mode, Bytes, KeepBytes, Content);
        if (Access == TLoadAccess::Exclusive) Content.Held = std::move(File);
    } catch (const std::exception&) {
        // Content too large to hold: the file is accounted for as unreadable.
        Content = TTextFileContent{};
        Content.Mode = Mode;
        Content.Unreadable = true;
    }
    return Content;
}

bool TTextFileReader::ReadWhole(HANDLE File, const TAdmit& Admit, bool& Abandoned) {
    // Its bytes and at most two bytes of text for each.
    const TAdmitSize AdmitHeld = [&Admit](std::uint64_t Size) { return !Admit || Admit(3 * Size); };
    return ReadWholeInto(
        File,
        [this](size_t Total, size_t Keep) {
            if (Total > FBytesCapacity) {
                auto Grown = std::make_unique_for_overwrite<char[]>(Total);
                if (Keep) std::memcpy(Grown.get(), FBytes.get(), Keep);
                FBytes = std::move(Grown);
                FBytesCapacity = Total;
            }
            return FBytes.get();
        },
        FBytesSize, AdmitHeld, Abandoned);
}

TTextFileReader::TResult TTextFileReader::Read(const std::wstring& Path, TEncodingMode Mode, const TAdmit& Admit) {
    TResult Result;
    Result.Mode = Mode;
    if (!IsKnownEncodingMode(Mode)) return Result;
    try {
        UniqueFile File = OpenToSearch(Path);
        if (File) Result.Numbered = FileNumberOf(File.Get(), Result.Number);
        if (!File || !ReadWhole(File.Get(), Admit, Result.Abandoned)) {
            if (Result.Abandoned) return Result;
            if (Mode == TEncodingMode::Auto) Result.Mode = TEncodingMode::Ansi;
            Result.Unreadable = true;
            return Result;
        }
        File.Reset();
        const std::string_view Bytes(FBytes.get(), FBytesSize);
        const std::int32_t Kind = BomOfBytes(Bytes.substr(0, 4));
        bool Unmarked = false;
        if (Mode == TEncodingMode::Auto) {
            const std::optional<TEncodingMode> Found = ModeOfBom(Kind);
            if (!Found) {
                Result.UnsupportedMark = true;
                return Result;
            }
            Result.Mode = *Found;
            Unmarked = Kind == bomNone;
        }
        const std::string_view Body = Bytes.substr(OwnMarkLength(Result.Mode, Bytes));
        // No decoding gives more code units than it takes bytes.
        if (Body.size() > FTextCapacity) {
            FText = std::make_unique_for_overwrite<wchar_t[]>(Body.size());
            FTextCapacity = Body.size();
        }
        size_t Length = 0;
        // Without a mark, the UTF-8 decoding itself tells whether the file is UTF-8
        // (as UnmarkedMode decides): valid, and shorter as text than as bytes, so
        // it held a multi-byte sequence. Pure ASCII goes on to ANSI unread.
        if (Unmarked && std::any_of(Body.begin(), Body.end(), [](char C) { return C & 0x80; }) &&
            DecodeUtf8StrictInto(Body, FText.get(), Length)) {
            Result.Mode = TEncodingMode::Utf8;
            Result.Read = true;
            Result.Text = std::wstring_view(FText.get(), Length);
            return Result;
        }
        Result.Read = DecodeInto(Result.Mode, Body, FText.get(), Length);
        if (Result.Read)
            Result.Text = std::wstring_view(FText.get(), Length);
        else
            Result.Invalid = true;
    } catch (const std::exception&) {
        Result = NotHeld(Mode);
    }
    return Result;
}

TTextFileReader::TResult TTextFileReader::NotHeld(TEncodingMode Mode) {
    // Content too large to hold: the file is accounted for as unreadable.
    TResult Result;
    Result.Mode = Mode;
    Result.Unreadable = true;
    Trim(0);
    return Result;
}

void TTextFileReader::Trim(std::uint64_t Bytes) {
    if (FBytesCapacity + FTextCapacity * sizeof(wchar_t) <= Bytes) return;
    FBytes.reset();
    FText.reset();
    FBytesSize = FBytesCapacity = FTextCapacity = 0;
}

size_t TTextFileReader::PieceSize() {
    const size_t Forced = PieceSizeForTests.load();
    return Forced ? Forced : DefaultPieceSize;
}

// A piece's bytes (and the three a sequence may carry over) and its text room.
std::uint64_t TTextFileReader::PieceMemory() {
    const size_t Piece = PieceSize();
    return Piece + 8 + sizeof(wchar_t) * std::uint64_t{PieceUnits(Piece)};
}

bool TTextFileReader::ScansAnsi() { return AnsiDecodesInPieces(); }

void TTextFileReader::Reserve(size_t Bytes, size_t Units, size_t KeepUnits) {
    if (Bytes > FBytesCapacity) {
        FBytes = std::make_unique_for_overwrite<char[]>(Bytes);
        FBytesCapacity = Bytes;
    }
    if (Units > FTextCapacity) {
        auto Grown = std::make_unique_for_overwrite<wchar_t[]>(Units);
        if (KeepUnits) std::memcpy(Grown.get(), FText.get(), KeepUnits * sizeof(wchar_t));
        FText = std::move(Grown);
        FTextCapacity = Units;
    }
}

TTextFileReader::TResult TTextFileReader::Scan(const std::wstring& Path, TEncodingMode Mode, TTextPieceSink& Sink,
                                               const TAdmit& Admit) {
    TResult Result;
    Result.Mode = Mode;
    if (!IsKnownEncodingMode(Mode)) return Result;
    UniqueFile File;
    try {
        File = OpenToSearch(Path);
        if (File) Result.Numbered = FileNumberOf(File.Get(), Result.Number);
        if (File && Admit && !Admit(PieceMemory())) {
            Result.Abandoned = true;
            return Result;
        }
    } catch (const std::exception&) {
        return NotHeld(Mode);
    }
    TResult Scanned = ScanOpen(File.Get(), Mode, Sink, false);
    Scanned.Numbered = Result.Numbered;
    Scanned.Number = Result.Number;
    return Scanned;
}

TTextFileReader::TResult TTextFileReader::ScanHeld(HANDLE File, TEncodingMode Mode, TTextPieceSink& Sink) {
    return ScanOpen(File, Mode, Sink, true);
}

TTextFileReader::TResult TTextFileReader::ScanOpen(HANDLE File, TEncodingMode Mode, TTextPieceSink& Sink,
                                                   bool FromStart) {
    TResult Result;
    Result.Mode = Mode;
    if (!IsKnownEncodingMode(Mode)) return Result;
    try {
        LARGE_INTEGER Zero{};
        if (!File || (FromStart && !SetFilePointerEx(File, Zero, nullptr, FILE_BEGIN)) ||
            !ScanPieces(File, PieceSize(), Sink, Result)) {
            // As Read: a file that fails to read is unreadable, whatever was seen of it.
            Result = TResult{};
            Result.Mode = Mode == TEncodingMode::Auto ? TEncodingMode::Ansi : Mode;
            Result.Unreadable = true;
        }
    } catch (const std::exception&) {
        Result = NotHeld(Mode);
    }
    return Result;
}

bool TTextFileReader::ScanPieces(HANDLE File, size_t Piece, TTextPieceSink& Sink, TResult& Result) {
    // Room for a piece after the bytes the last one could not decode yet (three
    // at most) or the first bytes read for the mark.
    Reserve(Piece + 8, PieceUnits(Piece), 0);
    char* const Bytes = FBytes.get();
    size_t Have = 0;
    bool End = false;
    // The next piece after the bytes held; End once the file ends. The file is
    // read to its end, as far as it reaches while read.
    auto Fill = [&] {
        size_t Done = 0;
        while (Done < Piece) {
            const DWORD Chunk = static_cast<DWORD>(std::min<size_t>(Piece - Done, 1u << 30));
            DWORD Got = 0;
            if (!ReadFile(File, Bytes + Have + Done, Chunk, &Got, nullptr)) return false;
            Done += Got;
            if (Got < Chunk) {
                End = true;
                break;
            }
        }
        Have += Done;
        return true;
    };
    // The mark is in the first four bytes.
    do {
        if (!Fill()) return false;
    } while (!End && Have < 4);
    bool Unmarked = false;
    if (Result.Mode == TEncodingMode::Auto) {
        const std::optional<TEncodingMode> Found = ModeOfBom(BomOfBytes(std::string_view(Bytes, std::min<size_t>(Have, 4))));
        if (!Found) {
            Result.UnsupportedMark = true;
            return true;
        }
        Result.Mode = *Found;
        Unmarked = Result.Mode == TEncodingMode::Ansi;
    }
    size_t Start = OwnMarkLength(Result.Mode, std::string_view(Bytes, Have));
    // Without a mark the file is UTF-8 when all of it is valid UTF-8 holding a
    // multi-byte sequence (as UnmarkedMode decides): it is decoded as UTF-8 until
    // a byte says otherwise.
    TEncodingMode Decoding = Unmarked ? TEncodingMode::Utf8 : Result.Mode;
    bool MultiByte = false;
    bool FromStart = true;  // the bytes held start at the file's start
    size_t Kept = 0;        // units the sink keeps at the front of the text
    Sink.Restart();
    Sink.Mark(std::string_view(Bytes, Start));
    for (;;) {
        const std::string_view Held(Bytes + Start, Have - Start);
        const size_t Use = End ? Held.size() : CompletePrefix(Decoding, Held);
        // Room to spare when a sink keeps more than usual (a long text to find).
        if (Kept + Use > FTextCapacity) Reserve(0, PieceUnits(Kept + Use), Kept);
        size_t Length = 0;
        const bool Valid = DecodeInto(Decoding, Held.substr(0, Use), FText.get() + Kept, Length);
        MultiByte = MultiByte || (Valid && Length < Use);
        const bool Guessed = Unmarked && Decoding == TEncodingMode::Utf8;
        // Pure ASCII is ANSI; the same text unless the code page says otherwise.
        if (Guessed && (!Valid || (End && !MultiByte && !AnsiKeepsAscii()))) {
            Decoding = TEncodingMode::Ansi;
            Kept = 0;
            Sink.Restart();
            Sink.Mark({});
            if (!FromStart) {
                LARGE_INTEGER Zero{};
                if (!SetFilePointerEx(File, Zero, nullptr, FILE_BEGIN)) return false;
                Have = 0;
                End = false;
                FromStart = true;
                if (!Fill()) return false;
            }
            Start = 0;
            continue;
        }
        if (!Valid) {
            Result.Invalid = true;
            return true;
        }
        const size_t Total = Kept + Length;
        Sink.Decoded(Held.substr(0, Use));
        Kept = Sink.Take(std::wstring_view(FText.get(), Total), End);
        if (End) break;
        if (Kept) std::memmove(FText.get(), FText.get() + Total - Kept, Kept * sizeof(wchar_t));
        const size_t Left = Held.size() - Use;
        if (Left) std::memmove(Bytes, Bytes + Start + Use, Left);
        Have = Left;
        Start = 0;
        FromStart = false;
        if (!Fill()) return false;
    }
    if (Unmarked) Result.Mode = Decoding == TEncodingMode::Utf8 && MultiByte ? TEncodingMode::Utf8 : TEncodingMode::Ansi;
    Result.Read = true;
    return true;
}
