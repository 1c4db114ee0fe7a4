#include "workers/WorkThreadSearch.h"

#include "base/TextMatching.h"
#include "base/TextPieces.h"

#include <new>
#include <optional>

namespace {

// Counts one text to find over the pieces a reader hands it.
class TCountingSink final : public TTextPieceSink {
public:
    explicit TCountingSink(const TextScanner& Scanner) : FCounter(Scanner) {}
    void Restart() override { FCounter.Reset(); }
    size_t Take(std::wstring_view Text, bool Last) override { return FCounter.Take(Text, Last); }
    std::int32_t Count() const { return FCounter.Count(); }

private:
    TPieceCounter FCounter;
};

// What a pool thread found in one file.
struct TSearchedFile : TPreparedFile {
    bool Skipped = false;  // not looked at: an unsupported mark, unreadable, too large, invalid in its encoding
    TApplyFileOutcome Reason = TApplyFileOutcome::Unreadable;  // why, when skipped
    bool Counted = false;  // read in one of the four modes (a mode outside them reads nothing)
    TEncodingMode Mode = TEncodingMode::Auto;
    std::int32_t Occurrences = 0;
    std::vector<std::int32_t> PairCounts;  // each pair's share of Occurrences
    std::optional<TFileId> Id;  // the file's identity, when it could be read
};

// Memory a reader may keep between files, enough for files of the usual size; a
// larger file's is let go after it, so the run holds no more than its files in
// flight.
constexpr std::uint64_t KeptReaderMemory = 64ull << 20;

// Listed files told to the main thread in one call.
constexpr size_t ListedBatch = 256;

}  // namespace

struct TWorkThreadSearch::TSearchSlot {
    TTextFileReader Reader;
    // Files are read in pieces whenever the count allows it: one text to find
    // without a pattern. A pattern may match across any distance, and a later
    // pair counts in the text as the earlier ones left it: those read whole.
    std::optional<TCountingSink> Pieces;
};

TWorkThreadSearch::TWorkThreadSearch(std::wstring Folder, bool Recursive, std::wstring Filters,
                                     std::wstring TextToFind, bool CaseSensitive, TEncodingMode TextEncoding,
                                     TFindRule Rule)
    : TWorkThreadSearch(std::move(Folder), Recursive, std::move(Filters),
                        std::vector<TReplaceRule>{{std::move(TextToFind), {}}}, CaseSensitive, TextEncoding, Rule) {}

TWorkThreadSearch::TWorkThreadSearch(std::wstring Folder, bool Recursive, std::wstring Filters,
                                     std::vector<TReplaceRule> Pairs, bool CaseSensitive, TEncodingMode TextEncoding,
                                     TFindRule Rule)
    : TWorkThreadRun(std::move(Folder), Recursive, std::move(Filters), std::move(Pairs), CaseSensitive,
                     TextEncoding, OnSearchShowCurrentFilter, OnSearchProgress, Rule) {}

TWorkThreadSearch::~TWorkThreadSearch() {
    TerminateAndWait();
}

void TWorkThreadSearch::PoolStarted(unsigned Threads) {
    const bool InPieces = FRules.Size() == 1 && TPieceCounter::CountsInPieces(FRules.Scanner(0)) &&
                          TTextFileReader::ScansAnsi();
    FSlots.clear();
    for (unsigned Slot = 0; Slot < Threads; ++Slot) {
        FSlots.push_back(std::make_unique<TSearchSlot>());
        if (InPieces) FSlots.back()->Pieces.emplace(FRules.Scanner(0));
    }
}

std::unique_ptr<TPreparedFile> TWorkThreadSearch::PrepareFile(const std::wstring& File, TFilePipeline::TTicket& Ticket) {
    auto Result = std::make_unique<TSearchedFile>();
    TSearchSlot& Slot = *FSlots[Ticket.Slot];
    TTextFileReader& Reader = Slot.Reader;
    try {
        const TTextFileReader::TResult Content = Slot.Pieces
                                                     ? Reader.Scan(File, FTextEncoding, *Slot.Pieces, Ticket.Admit)
                                                     : Reader.Read(File, FTextEncoding, Ticket.Admit);
        if (Content.Abandoned) return Result;  // the run is stopping: dropped unreported
        // Told apart from other names of the same file when the results come in;
        // the number comes from the reader's own handle.
        if (TFileId Id; Content.Numbered ? IdentityOf(File, Content.Number, Id) : IdentityOf(File, Id)) Result->Id = Id;
        if (Content.UnsupportedMark || Content.Unreadable || Content.Invalid) {
            Result->Skipped = true;
            Result->Reason = Content.UnsupportedMark ? TApplyFileOutcome::UnsupportedMark
                             : Content.Unreadable    ? TApplyFileOutcome::Unreadable
                                                     : TApplyFileOutcome::InvalidEncoding;
        } else if (IsKnownEncodingMode(Content.Mode)) {
            Result->Counted = true;
            Result->Mode = Content.Mode;
            Result->PairCounts =
                Slot.Pieces ? std::vector<std::int32_t>{Slot.Pieces->Count()} : FRules.Counts(Content.Text);
            for (const std::int32_t Count : Result->PairCounts) Result->Occurrences += Count;
        }
    } catch (const std::bad_alloc&) {
        Result->Skipped = true;
        Result->Reason = TApplyFileOutcome::Unreadable;  // not held in memory
        Result->Counted = false;
    }
    Reader.Trim(KeptReaderMemory);
    return Result;
}

void TWorkThreadSearch::DeliverFile(const std::wstring& File, TPreparedFile* Prepared) {
    if (!Prepared) {
        // Listing mode: every file, neither probed nor read.
        FListed.push_back(File);
        if (FListed.size() >= ListedBatch) FlushDelivered();
        return;
    }
    const auto& Searched = static_cast<const TSearchedFile&>(*Prepared);
    // Another name of a file met before in the run: already examined.
    if (Searched.Id && !FirstMeeting(*Searched.Id)) return;
    if (Searched.Skipped) {
        // Not looked at: counted, so that a run never seems complete when it was not.
        ++FSkipCount;
        FOccurences = 0;
        Queue([this, File, Reason = Searched.Reason] {
            if (OnSearchSkipFile) OnSearchSkipFile(File, Reason);
        }, true);
    } else if (Searched.Counted) {
        FOccurences = Searched.Occurrences;
        FFileEncoding = Searched.Mode;
        FPairCounts = Searched.PairCounts;
    }
    // A mode outside the four reads nothing and leaves the count as it was.
    if (FOccurences > 0) {
        FTotalOccurences += FOccurences;
        QueueAddFile(File);
    }
}

void TWorkThreadSearch::FlushDelivered() {
    if (FListed.empty()) return;
    Queue([this, Files = std::move(FListed)]() mutable {
        FDeliveredEncoding = FTextEncoding;
        FDeliveredPairCounts.clear();
        for (std::wstring& File : Files) {
            // A stop drops what was not told yet, as it drops a single file's call.
            if (Terminated()) break;
            if (OnSearchAddFile) OnSearchAddFile(std::move(File), 0, 0);
        }
    }, true);
    FListed.clear();
}

void TWorkThreadSearch::QueueAddFile(const std::wstring& File) {
    Queue([this, File, Occurences = FOccurences, Total = FTotalOccurences, Encoding = FFileEncoding,
           Counts = FPairCounts] {
        FDeliveredEncoding = Encoding;
        FDeliveredPairCounts = Counts;
        if (OnSearchAddFile) OnSearchAddFile(File, Occurences, Total);
    }, true);
}

void TWorkThreadSearch::SyncReturnValues() {
    Synchronize([this] {
        if (OnSearchReturnValues) OnSearchReturnValues(FSkipCount);
    });
}
