#include "workers/WorkThreadApply.h"

#include "base/TextLineBreaks.h"
#include "files/LongPath.h"
#include "files/SafeFileWriter.h"
#include "files/TextDecoding.h"
#include "files/TextFileReader.h"
#include "workers/ApplyPieces.h"

#include <windows.h>

#include <new>

namespace {

// Now, as the journal names the run.
std::uint64_t RunStartTime() {
    FILETIME Now;
    GetSystemTimeAsFileTime(&Now);
    return (std::uint64_t{Now.dwHighDateTime} << 32) | Now.dwLowDateTime;
}

// The texts the journal names the run by: with several pairs, their finds and
// their replacements, one a line, in order.
std::wstring JournalText(const std::vector<TReplaceRule>& Pairs, bool Find) {
    std::wstring Text;
    for (const TReplaceRule& Pair : Pairs) {
        if (&Pair != &Pairs.front()) Text += L'\n';
        Text += Find ? Pair.TextToFind : Pair.ReplaceWith;
    }
    return Text;
}

}  // namespace

TWorkThreadApply::TWorkThreadApply(std::wstring Folder, bool Recursive, std::wstring Filters, std::wstring TextToFind,
                                   std::wstring ReplaceWith, bool CaseSensitive, TEncodingMode TextEncoding,
                                   TFindRule Rule)
    : TWorkThreadApply(std::move(Folder), Recursive, std::move(Filters),
                       std::vector<TReplaceRule>{{std::move(TextToFind), std::move(ReplaceWith)}}, CaseSensitive,
                       TextEncoding, Rule) {}

TWorkThreadApply::TWorkThreadApply(std::wstring Folder, bool Recursive, std::wstring Filters,
                                   std::vector<TReplaceRule> Pairs, bool CaseSensitive, TEncodingMode TextEncoding,
                                   TFindRule Rule)
    : TWorkThreadRun(Folder, Recursive, Filters, Pairs, CaseSensitive, TextEncoding, OnApplyShowCurrentFilter,
                     OnApplyProgress, Rule),
      FJournal(TUndoRunHeader{RunStartTime(), FullPath(Folder), std::move(Filters), JournalText(Pairs, true),
                              JournalText(Pairs, false), Recursive, CaseSensitive, TextEncoding}) {}

TWorkThreadApply::~TWorkThreadApply() {
    TerminateAndWait();
}


// What became of one file on its pool thread.
struct TWorkThreadApply::TAppliedFile : TPreparedFile {
    std::wstring File;
    bool Reported = false;       // counted as changed or skipped (files without the text are not)
    bool WriteBegun = false;     // the swap was attempted: reported even after a stop
    std::int32_t Occurrences = 0;
    TEncodingMode Mode = TEncodingMode::Auto;
    TApplyFileOutcome Outcome = TApplyFileOutcome::Changed;
    std::optional<TReviewStamp> Stamp;  // RecordStamps: the file as read

    void Report(std::int32_t Found, TEncodingMode ReadMode, TApplyFileOutcome Result) {
        Reported = true;
        Occurrences = Found;
        Mode = ReadMode;
        Outcome = Result;
    }
};

// A pool thread's reader and sinks, kept from file to file.
struct TWorkThreadApply::TPieceSlot {
    TTextFileReader Reader;
    TApplyScanSink Scan;
    TApplyWriteSink Write;
    TPieceSlot(const TReplaceRule& Rule, const TextScanner& Scanner)
        : Scan(Scanner, HoldsLineBreak(Rule.ReplaceWith)), Write(Scanner, Rule.ReplaceWith) {}
};

void TWorkThreadApply::PoolStarted(unsigned Threads) {
    const bool InPieces = FRules.Size() == 1 && TPieceReplacer::ReplacesInPieces(FRules.Scanner(0)) &&
                          TTextFileReader::ScansAnsi();
    FSlots.clear();
    if (!InPieces) return;
    for (unsigned Slot = 0; Slot < Threads; ++Slot)
        FSlots.push_back(std::make_unique<TPieceSlot>(FRules.Rule(0), FRules.Scanner(0)));
}

template <typename TCall>
bool TWorkThreadApply::InJournal(TCall Call) {
    try {
        return Call(FJournal);
    } catch (...) {
        // Memory ran out on the way: the journal is as the call left it, which
        // its callers take for a failure.
        return false;
    }
}

std::unique_ptr<TPreparedFile> TWorkThreadApply::PrepareFile(const std::wstring& File, TFilePipeline::TTicket& Ticket) {
    auto Applied = std::make_unique<TAppliedFile>();
    Applied->File = File;
    try {
        if (FSlots.empty())
            ApplyToFile(File, Ticket, *Applied);
        else
            ApplyInPieces(File, Ticket, *Applied, *FSlots[Ticket.Slot]);
    } catch (const std::bad_alloc&) {
        // Its text or new text does not fit in memory. An entry made for it
        // stays: its file holds its old bytes, or its new ones if the swap came.
        *Applied = TAppliedFile{};
        Applied->File = File;
        Applied->Reported = true;
        Applied->Mode = FTextEncoding;
        Applied->Outcome = TApplyFileOutcome::Unreadable;
    }
    return Applied;
}

void TWorkThreadApply::DeliverFile(const std::wstring& /*File*/, TPreparedFile* Prepared) {
    if (auto* Applied = static_cast<TAppliedFile*>(Prepared); Applied && Applied->Reported) Account(*Applied);
}

void TWorkThreadApply::DeliverLeftover(TPreparedFile& Prepared) {
    auto& Applied = static_cast<TAppliedFile&>(Prepared);
    if (Applied.Reported && Applied.WriteBegun) Account(Applied);
}

void TWorkThreadApply::Account(const TAppliedFile& Applied) {
    if (Applied.Outcome == TApplyFileOutcome::Changed || Applied.Outcome == TApplyFileOutcome::WouldChange) {
        ++FChangeCount;
        FReplaceCount += Applied.Occurrences;
    } else {
        ++FSkipCount;
        if (Applied.Outcome == TApplyFileOutcome::JournalFailed) ++FJournalFailCount;
    }
    if (Applied.Stamp && OnApplyFileStamp)
        Queue([this, File = Applied.File, Stamp = *Applied.Stamp] { OnApplyFileStamp(File, Stamp); }, false);
    // What was done to a file is always told, even after a stop.
    if (OnApplyFile)
        Queue([this, File = Applied.File, Occurrences = Applied.Occurrences, Mode = Applied.Mode,
               Outcome = Applied.Outcome] { OnApplyFile(File, Occurrences, Mode, Outcome); },
              false);
}

void TWorkThreadApply::ApplyToFile(const std::wstring& File, TFilePipeline::TTicket& Ticket,
                                   TAppliedFile& Applied) {
    // The file is opened exclusively and stays so until its new content is in
    // place: nobody can write to it between the reading and the swap. Only files
    // that contain the text are written, so the raw bytes are kept for the checks.
    // It holds its bytes, its text, the new text and the new bytes at most.
    // Files are opened in the run's order, so that of two paths to one file (a
    // link) the earlier holds it first, as a run on one thread would. No open
    // falls between another file's letting go and its swap (FSwapLock): the
    // system does not replace a file that is open, even through another name.
    using TTurn = TFilePipeline::TTurn;
    TSharedHold OpenHold;
    const auto AdmitAfterOpen = [&](std::uint64_t Size) {
        OpenHold.Release();
        Ticket.PassTurn(TTurn::Open);
        return Ticket.Admit(6 * Size);
    };
    const auto LoadHeld = [&] {
        OpenHold.Acquire(FSwapLock);
        TTextFileContent Loaded = LoadTextFile(File, FTextEncoding, true, TLoadAccess::Exclusive, AdmitAfterOpen);
        OpenHold.Release();
        return Loaded;
    };
    Ticket.AwaitTurn(TTurn::Open);
    TTextFileContent Content = LoadHeld();
    if (Content.InUse) {
        // The holder may be this run: the same file reached through another path
        // for an earlier file of the list. Once every earlier file is done with
        // its file, a second try tells.
        Ticket.PassTurn(TTurn::Open);
        Ticket.AwaitTurn(TTurn::Swap);
        Content = LoadHeld();
    }
    if (Content.Abandoned) return;
    if (MetBefore(File, Content.Held.Get())) return;
    Ticket.PassTurn(TTurn::Open);
    TApplyFacts Facts;
    Facts.DryRun = DryRun;
    const auto ReadFacts = [&] {
        Facts.UnsupportedMark = Content.UnsupportedMark;
        Facts.Unreadable = Content.Unreadable;
        Facts.Read = Content.Read;
        Facts.Invalid = Content.Invalid;
        Facts.HoldsText = Content.Read && !Content.Text.empty() && Holds(Content.Text);
        Facts.Occurrences = Facts.HoldsText ? Occurrences(Content.Text) : 0;
    };
    const auto Tell = [&](const TApplyDecision& Decision) {
        if (Decision.Action != TApplyDecision::TAction::Leave)
            Applied.Report(Decision.Occurrences, Content.Mode, Decision.Outcome);
    };
    if (Content.InUse) {
        // Another program has the file open: it is left alone, and a shared read
        // tells whether it counts as skipped.
        OpenHold.Acquire(FSwapLock);
        Content = LoadTextFile(File, FTextEncoding, false);
        OpenHold.Release();
        Facts.InUse = true;
        ReadFacts();
        return Tell(DecideApply(Facts));
    }
    ReadFacts();
    const auto StampOf = [&] {
        TSha256 Hash;
        Hash.Update(Content.Mark);
        Hash.Update(Content.Bytes);
        return TReviewStamp{Content.Stamp.Size, Content.Stamp.LastWrite, Hash.Finish()};
    };
    // Compared under the exclusive open that lasts until the swap: what the
    // review showed is what is replaced, or nothing is.
    if (const auto Expected = ExpectedStamps.find(File); Expected != ExpectedStamps.end())
        Facts.ChangedSinceReview = Expected->second != StampOf();
    const TEncodingMode Mode = Content.Mode;
    Facts.LooksBinary = ::LooksBinary(Mode, Content.Mark, Content.Bytes);
    Facts.ReadOnly = (Content.Stamp.Attributes & FILE_ATTRIBUTE_READONLY) != 0;
    TApplyDecision Decision = DecideApply(Facts);
    if (Decision.Examined && RecordStamps) Applied.Stamp = StampOf();
    // The costly facts weigh last: each is gathered only while the file would
    // still change. The old bytes stay in memory until the journal holds them.
    const auto Changing = [&] { return Decision.Action == TApplyDecision::TAction::Change; };
    std::string Bytes;
    if (Changing()) {
        Facts.RoundTrip = EncodeText(Content.Text, Mode, Bytes) && Bytes == Content.Bytes;
        // A file read as ANSI whose bytes are UTF-8 was written by a UTF-8 program:
        // characters beyond ASCII in ANSI would give it two encodings.
        Facts.MixedEncoding = Mode == TEncodingMode::Ansi && GetACP() != CP_UTF8 && FRules.ReplacesWithNonAscii() &&
                              IsMultiByteUtf8(Content.Bytes);
        Decision = DecideApply(Facts);
    }
    std::string Encoded;
    if (Changing()) {
        const std::wstring NewText = Replaced(Content.Text);
        // A pattern may write back what it found (a(b) as a$1), and pairs may undo
        // each other: a file whose text would not change is left as it is.
        Facts.TextChanges = NewText != Content.Text;
        Content.Text.clear();
        Content.Text.shrink_to_fit();
        // The file keeps the mark it had, and gains none: a mark where there was
        // none breaks scripts and parsers that read the file.
        Bytes = Content.Mark;
        Facts.NewTextFits = EncodeText(NewText, Mode, Encoded);
        Decision = DecideApply(Facts);
    }
    if (!Changing() || Decision.Outcome == TApplyFileOutcome::WouldChange) return Tell(Decision);
    Applied.Occurrences = Decision.Occurrences;
    Applied.Mode = Mode;
    Bytes += Encoded;
    Encoded.clear();
    Encoded.shrink_to_fit();

    // Once the run is stopping, no file is begun: this one stays as it was, unreported.
    if (Stopping()) return;
    Applied.WriteBegun = true;
    const TFileStamp ReadStamp = Content.Stamp;
    // A file reached through a file link is written where it is, and recorded
    // there for an undo: the link stays a link.
    const std::wstring Target = LinkedFilePath(Content.Held.Get(), File);
    Commit(
        Ticket, Content.Held, ReadStamp, Target, Applied,
        [&](TUndoJournalWriter& Journal, TUndoJournalWriter::TEntryId& Entry) {
            if (!Journal.Add(Target, Mode, Content.Mark, Content.Bytes, Bytes, Entry)) return false;
            Content.Bytes.clear();
            Content.Bytes.shrink_to_fit();
            return true;
        },
        [&](const std::function<bool()>& BeforeSwap) {
            return ReplaceHeldFile(Target, Bytes, Content.Held, ReadStamp, BeforeSwap);
        });
}

void TWorkThreadApply::ApplyInPieces(const std::wstring& File, TFilePipeline::TTicket& Ticket, TAppliedFile& Applied,
                                     TPieceSlot& Slot) {
    // As ApplyToFile, with the file read twice while it is held, a piece at a
    // time (see ApplyPieces.h), its new content written to the temporary file as
    // it is made, and its old bytes copied into the journal from the file.
    using TTurn = TFilePipeline::TTurn;
    UniqueFile Held;
    TFileStamp ReadStamp;
    bool InUse = false;
    const auto OpenHeld = [&] {
        TSharedHold OpenHold(FSwapLock);
        return OpenHeldFile(File, Held, ReadStamp, InUse);
    };
    Ticket.AwaitTurn(TTurn::Open);
    bool Opened = OpenHeld();
    Ticket.PassTurn(TTurn::Open);
    if (!Opened && InUse) {
        // The holder may be this run (see ApplyToFile): a second try tells.
        Ticket.AwaitTurn(TTurn::Swap);
        Opened = OpenHeld();
    }
    if (MetBefore(File, Held.Get())) return;
    // The memory of the pieces, whatever the file's size.
    if (Opened && !Ticket.Admit(3 * TTextFileReader::PieceMemory())) return;
    TTextFileReader& Reader = Slot.Reader;
    TApplyScanSink& Scan = Slot.Scan;
    TApplyFacts Facts;
    Facts.DryRun = DryRun;
    TTextFileReader::TResult Read;
    const auto ReadFacts = [&] {
        Facts.UnsupportedMark = Read.UnsupportedMark;
        Facts.Unreadable = Read.Unreadable;
        Facts.Read = Read.Read;
        Facts.Invalid = Read.Invalid;
        // As Holds: one plain text to find is contained under the linguistic mapping.
        Facts.HoldsText = Read.Read && (FPlain ? Scan.Holds() : Scan.Count() > 0);
        Facts.Occurrences = Facts.HoldsText ? Scan.Count() : 0;
    };
    const auto Tell = [&](const TApplyDecision& Decision) {
        if (Decision.Action != TApplyDecision::TAction::Leave)
            Applied.Report(Decision.Occurrences, Read.Mode, Decision.Outcome);
    };
    if (!Opened) {
        if (InUse) {
            // Another program has the file open: a shared read tells whether it
            // counts as skipped.
            TSharedHold OpenHold(FSwapLock);
            Scan.HashBytes(false);
            Read = Reader.Scan(File, FTextEncoding, Scan);
            Facts.InUse = true;
        } else {
            Read.Mode = FTextEncoding;
            Read.Unreadable = true;
        }
        ReadFacts();
        return Tell(DecideApply(Facts));
    }
    const auto Expected = ExpectedStamps.find(File);
    Scan.HashBytes(RecordStamps || Expected != ExpectedStamps.end());
    Read = Reader.ScanHeld(Held.Get(), FTextEncoding, Scan);
    ReadFacts();
    const TReviewStamp Stamp{ReadStamp.Size, ReadStamp.LastWrite, Scan.Digest()};
    if (Expected != ExpectedStamps.end()) Facts.ChangedSinceReview = Expected->second != Stamp;
    const TEncodingMode Mode = Read.Mode;
    Facts.LooksBinary = ::LooksBinary(Mode, Scan.FileMark(), Scan.Head());
    Facts.ReadOnly = (ReadStamp.Attributes & FILE_ATTRIBUTE_READONLY) != 0;
    TApplyDecision Decision = DecideApply(Facts);
    if (Decision.Examined && RecordStamps) Applied.Stamp = Stamp;
    if (Decision.Action != TApplyDecision::TAction::Change) return Tell(Decision);

    // The second reading gathers the costly facts, and writes the new content
    // beside the file as it goes; a file that fails one on the way (perhaps in
    // its last piece) loses its temporary file and stays as it is.
    const bool Writing = Decision.Outcome == TApplyFileOutcome::Changed;
    // A stopping run begins no file (below): its new content is not made either.
    if (Writing && Stopping()) return;
    const std::wstring Target = LinkedFilePath(Held.Get(), File);
    TNewFileContent Content;
    if (Writing) Content.Begin(Target);
    // A file read as ANSI whose bytes are UTF-8 was written by a UTF-8 program:
    // characters beyond ASCII in ANSI would give it two encodings.
    const bool WatchUtf8 = Mode == TEncodingMode::Ansi && GetACP() != CP_UTF8 && FRules.ReplacesWithNonAscii();
    TApplyWriteSink& Write = Slot.Write;
    Write.Prepare(Mode, Scan.FirstBreak(), WatchUtf8, Writing ? &Content : nullptr);
    const TTextFileReader::TResult Again = Reader.ScanHeld(Held.Get(), Mode, Write);
    Facts.Unreadable = !Again.Read;
    Facts.RoundTrip = Write.RoundTrip();
    Facts.MixedEncoding = WatchUtf8 && Write.MultiByteUtf8();
    Facts.NewTextFits = Write.NewTextFits();
    const std::uint64_t OldSize = Write.OldSize(), NewSize = Write.NewSize();
    const TSha256Digest OldHash = Write.OldDigest(), NewHash = Write.NewDigest();
    // Its encoding gives every text its own bytes: the same bytes, the same text.
    Facts.TextChanges = !Facts.NewTextFits || OldSize != NewSize || OldHash != NewHash;
    const bool Written = Write.Written();
    Write.Trim();
    Decision = DecideApply(Facts);
    if (Decision.Action != TApplyDecision::TAction::Change || !Writing) return Tell(Decision);
    Applied.Occurrences = Decision.Occurrences;
    Applied.Mode = Mode;

    // Once the run is stopping, no file is begun: this one stays as it was, unreported.
    if (Stopping()) return;
    Applied.WriteBegun = true;
    if (!Written) {
        Held.Reset();
        return Applied.Report(Decision.Occurrences, Mode, TApplyFileOutcome::WriteFailed);
    }
    Commit(
        Ticket, Held, ReadStamp, Target, Applied,
        [&](TUndoJournalWriter& Journal, TUndoJournalWriter::TEntryId& Entry) {
            return Journal.Add(Target, Mode, Held.Get(), OldSize, OldHash, NewSize, NewHash, Entry);
        },
        [&](const std::function<bool()>& BeforeSwap) {
            return ReplaceHeldFile(Content, NewHash, Held, ReadStamp, BeforeSwap);
        });
}

bool TWorkThreadApply::MetBefore(const std::wstring& File, HANDLE Held) {
    // Another name of a file met before in the run (a link): it was examined
    // then, under the name the run met first. A held file is told by its own
    // handle (no other name of it opens meanwhile); any other by its name, under
    // the swap lock, so no swap of the run falls between a file's new content
    // taking its name and its new identity being known (Commit).
    TFileId Id;
    if (std::uint64_t Number; Held && Held != INVALID_HANDLE_VALUE && FileNumberOf(Held, Number))
        return IdentityOf(File, Number, Id) && !FirstMeeting(Id);
    TSharedHold OpenHold(FSwapLock);
    return IdentityOf(File, Id) && !FirstMeeting(Id);
}

void TWorkThreadApply::Commit(TFilePipeline::TTicket& Ticket, UniqueFile& Held, const TFileStamp& ReadStamp,
                              const std::wstring& Target, TAppliedFile& Applied, const TJournalAdd& Add,
                              const TSwapWrite& Write) {
    using enum TApplyFileOutcome;
    using TTurn = TFilePipeline::TTurn;
    // The old bytes go into the undo journal now, in the run's order, and reach
    // the disk right before the swap: one flush there serves every entry added
    // meanwhile, while the new content is written side by side.
    TUndoJournalWriter::TEntryId Entry = 0;
    Ticket.AwaitTurn(TTurn::Journal);
    const bool Added = InJournal([&](TUndoJournalWriter& Journal) { return Add(Journal, Entry); });
    Ticket.PassTurn(TTurn::Journal);
    if (!Added) return Applied.Report(Applied.Occurrences, Applied.Mode, JournalFailed);
    // Right before the swap: the file must still be as it was read, as its open
    // handle tells, and its entry must be on the disk. Where the system cannot
    // replace an open file, the handle is let go only then, the swap follows in
    // the next call, and a write another program makes in between undoes the
    // swap (ReplaceHeldFile). Files are swapped in the run's order, so the disk
    // changes in the order the journal lists the files.
    bool Meanwhile = false, NotRecorded = false;
    TExclusiveHold SwapHold;  // from letting go of the file to its swap and its check
    const THeldWriteResult Written = Write([&] {
        Ticket.AwaitTurn(TTurn::Swap);
        TFileStamp Now;
        Meanwhile = !FileStampOf(Held.Get(), Now) || Now != ReadStamp;
        NotRecorded =
            !Meanwhile && !InJournal([&](TUndoJournalWriter& Journal) { return Journal.MakeDurable(Entry); });
        SwapHold.Acquire(FSwapLock);
        return !Meanwhile && !NotRecorded;
    });
    const THeldWrite Swap = Written.Outcome;
    // A file that does not hold its new content (never swapped, or swapped back)
    // has no entry. No later file has been swapped yet: this one holds its turn.
    InJournal([&](TUndoJournalWriter& Journal) {
        if (Swap != THeldWrite::Written) return Journal.Withdraw(Entry);
        Journal.Keep(Entry);
        return true;
    });
    // Written anew, the file has a new identity: another name leading to it (the
    // target of a file link) is still the file examined here.
    if (TFileId Id; Swap == THeldWrite::Written &&
                    (Written.Number ? IdentityOf(Target, Written.Number, Id) : IdentityOf(Target, Id)))
        FirstMeeting(Id);
    SwapHold.Release();
    Ticket.PassTurn(TTurn::Swap);
    Applied.Report(Applied.Occurrences, Applied.Mode,
                   Swap == THeldWrite::Written              ? Changed
                   : Swap == THeldWrite::ChangedDuringWrite ? ChangedDuringWrite
                   : Meanwhile                              ? ChangedMeanwhile
                   : NotRecorded                            ? JournalFailed
                                                            : WriteFailed);
}

void TWorkThreadApply::WalkStarting() {
    // A preview writes nothing, and so tidies nothing either.
    if (!DryRun) FTemporaryFiles.emplace();
}

void TWorkThreadApply::SyncReturnValues() {
    // The run's journal is closed before anyone hears of its end: an undo may
    // follow at once.
    try {
        FJournal.Finish();
    } catch (...) {
        // Its entries are on the disk; the end mark only saves a later count.
    }
    FTemporaryFiles.reset();
    Synchronize([this] {
        if (OnApplyReturnValues) OnApplyReturnValues(FChangeCount, FReplaceCount, FSkipCount);
    });
}
