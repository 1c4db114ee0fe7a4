#pragma once
// One Apply run away from the window: for each filter, collect and sort the
// files, read each file, replace every occurrence in one pass and write the file
// back safely in the encoding it was read in; report the filter, the progress
// and at the end the changed, replaced and skipped counts, through three events
// that run on the main thread while the worker waits.
#include "files/EncodingMode.h"
#include "workers/WorkerThread.h"

#include <cstdint>
#include <functional>
#include <string>

using TApplyShowCurrentFilterEvent = std::function<void(std::wstring CurrentFilter)>;
using TApplyProgressEvent = std::function<void(std::int32_t ProgressValue)>;
using TApplyReturnValuesEvent =
    std::function<void(std::int32_t ChangeCount, std::int32_t ReplaceCount, std::int32_t SkipCount)>;

class TWorkThreadApply : public WorkerThread {
public:
    TWorkThreadApply(std::wstring Folder, bool Recursive, std::wstring Filters, std::wstring TextToFind,
                     std::wstring ReplaceWith, bool CaseSensitive, TEncodingMode TextEncoding);
    ~TWorkThreadApply() override;

    TApplyShowCurrentFilterEvent OnApplyShowCurrentFilter;
    TApplyProgressEvent OnApplyProgress;
    TApplyReturnValuesEvent OnApplyReturnValues;

protected:
    void Execute() override;

private:
    void Run();
    void ApplyToFile(const std::wstring& File);
    void SyncShowCurrentFilter();
    void SyncProgress();
    void SyncReturnValues();

    const std::wstring FFolder;
    const bool FRecursive;
    const std::wstring FFilters;
    const std::wstring FTextToFind;
    const std::wstring FReplaceWith;
    const bool FCaseSensitive;
    const TEncodingMode FTextEncoding;
    std::wstring FCurrentFilter;
    std::int32_t FProgressValue = 0;
    std::int32_t FChangeCount = 0;   // files whose new content was written completely
    std::int32_t FReplaceCount = 0;  // occurrences replaced in those files
    std::int32_t FSkipCount = 0;     // unsupported marks, and files left untouched to keep their bytes safe
};
