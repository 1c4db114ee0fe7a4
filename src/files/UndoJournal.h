#pragma once
// The undo journal: before Apply puts a file's new content in place, it records
// the file's old bytes here and flushes them to the disk; an undo puts them back.
//
// Where: one folder per user, %LOCALAPPDATA%\Quorvane\Undo\ (the environment
// variable QV_UNDO_DIR names another folder, for tests), never a folder of the
// user's files. In it, one folder per Apply run that changed something, named
// by the run's start time in UTC ("20240501-134512-345", "-2" added when two
// runs start in the same millisecond), so the names sort by age. It keeps the
// newest 10 runs and drops the oldest while all of them together hold more
// than 2 GB; the run being written is always kept whole. Folders whose names
// do not look like that are never touched.
//
// A run's folder holds two files:
//   journal.dat  written while the run goes and only appended to:
//     header  "QVUNDO" 01 00, u64 start time (FILETIME), u32 encoding mode,
//             u32 flags (1 recursive, 2 case sensitive), four strings (u32 code
//             units, then UTF-16 LE): folder, filters, text to find, replacement;
//             SHA-256 of everything before it
//     entry   "QVE" 01, u32 encoding written, u32 path code units, u64 old size,
//             u64 new size, SHA-256 of the old bytes, SHA-256 of the new bytes,
//             the path (UTF-16 LE), SHA-256 of the entry up to here; then the
//             file's complete old bytes, its mark included
//   ended.dat   written when the run ends: "QVEND" 01 00 00, u64 entries, u64
//             size of journal.dat, SHA-256 of everything before it
// All numbers are little-endian. An entry is on the disk (FlushFileBuffers)
// before its file is swapped, so a crash can only cut short the entry of a file
// that still holds its old bytes. Entries are written as soon as their files'
// new bytes are known, in the run's order, and one flush serves every entry
// written before it: a swap flushes only when its entry is not on the disk yet.
// An entry whose file is not swapped after all (or is swapped back) is taken
// out again before any later file is swapped, the entries after it moved up; an
// entry left behind by a crash before its swap names a file that still holds
// its old bytes, which an undo counts as restored and does not write. A run
// without a whole ended.dat ended early: a flaw at the end of its journal is
// that cut, and its whole entries count. In a run that ended, every flaw is
// damage.
#include "files/EncodingMode.h"
#include "files/Sha256.h"

#include "base/SlimLock.h"
#include "base/UniqueHandle.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// What a run was asked to do, as --list shows it.
struct TUndoRunHeader {
    std::uint64_t StartTime = 0;  // FILETIME (UTC) as one number
    std::wstring Folder;
    std::wstring Filters;
    std::wstring TextToFind;
    std::wstring ReplaceWith;
    bool Recursive = false;
    bool CaseSensitive = true;
    TEncodingMode Encoding = TEncodingMode::Auto;
};

// The journal's folder, ending with a backslash.
std::wstring UndoJournalRoot();

// For tests: the number of runs kept and the bytes they may hold together
// (0: the program's own 10 and 2 GB); and a journal file that cannot grow beyond
// SpaceBytes, as on a full disk (0: no such limit).
void SetUndoJournalLimitsForTests(int Runs, std::uint64_t Bytes);
void SetUndoJournalSpaceForTests(std::uint64_t SpaceBytes);

// The journal of one Apply run. Nothing is made on the disk until the first
// file is recorded, so a run that changes nothing leaves no trace.
class TUndoJournalWriter {
public:
    explicit TUndoJournalWriter(TUndoRunHeader Header);
    ~TUndoJournalWriter();
    TUndoJournalWriter(const TUndoJournalWriter&) = delete;
    TUndoJournalWriter& operator=(const TUndoJournalWriter&) = delete;

    // One entry, from Add until it is kept or withdrawn (0: none).
    using TEntryId = std::uint64_t;

    // Writes the entry of the file at Path, whose complete old bytes are
    // OldMark + OldBody, about to receive NewBytes written in Encoding; not yet
    // flushed. Called in the run's order. False when it could not be written:
    // the journal is then as it was before the call, and the file must be left
    // as it is.
    bool Add(const std::wstring& Path, TEncodingMode Encoding, std::string_view OldMark, std::string_view OldBody,
             std::string_view NewBytes, TEntryId& Entry);
    // Add for a file held open as OldFile, whose old bytes (mark included) are
    // copied from its start in pieces: OldSize of them, with the SHA-256 OldHash,
    // as they were read before; the new bytes are told by their size and digest.
    // False, as above, also when the file does not hold OldSize bytes.
    bool Add(const std::wstring& Path, TEncodingMode Encoding, HANDLE OldFile, std::uint64_t OldSize,
             const TSha256Digest& OldHash, std::uint64_t NewSize, const TSha256Digest& NewHash, TEntryId& Entry);
    // Right before the entry's file is swapped: true once the entry is on the
    // disk. Flushes only when no flush since its Add has covered it, so one flush
    // serves every entry added before it. False when the flush failed: the entry
    // is taken out (the ones after it stay), and the file must be left as it is.
    bool MakeDurable(TEntryId Entry);
    // The file holds its new bytes: the entry stays for good.
    void Keep(TEntryId Entry);
    // The file holds its old bytes (never swapped, or swapped back): its entry
    // goes, the entries added after it move up, and the cut is flushed. Called
    // before any file after it is swapped (the entries after it belong to files
    // that still hold their old bytes, so a kill in the middle costs nothing).
    // False when the entry stays (an undo then finds its file holding its old
    // bytes, or edited since, and leaves it).
    bool Withdraw(TEntryId Entry);
    // Add, MakeDurable and Keep in one: true once the entry is on the disk.
    bool Record(const std::wstring& Path, TEncodingMode Encoding, std::string_view OldMark, std::string_view OldBody,
                std::string_view NewBytes);
    // The run is over: marks it ended, lets go of the journal, and keeps the
    // journal within its limits. A run that recorded nothing leaves no folder.
    void Finish();

private:
    // Where an entry lies in journal.dat, from its head to the end of its old bytes.
    struct TPlace {
        std::uint64_t Start = 0;
        std::uint64_t End = 0;
    };
    bool Open();
    bool Append(std::string_view Bytes);
    // Appends an entry: Head, then what Body appends (false: it could not).
    template <typename TBody>
    bool AddEntry(std::string_view Head, TBody&& Body, TEntryId& Entry);
    // Appends Size bytes of File from its start.
    bool AppendFrom(HANDLE File, std::uint64_t Size);
    void TruncateBack();
    // Takes the entry out, moving up the entries after it. FSync and FState held.
    bool Remove(TEntryId Entry);
    bool Flush();

    TUndoRunHeader FHeader;
    std::wstring FRunPath;  // the run's folder, ending with a backslash
    UniqueFile FFile;
    // Held by whatever flushes or moves entries (MakeDurable, Withdraw, Finish),
    // so that a flush runs while later files add their entries.
    TSlimLock FSync;
    // Guards everything below and the journal's end.
    TSlimLock FState;
    std::uint64_t FSize = 0;     // bytes of whole records in journal.dat
    std::uint64_t FDurable = 0;  // bytes known to be on the disk
    std::uint64_t FWritten = 0;  // bytes written so far, whole or not
    std::map<TEntryId, TPlace> FOpen;  // entries neither kept nor withdrawn yet
    TEntryId FLastId = 0;
    std::int64_t FEntries = 0;
    bool FFailed = false;  // the journal cannot be made or written: no file may change
    bool FFinished = false;
};

// For tests: how many times journal.dat files have been flushed so far, by
// every run of this process.
std::uint64_t UndoJournalFlushesForTests();

// One run found in the journal.
struct TUndoRun {
    std::wstring Name;  // the folder's name
    std::wstring Path;  // the folder, ending with a backslash
    TUndoRunHeader Header;
    std::int64_t Entries = 0;  // files recorded (for a run that ended, as it says)
    bool Ended = false;        // false: cut short by a crash or a kill
    bool InUse = false;        // an Apply is writing it right now
    bool Damaged = false;      // its header cannot be read: nothing of it, nor of older runs, may be undone
};

// The runs with something to undo, newest first.
std::vector<TUndoRun> ListUndoRuns();
// The newest of them; false when there is nothing to undo.
bool NewestUndoRun(TUndoRun& Run);
// Whether there is anything to undo: stops at the first run with an entry.
bool UndoJournalHasRun();
// Takes a run out of the journal; false while another program holds it.
bool RemoveUndoRun(const std::wstring& RunPath);

// One undo at a time, across programs: a lock file in the journal's folder,
// held open and shared with nobody while an undo runs.
class TUndoLock {
public:
    // False when another undo holds it.
    bool Acquire();

private:
    UniqueFile FFile;
};

// One file's entry.
struct TUndoEntry {
    std::wstring Path;
    TEncodingMode Encoding = TEncodingMode::Auto;
    std::uint64_t OldSize = 0;
    std::uint64_t NewSize = 0;
    TSha256Digest OldHash{};
    TSha256Digest NewHash{};
    bool Cut = false;  // its old bytes end before their size: nothing can be restored from it
};

// Reads a run's entries in the order they were made.
class TUndoJournalReader {
public:
    // InUse: an Apply is writing it (it can be read, not undone). Gone: no
    // journal, or a run cut short before its header was whole (nothing to
    // undo). Damaged: a run that ended, whose header cannot be read.
    enum class TOpen { Opened, InUse, Gone, Damaged };
    TOpen Open(const std::wstring& RunPath);
    const TUndoRunHeader& Header() const { return FHeader; }
    bool Ended() const { return FEnded; }
    // Files recorded: as ended.dat says, or counted through the journal.
    std::int64_t EntryCount() const { return FEntryCount; }
    // The next entry; false at the end, or where the rest cannot be read.
    bool Next(TUndoEntry& Entry);
    // The old bytes of the entry Next gave last; false when they do not match
    // their SHA-256 or are cut short.
    bool ReadOldBytes(std::string& Bytes);
    // After Next has returned false: entries that a run that ended promises but
    // that could not be read at all.
    std::int64_t Unreadable() const;
    void Close();

private:
    static constexpr std::uint64_t NoPosition = ~std::uint64_t{0};
    bool ReadExactly(void* Data, size_t Size);
    bool Seek(std::uint64_t Position);
    bool ReadHeader();
    bool NextEntryHead(TUndoEntry& Entry);
    // The entry at At, or past a flaw there; false when none was handed out.
    bool TakeEntryAt(std::uint64_t At, TUndoEntry& Entry);
    // Where the next entry magic lies from From on, or NoPosition.
    std::uint64_t FindEntryMagic(std::uint64_t From);
    // Where the next entry whose head is whole and sound lies from From on.
    std::uint64_t FindWholeHead(std::uint64_t From);
    // Whether the bytes from At to the end are the start of a head cut short.
    bool IsCutHead(std::uint64_t At);
    // The path of the flawed entry at At, as far as it can be read (or empty).
    std::wstring PathAsRead(std::uint64_t At);

    UniqueFile FFile;
    TUndoRunHeader FHeader;
    std::uint64_t FFileSize = 0;
    std::uint64_t FPosition = 0;
    std::uint64_t FFirstEntry = 0;
    std::uint64_t FOldBytesAt = 0;  // where the old bytes of the last entry begin
    std::uint64_t FNextAt = 0;      // where the next entry should begin
    std::int64_t FUnnamed = 0;      // flawed entries whose path could not be read
    TUndoEntry FLast;
    bool FHaveLast = false;
    bool FEnded = false;
    std::int64_t FEntryCount = 0;
    std::int64_t FGiven = 0;
    bool FStopped = false;  // Next met the end or a flaw
};
