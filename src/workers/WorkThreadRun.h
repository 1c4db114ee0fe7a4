#pragma once
// The frame of a Search or Apply run, shared by both workers: the run's settings,
// and a body that walks the filters (split on "; "), announces each filter before
// its files are collected under the folder and sorted, then reports each file's
// progress value (0 for the first, 100 for the last) and hands the file to the
// worker, unless an earlier filter of the run already matched it: each file is
// examined once a run. The terminate request is looked at after each file, once that file has
// been handled, and after each filter. When the walk ends, however it ends, the
// worker reports its return values. Every event runs on the main thread while the
// worker waits.
#include "files/EncodingMode.h"
#include "workers/WorkerThread.h"

#include <cstdint>
#include <functional>
#include <string>

using TRunShowCurrentFilterEvent = std::function<void(std::wstring CurrentFilter)>;
using TRunProgressEvent = std::function<void(std::int32_t ProgressValue)>;

class TWorkThreadRun : public WorkerThread {
protected:
    // The two events are the worker's own public members; they are bound here and
    // first read once the run has started.
    TWorkThreadRun(std::wstring Folder, bool Recursive, std::wstring Filters, std::wstring TextToFind,
                   bool CaseSensitive, TEncodingMode TextEncoding,
                   const TRunShowCurrentFilterEvent& OnShowCurrentFilter, const TRunProgressEvent& OnProgress);

    void Execute() final;
    // The worker's part: what it does with one file, and its report at the end.
    virtual void HandleFile(const std::wstring& File) = 0;
    virtual void SyncReturnValues() = 0;

    const std::wstring FTextToFind;
    const bool FCaseSensitive;
    const TEncodingMode FTextEncoding;
    // Files not examined or left untouched: unsupported marks, files that could not
    // be read or held in memory (the run goes on with the next file), and for
    // Apply files it would not write safely.
    std::int32_t FSkipCount = 0;

private:
    void Walk();
    void SyncShowCurrentFilter();
    void SyncProgress();

    const std::wstring FFolder;
    const bool FRecursive;
    const std::wstring FFilters;
    const TRunShowCurrentFilterEvent& FOnShowCurrentFilter;
    const TRunProgressEvent& FOnProgress;
    std::wstring FCurrentFilter;
    std::int32_t FProgressValue = 0;
};
