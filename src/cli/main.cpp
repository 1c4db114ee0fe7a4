// quorvane-cli: the search and replace engine without the window, for scripts
// and for measuring.
#include "cli/CliSupport.h"

#include "base/TextMatching.h"

#include <windows.h>

int wmain() {
    RecordStartupLocale();
    TCliOptions Options;
    std::wstring Error;
    if (!ParseCliArguments(CommandLineArguments(), Options, Error)) {
        TCliOutput Err(STD_ERROR_HANDLE);
        Err.WriteLine(Error);
        Err.WriteLine(L"");
        Err.Write(CliUsage());
        return ExitBadInput;
    }
    if (Options.Help) {
        TCliOutput Out(STD_OUTPUT_HANDLE);
        Out.Write(CliUsage());
        return 0;
    }
    if (Options.Command == L"replace") return RunReplaceCommand(Options);
    return RunSearchCommand(Options);
}
