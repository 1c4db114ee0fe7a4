#include "cli/CliLines.h"

#include "base/TextLines.h"
#include "cli/CliText.h"
#include "files/TextFileReader.h"

namespace {

std::wstring_view WithoutLineEnd(std::wstring_view Line) {
    return Line.substr(0, Line.size() - LineEndLength(Line));
}

// The lines of a block's old text, each with its line end (Any breaks).
std::vector<std::wstring_view> SplitLines(std::wstring_view Text, TLineBreaks Breaks) {
    std::vector<std::wstring_view> Lines;
    for (TLineWalker Walker(Text, Breaks); !Walker.AtEnd(); Walker.Next()) Lines.push_back(Walker.Current());
    return Lines;
}

// Where the occurrences of a block sit among its lines, taken in order: each
// occurrence's first and last line (indexes into the block's lines), its column
// (0-based) and the offsets within the block where those lines begin and end.
// Occurrences do not overlap, so one forward walk serves them all, however many
// lines a chain of them spans.
class TBlockPlaces {
public:
    struct TPlace {
        std::size_t First = 0, Last = 0;  // line indexes
        std::size_t Column = 0;
        std::size_t From = 0, To = 0;     // the lines it touches, within the block
    };
    TBlockPlaces(const TMatchBlock& Block, const std::vector<std::wstring_view>& Lines)
        : FBlock(Block), FLines(Lines) {}

    TPlace Next() {
        const std::size_t Hit = FBlock.Matches[FMatch] - FBlock.Start;
        // A line break in the text to find matches any line break, so an
        // occurrence's end comes from the block, not from that text's length.
        const std::size_t LastUnit = FBlock.MatchEnds[FMatch++] - FBlock.Start - 1;
        TPlace Place;
        MoveTo(Hit);
        Place.First = FIndex;
        Place.Column = Hit - FLineStart;
        Place.From = FLineStart;
        MoveTo(LastUnit);
        Place.Last = FIndex;
        Place.To = FLineStart + FLines[FIndex].size();
        return Place;
    }

private:
    void MoveTo(std::size_t Offset) {
        while (FIndex + 1 < FLines.size() && Offset >= FLineStart + FLines[FIndex].size())
            FLineStart += FLines[FIndex++].size();
    }
    const TMatchBlock& FBlock;
    const std::vector<std::wstring_view>& FLines;
    std::size_t FMatch = 0, FIndex = 0, FLineStart = 0;
};

}  // namespace

std::optional<TListedText> ReadListedFile(const std::wstring& Path, TEncodingMode Mode) {
    TTextFileContent Content = LoadTextFile(Path, Mode, false);
    if (!Content.Read || Content.Invalid) return std::nullopt;
    TListedText Listed;
    Listed.Text = std::move(Content.Text);
    Listed.Utf8Mark = Content.Mode == TEncodingMode::Utf8 && DetectBom(Path) == bomUtf8;
    return Listed;
}

std::wstring ShownLine(std::wstring_view Line) {
    static constexpr wchar_t Hex[] = L"0123456789ABCDEF";
    std::wstring Shown;
    Shown.reserve(Line.size());
    for (const wchar_t Unit : Line) {
        if ((Unit < 0x20 && Unit != L'\t') || (Unit >= 0x7F && Unit <= 0x9F)) {
            Shown += L"\\x";
            Shown += Hex[(Unit >> 4) & 0xF];
            Shown += Hex[Unit & 0xF];
        } else {
            Shown += Unit;
        }
    }
    return Shown;
}

void TMatchLister::List(std::wstring_view Path, std::wstring_view Text, const TBlockSource& Source) {
    const std::wstring Prefix(Path);
    const std::int64_t Context = FContext < 0 ? 0 : FContext;
    TLineWalker Walker(Text, TLineBreaks::Any);
    std::int64_t ShownUpTo = 0;     // the last line written (0: none of this file)
    std::int64_t ContextUntil = 0;  // the last line of the context after the last block
    auto WriteLine = [&](std::int64_t Line, wchar_t Mark, std::wstring_view Rest) {
        FWrite(Prefix + Mark + PlainCount(Line) + std::wstring(Rest));
        ShownUpTo = Line;
    };
    auto WriteContextUpTo = [&](std::int64_t Last) {
        for (; Walker.Line() <= Last && !Walker.AtEnd(); Walker.Next())
            WriteLine(Walker.Line(), L'-', L"-" + ShownLine(WithoutLineEnd(Walker.Current())));
    };

    Source.ForEach(Text, TLineBreaks::Any, [&](const TMatchBlock& Block) {
        WriteContextUpTo(std::min(ContextUntil, Block.FirstLine - 1));
        const std::int64_t From = std::max(Walker.Line(), Block.FirstLine - Context);
        // A group that does not touch the one before is set apart, as grep does.
        if (FContext >= 0 && (ShownUpTo != 0 ? From > ShownUpTo + 1 : FShownAny)) FWrite(L"--");
        while (Walker.Line() < From) Walker.Next();
        WriteContextUpTo(Block.FirstLine - 1);

        const std::vector<std::wstring_view> Lines = SplitLines(Text.substr(Block.Start, Block.End - Block.Start),
                                                                 TLineBreaks::Any);
        TBlockPlaces Places(Block, Lines);
        for (std::size_t Match = 0; Match < Block.Matches.size(); ++Match) {
            const TBlockPlaces::TPlace Place = Places.Next();
            WriteLine(Block.FirstLine + static_cast<std::int64_t>(Place.First), L':',
                      L":" + PlainCount(static_cast<std::int64_t>(Place.Column) + 1) + L":" +
                          ShownLine(WithoutLineEnd(Lines[Place.First])));
            for (std::size_t I = Place.First + 1; I <= Place.Last; ++I)
                WriteLine(Block.FirstLine + static_cast<std::int64_t>(I), L'-',
                          L"-" + ShownLine(WithoutLineEnd(Lines[I])));
        }
        const std::int64_t BlockLast = Block.FirstLine + Block.LineCount - 1;
        Walker.JumpTo(BlockLast + 1, Block.End);
        ShownUpTo = BlockLast;
        ContextUntil = BlockLast + Context;
        FShownAny = true;
    });
    WriteContextUpTo(ContextUntil);
}

void ListMatchesJson(std::wstring_view Path, std::wstring_view Text, const TBlockSource& Source,
                     const std::function<void(std::string_view)>& Write) {
    const std::string JsonPath = JsonString(Path);
    Source.ForEach(Text, TLineBreaks::Any, [&](const TMatchBlock& Block) {
        const std::wstring_view Old = Text.substr(Block.Start, Block.End - Block.Start);
        const std::vector<std::wstring_view> Lines = SplitLines(Old, TLineBreaks::Any);
        std::string After;
        if (Source.WithAfter()) {
            // The new lines end where the old ones did.
            std::wstring_view New = Block.After;
            if (LineEndLength(Old) != 0) New.remove_suffix(LineEndLength(New));
            After = ",\"after\":" + JsonString(New);
        }
        TBlockPlaces Places(Block, Lines);
        for (std::size_t Match = 0; Match < Block.Matches.size(); ++Match) {
            const TBlockPlaces::TPlace Place = Places.Next();
            const std::wstring_view Touched = WithoutLineEnd(Old.substr(Place.From, Place.To - Place.From));
            Write("{\"match\":{\"path\":" + JsonPath +
                  ",\"line\":" + std::to_string(Block.FirstLine + static_cast<std::int64_t>(Place.First)) +
                  ",\"column\":" + std::to_string(Place.Column + 1) + ",\"text\":" + JsonString(Touched) + After +
                  "}}");
        }
    });
}
