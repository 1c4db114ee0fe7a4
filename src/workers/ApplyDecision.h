#pragma once
// What Apply does with one file, decided from what was learnt of it alone: no
// file is touched here, so the reading (whole or in pieces) and the writing stay
// apart from the rules.
#include <cstdint>
#include <string>

// What became of one file: changed (or, in a dry run, would be), or skipped and why.
enum class TApplyFileOutcome {
    Changed,
    WouldChange,       // dry run: every check passed, nothing written
    UnsupportedMark,   // automatic mode met a mark the program does not read
    Unreadable,        // could not be opened or read, or not held in memory
    InUse,             // another program has it open
    ReadOnly,
    NotRoundTrip,      // its bytes would not come back the same from the decoded text
    CannotEncode,      // the new text holds characters the file's encoding lacks
    MixedEncoding,     // non-ASCII text into a file read as ANSI whose bytes are UTF-8
    ChangedMeanwhile,  // another program changed it between the reading and the swap
    ChangedDuringWrite,  // another program wrote to it in the moment of the swap: swapped back
    WriteFailed,
    JournalFailed,     // its old bytes could not be recorded in the undo journal
    LooksBinary,       // read in ANSI or UTF-8, a NUL byte near its start: not a text file
    InvalidEncoding,   // its bytes are not valid in the encoding it was read in
    ChangedSinceReview,  // its size, time or bytes differ from what the review read
};
// Why a file was skipped, for a person, in Swedish or English; empty for the
// two outcomes that are no skip.
std::wstring ApplyOutcomeText(bool Swedish, TApplyFileOutcome Outcome);

// What was learnt of one file that was opened. The last three are costly (they
// encode the whole text); a reader may leave them as they are until the decision
// without them is to change the file: they weigh last, so they can only turn a
// change into a skip.
struct TApplyFacts {
    bool InUse = false;            // another program has it open: the rest is from a shared read
    bool UnsupportedMark = false;  // automatic mode met a UTF-32 or UTF-16 big-endian mark
    bool Unreadable = false;       // could not be read, or is too large to hold
    bool Read = false;             // its text was decoded (false also for an invalid file)
    bool Invalid = false;          // a sequence not valid in its encoding was seen
    bool HoldsText = false;        // read, and the text to find is in it
    std::int32_t Occurrences = 0;  // of the text, where it holds it
    bool ChangedSinceReview = false;  // named by a review whose stamp it no longer has
    bool LooksBinary = false;      // read in ANSI or UTF-8, a NUL byte near its start
    bool ReadOnly = false;
    bool DryRun = false;           // the run writes nothing
    bool RoundTrip = true;         // the text as read encodes back to exactly its bytes
    bool MixedEncoding = false;    // the new text would give it a second encoding
    bool TextChanges = true;       // the new text differs from the text as read
    bool NewTextFits = true;       // the new text has no character its encoding lacks
};

struct TApplyDecision {
    enum class TAction {
        Leave,   // neither changed nor counted: nothing to do in it, or nothing could be read
        Skip,    // counted as skipped, for Outcome
        Change,  // Outcome Changed: write it; WouldChange (dry run): count it, write nothing
    };
    TAction Action = TAction::Leave;
    TApplyFileOutcome Outcome = TApplyFileOutcome::Changed;
    std::int32_t Occurrences = 0;  // what is reported with the file
    // It was judged on its content (it holds the text and passed the checks of its
    // reading): a review records its stamp.
    bool Examined = false;
    bool operator==(const TApplyDecision&) const = default;
};

TApplyDecision DecideApply(const TApplyFacts& Facts);
