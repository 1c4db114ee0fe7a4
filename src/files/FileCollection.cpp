#include "files/FileCollection.h"

#include "base/TextCaseMap.h"
#include "base/UniqueHandle.h"
#include "files/LongPath.h"
#include "files/UndoJournal.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

constexpr DWORD Attribute40 = 0x40;

bool IsExcluded(DWORD Attributes, bool ExcludeSystem, bool ExcludeHidden, bool ExcludeAttr40) {
    return (ExcludeSystem && (Attributes & FILE_ATTRIBUTE_SYSTEM)) ||
           (ExcludeHidden && (Attributes & FILE_ATTRIBUTE_HIDDEN)) || (ExcludeAttr40 && (Attributes & Attribute40));
}

bool IsDotEntry(const wchar_t* Name) {
    return Name[0] == L'.' && (Name[1] == L'\0' || (Name[1] == L'.' && Name[2] == L'\0'));
}

// Basic information (no short names) and large fetches: the cheapest listing the
// platform offers.
UniqueFind FindFirst(const std::wstring& SearchPath, WIN32_FIND_DATAW& Data) {
    return UniqueFind(FindFirstFileExW(SearchPath.c_str(), FindExInfoBasic, &Data, FindExSearchNameMatch, nullptr,
                                       FIND_FIRST_EX_LARGE_FETCH));
}

// A folder as the file system knows it, whatever path led to it.
struct TFolderId {
    DWORD Volume = 0;
    DWORD IndexHigh = 0;
    DWORD IndexLow = 0;
    bool operator==(const TFolderId&) const = default;
};

bool GetFolderId(const std::wstring& ExtendedFolder, TFolderId& Id) {
    UniqueFile Folder(CreateFileW(ExtendedFolder.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!Folder) return false;
    BY_HANDLE_FILE_INFORMATION Info;
    if (!GetFileInformationByHandle(Folder.Get(), &Info)) return false;
    Id = {Info.dwVolumeSerialNumber, Info.nFileIndexHigh, Info.nFileIndexLow};
    return true;
}

// The final path of the open File, or empty.
std::wstring FinalPathOf(HANDLE File) {
    std::wstring Path(32768, L'\0');
    const DWORD Length = GetFinalPathNameByHandleW(File, Path.data(), static_cast<DWORD>(Path.size()), 0);
    if (Length == 0 || Length >= Path.size()) return {};
    Path.resize(Length);
    return Path;
}

// The plain form of a path drops trailing blanks from its last part, so a filter
// typed as "*.txt " has always matched like "*.txt".
std::wstring_view SearchMask(std::wstring_view Mask) {
    size_t End = Mask.find_last_not_of(L' ');
    return End == std::wstring_view::npos ? std::wstring_view() : Mask.substr(0, End + 1);
}

// The path the system resolves a folder to, links and all, or empty.
std::wstring FinalFolderPath(const std::wstring& ExtendedFolder) {
    UniqueFile Folder(CreateFileW(ExtendedFolder.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!Folder) return {};
    const std::wstring Path = FinalPathOf(Folder.Get());
    return Path.empty() ? Path : WithTrailingBackslash(Path);
}

bool SameText(std::wstring_view First, std::wstring_view Second) {
    return CompareStringOrdinal(First.data(), static_cast<int>(First.size()), Second.data(),
                                static_cast<int>(Second.size()), TRUE) == CSTR_EQUAL;
}

wchar_t UpperUnit(wchar_t C) {
    static const CaseMap* const Map = SimpleCaseMap();
    if (Map) return Map->Unit[C];
    wchar_t Upper = C;
    CharUpperBuffW(&Upper, 1);
    return Upper;
}

// "*" and "?" against the whole name, letter case ignored; the last star is
// tried at every later start (the usual linear backtracking).
bool WildcardMatch(std::wstring_view Mask, std::wstring_view Name) {
    size_t M = 0, N = 0;
    size_t StarMask = std::wstring_view::npos, StarName = 0;
    while (N < Name.size()) {
        if (M < Mask.size() && Mask[M] == L'*') {
            StarMask = ++M;
            StarName = N;
        } else if (M < Mask.size() && (Mask[M] == L'?' || UpperUnit(Mask[M]) == UpperUnit(Name[N]))) {
            ++M;
            ++N;
        } else if (StarMask != std::wstring_view::npos) {
            M = StarMask;
            N = ++StarName;
        } else {
            return false;
        }
    }
    // The name is used up: dots and stars may be left ("name.*" matches "name").
    return Mask.find_first_not_of(L".*", M) == std::wstring_view::npos;
}

// The non-empty names of a path or a glob, split on "\\" (and "/").
std::vector<std::wstring_view> PathNames(std::wstring_view Path) {
    std::vector<std::wstring_view> Names;
    size_t Start = 0;
    while (Start <= Path.size()) {
        size_t End = Path.find_first_of(L"\\/", Start);
        if (End == std::wstring_view::npos) End = Path.size();
        if (End > Start) Names.push_back(Path.substr(Start, End - Start));
        Start = End + 1;
    }
    return Names;
}

// Glob names from G on against path names from P on; "**" takes any number of
// whole names. Paths are a handful of names deep, so plain backtracking will do.
bool NamesMatch(const std::vector<std::wstring_view>& Glob, size_t G, const std::vector<std::wstring_view>& Path,
                size_t P) {
    for (; G < Glob.size(); ++G, ++P) {
        if (Glob[G] == L"**") {
            for (size_t Skip = P; Skip <= Path.size(); ++Skip)
                if (NamesMatch(Glob, G + 1, Path, Skip)) return true;
            return false;
        }
        if (P >= Path.size() || !WildcardMatch(Glob[G], Path[P])) return false;
    }
    return P == Path.size();
}

int CompareKeys(const std::wstring& First, const std::wstring& Second) {
    return CompareStringW(LOCALE_USER_DEFAULT, 0, First.data(), static_cast<int>(First.size()), Second.data(),
                          static_cast<int>(Second.size())) -
           CSTR_EQUAL;
}

}  // namespace

bool MaskMatchesName(std::wstring_view Mask, std::wstring_view Name) {
    Mask = SearchMask(Mask);
    if (Mask.empty() || Name.empty()) return false;
    if (Mask == L"*.*") return true;
    if (Mask.back() == L'.') {
        // "*." and "name.": names without a dot.
        if (Name.find(L'.') != std::wstring_view::npos) return false;
        Mask.remove_suffix(Mask.size() - (Mask.find_last_not_of(L'.') + 1));
        if (Mask.empty()) return false;
    }
    return WildcardMatch(Mask, Name);
}

bool ExcludeGlobMatches(std::wstring_view Glob, std::wstring_view RelativePath, bool IsFolder) {
    const bool FoldersOnly = !Glob.empty() && (Glob.back() == L'\\' || Glob.back() == L'/');
    if (FoldersOnly && !IsFolder) return false;
    const std::vector<std::wstring_view> GlobNames = PathNames(Glob);
    std::vector<std::wstring_view> Names = PathNames(RelativePath);
    if (GlobNames.empty() || Names.empty()) return false;
    // A separator anywhere but at the end ties the glob to the relative path.
    const bool WholePath = Glob.substr(0, Glob.size() - (FoldersOnly ? 1 : 0)).find_first_of(L"\\/") !=
                           std::wstring_view::npos;
    if (!WholePath) Names.erase(Names.begin(), Names.end() - 1);
    return NamesMatch(GlobNames, 0, Names, 0);
}

bool IsVersionControlFolder(std::wstring_view Name) {
    for (std::wstring_view Known : {L".git", L".svn", L".hg", L"_darcs", L".bzr"}) {
        if (Known.size() != Name.size()) continue;
        bool Same = true;
        for (size_t I = 0; I < Name.size() && Same; ++I) Same = UpperUnit(Known[I]) == UpperUnit(Name[I]);
        if (Same) return true;
    }
    return false;
}

struct TFileCollector::TImpl {
    struct TEntry {
        std::wstring Name;
        DWORD Attributes;
    };
    struct TFolderInfo {
        bool Listed = false;
        bool FilesKept = false;
        std::vector<TEntry> SubFolders;
        std::vector<TEntry> Files;  // only when later filters will ask for them
        bool IdTried = false;
        bool IdKnown = false;
        TFolderId Id;
    };
    // Keyed by the folder's path as the user sees it (ending in a backslash).
    std::unordered_map<std::wstring, TFolderInfo> Folders;

    // The undo journal's folder, which no run may list or change: known by its
    // identity (whatever path or link leads to it), its name, and its resolved
    // path for a start folder that lies inside it.
    bool JournalLooked = false;
    bool JournalIdKnown = false;
    TFolderId JournalId;
    std::wstring JournalName;
    std::wstring JournalFinal;
    void LookAtJournal() {
        if (JournalLooked) return;
        JournalLooked = true;
        std::wstring Root = UndoJournalRoot();
        if (Root.empty()) return;
        const std::wstring Extended = ExtendedPath(Root);
        JournalIdKnown = GetFolderId(Extended, JournalId);
        JournalFinal = FinalFolderPath(Extended);
        while (!Root.empty() && Root.back() == L'\\') Root.pop_back();
        JournalName = Root.substr(Root.find_last_of(L"\\:") + 1);
    }
    // Whether the start folder is the journal's folder or lies inside it.
    bool InJournal(const std::wstring& ExtFolder) const {
        if (JournalFinal.empty()) return false;
        const std::wstring Final = FinalFolderPath(ExtFolder);
        return Final.size() >= JournalFinal.size() &&
               SameText(std::wstring_view(Final).substr(0, JournalFinal.size()), JournalFinal);
    }
};

TFileCollector::TFileCollector(bool EnterVersionControl)
    : FImpl(std::make_unique<TImpl>()), FEnterVersionControl(EnterVersionControl) {}
TFileCollector::~TFileCollector() = default;

TStringArray TFileCollector::Collect(const std::wstring& Folder, const std::wstring& Mask, bool Recursive,
                                     bool ExcludeSystem, bool ExcludeHidden, bool ExcludeAttr40) {
    TStringArray Files;
    Collect(Folder, Mask, Recursive, ExcludeSystem, ExcludeHidden, ExcludeAttr40, Files);
    return Files;
}

void TFileCollector::Collect(const std::wstring& Folder, const std::wstring& Mask, bool Recursive,
                             bool ExcludeSystem, bool ExcludeHidden, bool ExcludeAttr40, TStringArray& Files) {
    using TFolderInfo = TImpl::TFolderInfo;
    std::wstring Root = WithTrailingBackslash(Folder);
    // Whether an entry below the start folder is excluded; its path is known
    // from the start folder's prefix on.
    auto Excluded = [&](const std::wstring& UserFolder, std::wstring_view Name, bool IsFolder) {
        if (FExcludes.empty()) return false;
        const std::wstring Relative = UserFolder.substr(Root.size()) + std::wstring(Name);
        for (const std::wstring& Glob : FExcludes)
            if (ExcludeGlobMatches(Glob, Relative, IsFolder)) return true;
        return false;
    };

    // The matching files of one folder, in the order the platform lists them. The
    // mask is matched here against the long name only: the platform's own matching
    // also takes the short name, so "*.doc" would list report.docx (REPORT~1.DOC).
    auto TakeFile = [&](const std::wstring& UserFolder, std::wstring_view Mask, const wchar_t* Name,
                        DWORD Attributes) {
        if (IsExcluded(Attributes, ExcludeSystem, ExcludeHidden, ExcludeAttr40)) return;
        if (!MaskMatchesName(Mask, Name)) return;
        if (Excluded(UserFolder, Name, false)) return;
        Files.push_back(UserFolder + Name);
    };
    // One listing of a folder serves its files for this filter, its sub-folders
    // for the walk, and, kept in memory, its files for the run's later filters.
    auto ListFolder = [&](const std::wstring& UserFolder, const std::wstring& ExtFolder,
                          std::wstring_view Mask) -> TFolderInfo& {
        TFolderInfo& Result = FImpl->Folders[UserFolder];
        if (Result.Listed && Result.FilesKept) {
            for (const TImpl::TEntry& File : Result.Files)
                TakeFile(UserFolder, Mask, File.Name.c_str(), File.Attributes);
            return Result;
        }
        const bool Fresh = !Result.Listed;
        Result.Listed = true;
        Result.FilesKept = Fresh && FKeepFileNames;
        WIN32_FIND_DATAW Data;
        ++FDirectoryPasses;
        UniqueFind Find = FindFirst(ExtFolder + L"*", Data);
        if (!Find) return Result;
        do {
            if (IsDotEntry(Data.cFileName)) continue;
            if (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (Fresh) Result.SubFolders.push_back({Data.cFileName, Data.dwFileAttributes});
                continue;
            }
            if (Result.FilesKept) Result.Files.push_back({Data.cFileName, Data.dwFileAttributes});
            TakeFile(UserFolder, Mask, Data.cFileName, Data.dwFileAttributes);
        } while (FindNextFileW(Find.Get(), &Data));
        return Result;
    };
    // Opening a folder for its identity is dear (about a millisecond under Wine),
    // so it is asked for only where a cycle is possible, and asked once a run.
    auto Identity = [&](const std::wstring& UserFolder, const std::wstring& ExtFolder) -> const TFolderInfo& {
        TFolderInfo& Result = FImpl->Folders[UserFolder];
        if (!Result.IdTried) {
            Result.IdTried = true;
            Result.IdKnown = GetFolderId(ExtFolder, Result.Id);
        }
        return Result;
    };

    std::wstring ExtRoot = ExtendedPath(Root);
    const std::wstring_view Pattern = Mask;
    FImpl->LookAtJournal();
    if (FImpl->InJournal(ExtRoot)) return;
    TFolderInfo& RootInfo = ListFolder(Root, ExtRoot, Pattern);
    if (!Recursive) return;

    // Depth first with an explicit stack, so a deep tree cannot exhaust the
    // thread's stack. Each folder is entered once, however many links lead to it:
    // once the walk has met a link (a reparse point: symbolic link, junction,
    // mounted folder), every folder entered is known by its identity, and one
    // already entered is passed over. A tree without links asks for no identity.
    struct TFrame {
        std::wstring UserFolder;
        std::wstring ExtFolder;
        const TFolderInfo* Folder;
        size_t Next;
    };
    struct TFolderIdHash {
        size_t operator()(const TFolderId& Id) const noexcept {
            return std::hash<std::uint64_t>()((static_cast<std::uint64_t>(Id.IndexHigh) << 32 | Id.IndexLow) ^
                                              (static_cast<std::uint64_t>(Id.Volume) << 17));
        }
    };
    std::vector<std::pair<std::wstring, std::wstring>> EnteredPlain;  // before the first link
    std::unordered_set<TFolderId, TFolderIdHash> Entered;
    bool LinkMet = false;
    // True when the folder is new to this walk (or cannot be identified).
    auto Enter = [&](const std::wstring& UserFolder, const std::wstring& ExtFolder) {
        if (!LinkMet) {
            EnteredPlain.emplace_back(UserFolder, ExtFolder);
            return true;
        }
        const TFolderInfo& Known = Identity(UserFolder, ExtFolder);
        return !Known.IdKnown || Entered.insert(Known.Id).second;
    };
    auto MeetLink = [&] {
        if (LinkMet) return;
        LinkMet = true;
        for (const auto& [UserFolder, ExtFolder] : EnteredPlain) {
            const TFolderInfo& Known = Identity(UserFolder, ExtFolder);
            if (Known.IdKnown) Entered.insert(Known.Id);
        }
        EnteredPlain.clear();
        EnteredPlain.shrink_to_fit();
    };

    // A folder with the journal's name, or any folder once links are about, is
    // asked for its identity: only the journal's own is passed over.
    auto IsJournal = [&](const std::wstring& Name, const std::wstring& UserFolder, const std::wstring& ExtFolder) {
        if (!FImpl->JournalIdKnown || (!LinkMet && !SameText(Name, FImpl->JournalName))) return false;
        const TFolderInfo& Known = Identity(UserFolder, ExtFolder);
        return Known.IdKnown && Known.Id == FImpl->JournalId;
    };

    std::vector<TFrame> Stack;
    Enter(Root, ExtRoot);
    Stack.push_back({Root, ExtRoot, &RootInfo, 0});
    while (!Stack.empty()) {
        TFrame& Top = Stack.back();
        if (Top.Next >= Top.Folder->SubFolders.size()) {
            Stack.pop_back();
            continue;
        }
        const TImpl::TEntry& Sub = Top.Folder->SubFolders[Top.Next++];
        if (IsExcluded(Sub.Attributes, ExcludeSystem, ExcludeHidden, ExcludeAttr40)) continue;
        // A repository's own store is not text to edit: a name replaced in its
        // config or packed refs breaks it.
        if (!FEnterVersionControl && IsVersionControlFolder(Sub.Name)) continue;
        // Excluded before it is entered: its listing is never read.
        if (Excluded(Top.UserFolder, Sub.Name, true)) continue;
        std::wstring UserChild = Top.UserFolder + Sub.Name + L'\\';
        std::wstring ExtChild = Top.ExtFolder + Sub.Name + L'\\';
        if (Sub.Attributes & FILE_ATTRIBUTE_REPARSE_POINT) MeetLink();
        if (IsJournal(Sub.Name, UserChild, ExtChild) || !Enter(UserChild, ExtChild)) continue;
        const TFolderInfo* Child = &ListFolder(UserChild, ExtChild, Pattern);
        Stack.push_back({std::move(UserChild), std::move(ExtChild), Child, 0});
    }
}

std::wstring LinkedFilePath(HANDLE File, const std::wstring& Path) {
    const std::wstring Final = FinalPathOf(File);
    if (Final.empty() || SameText(Final, ExtendedPath(Path))) return Path;
    // Only a path that leads to the same file: some systems drop a trailing dot
    // from the name they give back, which names another file.
    UniqueFile Other(CreateFileW(Final.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!Other || !SameFile(File, Other.Get()))
        return Path;
    return Final;
}

TStringArray CollectFiles(const std::wstring& Folder, const std::wstring& Mask, bool Recursive, bool ExcludeSystem,
                          bool ExcludeHidden, bool ExcludeAttr40) {
    TFileCollector Collector;
    return Collector.Collect(Folder, Mask, Recursive, ExcludeSystem, ExcludeHidden, ExcludeAttr40);
}

void EnumerateFiles(const std::wstring& Folder, const std::wstring& Mask, bool Recursive, bool ExcludeSystem,
                    bool ExcludeHidden, bool ExcludeAttr40, TStringArray& Files) {
    TFileCollector Collector;
    Collector.Collect(Folder, Mask, Recursive, ExcludeSystem, ExcludeHidden, ExcludeAttr40, Files);
}

std::wstring FileSortKey(std::wstring_view Path) {
    size_t LastSeparator = Path.find_last_of(L"\\:");
    size_t NameStart = LastSeparator == std::wstring_view::npos ? 0 : LastSeparator + 1;
    size_t LastDot = Path.rfind(L'.');
    size_t ExtensionStart = (LastDot != std::wstring_view::npos && LastDot >= NameStart) ? LastDot : Path.size();

    std::wstring Key = WithTrailingBackslash(Path.substr(0, NameStart));
    Key += L'<';
    Key += Path.substr(ExtensionStart);
    Key += L'>';
    Key += Path.substr(NameStart, ExtensionStart - NameStart);
    return Key;
}

namespace {

// Sorts that found the byte order of the keys disagreeing with CompareStringW.
std::atomic<std::int64_t> SortFallbacks{0};

// The order every sort must give: a stable sort comparing the FileSortKeys with
// CompareStringW. A path goes before an earlier one only when comparing the earlier
// with it gives "greater" (ascending) or "less" (descending), so paths whose keys
// compare equal keep the order they were listed in.
void SortByCompareString(TStringArray& Files, bool Descending) {
    struct TEntry {
        std::wstring Key;
        size_t Index;
    };
    std::vector<TEntry> Entries;
    Entries.reserve(Files.size());
    for (size_t i = 0; i < Files.size(); ++i) Entries.push_back({FileSortKey(Files[i]), i});
    std::stable_sort(Entries.begin(), Entries.end(), [Descending](const TEntry& Taken, const TEntry& Earlier) {
        int Result = CompareKeys(Earlier.Key, Taken.Key);
        return Descending ? Result < 0 : Result > 0;
    });
    TStringArray Sorted;
    Sorted.reserve(Files.size());
    for (TEntry& E : Entries) Sorted.push_back(std::move(Files[E.Index]));
    Files = std::move(Sorted);
}

// The sort key of Text under the user's locale (a byte string; its length in
// bytes is returned, 0 when the platform gives none). Scratch is reused between
// calls and grows when a key does not fit.
int MapSortKey(const std::wstring& Text, std::vector<WCHAR>& Scratch) {
    const int Length = static_cast<int>(Text.size());
    auto Map = [&](int Bytes) {
        return LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, Text.data(), Length, Bytes ? Scratch.data() : nullptr,
                            Bytes);
    };
    int Bytes = Map(static_cast<int>(Scratch.size() * sizeof(WCHAR)));
    if (Bytes == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        Bytes = Map(0);
        if (Bytes <= 0) return 0;
        Scratch.resize((static_cast<size_t>(Bytes) + 1) / sizeof(WCHAR));
        Bytes = Map(static_cast<int>(Scratch.size() * sizeof(WCHAR)));
    }
    return Bytes;
}

int Sign(int Value) { return (Value > 0) - (Value < 0); }

// Sorts by the locale's sort keys, formed once per path and compared as bytes.
// The keys are meant to order as CompareStringW does, but not all do: Wine's weigh
// the non-spacing part of a character that sorts as two (Hebrew letters with a
// point, some Arabic and Tibetan forms, U+1FEE) as a letter of its own, where its
// comparison adds it to the letter's diacritic weight. So the result is checked:
// when every neighbouring pair compares under CompareStringW as its keys do, the
// list is in CompareStringW's order (an order being transitive) and the paths it
// finds equal have equal keys, so they kept their listed order. Returns false,
// leaving Files as they were, when a key cannot be formed or a pair disagrees.
bool SortBySortKeys(TStringArray& Files, bool Descending) {
    struct TKeyed {
        size_t Offset;
        size_t Length;
        size_t Index;
    };
    std::string Keys;  // every key, end to end
    std::vector<TKeyed> Entries;
    Entries.reserve(Files.size());
    std::vector<WCHAR> Scratch(256);
    for (size_t i = 0; i < Files.size(); ++i) {
        int Bytes = MapSortKey(FileSortKey(Files[i]), Scratch);
        if (Bytes <= 0) return false;
        Entries.push_back({Keys.size(), static_cast<size_t>(Bytes), i});
        Keys.append(reinterpret_cast<const char*>(Scratch.data()), static_cast<size_t>(Bytes));
    }
    auto CompareBytes = [&Keys](const TKeyed& First, const TKeyed& Second) {
        int Result = std::memcmp(Keys.data() + First.Offset, Keys.data() + Second.Offset,
                                 std::min(First.Length, Second.Length));
        if (Result != 0) return Result;
        return First.Length < Second.Length ? -1 : First.Length > Second.Length ? 1 : 0;
    };
    std::stable_sort(Entries.begin(), Entries.end(), [&](const TKeyed& Taken, const TKeyed& Earlier) {
        int Result = CompareBytes(Earlier, Taken);
        return Descending ? Result < 0 : Result > 0;
    });
    std::wstring Previous = FileSortKey(Files[Entries[0].Index]);
    for (size_t i = 1; i < Entries.size(); ++i) {
        std::wstring Current = FileSortKey(Files[Entries[i].Index]);
        if (Sign(CompareKeys(Previous, Current)) != Sign(CompareBytes(Entries[i - 1], Entries[i]))) return false;
        Previous = std::move(Current);
    }
    TStringArray Sorted;
    Sorted.reserve(Files.size());
    for (const TKeyed& E : Entries) Sorted.push_back(std::move(Files[E.Index]));
    Files = std::move(Sorted);
    return true;
}

}  // namespace

void SortFileList(TStringArray& Files, bool Descending) {
    if (Files.size() < 2) return;
    if (SortBySortKeys(Files, Descending)) return;
    ++SortFallbacks;
    SortByCompareString(Files, Descending);
}

std::int64_t SortFileListFallbacks() { return SortFallbacks.load(); }

TStringArray SplitText(std::wstring_view Text, std::wstring_view Separator) {
    TStringArray Pieces;
    if (Text.empty() || Separator.empty()) return Pieces;
    while (!Text.empty()) {
        size_t Pos = Text.find(Separator);
        if (Pos == 0) {
            Text.remove_prefix(Separator.size());
        } else if (Pos == std::wstring_view::npos) {
            Pieces.emplace_back(Text);
            break;
        } else {
            Pieces.emplace_back(Text.substr(0, Pos));
            Text.remove_prefix(Pos + Separator.size());
        }
    }
    return Pieces;
}

std::wstring AppendWithSeparator(std::wstring_view ListText, std::wstring_view Item, std::wstring_view Separator) {
    if (ListText.empty()) return std::wstring(Item);
    std::wstring Result;
    Result.reserve(ListText.size() + Separator.size() + Item.size());
    Result += ListText;
    Result += Separator;
    Result += Item;
    return Result;
}

std::wstring WithTrailingBackslash(std::wstring_view Path) {
    std::wstring Result(Path);
    if (!Result.empty() && Result.back() != L'\\') Result += L'\\';
    return Result;
}
