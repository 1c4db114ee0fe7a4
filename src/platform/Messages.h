#pragma once
// Texts the window and the command-line front end share: input-check messages,
// result messages, and the number format of every count shown to the user.
#include <cstdint>
#include <string>
#include <string_view>

// Digits grouped by three with the user's thousands separator, no decimals; 0 gives "0".
std::wstring FormatCount(std::uint64_t Value);
// A listed file's count as the list and the search output show it: "N/A" for 0
// (a count beyond the counter's reach), otherwise FormatCount.
std::wstring CountOrNotAvailable(std::int32_t Count);
// True when the text holds a code unit above U+00FF (ANSI mode refuses such texts).
bool ContainsUnicodeChars(std::wstring_view Text);

// Each returns the text in the language of the moment (UseSwedish).
std::wstring MsgSpecifyExistingFolder();
std::wstring MsgSpecifyFilters();
// A filter is a mask for names: one holding a folder or a drive is refused.
std::wstring MsgFilterHoldsPath(std::wstring_view Filter);
std::wstring MsgAnsiModeUnicode();
std::wstring MsgSpecifyTextToFind();
std::wstring MsgSameTextCaseSensitive();
std::wstring MsgReplaceWithEmpty();
// The question before the files kept in a review are changed.
std::wstring MsgApplyCheckedQuestion(std::int64_t FileCount);
std::wstring SearchResultMessage(std::int32_t SkipCount);
// JournalFailCount of the skipped files were left alone because their undo record
// could not be written; they are named in a sentence of their own.
std::wstring ApplyResultMessage(std::int32_t ChangeCount, std::int32_t ReplaceCount, std::int32_t SkipCount,
                               std::int32_t JournalFailCount = 0);
// A run ended through a fault, in both front ends; What is the fault's own
// description (empty: it has none).
std::wstring MsgRunFault(bool Swedish, std::wstring_view What);

// A FILETIME (UTC, as one number) in local time, in the user's short date and
// time formats: "2024-05-01 14:34" or "1.5.2024 14.34", as the user has chosen.
std::wstring FormatShortDateTime(std::uint64_t FileTime);
// Undo: the question before it, its result, and what can stop it.
std::wstring MsgUndoQuestion(std::int64_t FileCount, std::wstring_view Date);
std::wstring UndoResultMessage(std::int32_t RestoredCount, std::int32_t UntouchedCount);
std::wstring MsgUndoJournalDamaged(std::int32_t DamagedCount);
// The results of a run stopped with Esc: what was done up to the stop.
std::wstring StoppedSearchMessage(std::int32_t ListedCount, std::int32_t SkipCount);
std::wstring StoppedApplyMessage(std::int32_t ChangeCount, std::int32_t ReplaceCount, std::int32_t SkipCount);
std::wstring StoppedUndoMessage(std::int32_t RestoredCount, std::int32_t UntouchedCount);
std::wstring MsgUndoRunInUse();
std::wstring MsgUndoRunUnreadable();
std::wstring MsgUndoRunHeaderDamaged(std::wstring_view RunPath);
std::wstring MsgUndoBusy();
std::wstring MsgUndoRunKept();

// Whether Folder names an existing folder (a link to a folder counts).
bool FolderExists(std::wstring_view Folder);
