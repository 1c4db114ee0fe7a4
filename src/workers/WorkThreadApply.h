#pragma once
// One Apply run away from the window: for each filter, collect and sort the
// files, read each file, replace every occurrence in one pass and write the file
// back safely in the encoding it was read in, each file's old bytes recorded in
// the undo journal first; report the filter, the progress and at the end the
// changed, replaced and skipped counts, through events queued for the main
// thread in the run's order.
#include "base/SlimLock.h"
#include "files/EncodingMode.h"
#include "files/Sha256.h"
#include "files/TemporaryFileRecord.h"
#include "files/TextFileReader.h"
#include "files/UndoJournal.h"
#include "workers/ApplyDecision.h"
#include "workers/WorkThreadRun.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct THeldWriteResult;  // SafeFileWriter.h

using TApplyShowCurrentFilterEvent = TRunShowCurrentFilterEvent;
using TApplyProgressEvent = TRunProgressEvent;
using TApplyReturnValuesEvent =
    std::function<void(std::int32_t ChangeCount, std::int32_t ReplaceCount, std::int32_t SkipCount)>;

// A file as a review read it: a later Apply writes it only while it is still so.
struct TReviewStamp {
    std::uint64_t Size = 0;
    std::uint64_t LastWrite = 0;  // FILETIME as one number
    TSha256Digest Hash{};         // of all its bytes, mark included
    bool operator==(const TReviewStamp&) const = default;
};
// Raised for every file counted as changed or skipped (files without the text are
// not), with its occurrences and the encoding it was read in.
using TApplyFileEvent = std::function<void(std::wstring FileName, std::int32_t Occurences, TEncodingMode Encoding,
                                           TApplyFileOutcome Outcome)>;

class TWorkThreadApply : public TWorkThreadRun {
public:
    TWorkThreadApply(std::wstring Folder, bool Recursive, std::wstring Filters, std::wstring TextToFind,
                     std::wstring ReplaceWith, bool CaseSensitive, TEncodingMode TextEncoding, TFindRule Rule = {});
    // Several pairs, applied in order to each file in one read and one write:
    // one journal entry per file, one undo for the run.
    TWorkThreadApply(std::wstring Folder, bool Recursive, std::wstring Filters, std::vector<TReplaceRule> Pairs,
                     bool CaseSensitive, TEncodingMode TextEncoding, TFindRule Rule = {});
    ~TWorkThreadApply() override;

    TApplyShowCurrentFilterEvent OnApplyShowCurrentFilter;
    TApplyProgressEvent OnApplyProgress;
    TApplyReturnValuesEvent OnApplyReturnValues;
    // Not used by the window: the command line names each file with it.
    TApplyFileEvent OnApplyFile;
    // Set before Start: every file is read and checked as for a real run, nothing
    // is written, and what would change is counted as changed.
    bool DryRun = false;
    // Set before Start, for a review: each file that holds the text gets its stamp as read.
    bool RecordStamps = false;
    using TFileStampEvent = std::function<void(std::wstring FileName, TReviewStamp Stamp)>;
    // Raised before OnApplyFile for a file whose stamp was recorded.
    TFileStampEvent OnApplyFileStamp;
    // Set before Start: a file named here is written only while it still has this
    // stamp; otherwise it is skipped as ChangedSinceReview.
    std::unordered_map<std::wstring, TReviewStamp> ExpectedStamps;

private:
    struct TAppliedFile;
    struct TPieceSlot;
    // On a pool thread: reads, checks, replaces and writes one file. A file whose
    // writing has begun is always finished; none is begun once the run is stopping.
    std::unique_ptr<TPreparedFile> PrepareFile(const std::wstring& File, TFilePipeline::TTicket& Ticket) override;
    void ApplyToFile(const std::wstring& File, TFilePipeline::TTicket& Ticket, TAppliedFile& Applied);
    // The same for a file read and written in pieces, in the slot's memory.
    void ApplyInPieces(const std::wstring& File, TFilePipeline::TTicket& Ticket, TAppliedFile& Applied,
                       TPieceSlot& Slot);
    // Whether File, held open as Held (or not held: null), is another name of a
    // file met before in the run (a link).
    bool MetBefore(const std::wstring& File, HANDLE Held);
    // The end of a change: the file's journal entry (Add, in the run's turn), then
    // its new content in place (Write, with the check to make right before the
    // swap), and the report.
    using TJournalAdd = std::function<bool(TUndoJournalWriter& Journal, TUndoJournalWriter::TEntryId& Entry)>;
    using TSwapWrite = std::function<THeldWriteResult(const std::function<bool()>& BeforeSwap)>;
    void Commit(TFilePipeline::TTicket& Ticket, UniqueFile& Held, const TFileStamp& ReadStamp,
                const std::wstring& Target, TAppliedFile& Applied, const TJournalAdd& Add, const TSwapWrite& Write);
    void PoolStarted(unsigned Threads) override;
    void DeliverFile(const std::wstring& File, TPreparedFile* Prepared) override;
    // After a stop, the files whose writing had begun are still reported.
    void DeliverLeftover(TPreparedFile& Prepared) override;
    // Counts the file and reports it to OnApplyFile.
    void Account(const TAppliedFile& Applied);
    // Call(FJournal), with a failure for any exception.
    template <typename TCall>
    bool InJournal(TCall Call);
    void SyncReturnValues() override;
    // Removes what killed runs left and starts recording this run's temporary files.
    void WalkStarting() override;

public:
    // Files left alone because their journal entry could not be written; read in
    // the return-values event or after the run.
    std::int32_t JournalFailCount() const { return FJournalFailCount; }

private:
    // Per pool thread, when files are read in pieces: one text to find without a
    // pattern (as for a search). A pattern and several pairs read files whole.
    std::vector<std::unique_ptr<TPieceSlot>> FSlots;
    std::optional<TTemporaryFileRecord> FTemporaryFiles;  // from the walk's start to the run's end
    TUndoJournalWriter FJournal;     // made on the disk with the first file changed; added to in turn
    // Held shared while a pool thread opens a file, exclusively from a file's
    // letting go to its swap, so that no open of the run falls in between.
    TSlimLock FSwapLock;
    // The run's thread only.
    std::int32_t FChangeCount = 0;   // files whose new content was written completely
    std::int32_t FReplaceCount = 0;  // occurrences replaced in those files
    std::int32_t FJournalFailCount = 0;
};
