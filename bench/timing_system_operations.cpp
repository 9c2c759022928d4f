#include "bench/timing_system_operations.h"

#include <utility>

namespace Velmora::Bench {

std::string_view RunStepName(RunStep step) {
    switch (step) {
    case RunStep::Cleanup:
        return "cleanup";
    case RunStep::Power:
        return "power";
    case RunStep::Services:
        return "services";
    case RunStep::Commands:
        return "commands";
    case RunStep::Tasks:
        return "scheduled tasks";
    case RunStep::Registry:
        return "registry";
    case RunStep::AppOffloading:
        return "app offloading";
    }
    return "?";
}

std::vector<std::wstring_view> RunStepOperations(RunStep step) {
    switch (step) {
    case RunStep::Cleanup:
        return {L"EmptyRecycleBin", L"CleanTempFolders", L"CleanPrefetchFolder"};
    case RunStep::Power:
        return {L"TunePowerScheme"};
    case RunStep::Services:
        return {L"ConfigureServiceStartTypes", L"SetSvcHostSplitThreshold", L"AdjustServicesForMemory"};
    case RunStep::Commands:
        return {L"RunPowerShellCommands", L"RunCmdCommands"};
    case RunStep::Tasks:
        return {L"DisableEdgeUpdateTasks", L"DisableScheduledTask"};
    case RunStep::Registry:
        return {L"SetRegistryDword", L"SetRegistryString", L"MergeRegistryListEntry", L"DeleteRegistryEntry",
                L"DeleteRegistryTree"};
    case RunStep::AppOffloading:
        return {L"GetCurrentUserSid", L"SetAppOffloadingDisabled"};
    }
    return {};
}

TimingSystemOperations::TimingSystemOperations(SystemOperations& inner, Clock clock)
    : inner_(inner), clock_(std::move(clock)) {}

TimingSystemOperations::CallTimer::CallTimer(TimingSystemOperations& owner, RunStep step)
    : owner_(owner), step_(step), start_(owner.clock_()) {}

TimingSystemOperations::CallTimer::~CallTimer() {
    owner_.Record(step_, start_, owner_.clock_());
}

void TimingSystemOperations::Record(RunStep step, double start, double end) {
    std::lock_guard lock(mutex_);
    StepTime& time = steps_[static_cast<std::size_t>(step)];
    time.milliseconds += end - start;
    ++time.calls;
    if (!firstStart_) {
        firstStart_ = start;
    }
    lastEnd_ = end;
}

TimingSystemOperations::StepTime TimingSystemOperations::Step(RunStep step) const {
    std::lock_guard lock(mutex_);
    return steps_[static_cast<std::size_t>(step)];
}

std::optional<double> TimingSystemOperations::FirstCallStart() const {
    std::lock_guard lock(mutex_);
    return firstStart_;
}

std::optional<double> TimingSystemOperations::LastCallEnd() const {
    std::lock_guard lock(mutex_);
    return lastEnd_;
}

void TimingSystemOperations::Reset() {
    std::lock_guard lock(mutex_);
    steps_ = {};
    firstStart_.reset();
    lastEnd_.reset();
}

bool TimingSystemOperations::SetRegistryDword(RegistryDwordSetting setting) {
    const CallTimer timer(*this, RunStep::Registry);
    return inner_.SetRegistryDword(std::move(setting));
}

bool TimingSystemOperations::SetRegistryString(RegistryStringSetting setting) {
    const CallTimer timer(*this, RunStep::Registry);
    return inner_.SetRegistryString(std::move(setting));
}

bool TimingSystemOperations::MergeRegistryListEntry(RegistryListEntry entry) {
    const CallTimer timer(*this, RunStep::Registry);
    return inner_.MergeRegistryListEntry(std::move(entry));
}

bool TimingSystemOperations::DeleteRegistryEntry(RegistryDwordSetting setting) {
    const CallTimer timer(*this, RunStep::Registry);
    return inner_.DeleteRegistryEntry(std::move(setting));
}

bool TimingSystemOperations::DeleteRegistryTree(RegistryDwordSetting setting) {
    const CallTimer timer(*this, RunStep::Registry);
    return inner_.DeleteRegistryTree(std::move(setting));
}

void TimingSystemOperations::ConfigureServiceStartTypes(
    const std::vector<ServiceStartEntry>& services, const std::vector<ServiceStartEntry>& perUserTemplates) {
    const CallTimer timer(*this, RunStep::Services);
    inner_.ConfigureServiceStartTypes(services, perUserTemplates);
}

void TimingSystemOperations::SetSvcHostSplitThreshold() {
    const CallTimer timer(*this, RunStep::Services);
    inner_.SetSvcHostSplitThreshold();
}

void TimingSystemOperations::AdjustServicesForMemory(const std::vector<std::wstring>& leaveAlone) {
    const CallTimer timer(*this, RunStep::Services);
    inner_.AdjustServicesForMemory(leaveAlone);
}

void TimingSystemOperations::DisableEdgeUpdateTasks() {
    const CallTimer timer(*this, RunStep::Tasks);
    inner_.DisableEdgeUpdateTasks();
}

bool TimingSystemOperations::DisableScheduledTask(const std::wstring& taskPath) {
    const CallTimer timer(*this, RunStep::Tasks);
    return inner_.DisableScheduledTask(taskPath);
}

std::uint32_t TimingSystemOperations::RunPowerShellCommands(const std::vector<std::wstring>& commands) {
    const CallTimer timer(*this, RunStep::Commands);
    return inner_.RunPowerShellCommands(commands);
}

std::uint32_t TimingSystemOperations::RunCmdCommands(const std::vector<std::wstring>& commands) {
    const CallTimer timer(*this, RunStep::Commands);
    return inner_.RunCmdCommands(commands);
}

void TimingSystemOperations::TunePowerScheme() {
    const CallTimer timer(*this, RunStep::Power);
    inner_.TunePowerScheme();
}

void TimingSystemOperations::EmptyRecycleBin() {
    const CallTimer timer(*this, RunStep::Cleanup);
    inner_.EmptyRecycleBin();
}

void TimingSystemOperations::CleanTempFolders() {
    const CallTimer timer(*this, RunStep::Cleanup);
    inner_.CleanTempFolders();
}

void TimingSystemOperations::CleanPrefetchFolder() {
    const CallTimer timer(*this, RunStep::Cleanup);
    inner_.CleanPrefetchFolder();
}

std::wstring TimingSystemOperations::GetCurrentUserSid() {
    const CallTimer timer(*this, RunStep::AppOffloading);
    return inner_.GetCurrentUserSid();
}

bool TimingSystemOperations::SetAppOffloadingDisabled(const std::wstring& userSid, bool disable) {
    const CallTimer timer(*this, RunStep::AppOffloading);
    return inner_.SetAppOffloadingDisabled(userSid, disable);
}

} // namespace Velmora::Bench
