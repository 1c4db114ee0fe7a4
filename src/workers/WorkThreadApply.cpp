#include "workers/WorkThreadApply.h"

#include "base/TextMatching.h"
#include "workers/WorkThreadRun.h"
#include "files/SafeFileWriter.h"
#include "files/TextFileReader.h"

TWorkThreadApply::TWorkThreadApply(std::wstring Folder, bool Recursive, std::wstring Filters, std::wstring TextToFind,
                                   std::wstring ReplaceWith, bool CaseSensitive, TEncodingMode TextEncoding)
    : FFolder(std::move(Folder)),
      FRecursive(Recursive),
      FFilters(std::move(Filters)),
      FTextToFind(std::move(TextToFind)),
      FReplaceWith(std::move(ReplaceWith)),
      FCaseSensitive(CaseSensitive),
      FTextEncoding(TextEncoding) {}

TWorkThreadApply::~TWorkThreadApply() {
    TerminateAndWait();
}

void TWorkThreadApply::Execute() {
    RunThenReport([this] { Run(); }, [this] { SyncReturnValues(); });
}

void TWorkThreadApply::Run() {
    FSkipCount = 0;
    FChangeCount = 0;
    FReplaceCount = 0;
    WalkRunFiles(
        FFolder, FFilters, FRecursive,
        [this](const std::wstring& Filter) {
            FCurrentFilter = Filter;
            SyncShowCurrentFilter();
        },
        [this](const std::wstring& File, std::int32_t ProgressValue) {
            FProgressValue = ProgressValue;
            SyncProgress();
            ApplyToFile(File);  // the terminate request is looked at after the write
        },
        [this] { return Terminated(); });
}

void TWorkThreadApply::ApplyToFile(const std::wstring& File) {
    // Only files that contain the text are written, so the raw bytes are kept
    // for the check below.
    TTextFileContent Content = LoadTextFile(File, StoredEncodingMode(FTextEncoding), true);
    if (Content.Mode == 0) {
        ++FSkipCount;  // a mark this program does not handle
        return;
    }
    // Unreadable, invalid in its encoding, or a mode outside 0..3: not touched, not counted.
    if (Content.Mode < 1 || Content.Mode > 3 || !Content.Read || Content.Text.empty()) return;
    if (!TextContains(Content.Text, FTextToFind, FCaseSensitive)) return;

    // Every byte outside the occurrences must come back as it was: the text as read
    // has to encode to exactly the bytes it was read from (an odd final byte of
    // UTF-16, or bytes the ANSI code page does not map back, would be lost).
    std::string Reencoded;
    if (!EncodeText(Content.Text, Content.Mode, Reencoded) || Reencoded != Content.Bytes) {
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
    if (WriteTextFile(File, NewText, Content.Mode)) {
        ++FChangeCount;
        FReplaceCount += Occurrences;
    } else {
        ++FSkipCount;
    }
}

void TWorkThreadApply::SyncShowCurrentFilter() {
    Synchronize([this] {
        if (OnApplyShowCurrentFilter) OnApplyShowCurrentFilter(FCurrentFilter);
    });
}

void TWorkThreadApply::SyncProgress() {
    Synchronize([this] {
        if (OnApplyProgress) OnApplyProgress(FProgressValue);
    });
}

void TWorkThreadApply::SyncReturnValues() {
    Synchronize([this] {
        if (OnApplyReturnValues) OnApplyReturnValues(FChangeCount, FReplaceCount, FSkipCount);
    });
}
