#include "workers/WorkerThread.h"

#include <algorithm>
#include <new>
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

// Calls still to be queued before one fails; 0: none fails.
std::atomic<std::uint64_t> QueuedCallsBeforeFault{0};

// True for the one call that is to fail.
bool QueuedCallFails() {
    std::uint64_t Left = QueuedCallsBeforeFault.load();
    while (Left > 0 && !QueuedCallsBeforeFault.compare_exchange_weak(Left, Left - 1)) {
    }
    return Left == 1;
}

std::wstring WideFromAnsi(const char* Text) {
    if (!Text || !*Text) return {};
    const int Length = MultiByteToWideChar(CP_ACP, 0, Text, -1, nullptr, 0);
    if (Length <= 1) return {};
    std::wstring Result(static_cast<size_t>(Length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, Text, -1, Result.data(), Length);
    Result.resize(static_cast<size_t>(Length - 1));
    return Result;
}

// What a fault says of itself; empty when it says nothing.
std::wstring FaultText(const std::exception_ptr& Fault) {
    try {
        std::rethrow_exception(Fault);
    } catch (const std::exception& Known) {
        return WideFromAnsi(Known.what());
    } catch (...) {
    }
    return {};
}

}  // namespace

void WorkerThread::WaitFor() {
    if (!FThread) return;
    TExclusiveHold Hold(FLock);
    FOwnerWaiting = true;
    while (!FBodyDone || !FCalls.empty()) {
        if (!FCalls.empty()) {
            Hold.Release();
            ServePendingCall();
            Hold.Acquire(FLock);
            continue;
        }
        Hold.Wait(FChanged);
    }
    FOwnerWaiting = false;
    Hold.Release();
    // The body has returned; the thread itself ends a moment later.
    WaitForSingleObject(FThread.Get(), INFINITE);
}

void WorkerThread::ServePendingCall() {
    std::deque<TQueuedCall> Batch;
    TExclusiveHold Hold(FLock);
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
    Hold.Release();
    if (Batch.empty()) return;
    for (TQueuedCall& Queued : Batch) {
        // After a stop, or a handler's fault (which ends the run), what was worked
        // out ahead is not told.
        if (Queued.Droppable && (Terminated() || FHandlerFailed)) continue;
        try {
            Queued.Call();
        } catch (...) {
            FHandlerFailed = true;
            TExclusiveHold ErrorHold(FLock);
            if (!FCallError) FCallError = std::current_exception();
        }
    }
    Hold.Acquire(FLock);
    FServedCount += Batch.size();
    Hold.Release();
    FChanged.WakeAll();
}

void WorkerThread::RunThenReport(const std::function<void()>& Body, const std::function<void()>& Report) noexcept {
    std::exception_ptr Fault;
    try {
        Body();
    } catch (...) {
        Fault = std::current_exception();
    }
    // Told before the report, so the report is never taken for a run's own end.
    if (Fault) {
        try {
            Synchronize([this, Fault] {
                if (OnRunFault) OnRunFault(FaultText(Fault));
            });
        } catch (...) {
        }
    }
    try {
        Report();
    } catch (...) {
    }
}

void WorkerThread::FailQueuedCallForTests(std::uint64_t Nth) { QueuedCallsBeforeFault.store(Nth); }

void WorkerThread::PushLocked(TQueuedCall Call) {
    if (QueuedCallFails()) throw std::bad_alloc();
    const bool WasEmpty = FCalls.empty();
    FCalls.push_back(std::move(Call));
    ++FQueuedCount;
    if (!WasEmpty) return;
    // A main thread busy with its message loop learns of the calls from its queue;
    // one waiting in WaitFor is woken.
    if (FOwnerWaiting) {
        FChanged.WakeAll();
    } else if (!FNotifyPosted && FNotifyWindow) {
        FNotifyPosted = true;
        PostMessageW(FNotifyWindow.Get(), WM_WORKER_CALL, 0, 0);
    }
}

void WorkerThread::RethrowCallError() {
    std::exception_ptr Error;
    {
        TExclusiveHold Hold(FLock);
        Error = std::exchange(FCallError, nullptr);
    }
    if (Error) std::rethrow_exception(Error);
}

void WorkerThread::Queue(std::function<void()> Call, bool Droppable) {
    if (GetCurrentThreadId() == FOwnerThreadId) {
        if (!(Droppable && Terminated())) Call();
        return;
    }
    RethrowCallError();
    TExclusiveHold Hold(FLock);
    while (FCalls.size() >= QueueLimit) Hold.Wait(FChanged);
    PushLocked({std::move(Call), Droppable});
}

void WorkerThread::Synchronize(const std::function<void()>& Call) {
    if (GetCurrentThreadId() == FOwnerThreadId) {
        Call();
        return;
    }
    {
        TExclusiveHold Hold(FLock);
        // Runs on the main thread while this thread waits below, so a reference will do.
        PushLocked({[&Call] { Call(); }, false});
        const std::uint64_t Mine = FQueuedCount;
        while (FServedCount < Mine) Hold.Wait(FChanged);
    }
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
    {
        TExclusiveHold Hold(Self->FLock);
        Self->FBodyDone = true;
    }
    Self->FChanged.WakeAll();
    return 0;
}
