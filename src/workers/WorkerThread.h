#pragma once
// The program's thread facility. A worker is created suspended; Start() runs it;
// Terminate() sets a flag its body polls; Synchronize() runs a call on the thread
// that created the worker (the main thread) and blocks the worker until it has
// returned. The main thread learns of a pending call from a message posted to a
// message-only window, and WaitFor() serves the same pending call directly, so a
// main thread waiting for the worker never deadlocks with a worker waiting for it.
#include "base/UniqueHandle.h"

#include <atomic>
#include <exception>
#include <functional>

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
    // Runs a pending Synchronize call, if any. Called by the message-only window.
    void ServePendingCall();

protected:
    virtual void Execute() = 0;
    bool Terminated() const noexcept { return FTerminated.load(); }
    // Runs Call on the main thread; the worker waits until it has returned. An
    // exception thrown by Call is rethrown here, on the worker.
    void Synchronize(const std::function<void()>& Call);
    // Runs the body of a run and then its report. A fault in the body (memory
    // exhausted on a huge file, a failing handler) ends the run early, and the
    // report still comes, so the owner always learns that the run is over.
    void RunThenReport(const std::function<void()>& Body, const std::function<void()>& Report) noexcept;
    // Derived destructors call this first, so the body never outlives the fields it uses.
    void TerminateAndWait();

private:
    static DWORD WINAPI ThreadProc(void* Parameter);

    UniqueKernelHandle FThread;
    DWORD FOwnerThreadId = 0;
    UniqueWindow FNotifyWindow;
    // The hand-over between the two threads. A slim lock and a condition variable
    // wait in user space where the platform allows it; the posted message is only
    // needed when the main thread is not already waiting in WaitFor.
    SRWLOCK FLock = SRWLOCK_INIT;
    CONDITION_VARIABLE FChanged = CONDITION_VARIABLE_INIT;
    const std::function<void()>* FPendingCall = nullptr;  // guarded by FLock
    bool FCallDone = false;                               // guarded by FLock
    bool FOwnerWaiting = false;                           // guarded by FLock
    bool FBodyDone = false;                               // guarded by FLock
    std::exception_ptr FCallError;    // written by the main thread while the worker waits
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FStarted{false};
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FSkipBody{false};
};
