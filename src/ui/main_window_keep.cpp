// Keeping settings in place from the window: one switch on the Profiles page and one on the success panel,
// showing the same state, offered only while a profile is applied. Turning it on or off runs on the
// engine's worker, under the PC's run lock, like any change to the PC.

#include "ui/main_window.h"
#include "ui/text/localized_text_table.h"
#include "ui/window_engine.h"

namespace Velmora::implementation {
namespace {

constexpr Visibility V = Visibility::Visible;
constexpr Visibility C = Visibility::Collapsed;

} // namespace

void MainWindow::RefreshKeepSwitches() {
    const bool applied = appliedProfile >= kEssentialProfile && appliedProfile <= kMaximumProfile;
    const bool offered = services_.engine != nullptr && applied && keeping_.has_value();
    for (Control* box : {&KeepCheckBox, &SuccessKeepCheckBox}) {
        box->SetVisibility(offered ? V : C);
        // Left enabled while it changes, so that the focus stays on it; a click meanwhile changes nothing.
        box->SetChecked(keeping_.value_or(false));
    }
}

void MainWindow::OnKeepClick() {
    WindowEngine* engine = services_.engine;
    if (keepBusy_ || engine == nullptr || !keeping_ || activity != WindowActivity::None || !ClaimRun()) {
        RefreshKeepSwitches(); // the box shows the state as it is, not the click
        return;
    }
    const bool wanted = !*keeping_;
    keepBusy_ = true;
    RefreshKeepSwitches();
    const std::function<void(KeepingSet)> done = PostTo(&MainWindow::OnKeepingSet);
    const bool started = engine->StartWork([engine, wanted, done] {
        KeepingSet result;
        try {
            result.outcome = engine->SetKeeping(wanted);
            result.on = engine->ReadKeeping().on;
        } catch (...) {
            result = {{false, {}, L"it stopped on an unexpected error."}, !wanted};
        }
        done(std::move(result));
    });
    if (!started) {
        OnKeepingSet({{false, {}, L"no worker could be started."}, !wanted});
    }
}

void MainWindow::OnKeepingSet(KeepingSet result) {
    keepBusy_ = false;
    if (services_.releaseRun) {
        services_.releaseRun();
    }
    keeping_ = result.on;
    RefreshKeepSwitches();
    if (!result.outcome.succeeded) {
        services_.platform.ShowDialog(
            Question(TextId::KeepInPlace,
                     FillText(Text(TextId::KeepFailed), L"{reason}", result.outcome.reason), -1, TextId::Ok,
                     false),
            [](DialogResult) {});
    }
}

} // namespace Velmora::implementation
