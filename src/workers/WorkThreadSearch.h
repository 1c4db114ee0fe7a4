#pragma once
// One Search run away from the window: for each filter, collect and sort the
// files, resolve each file's encoding, read it, count the occurrences, and report
// through events queued for the main thread in the run's order.
#include "files/EncodingMode.h"
#include "files/TextFileReader.h"
#include "workers/WorkThreadApply.h"
#include "workers/WorkThreadRun.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using TSearchShowCurrentFilterEvent = TRunShowCurrentFilterEvent;
using TSearchProgressEvent = TRunProgressEvent;
using TSearchAddFileEvent =
    std::function<void(std::wstring FileName, std::int32_t Occurences, std::int32_t TotalOccurences)>;
// A file that could not be searched, and why (one of the reasons Apply skips a
// file for before it would look at the text).
using TSearchSkipFileEvent = std::function<void(std::wstring FileName, TApplyFileOutcome Reason)>;
using TSearchReturnValuesEvent = std::function<void(std::int32_t SkipCount)>;

class TWorkThreadSearch : public TWorkThreadRun {
public:
    TWorkThreadSearch(std::wstring Folder, bool Recursive, std::wstring Filters, std::wstring TextToFind,
                      bool CaseSensitive, TEncodingMode TextEncoding, TFindRule Rule = {});
    // Several pairs: each file's occurrences of each pair, counted in the text as
    // the pairs before it left it (what Apply would replace).
    TWorkThreadSearch(std::wstring Folder, bool Recursive, std::wstring Filters, std::vector<TReplaceRule> Pairs,
                      bool CaseSensitive, TEncodingMode TextEncoding, TFindRule Rule = {});
    ~TWorkThreadSearch() override;

    TSearchShowCurrentFilterEvent OnSearchShowCurrentFilter;
    TSearchProgressEvent OnSearchProgress;
    TSearchAddFileEvent OnSearchAddFile;
    TSearchSkipFileEvent OnSearchSkipFile;
    TSearchReturnValuesEvent OnSearchReturnValues;
    // During OnSearchAddFile: the encoding the listed file was read in (the
    // command line shows it; the window does not). Main thread only.
    TEncodingMode FileEncoding() const { return FDeliveredEncoding; }
    // During OnSearchAddFile: the listed file's occurrences of each pair, in the
    // pairs' order (summing to its count). Main thread only.
    const std::vector<std::int32_t>& PairCounts() const { return FDeliveredPairCounts; }

private:
    bool WorksAhead() const override { return !FTextToFind.empty(); }
    void PoolStarted(unsigned Threads) override;
    std::unique_ptr<TPreparedFile> PrepareFile(const std::wstring& File, TFilePipeline::TTicket& Ticket) override;
    void DeliverFile(const std::wstring& File, TPreparedFile* Prepared) override;
    void SyncReturnValues() override;
    void FlushDelivered() override;
    void QueueAddFile(const std::wstring& File);

    // One reader per pool thread (each touches only its own), its memory kept from
    // file to file, and what counts the pieces it reads.
    struct TSearchSlot;
    std::vector<std::unique_ptr<TSearchSlot>> FSlots;
    // The run's thread only.
    TEncodingMode FFileEncoding = TEncodingMode::Auto;
    std::int32_t FOccurences = 0;
    std::int32_t FTotalOccurences = 0;
    // The main thread only: the encoding of the file its OnSearchAddFile is about.
    TEncodingMode FDeliveredEncoding = TEncodingMode::Auto;
    std::vector<std::int32_t> FDeliveredPairCounts;
    // The run's thread only: the file at hand's counts per pair.
    std::vector<std::int32_t> FPairCounts;
    // The run's thread only: files listed (a run without a text to find) and not
    // queued yet. A folder of many thousand files is told in calls of many files,
    // not a call and a wake of the main thread per file.
    std::vector<std::wstring> FListed;
};
