#include "engine/run_lock.h"

#include "common/diagnostics.h"

#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <utility>

namespace Velmora {
namespace {

// Owned by Administrators; full access for SYSTEM and Administrators, and for no one else.
constexpr wchar_t kRunLockSecurity[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";

constexpr wchar_t kRetry[] = L" Sign that account out, or restart the PC, then try again.";

std::wstring SidText(PSID sid) {
    std::wstring text = L"an unknown account";
    wchar_t* raw = nullptr;
    if (sid != nullptr && ::ConvertSidToStringSidW(sid, &raw)) {
        const UniqueLocalMemory owned(raw);
        text = raw;
    }
    wchar_t name[256] = {};
    wchar_t domain[256] = {};
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use{};
    if (sid != nullptr && ::LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
        text = std::wstring(domain) + (domain[0] != L'\0' ? L"\\" : L"") + name + L" (" + text + L")";
    }
    return text;
}

// Opening an existing named mutex ignores the security descriptor passed in, so anyone who can create
// objects in the global namespace could make the lock first and hold it, or deny it to administrators
// (https://learn.microsoft.com/windows/win32/api/synchapi/nf-synchapi-createmutexw). Only an
// administrator can make an object owned by Administrators or SYSTEM: a token names as owner only a
// group it holds with SE_GROUP_OWNER
// (https://learn.microsoft.com/windows-hardware/drivers/ddi/ntifs/ns-ntifs-_token_owner). The words
// why when the lock found is not such an object; empty when it is.
std::wstring WhyNotOurs(HANDLE mutex) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    const DWORD read = ::GetSecurityInfo(mutex, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                         nullptr, nullptr, &raw);
    const UniqueLocalMemory descriptor(raw);
    if (read == ERROR_SUCCESS && owner != nullptr &&
        (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
         ::IsWellKnownSid(owner, WinLocalSystemSid))) {
        return {};
    }
    return L"The run lock " + std::wstring(kRunLockName) + L" was made by " +
           (read == ERROR_SUCCESS ? SidText(owner) : L"an account it does not name") +
           L", not by an administrator, so Velmora does not trust it." + kRetry;
}

} // namespace

RunLock RunLock::TryAcquire() noexcept {
    RunLock lock;
    lock.state_ = RunLockState::Failed;
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kRunLockSecurity, SDDL_REVISION_1, &raw,
                                                                nullptr)) {
        lock.error_ = ::GetLastError();
        return lock;
    }
    const UniqueLocalMemory descriptor(raw);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, raw, FALSE};
    lock.mutex_.Reset(::CreateMutexW(&attributes, FALSE, kRunLockName));
    if (!lock.mutex_) {
        lock.error_ = ::GetLastError();
        // Velmora's own lock lets every administrator open it and is a mutex.
        if (lock.error_ == ERROR_ACCESS_DENIED || lock.error_ == ERROR_INVALID_HANDLE) {
            lock.state_ = RunLockState::Untrusted;
            lock.problem_ =
                L"The run lock " + std::wstring(kRunLockName) + L" is held by an object that " +
                (lock.error_ == ERROR_ACCESS_DENIED ? L"shuts administrators out" : L"is not a mutex") +
                L": another account made it, not Velmora." + kRetry;
        }
        Diagnose(L"The run lock " + std::wstring(kRunLockName) + L" could not be opened: error " +
                 std::to_wstring(lock.error_) + L". " + lock.problem_);
        return lock;
    }
    if (std::wstring why = WhyNotOurs(lock.mutex_.Get()); !why.empty()) {
        lock.mutex_.Reset(); // never waited for, never taken
        lock.state_ = RunLockState::Untrusted;
        lock.problem_ = std::move(why);
        Diagnose(lock.problem_);
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
      error_(other.error_), problem_(std::move(other.problem_)) {}

RunLock& RunLock::operator=(RunLock&& other) noexcept {
    if (this != &other) {
        Release();
        mutex_ = std::move(other.mutex_);
        state_ = std::exchange(other.state_, RunLockState::NotHeld);
        error_ = other.error_;
        problem_ = std::move(other.problem_);
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
