#include "cli/CliDiff.h"

#include "base/TextLines.h"
#include "cli/CliLines.h"
#include "cli/CliText.h"

#include <utility>

namespace {

// One hunk of a diff being gathered: its lines, counted as they are added.
class THunk {
public:
    explicit THunk(bool Utf8Mark) : FUtf8Mark(Utf8Mark) {}

    void Begin(std::int64_t OldLine, std::int64_t NewLine) {
        FOldStart = FOldNext = OldLine;
        FNewStart = FNewNext = NewLine;
        FBody.clear();
    }
    bool Open() const { return FOldStart != 0; }
    void Context(std::wstring_view Line) {
        // The mark belongs to the first line of each side: when the first line
        // went, the line that becomes first carries it only in the new file.
        if (FUtf8Mark && (FOldNext == 1) != (FNewNext == 1)) {
            Removed(Line);
            Added(Line);
            return;
        }
        EndChange();
        Add(FBody, ' ', Line, FOldNext == 1);
        ++FOldNext, ++FNewNext;
    }
    // A change's old lines, then its new ones, however the blocks that form it come.
    void Removed(std::wstring_view Line) { Add(FBody, '-', Line, FOldNext++ == 1); }
    void Added(std::wstring_view Line) { Add(FAdded, '+', Line, FNewNext++ == 1); }
    std::int64_t Delta() const { return FNewNext - FOldNext; }
    // The header and the lines; the hunk is closed.
    std::string Take() {
        EndChange();
        std::string Text = "@@ -" + Range(FOldStart, FOldNext - FOldStart) + " +" + Range(FNewStart, FNewNext - FNewStart) +
                           " @@\n" + FBody;
        FOldStart = 0;
        FBody.clear();
        return Text;
    }

private:
    // As diff writes a range: a single line by its number alone, no line by the one before it.
    static std::string Range(std::int64_t Start, std::int64_t Count) {
        if (Count == 1) return std::to_string(Start);
        return std::to_string(Count == 0 ? Start - 1 : Start) + "," + std::to_string(Count);
    }
    void Add(std::string& To, char Mark, std::wstring_view Line, bool First) {
        To += Mark;
        if (First && FUtf8Mark) To += "\xEF\xBB\xBF";
        To += ToUtf8(Line);
        if (Line.empty() || Line.back() != L'\n') To += "\n\\ No newline at end of file\n";
    }
    void EndChange() {
        FBody += FAdded;
        FAdded.clear();
    }

    bool FUtf8Mark;
    std::int64_t FOldStart = 0, FOldNext = 0, FNewStart = 0, FNewNext = 0;
    std::string FBody, FAdded;
};

// The diff of one file as its blocks come.
class TDiffWriter final : public TBlockEvents {
public:
    TDiffWriter(std::string Name, bool Utf8Mark, std::int64_t Context,
                const std::function<void(std::string_view)>& Write)
        : FName(std::move(Name)), FHunk(Utf8Mark), FContext(Context), FWrite(Write), FBefore(Context) {}

    void Line(std::int64_t Number, std::wstring_view Text) override {
        if (FHunk.Open() && Number <= FContextUntil)
            FHunk.Context(Text);
        else
            FBefore.Add(Number, Text);
    }
    void Block(const TMatchBlock& Block, std::wstring_view Old) override {
        if (FHunk.Open() && Block.FirstLine - FContext > FContextUntil + 1) Close();
        if (!FHunk.Open()) {
            const std::int64_t From = FBefore.First(Block.FirstLine);
            if (!FNamed) FWrite("--- a/" + FName + "\n+++ b/" + FName + "\n");
            FNamed = true;
            FHunk.Begin(From, From + FDelta);
        }
        FBefore.Take([this](std::int64_t, std::wstring_view Text) { FHunk.Context(Text); });
        for (TLineWalker Lines(Old, TLineBreaks::LfOnly); !Lines.AtEnd(); Lines.Next()) FHunk.Removed(Lines.Current());
        for (TLineWalker New(Block.After, TLineBreaks::LfOnly); !New.AtEnd(); New.Next()) FHunk.Added(New.Current());
        FContextUntil = Block.FirstLine + Block.LineCount - 1 + FContext;
    }
    void Finish() {
        if (FHunk.Open()) Close();
    }

private:
    void Close() {
        FDelta += FHunk.Delta();
        FWrite(FHunk.Take());
    }

    const std::string FName;
    THunk FHunk;
    const std::int64_t FContext;
    const std::function<void(std::string_view)>& FWrite;
    TLinesBefore FBefore;
    std::int64_t FDelta = 0;  // new lines less old lines before the hunk at hand
    std::int64_t FContextUntil = 0;
    bool FNamed = false;
};

}  // namespace

bool WriteUnifiedDiff(std::wstring_view RelativePath, bool Utf8Mark, const TBlockFeed& Feed, std::int64_t Context,
                      const std::function<void(std::string_view)>& Write) {
    // git ends a name that holds a blank with a TAB, so that a reader does not
    // take the rest for a time stamp.
    TDiffWriter Diff(ToUtf8(RelativePath) + (RelativePath.find(L' ') != std::wstring_view::npos ? "\t" : ""),
                     Utf8Mark, Context, Write);
    const bool Read = Feed(TLineBreaks::LfOnly, Context > 0, Diff);
    Diff.Finish();
    return Read;
}

std::wstring RelativeForwardPath(std::wstring_view Folder, std::wstring_view Path) {
    std::wstring_view Rest = Path;
    if (!Folder.empty() && Path.size() > Folder.size() && Path.substr(0, Folder.size()) == Folder) {
        Rest = Path.substr(Folder.size());
        while (!Rest.empty() && (Rest.front() == L'\\' || Rest.front() == L'/')) Rest.remove_prefix(1);
    }
    std::wstring Relative(Rest);
    for (wchar_t& Unit : Relative)
        if (Unit == L'\\') Unit = L'/';
    return Relative;
}
