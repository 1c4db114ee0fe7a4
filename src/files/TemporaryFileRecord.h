#pragma once
// What a killed run leaves behind is cleaned up by the next one. While a run
// that writes files (Apply, Undo) goes, every temporary file it makes beside a
// target is first named in a record of the run's own, flushed to the disk before
// the file is made: the folder "temp" in the undo journal's folder (the journal
// is per user, so the next run of any folder finds it), one file per run
// "<start time>-<process id>.rec", held open by the run from its first entry to
// its end. The record is its own file, not part of a run's journal: an Undo has
// no journal of its own, and a run's journal exists only from its first changed
// file on, while its first temporary file comes before that.
//
// Lines (UTF-8, each ended by a line feed; a cut last line counts for nothing):
//   C <id> <time> <path>      about to make the file (time: FILETIME as a number)
//   I <id> <volume> <index> <created>   made: the file's identity
//   D <id>                    gone again (swapped into its target's place,
//                             removed, or never made because the name was taken)
// A run that ends normally removes its record when all its files are gone.
//
// A record that nobody holds open any more belongs to a run that was killed:
// every file it names that was made and not gone is removed, and only that file:
// its identity (volume serial and file index; a file killed before its identity
// was recorded: made close to its entry's time) must match, so a user's file of
// the same name made later stays. A name taken when the run came
// to it was never recorded (it is tested before), so a user's own TEMP-77.TMP is
// never named at all.
#include <windows.h>

#include <cstdint>
#include <string>

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
// Names Path (a full path) in the record and flushes it. 0 when no record is
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
