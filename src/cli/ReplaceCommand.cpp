#include "cli/CliSupport.h"

#include "workers/WorkThreadApply.h"
#include "platform/Messages.h"

#include <windows.h>

// The window's Apply command without its two questions: the command line is the
// confirmation, and --replace "" deletes the occurrences.
int RunReplaceCommand(const TCliOptions& Options) {
    TCliOutput Out(STD_OUTPUT_HANDLE);
    TCliOutput Err(STD_ERROR_HANDLE);
    if (std::wstring Error = InputError(Options); !Error.empty()) {
        Err.WriteLine(Error);
        return ExitBadInput;
    }

    std::int32_t Changed = 0, Replaced = 0, Skipped = 0;
    TWorkThreadApply Worker(Options.Folder, Options.Recursive, Options.Filters, Options.TextToFind,
                            Options.ReplaceWith, Options.CaseSensitive, Options.TextEncoding);
    Worker.OnApplyReturnValues = [&](std::int32_t ChangeCount, std::int32_t ReplaceCount, std::int32_t SkipCount) {
        Changed = ChangeCount;
        Replaced = ReplaceCount;
        Skipped = SkipCount;
    };
    Worker.Start();
    Worker.WaitFor();
    Out.WriteLine(ApplyResultMessage(Changed, Replaced, Skipped));
    return Changed != 0 ? ExitListed : ExitNone;
}
