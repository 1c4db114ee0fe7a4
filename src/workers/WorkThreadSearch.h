#pragma once
// One Search run away from the window: for each filter, collect and sort the
// files, resolve each file's encoding, read it, count the occurrences, and report
// through events that run on the main thread while the worker waits.
#include "files/EncodingMode.h"
#include "workers/WorkThreadRun.h"

#include <cstdint>
#include <functional>
#include <string>

using TSearchShowCurrentFilterEvent = TRunShowCurrentFilterEvent;
using TSearchProgressEvent = TRunProgressEvent;
using TSearchAddFileEvent =
    std::function<void(std::wstring FileName, std::int32_t Occurences, std::int32_t TotalOccurences)>;
using TSearchReturnValuesEvent = std::function<void(std::int32_t SkipCount)>;

class TWorkThreadSearch : public TWorkThreadRun {
public:
    TWorkThreadSearch(std::wstring Folder, bool Recursive, std::wstring Filters, std::wstring TextToFind,
                      bool CaseSensitive, TEncodingMode TextEncoding);
    ~TWorkThreadSearch() override;

    TSearchShowCurrentFilterEvent OnSearchShowCurrentFilter;
    TSearchProgressEvent OnSearchProgress;
    TSearchAddFileEvent OnSearchAddFile;
    TSearchReturnValuesEvent OnSearchReturnValues;
    // During OnSearchAddFile: the encoding the listed file was read in (the
    // command line shows it; the window does not).
    TEncodingMode FileEncoding() const { return FFileEncoding; }

private:
    void HandleFile(const std::wstring& File) override;
    void SyncReturnValues() override;
    void SyncAddFile();

    std::wstring FFileName;
    TEncodingMode FFileEncoding = TEncodingMode::Auto;
    std::int32_t FOccurences = 0;
    std::int32_t FTotalOccurences = 0;
};
