#include "workers/WorkThreadApply.h"

#include "base/TextMatching.h"
#include "files/LongPath.h"
#include "files/SafeFileWriter.h"
#include "files/TextDecoding.h"
#include "files/TextFileReader.h"

#include <windows.h>

#include <new>

namespace {

// Now, as the journal names the run.
std::uint64_t RunStartTime() {
    FILETIME Now;
    GetSystemTimeAsFileTime(&Now);
    return (std::uint64_t{Now.dwHighDateTime} << 32) | Now.dwLowDateTime;
}

bool HasNonAscii(std::wstring_view Text) {
    for (wchar_t C : Text)
        if (C >= 0x80) return true;
    return false;
}

}  // namespace

TWorkThreadApply::TWorkThreadApply(std::wstring Folder, bool Recursive, std::wstring Filters, std::wstring TextToFind,
                                   std::wstring ReplaceWith, bool CaseSensitive, TEncodingMode TextEncoding)
    : TWorkThreadRun(Folder, Recursive, Filters, TextToFind, CaseSensitive, TextEncoding, OnApplyShowCurrentFilter,
                     OnApplyProgress),
      FReplaceWith(ReplaceWith),
      FJournal(TUndoRunHeader{RunStartTime(), FullPath(Folder), std::move(Filters), std::move(TextToFind),
                              std::move(ReplaceWith), Recursive, CaseSensitive, TextEncoding}) {}

TWorkThreadApply::~TWorkThreadApply() {
    TerminateAndWait();
}


void TWorkThreadApply::HandleFile(const std::wstring& File) {
    try {
        ApplyToFile(File);
    } catch (const std::bad_alloc&) {
        // Its text or new text does not fit in memory.
        Account(File, 0, FTextEncoding, TApplyFileOutcome::Unreadable);
    }
}

void TWorkThreadApply::Account(const std::wstring& File, std::int32_t Occurrences, TEncodingMode Encoding,
                               TApplyFileOutcome Outcome) {
    if (Outcome == TApplyFileOutcome::Changed || Outcome == TApplyFileOutcome::WouldChange) {
        ++FChangeCount;
        FReplaceCount += Occurrences;
    } else {
        ++FSkipCount;
    }
    if (OnApplyFile) Synchronize([&] { OnApplyFile(File, Occurrences, Encoding, Outcome); });
}

void TWorkThreadApply::ApplyToFile(const std::wstring& File) {
    using enum TApplyFileOutcome;
    // The file is opened exclusively and stays so until its new content is in
    // place: nobody can write to it between the reading and the swap. Only files
    // that contain the text are written, so the raw bytes are kept for the checks.
    TTextFileContent Content = LoadTextFile(File, FTextEncoding, true, TLoadAccess::Exclusive);
    if (Content.InUse) {
        // Another program has the file open: it is left alone. It counts as
        // skipped if it holds the text, or if even a shared read cannot tell.
        Content = LoadTextFile(File, FTextEncoding, false);
        if (Content.Read && (Content.Text.empty() || !TextContains(Content.Text, FTextToFind, FCaseSensitive)))
            return;
        if (Content.Read || Content.Unreadable || Content.UnsupportedMark)
            Account(File, Content.Read ? CountMatches(Content.Text, FTextToFind, FCaseSensitive) : 0, Content.Mode,
                    InUse);
        return;
    }
    if (Content.UnsupportedMark || Content.Unreadable) {
        Account(File, 0, Content.Mode, Content.UnsupportedMark ? UnsupportedMark : Unreadable);
        return;
    }
    // Invalid in its encoding, or a mode outside the four (which reads nothing):
    // not touched, not counted.
    if (!Content.Read || Content.Text.empty()) return;
    if (!TextContains(Content.Text, FTextToFind, FCaseSensitive)) return;
    const std::int32_t Occurrences = CountMatches(Content.Text, FTextToFind, FCaseSensitive);
    const TEncodingMode Mode = Content.Mode;

    // A read-only file says "do not change me".
    if (Content.Stamp.Attributes & FILE_ATTRIBUTE_READONLY) return Account(File, Occurrences, Mode, ReadOnly);
    // Every byte outside the occurrences must come back as it was: the text as read
    // has to encode to exactly the bytes it was read from (an odd final byte of
    // UTF-16, or bytes the ANSI code page does not map back, would be lost).
    std::string Bytes;
    if (!EncodeText(Content.Text, Mode, Bytes) || Bytes != Content.Bytes)
        return Account(File, Occurrences, Mode, NotRoundTrip);
    // A file read as ANSI whose bytes are UTF-8 was written by a UTF-8 program:
    // characters beyond ASCII in ANSI would give it two encodings.
    if (Mode == TEncodingMode::Ansi && GetACP() != CP_UTF8 && HasNonAscii(FReplaceWith) &&
        IsMultiByteUtf8(Content.Bytes))
        return Account(File, Occurrences, Mode, MixedEncoding);
    // The old bytes stay in memory until the journal holds them.

    const std::wstring NewText = ReplaceAll(Content.Text, FTextToFind, FReplaceWith, FCaseSensitive);
    Content.Text.clear();
    Content.Text.shrink_to_fit();
    // The new text must fit the encoding exactly (no best-fit or default characters).
    Bytes = EncodingMark(Mode);
    std::string Encoded;
    if (!EncodeText(NewText, Mode, Encoded)) return Account(File, Occurrences, Mode, CannotEncode);
    if (DryRun) return Account(File, Occurrences, Mode, WouldChange);
    Bytes += Encoded;
    Encoded.clear();
    Encoded.shrink_to_fit();

    // Right before the swap: the file must still be as it was read, as its open
    // handle tells, and its old bytes must be in the undo journal, on the disk.
    // The handle is let go only then, since the system does not replace an open
    // file, and the swap follows in the next call.
    const TFileStamp ReadStamp = Content.Stamp;
    bool Meanwhile = false, NotRecorded = false;
    const bool Written = WriteFileBytes(File, Bytes, [&] {
        TFileStamp Now;
        Meanwhile = !FileStampOf(Content.Held.Get(), Now) || Now != ReadStamp;
        NotRecorded = !Meanwhile && !FJournal.Record(File, Mode, Content.Mark, Content.Bytes, Bytes);
        Content.Held.Reset();
        return !Meanwhile && !NotRecorded;
    });
    Account(File, Occurrences, Mode,
            Written ? Changed : Meanwhile ? ChangedMeanwhile : NotRecorded ? JournalFailed : WriteFailed);
}

void TWorkThreadApply::SyncReturnValues() {
    // The run's journal is closed before anyone hears of its end: an undo may
    // follow at once.
    try {
        FJournal.Finish();
    } catch (...) {
        // Its entries are on the disk; the end mark only saves a later count.
    }
    Synchronize([this] {
        if (OnApplyReturnValues) OnApplyReturnValues(FChangeCount, FReplaceCount, FSkipCount);
    });
}
