#include "files/UndoJournal.h"

#include "files/FileCollection.h"
#include "files/LongPath.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

constexpr int DefaultRunsKept = 10;
constexpr std::uint64_t DefaultBytesKept = std::uint64_t{2} << 30;
std::atomic<int> RunsKeptForTests{0};
std::atomic<std::uint64_t> BytesKeptForTests{0};
std::atomic<std::uint64_t> SpaceForTests{0};

constexpr wchar_t JournalName[] = L"journal.dat";
constexpr wchar_t EndedName[] = L"ended.dat";
constexpr char HeaderMagic[8] = {'Q', 'V', 'U', 'N', 'D', 'O', 1, 0};
constexpr char EntryMagic[4] = {'Q', 'V', 'E', 1};
constexpr char EndedMagic[8] = {'Q', 'V', 'E', 'N', 'D', 1, 0, 0};
constexpr size_t DigestSize = 32;
// Magic, encoding, path length, old size, new size, the two digests.
constexpr size_t EntryFixedSize = 4 + 4 + 4 + 8 + 8 + DigestSize + DigestSize;
constexpr size_t EndedSize = 8 + 8 + 8 + DigestSize;
constexpr std::uint32_t FlagRecursive = 1, FlagCaseSensitive = 2;
// A path longer than the longest the system takes is no path: the entry is damaged.
constexpr std::uint32_t MaxPathUnits = 32768;
// Bytes handed to the system per call.
constexpr size_t WriteChunk = size_t{16} << 20;

// ---- Little-endian fields ----

void PutU32(std::string& Out, std::uint32_t Value) {
    for (int i = 0; i < 4; ++i) Out.push_back(static_cast<char>(Value >> (8 * i)));
}

void PutU64(std::string& Out, std::uint64_t Value) {
    for (int i = 0; i < 8; ++i) Out.push_back(static_cast<char>(Value >> (8 * i)));
}

void PutDigest(std::string& Out, const TSha256Digest& Digest) {
    Out.append(reinterpret_cast<const char*>(Digest.data()), Digest.size());
}

void PutUnits(std::string& Out, std::wstring_view Text) {
    for (wchar_t Unit : Text) {
        Out.push_back(static_cast<char>(static_cast<std::uint16_t>(Unit) & 0xFF));
        Out.push_back(static_cast<char>(static_cast<std::uint16_t>(Unit) >> 8));
    }
}

void PutString(std::string& Out, std::wstring_view Text) {
    PutU32(Out, static_cast<std::uint32_t>(Text.size()));
    PutUnits(Out, Text);
}

std::uint32_t GetU32(const char* Data) {
    std::uint32_t Value = 0;
    for (int i = 3; i >= 0; --i) Value = (Value << 8) | static_cast<std::uint8_t>(Data[i]);
    return Value;
}

std::uint64_t GetU64(const char* Data) {
    std::uint64_t Value = 0;
    for (int i = 7; i >= 0; --i) Value = (Value << 8) | static_cast<std::uint8_t>(Data[i]);
    return Value;
}

TSha256Digest GetDigest(const char* Data) {
    TSha256Digest Digest;
    std::memcpy(Digest.data(), Data, Digest.size());
    return Digest;
}

std::wstring GetUnits(const char* Data, size_t Units) {
    std::wstring Text(Units, L'\0');
    for (size_t i = 0; i < Units; ++i)
        Text[i] = static_cast<wchar_t>(static_cast<std::uint8_t>(Data[2 * i]) |
                                       (static_cast<std::uint16_t>(static_cast<std::uint8_t>(Data[2 * i + 1])) << 8));
    return Text;
}

bool DigestMatches(std::string_view Covered, const char* Stored) {
    const TSha256Digest Digest = Sha256(Covered);
    return std::memcmp(Digest.data(), Stored, Digest.size()) == 0;
}

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

UniqueFile OpenJournal(const std::wstring& RunPath, DWORD Share) {
    return UniqueFile(CreateFileW(ExtendedPath(RunPath + JournalName).c_str(), GENERIC_READ, Share, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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

// The end mark: entries and journal size, or false when there is no whole one.
bool ReadEnded(const std::wstring& RunPath, std::int64_t& Entries, std::uint64_t& Size) {
    UniqueFile File(CreateFileW(ExtendedPath(RunPath + EndedName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File) return false;
    char Data[EndedSize + 1];
    DWORD Got = 0;
    if (!ReadFile(File.Get(), Data, sizeof(Data), &Got, nullptr) || Got != EndedSize) return false;
    if (std::memcmp(Data, EndedMagic, sizeof(EndedMagic)) != 0) return false;
    if (!DigestMatches(std::string_view(Data, EndedSize - DigestSize), Data + EndedSize - DigestSize)) return false;
    Entries = static_cast<std::int64_t>(GetU64(Data + 8));
    Size = GetU64(Data + 16);
    return Entries >= 0;
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

bool TUndoJournalWriter::Record(const std::wstring& Path, TEncodingMode Encoding, std::string_view OldMark,
                                std::string_view OldBody, std::string_view NewBytes) {
    if (FFailed || FFinished) return false;
    if (!FFile && !Open()) {
        FFailed = true;
        return false;
    }
    TSha256 OldHash;
    OldHash.Update(OldMark);
    OldHash.Update(OldBody);
    const std::wstring Full = FullPath(Path);
    std::string Head(EntryMagic, sizeof(EntryMagic));
    PutU32(Head, static_cast<std::uint32_t>(StoredEncodingMode(Encoding)));
    PutU32(Head, static_cast<std::uint32_t>(Full.size()));
    PutU64(Head, OldMark.size() + OldBody.size());
    PutU64(Head, NewBytes.size());
    PutDigest(Head, OldHash.Finish());
    PutDigest(Head, Sha256(NewBytes));
    PutUnits(Head, Full);
    PutDigest(Head, Sha256(Head));
    const std::uint64_t Start = FSize;
    if (Append(Head) && Append(OldMark) && Append(OldBody) && FlushFileBuffers(FFile.Get())) {
        FLastEntry = Start;
        FSize = FWritten;
        ++FEntries;
        return true;
    }
    TruncateBack();
    return false;
}

bool TUndoJournalWriter::Withdraw() {
    if (FFailed || FFinished || !FFile || FEntries == 0 || FLastEntry == 0) return false;
    const std::uint64_t Kept = FSize;
    FSize = FLastEntry;
    TruncateBack();
    if (FFailed) {
        // The entry may still be there: it is counted as it stands.
        FSize = Kept;
        return false;
    }
    // Should the cut not reach the disk, the entry left names a file that does
    // not hold its new bytes: an undo leaves that file alone.
    FlushFileBuffers(FFile.Get());
    FLastEntry = 0;
    --FEntries;
    return true;
}

void TUndoJournalWriter::Finish() {
    if (FFinished) return;
    FFinished = true;
    if (!FFile) return;
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

// ---- Reading ----

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
