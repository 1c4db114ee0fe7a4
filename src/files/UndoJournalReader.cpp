// Reading a run's journal back: its header, its entries and their checks, the cut
// end of a run that stopped early.
#include "files/UndoJournal.h"

#include "files/LongPath.h"
#include "files/UndoJournalFormat.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

using namespace UndoJournalFormat;

bool TUndoJournalReader::ReadExactly(void* Data, size_t Size) {
    auto* Bytes = static_cast<char*>(Data);
    for (size_t Done = 0; Done < Size;) {
        const auto Chunk = static_cast<DWORD>(std::min(WriteChunk, Size - Done));
        DWORD Got = 0;
        if (!ReadFile(FFile.Get(), Bytes + Done, Chunk, &Got, nullptr) || Got == 0) return false;
        Done += Got;
    }
    FPosition += Size;
    return true;
}

bool TUndoJournalReader::Seek(std::uint64_t Position) {
    LARGE_INTEGER To;
    To.QuadPart = static_cast<LONGLONG>(Position);
    if (!SetFilePointerEx(FFile.Get(), To, nullptr, FILE_BEGIN)) return false;
    FPosition = Position;
    return true;
}

TUndoJournalReader::TOpen TUndoJournalReader::Open(const std::wstring& RunPath) {
    *this = TUndoJournalReader();
    FStopped = true;  // until the header has been read
    bool InUse = false;
    FFile = OpenJournal(RunPath, FILE_SHARE_READ);
    if (!FFile && GetLastError() == ERROR_SHARING_VIOLATION) {
        // An Apply is writing it: it can be looked at, not undone.
        InUse = true;
        FFile = OpenJournal(RunPath, FILE_SHARE_READ | FILE_SHARE_WRITE);
    }
    if (!FFile) return TOpen::Gone;
    std::int64_t PromisedEntries = 0;
    std::uint64_t PromisedSize = 0;
    FEnded = !InUse && ReadEnded(RunPath, PromisedEntries, PromisedSize);

    LARGE_INTEGER Size;
    if (!GetFileSizeEx(FFile.Get(), &Size)) return FEnded ? TOpen::Damaged : TOpen::Gone;
    FFileSize = static_cast<std::uint64_t>(Size.QuadPart);
    // A run that ended wrote no more than it says; what may lie beyond is a
    // write that failed and was not taken back.
    if (FEnded) FFileSize = std::min(FFileSize, PromisedSize);

    if (!ReadHeader()) {
        // A header is written whole before the first entry: a run cut short in
        // it holds no entry and changed nothing. Any other flaw is damage, and
        // an undo must stop at it rather than take an older run for this one.
        if (FEnded || FindEntryMagic(0) != NoPosition) return TOpen::Damaged;
        return TOpen::Gone;
    }
    FFirstEntry = FPosition;
    FNextAt = FFirstEntry;
    FStopped = false;

    if (FEnded) {
        FEntryCount = PromisedEntries;
    } else {
        // Counted through the entries, as far as they go.
        TUndoEntry Entry;
        while (Next(Entry)) ++FEntryCount;
        FEntryCount += FUnnamed;
        FGiven = FUnnamed = 0;
        FStopped = false;
        FHaveLast = false;
        FNextAt = FFirstEntry;
    }
    return InUse ? TOpen::InUse : TOpen::Opened;
}

bool TUndoJournalReader::ReadHeader() {
    char Fixed[sizeof(HeaderMagic) + 16];
    if (!ReadExactly(Fixed, sizeof(Fixed)) || std::memcmp(Fixed, HeaderMagic, sizeof(HeaderMagic)) != 0) return false;
    std::string Covered(Fixed, sizeof(Fixed));
    std::wstring* Texts[] = {&FHeader.Folder, &FHeader.Filters, &FHeader.TextToFind, &FHeader.ReplaceWith};
    for (std::wstring* Text : Texts) {
        char Length[4];
        if (!ReadExactly(Length, 4)) return false;
        const std::uint32_t Units = GetU32(Length);
        if (FPosition > FFileSize || Units > (FFileSize - FPosition) / 2) return false;
        std::string Bytes(size_t{Units} * 2, '\0');
        if (!ReadExactly(Bytes.data(), Bytes.size())) return false;
        *Text = GetUnits(Bytes.data(), Units);
        Covered.append(Length, 4);
        Covered += Bytes;
    }
    char Digest[DigestSize];
    if (!ReadExactly(Digest, DigestSize) || !DigestMatches(Covered, Digest)) return false;
    FHeader.StartTime = GetU64(Fixed + 8);
    FHeader.Encoding = EncodingModeFromStored(static_cast<std::int32_t>(GetU32(Fixed + 16)));
    const std::uint32_t Flags = GetU32(Fixed + 20);
    FHeader.Recursive = Flags & FlagRecursive;
    FHeader.CaseSensitive = Flags & FlagCaseSensitive;
    return true;
}

std::uint64_t TUndoJournalReader::FindEntryMagic(std::uint64_t From) {
    constexpr size_t Chunk = size_t{1} << 20;
    std::string Buffer;
    for (std::uint64_t At = From; At < FFileSize;) {
        const auto Size = static_cast<size_t>(std::min<std::uint64_t>(Chunk, FFileSize - At));
        Buffer.resize(Size);
        if (!Seek(At) || !ReadExactly(Buffer.data(), Size)) return NoPosition;
        const size_t Found = Buffer.find(std::string_view(EntryMagic, sizeof(EntryMagic)));
        if (Found != std::string::npos) return At + Found;
        if (At + Size >= FFileSize) break;
        // The magic may straddle two chunks.
        At += Size - (sizeof(EntryMagic) - 1);
    }
    return NoPosition;
}

std::uint64_t TUndoJournalReader::FindWholeHead(std::uint64_t From) {
    for (std::uint64_t At = FindEntryMagic(From); At != NoPosition; At = FindEntryMagic(At + 1)) {
        TUndoEntry Probe;
        if (Seek(At) && NextEntryHead(Probe)) return At;
    }
    return NoPosition;
}

bool TUndoJournalReader::IsCutHead(std::uint64_t At) {
    // The first entry that the bytes from At could still become, had the
    // writing gone on: its magic so far, and a path that does not fit yet.
    const std::uint64_t Tail = FFileSize - At;
    char Fixed[EntryFixedSize];
    const auto Have = static_cast<size_t>(std::min<std::uint64_t>(Tail, EntryFixedSize));
    if (!Seek(At) || !ReadExactly(Fixed, Have)) return false;
    if (std::memcmp(Fixed, EntryMagic, std::min(Have, sizeof(EntryMagic))) != 0) return false;
    if (Have < EntryFixedSize) return true;
    const std::uint32_t Units = GetU32(Fixed + 8);
    return Units != 0 && Units <= MaxPathUnits && Tail < EntryFixedSize + size_t{Units} * 2 + DigestSize;
}

std::wstring TUndoJournalReader::PathAsRead(std::uint64_t At) {
    char Fixed[EntryFixedSize];
    if (FFileSize - At < EntryFixedSize || !Seek(At) || !ReadExactly(Fixed, EntryFixedSize)) return {};
    const std::uint32_t Units = GetU32(Fixed + 8);
    if (Units == 0 || Units > MaxPathUnits || FFileSize - FPosition < size_t{Units} * 2) return {};
    std::string Bytes(size_t{Units} * 2, '\0');
    if (!ReadExactly(Bytes.data(), Bytes.size())) return {};
    std::wstring Path = GetUnits(Bytes.data(), Units);
    // Only what still looks like a full path is shown as the entry's name.
    const bool Full = Path.size() >= 3 && ((Path[1] == L':' && Path[2] == L'\\') || Path.starts_with(L"\\\\"));
    if (!Full || std::any_of(Path.begin(), Path.end(), [](wchar_t C) { return C < L' '; })) return {};
    return Path;
}

bool TUndoJournalReader::NextEntryHead(TUndoEntry& Entry) {
    if (FFileSize - FPosition < EntryFixedSize) return false;
    char Fixed[EntryFixedSize];
    if (!ReadExactly(Fixed, sizeof(Fixed)) || std::memcmp(Fixed, EntryMagic, sizeof(EntryMagic)) != 0) return false;
    const std::uint32_t Units = GetU32(Fixed + 8);
    if (Units == 0 || Units > MaxPathUnits || FFileSize - FPosition < size_t{Units} * 2 + DigestSize) return false;
    std::string Rest(size_t{Units} * 2 + DigestSize, '\0');
    if (!ReadExactly(Rest.data(), Rest.size())) return false;
    std::string Covered(Fixed, sizeof(Fixed));
    Covered.append(Rest, 0, size_t{Units} * 2);
    if (!DigestMatches(Covered, Rest.data() + size_t{Units} * 2)) return false;
    Entry = TUndoEntry{};
    Entry.Encoding = EncodingModeFromStored(static_cast<std::int32_t>(GetU32(Fixed + 4)));
    Entry.OldSize = GetU64(Fixed + 12);
    Entry.NewSize = GetU64(Fixed + 20);
    Entry.OldHash = GetDigest(Fixed + 28);
    Entry.NewHash = GetDigest(Fixed + 28 + DigestSize);
    Entry.Path = GetUnits(Rest.data(), Units);
    FOldBytesAt = FPosition;
    return true;
}

bool TUndoJournalReader::Next(TUndoEntry& Entry) {
    FHaveLast = false;
    while (!FStopped && FFile) {
        if (TakeEntryAt(FNextAt, Entry)) return true;
    }
    return false;
}

bool TUndoJournalReader::TakeEntryAt(std::uint64_t At, TUndoEntry& Entry) {
    if (At >= FFileSize) {
        FStopped = true;
        return false;
    }
    if (Seek(At) && NextEntryHead(Entry)) {
        if (Entry.OldSize > FFileSize - FOldBytesAt) {
            // Its old bytes end early. In a run that ended that is damage, named
            // by the entry; in one cut short it is the entry the cut fell into,
            // whose file never changed.
            FStopped = true;
            if (!FEnded) return false;
            Entry.Cut = true;
        } else {
            FNextAt = FOldBytesAt + Entry.OldSize;
        }
        FLast = Entry;
        FHaveLast = true;
        ++FGiven;
        return true;
    }
    // No whole entry where one should begin. Each entry is found by its magic
    // and its own SHA-256, so the next whole one is looked for past the flaw:
    // the flaw costs the entries it hides and no more.
    const std::uint64_t Resume = FindWholeHead(At + 1);
    if (Resume == NoPosition && !FEnded && IsCutHead(At)) {
        // The end of a run cut short while an entry was being written.
        FStopped = true;
        return false;
    }
    if (Resume == NoPosition)
        FStopped = true;
    else
        FNextAt = Resume;
    Entry = TUndoEntry{};
    Entry.Path = PathAsRead(At);
    Entry.Cut = true;
    if (Entry.Path.empty()) {
        // Damage without a name: counted, never handed out.
        ++FUnnamed;
        return false;
    }
    FLast = Entry;
    FHaveLast = true;
    ++FGiven;
    return true;
}

bool TUndoJournalReader::ReadOldBytes(std::string& Bytes) {
    Bytes.clear();
    if (!FHaveLast || FLast.Cut || !Seek(FOldBytesAt)) return false;
    Bytes.resize(static_cast<size_t>(FLast.OldSize));
    if (!ReadExactly(Bytes.data(), Bytes.size())) return false;
    return Sha256(Bytes) == FLast.OldHash;
}

std::int64_t TUndoJournalReader::Unreadable() const {
    return FEnded ? std::max<std::int64_t>(FUnnamed, FEntryCount - FGiven) : FUnnamed;
}

void TUndoJournalReader::Close() { FFile.Reset(); }
