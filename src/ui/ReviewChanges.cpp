// The changes pane of the review: the rows of one file's changes, built from the
// engine's blocks on a thread of its own.
#include "ui/Review.h"

#include "base/TextScanner.h"
#include "files/TextFileBlocks.h"

#include <utility>

namespace {

bool IsBreak(wchar_t C) { return C == L'\r' || C == L'\n'; }

// The offset of the line end at or after Pos (the text's end when none).
std::size_t LineEndAt(std::wstring_view Text, std::size_t Pos) {
    while (Pos < Text.size() && !IsBreak(Text[Pos])) ++Pos;
    return Pos;
}

std::size_t NextLineStart(std::wstring_view Text, std::size_t Pos) {
    std::size_t End = LineEndAt(Text, Pos);
    if (End == Text.size()) return End;
    return Text[End] == L'\r' && End + 1 < Text.size() && Text[End + 1] == L'\n' ? End + 2 : End + 1;
}

// Line without its line end.
std::wstring_view WithoutLineEnd(std::wstring_view Line) { return Line.substr(0, Line.size() - LineEndLength(Line)); }

// Text with ChangeMarkOpen and ChangeMarkClose around each span, cut into its
// lines (a line end at the very end starts no further line).
std::vector<std::wstring> MarkedLines(std::wstring_view Text,
                                      const std::vector<std::pair<std::size_t, std::size_t>>& Spans) {
    std::wstring Marked;
    Marked.reserve(Text.size() + 2 * Spans.size());
    std::size_t From = 0;
    for (const auto& [Start, End] : Spans) {
        Marked.append(Text.substr(From, Start - From));
        Marked += ChangeMarkOpen;
        Marked.append(Text.substr(Start, End - Start));
        Marked += ChangeMarkClose;
        From = End;
    }
    Marked.append(Text.substr(From));
    std::vector<std::wstring> Lines;
    for (std::size_t Pos = 0;;) {
        const std::size_t End = LineEndAt(Marked, Pos);
        Lines.push_back(Marked.substr(Pos, End - Pos));
        if (End == Marked.size()) break;
        Pos = NextLineStart(Marked, Pos);
        if (Pos == Marked.size()) break;
    }
    return Lines;
}

}  // namespace

void TChangeRowBuilder::Line(std::int64_t Number, std::wstring_view Text) {
    if (!FAny) {
        FBefore.Add(Number, Text);
    } else if (Number <= FContextUntil) {
        FRows.push_back(TChangeRow{Number, TChangeRowKind::Context, std::wstring(WithoutLineEnd(Text))});
    } else {
        FBefore.Add(Number, Text);
        FMoreAfter = true;
    }
}

void TChangeRowBuilder::Block(const TMatchBlock& Block, std::wstring_view Old) {
    if (FBefore.Dropped()) FRows.push_back(TChangeRow{0, TChangeRowKind::Gap, L"..."});
    FBefore.Take([this](std::int64_t Number, std::wstring_view Text) {
        FRows.push_back(TChangeRow{Number, TChangeRowKind::Context, std::wstring(WithoutLineEnd(Text))});
    });

    // The old lines with each occurrence marked, then the new ones with each replacement.
    // Each new text where the block says it is: written with the file's own line
    // breaks, it may be longer or shorter than the replacement.
    std::vector<std::pair<std::size_t, std::size_t>> Found, Replaced;
    for (std::size_t k = 0; k < Block.Matches.size(); ++k) {
        Found.emplace_back(Block.Matches[k] - Block.Start, Block.MatchEnds[k] - Block.Start);
        Replaced.emplace_back(Block.NewStarts[k], Block.NewEnds[k]);
    }
    std::int64_t Line = Block.FirstLine;
    for (std::wstring& Text : MarkedLines(Old, Found))
        FRows.push_back(TChangeRow{Line++, TChangeRowKind::Before, std::move(Text)});
    Line = Block.FirstLine;
    for (std::wstring& Text : MarkedLines(Block.After, Replaced))
        FRows.push_back(TChangeRow{Line++, TChangeRowKind::After, std::move(Text)});

    FAny = true;
    FMoreAfter = false;
    FContextUntil = Block.FirstLine + Block.LineCount - 1 + ChangeContextLines;
}

void TChangeRowBuilder::Finish() {
    if (FAny && FMoreAfter) FRows.push_back(TChangeRow{0, TChangeRowKind::Gap, L"..."});
}

TReviewChangesWorker::TReviewChangesWorker(std::wstring Path, TEncodingMode Mode, std::wstring TextToFind,
                                           std::wstring ReplaceWith, bool CaseSensitive)
    : FPath(std::move(Path)),
      FTextToFind(std::move(TextToFind)),
      FReplaceWith(std::move(ReplaceWith)),
      FMode(Mode),
      FCaseSensitive(CaseSensitive) {}

TReviewChangesWorker::~TReviewChangesWorker() { TerminateAndWait(); }

void TReviewChangesWorker::Execute() {
    RunThenReport([this] { ListChanges(); },
                  [this] {
                      Synchronize([this] {
                          if (OnDone) OnDone();
                      });
                  });
}

void TReviewChangesWorker::ListChanges() {
    if (Terminated()) return;
    const TextScanner Scanner(FTextToFind, FCaseSensitive);
    std::vector<TChangeRow> Rows;
    TChangeRowBuilder Builder(Rows);
    // Rows go to the window in batches: often enough to show the first at once,
    // seldom enough that the list is not redrawn for every block.
    constexpr std::size_t BatchRows = 2000;
    constexpr ULONGLONG BatchInterval = 100;
    ULONGLONG LastBatch = GetTickCount64();
    const auto Flush = [&] {
        if (Rows.empty()) return;
        Queue([this, Batch = std::move(Rows)]() mutable {
            if (OnRows) OnRows(std::move(Batch));
        }, true);
        Rows = {};
        LastBatch = GetTickCount64();
    };
    // The file is read in pieces where it can be, so a large file is listed in
    // little memory; each block's rows are handed on as they come.
    struct TStopped {};
    class TBatches final : public TBlockEvents {
    public:
        TBatches(TReviewChangesWorker& Worker, TChangeRowBuilder& Builder, std::vector<TChangeRow>& Rows,
                 const std::function<void()>& Flush, ULONGLONG& LastBatch)
            : FWorker(Worker), FBuilder(Builder), FRows(Rows), FFlush(Flush), FLastBatch(LastBatch) {}
        void Line(std::int64_t Number, std::wstring_view Text) override {
            if (FWorker.Terminated()) throw TStopped{};
            FBuilder.Line(Number, Text);
        }
        void Block(const TMatchBlock& Block, std::wstring_view Old) override {
            if (FWorker.Terminated()) throw TStopped{};
            FBuilder.Block(Block, Old);
            if (FRows.size() >= BatchRows || GetTickCount64() - FLastBatch >= BatchInterval) FFlush();
        }

    private:
        TReviewChangesWorker& FWorker;
        TChangeRowBuilder& FBuilder;
        std::vector<TChangeRow>& FRows;
        const std::function<void()>& FFlush;
        ULONGLONG& FLastBatch;
    };
    const std::function<void()> FlushRows = Flush;
    TBatches Batches(*this, Builder, Rows, FlushRows, LastBatch);
    try {
        if (!ReadFileBlocks(FPath, FMode, Scanner, &FReplaceWith, TLineBreaks::Any, true, Batches)) return;
    } catch (const TStopped&) {
        return;
    }
    Builder.Finish();
    Flush();
}
