#include "engine/WorkerThread.h"

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

WorkerThread::WorkerThread()
    : FOwnerThreadId(GetCurrentThreadId()),
      FCallPending(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      FCallDone(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    FNotifyWindow.Reset(CreateNotifyWindow(this));
    FThread.Reset(CreateThread(nullptr, 0, &WorkerThread::ThreadProc, this, CREATE_SUSPENDED, nullptr));
    if (!FThread || !FCallPending || !FCallDone) {
        FFinished.store(true);  // nothing can run; WaitFor returns at once
        FThread.Reset();
    }
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
    HANDLE Handles[2] = {FThread.Get(), FCallPending.Get()};
    for (;;) {
        DWORD Result = WaitForMultipleObjects(2, Handles, FALSE, INFINITE);
        if (Result == WAIT_OBJECT_0) break;
        if (Result == WAIT_OBJECT_0 + 1) {
            ServePendingCall();
            continue;
        }
        break;  // a failed wait: do not spin
    }
}

void WorkerThread::ServePendingCall() {
    const std::function<void()>* Call = FPendingCall.exchange(nullptr);
    if (!Call) return;
    try {
        (*Call)();
    } catch (...) {
        FCallError = std::current_exception();
    }
    SetEvent(FCallDone.Get());
}

void WorkerThread::Synchronize(const std::function<void()>& Call) {
    if (GetCurrentThreadId() == FOwnerThreadId) {
        Call();
        return;
    }
    FCallError = nullptr;
    FPendingCall.store(&Call);
    SetEvent(FCallPending.Get());
    if (FNotifyWindow) PostMessageW(FNotifyWindow.Get(), WM_WORKER_CALL, 0, 0);
    WaitForSingleObject(FCallDone.Get(), INFINITE);
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
    return 0;
}
