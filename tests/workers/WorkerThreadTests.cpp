#include "workers/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>
#include <stdexcept>

namespace {

// A worker whose body is a test-supplied function.
class LambdaWorker : public WorkerThread {
public:
    explicit LambdaWorker(std::function<void(LambdaWorker&)> Body) : FBody(std::move(Body)) {}
    ~LambdaWorker() override { TerminateAndWait(); }
    using WorkerThread::Queue;
    using WorkerThread::RunThenReport;
    using WorkerThread::Synchronize;
    using WorkerThread::Terminated;

protected:
    void Execute() override { FBody(*this); }

private:
    std::function<void(LambdaWorker&)> FBody;
};

// A window's message loop, run until Done or for 20 seconds at most.
void PumpMessagesUntil(const std::function<bool()>& Done) {
    const ULONGLONG Deadline = GetTickCount64() + 20000;
    MSG Message;
    while (!Done() && GetTickCount64() < Deadline) {
        if (PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&Message);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }
}

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
    PumpMessagesUntil([&] { return Handled; });
    EXPECT_TRUE(Handled);
    Worker.WaitFor();
}

// Calls queued by the worker run on the main thread in their order, through its
// message loop, even when the worker queues more than the queue holds; once a
// handler asks the run to stop, the droppable calls after it are passed over and
// the others still run, in order, before the last Synchronize.
TEST(WorkerThread, QueuedCallsRunInOrderAndDroppableOnesEndAtTheStop) {
    const int Count = 10000, StopAt = 6000;
    const DWORD MainThread = GetCurrentThreadId();
    std::vector<int> Ran;
    bool Last = false;
    LambdaWorker* Self = nullptr;
    LambdaWorker Worker([&](LambdaWorker& W) {
        for (int i = 0; i < Count; ++i) {
            const bool Droppable = i % 7 != 0;
            W.Queue([&, i] {
                EXPECT_EQ(GetCurrentThreadId(), MainThread);
                Ran.push_back(i);
                if (i == StopAt) Self->Terminate();
            }, Droppable);
        }
        W.Synchronize([&] { Last = true; });
    });
    Self = &Worker;
    Worker.Start();
    PumpMessagesUntil([&] { return Last; });
    ASSERT_TRUE(Last);
    Worker.WaitFor();
    std::vector<int> Expected;
    for (int i = 0; i < Count; ++i)
        if (i <= StopAt || i % 7 == 0) Expected.push_back(i);
    EXPECT_EQ(Ran, Expected);
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

// A queued call that cannot be added (memory exhausted) ends the run as a
// fault: the lock of the queue is let go, the fault is told, then the report
// comes, and the main thread's loop goes on serving.
TEST(WorkerThread, AFailingQueueEndsTheRunAsAFaultAndTheReportStillComes) {
    std::vector<std::string> Events;
    int Served = 0;
    auto Worker = std::make_unique<LambdaWorker>([&](LambdaWorker& Self) {
        Self.RunThenReport(
            [&] {
                for (int i = 0; i < 100; ++i) Self.Queue([&] { ++Served; }, false);
                Events.push_back("the body went on after the failed call");
            },
            [&] { Self.Synchronize([&] { Events.push_back("report"); }); });
    });
    Worker->OnRunFault = [&](std::wstring What) {
        Events.push_back("fault: " + std::string(What.begin(), What.end()));
    };
    WorkerThread::FailQueuedCallForTests(40);
    Worker->Start();
    PumpMessagesUntil([&] { return Worker->Finished() && Events.size() >= 2; });
    WorkerThread::FailQueuedCallForTests(0);
    if (!Worker->Finished()) {
        (void)Worker.release();  // stuck on its own lock: fail rather than hang on the way out
        FAIL() << "the run never ended after its queue failed";
    }
    Worker->WaitFor();
    EXPECT_EQ(Events, (std::vector<std::string>{"fault: std::bad_alloc", "report"}));
    EXPECT_EQ(Served, 39);
    // The window's loop stays usable: a new run is served as ever.
    bool Handled = false;
    LambdaWorker Next([&](LambdaWorker& Self) { Self.Synchronize([&] { Handled = true; }); });
    Next.Start();
    PumpMessagesUntil([&] { return Handled; });
    EXPECT_TRUE(Handled);
    Next.WaitFor();
}

// A run that ends on its own or through a terminate request is not a fault;
// one that ends through an exception is, named by it.
TEST(WorkerThread, OnlyAFaultIsToldAsOneBeforeTheReport) {
    enum class TEnd { Own, Terminate, Throw };
    const struct {
        TEnd End;
        std::vector<std::wstring> Events;
    } Cases[] = {
        {TEnd::Own, {L"report"}},
        {TEnd::Terminate, {L"report"}},
        {TEnd::Throw, {L"fault: the disk went away", L"report"}},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(static_cast<int>(Case.End));
        std::vector<std::wstring> Events;
        LambdaWorker Worker([&](LambdaWorker& Self) {
            Self.RunThenReport(
                [&] {
                    if (Case.End == TEnd::Terminate) Self.Terminate();
                    Self.Queue([] {}, true);
                    if (Case.End == TEnd::Throw) throw std::runtime_error("the disk went away");
                },
                [&] { Self.Synchronize([&] { Events.push_back(L"report"); }); });
        });
        Worker.OnRunFault = [&](std::wstring What) { Events.push_back(L"fault: " + What); };
        Worker.Start();
        Worker.WaitFor();
        EXPECT_EQ(Events, Case.Events);
    }
}

TEST(WorkerThread, DestroyingANeverStartedWorkerRunsNoBody) {
    std::atomic<bool> BodyRan{false};
    {
        LambdaWorker Worker([&](LambdaWorker&) { BodyRan = true; });
    }
    EXPECT_FALSE(BodyRan.load());
}

}  // namespace
