#pragma once
// Every text quorvane-cli prints, in Swedish and in English. The window's
// messages speak of keys and check boxes; these speak of options.
#include "base/TextPattern.h"
#include "files/UndoJournal.h"
#include "platform/InputChecks.h"
#include "workers/WorkThreadApply.h"
#include "workers/WorkThreadUndo.h"

#include <cstdint>
#include <string>
#include <string_view>

// The program's name, as messages begin with it.
constexpr std::wstring_view CliName = L"quorvane-cli";

std::wstring CliUsage(bool Swedish);
std::wstring CliVersionLine();
std::wstring MsgTryHelp(bool Swedish);

// Faults in the arguments.
std::wstring MsgUnknownOption(bool Swedish, std::wstring_view Option);
std::wstring MsgOptionNeedsValue(bool Swedish, std::wstring_view Option);
std::wstring MsgOptionBadValue(bool Swedish, std::wstring_view Option);
std::wstring MsgUnknownEncoding(bool Swedish, std::wstring_view Name);
std::wstring MsgNameACommand(bool Swedish);
std::wstring MsgUnknownCommand(bool Swedish, std::wstring_view Command);
std::wstring MsgNameAFolder(bool Swedish);
std::wstring MsgUnexpectedArgument(bool Swedish, std::wstring_view Argument);
std::wstring MsgFindMissing(bool Swedish, bool Replace);
std::wstring MsgReplaceMissing(bool Swedish);
std::wstring MsgBelongsToReplace(bool Swedish, std::wstring_view Option);
std::wstring MsgOptionsExcludeEachOther(bool Swedish, std::wstring_view First, std::wstring_view Second);
// replace: an option that only a dry run can serve.
std::wstring MsgNeedsDryRun(bool Swedish, std::wstring_view Option);
std::wstring MsgUndoTakesNoArgument(bool Swedish, std::wstring_view Argument);
std::wstring MsgNotForUndo(bool Swedish, std::wstring_view Option);
std::wstring MsgBelongsToUndo(bool Swedish, std::wstring_view Option);
// --regex: a pattern that does not compile (naming where), that matches the empty
// text, or a replacement naming a group the pattern lacks.
std::wstring MsgPatternProblem(bool Swedish, std::wstring_view Pattern, const TPatternProblem& Problem);
std::wstring MsgBelongsToSearch(bool Swedish, std::wstring_view Option);
std::wstring MsgNullNeedsFilesWithMatches(bool Swedish);
// A file an option names could not be read, or is not UTF-8 text.
std::wstring MsgListFileFault(bool Swedish, std::wstring_view Option, std::wstring_view Path, bool NotUtf8);

// The command line's wording of a problem the shared input checks found; Folder
// is the folder as typed (the message tells a file from a missing folder).
std::wstring CliInputProblemMessage(bool Swedish, TInputProblem Problem, std::wstring_view Folder,
                                   std::wstring_view Filters = {});

// Results.
std::wstring MsgNoFilesMatched(bool Swedish, std::int64_t Skipped);
std::wstring MsgSkippedFiles(bool Swedish, std::int64_t Skipped);
std::wstring SearchTotalsLine(bool Swedish, std::int64_t Files, std::int64_t Occurrences, std::int64_t Skipped);
// Stopped: the run was interrupted, and the line says so in place of "Done.".
std::wstring ReplaceResultLine(bool Swedish, std::int64_t Changed, std::int64_t Replacements, std::int64_t Skipped,
                              bool Stopped = false);
std::wstring DryRunResultLine(bool Swedish, std::int64_t Changed, std::int64_t Replacements, std::int64_t Skipped,
                              bool Stopped = false);
// An interrupted search: "Stopped. Files listed: N." and the skipped files, if any.
std::wstring MsgSearchStopped(bool Swedish, std::int64_t Listed, std::int64_t Skipped);
std::wstring MsgInterrupted(bool Swedish);
// A run ended through a fault; What is the fault's own description.
std::wstring MsgRunFaultLine(bool Swedish, std::wstring_view What);

// --lines and --diff: a file that could not be read again for its lines.
std::wstring MsgLinesUnreadable(bool Swedish, std::wstring_view Path);

// Why Apply skipped a file (a skipped outcome of the Apply worker).
std::wstring SkipReasonText(bool Swedish, TApplyFileOutcome Reason);
std::wstring SkipReasonCode(TApplyFileOutcome Reason);  // the --json value
// A skipped file's line in the plain output: "path (skipped: reason)".
std::wstring SkippedFileLine(bool Swedish, std::wstring_view Path, TApplyFileOutcome Reason);

// Undo: the result line ("Done. Files restored: N." or "Stopped. ...", and, when M > 0, " Changed
// since and left untouched: M."), a file not restored and why, and the messages.
std::wstring UndoResultLine(bool Swedish, std::int64_t Restored, std::int64_t Untouched, bool Stopped = false);
std::wstring UndoReasonText(bool Swedish, TUndoFileOutcome Outcome);
std::wstring UndoFileLine(bool Swedish, std::wstring_view Path, TUndoFileOutcome Outcome);
std::wstring MsgNothingToUndo(bool Swedish);
std::wstring MsgUndoRunInUse(bool Swedish);
std::wstring MsgUndoRunUnreadable(bool Swedish);
std::wstring MsgUndoJournalDamaged(bool Swedish, std::int64_t Entries);
std::wstring MsgUndoRunHeaderDamaged(bool Swedish, std::wstring_view RunPath);
std::wstring MsgUndoBusy(bool Swedish);
std::wstring MsgUndoRunKept(bool Swedish);
std::wstring UndoProgressName(bool Swedish);
// undo --list: one run, several lines; Date is its start in local time.
std::wstring UndoRunLines(bool Swedish, const TUndoRun& Run);

// The status line: the filter, the percentage, files examined and listed.
std::wstring ProgressText(bool Swedish, std::wstring_view Filter, std::int32_t Percent, std::int64_t Examined,
                          std::int64_t Listed, bool ShowListed);
