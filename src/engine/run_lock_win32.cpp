#include "engine/run_lock.h"

#include "common/diagnostics.h"

#include <sddl.h>

#include <string>
#include <utility>

namespace Velmora {
namespace {

// Full access for SYSTEM and Administrators, and for no one else.
constexpr wchar_t kRunLockAcl[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

} // namespace

RunLock RunLock::TryAcquire() noexcept {
    RunLock lock;
    lock.state_ = RunLockState::Failed;
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kRunLockAcl, SDDL_REVISION_1, &raw,
                                                                nullptr)) {
        lock.error_ = ::GetLastError();
        return lock;
    }
    const UniqueLocalMemory descriptor(raw);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, raw, FALSE};
    lock.mutex_.Reset(::CreateMutexW(&attributes, FALSE, kRunLockName));
    if (!lock.mutex_) {
        lock.error_ = ::GetLastError();
        Diagnose(L"The run lock " + std::wstring(kRunLockName) + L" could not be opened: error " +
                 std::to_wstring(lock.error_));
        return lock;
    }
    switch (::WaitForSingleObject(lock.mutex_.Get(), 0)) {
    case WAIT_OBJECT_0:
        lock.state_ = RunLockState::Held;
        break;
    case WAIT_ABANDONED:
        // Its holder ended without giving it back (it was killed): its run is over.
        Diagnose(L"The run lock was abandoned by a run that ended without releasing it; taken over");
        lock.state_ = RunLockState::Held;
        break;
    case WAIT_TIMEOUT:
        lock.state_ = RunLockState::Busy;
        lock.mutex_.Reset();
        break;
    default:
        lock.error_ = ::GetLastError();
        lock.mutex_.Reset();
        break;
    }
    return lock;
}

RunLock::RunLock(RunLock&& other) noexcept
    : mutex_(std::move(other.mutex_)), state_(std::exchange(other.state_, RunLockState::NotHeld)),
      error_(other.error_) {}

RunLock& RunLock::operator=(RunLock&& other) noexcept {
    if (this != &other) {
        Release();
        mutex_ = std::move(other.mutex_);
        state_ = std::exchange(other.state_, RunLockState::NotHeld);
        error_ = other.error_;
    }
    return *this;
}

void RunLock::Release() noexcept {
    if (state_ == RunLockState::Held) {
        ::ReleaseMutex(mutex_.Get());
        state_ = RunLockState::NotHeld;
    }
    mutex_.Reset();
}

} // namespace Velmora
