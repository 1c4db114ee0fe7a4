#include "platform/InputChecks.h"

#include "base/TextLineBreaks.h"
#include "platform/Messages.h"

#include <algorithm>

namespace {

TInputProblem CheckCommonInputs(const TRunInputs& Inputs, bool Apply) {
    if (!FolderExists(Inputs.Folder)) return TInputProblem::NoSuchFolder;
    if (Inputs.Filters.empty()) return TInputProblem::NoFilters;
    if (!FilterHoldingPath(Inputs.Filters).empty()) return TInputProblem::FilterHoldsPath;
    if (Inputs.Encoding == TEncodingMode::Ansi &&
        (ContainsUnicodeChars(Inputs.TextToFind) || (Apply && ContainsUnicodeChars(Inputs.ReplaceWith))))
        return TInputProblem::AnsiCannotHoldText;
    return TInputProblem::None;
}

}  // namespace

std::wstring FilterHoldingPath(std::wstring_view Filters) {
    const auto IsBlank = [](wchar_t C) { return C == L' ' || C == L'\t'; };
    while (!Filters.empty()) {
        const size_t End = std::min(Filters.find(L';'), Filters.size());
        std::wstring_view Filter = Filters.substr(0, End);
        Filters.remove_prefix(std::min(End + 1, Filters.size()));
        while (!Filter.empty() && IsBlank(Filter.front())) Filter.remove_prefix(1);
        while (!Filter.empty() && IsBlank(Filter.back())) Filter.remove_suffix(1);
        if (Filter.find_first_of(L"\\/:") != std::wstring_view::npos) return std::wstring(Filter);
    }
    return {};
}

TInputProblem CheckSearchInputs(const TRunInputs& Inputs) { return CheckCommonInputs(Inputs, false); }

TInputProblem CheckApplyInputs(const TRunInputs& Inputs) {
    if (TInputProblem Problem = CheckCommonInputs(Inputs, true); Problem != TInputProblem::None) return Problem;
    if (Inputs.TextToFind.empty()) return TInputProblem::NoTextToFind;
    // A line break is one, of whatever kind: "a" CR LF "b" replaced by "a" LF "b" would write
    // each occurrence back as it was.
    if (!Inputs.Regex && Inputs.CaseSensitive && SameButForLineBreaks(Inputs.TextToFind, Inputs.ReplaceWith))
        return TInputProblem::SameTextCaseSensitive;
    return TInputProblem::None;
}

std::wstring InputProblemMessage(TInputProblem Problem, std::wstring_view Filters) {
    switch (Problem) {
    case TInputProblem::None: break;
    case TInputProblem::NoSuchFolder: return MsgSpecifyExistingFolder();
    case TInputProblem::NoFilters: return MsgSpecifyFilters();
    case TInputProblem::FilterHoldsPath: return MsgFilterHoldsPath(FilterHoldingPath(Filters));
    case TInputProblem::AnsiCannotHoldText: return MsgAnsiModeUnicode();
    case TInputProblem::NoTextToFind: return MsgSpecifyTextToFind();
    case TInputProblem::SameTextCaseSensitive: return MsgSameTextCaseSensitive();
    }
    return {};
}
