#include "workers/ApplyDecision.h"

// The rules in the order they weigh; the first that holds decides:
//  1. In use by another program: skipped as such where a shared read shows the
//     text, or cannot tell (unreadable, unsupported mark, invalid); left where it
//     shows none, or reads nothing (a mode outside the four).
//  2. Unsupported byte-order mark, then unreadable: skipped, nothing counted.
//  3. Changed since the review: skipped, with what it holds now.
//  4. Invalid in its encoding: skipped whether or not it holds the text, since it
//     cannot be searched and may well hold it.
//  5. Without the text (or nothing read, or empty): left, not counted.
//  6. Looks binary, then read-only: skipped.
//  7. The untouched bytes would not come back the same, then the new text would
//     give it two encodings, then its encoding cannot hold the new text: skipped.
//  8. Otherwise it changes (in a dry run: would change).
// Every skip from 6 on and every change counts the occurrences.
TApplyDecision DecideApply(const TApplyFacts& Facts) {
    using enum TApplyFileOutcome;
    using TAction = TApplyDecision::TAction;
    const auto Leave = [] { return TApplyDecision{}; };
    const auto Skip = [](TApplyFileOutcome Outcome, std::int32_t Occurrences, bool Examined = false) {
        return TApplyDecision{TAction::Skip, Outcome, Occurrences, Examined};
    };
    const std::int32_t Found = Facts.HoldsText ? Facts.Occurrences : 0;
    if (Facts.InUse) {
        if (Facts.Read) return Facts.HoldsText ? Skip(InUse, Found) : Leave();
        return Facts.Unreadable || Facts.UnsupportedMark || Facts.Invalid ? Skip(InUse, 0) : Leave();
    }
    if (Facts.UnsupportedMark) return Skip(UnsupportedMark, 0);
    if (Facts.Unreadable) return Skip(Unreadable, 0);
    if (Facts.ChangedSinceReview) return Skip(ChangedSinceReview, Facts.Read && !Facts.Invalid ? Found : 0);
    if (Facts.Invalid) return Skip(InvalidEncoding, 0);
    if (!Facts.Read || !Facts.HoldsText) return Leave();
    if (Facts.LooksBinary) return Skip(LooksBinary, Found, true);
    if (Facts.ReadOnly) return Skip(ReadOnly, Found, true);
    if (!Facts.RoundTrip) return Skip(NotRoundTrip, Found, true);
    if (Facts.MixedEncoding) return Skip(MixedEncoding, Found, true);
    // Neither written nor journalled, and counted as neither changed nor skipped,
    // like a file without the text.
    if (!Facts.TextChanges) return Leave();
    if (!Facts.NewTextFits) return Skip(CannotEncode, Found, true);
    return TApplyDecision{TAction::Change, Facts.DryRun ? WouldChange : Changed, Found, true};
}

std::wstring ApplyOutcomeText(bool Swedish, TApplyFileOutcome Outcome) {
    const auto Choose = [Swedish](const wchar_t* Sv, const wchar_t* En) { return std::wstring(Swedish ? Sv : En); };
    switch (Outcome) {
    case TApplyFileOutcome::Changed:
    case TApplyFileOutcome::WouldChange: break;
    case TApplyFileOutcome::UnsupportedMark:
        return Choose(L"byte-order-mark som inte stöds", L"unsupported byte-order mark");
    case TApplyFileOutcome::Unreadable: return Choose(L"kunde inte läsas", L"could not be read");
    case TApplyFileOutcome::InUse: return Choose(L"öppen i ett annat program", L"open in another program");
    case TApplyFileOutcome::ReadOnly: return Choose(L"skrivskyddad", L"read-only");
    case TApplyFileOutcome::NotRoundTrip:
        return Choose(L"byten skulle inte skrivas tillbaka oförändrade",
                      L"its bytes would not be written back unchanged");
    case TApplyFileOutcome::CannotEncode:
        return Choose(L"filens kodning kan inte hålla den nya texten", L"its encoding cannot hold the new text");
    case TApplyFileOutcome::MixedEncoding:
        return Choose(L"filen skulle få två kodningar", L"the file would get two encodings");
    case TApplyFileOutcome::ChangedMeanwhile:
        return Choose(L"ändrad av ett annat program under körningen", L"changed by another program meanwhile");
    case TApplyFileOutcome::ChangedDuringWrite:
        return Choose(L"ändrades under skrivningen", L"changed during the write");
    case TApplyFileOutcome::WriteFailed: return Choose(L"skrivningen misslyckades", L"writing failed");
    case TApplyFileOutcome::JournalFailed:
        return Choose(L"ångrajournalen kunde inte skrivas", L"the undo journal could not be written");
    case TApplyFileOutcome::LooksBinary: return Choose(L"ser ut som en binärfil", L"looks like a binary file");
    case TApplyFileOutcome::InvalidEncoding: return Choose(L"ogiltig i sin kodning", L"invalid in its encoding");
    case TApplyFileOutcome::ChangedSinceReview:
        return Choose(L"ändrad sedan granskningen", L"changed since the review");
    }
    return {};
}
