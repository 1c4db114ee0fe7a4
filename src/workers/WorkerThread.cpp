#include "workers/WorkerThread.h"

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

void WorkerThread::WaitFor() {
    if (!FThread) return;
    AcquireSRWLockExclusive(&FLock);
    FOwnerWaiting = true;
    while (!FBodyDone) {
        if (FPendingCall) {
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
    AcquireSRWLockExclusive(&FLock);
    const std::function<void()>* Call = std::exchange(FPendingCall, nullptr);
    ReleaseSRWLockExclusive(&FLock);
    if (!Call) return;
    try {
        (*Call)();
    } catch (...) {
        FCallError = std::current_exception();
    }
    AcquireSRWLockExclusive(&FLock);
    FCallDone = true;
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

void WorkerThread::Synchronize(const std::function<void()>& Call) {
    if (GetCurrentThreadId() == FOwnerThreadId) {
        Call();
        return;
    }
    FCallError = nullptr;
    AcquireSRWLockExclusive(&FLock);
    FPendingCall = &Call;
    FCallDone = false;
    const bool OwnerWaiting = FOwnerWaiting;
    ReleaseSRWLockExclusive(&FLock);
    WakeAllConditionVariable(&FChanged);
    // A main thread busy with its message loop learns of the call from its queue.
    if (!OwnerWaiting && FNotifyWindow) PostMessageW(FNotifyWindow.Get(), WM_WORKER_CALL, 0, 0);
    AcquireSRWLockExclusive(&FLock);
    while (!FCallDone) SleepConditionVariableSRW(&FChanged, &FLock, INFINITE, 0);
    ReleaseSRWLockExclusive(&FLock);
    if (FCallError) std::rethrow_exception(std::exchange(FCallError, nullptr));
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
