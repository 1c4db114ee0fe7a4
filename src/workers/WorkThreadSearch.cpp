#include "workers/WorkThreadSearch.h"

#include "base/TextMatching.h"
#include "files/TextFileReader.h"

#include <new>

TWorkThreadSearch::TWorkThreadSearch(std::wstring Folder, bool Recursive, std::wstring Filters,
                                     std::wstring TextToFind, bool CaseSensitive, TEncodingMode TextEncoding)
    : TWorkThreadRun(std::move(Folder), Recursive, std::move(Filters), std::move(TextToFind), CaseSensitive,
                     TextEncoding, OnSearchShowCurrentFilter, OnSearchProgress) {}

TWorkThreadSearch::~TWorkThreadSearch() {
    TerminateAndWait();
}

void TWorkThreadSearch::HandleFile(const std::wstring& File) {
    if (FTextToFind.empty()) {
        // Listing mode: every file, neither probed nor read.
        FFileName = File;
        FOccurences = 0;
        FFileEncoding = FTextEncoding;
        FTotalOccurences = 0;
        SyncAddFile();
        return;
    }
    try {
        TTextFileContent Content = LoadTextFile(File, FTextEncoding, false);
        if (Content.UnsupportedMark || Content.Unreadable) {
            // Not looked at: counted, so that a run never seems complete when it was not.
            ++FSkipCount;
            FOccurences = 0;
        } else if (IsKnownEncodingMode(Content.Mode)) {
            FOccurences = CountMatches(Content.Text, FTextToFind, FCaseSensitive);
            FFileEncoding = Content.Mode;
        }
    } catch (const std::bad_alloc&) {
        ++FSkipCount;
        FOccurences = 0;
    }
    // A mode outside the four reads nothing and leaves the count as it was.
    if (FOccurences > 0) {
        FTotalOccurences += FOccurences;
        FFileName = File;
        SyncAddFile();
    }
}

void TWorkThreadSearch::SyncAddFile() {
    Synchronize([this] {
        if (OnSearchAddFile) OnSearchAddFile(FFileName, FOccurences, FTotalOccurences);
    });
}

void TWorkThreadSearch::SyncReturnValues() {
    Synchronize([this] {
        if (OnSearchReturnValues) OnSearchReturnValues(FSkipCount);
    });
}
