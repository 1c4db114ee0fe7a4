#include "workers/FilePipeline.h"

#include <algorithm>

namespace {

std::atomic<unsigned> ThreadsForTests{0};
std::atomic<std::uint64_t> LimitForTests{0};
std::atomic<std::uint64_t> PeakAdmitted{0};

// A wait that also sees the run's terminate flag, which nobody signals: the flag
// is looked at again after this long at most.
constexpr DWORD StopPollMs = 20;

}  // namespace

unsigned TFilePipeline::DefaultThreads() {
    if (const unsigned Forced = ThreadsForTests.load()) return Forced;
    SYSTEM_INFO Info;
    GetNativeSystemInfo(&Info);
    // Under Wine every open and read is a round trip to its server, which serves
    // two threads' requests faster than one's: even one processor gains from two.
    return std::clamp<unsigned>(Info.dwNumberOfProcessors, 2, 8);
}

void TFilePipeline::SetThreadsForTests(unsigned Threads) { ThreadsForTests.store(Threads); }

void TFilePipeline::SetInFlightLimitForTests(std::uint64_t Bytes) {
    LimitForTests.store(Bytes);
    PeakAdmitted.store(0);
}

std::uint64_t TFilePipeline::PeakAdmittedForTests() { return PeakAdmitted.load(); }

TFilePipeline::TFilePipeline(const std::atomic<bool>& Stop, TPrepare Prepare)
    : FStop(Stop), FPrepare(std::move(Prepare)) {
    const unsigned Count = DefaultThreads();
    FWindow = 2 * size_t{Count};
    const std::uint64_t Forced = LimitForTests.load();
    FLimit = Forced ? Forced : InFlightLimit;
    FSlots.resize(FWindow);
    try {
        for (unsigned Slot = 0; Slot < Count; ++Slot) FThreads.emplace_back([this, Slot] { PoolThread(Slot); });
    } catch (...) {
        // No more threads to be had: the ones made are let go and the run fails.
        FClosing.store(true);
        FChanged.WakeAll();
        for (std::thread& Thread : FThreads) Thread.join();
        throw;
    }
}

TFilePipeline::~TFilePipeline() {
    {
        TExclusiveHold Hold(FLock);
        FClosing.store(true);
    }
    FChanged.WakeAll();
    for (std::thread& Thread : FThreads)
        if (Thread.joinable()) Thread.join();
}

void TFilePipeline::Begin(size_t Count) {
    {
        TExclusiveHold Hold(FLock);
        FCount = Count;
        FNextToStart = 0;
        FNextToTake = 0;
        FTurn = {};
        for (TSlot& Slot : FSlots) Slot = TSlot{};
    }
    FChanged.WakeAll();
}

bool TFilePipeline::AdmitLocked(TExclusiveHold& Hold, size_t Index, std::uint64_t Bytes) {
    // The file the run waits for is always admitted, so the run never stalls on a
    // file larger than the limit; the others wait until they fit beside it.
    while (!Stopping() && Index != FNextToTake && FAdmitted + Bytes > FLimit) Hold.Wait(FChanged, StopPollMs);
    return !Stopping();
}

void TFilePipeline::PoolThread(unsigned Slot) {
    TExclusiveHold Hold(FLock);
    for (;;) {
        while (!FClosing.load() &&
               (FStop.load() || FNextToStart >= FCount || FNextToStart >= FNextToTake + FWindow))
            Hold.Wait(FChanged, StopPollMs);
        if (FClosing.load()) break;
        const size_t Index = FNextToStart++;
        ++FRunning;
        Hold.Release();

        std::uint64_t Held = 0;
        TTicket Ticket;
        Ticket.Slot = Slot;
        Ticket.FPipeline = this;
        Ticket.FIndex = Index;
        Ticket.Admit = [this, Index, &Held](std::uint64_t Bytes) {
            TExclusiveHold AdmitHold(FLock);
            const bool Admitted = AdmitLocked(AdmitHold, Index, Bytes);
            if (Admitted) {
                FAdmitted += Bytes;
                Held += Bytes;
                if (FAdmitted > PeakAdmitted.load(std::memory_order_relaxed))
                    PeakAdmitted.store(FAdmitted, std::memory_order_relaxed);
            }
            return Admitted;
        };
        std::unique_ptr<TPreparedFile> Result;
        std::exception_ptr Error;
        try {
            Result = FPrepare(Index, Ticket);
        } catch (...) {
            Error = std::current_exception();
        }
        for (size_t Kind = 0; Kind < TurnKinds; ++Kind) Ticket.PassTurn(static_cast<TTurn>(Kind));

        Hold.Acquire(FLock);
        FAdmitted -= Held;
        TSlot& Done = FSlots[Index % FWindow];
        Done.Done = true;
        Done.Result = std::move(Result);
        Done.Error = Error;
        --FRunning;
        FChanged.WakeAll();
    }
}

void TFilePipeline::TTicket::AwaitTurn(TTurn Kind) const {
    TFilePipeline& P = *FPipeline;
    const auto K = static_cast<size_t>(Kind);
    TExclusiveHold Hold(P.FLock);
    while (P.FTurn[K] < FIndex) Hold.Wait(P.FChanged);
}

void TFilePipeline::TTicket::PassTurn(TTurn Kind) {
    const auto K = static_cast<size_t>(Kind);
    if (FPassed[K]) return;
    FPassed[K] = true;
    TFilePipeline& P = *FPipeline;
    {
        TExclusiveHold Hold(P.FLock);
        P.FSlots[FIndex % P.FWindow].Passed[K] = true;
        // The turn moves over every file that has passed, in order.
        while (P.FTurn[K] < P.FNextToStart && P.FSlots[P.FTurn[K] % P.FWindow].Passed[K]) ++P.FTurn[K];
    }
    P.FChanged.WakeAll();
}

void TFilePipeline::StopAndSettle() {
    FChanged.WakeAll();
    TExclusiveHold Hold(FLock);
    while (FRunning > 0) Hold.Wait(FChanged, StopPollMs);
}

std::unique_ptr<TPreparedFile> TFilePipeline::Next() {
    TExclusiveHold Hold(FLock);
    for (;;) {
        if (FStop.load() || FNextToTake >= FCount) {
            Hold.Release();
            StopAndSettle();
            return nullptr;
        }
        if (FSlots[FNextToTake % FWindow].Done) break;
        Hold.Wait(FChanged, StopPollMs);
    }
    TSlot Taken = std::move(FSlots[FNextToTake % FWindow]);
    FSlots[FNextToTake % FWindow] = TSlot{};
    ++FNextToTake;
    Hold.Release();
    FChanged.WakeAll();
    if (Taken.Error) std::rethrow_exception(Taken.Error);
    return std::move(Taken.Result);
}

std::vector<std::unique_ptr<TPreparedFile>> TFilePipeline::Leftovers() {
    // No file is started from now on, whatever ended the list.
    {
        TExclusiveHold Hold(FLock);
        FClosing.store(true);
    }
    StopAndSettle();
    std::vector<std::unique_ptr<TPreparedFile>> Results;
    TExclusiveHold Hold(FLock);
    for (size_t Index = FNextToTake; Index < FNextToStart; ++Index) {
        TSlot& Slot = FSlots[Index % FWindow];
        if (Slot.Done && Slot.Result) Results.push_back(std::move(Slot.Result));
        Slot = TSlot{};
    }
    FNextToTake = FNextToStart;
    return Results;
}
