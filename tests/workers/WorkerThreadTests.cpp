#include "workers/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace {

// A worker whose body is a test-supplied function.
class LambdaWorker : public WorkerThread {
public:
    explicit LambdaWorker(std::function<void(LambdaWorker&)> Body) : FBody(std::move(Body)) {}
    ~LambdaWorker() override { TerminateAndWait(); }
    using WorkerThread::Synchronize;
    using WorkerThread::Terminated;

protected:
    void Execute() override { FBody(*this); }

private:
    std::function<void(LambdaWorker&)> FBody;
};

TEST(WorkerThread, CreatedSuspendedAndSynchronizeRunsOnTheMainThread) {
    const DWORD MainThread = GetCurrentThreadId();
    std::atomic<bool> BodyRan{false};
    DWORD HandlerThread = 0;
    DWORD BodyThread = 0;
    {
        LambdaWorker Worker([&](LambdaWorker& Self) {
            BodyRan = true;
            BodyThread = GetCurrentThreadId();
            Self.Synchronize([&] { HandlerThread = GetCurrentThreadId(); });
        });
        Sleep(50);
        EXPECT_FALSE(BodyRan.load()) << "a worker must not run before Start";
        Worker.Start();
        Worker.WaitFor();
        EXPECT_TRUE(Worker.Finished());
    }
    EXPECT_TRUE(BodyRan.load());
    EXPECT_NE(BodyThread, MainThread);
    EXPECT_EQ(HandlerThread, MainThread);
}

TEST(WorkerThread, PendingCallIsServedThroughTheMessageLoop) {
    bool Handled = false;
    LambdaWorker Worker([&](LambdaWorker& Self) { Self.Synchronize([&] { Handled = true; }); });
    Worker.Start();
    // A window's message loop, not WaitFor, serves the call here.
    const ULONGLONG Deadline = GetTickCount64() + 10000;
    MSG Message;
    while (!Handled && GetTickCount64() < Deadline) {
        if (PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&Message);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }
    EXPECT_TRUE(Handled);
    Worker.WaitFor();
}

TEST(WorkerThread, DestroyingAWorkerBlockedInSynchronizeDoesNotDeadlock) {
    std::atomic<int> Calls{0};
    std::atomic<bool> Entered{false};
    auto Worker = std::make_unique<LambdaWorker>([&](LambdaWorker& Self) {
        while (!Self.Terminated()) {
            Entered = true;
            Self.Synchronize([&] { ++Calls; });
        }
    });
    Worker->Start();
    while (!Entered) Sleep(1);
    // The main thread pumps no messages: the destructor alone must serve the pending call.
    Worker.reset();
    EXPECT_GE(Calls.load(), 1);
}

TEST(WorkerThread, ExceptionInBodyOrHandlerEndsTheRunNotTheProcess) {
    LambdaWorker Throwing([](LambdaWorker&) { throw std::runtime_error("fault in the body"); });
    Throwing.Start();
    Throwing.WaitFor();
    EXPECT_TRUE(Throwing.Finished());

    bool AfterHandler = false;
    LambdaWorker HandlerThrows([&](LambdaWorker& Self) {
        try {
            Self.Synchronize([] { throw std::runtime_error("fault in a handler"); });
        } catch (const std::runtime_error&) {
            // The handler's exception comes back to the worker that raised the event.
            AfterHandler = true;
        }
    });
    HandlerThrows.Start();
    HandlerThrows.WaitFor();
    EXPECT_TRUE(AfterHandler);
}

TEST(WorkerThread, DestroyingANeverStartedWorkerRunsNoBody) {
    std::atomic<bool> BodyRan{false};
    {
        LambdaWorker Worker([&](LambdaWorker&) { BodyRan = true; });
    }
    EXPECT_FALSE(BodyRan.load());
}

}  // namespace
