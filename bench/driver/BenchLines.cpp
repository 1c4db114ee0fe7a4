// Mode "lines": every occurrence of the examined files listed with its line and
// the line as Apply would write it, as quorvane-cli search --lines --json lists
// them (its own routine, ForEachMatchBlock underneath), one file after another
// on one thread, each file read whole first. A viewer of one file's changes
// needs the same work up to the occurrences it shows: the time to the 10,000th
// occurrence of a file is reported on its own.
#include "BenchSupport.h"

#include "base/TextScanner.h"
#include "cli/CliLines.h"
#include "files/EncodingMode.h"
#include "files/FileCollection.h"
#include "files/TextFileReader.h"

#include <algorithm>

namespace {

constexpr std::int64_t ViewerPage = 10'000;  // occurrences a viewer shows first

}  // namespace

int RunLines(const TBenchArgs& Args) {
    TResult Result;
    std::vector<TCountLine> Lines;
    const TextScanner Scanner(Args.TextToFind, Args.CaseSensitive);
    // The scanner's tables are built before the clock starts, as for the engine.
    Scanner.Count(Args.TextToFind + L" " + Args.TextToFind, 0);
    const std::wstring ReplaceWith = Args.ReplaceWith;
    double LoadSeconds = 0, ListSeconds = 0, PageSeconds = 0;
    std::int64_t Files = 0, Occurrences = 0, LargestBytes = 0, LargestDecoded = 0, ListedBytes = 0, Pages = 0;
    std::uint64_t Bytes = 0;
    TFileCollector Collector;
    CollectAsTheRunDoes(Collector, Args);
    const double Start = Now();
    for (const std::wstring& Filter : SplitText(Args.Filters, L"; ")) {
        TStringArray List =
            Collector.Collect(WithTrailingBackslash(Args.Folder), Filter, Args.Recursive, false, false, false);
        SortFileList(List, false);
        for (const std::wstring& File : List) {
            ++Files;
            const double T0 = Now();
            TTextFileContent Content = LoadTextFile(File, EncodingModeFromStored(Args.Encoding), false);
            const double T1 = Now();
            const std::int64_t Size = static_cast<std::int64_t>(FileSizeOf(File));
            Bytes += static_cast<std::uint64_t>(Size);
            if (Size > LargestBytes) {
                LargestBytes = Size;
                LargestDecoded = static_cast<std::int64_t>(Content.Text.size() * sizeof(wchar_t));
            }
            std::int64_t Count = 0;
            if (Content.Read && !Content.Invalid) {
                const TBlockSource Source(Scanner, &ReplaceWith);
                ListMatchesJson(File, Source.WithAfter(), TextFeed(Content.Text, Source), [&](std::string_view Match) {
                    ListedBytes += static_cast<std::int64_t>(Match.size());
                    if (++Count == ViewerPage) {
                        PageSeconds = std::max(PageSeconds, Now() - T1);
                        ++Pages;
                    }
                });
            }
            const double T2 = Now();
            LoadSeconds += T1 - T0;
            ListSeconds += T2 - T1;
            Occurrences += Count;
            if (Count > 0) Lines.push_back({File, StoredEncodingMode(Content.Mode), Count});
        }
    }
    Result.Set("seconds", Now() - Start);
    Result.Set("load_seconds", LoadSeconds);
    Result.Set("list_seconds", ListSeconds);
    // The slowest file's time from its text in memory to its 10,000th occurrence listed.
    Result.Set("page_seconds", PageSeconds);
    Result.Set("pages", Pages);
    Result.Set("occurrences", Occurrences);
    Result.Set("listed_bytes", ListedBytes);
    Result.Set("files", Files);
    Result.Set("bytes", static_cast<std::int64_t>(Bytes));
    Result.Set("largest_bytes", LargestBytes);
    Result.Set("largest_decoded_bytes", LargestDecoded);
    Result.Set("peak_working_set", static_cast<std::int64_t>(ProcessMemory().PeakWorkingSet));
    if (!Args.DumpPath.empty() && !WriteDump(Args.DumpPath, Lines)) return 3;
    Result.Print();
    return 0;
}
