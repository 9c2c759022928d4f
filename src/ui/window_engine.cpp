#include "ui/window_engine.h"

#include "common/diagnostics.h"
#include "common/dispatcher_queue.h"

#include <thread>
#include <utility>
#include <vector>

namespace Velmora {
namespace {

// Keeps what a run posts to the window until the run has ended, then passes it on: the window shows the
// result, and gives the run lock back, only once the journal is closed and the detection marker written.
class HeldBackDispatcher final : public DispatcherQueue {
public:
    explicit HeldBackDispatcher(DispatcherQueue& window) : window_(window) {}
    bool TryEnqueue(std::function<void()> closure) override {
        held_.push_back(std::move(closure));
        return true;
    }
    void PassOn() {
        for (std::function<void()>& closure : held_) {
            window_.TryEnqueue(std::move(closure));
        }
        held_.clear();
    }

private:
    DispatcherQueue& window_;
    std::vector<std::function<void()>> held_;
};

} // namespace

void EngineForWindow::Prepare() {
    if (prepare_) {
        std::exchange(prepare_, {})();
    }
}

bool EngineForWindow::StartWork(std::function<void()> work) {
    try {
        std::thread([work = std::move(work)] {
            try {
                work();
            } catch (...) {
                Diagnose(L"The window's background work stopped on an unexpected error");
            }
        }).detach();
        return true;
    } catch (const std::exception&) {
        return false; // no thread could be started
    }
}

PcStatus EngineForWindow::Scan(const RunController& controller, SettingsProfile applied,
                               const FeatureIndex& features) {
    const std::lock_guard lock(oneAtATime_);
    Prepare();
    PcStatus status = ScanPc(services_, controller, applied, &features);
    if (keep_ != nullptr) {
        status.keeping = ReadKeepStatus(*keep_).on;
    }
    return status;
}

ProfilePlan EngineForWindow::PlanRun(const RunController& controller, SettingsProfile profile,
                                     const PlanOptions& options) {
    const std::lock_guard lock(oneAtATime_);
    Prepare();
    return PlanProfile(services_, controller, profile, options);
}

std::int32_t EngineForWindow::Run(const ApplyRunContext& context, const RunOptions& options,
                                  RunReport& report) {
    const std::lock_guard lock(oneAtATime_);
    Prepare();
    HeldBackDispatcher results(context.dispatcher);
    ApplyRunContext heldBack{
        context.controller,   context.selectedProfile, context.system,      results,
        context.storeSetting, context.showSuccess,     context.showFailure, context.optionalRows};
    const std::int32_t outcome = RunJournaledPipeline(heldBack, services_, options, &report);
    results.PassOn();
    return outcome;
}

RestoreResult EngineForWindow::Restore(const std::wstring& journalPath, const ProgressObserver& progress,
                                       const RestoreOnly* only) {
    const std::lock_guard lock(oneAtATime_);
    Prepare();
    RestoreResult result = RestoreJournal(services_, journalPath, progress, nullptr, only);
    if (keep_ != nullptr && only == nullptr && !result.refused && !result.cancelled) {
        const std::optional<KeepOutcome> off = StopKeepingWithoutProfile(services_.reader, *keep_);
        result.keepingTurnedOff = off && off->succeeded;
    }
    return result;
}

std::optional<RunReport> EngineForWindow::ReadRun(const std::wstring& journalPath, std::wstring& error) {
    const std::lock_guard lock(oneAtATime_);
    Prepare();
    return ReadRunJournal(services_, journalPath, error);
}

Choices EngineForWindow::ReadChoices(const FeatureIndex& features) {
    return Velmora::ReadChoices(services_.reader, features);
}

WriteOutcome EngineForWindow::SaveChoices(const std::vector<std::wstring>& keptIds,
                                          const std::vector<std::wstring>& includedIds) {
    const WriteOutcome kept = WriteStoredChoices(services_.writer, keptIds);
    return kept.succeeded ? WriteStoredChoices(services_.writer, includedIds, ChoiceKind::Include) : kept;
}

WriteOutcome EngineForWindow::KeepToo(const std::vector<std::wstring>& ids) {
    return AddStoredChoices(services_.reader, services_.writer, ids);
}

KeepStatus EngineForWindow::ReadKeeping() {
    return keep_ != nullptr ? ReadKeepStatus(*keep_) : KeepStatus{};
}

KeepOutcome EngineForWindow::SetKeeping(bool on) {
    const std::lock_guard lock(oneAtATime_);
    if (keep_ == nullptr) {
        return {false, L"Keeping settings in place is not available here.", L"it is not available here."};
    }
    return on ? TurnKeepOn(*keep_) : TurnKeepOff(*keep_);
}

} // namespace Velmora
