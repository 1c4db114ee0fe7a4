#include "workers/WorkerThread.h"

#include <algorithm>
#include <utility>

namespace {

constexpr UINT WM_WORKER_CALL = WM_APP + 1;
constexpr wchar_t NotifyClassName[] = L"QuorvaneWorkerNotify";

LRESULT CALLBACK NotifyWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_WORKER_CALL) {
        auto* Worker = reinterpret_cast<WorkerThread*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
        if (Worker) Worker->ServePendingCall();
        return 0;
    }
    return DefWindowProcW(Window, Message, WParam, LParam);
}

HWND CreateNotifyWindow(WorkerThread* Worker) {
    static const ATOM ClassAtom = [] {
        WNDCLASSEXW Class{};
        Class.cbSize = sizeof(Class);
        Class.lpfnWndProc = NotifyWindowProc;
        Class.hInstance = GetModuleHandleW(nullptr);
        Class.lpszClassName = NotifyClassName;
        return RegisterClassExW(&Class);
    }();
    if (!ClassAtom) return nullptr;
    HWND Window = CreateWindowExW(0, NotifyClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (Window) SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Worker));
    return Window;
}

}  // namespace

WorkerThread::WorkerThread() : FOwnerThreadId(GetCurrentThreadId()) {
    FNotifyWindow.Reset(CreateNotifyWindow(this));
    FThread.Reset(CreateThread(nullptr, 0, &WorkerThread::ThreadProc, this, CREATE_SUSPENDED, nullptr));
    if (!FThread) FFinished.store(true);  // nothing can run; WaitFor returns at once
}

WorkerThread::~WorkerThread() {
    TerminateAndWait();
}

void WorkerThread::Start() {
    if (!FThread || FStarted.exchange(true)) return;
    ResumeThread(FThread.Get());
}

void WorkerThread::TerminateAndWait() {
    if (!FThread) return;
    Terminate();
    // A worker that was never started has no run to finish: its body is skipped.
    if (!FStarted.exchange(true)) {
        FSkipBody.store(true);
        ResumeThread(FThread.Get());
    }
    WaitFor();
}

namespace {

// Calls waiting at most: a worker far ahead of the main thread waits here, so the
// queue never grows without bound.
constexpr size_t QueueLimit = 4096;
// Calls run per posted message, so the window still paints and takes input
// between batches.
constexpr size_t BatchSize = 1024;

}  // namespace

void WorkerThread::WaitFor() {
    if (!FThread) return;
    AcquireSRWLockExclusive(&FLock);
    FOwnerWaiting = true;
    while (!FBodyDone || !FCalls.empty()) {
        if (!FCalls.empty()) {
            ReleaseSRWLockExclusive(&FLock);
            ServePendingCall();
            AcquireSRWLockExclusive(&FLock);
            continue;
        }
        SleepConditionVariableSRW(&FChanged, &FLock, INFINITE, 0);
    }
    FOwnerWaiting = false;
    ReleaseSRWLockExclusive(&FLock);
    // The body has returned; the thread itself ends a moment later.
    WaitForSingleObject(FThread.Get(), INFINITE);
}

void WorkerThread::ServePendingCall() {
    std::deque<TQueuedCall> Batch;
    AcquireSRWLockExclusive(&FLock);
    FNotifyPosted = false;
    const size_t Take = std::min(FCalls.size(), BatchSize);
    for (size_t i = 0; i < Take; ++i) {
        Batch.push_back(std::move(FCalls.front()));
        FCalls.pop_front();
    }
    // The rest comes with the next message, after whatever else is waiting.
    if (!FCalls.empty() && !FOwnerWaiting && FNotifyWindow) {
        FNotifyPosted = true;
        PostMessageW(FNotifyWindow.Get(), WM_WORKER_CALL, 0, 0);
    }
    ReleaseSRWLockExclusive(&FLock);
    if (Batch.empty()) return;
    for (TQueuedCall& Queued : Batch) {
        // After a stop, or a handler's fault (which ends the run), what was worked
        // out ahead is not told.
        if (Queued.Droppable && (Terminated() || FHandlerFailed)) continue;
        try {
            Queued.Call();
        } catch (...) {
            FHandlerFailed = true;
            AcquireSRWLockExclusive(&FLock);
            if (!FCallError) FCallError = std::current_exception();
            ReleaseSRWLockExclusive(&FLock);
        }
    }
    AcquireSRWLockExclusive(&FLock);
    FServedCount += Batch.size();
    ReleaseSRWLockExclusive(&FLock);
    WakeAllConditionVariable(&FChanged);
}

void WorkerThread::RunThenReport(const std::function<void()>& Body, const std::function<void()>& Report) noexcept {
    try {
        Body();
    } catch (...) {
    }
    try {
        Report();
    } catch (...) {
    }
}

void WorkerThread::PushLocked(TQueuedCall Call) {
    const bool WasEmpty = FCalls.empty();
    FCalls.push_back(std::move(Call));
    ++FQueuedCount;
    if (!WasEmpty) return;
    // A main thread busy with its message loop learns of the calls from its queue;
    // one waiting in WaitFor is woken.
    if (FOwnerWaiting) {
        WakeAllConditionVariable(&FChanged);
    } else if (!FNotifyPosted && FNotifyWindow) {
        FNotifyPosted = true;
        PostMessageW(FNotifyWindow.Get(), WM_WORKER_CALL, 0, 0);
    }
}

void WorkerThread::RethrowCallError() {
    AcquireSRWLockExclusive(&FLock);
    std::exception_ptr Error = std::exchange(FCallError, nullptr);
    ReleaseSRWLockExclusive(&FLock);
    if (Error) std::rethrow_exception(Error);
}

void WorkerThread::Queue(std::function<void()> Call, bool Droppable) {
    if (GetCurrentThreadId() == FOwnerThreadId) {
        if (!(Droppable && Terminated())) Call();
        return;
    }
    RethrowCallError();
    AcquireSRWLockExclusive(&FLock);
    while (FCalls.size() >= QueueLimit) SleepConditionVariableSRW(&FChanged, &FLock, INFINITE, 0);
    PushLocked({std::move(Call), Droppable});
    ReleaseSRWLockExclusive(&FLock);
}

void WorkerThread::Synchronize(const std::function<void()>& Call) {
    if (GetCurrentThreadId() == FOwnerThreadId) {
        Call();
        return;
    }
    AcquireSRWLockExclusive(&FLock);
    // Runs on the main thread while this thread waits below, so a reference will do.
    PushLocked({[&Call] { Call(); }, false});
    const std::uint64_t Mine = FQueuedCount;
    while (FServedCount < Mine) SleepConditionVariableSRW(&FChanged, &FLock, INFINITE, 0);
    ReleaseSRWLockExclusive(&FLock);
    RethrowCallError();
}

DWORD WINAPI WorkerThread::ThreadProc(void* Parameter) {
    auto* Self = static_cast<WorkerThread*>(Parameter);
    // Destroyed before it was ever started: the run never began.
    if (!Self->FSkipBody.load()) {
        try {
            Self->Execute();
        } catch (...) {
            // A fault ends the run, never the process.
        }
    }
    Self->FFinished.store(true);
    AcquireSRWLockExclusive(&Self->FLock);
    Self->FBodyDone = true;
    ReleaseSRWLockExclusive(&Self->FLock);
    WakeAllConditionVariable(&Self->FChanged);
    return 0;
}
