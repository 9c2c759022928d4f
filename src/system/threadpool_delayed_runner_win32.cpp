#include "system/threadpool_delayed_runner.h"

#include "common/diagnostics.h"
#include "common/win32_handles.h"

#include <memory>

namespace Velmora {
namespace {

struct PendingWork {
    std::function<void()> work;
    UniqueThreadpoolTimer timer;
};

void CALLBACK OnTimer(PTP_CALLBACK_INSTANCE, PVOID context, PTP_TIMER) {
    // Owns the request from here on; closing the timer inside its own callback is allowed, the
    // system frees it once the callback has returned.
    const std::unique_ptr<PendingWork> pending(static_cast<PendingWork*>(context));
    try {
        pending->work();
    } catch (...) {
        Diagnose(L"Delayed work ended with an unexpected error");
    }
}

} // namespace

bool ThreadpoolDelayedRunner::RunAfter(std::chrono::seconds delay, std::function<void()> work) {
    auto pending = std::make_unique<PendingWork>();
    pending->work = std::move(work);
    pending->timer.Reset(::CreateThreadpoolTimer(&OnTimer, pending.get(), nullptr));
    if (!pending->timer) {
        Diagnose(L"Failed to create a thread-pool timer: " + std::to_wstring(::GetLastError()));
        return false;
    }
    // A negative due time is relative, in units of 100 ns.
    ULARGE_INTEGER due{};
    due.QuadPart = static_cast<ULONGLONG>(-static_cast<LONGLONG>(delay.count()) * 10'000'000LL);
    FILETIME dueTime{due.LowPart, due.HighPart};
    PTP_TIMER timer = pending->timer.Get();
    ::SetThreadpoolTimer(timer, &dueTime, 0, 0);
    static_cast<void>(pending.release()); // the callback owns it now
    return true;
}

} // namespace Velmora
