#include "platform/InputChecks.h"

#include "platform/Messages.h"

namespace {

TInputProblem CheckCommonInputs(const TRunInputs& Inputs, bool Apply) {
    if (!FolderExists(Inputs.Folder)) return TInputProblem::NoSuchFolder;
    if (Inputs.Filters.empty()) return TInputProblem::NoFilters;
    if (Inputs.Encoding == TEncodingMode::Ansi &&
        (ContainsUnicodeChars(Inputs.TextToFind) || (Apply && ContainsUnicodeChars(Inputs.ReplaceWith))))
        return TInputProblem::AnsiCannotHoldText;
    return TInputProblem::None;
}

}  // namespace

TInputProblem CheckSearchInputs(const TRunInputs& Inputs) { return CheckCommonInputs(Inputs, false); }

TInputProblem CheckApplyInputs(const TRunInputs& Inputs) {
    if (TInputProblem Problem = CheckCommonInputs(Inputs, true); Problem != TInputProblem::None) return Problem;
    if (Inputs.TextToFind.empty()) return TInputProblem::NoTextToFind;
    if (Inputs.CaseSensitive && Inputs.TextToFind == Inputs.ReplaceWith) return TInputProblem::SameTextCaseSensitive;
    return TInputProblem::None;
}

std::wstring InputProblemMessage(TInputProblem Problem) {
    switch (Problem) {
    case TInputProblem::None: break;
    case TInputProblem::NoSuchFolder: return MsgSpecifyExistingFolder();
    case TInputProblem::NoFilters: return MsgSpecifyFilters();
    case TInputProblem::AnsiCannotHoldText: return MsgAnsiModeUnicode();
    case TInputProblem::NoTextToFind: return MsgSpecifyTextToFind();
    case TInputProblem::SameTextCaseSensitive: return MsgSameTextCaseSensitive();
    }
    return {};
}
