#pragma once
// The program's thread facility. A worker is created suspended; Start() runs it;
// Terminate() sets a flag its body polls. Calls for the thread that created the
// worker (the main thread) go through one ordered queue: Queue() adds a call and
// the worker goes on at once (it waits only while the queue is full);
// Synchronize() adds one and waits until it, and so every call before it, has
// run. The main thread learns of waiting calls from a message posted to a
// message-only window and runs them in batches; WaitFor() serves the same queue
// directly, so a main thread waiting for the worker never deadlocks with a worker
// waiting for it.
#include "base/SlimLock.h"
#include "base/UniqueHandle.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <string>

class WorkerThread {
public:
    WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    virtual ~WorkerThread();

    void Start();
    void Terminate() noexcept { FTerminated.store(true); }
    bool Finished() const noexcept { return FFinished.load(); }
    // Waits until the thread body has returned, running pending Synchronize calls
    // on the calling (main) thread meanwhile. User input is not dispatched.
    void WaitFor();
    // Runs the calls waiting in the queue (a batch of them), if any. Called by the
    // message-only window.
    void ServePendingCall();
    // Raised on the main thread when a run ends through a fault (anything but a
    // terminate request or its own end), before the run's report; What describes
    // the fault (empty when it has no description).
    std::function<void(std::wstring What)> OnRunFault;
    // For tests: the Nth call queued for a main thread from now on (by any
    // worker; 1 is the next) fails as if memory had run out; 0 cancels.
    static void FailQueuedCallForTests(std::uint64_t Nth);

protected:
    virtual void Execute() = 0;
    bool Terminated() const noexcept { return FTerminated.load(); }
    const std::atomic<bool>& TerminateFlag() const noexcept { return FTerminated; }
    // Runs Call on the main thread after every call queued before it; the worker
    // waits until it has returned. An exception thrown by Call, or by a queued call
    // before it, is rethrown here, on the worker.
    void Synchronize(const std::function<void()>& Call);
    // Queues Call for the main thread, behind every call queued before it, and
    // returns at once unless the queue is full. A Droppable call is passed over once
    // a terminate request has been made: what it reports was worked out ahead and
    // is no longer wanted; so is one after a queued call has thrown. That
    // exception is rethrown on the worker by its next Queue or Synchronize.
    void Queue(std::function<void()> Call, bool Droppable);
    // Runs the body of a run and then its report. A fault in the body (memory
    // exhausted on a huge file, a failing handler) ends the run early and is
    // told by OnRunFault, and the report still comes, so the owner always learns
    // that the run is over, and how.
    void RunThenReport(const std::function<void()>& Body, const std::function<void()>& Report) noexcept;
    // Derived destructors call this first, so the body never outlives the fields it uses.
    void TerminateAndWait();

private:
    static DWORD WINAPI ThreadProc(void* Parameter);
    struct TQueuedCall {
        std::function<void()> Call;
        bool Droppable = false;
    };
    // Adds a call; FLock held. Tells the main thread when it has to be told.
    void PushLocked(TQueuedCall Call);
    void RethrowCallError();

    UniqueKernelHandle FThread;
    DWORD FOwnerThreadId = 0;
    UniqueWindow FNotifyWindow;
    // The hand-over between the two threads. A slim lock and a condition variable
    // wait in user space where the platform allows it; the posted message is only
    // needed when the main thread is not already waiting in WaitFor.
    TSlimLock FLock;
    TLockCondition FChanged;
    std::deque<TQueuedCall> FCalls;     // guarded by FLock
    std::uint64_t FQueuedCount = 0;     // calls ever queued; guarded by FLock
    std::uint64_t FServedCount = 0;     // calls ever taken and run (or passed over); guarded by FLock
    bool FNotifyPosted = false;         // a WM message is on its way; guarded by FLock
    bool FOwnerWaiting = false;         // guarded by FLock
    bool FBodyDone = false;             // guarded by FLock
    std::exception_ptr FCallError;      // guarded by FLock
    bool FHandlerFailed = false;        // the main thread only
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FStarted{false};
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FSkipBody{false};
};
