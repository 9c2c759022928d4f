// What the window cannot reach of the apply run: the record names the profile selected at the end,
// needs no window, and the run thread shares the state race-free. (Threshold: through the window.)

#include "tweaks/apply_pipeline.h"

#include "support/fake_ui.h"
#include "support/recording_system.h"
#include "tweaks/run_controller.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace Velmora;

// Under ThreadSanitizer this fails if the shared fields are not race-free.
TEST(ApplyPipeline, TheRecordNamesTheProfileSelectedAtTheEndAndTheThreadsShareTheStateRaceFree) {
    RunController controller;
    std::atomic<SettingsProfile> selected{kStandardProfile};
    Testing::RecordingSystem system;
    // Another card is picked while the run is under way: after the run read the profile it applies,
    // before it reads the one it records, whatever the scheduler does with the threads.
    system.dwordWriteSucceeds = [&selected](const RegistryDwordSetting&) {
        selected = kEssentialProfile;
        return true;
    };
    Testing::QueuedDispatcher dispatcher;
    dispatcher.accepting = false; // the window is gone: the record is kept all the same
    std::vector<std::pair<std::wstring, std::int32_t>> stored;
    const ApplyRunContext context{
        controller,
        selected,
        system,
        dispatcher,
        [&stored](std::wstring_view key, std::int32_t value) { stored.emplace_back(key, value); },
        [] {},
        [] {},
        nullptr};
    std::atomic<bool> done{false};
    std::thread run([&] {
        RunApplyPipeline(context);
        done = true;
    });
    while (!done) {
        selected = kEssentialProfile; // another card picked on the UI thread
        std::this_thread::yield();
    }
    run.join();
    EXPECT_EQ(stored, (std::vector<std::pair<std::wstring, std::int32_t>>{
                          {L"AppliedTask", 0}, {L"AppliedTaskBuildEssential", 120}}));
    dispatcher.accepting = true;
    EXPECT_EQ(dispatcher.Drain(), 0) << "a refused notification is not retried";
}

} // namespace
