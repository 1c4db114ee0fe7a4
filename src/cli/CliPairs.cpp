#include "cli/CliPairs.h"

#include "base/TextPattern.h"
#include "cli/CliMessages.h"
#include "cli/CliText.h"
#include "platform/InputChecks.h"

namespace {

// A message about one line of the file: the place goes before what is wrong.
std::wstring AtLine(bool Swedish, std::wstring_view Path, std::size_t Line, std::wstring_view Message) {
    const std::wstring Prefix = std::wstring(CliName) + L": ";
    std::wstring_view What = Message;
    if (What.substr(0, Prefix.size()) == Prefix) What.remove_prefix(Prefix.size());
    return Prefix + L"--pairs: '" + std::wstring(Path) + L"'" + (Swedish ? L" rad " : L" line ") +
           PlainCount(static_cast<std::int64_t>(Line)) + L": " + std::wstring(What);
}

std::wstring ProblemText(bool Swedish, const TPairsProblem& Problem) {
    switch (Problem.Fault) {
    case TPairsFault::NoTab:
        return Swedish ? L"ingen TAB mellan texten att hitta och ersättningen"
                       : L"no TAB between the text to find and its replacement";
    case TPairsFault::UnknownEscape:
        return (Swedish ? L"okänd \\-sekvens '" : L"unknown escape '") + Problem.Escape +
               (Swedish ? L"' (använd \\t, \\n eller \\\\)" : L"' (use \\t, \\n or \\\\)");
    case TPairsFault::EmptyFind:
        return Swedish ? L"ingen text att hitta före TAB" : L"no text to find before the TAB";
    case TPairsFault::None:
    case TPairsFault::NoPairs: break;
    }
    return {};
}

}  // namespace

bool ReadPairsFile(const std::wstring& Path, bool Swedish, bool CaseSensitive, TFindRule Rule,
                   std::vector<TReplaceRule>& Pairs, std::wstring& Error) {
    TListFileFault Fault = TListFileFault::None;
    const std::vector<std::wstring> Lines = ReadUtf8Lines(Path, Fault);
    if (Fault != TListFileFault::None) {
        Error = MsgListFileFault(Swedish, L"--pairs", Path, Fault == TListFileFault::NotUtf8);
        return false;
    }
    TPairsProblem Problem;
    Pairs = ReadPairLines(Lines, Problem);
    if (Problem.Fault == TPairsFault::NoPairs) {
        Error = std::wstring(CliName) + L": --pairs: '" + Path +
                (Swedish ? L"' innehåller inga par (ett per rad: SÖK<TAB>ERSÄTT)"
                         : L"' holds no pairs (one a line: FIND<TAB>REPLACE)");
        return false;
    }
    if (Problem.Fault != TPairsFault::None) {
        Error = AtLine(Swedish, Path, Problem.Line, ProblemText(Swedish, Problem));
        return false;
    }
    // Every pattern and the groups its replacement names, before any file is read.
    if (Rule.Regex) {
        for (const TReplaceRule& Pair : Pairs) {
            TPatternProblem Bad;
            const auto Pattern = TextPattern::Compile(Pair.TextToFind, CaseSensitive, Rule.WholeWord, Bad);
            TPatternReplacement Pieces;
            if (Pattern) Pattern->ReadReplacement(Pair.ReplaceWith, Pieces, Bad);
            if (Bad.Fault != TPatternFault::None) {
                Error = AtLine(Swedish, Path, Pair.Line, MsgPatternProblem(Swedish, Pair.TextToFind, Bad));
                Pairs.clear();
                return false;
            }
        }
    }
    return true;
}

std::optional<std::wstring> CheckPairInputs(const TCliOptions& Options, bool Apply) {
    for (const TReplaceRule& Pair : Options.Pairs) {
        const TRunInputs Inputs{Options.Folder, Options.Filters,       Pair.TextToFind,
                                Pair.ReplaceWith, Options.CaseSensitive, Options.TextEncoding,
                                Options.Regex};
        const TInputProblem Problem = Apply ? CheckApplyInputs(Inputs) : CheckSearchInputs(Inputs);
        if (Problem == TInputProblem::None) continue;
        const bool Swedish = Options.Swedish;
        if (Problem == TInputProblem::SameTextCaseSensitive)
            return AtLine(Swedish, Options.PairsFile, Pair.Line,
                          Swedish ? L"texten att hitta och ersättningen är samma, så ingenting skulle ändras (med "
                                    L"--ignore-case görs andra skiftlägen likadana)"
                                  : L"the text to find and its replacement are the same, so nothing would change "
                                    L"(with --ignore-case, other letter cases are made like it)");
        // A pair's own problem names its line; the folder's and the filters' are the run's.
        if (Problem == TInputProblem::AnsiCannotHoldText || Problem == TInputProblem::NoTextToFind)
            return AtLine(Swedish, Options.PairsFile, Pair.Line,
                          CliInputProblemMessage(Swedish, Problem, Options.Folder, Options.Filters));
        return CliInputProblemMessage(Swedish, Problem, Options.Folder, Options.Filters);
    }
    return std::nullopt;
}
