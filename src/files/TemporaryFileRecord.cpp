#include "files/TemporaryFileRecord.h"

#include "base/UniqueHandle.h"
#include "files/FileIdentity.h"
#include "files/LongPath.h"
#include "files/UndoJournal.h"

#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

constexpr wchar_t RecordFolder[] = L"temp\\";
// A file made without its identity recorded (the run was killed right after
// making it) counts as the run's when it was made this close to its entry: file
// times come from a coarser clock than the entry's.
constexpr std::uint64_t MadeBeforeEntry = 2 * 10'000'000ULL;
constexpr std::uint64_t MadeAfterEntry = 60 * 10'000'000ULL;
// How many of a run's own names a folder offers before TEMP-1.TMP and on.
constexpr std::int64_t OwnNames = 999;
constexpr std::wstring_view NamePrefix = L"TEMP-", NameSuffix = L".TMP";

std::uint64_t AsNumber(const FILETIME& Time) {
    return (std::uint64_t{Time.dwHighDateTime} << 32) | Time.dwLowDateTime;
}

std::uint64_t Now() {
    FILETIME Time;
    GetSystemTimeAsFileTime(&Time);
    return AsNumber(Time);
}

std::string Utf8(std::wstring_view Text) {
    if (Text.empty()) return {};
    const int Size = WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string Out(static_cast<size_t>(std::max(Size, 0)), '\0');
    if (Size > 0)
        WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Out.data(), Size, nullptr,
                            nullptr);
    return Out;
}

std::wstring Wide(std::string_view Text) {
    if (Text.empty()) return {};
    const int Size = MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
    std::wstring Out(static_cast<size_t>(std::max(Size, 0)), L'\0');
    if (Size > 0) MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Out.data(), Size);
    return Out;
}

struct TIdentity {
    std::uint64_t Volume = 0, Index = 0, Created = 0;
};

bool IdentityOf(HANDLE File, TIdentity& Identity) {
    BY_HANDLE_FILE_INFORMATION Info;
    if (!GetFileInformationByHandle(File, &Info)) return false;
    Identity.Volume = Info.dwVolumeSerialNumber;
    Identity.Index = (std::uint64_t{Info.nFileIndexHigh} << 32) | Info.nFileIndexLow;
    Identity.Created = AsNumber(Info.ftCreationTime);
    return true;
}

// Whether Name (a file name) is one of the own names of the run whose tag is
// Tag: TEMP-<tag> and three digits, 001 to 999.
bool IsOwnName(std::wstring_view Name, std::wstring_view Tag) {
    if (Tag.empty() || Name.size() != NamePrefix.size() + Tag.size() + 3 + NameSuffix.size() ||
        Name.substr(0, NamePrefix.size()) != NamePrefix || Name.substr(NamePrefix.size(), Tag.size()) != Tag ||
        Name.substr(Name.size() - NameSuffix.size()) != NameSuffix)
        return false;
    const std::wstring_view Digits = Name.substr(NamePrefix.size() + Tag.size(), 3);
    for (wchar_t C : Digits)
        if (C < L'0' || C > L'9') return false;
    return Digits != L"000";
}

// The state of this process's record.
struct TRecordState {
    std::mutex Lock;
    int Users = 0;
    UniqueFile File;
    std::wstring Path;
    std::int64_t NextId = 1;
    std::int64_t Outstanding = 0;  // made or about to be, not gone yet
    bool Failed = false;
    bool LineCut = false;  // a write failed part way: the next line starts on a line of its own
    std::wstring Tag;      // of the run's own names; empty: it has none
    std::unordered_set<std::string> OwnFolders;  // recorded for the run's own names, as written
    // Costly to ask (under Wine another process answers), so asked once a folder
    // while the record is in use: the folders of entries not made yet, and each
    // folder's volume serial.
    std::unordered_map<std::int64_t, std::wstring> Folders;
    std::unordered_map<std::wstring, std::uint64_t> Volumes;
};

TRecordState& State() {
    static TRecordState Instance;
    return Instance;
}

bool AppendLine(TRecordState& S, std::string Line, bool Flush) {
    if (S.LineCut) Line.insert(Line.begin(), '\n');
    DWORD Written = 0;
    S.LineCut = !WriteFile(S.File.Get(), Line.data(), static_cast<DWORD>(Line.size()), &Written, nullptr) ||
                Written != Line.size();
    return !S.LineCut && (!Flush || FlushFileBuffers(S.File.Get()));
}

// Makes this run's record on its first entry.
bool OpenRecord(TRecordState& S) {
    if (S.File) return true;
    if (S.Failed) return false;
    const std::wstring Root = UndoJournalRoot();
    if (Root.empty()) return false;
    const std::wstring Folder = Root + RecordFolder;
    // The journal's folder may not exist yet: every level is made.
    for (size_t Slash = Folder.find(L'\\', 3); Slash != std::wstring::npos; Slash = Folder.find(L'\\', Slash + 1))
        CreateDirectoryW(ExtendedPath(Folder.substr(0, Slash)).c_str(), nullptr);
    for (int Attempt = 0; Attempt < 100 && !S.File; ++Attempt) {
        S.Path = Folder + std::to_wstring(Now() + static_cast<std::uint64_t>(Attempt)) + L"-" +
                 std::to_wstring(GetCurrentProcessId()) + L".rec";
        // Shared for reading only: another run's cleanup sees that it is held.
        S.File.Reset(CreateFileW(ExtendedPath(S.Path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!S.File && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    S.Failed = !S.File;
    // The record's number is the run's tag: no other record has it while this
    // one exists, so no other run makes files of the same names meanwhile.
    if (std::uint64_t Number; !S.Failed && FileNumberOf(S.File.Get(), Number) && Number != 0)
        S.Tag = std::to_wstring(Number);
    return !S.Failed;
}

void CloseRecord(TRecordState& S) {
    if (!S.File) return;
    S.File.Reset();
    // A file it names may still be there (its removal failed): the next run
    // takes care of it.
    if (S.Outstanding == 0) DeleteFileW(ExtendedPath(S.Path).c_str());
}

struct TEntry {
    std::wstring Path;
    std::uint64_t Time = 0;
    std::optional<TIdentity> Identity;
    bool Gone = false;
};

// A folder where the run made files of its own names.
struct TOwnFolder {
    std::uint64_t Time = 0;
    std::wstring Tag, Folder;
};

struct TRecordLines {
    std::map<std::int64_t, TEntry> Entries;
    std::vector<TOwnFolder> Folders;
};

TRecordLines ParseRecord(const std::string& Text) {
    TRecordLines Lines;
    auto& Entries = Lines.Entries;
    size_t Start = 0;
    for (size_t End; (End = Text.find('\n', Start)) != std::string::npos; Start = End + 1) {
        const std::string Line = Text.substr(Start, End - Start);
        std::istringstream In(Line);
        char Kind = 0;
        if (!(In >> Kind)) continue;
        if (Kind == 'F') {
            TOwnFolder Folder;
            std::string Tag, Path;
            if (!(In >> Folder.Time >> Tag)) continue;
            In.get();  // the separator
            std::getline(In, Path);
            Folder.Tag = Wide(Tag);
            Folder.Folder = Wide(Path);
            if (!Folder.Tag.empty() && !Folder.Folder.empty() && Folder.Folder.back() == L'\\')
                Lines.Folders.push_back(std::move(Folder));
            continue;
        }
        std::int64_t Id = 0;
        if (!(In >> Id)) continue;
        if (Kind == 'C') {
            TEntry Entry;
            if (!(In >> Entry.Time)) continue;
            In.get();  // the separator
            std::string Path;
            std::getline(In, Path);
            Entry.Path = Wide(Path);
            if (!Entry.Path.empty()) Entries[Id] = std::move(Entry);
        } else if (auto Found = Entries.find(Id); Found != Entries.end()) {
            TIdentity Identity;
            if (Kind == 'I' && In >> Identity.Volume >> Identity.Index >> Identity.Created)
                Found->second.Identity = Identity;
            else if (Kind == 'D')
                Found->second.Gone = true;
        }
    }
    return Lines;
}

bool SameFile(const TIdentity& A, const TIdentity& B) { return A.Volume == B.Volume && A.Index == B.Index; }

// Removes the file at Path if Ours says it is a killed run's (told its
// identity). True when nothing of it is left to do.
template <typename TOurs>
bool RemoveIfOurs(const std::wstring& FilePath, TOurs Ours) {
    const std::wstring Path = ExtendedPath(FilePath);
    UniqueFile File(CreateFileW(Path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!File) {
        const DWORD Error = GetLastError();
        return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND;
    }
    BY_HANDLE_FILE_INFORMATION Info;
    TIdentity Now;
    if (!GetFileInformationByHandle(File.Get(), &Info) || !IdentityOf(File.Get(), Now)) return false;
    // A folder of that name is nobody's temporary file.
    if ((Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !Ours(Now)) return true;
    FILE_DISPOSITION_INFO Disposition{TRUE};
    return SetFileInformationByHandle(File.Get(), FileDispositionInfo, &Disposition, sizeof Disposition) != FALSE;
}

// Removes the file of a killed run's entry if it is still the run's.
bool RemoveEntryFile(const TEntry& Entry) {
    // The creation time is no part of the identity: some file systems report
    // the last change of the file's status there, which its writing moves on.
    return RemoveIfOurs(Entry.Path, [&](const TIdentity& Now) {
        return Entry.Identity ? SameFile(*Entry.Identity, Now)
                              : Now.Created + MadeBeforeEntry >= Entry.Time && Now.Created <= Entry.Time + MadeAfterEntry;
    });
}

// The files of the run's own names in a folder it recorded that no pending
// entry names (their lines were lost with a power cut): they are the run's when
// made after the folder's line, unless they are files its entries saw gone and
// kept (another program's write is in them).
bool RemoveOwnFiles(const TOwnFolder& Own, const std::map<std::int64_t, TEntry>& Entries) {
    std::vector<std::wstring> Names;
    WIN32_FIND_DATAW Found;
    UniqueFind Find(FindFirstFileExW(ExtendedPath(Own.Folder + std::wstring(NamePrefix) + Own.Tag + L"*").c_str(),
                                     FindExInfoBasic, &Found, FindExSearchNameMatch, nullptr, 0));
    if (!Find) {
        const DWORD Error = GetLastError();
        return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND;
    }
    do {
        if (!(Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsOwnName(Found.cFileName, Own.Tag))
            Names.emplace_back(Found.cFileName);
    } while (FindNextFileW(Find.Get(), &Found));
    Find.Reset();
    bool AllDone = true;
    for (const std::wstring& Name : Names) {
        const std::wstring Path = Own.Folder + Name;
        bool Pending = false;
        std::vector<TIdentity> Kept;
        for (const auto& [Id, Entry] : Entries) {
            if (Entry.Path != Path) continue;
            if (!Entry.Gone) Pending = true;
            else if (Entry.Identity) Kept.push_back(*Entry.Identity);
        }
        // A pending entry tells by itself.
        if (Pending) continue;
        if (!RemoveIfOurs(Path, [&](const TIdentity& Now) {
                if (Now.Created + MadeBeforeEntry < Own.Time) return false;
                for (const TIdentity& Gone : Kept)
                    if (SameFile(Gone, Now)) return false;
                return true;
            }))
            AllDone = false;
    }
    return AllDone;
}

// A record nobody holds: its files that are left go, then the record itself.
void CleanRecord(const std::wstring& Path) {
    UniqueFile File(CreateFileW(ExtendedPath(Path).c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    // Held: its run is still going (or another run is cleaning it right now).
    if (!File) return;
    LARGE_INTEGER Size;
    if (!GetFileSizeEx(File.Get(), &Size) || Size.QuadPart > (64 << 20)) return;
    std::string Text(static_cast<size_t>(Size.QuadPart), '\0');
    DWORD Got = 0;
    if (!Text.empty() && (!ReadFile(File.Get(), Text.data(), static_cast<DWORD>(Text.size()), &Got, nullptr) ||
                          Got != Text.size()))
        return;
    const TRecordLines Lines = ParseRecord(Text);
    bool AllDone = true;
    for (const auto& [Id, Entry] : Lines.Entries)
        if (!Entry.Gone && !RemoveEntryFile(Entry)) AllDone = false;
    for (const TOwnFolder& Own : Lines.Folders)
        if (!RemoveOwnFiles(Own, Lines.Entries)) AllDone = false;
    if (!AllDone) return;
    FILE_DISPOSITION_INFO Disposition{TRUE};
    SetFileInformationByHandle(File.Get(), FileDispositionInfo, &Disposition, sizeof Disposition);
}

}  // namespace

TTemporaryFileRecord::TTemporaryFileRecord() {
    TRecordState& S = State();
    std::lock_guard Hold(S.Lock);
    if (S.Users++ == 0) TemporaryFiles::RemoveLeftovers();
}

TTemporaryFileRecord::~TTemporaryFileRecord() {
    TRecordState& S = State();
    std::lock_guard Hold(S.Lock);
    if (--S.Users == 0) {
        CloseRecord(S);
        S.Failed = false;
        S.LineCut = false;
        S.Tag.clear();
        S.OwnFolders.clear();
        S.Outstanding = 0;
        S.Folders.clear();
        S.Volumes.clear();
    }
}

namespace TemporaryFiles {

bool Recording() {
    TRecordState& S = State();
    std::lock_guard Hold(S.Lock);
    return S.Users > 0;
}

std::wstring TemporaryName(std::wstring_view Folder, std::int64_t N) {
    std::wstring Name(Folder);
    Name += NamePrefix;
    {
        TRecordState& S = State();
        std::lock_guard Hold(S.Lock);
        if (S.Users > 0 && OpenRecord(S) && !S.Tag.empty()) {
            if (N <= OwnNames) {
                const std::wstring Number = std::to_wstring(N);
                return Name + S.Tag + std::wstring(3 - Number.size(), L'0') + Number + std::wstring(NameSuffix);
            }
            N -= OwnNames;
        }
    }
    return Name + std::to_wstring(N) + std::wstring(NameSuffix);
}

std::int64_t WillMake(const std::wstring& Path) {
    TRecordState& S = State();
    std::lock_guard Hold(S.Lock);
    // Where the journal's folder cannot hold a record, Apply's journal refuses
    // every file anyway, for that reason: the write goes on unrecorded.
    if (S.Users == 0 || !OpenRecord(S)) return 0;
    const std::string Full = Utf8(FullPath(Path));
    const size_t Separator = Path.find_last_of(L'\\'), FullSeparator = Full.find_last_of('\\');
    const bool Own = Separator != std::wstring::npos && FullSeparator != std::string::npos &&
                     IsOwnName(std::wstring_view(Path).substr(Separator + 1), S.Tag);
    // One of the run's own names: its folder's line, once on the disk, stands
    // for every file of those names there.
    if (Own) {
        std::string Folder = Full.substr(0, FullSeparator + 1);
        if (!S.OwnFolders.contains(Folder)) {
            if (!AppendLine(S, "F " + std::to_string(Now()) + " " + Utf8(S.Tag) + " " + Folder + "\n", true))
                return -1;
            S.OwnFolders.insert(std::move(Folder));
        }
    }
    const std::int64_t Id = S.NextId++;
    // The time is what lets a cleanup tell the run's file from a later one when
    // the run was killed before the file's identity was recorded.
    if (!AppendLine(S, "C " + std::to_string(Id) + " " + std::to_string(Now()) + " " + Full + "\n", !Own))
        return -1;
    ++S.Outstanding;
    if (Separator != std::wstring::npos) S.Folders.emplace(Id, Path.substr(0, Separator + 1));
    return Id;
}

void Made(std::int64_t Id, HANDLE File) {
    if (Id <= 0) return;
    // The same numbers as IdentityOf gives, the volume's from the entry's folder.
    TIdentity Identity;
    FILE_BASIC_INFO Basic;
    if (!FileNumberOf(File, Identity.Index) || !GetFileInformationByHandleEx(File, FileBasicInfo, &Basic, sizeof Basic))
        return;
    Identity.Created = static_cast<std::uint64_t>(Basic.CreationTime.QuadPart);
    TRecordState& S = State();
    std::lock_guard Hold(S.Lock);
    const auto Folder = S.Folders.find(Id);
    if (Folder == S.Folders.end()) return;
    const std::wstring Path = std::move(Folder->second);
    S.Folders.erase(Folder);
    if (const auto Known = S.Volumes.find(Path); Known != S.Volumes.end()) {
        Identity.Volume = Known->second;
    } else {
        const UniqueFile Open(CreateFileW(ExtendedPath(Path).c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!Open || !VolumeSerialOf(Open.Get(), Identity.Volume)) return;
        S.Volumes.emplace(Path, Identity.Volume);
    }
    // Not flushed: only a power cut loses it, and the entry's time still tells.
    if (S.File)
        AppendLine(S, "I " + std::to_string(Id) + " " + std::to_string(Identity.Volume) + " " +
                          std::to_string(Identity.Index) + " " + std::to_string(Identity.Created) + "\n",
                   false);
}

void Gone(std::int64_t Id) {
    if (Id <= 0) return;
    TRecordState& S = State();
    std::lock_guard Hold(S.Lock);
    S.Folders.erase(Id);
    if (S.File && AppendLine(S, "D " + std::to_string(Id) + "\n", false)) --S.Outstanding;
}

void RemoveLeftovers() {
    const std::wstring Root = UndoJournalRoot();
    if (Root.empty()) return;
    const std::wstring Folder = Root + RecordFolder;
    std::vector<std::wstring> Records;
    WIN32_FIND_DATAW Found;
    UniqueFind Find(FindFirstFileExW(ExtendedPath(Folder + L"*.rec").c_str(), FindExInfoBasic, &Found,
                                     FindExSearchNameMatch, nullptr, 0));
    if (!Find) return;
    do {
        if (!(Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) Records.push_back(Folder + Found.cFileName);
    } while (FindNextFileW(Find.Get(), &Found));
    // This process's own record is held open, so it is passed over.
    for (const std::wstring& Record : Records) CleanRecord(Record);
}

}  // namespace TemporaryFiles
