#include "workers/WorkThreadRun.h"

#include "base/TextMatching.h"
#include "files/FileCollection.h"

void WalkRunFiles(const std::wstring& Folder, const std::wstring& Filters, bool Recursive,
                  const std::function<void(const std::wstring& Filter)>& OnFilter,
                  const std::function<void(const std::wstring& File, std::int32_t ProgressValue)>& OnFile,
                  const std::function<bool()>& Terminated) {
    const TStringArray FilterList = SplitText(Filters, L"; ");
    const std::wstring Root = WithTrailingBackslash(Folder);
    TFileCollector Collector;  // later filters reuse the sub-folder lists of the first
    for (const std::wstring& Filter : FilterList) {
        OnFilter(Filter);
        TStringArray Files = Collector.Collect(Root, Filter, Recursive, false, false, false);
        if (!Files.empty()) {
            SortFileList(Files, false);
            const auto Count = static_cast<std::int64_t>(Files.size());
            for (std::int64_t i = 0; i < Count; ++i) {
                OnFile(Files[static_cast<size_t>(i)], static_cast<std::int32_t>(ProgressPercent(i, Count - 1, 100)));
                if (Terminated()) break;
            }
        }
        if (Terminated()) break;
    }
}
