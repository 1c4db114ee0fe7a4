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
    AnsiCannotHoldText,     // ANSI mode and a text with a character above U+00FF
    NoTextToFind,           // Apply only
    SameTextCaseSensitive,  // Apply only: the replacement is the text itself
};

struct TRunInputs {
    std::wstring_view Folder;
    std::wstring_view Filters;
    std::wstring_view TextToFind;
    std::wstring_view ReplaceWith;  // looked at by Apply only
    bool CaseSensitive = true;
    TEncodingMode Encoding = TEncodingMode::Auto;
};

// The first problem in the order the user meets them: folder, filters, ANSI's
// reach (Search tests only the text to find), then for Apply the text to find
// and whether the replacement differs from it.
TInputProblem CheckSearchInputs(const TRunInputs& Inputs);
TInputProblem CheckApplyInputs(const TRunInputs& Inputs);

// The window's message for a problem, in the language of the moment; empty for None.
std::wstring InputProblemMessage(TInputProblem Problem);
