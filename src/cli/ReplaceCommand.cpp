#include "cli/CliSupport.h"

#include "platform/Language.h"

#include <windows.h>

// Replaced by the real command together with the apply worker.
int RunReplaceCommand(const TCliOptions&) {
    TCliOutput Err(STD_ERROR_HANDLE);
    Err.WriteLine(ChooseText(UseSwedish(), L"replace finns inte ännu.", L"replace is not available yet."));
    return ExitBadInput;
}
