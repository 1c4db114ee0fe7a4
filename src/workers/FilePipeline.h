#pragma once
// The files of one list worked on ahead by a small pool of threads and handed
// back in the list's order. A run's own thread takes each file's result with
// Next(), in order, and raises its events; the pool meanwhile opens, reads,
// decodes and counts the files after it. At most a few files are in flight, and
// the memory they hold is capped: a file is admitted when it fits, and the file
// the run waits for always is. A stop request (the run's terminate flag) ends the
// list at once: no file is started after it, and Next() gives nothing more.
#include "base/SlimLock.h"

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

// What the pool worked out for one file; each worker derives its own.
struct TPreparedFile {
    virtual ~TPreparedFile() = default;
};

class TFilePipeline {
public:
    // Prepare runs on a pool thread for the file at Index; the ticket's Slot
    // (0 .. threads-1) names the pool thread, so it can keep its own buffers.
    // Admit, called by Prepare once it knows how much memory the file will hold,
    // waits until that fits and says false when the run is stopping. Exceptions
    // from Prepare reach the run's thread from Next().
    using TAdmit = std::function<bool(std::uint64_t Bytes)>;
    // Steps that files take in the list's order, each with turns of its own.
    enum class TTurn : size_t { Open, Journal, Swap };
    static constexpr size_t TurnKinds = 3;
    // What a file's Prepare may ask of the pipeline.
    class TTicket {
    public:
        unsigned Slot = 0;
        TAdmit Admit;
        // Waits until every earlier file of the list has passed its turn of this
        // kind: work that must happen in the list's order (opening a file for
        // good, a swap on the disk) goes between this and PassTurn. A file passes
        // every turn at the latest when its Prepare returns.
        void AwaitTurn(TTurn Kind) const;
        void PassTurn(TTurn Kind);

    private:
        friend class TFilePipeline;
        TFilePipeline* FPipeline = nullptr;
        size_t FIndex = 0;
        std::array<bool, TurnKinds> FPassed{};
    };
    using TPrepare = std::function<std::unique_ptr<TPreparedFile>(size_t Index, TTicket& Ticket)>;

    TFilePipeline(const std::atomic<bool>& Stop, TPrepare Prepare);
    ~TFilePipeline();
    TFilePipeline(const TFilePipeline&) = delete;
    TFilePipeline& operator=(const TFilePipeline&) = delete;

    // Pool threads; Prepare's Slot is below this.
    unsigned Threads() const { return static_cast<unsigned>(FThreads.size()); }
    // Starts a list of Count files (Index 0 .. Count-1); the previous list must be
    // done: every result taken, or stopped.
    void Begin(size_t Count);
    // The next file's result, waiting for it; empty once the run is stopping (then
    // the files in flight have finished and their results are in Leftovers()).
    std::unique_ptr<TPreparedFile> Next();
    // Ends the list (after a stop, or a fault on the run's thread): no file is
    // started any more; what the files in flight had finished, in list order.
    std::vector<std::unique_ptr<TPreparedFile>> Leftovers();

    // Memory all files in flight may hold together.
    static constexpr std::uint64_t InFlightLimit = 256ull << 20;
    // For tests: another limit from now on (0: InFlightLimit), and the most memory
    // admitted at once since the limit was set.
    static void SetInFlightLimitForTests(std::uint64_t Bytes);
    static std::uint64_t PeakAdmittedForTests();
    // Pool threads for this machine: one per processor, at least 2, at most 8.
    static unsigned DefaultThreads();
    // For tests and measurements: the pool's size from now on (0: the default).
    static void SetThreadsForTests(unsigned Threads);

    // The run is stopping, or the pipeline is going away: a file not yet written
    // must not be.
    bool Stopping() const { return FStop.load() || FClosing.load(); }

private:
    void PoolThread(unsigned Slot);
    bool AdmitLocked(TExclusiveHold& Hold, size_t Index, std::uint64_t Bytes);
    std::uint64_t FLimit = 0;  // InFlightLimit, or the tests' own
    void StopAndSettle();

    const std::atomic<bool>& FStop;
    const TPrepare FPrepare;
    size_t FWindow = 0;  // files in flight at most

    TSlimLock FLock;
    TLockCondition FChanged;
    // All guarded by FLock.
    struct TSlot {
        bool Done = false;
        std::array<bool, TurnKinds> Passed{};  // its turns that are over
        std::unique_ptr<TPreparedFile> Result;
        std::exception_ptr Error;
    };
    std::vector<TSlot> FSlots;     // by Index % FWindow
    size_t FCount = 0;             // files in the current list
    size_t FNextToStart = 0;       // the next Index a pool thread takes
    size_t FNextToTake = 0;        // the next Index Next() gives
    size_t FRunning = 0;           // files started and not yet done
    std::array<size_t, TurnKinds> FTurn{};  // the file whose turn it is, of each kind
    std::uint64_t FAdmitted = 0;   // memory held by admitted files in flight
    std::atomic<bool> FClosing{false};  // the pipeline is being destroyed

    std::vector<std::thread> FThreads;
};
