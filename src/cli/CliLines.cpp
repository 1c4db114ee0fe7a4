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

// Where an occurrence at Offset of a block sits: the index of its line among the
// block's lines and its column (0-based) in that line.
struct TPlace {
    std::size_t Index = 0;
    std::size_t Column = 0;
};
TPlace PlaceOf(const std::vector<std::wstring_view>& Lines, std::size_t Offset) {
    TPlace Place;
    while (Place.Index + 1 < Lines.size() && Offset >= Lines[Place.Index].size()) Offset -= Lines[Place.Index++].size();
    Place.Column = Offset;
    return Place;
}

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

void TMatchLister::List(std::wstring_view Path, std::wstring_view Text, const TextScanner& Scanner) {
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

    ForEachMatchBlock(Text, Scanner, nullptr, TLineBreaks::Any, [&](const TMatchBlock& Block) {
        WriteContextUpTo(std::min(ContextUntil, Block.FirstLine - 1));
        const std::int64_t From = std::max(Walker.Line(), Block.FirstLine - Context);
        // A group that does not touch the one before is set apart, as grep does.
        if (FContext >= 0 && (ShownUpTo != 0 ? From > ShownUpTo + 1 : FShownAny)) FWrite(L"--");
        while (Walker.Line() < From) Walker.Next();
        WriteContextUpTo(Block.FirstLine - 1);

        const std::vector<std::wstring_view> Lines = SplitLines(Text.substr(Block.Start, Block.End - Block.Start),
                                                                 TLineBreaks::Any);
        for (const std::size_t Hit : Block.Matches) {
            const TPlace Start = PlaceOf(Lines, Hit - Block.Start);
            const TPlace Last = PlaceOf(Lines, Hit - Block.Start + Scanner.Length() - 1);
            const std::int64_t Line = Block.FirstLine + static_cast<std::int64_t>(Start.Index);
            WriteLine(Line, L':',
                      L":" + PlainCount(static_cast<std::int64_t>(Start.Column) + 1) + L":" +
                          ShownLine(WithoutLineEnd(Lines[Start.Index])));
            for (std::size_t I = Start.Index + 1; I <= Last.Index; ++I)
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

void ListMatchesJson(std::wstring_view Path, std::wstring_view Text, const TextScanner& Scanner,
                     const std::wstring* ReplaceWith, const std::function<void(std::string_view)>& Write) {
    const std::string JsonPath = JsonString(Path);
    ForEachMatchBlock(Text, Scanner, ReplaceWith, TLineBreaks::Any, [&](const TMatchBlock& Block) {
        const std::wstring_view Old = Text.substr(Block.Start, Block.End - Block.Start);
        const std::vector<std::wstring_view> Lines = SplitLines(Old, TLineBreaks::Any);
        std::string After;
        if (ReplaceWith != nullptr) {
            // The new lines end where the old ones did.
            std::wstring_view New = Block.After;
            if (LineEndLength(Old) != 0) New.remove_suffix(LineEndLength(New));
            After = ",\"after\":" + JsonString(New);
        }
        for (const std::size_t Hit : Block.Matches) {
            const TPlace Start = PlaceOf(Lines, Hit - Block.Start);
            const TPlace Last = PlaceOf(Lines, Hit - Block.Start + Scanner.Length() - 1);
            std::size_t From = 0, To = 0;  // the lines it touches, within Old
            for (std::size_t I = 0; I < Start.Index; ++I) From += Lines[I].size();
            To = From;
            for (std::size_t I = Start.Index; I <= Last.Index; ++I) To += Lines[I].size();
            const std::wstring_view Touched = WithoutLineEnd(Old.substr(From, To - From));
            Write("{\"match\":{\"path\":" + JsonPath +
                  ",\"line\":" + std::to_string(Block.FirstLine + static_cast<std::int64_t>(Start.Index)) +
                  ",\"column\":" + std::to_string(Start.Column + 1) + ",\"text\":" + JsonString(Touched) + After +
                  "}}");
        }
    });
}
