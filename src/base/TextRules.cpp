#include "base/TextRules.h"

#include "base/TextMatching.h"

#include <algorithm>

namespace {

// Undoes the escapes of one half of a pair; false with Problem set on an unknown one.
bool Unescape(std::wstring_view Half, std::wstring& Out, std::size_t Line, TPairsProblem& Problem) {
    for (std::size_t I = 0; I < Half.size(); ++I) {
        if (Half[I] != L'\\') {
            Out += Half[I];
            continue;
        }
        const wchar_t Next = I + 1 < Half.size() ? Half[I + 1] : L'\0';
        if (Next == L't' || Next == L'n' || Next == L'\\') {
            Out += Next == L't' ? L'\t' : Next == L'n' ? L'\n' : L'\\';
            ++I;
            continue;
        }
        Problem = {TPairsFault::UnknownEscape, Line, std::wstring(Half.substr(I, I + 1 < Half.size() ? 2 : 1))};
        return false;
    }
    return true;
}

}  // namespace

std::vector<TReplaceRule> ReadPairLines(const std::vector<std::wstring>& Lines, TPairsProblem& Problem) {
    Problem = {};
    std::vector<TReplaceRule> Rules;
    for (std::size_t Index = 0; Index < Lines.size(); ++Index) {
        const std::wstring_view Line = Lines[Index];
        const std::size_t Number = Index + 1;
        if (!Line.empty() && Line.front() == L'#') continue;
        const std::size_t Tab = Line.find(L'\t');
        if (Tab == std::wstring_view::npos) {
            if (Line.find_first_not_of(L' ') == std::wstring_view::npos) continue;
            Problem = {TPairsFault::NoTab, Number, {}};
            return {};
        }
        TReplaceRule Rule;
        Rule.Line = Number;
        if (!Unescape(Line.substr(0, Tab), Rule.TextToFind, Number, Problem) ||
            !Unescape(Line.substr(Tab + 1), Rule.ReplaceWith, Number, Problem))
            return {};
        if (Rule.TextToFind.empty()) {
            Problem = {TPairsFault::EmptyFind, Number, {}};
            return {};
        }
        Rules.push_back(std::move(Rule));
    }
    if (Rules.empty()) Problem = {TPairsFault::NoPairs, 0, {}};
    return Rules;
}

TRuleChain::TRuleChain(std::vector<TReplaceRule> Rules, bool CaseSensitive, TFindRule Rule) {
    FSteps.reserve(Rules.size());
    for (TReplaceRule& Each : Rules) {
        TextScanner Scanner(Each.TextToFind, CaseSensitive, Rule);
        FSteps.push_back({std::move(Each), std::move(Scanner)});
    }
}

std::vector<std::int32_t> TRuleChain::Counts(std::wstring_view Text) const {
    std::vector<std::int32_t> Counts(FSteps.size(), 0);
    std::wstring Current;
    std::wstring_view Now = Text;
    for (std::size_t I = 0; I < FSteps.size(); ++I) {
        Counts[I] = CountMatches(Now, FSteps[I].Scanner);
        // The last pair's replacement is never looked at.
        if (Counts[I] > 0 && I + 1 < FSteps.size()) {
            Current = ReplaceAll(Now, FSteps[I].Scanner, FSteps[I].Rule.ReplaceWith);
            Now = Current;
        }
    }
    return Counts;
}

std::wstring TRuleChain::Applied(std::wstring_view Text) const {
    std::wstring Current(Text);
    for (const TStep& Step : FSteps)
        if (CountMatches(Current, Step.Scanner) > 0) Current = ReplaceAll(Current, Step.Scanner, Step.Rule.ReplaceWith);
    return Current;
}

std::vector<TTextEdit> TRuleChain::Edits(std::wstring_view Text) const {
    // The changes so far as places in Text; Current is Text with them made.
    std::vector<TTextEdit> Edits;
    std::wstring Current(Text);
    for (const TStep& Step : FSteps) {
        if (CountMatches(Current, Step.Scanner) == 0) continue;
        struct THit {
            std::size_t Start, End;
            std::wstring After;
        };
        std::vector<THit> Hits;
        const OccurrenceReplacer Writer(Step.Scanner, Current, Step.Rule.ReplaceWith);
        Step.Scanner.ForEach(Current, 0, [&](std::size_t Start, std::size_t End) {
            std::wstring After;
            Writer.Append(After, Start, End);
            Hits.push_back({Start, End, std::move(After)});
        });
        // Walk the old changes (with their places in Current) and the hits together.
        std::vector<TTextEdit> Merged;
        std::wstring Next;
        std::size_t E = 0;          // the next old change
        std::ptrdiff_t Shift = 0;   // Current's length less Text's, before the next old change
        std::size_t Copied = 0;     // Current is in Next up to here
        auto StartOf = [&](std::size_t Index) {
            return static_cast<std::size_t>(static_cast<std::ptrdiff_t>(Edits[Index].Start) + Shift);
        };
        auto Pass = [&](std::size_t Index) {  // Shift after the old change Index
            Shift += static_cast<std::ptrdiff_t>(Edits[Index].After.size()) -
                     static_cast<std::ptrdiff_t>(Edits[Index].End - Edits[Index].Start);
        };
        for (std::size_t H = 0; H < Hits.size();) {
            // Old changes wholly before the hit stay as they are.
            while (E < Edits.size() && StartOf(E) + Edits[E].After.size() <= Hits[H].Start) {
                Merged.push_back(Edits[E]);
                Pass(E++);
            }
            std::size_t GroupStart = Hits[H].Start, GroupEnd = Hits[H].End;
            const std::size_t OriginalStart =
                static_cast<std::size_t>(static_cast<std::ptrdiff_t>(GroupStart) - Shift);
            const std::size_t FirstHit = H;
            std::size_t FirstTaken = Edits.size();  // the first old change taken in
            // Take in every old change the group overlaps and every hit that starts in it.
            for (bool Grew = true; Grew;) {
                Grew = false;
                if (E < Edits.size()) {
                    const std::size_t EStart = StartOf(E);
                    const std::size_t EEnd = EStart + Edits[E].After.size();
                    const bool Overlaps = EStart < EEnd ? EStart < GroupEnd && EEnd > GroupStart
                                                        : EStart > GroupStart && EStart < GroupEnd;
                    if (Overlaps) {
                        if (FirstTaken == Edits.size()) FirstTaken = E;
                        GroupStart = std::min(GroupStart, EStart);
                        GroupEnd = std::max(GroupEnd, EEnd);
                        Pass(E++);
                        Grew = true;
                    }
                }
                if (H + 1 < Hits.size() && Hits[H + 1].Start < GroupEnd) {
                    GroupEnd = std::max(GroupEnd, Hits[++H].End);
                    Grew = true;
                }
            }
            ++H;
            TTextEdit Change;
            // The group starts where its hit does, or where the old change it took in starts.
            Change.Start = GroupStart < Hits[FirstHit].Start ? Edits[FirstTaken].Start : OriginalStart;
            Change.End = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(GroupEnd) - Shift);
            std::size_t At = GroupStart;
            for (std::size_t K = FirstHit; K < H; ++K) {
                Change.After.append(Current, At, Hits[K].Start - At);
                Change.After += Hits[K].After;
                At = Hits[K].End;
            }
            Change.After.append(Current, At, GroupEnd - At);
            Next.append(Current, Copied, GroupStart - Copied);
            Next += Change.After;
            Copied = GroupEnd;
            Merged.push_back(std::move(Change));
        }
        for (; E < Edits.size(); ++E) Merged.push_back(Edits[E]);
        Next.append(Current, Copied);
        Current = std::move(Next);
        Edits = std::move(Merged);
    }
    std::erase_if(Edits, [&](const TTextEdit& Edit) {
        return Text.substr(Edit.Start, Edit.End - Edit.Start) == Edit.After;
    });
    return Edits;
}

bool TRuleChain::ReplacesWithNonAscii() const {
    for (const TStep& Step : FSteps)
        if (std::any_of(Step.Rule.ReplaceWith.begin(), Step.Rule.ReplaceWith.end(),
                        [](wchar_t Unit) { return Unit >= 0x80; }))
            return true;
    return false;
}
