#include "cli/CliMessages.h"

#include "cli/CliText.h"
#include "files/LongPath.h"
#include "platform/Language.h"
#include "platform/Messages.h"
#include "QuorvaneVersion.h"

#include <windows.h>

namespace {

std::wstring Prefixed(std::wstring_view Text) {
    return std::wstring(CliName) + L": " + std::wstring(Text);
}

std::wstring Quoted(std::wstring_view Text) {
    return L"'" + std::wstring(Text) + L"'";
}

}  // namespace

std::wstring CliVersionLine() {
    return std::wstring(CliName) + L" " + QV_VERSION_WTEXT;
}

std::wstring MsgTryHelp(bool Swedish) {
    return ChooseText(Swedish, L"Försök med 'quorvane-cli --help'.", L"Try 'quorvane-cli --help'.");
}

std::wstring MsgUnknownOption(bool Swedish, std::wstring_view Option) {
    return Prefixed(ChooseText(Swedish, L"okänt alternativ: ", L"unknown option: ") + std::wstring(Option));
}

std::wstring MsgOptionNeedsValue(bool Swedish, std::wstring_view Option) {
    return Prefixed(ChooseText(Swedish, L"alternativet ", L"option ") + std::wstring(Option) +
                    ChooseText(Swedish, L" behöver ett värde", L" needs a value"));
}

std::wstring MsgOptionBadValue(bool Swedish, std::wstring_view Option) {
    return Prefixed(ChooseText(Swedish, L"ogiltigt värde för alternativet ", L"invalid value for option ") +
                    std::wstring(Option));
}

std::wstring MsgUnknownEncoding(bool Swedish, std::wstring_view Name) {
    return Prefixed(ChooseText(Swedish, L"okänd kodning ", L"unknown encoding ") + Quoted(Name) +
                    ChooseText(Swedish, L" för --encoding; använd auto, ansi, utf8 eller utf16le",
                               L" for --encoding; use auto, ansi, utf8 or utf16le"));
}

std::wstring MsgNameACommand(bool Swedish) {
    return Prefixed(ChooseText(Swedish, L"ange ett kommando: search, replace eller undo",
                               L"name a command: search, replace or undo"));
}

std::wstring MsgUnknownCommand(bool Swedish, std::wstring_view Command) {
    return Prefixed(ChooseText(Swedish, L"okänt kommando: ", L"unknown command: ") + std::wstring(Command) +
                    ChooseText(Swedish, L" (använd search, replace eller undo)", L" (use search, replace or undo)"));
}

std::wstring MsgNameAFolder(bool Swedish) {
    return Prefixed(ChooseText(Swedish, L"ange en mapp efter kommandot", L"name a folder after the command"));
}

std::wstring MsgUnexpectedArgument(bool Swedish, std::wstring_view Argument) {
    return Prefixed(ChooseText(Swedish, L"oväntat argument: ", L"unexpected argument: ") + std::wstring(Argument) +
                    ChooseText(Swedish, L" (ange en enda mapp)", L" (name one folder only)"));
}

std::wstring MsgFindMissing(bool Swedish, bool Replace) {
    if (Replace) return Prefixed(L"--find " + ChooseText(Swedish, L"saknas", L"is missing"));
    return Prefixed(ChooseText(Swedish, L"--find saknas (använd --find \"\" för att lista alla filer)",
                               L"--find is missing (use --find \"\" to list every file)"));
}

std::wstring MsgReplaceMissing(bool Swedish) {
    return Prefixed(ChooseText(Swedish, L"--replace saknas (använd --replace \"\" för att radera förekomsterna)",
                               L"--replace is missing (use --replace \"\" to delete the occurrences)"));
}

std::wstring MsgBelongsToReplace(bool Swedish, std::wstring_view Option) {
    return Prefixed(std::wstring(Option) +
                    ChooseText(Swedish, L" hör till kommandot replace", L" belongs to the replace command"));
}

std::wstring MsgNeedsDryRun(bool Swedish, std::wstring_view Option) {
    return Prefixed(std::wstring(Option) + ChooseText(Swedish, L" fungerar bara med --dry-run (replace ändrar inget då)",
                                                      L" works only with --dry-run (replace then changes nothing)"));
}

namespace {

std::wstring PatternSyntaxText(bool Swedish, TPatternSyntax Syntax) {
    switch (Syntax) {
    case TPatternSyntax::Parenthesis: return ChooseText(Swedish, L"en parentes saknar sin motpart", L"a parenthesis has no partner");
    case TPatternSyntax::Bracket: return ChooseText(Swedish, L"en [ stängs inte", L"a [ is not closed");
    case TPatternSyntax::Brace: return ChooseText(Swedish, L"en upprepning med {} är felskriven", L"a {} repeat is malformed");
    case TPatternSyntax::Escape: return ChooseText(Swedish, L"en \\-sekvens är ogiltig", L"an escape with \\ is not valid");
    case TPatternSyntax::Repeat:
        return ChooseText(Swedish, L"en upprepning (*, +, ?, {}) har inget att upprepa",
                          L"a repeat (*, +, ?, {}) has nothing to repeat");
    case TPatternSyntax::Range: return ChooseText(Swedish, L"ett intervall inom [] är ogiltigt", L"a range in [] is not valid");
    case TPatternSyntax::Backreference:
        return ChooseText(Swedish, L"en bakåtreferens pekar inte på någon grupp", L"a back-reference names no group");
    case TPatternSyntax::Other: break;
    }
    return ChooseText(Swedish, L"det är inget giltigt reguljärt uttryck", L"it is not a valid regular expression");
}

}  // namespace

std::wstring MsgPatternProblem(bool Swedish, std::wstring_view Pattern, const TPatternProblem& Problem) {
    switch (Problem.Fault) {
    case TPatternFault::MatchesEmpty:
        return Prefixed(ChooseText(Swedish, L"mönstret ", L"the pattern ") + Quoted(Pattern) +
                        ChooseText(Swedish,
                                   L" kan matcha tom text, som inte är någon förekomst; låt det ta minst ett tecken "
                                   L"(till exempel x+ i stället för x*)",
                                   L" can match empty text, which is no occurrence; make it take at least one character "
                                   L"(x+ instead of x*, for example)"));
    case TPatternFault::BadReference:
        return Prefixed(ChooseText(Swedish, L"ersättningens ", L"the replacement's ") + Quoted(Problem.Reference) +
                        ChooseText(Swedish,
                                   L" pekar inte på någon grupp i mönstret (grupper: $0..$99, ${namn}; $$ skriver ett "
                                   L"dollartecken)",
                                   L" names no group of the pattern (groups: $0..$99, ${name}; $$ writes a dollar sign)"));
    default: break;
    }
    // Counted from 1; at or past the end, the pattern ended too soon.
    const std::wstring Where =
        Problem.Position >= Pattern.size()
            ? ChooseText(Swedish, L" vid sitt slut", L" at its end")
            : ChooseText(Swedish, L" vid tecken ", L" at character ") + std::to_wstring(Problem.Position + 1);
    return Prefixed(ChooseText(Swedish, L"mönstret ", L"the pattern ") + Quoted(Pattern) +
                    ChooseText(Swedish, L" går inte att läsa", L" cannot be read") + Where + L": " +
                    PatternSyntaxText(Swedish, Problem.Syntax));
}

std::wstring MsgLinesUnreadable(bool Swedish, std::wstring_view Path) {
    return Prefixed(std::wstring(Path) + ChooseText(Swedish, L": raderna kunde inte läsas (filen gick inte att läsa igen)",
                                                    L": its lines could not be shown (the file could not be read again)"));
}

std::wstring MsgUndoTakesNoArgument(bool Swedish, std::wstring_view Argument) {
    return Prefixed(ChooseText(Swedish, L"oväntat argument: ", L"unexpected argument: ") + std::wstring(Argument) +
                    ChooseText(Swedish, L" (undo tar ingen mapp)", L" (undo takes no folder)"));
}

std::wstring MsgNotForUndo(bool Swedish, std::wstring_view Option) {
    return Prefixed(std::wstring(Option) +
                    ChooseText(Swedish, L" hör inte till kommandot undo", L" does not belong to the undo command"));
}

std::wstring MsgBelongsToUndo(bool Swedish, std::wstring_view Option) {
    return Prefixed(std::wstring(Option) + ChooseText(Swedish, L" hör till kommandot undo", L" belongs to the undo command"));
}

std::wstring MsgListFileFault(bool Swedish, std::wstring_view Option, std::wstring_view Path, bool NotUtf8) {
    return Prefixed(std::wstring(Option) + L": " + Quoted(Path) +
                    (NotUtf8 ? ChooseText(Swedish, L" är inte UTF-8-text", L" is not UTF-8 text")
                             : ChooseText(Swedish, L" kan inte läsas", L" cannot be read")));
}

std::wstring MsgBelongsToSearch(bool Swedish, std::wstring_view Option) {
    return Prefixed(std::wstring(Option) +
                    ChooseText(Swedish, L" hör till kommandot search", L" belongs to the search command"));
}

std::wstring MsgNullNeedsFilesWithMatches(bool Swedish) {
    return Prefixed(ChooseText(Swedish, L"--null behöver --files-with-matches (-l)",
                               L"--null needs --files-with-matches (-l)"));
}

std::wstring MsgOptionsExcludeEachOther(bool Swedish, std::wstring_view First, std::wstring_view Second) {
    return Prefixed(std::wstring(First) + ChooseText(Swedish, L" och ", L" and ") + std::wstring(Second) +
                    ChooseText(Swedish, L" kan inte användas tillsammans", L" cannot be used together"));
}

std::wstring CliInputProblemMessage(bool Swedish, TInputProblem Problem, std::wstring_view Folder,
                                   std::wstring_view Filters) {
    switch (Problem) {
    case TInputProblem::None: break;
    case TInputProblem::NoSuchFolder: {
        if (Folder.empty())
            return Prefixed(ChooseText(Swedish, L"mappen är tom; ange en mapp", L"the folder is empty; name a folder"));
        const DWORD Attributes = GetFileAttributesW(ExtendedPath(Folder).c_str());
        if (Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Prefixed(Quoted(Folder) + ChooseText(Swedish, L" är en fil, inte en mapp", L" is a file, not a folder"));
        return Prefixed(ChooseText(Swedish, L"mappen finns inte: ", L"no such folder: ") + std::wstring(Folder));
    }
    case TInputProblem::NoFilters:
        return Prefixed(ChooseText(Swedish, L"--filters innehåller inget filter; ange till exempel \"*.txt\"",
                                   L"--filters holds no mask; give one such as \"*.txt\""));
    case TInputProblem::FilterHoldsPath:
        return Prefixed(ChooseText(Swedish, L"ett filter får inte innehålla sökvägar: ",
                                   L"a filter cannot hold a path: ") +
                        Quoted(FilterHoldingPath(Filters)) +
                        ChooseText(Swedish, L"; ange mappen som mapp och filtret som ett namnmönster som \"*.txt\"",
                                   L"; name the folder as the folder and the filter as a name mask such as \"*.txt\""));
    case TInputProblem::AnsiCannotHoldText:
        return Prefixed(ChooseText(
            Swedish,
            L"--encoding ansi kan inte söka efter tecken utanför ANSI-teckentabellen; använd --encoding utf8 eller utf16le",
            L"--encoding ansi cannot search for characters outside the ANSI code page; use --encoding utf8 or utf16le"));
    case TInputProblem::NoTextToFind:
        return Prefixed(ChooseText(Swedish, L"replace behöver en text att hitta: --find är tomt",
                                   L"replace needs a text to find: --find is empty"));
    case TInputProblem::SameTextCaseSensitive:
        return Prefixed(ChooseText(
            Swedish,
            L"--find och --replace är samma text, så ingenting skulle ändras (med --ignore-case görs andra skiftlägen likadana)",
            L"--find and --replace are the same text, so nothing would change (with --ignore-case, other letter cases are made like it)"));
    }
    return {};
}

std::wstring MsgSkippedFiles(bool Swedish, std::int64_t Skipped) {
    return ChooseText(Swedish, L"Antal överhoppade filer: ", L"Number of skipped files: ") + PlainCount(Skipped) + L".";
}

std::wstring MsgNoFilesMatched(bool Swedish, std::int64_t Skipped) {
    std::wstring Text = ChooseText(Swedish, L"Inga filer matchades.", L"No files were matched.");
    if (Skipped != 0) Text += L" " + MsgSkippedFiles(Swedish, Skipped);
    return Text;
}

std::wstring MsgSearchStopped(bool Swedish, std::int64_t Listed, std::int64_t Skipped) {
    std::wstring Text =
        ChooseText(Swedish, L"Stoppad. Listade filer: ", L"Stopped. Files listed: ") + PlainCount(Listed) + L".";
    if (Skipped != 0) Text += L" " + MsgSkippedFiles(Swedish, Skipped);
    return Text;
}

std::wstring SearchTotalsLine(bool Swedish, std::int64_t Files, std::int64_t Occurrences, std::int64_t Skipped) {
    return PlainCount(Files) + ChooseText(Swedish, L" fil(er), ", L" file(s), ") + PlainCount(Occurrences) +
           ChooseText(Swedish, L" förekomst(er), ", L" occurrence(s), ") + PlainCount(Skipped) +
           ChooseText(Swedish, L" överhoppade", L" skipped");
}

std::wstring ReplaceResultLine(bool Swedish, std::int64_t Changed, std::int64_t Replacements, std::int64_t Skipped,
                              bool Stopped) {
    std::wstring Text;
    if (Changed == 0 && !Stopped)
        Text = ChooseText(Swedish, L"Inga filer ändrades.", L"No files were changed.");
    else
        Text = (Stopped ? ChooseText(Swedish, L"Stoppad. Antal filer som ändrades: ",
                                     L"Stopped. Number of files that were changed: ")
                        : ChooseText(Swedish, L"Klar. Antal filer som ändrades: ",
                                     L"Done. Number of files that were changed: ")) +
               PlainCount(Changed) + ChooseText(Swedish, L". Totalt ", L". In total ") + PlainCount(Replacements) +
               ChooseText(Swedish, L" ersättning(ar).", L" replacement(s).");
    return Text + L" " + MsgSkippedFiles(Swedish, Skipped);
}

std::wstring DryRunResultLine(bool Swedish, std::int64_t Changed, std::int64_t Replacements, std::int64_t Skipped,
                              bool Stopped) {
    return (Stopped ? ChooseText(Swedish, L"Stoppad. ", L"Stopped. ") : std::wstring()) +
           ChooseText(Swedish, L"Provkörning, inget ändrades. Filer som skulle ändras: ",
                      L"Dry run, nothing was changed. Files that would be changed: ") +
           PlainCount(Changed) + ChooseText(Swedish, L". Totalt ", L". In total ") + PlainCount(Replacements) +
           ChooseText(Swedish, L" ersättning(ar). ", L" replacement(s). ") + MsgSkippedFiles(Swedish, Skipped);
}

std::wstring MsgInterrupted(bool Swedish) {
    return Prefixed(ChooseText(Swedish, L"avbruten", L"interrupted"));
}

std::wstring MsgRunFaultLine(bool Swedish, std::wstring_view What) {
    return Prefixed(MsgRunFault(Swedish, What));
}

std::wstring SkipReasonText(bool Swedish, TApplyFileOutcome Reason) { return ApplyOutcomeText(Swedish, Reason); }

std::wstring SkipReasonCode(TApplyFileOutcome Reason) {
    switch (Reason) {
    case TApplyFileOutcome::Changed:
    case TApplyFileOutcome::WouldChange: break;
    case TApplyFileOutcome::UnsupportedMark: return L"unsupported-mark";
    case TApplyFileOutcome::Unreadable: return L"unreadable";
    case TApplyFileOutcome::InUse: return L"locked";
    case TApplyFileOutcome::ReadOnly: return L"read-only";
    case TApplyFileOutcome::NotRoundTrip: return L"not-round-trip";
    case TApplyFileOutcome::CannotEncode: return L"cannot-encode";
    case TApplyFileOutcome::MixedEncoding: return L"mixed-encoding";
    case TApplyFileOutcome::ChangedMeanwhile: return L"changed-meanwhile";
    case TApplyFileOutcome::ChangedDuringWrite: return L"changed-during-write";
    case TApplyFileOutcome::WriteFailed: return L"write-failed";
    case TApplyFileOutcome::JournalFailed: return L"journal-failed";
    case TApplyFileOutcome::LooksBinary: return L"binary";
    case TApplyFileOutcome::InvalidEncoding: return L"invalid-encoding";
    case TApplyFileOutcome::ChangedSinceReview: return L"changed-since-review";
    }
    return {};
}

std::wstring SkippedFileLine(bool Swedish, std::wstring_view Path, TApplyFileOutcome Reason) {
    return std::wstring(Path) + ChooseText(Swedish, L" (överhoppad: ", L" (skipped: ") + SkipReasonText(Swedish, Reason) +
           L")";
}

std::wstring UndoResultLine(bool Swedish, std::int64_t Restored, std::int64_t Untouched, bool Stopped) {
    std::wstring Text = (Stopped ? ChooseText(Swedish, L"Stoppad.", L"Stopped.") : ChooseText(Swedish, L"Klart.", L"Done.")) +
                        ChooseText(Swedish, L" Återställda filer: ", L" Files restored: ") + PlainCount(Restored) + L".";
    if (Untouched > 0)
        Text += ChooseText(Swedish, L" Ändrade sedan dess och lämnade orörda: ", L" Changed since and left untouched: ") +
                PlainCount(Untouched) + L".";
    return Text;
}

std::wstring UndoReasonText(bool Swedish, TUndoFileOutcome Outcome) {
    switch (Outcome) {
    case TUndoFileOutcome::Restored:
    case TUndoFileOutcome::AlreadyRestored: break;
    case TUndoFileOutcome::EditedSince: return ChooseText(Swedish, L"ändrad sedan dess", L"edited since");
    case TUndoFileOutcome::Missing: return ChooseText(Swedish, L"finns inte längre", L"no longer there");
    case TUndoFileOutcome::NotAFile: return ChooseText(Swedish, L"en mapp har dess namn nu", L"a folder has its name now");
    case TUndoFileOutcome::InUse: return ChooseText(Swedish, L"öppen i ett annat program", L"open in another program");
    case TUndoFileOutcome::ReadOnly: return ChooseText(Swedish, L"skrivskyddad sedan dess", L"made read-only since");
    case TUndoFileOutcome::Unreadable: return ChooseText(Swedish, L"kunde inte läsas", L"could not be read");
    case TUndoFileOutcome::ChangedMeanwhile:
        return ChooseText(Swedish, L"ändrad av ett annat program under körningen", L"changed by another program meanwhile");
    case TUndoFileOutcome::WriteFailed: return ChooseText(Swedish, L"skrivningen misslyckades", L"writing failed");
    case TUndoFileOutcome::DamagedEntry:
        return ChooseText(Swedish, L"dess post i ångrajournalen är skadad", L"its entry in the undo journal is damaged");
    }
    return {};
}

std::wstring UndoFileLine(bool Swedish, std::wstring_view Path, TUndoFileOutcome Outcome) {
    const bool Damaged = Outcome == TUndoFileOutcome::DamagedEntry;
    return std::wstring(Path) +
           (Damaged ? ChooseText(Swedish, L" (inte återställd: ", L" (not restored: ")
                    : ChooseText(Swedish, L" (lämnad orörd: ", L" (left untouched: ")) +
           UndoReasonText(Swedish, Outcome) + L")";
}

std::wstring MsgNothingToUndo(bool Swedish) {
    return Prefixed(ChooseText(Swedish, L"inget att ångra", L"nothing to undo"));
}

std::wstring MsgUndoRunInUse(bool Swedish) {
    return Prefixed(ChooseText(Swedish, L"det senaste Verkställ pågår fortfarande; ångra det när det är klart",
                               L"the last Apply is still running; undo it once it has ended"));
}

std::wstring MsgUndoRunUnreadable(bool Swedish) {
    return Prefixed(ChooseText(Swedish, L"ångrajournalen kunde inte läsas", L"the undo journal could not be read"));
}

std::wstring MsgUndoJournalDamaged(bool Swedish, std::int64_t Entries) {
    return Prefixed(ChooseText(Swedish, L"ångrajournalen är skadad: inget återställdes från ",
                               L"the undo journal is damaged: nothing was restored from ") +
                    PlainCount(Entries) + ChooseText(Swedish, L" post(er)", L" entry(ies)"));
}

std::wstring MsgUndoRunHeaderDamaged(bool Swedish, std::wstring_view RunPath) {
    return Prefixed(ChooseText(Swedish, L"huvudet i den senaste körningens ångrajournal är skadat: ",
                               L"the header of the newest run's undo journal is damaged: ") +
                    std::wstring(RunPath) +
                    ChooseText(Swedish, L"; inget återställdes (ta bort mappen för att ångra äldre körningar)",
                               L"; nothing was restored (remove the folder to undo older runs)"));
}

std::wstring MsgUndoBusy(bool Swedish) {
    return Prefixed(ChooseText(Swedish, L"en annan ångring pågår redan", L"another undo is already running"));
}

std::wstring MsgUndoRunKept(bool Swedish) {
    return Prefixed(ChooseText(Swedish, L"körningen ligger kvar i ångrajournalen: ångra igen för att försöka med de lämnade filerna",
                               L"the run stays in the undo journal: undo again to retry the files left"));
}

std::wstring UndoProgressName(bool Swedish) { return ChooseText(Swedish, L"Ångra", L"Undo"); }

namespace {

// A start time in local time, as scripts read dates: "2024-05-01 14:34:56".
std::wstring LocalDateTime(std::uint64_t FileTime) {
    FILETIME Utc{static_cast<DWORD>(FileTime), static_cast<DWORD>(FileTime >> 32)};
    SYSTEMTIME UtcParts{}, Local{};
    if (!FileTimeToSystemTime(&Utc, &UtcParts) || !SystemTimeToTzSpecificLocalTime(nullptr, &UtcParts, &Local))
        Local = UtcParts;
    wchar_t Text[32];
    swprintf(Text, 32, L"%04u-%02u-%02u %02u:%02u:%02u", Local.wYear, Local.wMonth, Local.wDay, Local.wHour,
             Local.wMinute, Local.wSecond);
    return Text;
}

// A text of the run between quotes, its line breaks and tabs made visible.
std::wstring Shown(std::wstring_view Text) {
    std::wstring Result = L"\"";
    for (wchar_t C : Text) {
        switch (C) {
        case L'\r': Result += L"\\r"; break;
        case L'\n': Result += L"\\n"; break;
        case L'\t': Result += L"\\t"; break;
        case L'"': Result += L"\\\""; break;
        case L'\\': Result += L"\\\\"; break;
        default: Result += C;
        }
    }
    return Result + L"\"";
}

}  // namespace

std::wstring UndoRunLines(bool Swedish, const TUndoRun& Run) {
    if (Run.Damaged)
        return Run.Name + ChooseText(Swedish, L"  (skadad)", L"  (damaged)") + L"\n  " +
               ChooseText(Swedish, L"journal:        ", L"journal:      ") + Run.Path;
    std::wstring Text = LocalDateTime(Run.Header.StartTime) + L"  " + PlainCount(Run.Entries) +
                        ChooseText(Swedish, L" fil(er)", L" file(s)");
    if (Run.InUse)
        Text += ChooseText(Swedish, L"  (pågår)", L"  (in progress)");
    else if (!Run.Ended)
        Text += ChooseText(Swedish, L"  (avbruten)", L"  (ended early)");
    const std::wstring Lines[][3] = {
        {L"mapp:           ", L"folder:       ", Run.Header.Folder},
        {L"filter:         ", L"filters:      ", Run.Header.Filters},
        {L"text att hitta: ", L"text to find: ", Shown(Run.Header.TextToFind)},
        {L"ersätt med:     ", L"replace with: ", Shown(Run.Header.ReplaceWith)},
        {L"journal:        ", L"journal:      ", Run.Path},
    };
    for (const auto& Line : Lines) Text += L"\n  " + ChooseText(Swedish, Line[0], Line[1]) + Line[2];
    return Text;
}

std::wstring ProgressText(bool Swedish, std::wstring_view Filter, std::int32_t Percent, std::int64_t Examined,
                          std::int64_t Listed, bool ShowListed) {
    std::wstring Text = std::wstring(Filter) + L"  " + PlainCount(Percent) + ChooseText(Swedish, L" %  ", L"%  ") +
                        PlainCount(Examined) + ChooseText(Swedish, L" filer undersökta", L" files examined");
    if (ShowListed) Text += ChooseText(Swedish, L", ", L", ") + PlainCount(Listed) + ChooseText(Swedish, L" listade", L" listed");
    return Text;
}
