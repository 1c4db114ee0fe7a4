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
        WakeAllConditionVariable(&FChanged);
        for (std::thread& Thread : FThreads) Thread.join();
        throw;
    }
}

TFilePipeline::~TFilePipeline() {
    AcquireSRWLockExclusive(&FLock);
    FClosing.store(true);
    ReleaseSRWLockExclusive(&FLock);
    WakeAllConditionVariable(&FChanged);
    for (std::thread& Thread : FThreads)
        if (Thread.joinable()) Thread.join();
}

void TFilePipeline::Begin(size_t Count) {
    AcquireSRWLockExclusive(&FLock);
    FCount = Count;
    FNextToStart = 0;
    FNextToTake = 0;
    FTurn = {};
    for (TSlot& Slot : FSlots) Slot = TSlot{};
    ReleaseSRWLockExclusive(&FLock);
    WakeAllConditionVariable(&FChanged);
}

bool TFilePipeline::AdmitLocked(size_t Index, std::uint64_t Bytes) {
    // The file the run waits for is always admitted, so the run never stalls on a
    // file larger than the limit; the others wait until they fit beside it.
    while (!Stopping() && Index != FNextToTake && FAdmitted + Bytes > FLimit)
        SleepConditionVariableSRW(&FChanged, &FLock, StopPollMs, 0);
    return !Stopping();
}

void TFilePipeline::PoolThread(unsigned Slot) {
    AcquireSRWLockExclusive(&FLock);
    for (;;) {
        while (!FClosing.load() &&
               (FStop.load() || FNextToStart >= FCount || FNextToStart >= FNextToTake + FWindow))
            SleepConditionVariableSRW(&FChanged, &FLock, StopPollMs, 0);
        if (FClosing.load()) break;
        const size_t Index = FNextToStart++;
        ++FRunning;
        ReleaseSRWLockExclusive(&FLock);

        std::uint64_t Held = 0;
        TTicket Ticket;
        Ticket.Slot = Slot;
        Ticket.FPipeline = this;
        Ticket.FIndex = Index;
        Ticket.Admit = [this, Index, &Held](std::uint64_t Bytes) {
            AcquireSRWLockExclusive(&FLock);
            const bool Admitted = AdmitLocked(Index, Bytes);
            if (Admitted) {
                FAdmitted += Bytes;
                Held += Bytes;
                if (FAdmitted > PeakAdmitted.load(std::memory_order_relaxed))
                    PeakAdmitted.store(FAdmitted, std::memory_order_relaxed);
            }
            ReleaseSRWLockExclusive(&FLock);
            return Admitted;
        };
        std::unique_ptr<TPreparedFile> Result;
        std::exception_ptr Error;
        try {
            Result = FPrepare(Index, Ticket);
        } catch (...) {
            Error = std::current_exception();
        }
        Ticket.PassTurn(TTurn::Open);
        Ticket.PassTurn(TTurn::Swap);

        AcquireSRWLockExclusive(&FLock);
        FAdmitted -= Held;
        TSlot& Done = FSlots[Index % FWindow];
        Done.Done = true;
        Done.Result = std::move(Result);
        Done.Error = Error;
        --FRunning;
        WakeAllConditionVariable(&FChanged);
    }
    ReleaseSRWLockExclusive(&FLock);
}

void TFilePipeline::TTicket::AwaitTurn(TTurn Kind) const {
    TFilePipeline& P = *FPipeline;
    const auto K = static_cast<size_t>(Kind);
    AcquireSRWLockExclusive(&P.FLock);
    while (P.FTurn[K] < FIndex) SleepConditionVariableSRW(&P.FChanged, &P.FLock, INFINITE, 0);
    ReleaseSRWLockExclusive(&P.FLock);
}

void TFilePipeline::TTicket::PassTurn(TTurn Kind) {
    const auto K = static_cast<size_t>(Kind);
    if (FPassed[K]) return;
    FPassed[K] = true;
    TFilePipeline& P = *FPipeline;
    AcquireSRWLockExclusive(&P.FLock);
    P.FSlots[FIndex % P.FWindow].Passed[K] = true;
    // The turn moves over every file that has passed, in order.
    while (P.FTurn[K] < P.FNextToStart && P.FSlots[P.FTurn[K] % P.FWindow].Passed[K]) ++P.FTurn[K];
    ReleaseSRWLockExclusive(&P.FLock);
    WakeAllConditionVariable(&P.FChanged);
}

void TFilePipeline::StopAndSettle() {
    WakeAllConditionVariable(&FChanged);
    AcquireSRWLockExclusive(&FLock);
    while (FRunning > 0) SleepConditionVariableSRW(&FChanged, &FLock, StopPollMs, 0);
    ReleaseSRWLockExclusive(&FLock);
}

std::unique_ptr<TPreparedFile> TFilePipeline::Next() {
    AcquireSRWLockExclusive(&FLock);
    for (;;) {
        if (FStop.load() || FNextToTake >= FCount) {
            ReleaseSRWLockExclusive(&FLock);
            StopAndSettle();
            return nullptr;
        }
        if (FSlots[FNextToTake % FWindow].Done) break;
        SleepConditionVariableSRW(&FChanged, &FLock, StopPollMs, 0);
    }
    TSlot Taken = std::move(FSlots[FNextToTake % FWindow]);
    FSlots[FNextToTake % FWindow] = TSlot{};
    ++FNextToTake;
    ReleaseSRWLockExclusive(&FLock);
    WakeAllConditionVariable(&FChanged);
    if (Taken.Error) std::rethrow_exception(Taken.Error);
    return std::move(Taken.Result);
}

std::vector<std::unique_ptr<TPreparedFile>> TFilePipeline::Leftovers() {
    // No file is started from now on, whatever ended the list.
    AcquireSRWLockExclusive(&FLock);
    FClosing.store(true);
    ReleaseSRWLockExclusive(&FLock);
    StopAndSettle();
    std::vector<std::unique_ptr<TPreparedFile>> Results;
    AcquireSRWLockExclusive(&FLock);
    for (size_t Index = FNextToTake; Index < FNextToStart; ++Index) {
        TSlot& Slot = FSlots[Index % FWindow];
        if (Slot.Done && Slot.Result) Results.push_back(std::move(Slot.Result));
        Slot = TSlot{};
    }
    FNextToTake = FNextToStart;
    ReleaseSRWLockExclusive(&FLock);
    return Results;
}
