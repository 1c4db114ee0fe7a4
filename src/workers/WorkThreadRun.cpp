#include "workers/WorkThreadRun.h"

#include "base/TextMatching.h"
#include "files/FileCollection.h"

#include <future>
#include <unordered_set>

TWorkThreadRun::TWorkThreadRun(std::wstring Folder, bool Recursive, std::wstring Filters,
                               std::vector<TReplaceRule> Rules, bool CaseSensitive, TEncodingMode TextEncoding,
                               const TRunShowCurrentFilterEvent& OnShowCurrentFilter,
                               const TRunProgressEvent& OnProgress, TFindRule Rule)
    : FTextToFind(Rules.empty() ? std::wstring() : Rules.front().TextToFind),
      FCaseSensitive(CaseSensitive),
      FTextEncoding(TextEncoding),
      FRules(std::move(Rules), CaseSensitive, Rule),
      FPlain(Rule.Plain()),
      FFolder(std::move(Folder)),
      FRecursive(Recursive),
      FFilters(std::move(Filters)),
      FOnShowCurrentFilter(OnShowCurrentFilter),
      FOnProgress(OnProgress) {}

TWorkThreadRun::~TWorkThreadRun() = default;

void TWorkThreadRun::Execute() {
    RunThenReport(
        [this] {
            // What was delivered before a fault is told before the fault.
            try {
                Walk();
            } catch (...) {
                FlushDelivered();
                throw;
            }
            FlushDelivered();
        },
        [this] { SyncReturnValues(); });
}

void TWorkThreadRun::Walk() {
    struct TPipelineEnd {
        std::unique_ptr<TFilePipeline>& Pipeline;
        ~TPipelineEnd() { Pipeline.reset(); }
    } PipelineEnd{FPipeline};
    WalkStarting();
    try {
        WalkFilters();
    } catch (...) {
        // Files whose writing had begun are still told of.
        DeliverLeftovers();
        throw;
    }
    DeliverLeftovers();
}

void TWorkThreadRun::DeliverLeftovers() {
    if (!FPipeline) return;
    for (std::unique_ptr<TPreparedFile>& Prepared : FPipeline->Leftovers()) DeliverLeftover(*Prepared);
}

void TWorkThreadRun::WalkFilters() {
    if (FHasGivenFiles) {
        FCurrentFilter = FFilters;
        QueueShowCurrentFilter();
        FFiles = FGivenFiles;
        // A file named twice is examined once, as across filters.
        std::unordered_set<std::wstring> Examined;
        std::vector<bool> Examine(FFiles.size());
        for (size_t i = 0; i < FFiles.size(); ++i) Examine[i] = Examined.insert(FFiles[i]).second;
        if (!FFiles.empty()) WalkFiles(FFiles, Examine);
        return;
    }
    const TStringArray FilterList = SplitText(FFilters, L"; ");
    const std::wstring Root = WithTrailingBackslash(FFolder);
    FIdentities.AddRoot(Root);
    TFileCollector Collector(EnterVersionControl);  // later filters reuse the sub-folder lists of the first
    Collector.SetExcludes(Excludes);
    Collector.KeepFileNames(FilterList.size() > 1);  // each folder listed once for every filter
    // One filter's files, collected and sorted on a thread of their own; the
    // collector serves one listing at a time.
    auto ListAhead = [&](size_t Filter) {
        return std::async(std::launch::async, [this, &Collector, &Root, &FilterList, Filter] {
            TStringArray Files = Collector.Collect(Root, FilterList[Filter], FRecursive, false, false, false);
            SortFileList(Files, false);
            return Files;
        });
    };
    // "*.txt; *.TXT" matches the same files twice; a replacement that contains the
    // text to find must not be applied twice. The collection lists a file by one
    // path however many links lead to it, so the path identifies it.
    std::unordered_set<std::wstring> Examined;
    const bool SeveralFilters = FilterList.size() > 1;
    std::future<TStringArray> Listing;
    if (!FilterList.empty()) Listing = ListAhead(0);
    for (size_t Filter = 0; Filter < FilterList.size(); ++Filter) {
        FCurrentFilter = FilterList[Filter];
        QueueShowCurrentFilter();
        // The list before is done with: every file of it was delivered.
        FFiles = Listing.get();
        if (Filter + 1 < FilterList.size() && !Terminated()) Listing = ListAhead(Filter + 1);
        std::vector<bool> Examine(FFiles.size(), true);
        if (SeveralFilters)
            for (size_t i = 0; i < FFiles.size(); ++i) Examine[i] = Examined.insert(FFiles[i]).second;
        if (!FFiles.empty()) WalkFiles(FFiles, Examine);
        if (Terminated()) break;
    }
}

void TWorkThreadRun::WalkFiles(const std::vector<std::wstring>& Files, const std::vector<bool>& Examine) {
    const bool Ahead = WorksAhead();
    if (Ahead) {
        FPoolFiles.clear();
        for (size_t i = 0; i < Files.size(); ++i)
            if (Examine[i]) FPoolFiles.push_back(&Files[i]);
        if (!FPipeline) {
            FPipeline = std::make_unique<TFilePipeline>(
                TerminateFlag(), [this](size_t Index, TFilePipeline::TTicket& Ticket) {
                    return PrepareFile(*FPoolFiles[Index], Ticket);
                });
            PoolStarted(FPipeline->Threads());
        }
        FPipeline->Begin(FPoolFiles.size());
    }
    const auto Count = static_cast<std::int64_t>(Files.size());
    for (std::int64_t i = 0; i < Count; ++i) {
        if (Examine[static_cast<size_t>(i)]) ++FExamined;
        QueueProgress(static_cast<std::int32_t>(ProgressPercent(i, Count - 1, 100)));
        const std::wstring& File = Files[static_cast<size_t>(i)];
        if (Examine[static_cast<size_t>(i)]) {
            if (Ahead) {
                std::unique_ptr<TPreparedFile> Prepared = FPipeline->Next();
                if (!Prepared) break;  // stopping
                DeliverFile(File, Prepared.get());
            } else {
                DeliverFile(File, nullptr);
            }
        }
        if (Terminated()) break;
    }
}

bool TWorkThreadRun::FirstMeeting(const TFileId& Id) {
    std::lock_guard Hold(FMetLock);
    return FMet.insert(Id).second;
}

void TWorkThreadRun::QueueShowCurrentFilter() {
    FLastProgress = -1;
    FlushDelivered();
    Queue([this, Filter = FCurrentFilter] {
        if (FOnShowCurrentFilter) FOnShowCurrentFilter(Filter);
    }, true);
}

void TWorkThreadRun::QueueProgress(std::int32_t Value) {
    if (Value == FLastProgress) return;
    FLastProgress = Value;
    FlushDelivered();
    Queue([this, Value, Examined = FExamined] {
        FDeliveredExamined = Examined;
        if (FOnProgress) FOnProgress(Value);
    }, true);
}

bool TWorkThreadRun::Holds(std::wstring_view Text) const {
    // One plain text to find: contained under the linguistic mapping, as ever.
    if (FPlain && FRules.Size() == 1) return TextContains(Text, FTextToFind, FCaseSensitive);
    return Occurrences(Text) > 0;
}

std::int32_t TWorkThreadRun::Occurrences(std::wstring_view Text) const {
    std::int32_t Total = 0;
    for (const std::int32_t Count : FRules.Counts(Text)) Total += Count;
    return Total;
}

std::wstring TWorkThreadRun::Replaced(std::wstring_view Text) const {
    return FRules.Applied(Text);
}
