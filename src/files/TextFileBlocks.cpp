#include "files/TextFileBlocks.h"

#include "files/TextFileReader.h"

namespace {

class TBlockSink final : public TTextPieceSink {
public:
    explicit TBlockSink(TBlockPieces& Pieces) : FPieces(Pieces) {}
    void Restart() override { FPieces.Reset(); }
    size_t Take(std::wstring_view Text, bool Last) override { return FPieces.Take(Text, Last); }

private:
    TBlockPieces& FPieces;
};

}  // namespace

bool ReadsBlocksInPieces(TEncodingMode Mode, const TextScanner& Scanner) {
    // Automatic reading may start a file over in another encoding, after blocks
    // were handed over: the mode must be known.
    return Mode != TEncodingMode::Auto && IsKnownEncodingMode(Mode) && TBlockPieces::ListsInPieces(Scanner) &&
           (Mode != TEncodingMode::Ansi || TTextFileReader::ScansAnsi());
}

bool ReadFileBlocks(const std::wstring& Path, TEncodingMode Mode, const TextScanner& Scanner,
                    const std::wstring* ReplaceWith, TLineBreaks Breaks, bool Lines, TBlockEvents& Events) {
    if (ReadsBlocksInPieces(Mode, Scanner)) {
        TBlockPieces Pieces(Scanner, ReplaceWith, Breaks, Lines, Events);
        TBlockSink Sink(Pieces);
        TTextFileReader Reader;
        const TTextFileReader::TResult Result = Reader.Scan(Path, Mode, Sink);
        return Result.Read && !Result.Invalid;
    }
    const TTextFileContent Content = LoadTextFile(Path, Mode, false);
    if (!Content.Read || Content.Invalid) return false;
    ForEachBlockEvent(
        Content.Text, Breaks, Lines,
        [&](const TBlockTake& Take) { ForEachMatchBlock(Content.Text, Scanner, ReplaceWith, Breaks, Take); }, Events);
    return true;
}
