#pragma once
// Telling files apart whatever name leads to them: a file is its number on its
// volume and the volume's serial number. The number comes from an open handle at
// little cost; the serial is the costly part (under Wine each request goes to
// another process), so a run asks it once for its root folder and once for each
// folder or file that is a reparse point (link, junction, mount point), and
// everything else takes the serial of the folder it sits in, which is on the
// same volume as its parent unless it is itself a reparse point.
#include "base/SlimLock.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// A file or folder as the file system knows it, whatever name led to it.
struct TFileId {
    std::uint64_t Volume = 0;  // the volume's serial number
    std::uint64_t Number = 0;  // the file's number on its volume
    bool operator==(const TFileId&) const = default;
};
struct TFileIdHash {
    size_t operator()(const TFileId& Id) const { return std::hash<std::uint64_t>()(Id.Number ^ Id.Volume); }
};

// The number of the file open as File on its volume (no look at the volume).
bool FileNumberOf(HANDLE File, std::uint64_t& Number);
// The serial number of the volume of the file open as File: the costly part.
bool VolumeSerialOf(HANDLE File, std::uint64_t& Serial);
// How many times VolumeSerialOf asked the system so far in this process, for checks.
std::int64_t VolumeQueries();
// Whether two open handles are of one file: their numbers, and only when these
// agree, their volumes.
bool SameFile(HANDLE A, HANDLE B);
// The same for two handles known to be on one volume (names in one folder).
bool SameFileOnOneVolume(HANDLE A, HANDLE B);

// The identities of one run's files. A folder given as a root has its serial
// asked; a folder below a root inherits its parent's unless it is a reparse
// point; a folder outside every root (a file given by its full path) has its own
// serial asked; a file that is a reparse point (a file link) has its target's
// serial asked (Wine shows a link to a file as a plain file: there it takes its
// folder's serial, which is its target's unless the link leads to another
// volume). Each folder's serial is asked at most once. Safe for several
// threads; the tree is taken to stay as it is for the length of the run.
class TFileIdentities {
public:
    // Folder with a trailing backslash, as the run's paths begin.
    void AddRoot(const std::wstring& Folder);
    // The identity of what Path names (links followed); false when it cannot be read.
    bool IdOf(const std::wstring& Path, TFileId& Id);
    // The same for a file whose number was taken from a handle already open on
    // Path (a reader's): no second open.
    bool IdOfNumbered(const std::wstring& Path, std::uint64_t Number, TFileId& Id);

private:
    bool VolumeOfFolder(const std::wstring& Folder, std::uint64_t& Serial);
    bool UnderRoot(const std::wstring& Folder) const;

    TSlimLock FLock;
    std::vector<std::wstring> FRoots;
    std::unordered_map<std::wstring, std::uint64_t> FVolumes;  // by folder, with its trailing backslash
};
