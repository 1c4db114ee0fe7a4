#include "workers/WorkThreadApply.h"

#include "base/TextMatching.h"
#include "files/SafeFileWriter.h"
#include "files/TextDecoding.h"
#include "files/TextFileReader.h"

#include <windows.h>

#include <new>

TWorkThreadApply::TWorkThreadApply(std::wstring Folder, bool Recursive, std::wstring Filters, std::wstring TextToFind,
                                   std::wstring ReplaceWith, bool CaseSensitive, TEncodingMode TextEncoding)
    : TWorkThreadRun(std::move(Folder), Recursive, std::move(Filters), std::move(TextToFind), CaseSensitive,
                     TextEncoding, OnApplyShowCurrentFilter, OnApplyProgress),
      FReplaceWith(std::move(ReplaceWith)) {}

TWorkThreadApply::~TWorkThreadApply() {
    TerminateAndWait();
}

namespace {

bool HasNonAscii(std::wstring_view Text) {
    for (wchar_t C : Text)
        if (C >= 0x80) return true;
    return false;
}

}  // namespace

void TWorkThreadApply::HandleFile(const std::wstring& File) {
    try {
        ApplyToFile(File);
    } catch (const std::bad_alloc&) {
        ++FSkipCount;  // its text or new text does not fit in memory
    }
}

void TWorkThreadApply::ApplyToFile(const std::wstring& File) {
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
        if (Content.Read || Content.Unreadable || Content.UnsupportedMark) ++FSkipCount;
        return;
    }
    if (Content.UnsupportedMark || Content.Unreadable) {
        ++FSkipCount;
        return;
    }
    // Invalid in its encoding, or a mode outside the four (which reads nothing):
    // not touched, not counted.
    if (!Content.Read || Content.Text.empty()) return;
    if (!TextContains(Content.Text, FTextToFind, FCaseSensitive)) return;

    // A read-only file says "do not change me".
    if (Content.Stamp.Attributes & FILE_ATTRIBUTE_READONLY) {
        ++FSkipCount;
        return;
    }
    // Every byte outside the occurrences must come back as it was: the text as read
    // has to encode to exactly the bytes it was read from (an odd final byte of
    // UTF-16, or bytes the ANSI code page does not map back, would be lost).
    std::string Bytes;
    if (!EncodeText(Content.Text, Content.Mode, Bytes) || Bytes != Content.Bytes) {
        ++FSkipCount;
        return;
    }
    // A file read as ANSI whose bytes are UTF-8 was written by a UTF-8 program:
    // characters beyond ASCII in ANSI would give it two encodings.
    if (Content.Mode == TEncodingMode::Ansi && GetACP() != CP_UTF8 && HasNonAscii(FReplaceWith) &&
        IsMultiByteUtf8(Content.Bytes)) {
        ++FSkipCount;
        return;
    }
    Content.Bytes.clear();
    Content.Bytes.shrink_to_fit();

    const std::int32_t Occurrences = CountMatches(Content.Text, FTextToFind, FCaseSensitive);
    const std::wstring NewText = ReplaceAll(Content.Text, FTextToFind, FReplaceWith, FCaseSensitive);
    Content.Text.clear();
    Content.Text.shrink_to_fit();
    // The new text must fit the encoding exactly (no best-fit or default characters).
    Bytes = EncodingMark(Content.Mode);
    std::string Encoded;
    if (!EncodeText(NewText, Content.Mode, Encoded)) {
        ++FSkipCount;
        return;
    }
    Bytes += Encoded;
    Encoded.clear();
    Encoded.shrink_to_fit();

    // Right before the swap: the file must still be as it was read. The handle is
    // let go only then, since the system does not replace an open file; the name
    // is asked once more after that, leaving no more than a moment between.
    const TFileStamp ReadStamp = Content.Stamp;
    const bool Written = WriteFileBytes(File, Bytes, [&] {
        TFileStamp Now;
        if (!FileStampOf(Content.Held.Get(), Now) || Now != ReadStamp) return false;
        Content.Held.Reset();
        return FileStampAt(File, Now) && Now == ReadStamp;
    });
    if (Written) {
        ++FChangeCount;
        FReplaceCount += Occurrences;
    } else {
        ++FSkipCount;
    }
}

void TWorkThreadApply::SyncReturnValues() {
    Synchronize([this] {
        if (OnApplyReturnValues) OnApplyReturnValues(FChangeCount, FReplaceCount, FSkipCount);
    });
}
