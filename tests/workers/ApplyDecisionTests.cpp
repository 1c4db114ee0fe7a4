#include "workers/ApplyDecision.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using enum TApplyFileOutcome;
using TAction = TApplyDecision::TAction;
using TSet = std::function<void(TApplyFacts&)>;

// A file read whole that holds the text three times and passes every rule.
TApplyFacts Holding() {
    TApplyFacts Facts;
    Facts.Read = true;
    Facts.HoldsText = true;
    Facts.Occurrences = 3;
    return Facts;
}

TApplyFacts With(std::initializer_list<TSet> Sets, TApplyFacts Facts = Holding()) {
    for (const TSet& Set : Sets) Set(Facts);
    return Facts;
}

const TSet InUse_ = [](TApplyFacts& F) { F.InUse = true; };
const TSet Mark = [](TApplyFacts& F) { F.UnsupportedMark = true, F.Read = F.HoldsText = false; };
const TSet Unread = [](TApplyFacts& F) { F.Unreadable = true, F.Read = F.HoldsText = false; };
const TSet Review = [](TApplyFacts& F) { F.ChangedSinceReview = true; };
const TSet Invalid = [](TApplyFacts& F) { F.Invalid = true, F.Read = F.HoldsText = false; };
const TSet Without = [](TApplyFacts& F) { F.HoldsText = false; };
const TSet NotRead = [](TApplyFacts& F) { F.Read = F.HoldsText = false; };
const TSet Binary = [](TApplyFacts& F) { F.LooksBinary = true; };
const TSet Protected = [](TApplyFacts& F) { F.ReadOnly = true; };
const TSet Lossy = [](TApplyFacts& F) { F.RoundTrip = false; };
const TSet Mixed = [](TApplyFacts& F) { F.MixedEncoding = true; };
const TSet Unfit = [](TApplyFacts& F) { F.NewTextFits = false; };
const TSet Dry = [](TApplyFacts& F) { F.DryRun = true; };
const TSet Same = [](TApplyFacts& F) { F.TextChanges = false; };

TApplyDecision Skip(TApplyFileOutcome Outcome, std::int32_t Occurrences, bool Examined) {
    return {TAction::Skip, Outcome, Occurrences, Examined};
}
const TApplyDecision Leave{};

}  // namespace

// Every reason alone, and the order in which they weigh where several hold.
TEST(ApplyDecision, EachReasonAndWhichWeighsMore) {
    struct Case {
        const char* Name;
        TApplyFacts Facts;
        TApplyDecision Expected;
    };
    const Case Cases[] = {
        {"holds the text", Holding(), {TAction::Change, Changed, 3, true}},
        {"dry run", With({Dry}), {TAction::Change, WouldChange, 3, true}},
        {"without the text", With({Without}), Leave},
        {"nothing read (a mode outside the four)", With({NotRead}), Leave},
        {"empty or without the text, read-only and binary", With({Without, Protected, Binary}), Leave},
        {"unsupported mark", With({Mark}), Skip(UnsupportedMark, 0, false)},
        {"unreadable", With({Unread}), Skip(Unreadable, 0, false)},
        {"changed since the review", With({Review}), Skip(ChangedSinceReview, 3, false)},
        {"changed since the review, without the text", With({Review, Without}), Skip(ChangedSinceReview, 0, false)},
        {"changed since the review, invalid", With({Review, Invalid}), Skip(ChangedSinceReview, 0, false)},
        {"invalid", With({Invalid}), Skip(InvalidEncoding, 0, false)},
        {"binary", With({Binary}), Skip(LooksBinary, 3, true)},
        {"read-only", With({Protected}), Skip(ReadOnly, 3, true)},
        {"bytes would not come back", With({Lossy}), Skip(NotRoundTrip, 3, true)},
        {"two encodings", With({Mixed}), Skip(MixedEncoding, 3, true)},
        {"new text does not fit", With({Unfit}), Skip(CannotEncode, 3, true)},
        {"dry run, new text does not fit", With({Dry, Unfit}), Skip(CannotEncode, 3, true)},
        // A pattern that writes back what it found: nothing to write, nothing to count.
        {"text would not change", With({Same}), Leave},
        {"text would not change, dry run", With({Same, Dry}), Leave},
        {"text would not change, read-only", With({Same, Protected}), Skip(ReadOnly, 3, true)},
        // Another program holds it: nothing else of it is judged.
        {"in use, holds the text", With({InUse_, Protected, Binary, Review}), Skip(InUse, 3, false)},
        {"in use, without the text", With({InUse_, Without}), Leave},
        {"in use, nothing read", With({InUse_, NotRead}), Leave},
        {"in use, unreadable", With({InUse_, Unread}), Skip(InUse, 0, false)},
        {"in use, unsupported mark", With({InUse_, Mark}), Skip(InUse, 0, false)},
        {"in use, invalid", With({InUse_, Invalid}), Skip(InUse, 0, false)},
        // A binary file read as UTF-8 is mostly invalid UTF-8: named as that.
        {"invalid and binary", With({Invalid, Binary}), Skip(InvalidEncoding, 0, false)},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        const TApplyDecision Got = DecideApply(C.Facts);
        EXPECT_EQ(static_cast<int>(Got.Action), static_cast<int>(C.Expected.Action));
        EXPECT_EQ(static_cast<int>(Got.Outcome), static_cast<int>(C.Expected.Outcome));
        EXPECT_EQ(Got.Occurrences, C.Expected.Occurrences);
        EXPECT_EQ(Got.Examined, C.Expected.Examined);
    }
}

// The skip reasons from the strongest down: of any two that hold, the stronger
// is the one reported, whichever way round they were found.
TEST(ApplyDecision, OfTwoReasonsTheStrongerIsReported) {
    struct Rule {
        TSet Set;
        TApplyFileOutcome Outcome;
    };
    const Rule Order[] = {{Mark, UnsupportedMark}, {Unread, Unreadable}, {Review, ChangedSinceReview},
                          {Invalid, InvalidEncoding}, {Binary, LooksBinary}, {Protected, ReadOnly},
                          {Lossy, NotRoundTrip}, {Mixed, MixedEncoding}, {Unfit, CannotEncode}};
    const size_t Count = std::size(Order);
    for (size_t Strong = 0; Strong < Count; ++Strong)
        for (size_t Weak = Strong + 1; Weak < Count; ++Weak) {
            SCOPED_TRACE(testing::Message() << "rules " << Strong << " and " << Weak);
            for (const TApplyFacts& Facts : {With({Order[Strong].Set, Order[Weak].Set}),
                                             With({Order[Weak].Set, Order[Strong].Set})}) {
                const TApplyDecision Got = DecideApply(Facts);
                EXPECT_EQ(static_cast<int>(Got.Action), static_cast<int>(TAction::Skip));
                EXPECT_EQ(static_cast<int>(Got.Outcome), static_cast<int>(Order[Strong].Outcome));
            }
        }
}

// Apply gathers the costly facts (the round trip, the two encodings, the new
// text's fit) only while the file would still change: a decision made without
// them must be the one made with them, whatever they turn out to be.
TEST(ApplyDecision, TheCostlyFactsOnlyTurnAChangeIntoASkip) {
    const TApplyFacts Cheap[] = {
        Holding(),          With({Dry}),    With({Without}),         With({NotRead}), With({Mark}),
        With({Unread}),     With({Review}), With({Invalid}),         With({Binary}),  With({Protected}),
        With({InUse_}),     With({InUse_, Unread}), With({InUse_, Without}),
    };
    for (const TApplyFacts& Facts : Cheap) {
        const TApplyDecision Without = DecideApply(Facts);
        for (int Costly = 0; Costly < 8; ++Costly) {
            SCOPED_TRACE(testing::Message() << "costly facts " << Costly);
            TApplyFacts All = Facts;
            All.RoundTrip = (Costly & 1) == 0;
            All.MixedEncoding = (Costly & 2) != 0;
            All.NewTextFits = (Costly & 4) == 0;
            const TApplyDecision With = DecideApply(All);
            if (Without.Action != TAction::Change) {
                EXPECT_TRUE(With == Without);
            } else if (Costly != 0) {
                EXPECT_EQ(static_cast<int>(With.Action), static_cast<int>(TAction::Skip));
                EXPECT_TRUE(With.Examined);
            }
        }
    }
}
