#pragma once

// One run at a time on a PC: every apply run and every restore, from any window or from velmora-cli,
// holds the global named mutex "Global\Velmora.Run" from start to end. It is owned by Administrators and
// only administrators and SYSTEM may open it; one of that name that an administrator did not make is
// refused, never waited for. A holder that was killed leaves it abandoned; the next one takes it over
// (and says so in the log). A Win32 mutex belongs to the thread that took it: release it on that thread.

#include "common/win32_handles.h"

#include <cstdint>
#include <string>

namespace Velmora {

inline constexpr wchar_t kRunLockName[] = L"Global\\Velmora.Run";

enum class RunLockState : std::uint8_t {
    NotHeld,   // not taken yet, or given back
    Held,      // this process holds it now
    Busy,      // another run holds it
    Untrusted, // an object of its name exists that no administrator made (Problem() says whose)
    Failed,    // it could not be created or opened (the error says why)
};

class RunLock {
public:
    // Takes the lock if it is free; never waits.
    [[nodiscard]] static RunLock TryAcquire() noexcept;

    RunLock() = default;
    RunLock(RunLock&& other) noexcept;
    RunLock& operator=(RunLock&& other) noexcept;
    ~RunLock() { Release(); }

    [[nodiscard]] RunLockState State() const noexcept { return state_; }
    [[nodiscard]] bool Held() const noexcept { return state_ == RunLockState::Held; }
    [[nodiscard]] std::uint32_t Error() const noexcept { return error_; }
    // Why it was not taken, in words, when the lock found is Untrusted.
    [[nodiscard]] const std::wstring& Problem() const noexcept { return problem_; }
    // Gives the lock back (on the thread that took it); nothing when it is not held.
    void Release() noexcept;

private:
    UniqueKernelHandle mutex_;
    RunLockState state_ = RunLockState::NotHeld;
    std::uint32_t error_ = 0;
    std::wstring problem_;
};

} // namespace Velmora
