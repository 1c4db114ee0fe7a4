#pragma once
// The review window TfrmReview: every file Apply would change, with what it
// would write in each line, before anything is written; Apply then takes only
// the files the user keeps checked. Its list comes from Apply's own routine run
// without writing (a dry run that also records each file's size, time and
// hash), and the lines of the selected file from the engine's match listing.
#include "base/GdiOwners.h"
#include "base/TextLinePieces.h"
#include "base/TextLines.h"
#include "files/EncodingMode.h"
#include "ui/WindowBase.h"
#include "workers/WorkThreadApply.h"
#include "workers/WorkerThread.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TfrmMain;

// The inputs as they stood in the main window when the review opened.
struct TReviewInputs {
    std::wstring Folder, Filters, TextToFind, ReplaceWith;
    bool Recursive = false;
    bool CaseSensitive = true;
    TEncodingMode Mode = TEncodingMode::Auto;
    // The files of the main list (full paths); without them, the files the filters collect.
    std::optional<std::vector<std::wstring>> Files;
};

// A file of the left list: one Apply would change, or one it would skip and why.
struct TReviewFile {
    std::wstring Path;
    std::wstring Caption;  // relative to the folder
    std::int32_t Occurences = 0;
    TEncodingMode Mode = TEncodingMode::Auto;  // as it was read
    TApplyFileOutcome Outcome = TApplyFileOutcome::WouldChange;
    std::optional<TReviewStamp> Stamp;
    bool Skipped() const { return Outcome != TApplyFileOutcome::WouldChange; }
};

// One row of the changes pane.
enum class TChangeRowKind { Context, Before, After, Gap };
struct TChangeRow {
    std::int64_t Line = 0;  // 1-based; 0 for a gap
    TChangeRowKind Kind = TChangeRowKind::Context;
    std::wstring Text;      // the line without its end; found text and replacement between the marks
};
// The marks around a found text (in a line before) and its replacement (in a
// line after): text, not colour, so they read in every theme.
constexpr wchar_t ChangeMarkOpen = L'\x00AB';   // «
constexpr wchar_t ChangeMarkClose = L'\x00BB';  // »
constexpr std::int64_t ChangeContextLines = 2;

// Turns the blocks of ForEachMatchBlock, as TBlockEvents hands them over with the
// lines between them, into rows: for each block its lines before and after with
// the marks, and up to ChangeContextLines unchanged lines around it; a gap row
// where lines are left out.
class TChangeRowBuilder final : public TBlockEvents {
public:
    explicit TChangeRowBuilder(std::vector<TChangeRow>& Rows) : FRows(Rows), FBefore(ChangeContextLines) {}
    void Line(std::int64_t Number, std::wstring_view Text) override;
    void Block(const TMatchBlock& Block, std::wstring_view Old) override;
    // After the last block.
    void Finish();

private:
    std::vector<TChangeRow>& FRows;
    TLinesBefore FBefore;
    bool FAny = false;
    bool FMoreAfter = false;          // a line after the last block's context
    std::int64_t FContextUntil = 0;   // the last line of the context after the last block
};

// Lists one file's changes on a thread of its own, in batches, so the window
// answers while a large file is worked through.
class TReviewChangesWorker : public WorkerThread {
public:
    TReviewChangesWorker(std::wstring Path, TEncodingMode Mode, std::wstring TextToFind, std::wstring ReplaceWith,
                         bool CaseSensitive);
    ~TReviewChangesWorker() override;
    std::function<void(std::vector<TChangeRow> Rows)> OnRows;
    std::function<void()> OnDone;

protected:
    void Execute() override;

private:
    void ListChanges();
    const std::wstring FPath, FTextToFind, FReplaceWith;
    const TEncodingMode FMode;
    const bool FCaseSensitive;
};

class TfrmReview : public TWindowBase {
public:
    // Opens the window owned by Owner (disabled while the review is open) and starts listing.
    TfrmReview(TfrmMain& Owner, TReviewInputs Inputs);
    ~TfrmReview() override;
    bool PreTranslateMessage(MSG& Message) override;
    // Closes without writing anything.
    void Close();

    HWND lblReviewFiles = nullptr;
    HWND lvReviewFiles = nullptr;
    HWND lvReviewChanges = nullptr;
    HWND btnApplyChecked = nullptr;
    HWND btnClose = nullptr;

    void btnApplyCheckedClick();
    void btnCloseClick() { Close(); }

    // For the window and its tests.
    bool Listing() const { return !FScanDone; }             // files still being listed
    bool ListingChanges() const { return !FChangesDone; }   // the selected file's changes still being listed
    const std::vector<TReviewFile>& Files() const { return FFiles; }
    const std::vector<TChangeRow>& ChangeRows() const { return FRows; }
    bool FileChecked(std::size_t Index) const;
    void SetAllChecked(bool Checked);
    std::int32_t CheckedCount() const;

private:
    LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;
    void ShowHandlerError(const char* What) override;
    LRESULT HandleNotify(const NMHDR& Header);
    void CreateControls();
    void ApplyDpi();
    void Layout();
    void SetTexts();
    void StartScan();
    void AddFile(TReviewFile File);
    void ScanEnded();
    void ShowSelectedChanges();
    void StopChanges();
    void OpenSelectedFile();
    void ChangesGetDispInfo(NMLVDISPINFOW& Info);
    void SizeChangesColumn();
    void StoreBounds();
    void TearDown();

    TfrmMain& FOwner;
    const TReviewInputs FInputs;
    UINT FDpi = 96;
    UniqueGdiObject FFont;
    UniqueGdiObject FMonoFont;
    std::vector<TReviewFile> FFiles;
    std::optional<std::pair<std::wstring, TReviewStamp>> FNextStamp;  // the stamp of the file reported next
    std::unique_ptr<TWorkThreadApply> FScan;
    std::unique_ptr<TReviewChangesWorker> FChanges;
    std::uint64_t FChangesGeneration = 0;  // rows of an earlier selection are dropped
    std::int32_t FShownFile = -1;
    std::vector<TChangeRow> FRows;
    std::size_t FLongestRow = 0;  // characters of the longest row shown, as far as a list cell shows them
    int FMonoCharWidth = 0;       // every character of the fixed-pitch font is this wide
    std::int32_t FTotalOccurences = 0;
    bool FScanDone = false;
    bool FChangesDone = true;
    bool FClosing = false;
    bool FHandlingError = false;
    std::wstring FCellText;  // the text handed to the list for one cell
};
