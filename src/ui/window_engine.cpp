#include "ui/window_engine.h"

#include "common/diagnostics.h"

#include <thread>

namespace Velmora {

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

PcStatus EngineForWindow::Scan(const RunController& controller, SettingsProfile applied) {
    const std::lock_guard lock(oneAtATime_);
    return ScanPc(services_, controller, applied);
}

ProfilePlan EngineForWindow::PlanRun(const RunController& controller, SettingsProfile profile,
                                     const PlanOptions& options) {
    const std::lock_guard lock(oneAtATime_);
    return PlanProfile(services_, controller, profile, options);
}

std::int32_t EngineForWindow::Run(const ApplyRunContext& context, const RunOptions& options,
                                  RunReport& report) {
    const std::lock_guard lock(oneAtATime_);
    return RunJournaledPipeline(context, services_, options, &report);
}

RestoreResult EngineForWindow::Restore(const std::wstring& journalPath, const ProgressObserver& progress) {
    const std::lock_guard lock(oneAtATime_);
    return RestoreJournal(services_, journalPath, progress);
}

} // namespace Velmora
