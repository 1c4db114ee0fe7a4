#include "files/UndoJournal.h"

#include "files/FileCollection.h"
#include "files/LongPath.h"
#include "files/TextFileReader.h"
#include "files/UndoJournalFormat.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>

using namespace UndoJournalFormat;

namespace {

constexpr int DefaultRunsKept = 10;
constexpr std::uint64_t DefaultBytesKept = std::uint64_t{2} << 30;
std::atomic<int> RunsKeptForTests{0};
std::atomic<std::uint64_t> BytesKeptForTests{0};
std::atomic<std::uint64_t> SpaceForTests{0};
std::atomic<std::uint64_t> FlushCount{0};

// ---- The journal's folder and its runs ----

int RunsKept() {
    const int Runs = RunsKeptForTests.load();
    return Runs > 0 ? Runs : DefaultRunsKept;
}

std::uint64_t BytesKept() {
    const std::uint64_t Bytes = BytesKeptForTests.load();
    return Bytes > 0 ? Bytes : DefaultBytesKept;
}

bool IsFolder(const std::wstring& Path) {
    const DWORD Attributes = GetFileAttributesW(ExtendedPath(Path).c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates Folder and the folders above it that are missing.
bool MakeFolders(const std::wstring& Folder) {
    std::wstring Path = ExtendedPath(Folder);
    while (!Path.empty() && Path.back() == L'\\') Path.pop_back();
    if (IsFolder(Path)) return true;
    const size_t Slash = Path.rfind(L'\\');
    // "\\?\C:" and "\\?\UNC\server\share" are no folders to create.
    if (Slash == std::wstring::npos || Slash < 4) return false;
    if (!MakeFolders(Path.substr(0, Slash))) return false;
    return CreateDirectoryW(Path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool AllDigits(std::wstring_view Text) {
    return !Text.empty() && std::all_of(Text.begin(), Text.end(), [](wchar_t C) { return C >= L'0' && C <= L'9'; });
}

// "YYYYMMDD-HHMMSS-mmm", perhaps followed by "-N".
bool IsRunName(std::wstring_view Name) {
    if (Name.size() < 19 || Name[8] != L'-' || Name[15] != L'-') return false;
    if (!AllDigits(Name.substr(0, 8)) || !AllDigits(Name.substr(9, 6)) || !AllDigits(Name.substr(16, 3))) return false;
    return Name.size() == 19 || (Name[19] == L'-' && Name.size() <= 28 && AllDigits(Name.substr(20)));
}

std::wstring RunName(std::uint64_t StartTime) {
    FILETIME Time{static_cast<DWORD>(StartTime), static_cast<DWORD>(StartTime >> 32)};
    SYSTEMTIME Utc{};
    FileTimeToSystemTime(&Time, &Utc);
    wchar_t Name[32];
    swprintf(Name, 32, L"%04u%02u%02u-%02u%02u%02u-%03u", Utc.wYear, Utc.wMonth, Utc.wDay, Utc.wHour, Utc.wMinute,
             Utc.wSecond, Utc.wMilliseconds);
    return Name;
}

// The run folders in Root, newest first.
std::vector<std::wstring> RunNames(const std::wstring& Root) {
    std::vector<std::wstring> Names;
    WIN32_FIND_DATAW Found;
    UniqueFind Find(FindFirstFileExW(ExtendedPath(Root + L"*").c_str(), FindExInfoBasic, &Found,
                                     FindExSearchNameMatch, nullptr, 0));
    if (!Find) return Names;
    do {
        if ((Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsRunName(Found.cFileName))
            Names.emplace_back(Found.cFileName);
    } while (FindNextFileW(Find.Get(), &Found));
    // The time part first, then the number a second run of the same millisecond got.
    auto Number = [](const std::wstring& Name) { return Name.size() > 19 ? std::stoi(Name.substr(20)) : 1; };
    std::sort(Names.begin(), Names.end(), [&](const std::wstring& A, const std::wstring& B) {
        const int Time = A.compare(0, 19, B, 0, 19);
        return Time != 0 ? Time > 0 : Number(A) > Number(B);
    });
    return Names;
}

std::uint64_t FolderBytes(const std::wstring& Folder) {
    std::uint64_t Bytes = 0;
    WIN32_FIND_DATAW Found;
    UniqueFind Find(FindFirstFileExW(ExtendedPath(Folder + L"*").c_str(), FindExInfoBasic, &Found,
                                     FindExSearchNameMatch, nullptr, 0));
    if (!Find) return 0;
    do {
        if (!(Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            Bytes += (std::uint64_t{Found.nFileSizeHigh} << 32) | Found.nFileSizeLow;
    } while (FindNextFileW(Find.Get(), &Found));
    return Bytes;
}

// Keeps the newest runs, Current among them whatever its age and size: first
// by number, then the oldest go while the rest hold more than the limit. A run
// another program still writes cannot be removed and stays.
void KeepWithinLimits(const std::wstring& Root, const std::wstring& Current) {
    struct TKept {
        std::wstring Name;
        std::uint64_t Bytes;
    };
    std::vector<TKept> Kept;
    for (const std::wstring& Name : RunNames(Root)) {
        if (Name != Current && static_cast<int>(Kept.size()) >= RunsKept() && RemoveUndoRun(Root + Name + L"\\"))
            continue;
        Kept.push_back({Name, FolderBytes(Root + Name + L"\\")});
    }
    std::uint64_t Total = 0;
    for (const TKept& Run : Kept) Total += Run.Bytes;
    for (auto Run = Kept.rbegin(); Run != Kept.rend() && Total > BytesKept(); ++Run) {
        if (Run->Name != Current && RemoveUndoRun(Root + Run->Name + L"\\")) Total -= Run->Bytes;
    }
}

bool WriteAll(HANDLE File, std::string_view Bytes) {
    for (size_t Done = 0; Done < Bytes.size();) {
        const auto Size = static_cast<DWORD>(std::min(WriteChunk, Bytes.size() - Done));
        DWORD Written = 0;
        if (!WriteFile(File, Bytes.data() + Done, Size, &Written, nullptr) || Written == 0) return false;
        Done += Written;
    }
    return true;
}

}  // namespace

std::wstring UndoJournalRoot() {
    std::wstring Moved(32768, L'\0');
    const DWORD Length = GetEnvironmentVariableW(L"QV_UNDO_DIR", Moved.data(), static_cast<DWORD>(Moved.size()));
    if (Length > 0 && Length < Moved.size()) {
        Moved.resize(Length);
        return WithTrailingBackslash(FullPath(Moved));
    }
    PWSTR Local = nullptr;
    std::wstring Root;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &Local)) && Local)
        Root = WithTrailingBackslash(Local) + L"Quorvane\\Undo\\";
    CoTaskMemFree(Local);
    return Root;
}

void SetUndoJournalLimitsForTests(int Runs, std::uint64_t Bytes) {
    RunsKeptForTests.store(Runs);
    BytesKeptForTests.store(Bytes);
}

void SetUndoJournalSpaceForTests(std::uint64_t SpaceBytes) { SpaceForTests.store(SpaceBytes); }

std::uint64_t UndoJournalFlushesForTests() { return FlushCount.load(); }

// ---- Writing ----

TUndoJournalWriter::TUndoJournalWriter(TUndoRunHeader Header) : FHeader(std::move(Header)) {}

TUndoJournalWriter::~TUndoJournalWriter() {
    try {
        Finish();
    } catch (...) {
        // Finishing only tidies up: the entries are on the disk already.
    }
}

bool TUndoJournalWriter::Open() {
    const std::wstring Root = UndoJournalRoot();
    if (Root.empty() || !MakeFolders(Root)) return false;
    const std::wstring Base = RunName(FHeader.StartTime);
    std::wstring Name;
    for (int Number = 1;; ++Number) {
        if (Number > 1000) return false;
        Name = Number == 1 ? Base : Base + L"-" + std::to_wstring(Number);
        if (CreateDirectoryW(ExtendedPath(Root + Name).c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    FRunPath = Root + Name + L"\\";
    // Readers may look in while it is written; nobody may write or remove it.
    FFile.Reset(CreateFileW(ExtendedPath(FRunPath + JournalName).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string Header(HeaderMagic, sizeof(HeaderMagic));
    PutU64(Header, FHeader.StartTime);
    PutU32(Header, static_cast<std::uint32_t>(StoredEncodingMode(FHeader.Encoding)));
    PutU32(Header, (FHeader.Recursive ? FlagRecursive : 0) | (FHeader.CaseSensitive ? FlagCaseSensitive : 0));
    for (const std::wstring* Text : {&FHeader.Folder, &FHeader.Filters, &FHeader.TextToFind, &FHeader.ReplaceWith})
        PutString(Header, *Text);
    PutDigest(Header, Sha256(Header));
    // The header reaches the disk with the first entry's flush.
    if (!FFile || !Append(Header)) {
        FFile.Reset();
        RemoveUndoRun(FRunPath);
        return false;
    }
    FSize = FWritten;
    KeepWithinLimits(Root, Name);
    return true;
}

bool TUndoJournalWriter::Append(std::string_view Bytes) {
    const std::uint64_t Space = SpaceForTests.load();
    if (Space != 0 && FWritten + Bytes.size() > Space) {
        // As a full disk does: what fits is written, then the write fails.
        const size_t Fits = FWritten < Space ? static_cast<size_t>(Space - FWritten) : 0;
        if (WriteAll(FFile.Get(), Bytes.substr(0, Fits))) FWritten += Fits;
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    if (!WriteAll(FFile.Get(), Bytes)) return false;
    FWritten += Bytes.size();
    return true;
}

void TUndoJournalWriter::TruncateBack() {
    LARGE_INTEGER Position;
    Position.QuadPart = static_cast<LONGLONG>(FSize);
    if (SetFilePointerEx(FFile.Get(), Position, nullptr, FILE_BEGIN) && SetEndOfFile(FFile.Get())) {
        FWritten = FSize;
        return;
    }
    // Where the next entry would begin is not known any more.
    FFailed = true;
}

namespace {

// An entry's head (see the top of UndoJournal.h).
std::string EntryHead(const std::wstring& Path, TEncodingMode Encoding, std::uint64_t OldSize,
                      const TSha256Digest& OldHash, std::uint64_t NewSize, const TSha256Digest& NewHash) {
    const std::wstring Full = FullPath(Path);
    std::string Head(EntryMagic, sizeof(EntryMagic));
    PutU32(Head, static_cast<std::uint32_t>(StoredEncodingMode(Encoding)));
    PutU32(Head, static_cast<std::uint32_t>(Full.size()));
    PutU64(Head, OldSize);
    PutU64(Head, NewSize);
    PutDigest(Head, OldHash);
    PutDigest(Head, NewHash);
    PutUnits(Head, Full);
    PutDigest(Head, Sha256(Head));
    return Head;
}

}  // namespace

bool TUndoJournalWriter::Add(const std::wstring& Path, TEncodingMode Encoding, std::string_view OldMark,
                             std::string_view OldBody, std::string_view NewBytes, TEntryId& Entry) {
    // The digests are worked out before the journal is held: other files' entries
    // and flushes go on meanwhile.
    TSha256 OldHash;
    OldHash.Update(OldMark);
    OldHash.Update(OldBody);
    const std::string Head = EntryHead(Path, Encoding, OldMark.size() + OldBody.size(), OldHash.Finish(),
                                       NewBytes.size(), Sha256(NewBytes));
    return AddEntry(Head, [&] { return Append(OldMark) && Append(OldBody); }, Entry);
}

bool TUndoJournalWriter::Add(const std::wstring& Path, TEncodingMode Encoding, HANDLE OldFile, std::uint64_t OldSize,
                             const TSha256Digest& OldHash, std::uint64_t NewSize, const TSha256Digest& NewHash,
                             TEntryId& Entry) {
    const std::string Head = EntryHead(Path, Encoding, OldSize, OldHash, NewSize, NewHash);
    return AddEntry(Head, [&] { return AppendFrom(OldFile, OldSize); }, Entry);
}

bool TUndoJournalWriter::AppendFrom(HANDLE File, std::uint64_t Size) {
    LARGE_INTEGER Zero{};
    if (!SetFilePointerEx(File, Zero, nullptr, FILE_BEGIN)) return false;
    // A piece at a time, of the size the file was read in.
    std::string Piece(static_cast<size_t>(std::min<std::uint64_t>(Size, TTextFileReader::PieceSize())), '\0');
    for (std::uint64_t Done = 0; Done < Size;) {
        const auto Want = static_cast<DWORD>(std::min<std::uint64_t>(Size - Done, Piece.size()));
        DWORD Got = 0;
        if (!ReadFile(File, Piece.data(), Want, &Got, nullptr) || Got == 0 ||
            !Append(std::string_view(Piece.data(), Got)))
            return false;
        Done += Got;
    }
    // The file ends where it ended when it was read.
    char After = 0;
    DWORD Got = 0;
    return ReadFile(File, &After, 1, &Got, nullptr) && Got == 0;
}

template <typename TBody>
bool TUndoJournalWriter::AddEntry(std::string_view Head, TBody&& Body, TEntryId& Entry) {
    Entry = 0;
    TExclusiveHold State(FState);
    if (FFailed || FFinished) return false;
    if (!FFile && !Open()) {
        FFailed = true;
        return false;
    }
    const std::uint64_t Start = FSize;
    if (!Append(Head) || !Body()) {
        TruncateBack();
        return false;
    }
    FSize = FWritten;
    ++FEntries;
    Entry = ++FLastId;
    FOpen[Entry] = {Start, FSize};
    return true;
}

bool TUndoJournalWriter::Flush() {
    FlushCount.fetch_add(1);
    return FlushFileBuffers(FFile.Get()) != FALSE;
}

bool TUndoJournalWriter::MakeDurable(TEntryId Entry) {
    TExclusiveHold Sync(FSync);
    TExclusiveHold State(FState);
    const auto Place = FOpen.find(Entry);
    if (FFailed || FFinished || Place == FOpen.end()) return false;
    if (FDurable >= Place->second.End) return true;
    // Everything written up to now is covered, the entries of later files included;
    // those written during the flush wait for the next one.
    const std::uint64_t Covered = FSize;
    State.Release();
    const bool Flushed = Flush();
    State.Acquire(FState);
    if (Flushed) {
        FDurable = std::max(FDurable, Covered);
        return true;
    }
    // What reached the disk is not known: the entry goes, and its file stays as it is.
    Remove(Entry);
    return false;
}

void TUndoJournalWriter::Keep(TEntryId Entry) {
    TExclusiveHold State(FState);
    FOpen.erase(Entry);
}

bool TUndoJournalWriter::Remove(TEntryId Entry) {
    const auto Found = FOpen.find(Entry);
    if (Found == FOpen.end() || FFailed || !FFile) return false;
    const TPlace Place = Found->second;
    // The entries after it, read back whole before the cut: their files are not
    // swapped yet, so a kill between the cut and their rewriting loses nothing
    // that an undo needs.
    std::string After(static_cast<size_t>(FSize - Place.End), '\0');
    LARGE_INTEGER Position;
    Position.QuadPart = static_cast<LONGLONG>(Place.End);
    for (size_t Done = 0; Done < After.size();) {
        const auto Chunk = static_cast<DWORD>(std::min(WriteChunk, After.size() - Done));
        DWORD Got = 0;
        if ((Done == 0 && !SetFilePointerEx(FFile.Get(), Position, nullptr, FILE_BEGIN)) ||
            !ReadFile(FFile.Get(), After.data() + Done, Chunk, &Got, nullptr) || Got == 0) {
            // The file pointer goes back to the end, for the next entry.
            TruncateBack();
            return false;
        }
        Done += Got;
    }
    const std::uint64_t Kept = FSize;
    FSize = Place.Start;
    TruncateBack();
    if (FFailed) {
        FSize = Kept;
        return false;
    }
    FOpen.erase(Found);
    --FEntries;
    FDurable = std::min(FDurable, Place.Start);
    const std::uint64_t Length = Place.End - Place.Start;
    if (!Append(After)) {
        // The entries after it are gone: their files must stay as they are.
        TruncateBack();
        for (auto Later = FOpen.upper_bound(Entry); Later != FOpen.end();) {
            Later = FOpen.erase(Later);
            --FEntries;
        }
        return true;
    }
    FSize = FWritten;
    for (auto Later = FOpen.upper_bound(Entry); Later != FOpen.end(); ++Later) {
        Later->second.Start -= Length;
        Later->second.End -= Length;
    }
    return true;
}

bool TUndoJournalWriter::Withdraw(TEntryId Entry) {
    TExclusiveHold Sync(FSync);
    TExclusiveHold State(FState);
    if (FFinished || !Remove(Entry)) return false;
    // Should the cut not reach the disk, the entry left names a file that does
    // not hold its new bytes: an undo leaves that file alone.
    if (Flush()) FDurable = FSize;
    return true;
}

bool TUndoJournalWriter::Record(const std::wstring& Path, TEncodingMode Encoding, std::string_view OldMark,
                                std::string_view OldBody, std::string_view NewBytes) {
    TEntryId Entry = 0;
    if (!Add(Path, Encoding, OldMark, OldBody, NewBytes, Entry) || !MakeDurable(Entry)) return false;
    Keep(Entry);
    return true;
}

void TUndoJournalWriter::Finish() {
    TExclusiveHold Sync(FSync);
    TExclusiveHold State(FState);
    if (FFinished) return;
    FFinished = true;
    if (!FFile) return;
    // The end mark promises every entry: none may be missing after a power cut.
    if (FEntries > 0 && FDurable < FSize && Flush()) FDurable = FSize;
    if (FEntries == 0) {
        FFile.Reset();
        RemoveUndoRun(FRunPath);
        return;
    }
    std::string Ended(EndedMagic, sizeof(EndedMagic));
    PutU64(Ended, static_cast<std::uint64_t>(FEntries));
    PutU64(Ended, FSize);
    PutDigest(Ended, Sha256(Ended));
    // Without the mark the run reads as one that ended early, whose whole
    // entries all count: a failure here loses nothing.
    UniqueFile File(CreateFileW(ExtendedPath(FRunPath + EndedName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (File && WriteAll(File.Get(), Ended)) FlushFileBuffers(File.Get());
    File.Reset();
    FFile.Reset();
    const std::wstring Root = FRunPath.substr(0, FRunPath.rfind(L'\\', FRunPath.size() - 2) + 1);
    KeepWithinLimits(Root, FRunPath.substr(Root.size(), FRunPath.size() - Root.size() - 1));
}

// ---- The runs ----

bool RemoveUndoRun(const std::wstring& RunPath) {
    // The journal goes first: without it the folder is no run any more. An
    // Apply or an undo that holds it keeps it.
    if (!DeleteFileW(ExtendedPath(RunPath + JournalName).c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    WIN32_FIND_DATAW Found;
    UniqueFind Find(FindFirstFileExW(ExtendedPath(RunPath + L"*").c_str(), FindExInfoBasic, &Found,
                                     FindExSearchNameMatch, nullptr, 0));
    if (Find) {
        do {
            if (!(Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW(ExtendedPath(RunPath + Found.cFileName).c_str());
        } while (FindNextFileW(Find.Get(), &Found));
        Find.Reset();
    }
    RemoveDirectoryW(ExtendedPath(RunPath).c_str());
    return true;
}

namespace {

// A run as the list shows it; false for a folder with nothing to undo.
bool LookAt(const std::wstring& Root, const std::wstring& Name, TUndoRun& Run) {
    Run = TUndoRun{};
    Run.Name = Name;
    Run.Path = Root + Name + L"\\";
    TUndoJournalReader Reader;
    switch (Reader.Open(Run.Path)) {
    case TUndoJournalReader::TOpen::Gone: return false;
    case TUndoJournalReader::TOpen::Damaged:
        Run.Damaged = Run.Ended = true;
        return true;
    case TUndoJournalReader::TOpen::InUse: Run.InUse = true; break;
    case TUndoJournalReader::TOpen::Opened: break;
    }
    Run.Header = Reader.Header();
    Run.Entries = Reader.EntryCount();
    Run.Ended = Reader.Ended();
    return Run.Entries > 0 || Run.InUse;
}

}  // namespace

std::vector<TUndoRun> ListUndoRuns() {
    std::vector<TUndoRun> Runs;
    const std::wstring Root = UndoJournalRoot();
    if (Root.empty()) return Runs;
    for (const std::wstring& Name : RunNames(Root)) {
        TUndoRun Run;
        if (LookAt(Root, Name, Run)) Runs.push_back(std::move(Run));
    }
    return Runs;
}

bool NewestUndoRun(TUndoRun& Run) {
    const std::wstring Root = UndoJournalRoot();
    if (Root.empty()) return false;
    for (const std::wstring& Name : RunNames(Root)) {
        // A run whose header is damaged is still the newest: an undo must stop
        // there, as the run before it is not the one the user means.
        if (LookAt(Root, Name, Run)) return true;
    }
    return false;
}

bool TUndoLock::Acquire() {
    const std::wstring Root = UndoJournalRoot();
    if (Root.empty() || !MakeFolders(Root)) return true;
    // Shared with nobody: the system lets go of it however the holder ends.
    FFile.Reset(CreateFileW(ExtendedPath(Root + L"undo.lock").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (FFile) return true;
    // Any other failure leaves the journal as unguarded as it was before the lock.
    return GetLastError() != ERROR_SHARING_VIOLATION;
}

bool UndoJournalHasRun() {
    TUndoRun Run;
    return NewestUndoRun(Run);
}
