#pragma once
// The program's one way to hold a lock: a slim reader/writer lock, a condition
// variable to wait on with it, and a hold that lets go at the latest at the end
// of its scope, whatever leaves the scope (an exception included). No code
// acquires or releases a lock by hand anywhere else.
#include <windows.h>

class TSlimLock {
public:
    TSlimLock() = default;
    TSlimLock(const TSlimLock&) = delete;
    TSlimLock& operator=(const TSlimLock&) = delete;

private:
    template <bool Exclusive>
    friend class TLockHold;
    SRWLOCK FLock = SRWLOCK_INIT;
};

class TLockCondition {
public:
    TLockCondition() = default;
    TLockCondition(const TLockCondition&) = delete;
    TLockCondition& operator=(const TLockCondition&) = delete;
    void WakeAll() noexcept { WakeAllConditionVariable(&FCondition); }

private:
    template <bool Exclusive>
    friend class TLockHold;
    CONDITION_VARIABLE FCondition = CONDITION_VARIABLE_INIT;
};

// Held from construction (or Acquire) until Release or the end of the scope.
template <bool Exclusive>
class TLockHold {
public:
    TLockHold() = default;
    explicit TLockHold(TSlimLock& Lock) noexcept { Acquire(Lock); }
    TLockHold(const TLockHold&) = delete;
    TLockHold& operator=(const TLockHold&) = delete;
    ~TLockHold() { Release(); }

    void Acquire(TSlimLock& Lock) noexcept {
        Release();
        if constexpr (Exclusive) AcquireSRWLockExclusive(&Lock.FLock); else AcquireSRWLockShared(&Lock.FLock);
        FLock = &Lock;
    }
    void Release() noexcept {
        if (!FLock) return;
        if constexpr (Exclusive) ReleaseSRWLockExclusive(&FLock->FLock); else ReleaseSRWLockShared(&FLock->FLock);
        FLock = nullptr;
    }
    // Lets go of the lock while waiting for Condition to be woken (or for
    // Milliseconds to pass), and holds it again before returning. The lock must
    // be held.
    void Wait(TLockCondition& Condition, DWORD Milliseconds = INFINITE) noexcept {
        SleepConditionVariableSRW(&Condition.FCondition, &FLock->FLock, Milliseconds,
                                  Exclusive ? 0 : CONDITION_VARIABLE_LOCKMODE_SHARED);
    }

private:
    TSlimLock* FLock = nullptr;
};
using TSharedHold = TLockHold<false>;
using TExclusiveHold = TLockHold<true>;
