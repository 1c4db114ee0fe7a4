#include "platform/Messages.h"

#include "files/LongPath.h"
#include "platform/Language.h"

#include <windows.h>

#include <vector>

std::wstring FormatCount(std::uint64_t Value) {
    // The pattern "#,###;-#,###;0": the locale's grouping and separator, no decimals.
    // The platform formats zero without digits when leading zeros are off.
    if (Value == 0) return L"0";
    std::wstring Digits = std::to_wstring(Value);
    wchar_t Separator[8] = L",";
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, Separator, 8) <= 0) {
        Separator[0] = L',';
        Separator[1] = L'\0';
    }
    NUMBERFMTW Format{};
    Format.NumDigits = 0;
    Format.LeadingZero = 0;
    Format.Grouping = 3;
    wchar_t Decimal[2] = L".";
    Format.lpDecimalSep = Decimal;
    Format.lpThousandSep = Separator;
    Format.NegativeOrder = 1;
    int Length = GetNumberFormatW(LOCALE_USER_DEFAULT, 0, Digits.c_str(), &Format, nullptr, 0);
    if (Length <= 0) return Digits;
    std::vector<wchar_t> Buffer(static_cast<size_t>(Length));
    if (GetNumberFormatW(LOCALE_USER_DEFAULT, 0, Digits.c_str(), &Format, Buffer.data(), Length) <= 0) return Digits;
    return std::wstring(Buffer.data());
}

std::wstring CountOrNotAvailable(std::int32_t Count) {
    return Count != 0 ? FormatCount(static_cast<std::uint64_t>(Count)) : std::wstring(L"N/A");
}

bool ContainsUnicodeChars(std::wstring_view Text) {
    for (wchar_t C : Text)
        if (static_cast<unsigned>(C) > 0xFF) return true;
    return false;
}

std::wstring MsgSpecifyExistingFolder() {
    return ChooseText(UseSwedish(), L"Ange en existerande mapp.", L"Specify an existing folder.");
}

std::wstring MsgFilterHoldsPath(std::wstring_view Filter) {
    return ChooseText(UseSwedish(), L"Filter får inte innehålla sökvägar: ", L"A filter cannot hold a path: ") +
           std::wstring(Filter);
}

std::wstring MsgSpecifyFilters() {
    return ChooseText(UseSwedish(), L"Ange ett eller flera filter.", L"Specify one or more filter(s).");
}

std::wstring MsgAnsiModeUnicode() {
    return ChooseText(UseSwedish(),
                      L"Programmet arbetar i ANSI-läge och hanterar därför inte Unicode-tecken. Växla läge med [F8].",
                      L"The program works in ANSI mode and thus can not handle Unicode characters. Switch mode with [F8].");
}

std::wstring MsgSpecifyTextToFind() {
    return ChooseText(UseSwedish(), L"Ange en text att hitta.", L"Specify a text to find.");
}

std::wstring MsgSameTextCaseSensitive() {
    return ChooseText(UseSwedish(),
                      L"Text att hitta och ersätt med kan inte ha samma värde när skiftlägeskänsligt är på.",
                      L"Text to find and replace with cannot be the same when case sensitive is checked.");
}

std::wstring MsgReplaceWithEmpty() {
    return ChooseText(UseSwedish(),
                      L"Ersätt med är tomt vilket innebär att text att hitta kommer raderas. Klicka på OK för att fortsätta ändå.",
                      L"Replace with is empty. All occurences of text to find will be deleted. Click OK to continue anyway.");
}

std::wstring MsgApplyCheckedQuestion(std::int64_t FileCount) {
    const std::wstring Count = FormatCount(static_cast<std::uint64_t>(FileCount));
    return ChooseText(UseSwedish(), L"Verkställ ändringarna i " + Count + L" fil(er)?",
                      L"Apply the changes to " + Count + L" file(s)?");
}

namespace {

// " Number of skipped files: N." after a result, when files were skipped.
std::wstring SkippedSuffix(bool Swedish, std::int32_t SkipCount) {
    if (SkipCount == 0) return {};
    return ChooseText(Swedish, L" Antal överhoppade filer: ", L" Number of skipped files: ") +
           FormatCount(static_cast<std::uint64_t>(SkipCount)) + L".";
}

}  // namespace

std::wstring SearchResultMessage(std::int32_t SkipCount) {
    bool Swedish = UseSwedish();
    return ChooseText(Swedish, L"Inga filer matchades.", L"No files were matched.") + SkippedSuffix(Swedish, SkipCount);
}

std::wstring ApplyResultMessage(std::int32_t ChangeCount, std::int32_t ReplaceCount, std::int32_t SkipCount,
                               std::int32_t JournalFailCount) {
    bool Swedish = UseSwedish();
    std::wstring Text;
    if (ChangeCount == 0) {
        Text = ChooseText(Swedish, L"Inga filer ändrades.", L"No files were changed.");
    } else {
        Text = ChooseText(Swedish, L"Klar. Antal filer som ändrades: ", L"Done. Number of files that were changed: ") +
               FormatCount(static_cast<std::uint64_t>(ChangeCount)) + ChooseText(Swedish, L". Totalt ", L". In total ") +
               FormatCount(static_cast<std::uint64_t>(ReplaceCount)) +
               ChooseText(Swedish, L" ersättning(ar).", L" replacement(s).");
    }
    Text += SkippedSuffix(Swedish, SkipCount);
    // Those files were left alone for want of an undo record: the journal's folder
    // needs looking at before the next Apply.
    if (JournalFailCount != 0)
        Text += ChooseText(Swedish, L" Antal filer som inte kunde journalföras: ",
                           L" Files that could not be journalled: ") +
                FormatCount(static_cast<std::uint64_t>(JournalFailCount)) + L".";
    return Text;
}

std::wstring FormatShortDateTime(std::uint64_t FileTime) {
    FILETIME Utc{static_cast<DWORD>(FileTime), static_cast<DWORD>(FileTime >> 32)};
    SYSTEMTIME UtcParts{}, Local{};
    if (!FileTimeToSystemTime(&Utc, &UtcParts)) return {};
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &UtcParts, &Local)) Local = UtcParts;
    wchar_t Date[128] = L"", Time[128] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &Local, nullptr, Date, 128);
    GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &Local, nullptr, Time, 128);
    return std::wstring(Date) + L" " + Time;
}

std::wstring MsgUndoQuestion(std::int64_t FileCount, std::wstring_view Date) {
    const std::wstring Count = FormatCount(static_cast<std::uint64_t>(FileCount));
    return ChooseText(UseSwedish(), L"Återställa " + Count + L" fil(er) som ändrades " + std::wstring(Date) + L"?",
                      L"Restore " + Count + L" file(s) changed on " + std::wstring(Date) + L"?");
}

namespace {

// An undo's result after its opening word: the files restored and, when there
// are any, the files left untouched.
std::wstring UndoCounts(bool Swedish, std::int32_t RestoredCount, std::int32_t UntouchedCount) {
    std::wstring Text = ChooseText(Swedish, L" Återställda filer: ", L" Files restored: ") +
                        FormatCount(static_cast<std::uint64_t>(RestoredCount)) + L".";
    if (UntouchedCount > 0)
        Text += ChooseText(Swedish, L" Ändrade sedan dess och lämnade orörda: ", L" Changed since and left untouched: ") +
                FormatCount(static_cast<std::uint64_t>(UntouchedCount)) + L".";
    return Text;
}

}  // namespace

std::wstring UndoResultMessage(std::int32_t RestoredCount, std::int32_t UntouchedCount) {
    const bool Swedish = UseSwedish();
    return ChooseText(Swedish, L"Klart.", L"Done.") + UndoCounts(Swedish, RestoredCount, UntouchedCount);
}

// A run the user stopped (Esc) reports what it did up to then.
std::wstring StoppedSearchMessage(std::int32_t ListedCount, std::int32_t SkipCount) {
    const bool Swedish = UseSwedish();
    return ChooseText(Swedish, L"Stoppad. Listade filer: ", L"Stopped. Files listed: ") +
           FormatCount(static_cast<std::uint64_t>(ListedCount)) + L"." + SkippedSuffix(Swedish, SkipCount);
}

std::wstring StoppedApplyMessage(std::int32_t ChangeCount, std::int32_t ReplaceCount, std::int32_t SkipCount) {
    const bool Swedish = UseSwedish();
    return ChooseText(Swedish, L"Stoppad. Antal filer som ändrades: ", L"Stopped. Number of files that were changed: ") +
           FormatCount(static_cast<std::uint64_t>(ChangeCount)) + ChooseText(Swedish, L". Totalt ", L". In total ") +
           FormatCount(static_cast<std::uint64_t>(ReplaceCount)) +
           ChooseText(Swedish, L" ersättning(ar).", L" replacement(s).") + SkippedSuffix(Swedish, SkipCount);
}

std::wstring StoppedUndoMessage(std::int32_t RestoredCount, std::int32_t UntouchedCount) {
    const bool Swedish = UseSwedish();
    return ChooseText(Swedish, L"Stoppad.", L"Stopped.") + UndoCounts(Swedish, RestoredCount, UntouchedCount);
}

std::wstring MsgUndoJournalDamaged(std::int32_t DamagedCount) {
    const std::wstring Count = FormatCount(static_cast<std::uint64_t>(DamagedCount));
    return ChooseText(UseSwedish(), L"Ångrajournalen är skadad: " + Count + L" fil(er) kunde inte återställas från den.",
                      L"The undo journal is damaged: " + Count + L" file(s) could not be restored from it.");
}

std::wstring MsgUndoRunInUse() {
    return ChooseText(UseSwedish(), L"Det senaste Verkställ pågår fortfarande i ett annat program.",
                      L"The last Apply is still running in another program.");
}

std::wstring MsgRunFault(bool Swedish, std::wstring_view What) {
    const std::wstring Fault = What.empty() ? ChooseText(Swedish, L"okänt fel", L"unknown fault") : std::wstring(What);
    return ChooseText(Swedish, L"Ett oväntat fel avbröt körningen: ", L"An unexpected error ended the run: ") + Fault;
}

std::wstring MsgUndoRunHeaderDamaged(std::wstring_view RunPath) {
    const std::wstring Path(RunPath);
    return ChooseText(UseSwedish(),
                      L"Huvudet i den senaste körningens ångrajournal är skadat:\n" + Path +
                          L"\nInget återställdes. Ta bort mappen för att ångra äldre körningar.",
                      L"The header of the newest run's undo journal is damaged:\n" + Path +
                          L"\nNothing was restored. Remove the folder to undo older runs.");
}

std::wstring MsgUndoBusy() {
    return ChooseText(UseSwedish(), L"En annan ångring pågår redan.", L"Another undo is already running.");
}

std::wstring MsgUndoRunKept() {
    return ChooseText(UseSwedish(), L"Körningen ligger kvar i ångrajournalen: ångra igen för att försöka med de lämnade filerna.",
                      L"The run stays in the undo journal: undo again to retry the files left.");
}

std::wstring MsgUndoRunUnreadable() {
    return ChooseText(UseSwedish(), L"Ångrajournalen kunde inte läsas.", L"The undo journal could not be read.");
}

bool FolderExists(std::wstring_view Folder) {
    if (Folder.empty()) return false;
    DWORD Attributes = GetFileAttributesW(ExtendedPath(Folder).c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
}
