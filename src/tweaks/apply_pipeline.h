#pragma once

#include "tweaks/profiles.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

namespace Velmora {

class DelayedRunner;
class DispatcherQueue;
class RunController;
struct OptionalRows;
class SystemOperations;

// What a run uses of the window. Everything referenced lives as long as the window.
struct ApplyRunContext {
    const RunController& controller;
    // Read when the run starts, and again for the record of a successful run.
    const std::atomic<SettingsProfile>& selectedProfile;
    SystemOperations& system;
    DispatcherQueue& dispatcher;
    // Stores one Int32 local setting.
    std::function<void(std::wstring_view key, std::int32_t value)> storeSetting;
    // Posted to the dispatcher, exactly one of them per run.
    std::function<void()> showSuccess;
    std::function<void()> showFailure;
    // The optional features' rows set after the profile's steps; null: none.
    const OptionalRows* optionalRows;
};

// Carries out a requested run: RunApplyPipeline itself, or the program's journaled run around it.
using PipelineRunner = std::function<std::int32_t(const ApplyRunContext&)>;

// Start delays, in seconds, of a run from Apply and from Try Again.
inline constexpr int kApplyStartDelaySeconds = 9;
inline constexpr int kTryAgainStartDelaySeconds = 2;

// Requests a run of the selected profile after the delay and returns at once. The run continues on
// a thread-pool thread, through `runner` when one is given. False when the run could not be scheduled.
bool ApplyPipeline(const ApplyRunContext& context, DelayedRunner& timer, int delaySeconds,
                   PipelineRunner runner = {});

// The run itself, on the calling thread: the selected profile's steps, the outcome against the
// failure threshold, the notification and, on success, the settings record. Returns the outcome.
std::int32_t RunApplyPipeline(const ApplyRunContext& context);

// The settings key holding the revision of a profile's last successful run.
[[nodiscard]] std::wstring_view ProfileBuildSettingKey(SettingsProfile profile);

} // namespace Velmora
