#include "workers/WorkThreadUndo.h"

#include "base/TextMatching.h"
#include "base/UniqueHandle.h"
#include "files/LongPath.h"
#include "files/SafeFileWriter.h"
#include "files/TemporaryFileRecord.h"
#include "files/TextFileReader.h"
#include "files/UndoJournal.h"

#include <windows.h>

#include <algorithm>
#include <new>

namespace {

constexpr DWORD HashChunk = 1 << 20;

// The SHA-256 of an open file read from where it stands to its end.
bool HashFile(HANDLE File, TSha256Digest& Digest) {
    std::string Buffer(HashChunk, '\0');
    TSha256 Hash;
    for (;;) {
        DWORD Got = 0;
        if (!ReadFile(File, Buffer.data(), HashChunk, &Got, nullptr)) return false;
        if (Got == 0) break;
        Hash.Update(std::string_view(Buffer.data(), Got));
    }
    Digest = Hash.Finish();
    return true;
}

// Puts one entry's old bytes back where the file still holds the new ones.
TUndoFileOutcome RestoreEntry(TUndoJournalReader& Reader, const TUndoEntry& Entry) {
    using enum TUndoFileOutcome;
    if (Entry.Cut) return DamagedEntry;
    const std::wstring Target = ExtendedPath(Entry.Path);
    const DWORD Attributes = GetFileAttributesW(Target.c_str());
    if (Attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD Error = GetLastError();
        return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND ? Missing : Unreadable;
    }
    if (Attributes & FILE_ATTRIBUTE_DIRECTORY) return NotAFile;
    // Held shared with nobody from the check to the swap, as Apply holds it.
    // Deleting is shared, as the system's replacing of a file still open asks.
    UniqueFile File(CreateFileW(Target.c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!File) {
        const DWORD Error = GetLastError();
        if (Error == ERROR_SHARING_VIOLATION || Error == ERROR_LOCK_VIOLATION) return InUse;
        return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND ? Missing : Unreadable;
    }
    TFileStamp Stamp;
    if (!FileStampOf(File.Get(), Stamp)) return Unreadable;
    if (Stamp.Size != Entry.OldSize && Stamp.Size != Entry.NewSize) return EditedSince;
    TSha256Digest Digest;
    if (!HashFile(File.Get(), Digest)) return Unreadable;
    // An entry made just before a crash: the swap never came.
    if (Stamp.Size == Entry.OldSize && Digest == Entry.OldHash) return AlreadyRestored;
    if (Stamp.Size != Entry.NewSize || Digest != Entry.NewHash) return EditedSince;
    if (Stamp.Attributes & FILE_ATTRIBUTE_READONLY) return ReadOnly;

    std::string Old;
    if (!Reader.ReadOldBytes(Old)) return DamagedEntry;
    bool Meanwhile = false;
    // A program that writes to the file in the moment it is let go for the swap
    // (where the system does not replace an open file) undoes the swap.
    const THeldWrite Written = ReplaceHeldFile(Entry.Path, Old, File, Stamp, [&] {
                                   TFileStamp Now;
                                   Meanwhile = !FileStampOf(File.Get(), Now) || Now != Stamp;
                                   return !Meanwhile;
                               }).Outcome;
    if (Written == THeldWrite::ChangedDuringWrite) return ChangedMeanwhile;
    return Written == THeldWrite::Written ? Restored : Meanwhile ? ChangedMeanwhile : WriteFailed;
}

}  // namespace

bool IsRestored(TUndoFileOutcome Outcome) {
    return Outcome == TUndoFileOutcome::Restored || Outcome == TUndoFileOutcome::AlreadyRestored;
}

bool MayRetry(TUndoFileOutcome Outcome) {
    using enum TUndoFileOutcome;
    switch (Outcome) {
    case InUse:
    case ReadOnly:
    case Unreadable:
    case ChangedMeanwhile:
    case WriteFailed: return true;
    case Restored:
    case AlreadyRestored:
    case EditedSince:
    case Missing:
    case NotAFile:
    case DamagedEntry: return false;
    }
    return false;
}

TWorkThreadUndo::TWorkThreadUndo(std::wstring RunPath) : FRunPath(std::move(RunPath)) {}

TWorkThreadUndo::~TWorkThreadUndo() {
    TerminateAndWait();
}

void TWorkThreadUndo::Execute() {
    RunThenReport([this] { Run(); }, [this] { SyncReturnValues(); });
}

void TWorkThreadUndo::Run() {
    TUndoLock Lock;
    if (!Lock.Acquire()) {
        FEnd = TUndoEnd::Busy;
        return;
    }
    // What killed runs left goes first; this undo's own temporary files are
    // recorded until it ends.
    TTemporaryFileRecord TemporaryFileRecord;
    TUndoJournalReader Reader;
    if (Reader.Open(FRunPath) != TUndoJournalReader::TOpen::Opened) return;
    bool Retry = false;
    FEnd = TUndoEnd::Stopped;  // until every entry has been through
    const std::int64_t Count = Reader.EntryCount();
    TUndoEntry Entry;
    for (std::int64_t i = 0; Reader.Next(Entry); ++i) {
        const auto Progress =
            static_cast<std::int32_t>(std::clamp<std::int64_t>(ProgressPercent(i, Count - 1, 100), 0, 100));
        Synchronize([&] {
            if (OnUndoProgress) OnUndoProgress(Progress);
        });
        TUndoFileOutcome Outcome;
        try {
            Outcome = RestoreEntry(Reader, Entry);
        } catch (const std::bad_alloc&) {
            // Its old bytes do not fit in memory.
            Outcome = TUndoFileOutcome::Unreadable;
        }
        Retry = Retry || MayRetry(Outcome);
        if (IsRestored(Outcome))
            ++FRestoredCount;
        else if (Outcome == TUndoFileOutcome::DamagedEntry)
            ++FDamagedCount;
        else
            ++FUntouchedCount;
        Synchronize([&] {
            if (OnUndoFile) OnUndoFile(Entry.Path, Outcome);
        });
        // A stopped undo leaves the run in the journal: the next undo takes it
        // again, and finds the files done so far holding their old bytes.
        if (Terminated()) return;
    }
    FDamagedCount += static_cast<std::int32_t>(Reader.Unreadable());
    Reader.Close();
    if (Retry) {
        // Files left for a passing reason: the run stays, and the next undo
        // tries again (the files back by now count as already restored).
        FEnd = TUndoEnd::Retry;
        return;
    }
    RemoveUndoRun(FRunPath);
    FEnd = TUndoEnd::Finished;
}

void TWorkThreadUndo::SyncReturnValues() {
    Synchronize([this] {
        if (OnUndoReturnValues) OnUndoReturnValues(FRestoredCount, FUntouchedCount, FDamagedCount, FEnd);
    });
}
