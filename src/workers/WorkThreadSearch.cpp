#include "workers/WorkThreadSearch.h"

#include "base/TextMatching.h"
#include "workers/WorkThreadRun.h"
#include "files/TextFileReader.h"

TWorkThreadSearch::TWorkThreadSearch(std::wstring Folder, bool Recursive, std::wstring Filters,
                                     std::wstring TextToFind, bool CaseSensitive, TEncodingMode TextEncoding)
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
    RunThenReport([this] { Run(); }, [this] { SyncReturnValues(); });
}

void TWorkThreadSearch::Run() {
    FSkipCount = 0;
    FOccurences = 0;
    FTotalOccurences = 0;
    WalkRunFiles(
        FFolder, FFilters, FRecursive,
        [this](const std::wstring& Filter) {
            FCurrentFilter = Filter;
            SyncShowCurrentFilter();
        },
        [this](const std::wstring& File, std::int32_t ProgressValue) {
            FProgressValue = ProgressValue;
            SyncProgress();
            ExamineFile(File);
        },
        [this] { return Terminated(); });
}

void TWorkThreadSearch::ExamineFile(const std::wstring& File) {
    if (FTextToFind.empty()) {
        // Listing mode: every file, neither probed nor read.
        FFileName = File;
        FOccurences = 0;
        FTotalOccurences = 0;
        SyncAddFile();
        return;
    }
    TTextFileContent Content = LoadTextFile(File, StoredEncodingMode(FTextEncoding), false);
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
