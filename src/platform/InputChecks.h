#pragma once
// The checks a Search or an Apply makes of its input before it starts, shared
// by the window and the command line; each front end words the problem itself.
#include "files/EncodingMode.h"

#include <string>
#include <string_view>

enum class TInputProblem {
    None,
    NoSuchFolder,           // the folder is empty, missing, or a file
    NoFilters,              // the filter text is empty
    FilterHoldsPath,        // a filter holds "\", "/" or ":": a path, not a mask
    AnsiCannotHoldText,     // ANSI mode and a text with a character above U+00FF
    NoTextToFind,           // Apply only
    SameTextCaseSensitive,  // Apply only: the replacement is the text itself (line breaks of any kind alike)
};

struct TRunInputs {
    std::wstring_view Folder;
    std::wstring_view Filters;
    std::wstring_view TextToFind;
    std::wstring_view ReplaceWith;  // looked at by Apply only
    bool CaseSensitive = true;
    TEncodingMode Encoding = TEncodingMode::Auto;
    bool Regex = false;  // the text to find is a pattern: a replacement equal to it still changes what it matches
};

// The first problem in the order the user meets them: folder, filters (present,
// and masks rather than paths), ANSI's
// reach (Search tests only the text to find), then for Apply the text to find
// and whether the replacement differs from it.
TInputProblem CheckSearchInputs(const TRunInputs& Inputs);
TInputProblem CheckApplyInputs(const TRunInputs& Inputs);

// The first filter of the list (split at ";", blanks around it dropped) that
// holds a path separator or a drive colon; empty when there is none.
std::wstring FilterHoldingPath(std::wstring_view Filters);

// The window's message for a problem, in the language of the moment; empty for
// None. Filters names the offending filter of FilterHoldsPath.
std::wstring InputProblemMessage(TInputProblem Problem, std::wstring_view Filters = {});
