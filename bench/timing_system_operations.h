#pragma once

// A SystemOperations that passes every call on unchanged to another one and measures how long each
// took, summed per step of the run.

#include "tweaks/system_operations.h"

#include <array>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>

namespace Velmora::Bench {

// The steps of a run as the benchmark reports them; each operation of SystemOperations belongs to one.
enum class RunStep { Cleanup, Power, Services, Commands, Tasks, Registry, AppOffloading };
inline constexpr std::array<RunStep, 7> kRunSteps = {RunStep::Cleanup,      RunStep::Power, RunStep::Services,
                                                     RunStep::Commands,     RunStep::Tasks, RunStep::Registry,
                                                     RunStep::AppOffloading};

[[nodiscard]] std::string_view RunStepName(RunStep step);

// The operation names of the step, as the operations call themselves in the run's log.
[[nodiscard]] std::vector<std::wstring_view> RunStepOperations(RunStep step);

// The command lists run programs of the system (cmd.exe, PowerShell and what they start); their
// time is theirs, not the program's.
[[nodiscard]] constexpr bool IsExternalStep(RunStep step) {
    return step == RunStep::Commands;
}

class TimingSystemOperations final : public SystemOperations {
public:
    // Milliseconds on a monotonic clock.
    using Clock = std::function<double()>;

    TimingSystemOperations(SystemOperations& inner, Clock clock); // inner: not owned

    struct StepTime {
        double milliseconds = 0.0;
        int calls = 0;
    };
    [[nodiscard]] StepTime Step(RunStep step) const;
    // When the first call of the run began and the last one ended.
    [[nodiscard]] std::optional<double> FirstCallStart() const;
    [[nodiscard]] std::optional<double> LastCallEnd() const;
    void Reset();

    bool SetRegistryDword(RegistryDwordSetting setting) override;
    bool SetRegistryString(RegistryStringSetting setting) override;
    bool MergeRegistryListEntry(RegistryListEntry entry) override;
    bool DeleteRegistryEntry(RegistryDwordSetting setting) override;
    bool DeleteRegistryTree(RegistryDwordSetting setting) override;
    void ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>& services,
                                    const std::vector<ServiceStartEntry>& perUserTemplates) override;
    void SetSvcHostSplitThreshold() override;
    void AdjustServicesForMemory(const std::vector<std::wstring>& leaveAlone) override;
    void DisableEdgeUpdateTasks() override;
    bool DisableScheduledTask(const std::wstring& taskPath) override;
    std::uint32_t RunPowerShellCommands(const std::vector<std::wstring>& commands) override;
    std::uint32_t RunCmdCommands(const std::vector<std::wstring>& commands) override;
    void TunePowerScheme() override;
    void EmptyRecycleBin() override;
    void CleanTempFolders() override;
    void CleanPrefetchFolder() override;
    std::wstring GetCurrentUserSid() override;
    bool SetAppOffloadingDisabled(const std::wstring& userSid, bool disable) override;

private:
    // Records the time of one call when it ends, also when the call throws.
    class CallTimer {
    public:
        CallTimer(TimingSystemOperations& owner, RunStep step);
        ~CallTimer();
        CallTimer(const CallTimer&) = delete;
        CallTimer& operator=(const CallTimer&) = delete;

    private:
        TimingSystemOperations& owner_;
        RunStep step_;
        double start_;
    };
    void Record(RunStep step, double start, double end);

    SystemOperations& inner_;
    Clock clock_;
    mutable std::mutex mutex_;
    std::array<StepTime, kRunSteps.size()> steps_{};
    std::optional<double> firstStart_;
    std::optional<double> lastEnd_;
};

} // namespace Velmora::Bench
