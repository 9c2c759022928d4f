#pragma once

// What the main window asks of the engine. StartWork runs on the UI thread; everything else runs on
// a worker thread, never on the UI thread, and the window posts the results back through its
// dispatcher.

#include "engine/engine.h"
#include "engine/keep_settings.h"
#include "engine/pc_status.h"

#include <functional>
#include <mutex>

namespace Velmora {

class WindowEngine {
public:
    virtual ~WindowEngine() = default;
    // Starts `work` on a worker thread; false when none could be started.
    [[nodiscard]] virtual bool StartWork(std::function<void()> work) = 0;

    [[nodiscard]] virtual PcStatus Scan(const RunController& controller, SettingsProfile applied,
                                        const FeatureIndex& features) = 0;
    [[nodiscard]] virtual ProfilePlan PlanRun(const RunController& controller, SettingsProfile profile,
                                              const PlanOptions& options) = 0;
    // The journaled run of the pipeline; `report` says what it did once it returns.
    virtual std::int32_t Run(const ApplyRunContext& context, const RunOptions& options,
                             RunReport& report) = 0;
    // With `only`, those features' items alone (put back to what the PC held before the run).
    [[nodiscard]] virtual RestoreResult Restore(const std::wstring& journalPath,
                                                const ProgressObserver& progress,
                                                const RestoreOnly* only = nullptr) = 0;
    [[nodiscard]] virtual std::optional<RunReport> ReadRun(const std::wstring& journalPath,
                                                           std::wstring& error) = 0;
    // The PC's choices as a run finds them: stored, and set by policy.
    [[nodiscard]] virtual Choices ReadChoices(const FeatureIndex& features) = 0;
    // Replaces the PC's stored choices.
    [[nodiscard]] virtual WriteOutcome SaveChoices(const std::vector<std::wstring>& keptIds,
                                                   const std::vector<std::wstring>& includedIds) = 0;
    // Adds to them (a feature put back stays as it is).
    [[nodiscard]] virtual WriteOutcome KeepToo(const std::vector<std::wstring>& ids) = 0;
    // Keeping settings in place: whether it is on, and turning it on or off.
    [[nodiscard]] virtual KeepStatus ReadKeeping() = 0;
    [[nodiscard]] virtual KeepOutcome SetKeeping(bool on) = 0;
};

// The engine itself behind the window. One piece of work at a time: a scan never overlaps a run, a
// restore or another scan; each waits for the one before it.
class EngineForWindow final : public WindowEngine {
public:
    // Without `keep`, keeping settings in place is not offered. `prepare` runs once, before the first
    // piece of work that reads or changes the PC, on the thread of that work: what the engine needs that
    // the window's start does not (whose hives a run reaches).
    explicit EngineForWindow(EngineServices& services, KeepPlatform* keep = nullptr,
                             std::function<void()> prepare = {})
        : services_(services), keep_(keep), prepare_(std::move(prepare)) {}

    bool StartWork(std::function<void()> work) override;
    PcStatus Scan(const RunController& controller, SettingsProfile applied,
                  const FeatureIndex& features) override;
    ProfilePlan PlanRun(const RunController& controller, SettingsProfile profile,
                        const PlanOptions& options) override;
    std::int32_t Run(const ApplyRunContext& context, const RunOptions& options, RunReport& report) override;
    RestoreResult Restore(const std::wstring& journalPath, const ProgressObserver& progress,
                          const RestoreOnly* only) override;
    std::optional<RunReport> ReadRun(const std::wstring& journalPath, std::wstring& error) override;
    Choices ReadChoices(const FeatureIndex& features) override;
    WriteOutcome SaveChoices(const std::vector<std::wstring>& keptIds,
                             const std::vector<std::wstring>& includedIds) override;
    WriteOutcome KeepToo(const std::vector<std::wstring>& ids) override;
    KeepStatus ReadKeeping() override;
    KeepOutcome SetKeeping(bool on) override;

private:
    // Under oneAtATime_.
    void Prepare();

    EngineServices& services_; // not owned
    KeepPlatform* keep_;       // not owned
    std::function<void()> prepare_;
    std::mutex oneAtATime_;
};

} // namespace Velmora
