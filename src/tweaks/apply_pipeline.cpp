#include "tweaks/apply_pipeline.h"

#include "common/diagnostics.h"
#include "tweaks/delayed_runner.h"
#include "tweaks/run_controller.h"
#include "common/dispatcher_queue.h"

#include <string>

namespace Velmora {
namespace {

std::int32_t RunSelectedProfileSteps(const RunController& controller, SystemOperations& system,
                                     SettingsProfile profile) {
    switch (profile) {
    case kEssentialProfile:
        controller.UndoMaximumTweaks(system);
        controller.UndoStandardTweaks(system);
        return controller.ApplyCommonTweaks(system);
    case kStandardProfile: {
        controller.UndoMaximumTweaks(system);
        const std::int32_t common = controller.ApplyCommonTweaks(system);
        return common + controller.ApplyStandardTweaks(system);
    }
    case kMaximumProfile: {
        const std::int32_t common = controller.ApplyCommonTweaks(system);
        const std::int32_t standard = controller.ApplyStandardTweaks(system);
        return common + standard + controller.ApplyMaximumTweaks(system);
    }
    default:
        return 0;
    }
}

// The profile's steps, then the included optional features, whatever the profile.
std::int32_t RunProfileSteps(const ApplyRunContext& context, SettingsProfile profile) {
    std::int32_t outcome = RunSelectedProfileSteps(context.controller, context.system, profile);
    if (context.optionalRows != nullptr && profile >= kEssentialProfile && profile <= kMaximumProfile) {
        outcome += context.controller.ApplyOptionalTweaks(context.system, *context.optionalRows);
    }
    return outcome;
}

void Post(DispatcherQueue& dispatcher, const std::function<void()>& closure) {
    if (closure && !dispatcher.TryEnqueue(closure)) {
        Diagnose(L"The window did not accept the result of the apply run");
    }
}

} // namespace

std::wstring_view ProfileBuildSettingKey(SettingsProfile profile) {
    switch (profile) {
    case kEssentialProfile:
        return L"AppliedTaskBuildEssential";
    case kStandardProfile:
        return L"AppliedTaskBuildStandard";
    case kMaximumProfile:
        return L"AppliedTaskBuildMaximum";
    default:
        return {};
    }
}

std::int32_t RunApplyPipeline(const ApplyRunContext& context) {
    std::int32_t outcome = 0;
    try {
        outcome = RunProfileSteps(context, context.selectedProfile.load());
    } catch (...) {
        // A step ran out of memory or similar: nothing can say the profile was applied.
        Diagnose(L"The apply run stopped on an unexpected error");
        Post(context.dispatcher, context.showFailure);
        return kFailureThreshold - 1;
    }
    Diagnose(L"Apply run finished with outcome " + std::to_wstring(outcome));
    if (outcome < kFailureThreshold) {
        Post(context.dispatcher, context.showFailure);
        return outcome;
    }
    Post(context.dispatcher, context.showSuccess);
    // Read again: the record names the profile selected now.
    const SettingsProfile profile = context.selectedProfile.load();
    if (profile >= kEssentialProfile && profile <= kMaximumProfile && context.storeSetting) {
        try {
            context.storeSetting(L"AppliedTask", profile);
            context.storeSetting(ProfileBuildSettingKey(profile),
                                 kCurrentProfileBuild[static_cast<size_t>(profile)]);
        } catch (...) {
            Diagnose(L"The applied profile could not be recorded in the settings");
        }
    }
    return outcome;
}

bool ApplyPipeline(const ApplyRunContext& context, DelayedRunner& timer, int delaySeconds,
                   PipelineRunner runner) {
    return timer.RunAfter(std::chrono::seconds(delaySeconds), [context, runner = std::move(runner)] {
        if (runner) {
            runner(context);
        } else {
            RunApplyPipeline(context);
        }
    });
}

} // namespace Velmora
