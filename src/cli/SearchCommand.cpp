#include "cli/CliSupport.h"

#include "workers/WorkThreadSearch.h"
#include "platform/Messages.h"

#include <windows.h>

int RunSearchCommand(const TCliOptions& Options) {
    TCliOutput Out(STD_OUTPUT_HANDLE);
    TCliOutput Err(STD_ERROR_HANDLE);
    if (std::wstring Error = InputError(Options); !Error.empty()) {
        Err.WriteLine(Error);
        return ExitBadInput;
    }

    std::int32_t Listed = 0, Skipped = 0;
    TWorkThreadSearch Worker(Options.Folder, Options.Recursive, Options.Filters, Options.TextToFind,
                             Options.CaseSensitive, Options.TextEncoding);
    Worker.OnSearchAddFile = [&](std::wstring FileName, std::int32_t Occurences, std::int32_t) {
        ++Listed;
        Out.WriteLine(FileName + L" (" + CountOrNotAvailable(Occurences) + L")");
    };
    Worker.OnSearchReturnValues = [&](std::int32_t SkipCount) { Skipped = SkipCount; };
    Worker.Start();
    Worker.WaitFor();
    if (Listed == 0) {
        Out.WriteLine(SearchResultMessage(Skipped));
        return ExitNone;
    }
    return ExitListed;
}
