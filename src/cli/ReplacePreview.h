#pragma once
// What a replace would do, found out without writing: for --dry-run, and before a
// real replace so that --verbose and --json can name each changed and skipped
// file. The Apply worker reports only its totals; this walks the same files in
// the same order (the workers' shared walk) and makes Apply's reads and checks,
// in Apply's order, up to the write itself.
#include "cli/CliMessages.h"
#include "files/EncodingMode.h"
#include "workers/WorkerThread.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

struct TReplaceInputs {
    std::wstring Folder;
    bool Recursive = false;
    std::wstring Filters;
    std::wstring TextToFind;
    std::wstring ReplaceWith;
    bool CaseSensitive = true;
    TEncodingMode TextEncoding = TEncodingMode::Auto;
};

struct TApplyForecast {
    enum class TKind { Untouched, Change, Skip };
    TKind Kind = TKind::Untouched;
    TSkipReason Reason = TSkipReason::WriteFailed;  // for Skip
    std::int32_t Count = 0;                         // occurrences, for Change
    TEncodingMode Encoding = TEncodingMode::Auto;   // the file's resolved encoding, for Change
};

// What Apply would do with File: untouched (no occurrence, unreadable), changed
// with its count, or skipped with the reason.
TApplyForecast ForecastApply(const std::wstring& File, const TReplaceInputs& Inputs);

// Why a file Apply was expected to change kept its content, found out afterwards.
TSkipReason DiagnoseUnchanged(const std::wstring& File, const TReplaceInputs& Inputs, const TApplyForecast& Forecast);

// A file's identity: a write through a fresh file gives it a new one.
struct TFileIdentity {
    bool Known = false;
    DWORD Volume = 0;
    DWORD IndexHigh = 0;
    DWORD IndexLow = 0;
    FILETIME LastWrite{};
    bool operator==(const TFileIdentity& Other) const;
};
TFileIdentity IdentityOf(const std::wstring& File);

using TPreviewShowCurrentFilterEvent = std::function<void(std::wstring CurrentFilter)>;
using TPreviewProgressEvent = std::function<void(std::int32_t ProgressValue)>;
using TPreviewFileEvent = std::function<void(std::wstring FileName, TApplyForecast Forecast)>;
using TPreviewReturnValuesEvent = std::function<void()>;

// The forecast of a whole run on a worker thread, with events like the workers'
// (a file event for every file that would be changed or skipped).
class TReplacePreview : public WorkerThread {
public:
    explicit TReplacePreview(TReplaceInputs Inputs);
    ~TReplacePreview() override;

    TPreviewShowCurrentFilterEvent OnPreviewShowCurrentFilter;
    TPreviewProgressEvent OnPreviewProgress;
    TPreviewFileEvent OnPreviewFile;
    TPreviewReturnValuesEvent OnPreviewReturnValues;

protected:
    void Execute() override;

private:
    const TReplaceInputs FInputs;
};
