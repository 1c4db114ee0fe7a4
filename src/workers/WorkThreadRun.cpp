#include "workers/WorkThreadRun.h"

#include "base/TextMatching.h"
#include "files/FileCollection.h"

#include <unordered_set>

TWorkThreadRun::TWorkThreadRun(std::wstring Folder, bool Recursive, std::wstring Filters, std::wstring TextToFind,
                               bool CaseSensitive, TEncodingMode TextEncoding,
                               const TRunShowCurrentFilterEvent& OnShowCurrentFilter,
                               const TRunProgressEvent& OnProgress)
    : FTextToFind(std::move(TextToFind)),
      FCaseSensitive(CaseSensitive),
      FTextEncoding(TextEncoding),
      FFolder(std::move(Folder)),
      FRecursive(Recursive),
      FFilters(std::move(Filters)),
      FOnShowCurrentFilter(OnShowCurrentFilter),
      FOnProgress(OnProgress) {}

void TWorkThreadRun::Execute() {
    RunThenReport([this] { Walk(); }, [this] { SyncReturnValues(); });
}

void TWorkThreadRun::Walk() {
    const TStringArray FilterList = SplitText(FFilters, L"; ");
    const std::wstring Root = WithTrailingBackslash(FFolder);
    TFileCollector Collector;  // later filters reuse the sub-folder lists of the first
    // "*.txt; *.TXT" matches the same files twice; a replacement that contains the
    // text to find must not be applied twice. The collection lists a file by one
    // path however many links lead to it, so the path identifies it.
    std::unordered_set<std::wstring> Examined;
    const bool SeveralFilters = FilterList.size() > 1;
    for (const std::wstring& Filter : FilterList) {
        FCurrentFilter = Filter;
        SyncShowCurrentFilter();
        TStringArray Files = Collector.Collect(Root, Filter, FRecursive, false, false, false);
        if (!Files.empty()) {
            SortFileList(Files, false);
            const auto Count = static_cast<std::int64_t>(Files.size());
            for (std::int64_t i = 0; i < Count; ++i) {
                FProgressValue = static_cast<std::int32_t>(ProgressPercent(i, Count - 1, 100));
                SyncProgress();
                const std::wstring& File = Files[static_cast<size_t>(i)];
                if (!SeveralFilters || Examined.insert(File).second) HandleFile(File);
                if (Terminated()) break;
            }
        }
        if (Terminated()) break;
    }
}

void TWorkThreadRun::SyncShowCurrentFilter() {
    Synchronize([this] {
        if (FOnShowCurrentFilter) FOnShowCurrentFilter(FCurrentFilter);
    });
}

void TWorkThreadRun::SyncProgress() {
    Synchronize([this] {
        if (FOnProgress) FOnProgress(FProgressValue);
    });
}
