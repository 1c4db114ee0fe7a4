#include "cli/CliSupport.h"

#include "engine/WorkThreadSearch.h"
#include "platform/Messages.h"

#include <windows.h>

int RunSearchCommand(const TCliOptions& Options) {
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
    if (Options.TextEncoding == 1 && ContainsUnicodeChars(Options.TextToFind)) {
        Err.WriteLine(MsgAnsiModeUnicode());
        return ExitBadInput;
    }

    std::int32_t Listed = 0, Skipped = 0;
    TWorkThreadSearch Worker(Options.Folder, Options.Recursive, Options.Filters, Options.TextToFind,
                             Options.CaseSensitive, Options.TextEncoding);
    Worker.OnSearchAddFile = [&](std::wstring FileName, std::int32_t Occurences, std::int32_t) {
        ++Listed;
        Out.WriteLine(FileName + L" (" +
                      (Occurences != 0 ? FormatCount(static_cast<std::uint64_t>(Occurences)) : std::wstring(L"N/A")) +
                      L")");
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
