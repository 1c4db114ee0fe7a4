#pragma once
// Collecting the files that match one wildcard filter under a folder, ordering
// them, and the small path and list helpers the rest of the program shares.
#include "base/TextMatching.h"
#include "files/FileIdentity.h"

#include <windows.h>

#include <cstdint>
#include <functional>

#include <memory>
#include <string>
#include <string_view>

// Every matching file under Folder (files of a folder first, then its sub-folders
// depth first, in the order the file system lists them). Paths are Folder (with a
// trailing backslash) + sub-folder names + file name, exactly as enumerated.
TStringArray CollectFiles(const std::wstring& Folder, const std::wstring& Mask, bool Recursive,
                          bool ExcludeSystem, bool ExcludeHidden, bool ExcludeAttr40);
// Appends the matches of one folder (and, when Recursive, its sub-folders) to Files.
void EnumerateFiles(const std::wstring& Folder, const std::wstring& Mask, bool Recursive,
                    bool ExcludeSystem, bool ExcludeHidden, bool ExcludeAttr40, TStringArray& Files);
// Whether a file's long name matches one mask, by the long-name rules of the
// platform's listing: "*" any run of characters, "?" exactly one, letter case
// ignored, trailing blanks of the mask dropped, "*.*" every name, a mask ending
// in "." only names without a dot (matched by the mask without its dots), and
// once the name is used up, what is left of the mask may be dots and stars
// ("name.*" matches "name"). Short (8.3) names never take part.
bool MaskMatchesName(std::wstring_view Mask, std::wstring_view Name);
// Whether an exclusion glob matches an entry, given by its path relative to the
// folder a collection starts in ("sub\\name", no leading or trailing backslash).
// "*" and "?" stand for characters within one name, "**" for any number of
// whole folders (none included); "/" is taken for "\\"; letter case is ignored.
// A glob without a separator is matched against the entry's name at any depth,
// one with a separator against its whole relative path; a trailing separator
// limits the glob to folders (IsFolder).
bool ExcludeGlobMatches(std::wstring_view Glob, std::wstring_view RelativePath, bool IsFolder);
// Folder names of version-control systems, which a walk leaves alone unless asked:
// .git, .svn, .hg, _darcs, .bzr, in any letter case.
bool IsVersionControlFolder(std::wstring_view Name);

// Where the file at Path, open as File, really is: the path the system resolves
// it to, links followed, or Path when that differs from it in letter case only
// or cannot be told. A file reached through a file link is written there, so
// the link stays a link.
std::wstring LinkedFilePath(HANDLE File, const std::wstring& Path);

// Stable sort by FileSortKey under CompareStringW(LOCALE_USER_DEFAULT, 0).
void SortFileList(TStringArray& Files, bool Descending);
// How many sorts so far found the locale's sort keys out of step with
// CompareStringW and compared every pair with it instead, for checks.
std::int64_t SortFileListFallbacks();
std::wstring FileSortKey(std::wstring_view Path);
TStringArray SplitText(std::wstring_view Text, std::wstring_view Separator);
std::wstring AppendWithSeparator(std::wstring_view ListText, std::wstring_view Item, std::wstring_view Separator);
std::wstring WithTrailingBackslash(std::wstring_view Path);

// A collector kept by a worker for one whole run. It gives exactly the lists that
// CollectFiles gives, but remembers the sub-folders (and the identity) of every
// folder it has walked, so later filters of the run list each folder once for
// their own mask and never again for its sub-folders. Not shared between threads;
// the tree is taken to stay as it is for the length of the run.
class TFileCollector {
public:
    // EnterVersionControl: walk into version-control folders too.
    explicit TFileCollector(bool EnterVersionControl = false);
    ~TFileCollector();
    TFileCollector(const TFileCollector&) = delete;
    TFileCollector& operator=(const TFileCollector&) = delete;

    TStringArray Collect(const std::wstring& Folder, const std::wstring& Mask, bool Recursive,
                         bool ExcludeSystem, bool ExcludeHidden, bool ExcludeAttr40);
    // Appends instead of returning a new list.
    void Collect(const std::wstring& Folder, const std::wstring& Mask, bool Recursive, bool ExcludeSystem,
                 bool ExcludeHidden, bool ExcludeAttr40, TStringArray& Files);

    // Files and folders to leave out (globs as ExcludeGlobMatches reads them); an
    // excluded folder is not listed at all. Set before the first collection.
    void SetExcludes(TStringArray Globs) { FExcludes = std::move(Globs); }

    // Keep each folder's file names after its listing, so that the run's later
    // filters are served without listing the folder again. Set before the first
    // collection when more than one filter will be collected.
    void KeepFileNames(bool Keep) { FKeepFileNames = Keep; }

    // Directory passes made so far, for checks.
    std::int64_t DirectoryPasses() const { return FDirectoryPasses; }

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
    std::int64_t FDirectoryPasses = 0;
    bool FEnterVersionControl;
    bool FKeepFileNames = false;
    TStringArray FExcludes;
};
