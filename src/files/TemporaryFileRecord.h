#pragma once
// What a killed run leaves behind is cleaned up by the next one. While a run
// that writes files (Apply, Undo) goes, every temporary file it makes beside a
// target is first named in a record of the run's own, on the disk before the
// file is made: the folder "temp" in the undo journal's folder (the journal
// is per user, so the next run of any folder finds it), one file per run
// "<start time>-<process id>.rec", held open by the run from its first entry to
// its end. The record is its own file, not part of a run's journal: an Undo has
// no journal of its own, and a run's journal exists only from its first changed
// file on, while its first temporary file comes before that.
//
// A flush per temporary file would cost as much as the file's own, so a run
// names its temporary files by a part of its own: TEMP-<tag>001.TMP to
// TEMP-<tag>999.TMP, the tag being the record's file number, which no other
// record has while this one exists. Before its first such file in a folder the
// run records the folder, flushed; the lines about each file need not reach the
// disk first: after a power cut the folder's line alone tells which files are
// the run's. Beyond those names (a folder where all are taken) it goes on with
// TEMP-1.TMP, TEMP-2.TMP ..., each line of those flushed.
//
// Lines (UTF-8, each ended by a line feed; a cut last line counts for nothing):
//   F <time> <tag> <folder>   about to make files of the run's own names in
//                             folder (ending with a backslash); flushed
//   C <id> <time> <path>      about to make the file (time: FILETIME as a number);
//                             flushed unless the name is one of the run's own
//   I <id> <volume> <index> <created>   made: the file's identity
//   D <id>                    gone again (swapped into its target's place,
//                             removed, or never made because the name was taken)
// A run that ends normally removes its record when all its files are gone.
//
// A record that nobody holds open any more belongs to a run that was killed:
// every file it names that was made and not gone is removed, and only that file:
// its identity (volume serial and file index; a file killed before its identity
// was recorded: made close to its entry's time) must match, so a user's file of
// the same name made later stays. In a recorded folder, a file of the run's own
// names that no entry names as pending is removed too when it was made after the
// folder's line and is none of the files its entries saw gone (a file kept
// because another program wrote to it). A name taken when the run came
// to it was never recorded (it is tested before), so a user's own TEMP-77.TMP is
// never named at all.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

// While one lives, this process records its temporary files (several may live
// at once: the record stays until the last one goes). Making the first one
// removes what killed runs left.
class TTemporaryFileRecord {
public:
    TTemporaryFileRecord();
    ~TTemporaryFileRecord();
    TTemporaryFileRecord(const TTemporaryFileRecord&) = delete;
    TTemporaryFileRecord& operator=(const TTemporaryFileRecord&) = delete;
};

namespace TemporaryFiles {

// Whether a record is being kept (a TTemporaryFileRecord lives).
bool Recording();
// The Nth name (N from 1) to try for a temporary file in Folder (ending with a
// backslash): while a record is kept, the run's own names first, then TEMP-1.TMP,
// TEMP-2.TMP and on; without a record TEMP-N.TMP.
std::wstring TemporaryName(std::wstring_view Folder, std::int64_t N);
// Names Path (a full path) in the record, on the disk before the file is made
// (for the run's own names, through its folder's line). 0 when no record is
// kept or none can be made in the journal's folder (Apply's journal then refuses
// the file itself); -1 when the record cannot be written (the file must then not
// be made); else the entry's number for Made and Gone.
std::int64_t WillMake(const std::wstring& Path);
// The file of entry Id was made and is open as File.
void Made(std::int64_t Id, HANDLE File);
// The file of entry Id is gone again, or was never made.
void Gone(std::int64_t Id);
// Removes every file that records nobody holds any more name as made and not
// gone, and those records once nothing of them is left. Made by the first
// TTemporaryFileRecord; for tests.
void RemoveLeftovers();

}  // namespace TemporaryFiles
