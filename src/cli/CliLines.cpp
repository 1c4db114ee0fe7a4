#include "cli/CliLines.h"

#include "base/TextLines.h"
#include "cli/CliText.h"
#include "files/TextFileBlocks.h"
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

void TBlockSource::Events(std::wstring_view Text, TLineBreaks Breaks, bool Lines, TBlockEvents& Events) const {
    ForEachBlockEvent(
        Text, Breaks, Lines,
        [&](const TBlockTake& Take) {
            if (FChain)
                ForEachEditBlock(Text, FChain->Edits(Text), FWithAfter, Breaks, Take);
            else
                ForEachMatchBlock(Text, *FScanner, FReplaceWith, Breaks, Take);
        },
        Events);
}

bool TBlockSource::ReadEvents(const std::wstring& Path, TEncodingMode Mode, TLineBreaks Breaks, bool Lines,
                              TBlockEvents& Events) const {
    if (!FChain) return ReadFileBlocks(Path, Mode, *FScanner, FReplaceWith, Breaks, Lines, Events);
    const TTextFileContent Content = LoadTextFile(Path, Mode, false);
    if (!Content.Read || Content.Invalid) return false;
    this->Events(Content.Text, Breaks, Lines, Events);
    return true;
}

TBlockFeed TextFeed(std::wstring_view Text, const TBlockSource& Source) {
    return [Text, &Source](TLineBreaks Breaks, bool Lines, TBlockEvents& Events) {
        Source.Events(Text, Breaks, Lines, Events);
        return true;
    };
}

TBlockFeed FileFeed(const std::wstring& Path, TEncodingMode Mode, const TBlockSource& Source) {
    return [&Path, Mode, &Source](TLineBreaks Breaks, bool Lines, TBlockEvents& Events) {
        return Source.ReadEvents(Path, Mode, Breaks, Lines, Events);
    };
}

bool ListedUtf8Mark(const std::wstring& Path, TEncodingMode Mode) {
    // Read automatically, a file with the mark is read as UTF-8.
    return (Mode == TEncodingMode::Utf8 || Mode == TEncodingMode::Auto) && DetectBom(Path) == bomUtf8;
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

namespace {

// The plain listing of one file as its blocks come.
class TPlainListing final : public TBlockEvents {
public:
    TPlainListing(std::wstring_view Path, std::int64_t Context, bool Separate, bool& ShownAny,
                  const TMatchLister::TWrite& Write)
        : FPrefix(Path), FContext(Context), FSeparate(Separate), FShownAny(ShownAny), FWrite(Write),
          FBefore(Context) {}

    void Line(std::int64_t Number, std::wstring_view Text) override {
        if (Number <= FContextUntil)
            WriteLine(Number, L'-', L"-" + ShownLine(WithoutLineEnd(Text)));
        else
            FBefore.Add(Number, Text);
    }
    void Block(const TMatchBlock& Block, std::wstring_view Old) override {
        const std::int64_t From = FBefore.First(Block.FirstLine);
        // A group that does not touch the one before is set apart, as grep does.
        if (FSeparate && (FShownUpTo != 0 ? From > FShownUpTo + 1 : FShownAny)) FWrite(L"--");
        FBefore.Take([this](std::int64_t Number, std::wstring_view Text) {
            WriteLine(Number, L'-', L"-" + ShownLine(WithoutLineEnd(Text)));
        });
        const std::vector<std::wstring_view> Lines = SplitLines(Old, TLineBreaks::Any);
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
        FShownUpTo = BlockLast;
        FContextUntil = BlockLast + FContext;
        FShownAny = true;
    }

private:
    void WriteLine(std::int64_t Line, wchar_t Mark, std::wstring_view Rest) {
        FWrite(FPrefix + Mark + PlainCount(Line) + std::wstring(Rest));
        FShownUpTo = Line;
    }

    const std::wstring FPrefix;
    const std::int64_t FContext;
    const bool FSeparate;
    bool& FShownAny;
    const TMatchLister::TWrite& FWrite;
    TLinesBefore FBefore;
    std::int64_t FShownUpTo = 0;     // the last line written (0: none of this file)
    std::int64_t FContextUntil = 0;  // the last line of the context after the last block
};

class TJsonListing final : public TBlockEvents {
public:
    TJsonListing(std::wstring_view Path, bool WithAfter, const std::function<void(std::string_view)>& Write)
        : FJsonPath(JsonString(Path)), FWithAfter(WithAfter), FWrite(Write) {}

    void Line(std::int64_t, std::wstring_view) override {}
    void Block(const TMatchBlock& Block, std::wstring_view Old) override {
        const std::vector<std::wstring_view> Lines = SplitLines(Old, TLineBreaks::Any);
        std::string After;
        if (FWithAfter) {
            // The new lines end where the old ones did.
            std::wstring_view New = Block.After;
            if (LineEndLength(Old) != 0) New.remove_suffix(LineEndLength(New));
            After = ",\"after\":" + JsonString(New);
        }
        TBlockPlaces Places(Block, Lines);
        for (std::size_t Match = 0; Match < Block.Matches.size(); ++Match) {
            const TBlockPlaces::TPlace Place = Places.Next();
            const std::wstring_view Touched = WithoutLineEnd(Old.substr(Place.From, Place.To - Place.From));
            FWrite("{\"match\":{\"path\":" + FJsonPath +
                   ",\"line\":" + std::to_string(Block.FirstLine + static_cast<std::int64_t>(Place.First)) +
                   ",\"column\":" + std::to_string(Place.Column + 1) + ",\"text\":" + JsonString(Touched) +
                   After + "}}");
        }
    }

private:
    const std::string FJsonPath;
    const bool FWithAfter;
    const std::function<void(std::string_view)>& FWrite;
};

}  // namespace

bool TMatchLister::List(std::wstring_view Path, const TBlockFeed& Feed) {
    const std::int64_t Context = FContext < 0 ? 0 : FContext;
    TPlainListing Listing(Path, Context, FContext >= 0, FShownAny, FWrite);
    return Feed(TLineBreaks::Any, Context > 0, Listing);
}

bool ListMatchesJson(std::wstring_view Path, bool WithAfter, const TBlockFeed& Feed,
                     const std::function<void(std::string_view)>& Write) {
    TJsonListing Listing(Path, WithAfter, Write);
    return Feed(TLineBreaks::Any, false, Listing);
}
