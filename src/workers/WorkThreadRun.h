#pragma once
// The frame of a Search or Apply run, shared by both workers: the run's settings,
// and a body that walks the filters (split on "; "), announces each filter, takes
// its files collected under the folder and sorted, then reports each file's
// progress value (0 for the first, 100 for the last; a value is not reported
// twice in a row) and hands the file to the worker, unless an earlier filter of
// the run already matched it: each file is examined once a run.
//
// The work on the files runs ahead of the events: a pool of threads opens, reads
// and works out the files after the one being reported (PrepareFile), and the
// next filter's files are collected and sorted meanwhile; the run's own thread
// takes each file's result in the collected order (DeliverFile) and queues its
// events for the main thread, which runs them in order, in batches. The terminate
// request is looked at after each file is delivered; from then on no file is
// started, what was worked out ahead is dropped, no queued event but those the
// worker must keep is run, and the worker reports its return values, which comes
// last and which the run waits for.
#include "base/TextRules.h"
#include "base/TextScanner.h"
#include "files/EncodingMode.h"
#include "files/FileCollection.h"
#include "workers/FilePipeline.h"
#include "workers/WorkerThread.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

using TRunShowCurrentFilterEvent = std::function<void(std::wstring CurrentFilter)>;
using TRunProgressEvent = std::function<void(std::int32_t ProgressValue)>;

class TWorkThreadRun : public WorkerThread {
public:
    // Walk into version-control folders (.git, .svn, ...) too; set before the start.
    bool EnterVersionControl = false;
    // Files and folders left out of the run (globs, see ExcludeGlobMatches); set before the start.
    std::vector<std::wstring> Excludes;
    // During the progress event: the files examined so far, the one the value is
    // for included (a file a later filter matches again is not counted twice).
    // Main thread only.
    std::int64_t FilesExamined() const { return FDeliveredExamined; }
    // Set before the start: these files (full paths) in this order instead of the
    // ones the filters collect; the filters text is announced as the current filter.
    void SetFileList(std::vector<std::wstring> Files) { FGivenFiles = std::move(Files); FHasGivenFiles = true; }

protected:
    // The two events are the worker's own public members; they are bound here and
    // first read once the run has started.
    // Rules: the text to find with its replacement, or several pairs applied in order.
    TWorkThreadRun(std::wstring Folder, bool Recursive, std::wstring Filters, std::vector<TReplaceRule> Rules,
                   bool CaseSensitive, TEncodingMode TextEncoding,
                   const TRunShowCurrentFilterEvent& OnShowCurrentFilter, const TRunProgressEvent& OnProgress,
                   TFindRule Rule);
    ~TWorkThreadRun() override;

    void Execute() final;
    // False: the files need no work ahead (a search listing files), and each is
    // delivered without a result.
    virtual bool WorksAhead() const { return true; }
    // On the run's thread, before anything is collected.
    virtual void WalkStarting() {}
    // The pool is made, before its first file: Threads threads, Slot 0 .. Threads-1.
    virtual void PoolStarted(unsigned /*Threads*/) {}
    // On a pool thread (the ticket's Slot names it): everything about one file that needs no
    // order, with nothing shared but what the worker guards itself.
    virtual std::unique_ptr<TPreparedFile> PrepareFile(const std::wstring& File, TFilePipeline::TTicket& Ticket) = 0;
    // On the run's thread, in the collected order: the file's counts and events.
    // Prepared is null when the run does not work ahead.
    virtual void DeliverFile(const std::wstring& File, TPreparedFile* Prepared) = 0;
    // After a terminate request or a fault: a file that was worked out ahead, in
    // order; the worker reports what it must (what was written) and drops the rest.
    virtual void DeliverLeftover(TPreparedFile& /*Prepared*/) {}
    virtual void SyncReturnValues() = 0;
    // Whether the file Id names is met for the first time this run: a file that
    // several names lead to (file links, hard links) is examined once, under the
    // name met first. Any thread.
    bool FirstMeeting(const TFileId& Id);
    // The identity of the file at Path (links followed), its volume asked of the
    // system only where the run's folders do not tell it; false when it cannot be
    // read. Any thread.
    bool IdentityOf(const std::wstring& Path, TFileId& Id) { return FIdentities.IdOf(Path, Id); }
    bool IdentityOf(const std::wstring& Path, std::uint64_t Number, TFileId& Id) {
        return FIdentities.IdOfNumbered(Path, Number, Id);
    }
    // True once the run is ending: a pool thread must not start writing a file.
    bool Stopping() const { return Terminated() || (FPipeline && FPipeline->Stopping()); }

    // Whether a text holds the text to find, its occurrences, and the text with
    // them replaced, under the run's rule (a plain text to find as ever). With
    // several pairs, each pair's occurrences are counted in the text as the pairs
    // before it left it, so the counts are what Apply replaces.
    bool Holds(std::wstring_view Text) const;
    std::int32_t Occurrences(std::wstring_view Text) const;
    std::wstring Replaced(std::wstring_view Text) const;

    const std::wstring FTextToFind;  // the first pair's
    const bool FCaseSensitive;
    const TEncodingMode FTextEncoding;
    // The pairs with their scanners, shared by the pool threads, read only.
    const TRuleChain FRules;
    const bool FPlain;  // no pattern, no whole words
    // Files not examined or left untouched: unsupported marks, files that could not
    // be read or held in memory (the run goes on with the next file), and for
    // Apply files it would not write safely. The run's thread only.
    std::int32_t FSkipCount = 0;

private:
    void Walk();
    void WalkFilters();
    void DeliverLeftovers();
    void WalkFiles(const std::vector<std::wstring>& Files, const std::vector<bool>& Examine);
    void QueueShowCurrentFilter();
    void QueueProgress(std::int32_t Value);

    const std::wstring FFolder;
    const bool FRecursive;
    const std::wstring FFilters;
    const TRunShowCurrentFilterEvent& FOnShowCurrentFilter;
    const TRunProgressEvent& FOnProgress;
    std::wstring FCurrentFilter;
    std::mutex FMetLock;
    std::unordered_set<TFileId, TFileIdHash> FMet;  // files examined so far, by identity
    TFileIdentities FIdentities;
    std::int32_t FLastProgress = -1;  // the last value queued since the filter was announced
    std::int64_t FExamined = 0;       // the run's thread: files examined so far
    std::int64_t FDeliveredExamined = 0;  // the main thread: FExamined as the progress event has it
    // The current filter's files; they outlive the pool's work on them.
    std::vector<std::wstring> FFiles;
    // The files the pool works on now, by pipeline index.
    std::vector<const std::wstring*> FPoolFiles;
    std::unique_ptr<TFilePipeline> FPipeline;
    std::vector<std::wstring> FGivenFiles;
    bool FHasGivenFiles = false;
};
