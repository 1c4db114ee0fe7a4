#pragma once
// One Apply run away from the window: for each filter, collect and sort the
// files, read each file, replace every occurrence in one pass and write the file
// back safely in the encoding it was read in; report the filter, the progress
// and at the end the changed, replaced and skipped counts, through events that
// run on the main thread while the worker waits.
#include "files/EncodingMode.h"
#include "workers/WorkThreadRun.h"

#include <cstdint>
#include <functional>
#include <string>

using TApplyShowCurrentFilterEvent = TRunShowCurrentFilterEvent;
using TApplyProgressEvent = TRunProgressEvent;
using TApplyReturnValuesEvent =
    std::function<void(std::int32_t ChangeCount, std::int32_t ReplaceCount, std::int32_t SkipCount)>;

class TWorkThreadApply : public TWorkThreadRun {
public:
    TWorkThreadApply(std::wstring Folder, bool Recursive, std::wstring Filters, std::wstring TextToFind,
                     std::wstring ReplaceWith, bool CaseSensitive, TEncodingMode TextEncoding);
    ~TWorkThreadApply() override;

    TApplyShowCurrentFilterEvent OnApplyShowCurrentFilter;
    TApplyProgressEvent OnApplyProgress;
    TApplyReturnValuesEvent OnApplyReturnValues;

private:
    // The terminate request is looked at only after this returns, so a file is
    // never left half done.
    void HandleFile(const std::wstring& File) override;
    void ApplyToFile(const std::wstring& File);
    void SyncReturnValues() override;

    const std::wstring FReplaceWith;
    std::int32_t FChangeCount = 0;   // files whose new content was written completely
    std::int32_t FReplaceCount = 0;  // occurrences replaced in those files
};
