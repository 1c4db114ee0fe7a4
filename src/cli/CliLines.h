#pragma once
// What --lines shows of one file: each occurrence in its line, plain or as JSON,
// with the line as Apply would write it for a dry run. The occurrences and new
// lines come from ForEachMatchBlock (read in pieces where it can), whose scanner is the one Apply replaces
// with, so what is shown is what a count counts and Apply writes.
#include "base/TextLinePieces.h"
#include "base/TextLines.h"
#include "base/TextScanner.h"
#include "files/EncodingMode.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Walks a text's lines forward, one at a time: how the listings and the diff
// read the text outside the blocks, so a file is passed over once.
class TLineWalker {
public:
    TLineWalker(std::wstring_view Text, TLineBreaks Breaks) : FText(Text), FBreaks(Breaks) {}

    std::int64_t Line() const { return FLine; }
    bool AtEnd() const { return FStart >= FText.size(); }
    // The current line with its line end; empty at the end of the text.
    std::wstring_view Current() const { return FText.substr(FStart, LineEnd() - FStart); }
    void Next() {
        FStart = LineEnd();
        ++FLine;
    }
    // Jumps to a line whose start the caller knows (never backwards).
    void JumpTo(std::int64_t Line, std::size_t Start) {
        FLine = Line;
        FStart = Start;
    }

private:
    std::size_t LineEnd() const {
        for (std::size_t I = FStart; I < FText.size(); ++I) {
            if (FText[I] == L'\n') return I + 1;
            if (FBreaks == TLineBreaks::Any && FText[I] == L'\r')
                return I + 1 < FText.size() && FText[I + 1] == L'\n' ? I + 2 : I + 1;
        }
        return FText.size();
    }

    std::wstring_view FText;
    TLineBreaks FBreaks;
    std::int64_t FLine = 1;
    std::size_t FStart = 0;
};

// Where the listings and the diff take a file's blocks from: the occurrences of
// one text to find (with its replacement when given), or with --pairs the places
// the pairs change, each with what it becomes (TRuleChain::Edits).
class TBlockSource {
public:
    TBlockSource(const TextScanner& Scanner, const std::wstring* ReplaceWith)
        : FScanner(&Scanner), FReplaceWith(ReplaceWith) {}
    TBlockSource(const TRuleChain& Chain, bool WithAfter) : FChain(&Chain), FWithAfter(WithAfter) {}

    bool WithAfter() const { return FChain ? FWithAfter : FReplaceWith != nullptr; }
    // The blocks of a text held whole, with the lines outside them when Lines.
    void Events(std::wstring_view Text, TLineBreaks Breaks, bool Lines, TBlockEvents& Events) const;
    // A listed file read again in the encoding the run read it in: one text to
    // find is read in pieces where ReadFileBlocks can, the pairs (and a pattern)
    // whole. False when the file can no longer be read so.
    bool ReadEvents(const std::wstring& Path, TEncodingMode Mode, TLineBreaks Breaks, bool Lines,
                    TBlockEvents& Events) const;

private:
    const TextScanner* FScanner = nullptr;
    const std::wstring* FReplaceWith = nullptr;
    const TRuleChain* FChain = nullptr;
    bool FWithAfter = false;
};

// What the listings and the diff are handed their blocks by: a text's or a
// file's (TBlockSource); false when the file could not be read.
using TBlockFeed = std::function<bool(TLineBreaks Breaks, bool Lines, TBlockEvents& Events)>;
TBlockFeed TextFeed(std::wstring_view Text, const TBlockSource& Source);
TBlockFeed FileFeed(const std::wstring& Path, TEncodingMode Mode, const TBlockSource& Source);

// Whether a listed file read in Mode starts with the UTF-8 mark.
bool ListedUtf8Mark(const std::wstring& Path, TEncodingMode Mode);

// A line as the plain listing shows it: control characters other than TAB as \xNN.
std::wstring ShownLine(std::wstring_view Line);

// The plain listing of one file, in the file's order: "PATH:LINE:COLUMN:TEXT" for
// each occurrence (TEXT its whole first line), "PATH-LINE-TEXT" for the further
// lines it spans and for Context lines around it (Context < 0: none, and no
// separators), "--" between groups that do not touch. Lines end at CR LF, LF or CR.
class TMatchLister {
public:
    using TWrite = std::function<void(std::wstring_view Line)>;
    TMatchLister(std::int64_t Context, TWrite Write) : FContext(Context), FWrite(std::move(Write)) {}
    // False when Feed could not read the file (what came before the fault is written).
    bool List(std::wstring_view Path, const TBlockFeed& Feed);

private:
    std::int64_t FContext;
    TWrite FWrite;
    bool FShownAny = false;  // a group was written for an earlier file
};

// One JSON object per occurrence, in the file's order:
// {"match":{"path","line","column","text"}} with "after" added when the source
// has new texts. "text" holds the lines the occurrence touches without the last
// line end; "after" the lines of its block as Apply writes them.
bool ListMatchesJson(std::wstring_view Path, bool WithAfter, const TBlockFeed& Feed,
                     const std::function<void(std::string_view)>& Write);
