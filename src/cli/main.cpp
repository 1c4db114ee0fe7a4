// quorvane-cli: the search and replace engine without the window, for people
// at a console and for scripts.
#include "base/TextMatching.h"
#include "cli/CliArguments.h"
#include "cli/CliCommands.h"
#include "cli/CliMessages.h"
#include "cli/CliOutput.h"
#include "cli/CliRun.h"
#include "workers/WorkerThread.h"

#include <windows.h>

#include <cwchar>

namespace {

constexpr LCID SwedishLocale = 1053;

// For the tests of the program as a whole: QV_FAIL_QUEUED_CALL=N makes the
// run's Nth call to this thread fail as if memory had run out.
void TakeFaultFromEnvironment() {
    wchar_t Value[32] = L"";
    const DWORD Length = GetEnvironmentVariableW(L"QV_FAIL_QUEUED_CALL", Value, 32);
    if (Length > 0 && Length < 32) WorkerThread::FailQueuedCallForTests(std::wcstoull(Value, nullptr, 10));
}

}  // namespace

int wmain() {
    RecordStartupLocale();
    InstallStopOnConsoleEvents();
    TakeFaultFromEnvironment();
    TCliOptions Options;
    std::wstring Error;
    if (!ParseCliArguments(CommandLineArguments(), StartupLocale == SwedishLocale, Options, Error)) {
        TCliOutput Err(STD_ERROR_HANDLE, false);
        Err.WriteLine(Error);
        Err.WriteLine(MsgTryHelp(Options.Swedish));
        return ExitBadInput;
    }
    if (Options.Help || Options.Version) {
        TCliOutput Out(STD_OUTPUT_HANDLE, false);
        if (Options.Help)
            Out.WriteLines(CliUsage(Options.Swedish));
        else
            Out.WriteLine(CliVersionLine());
        return 0;
    }
    if (Options.Command == TCliCommand::Replace) return RunReplaceCommand(Options);
    if (Options.Command == TCliCommand::Undo) return RunUndoCommand(Options);
    return RunSearchCommand(Options);
}
