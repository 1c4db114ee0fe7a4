#include "workers/WorkThreadApply.h"

#include "base/TextMatching.h"
#include "files/SafeFileWriter.h"
#include "files/TextFileReader.h"

TWorkThreadApply::TWorkThreadApply(std::wstring Folder, bool Recursive, std::wstring Filters, std::wstring TextToFind,
                                   std::wstring ReplaceWith, bool CaseSensitive, TEncodingMode TextEncoding)
    : TWorkThreadRun(std::move(Folder), Recursive, std::move(Filters), std::move(TextToFind), CaseSensitive,
                     TextEncoding, OnApplyShowCurrentFilter, OnApplyProgress),
      FReplaceWith(std::move(ReplaceWith)) {}

TWorkThreadApply::~TWorkThreadApply() {
    TerminateAndWait();
}

void TWorkThreadApply::HandleFile(const std::wstring& File) {
    // Only files that contain the text are written, so the raw bytes are kept
    // for the check below.
    TTextFileContent Content = LoadTextFile(File, FTextEncoding, true);
    if (Content.UnsupportedMark) {
        ++FSkipCount;
        return;
    }
    // Unreadable, invalid in its encoding, or a mode outside the four (which
    // reads nothing): not touched, not counted.
    if (!Content.Read || Content.Text.empty()) return;
    if (!TextContains(Content.Text, FTextToFind, FCaseSensitive)) return;

    // Every byte outside the occurrences must come back as it was: the text as read
    // has to encode to exactly the bytes it was read from (an odd final byte of
    // UTF-16, or bytes the ANSI code page does not map back, would be lost).
    const std::int32_t Encoding = StoredEncodingMode(Content.Mode);
    std::string Reencoded;
    if (!EncodeText(Content.Text, Encoding, Reencoded) || Reencoded != Content.Bytes) {
        ++FSkipCount;
        return;
    }
    Reencoded.clear();
    Reencoded.shrink_to_fit();
    Content.Bytes.clear();
    Content.Bytes.shrink_to_fit();

    const std::int32_t Occurrences = CountMatches(Content.Text, FTextToFind, FCaseSensitive);
    const std::wstring NewText = ReplaceAll(Content.Text, FTextToFind, FReplaceWith, FCaseSensitive);
    Content.Text.clear();
    Content.Text.shrink_to_fit();
    // WriteTextFile refuses a text the encoding cannot hold (no best-fit or default
    // characters) before touching the file, and puts the old file back on any
    // failure: either way the file is unchanged and counted as skipped.
    if (WriteTextFile(File, NewText, Encoding)) {
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
