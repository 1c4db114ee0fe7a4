#pragma once
// Running a worker from the command line: its events are served on this thread,
// and a stop is asked of the worker when the user presses Ctrl+C or the reader
// of standard output goes away.
#include "cli/CliOutput.h"
#include "workers/WorkerThread.h"

#include <optional>
#include <string>

constexpr int ExitListed = 0;       // search: a file was listed; replace: a file was (or would be) changed;
                                    // undo: every file was restored
constexpr int ExitNone = 1;         // nothing listed, nothing changed; undo: nothing to undo, or a file left untouched
constexpr int ExitBadInput = 2;     // the arguments or the input checks refused the command
constexpr int ExitDamagedJournal = 2;  // undo: the journal is damaged
constexpr int ExitFault = 2;        // the run ended through a fault: its results are partial
constexpr int ExitInterrupted = 130;

// Ctrl+C, Ctrl+Break and the console closing ask the running worker to stop
// after the file at hand; the process is not ended by them. Installed once.
void InstallStopOnConsoleEvents();
// True once such an event came.
bool StopRequested();

// Starts Worker and returns when its last event has run: the description of the
// fault that ended the run, if one did.
std::optional<std::wstring> RunToEnd(WorkerThread& Worker, const TCliOutput& Out);
