#include "cli/CliSupport.h"

#include "engine/WorkThreadApply.h"
#include "platform/Messages.h"

#include <windows.h>

// The window's Apply command without its two questions: the command line is the
// confirmation, and --replace "" deletes the occurrences.
int RunReplaceCommand(const TCliOptions& Options) {
    TCliOutput Out(STD_OUTPUT_HANDLE);
    TCliOutput Err(STD_ERROR_HANDLE);
    // The window's input checks, in its order.
    if (!FolderExists(Options.Folder)) {
        Err.WriteLine(MsgSpecifyExistingFolder());
        return ExitBadInput;
    }
    if (Options.Filters.empty()) {
        Err.WriteLine(MsgSpecifyFilters());
        return ExitBadInput;
    }
    if (Options.TextEncoding == 1 &&
        (ContainsUnicodeChars(Options.TextToFind) || ContainsUnicodeChars(Options.ReplaceWith))) {
        Err.WriteLine(MsgAnsiModeUnicode());
        return ExitBadInput;
    }
    if (Options.TextToFind.empty()) {
        Err.WriteLine(MsgSpecifyTextToFind());
        return ExitBadInput;
    }
    if (Options.CaseSensitive && Options.TextToFind == Options.ReplaceWith) {
        Err.WriteLine(MsgSameTextCaseSensitive());
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
