#pragma once
// One Search run away from the window: for each filter, collect and sort the
// files, resolve each file's encoding, read it, count the occurrences, and report
// through four events that run on the main thread while the worker waits.
#include "files/EncodingMode.h"
#include "workers/WorkerThread.h"

#include <cstdint>
#include <functional>
#include <string>

using TSearchShowCurrentFilterEvent = std::function<void(std::wstring CurrentFilter)>;
using TSearchProgressEvent = std::function<void(std::int32_t ProgressValue)>;
using TSearchAddFileEvent =
    std::function<void(std::wstring FileName, std::int32_t Occurences, std::int32_t TotalOccurences)>;
using TSearchReturnValuesEvent = std::function<void(std::int32_t SkipCount)>;

class TWorkThreadSearch : public WorkerThread {
public:
    TWorkThreadSearch(std::wstring Folder, bool Recursive, std::wstring Filters, std::wstring TextToFind,
                      bool CaseSensitive, TEncodingMode TextEncoding);
    ~TWorkThreadSearch() override;

    TSearchShowCurrentFilterEvent OnSearchShowCurrentFilter;
    TSearchProgressEvent OnSearchProgress;
    TSearchAddFileEvent OnSearchAddFile;
    TSearchReturnValuesEvent OnSearchReturnValues;

protected:
    void Execute() override;

private:
    void Run();
    void ExamineFile(const std::wstring& File);
    void SyncShowCurrentFilter();
    void SyncProgress();
    void SyncAddFile();
    void SyncReturnValues();

    const std::wstring FFolder;
    const bool FRecursive;
    const std::wstring FFilters;
    const std::wstring FTextToFind;
    const bool FCaseSensitive;
    const TEncodingMode FTextEncoding;
    std::wstring FCurrentFilter;
    std::int32_t FProgressValue = 0;
    std::wstring FFileName;
    std::int32_t FOccurences = 0;
    std::int32_t FTotalOccurences = 0;
    std::int32_t FSkipCount = 0;
};
