#include "engine/WorkThreadSearch.h"

#include "engine/TextMatching.h"
#include "files/FileCollection.h"
#include "files/TextFileReader.h"

TWorkThreadSearch::TWorkThreadSearch(std::wstring Folder, bool Recursive, std::wstring Filters,
                                     std::wstring TextToFind, bool CaseSensitive, std::int32_t TextEncoding)
    : FFolder(std::move(Folder)),
      FRecursive(Recursive),
      FFilters(std::move(Filters)),
      FTextToFind(std::move(TextToFind)),
      FCaseSensitive(CaseSensitive),
      FTextEncoding(TextEncoding) {}

TWorkThreadSearch::~TWorkThreadSearch() {
    TerminateAndWait();
}

void TWorkThreadSearch::Execute() {
    try {
        Run();
    } catch (...) {
        // A fault (memory exhausted on a huge file, a failing handler) ends the
        // run early; the window still learns that it is over.
    }
    try {
        SyncReturnValues();
    } catch (...) {
    }
}

void TWorkThreadSearch::Run() {
    FSkipCount = 0;
    FOccurences = 0;
    FTotalOccurences = 0;
    const TStringArray Filters = SplitText(FFilters, L"; ");
    const std::wstring Folder = WithTrailingBackslash(FFolder);
    TFileCollector Collector;  // later filters reuse the sub-folder lists of the first
    for (const std::wstring& Filter : Filters) {
        FCurrentFilter = Filter;
        SyncShowCurrentFilter();
        TStringArray Files = Collector.Collect(Folder, Filter, FRecursive, false, false, false);
        if (!Files.empty()) {
            SortFileList(Files, false);
            const auto Count = static_cast<std::int64_t>(Files.size());
            for (std::int64_t i = 0; i < Count; ++i) {
                const std::wstring& File = Files[static_cast<size_t>(i)];
                FProgressValue = static_cast<std::int32_t>(ProgressPercent(i, Count - 1, 100));
                SyncProgress();
                if (FTextToFind.empty()) {
                    // Listing mode: every file, neither probed nor read.
                    FFileName = File;
                    FOccurences = 0;
                    FTotalOccurences = 0;
                    SyncAddFile();
                } else {
                    TTextFileContent Content = LoadTextFile(File, FTextEncoding, false);
                    if (Content.Mode == 0) {
                        ++FSkipCount;
                        FOccurences = 0;
                    } else if (Content.Mode >= 1 && Content.Mode <= 3) {
                        FOccurences = CountMatches(Content.Text, FTextToFind, FCaseSensitive);
                    }
                    // A mode outside 0..3 reads nothing and leaves the count as it was.
                    if (FOccurences > 0) {
                        FTotalOccurences += FOccurences;
                        FFileName = File;
                        SyncAddFile();
                    }
                }
                if (Terminated()) break;
            }
        }
        if (Terminated()) break;
    }
}

void TWorkThreadSearch::SyncShowCurrentFilter() {
    Synchronize([this] {
        if (OnSearchShowCurrentFilter) OnSearchShowCurrentFilter(FCurrentFilter);
    });
}

void TWorkThreadSearch::SyncProgress() {
    Synchronize([this] {
        if (OnSearchProgress) OnSearchProgress(FProgressValue);
    });
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
