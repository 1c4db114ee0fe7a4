#include "cli/CliRun.h"

#include <windows.h>

#include <atomic>
#include <thread>

namespace {

std::atomic<bool> StopFlag{false};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI ConsoleEvent(DWORD Event) {
    StopFlag.store(true);
    if (Event == CTRL_CLOSE_EVENT || Event == CTRL_LOGOFF_EVENT || Event == CTRL_SHUTDOWN_EVENT) {
        // Returning would end the process at once, perhaps in the middle of a
        // write; the main thread finishes the file at hand and ends the process
        // itself (the system allows a few seconds for that).
        Sleep(INFINITE);
    }
    return TRUE;  // a second Ctrl+C is answered the same way, never by ending the process
}

constexpr DWORD WatchPause = 20;  // ms between looks at the stop request and the reader

}  // namespace

void InstallStopOnConsoleEvents() {
    static const bool Installed = SetConsoleCtrlHandler(ConsoleEvent, TRUE) != FALSE;
    (void)Installed;
}

bool StopRequested() {
    return StopFlag.load();
}

std::optional<std::wstring> RunToEnd(WorkerThread& Worker, const TCliOutput& Out) {
    std::optional<std::wstring> Fault;
    Worker.OnRunFault = [&Fault](std::wstring What) { Fault = std::move(What); };
    // The worker's terminate request is an atomic flag, so a watching thread may
    // set it while this thread serves the worker's events in WaitFor.
    std::atomic<bool> Done{false};
    std::thread Watch([&] {
        while (!Done.load()) {
            if (StopRequested() || Out.Broken()) {
                Worker.Terminate();
                return;
            }
            Sleep(WatchPause);
        }
    });
    Worker.Start();
    Worker.WaitFor();
    Done.store(true);
    Watch.join();
    return Fault;
}
