// The changes pane of the review: the rows of one file's changes, built from the
// engine's blocks on a thread of its own.
#include "ui/Review.h"

#include "base/TextScanner.h"
#include "files/TextFileReader.h"

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

// The start of the line before the one starting at Start (> 0).
std::size_t PreviousLineStart(std::wstring_view Text, std::size_t Start) {
    std::size_t Pos = Start - 1;
    if (Text[Pos] == L'\n' && Pos > 0 && Text[Pos - 1] == L'\r') --Pos;
    while (Pos > 0 && !IsBreak(Text[Pos - 1])) --Pos;
    return Pos;
}

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

void TChangeRowBuilder::AddContextAfter(std::size_t Limit, std::vector<TChangeRow>& Rows) {
    for (std::int64_t k = 0; k < ChangeContextLines && FDone < Limit && FDone < FText.size(); ++k) {
        const std::size_t End = LineEndAt(FText, FDone);
        Rows.push_back(
            TChangeRow{FNextLine++, TChangeRowKind::Context, std::wstring(FText.substr(FDone, End - FDone))});
        FDone = NextLineStart(FText, FDone);
    }
}

void TChangeRowBuilder::Add(const TMatchBlock& Block, std::vector<TChangeRow>& Rows) {
    if (FAny) AddContextAfter(Block.Start, Rows);
    const std::size_t Floor = FAny ? FDone : 0;
    std::size_t First = Block.Start;
    std::int64_t Before = 0;
    while (Before < ChangeContextLines && First > Floor) {
        First = PreviousLineStart(FText, First);
        ++Before;
    }
    if (First > Floor) Rows.push_back(TChangeRow{0, TChangeRowKind::Gap, L"..."});
    for (std::int64_t Line = Block.FirstLine - Before; First < Block.Start; ++Line) {
        const std::size_t End = LineEndAt(FText, First);
        Rows.push_back(TChangeRow{Line, TChangeRowKind::Context, std::wstring(FText.substr(First, End - First))});
        First = NextLineStart(FText, First);
    }

    // The old lines with each occurrence marked, then the new ones with each replacement.
    std::vector<std::pair<std::size_t, std::size_t>> Found, Replaced;
    std::size_t Shift = 0;  // how far After has moved against the old text so far
    for (std::size_t k = 0; k < Block.Matches.size(); ++k) {
        const std::size_t At = Block.Matches[k] - Block.Start, Length = Block.MatchEnds[k] - Block.Matches[k];
        Found.emplace_back(At, At + Length);
        Replaced.emplace_back(At + Shift, At + Shift + FReplaceWith.size());
        Shift += FReplaceWith.size();
        Shift -= Length;
    }
    std::int64_t Line = Block.FirstLine;
    for (std::wstring& Text : MarkedLines(FText.substr(Block.Start, Block.End - Block.Start), Found))
        Rows.push_back(TChangeRow{Line++, TChangeRowKind::Before, std::move(Text)});
    Line = Block.FirstLine;
    for (std::wstring& Text : MarkedLines(Block.After, Replaced))
        Rows.push_back(TChangeRow{Line++, TChangeRowKind::After, std::move(Text)});

    FAny = true;
    FDone = Block.End;
    FNextLine = Block.FirstLine + Block.LineCount;
}

void TChangeRowBuilder::Finish(std::vector<TChangeRow>& Rows) {
    if (!FAny) return;
    AddContextAfter(FText.size(), Rows);
    if (FDone < FText.size()) Rows.push_back(TChangeRow{0, TChangeRowKind::Gap, L"..."});
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
    TTextFileContent Content = LoadTextFile(FPath, FMode, false);
    if (!Content.Read || Content.Invalid || Terminated()) return;
    const TextScanner Scanner(FTextToFind, FCaseSensitive);
    TChangeRowBuilder Builder(Content.Text, FReplaceWith);
    std::vector<TChangeRow> Rows;
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
    struct TStopped {};
    try {
        ForEachMatchBlock(Content.Text, Scanner, &FReplaceWith, TLineBreaks::Any, [&](const TMatchBlock& Block) {
            if (Terminated()) throw TStopped{};
            Builder.Add(Block, Rows);
            if (Rows.size() >= BatchRows || GetTickCount64() - LastBatch >= BatchInterval) Flush();
        });
    } catch (const TStopped&) {
        return;
    }
    Builder.Finish(Rows);
    Flush();
}
