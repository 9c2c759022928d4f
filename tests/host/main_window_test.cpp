// The main window's logic through the control layer, headless; the platform is a recording fake
// here, and the real window is walked end to end.

#include "ui/main_window.h"

#include "common/text_encoding.h"
#include "settings/local_settings.h"
#include "ui/layout.h"
#include "ui/window_placement.h"
#include "support/fake_ui.h"
#include "support/fake_window.h"
#include "support/recording_system.h"
#include "ui/text/localized_text_table.h"
#include "ui/text/terms_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace {

using namespace Velmora;
using namespace Velmora::implementation;
using Testing::CountingSettings;
using Testing::FakePlatform;

// The page-level controls that are shown, by name.
std::string Shown(MainWindow& w) {
    std::string shown;
    for (const auto& [name, control] : {std::pair{"welcome", &w.WelcomePage},
                                        {"terms", &w.TermsPage},
                                        {"profiles", &w.ProfilesPage},
                                        {"back", &w.BackButton},
                                        {"continue", &w.ContinueButton},
                                        {"apply", &w.ApplyButton},
                                        {"progress", &w.ProgressPanel},
                                        {"success", &w.SuccessPanel},
                                        {"failure", &w.FailurePanel},
                                        {"applied", &w.AlreadyAppliedPanel}}) {
        shown += control->GetVisibility() == Visibility::Visible
                     ? (shown.empty() ? "" : " ") + std::string(name)
                     : "";
    }
    return shown;
}

class WindowTest : public ::testing::Test {
protected:
    void Store(std::wstring_view key, SettingValue value) { settings.store->Insert(key, value); }
    MainWindow& Open() {
        texts.SetCurrentTextLanguage(0);
        texts.BuildTextTable(0);
        window = std::make_unique<MainWindow>(WindowServices{
            settings, texts, system, timer, dispatcher, platform, {}, nullptr, claimRun, releaseRun});
        return *window;
    }
    // As after a first start in English: the terms accepted, the profiles shown.
    MainWindow& OpenAcceptedInEnglish(SettingsProfile select) {
        Store(SettingKeys::AppLanguage, std::int32_t{1});
        Store(SettingKeys::AcceptTermsServices, true);
        MainWindow& w = Open();
        Control* cards[] = {&w.EssentialCardButton, &w.StandardCardButton, &w.MaximumCardButton};
        cards[select]->RaiseClick();
        return w;
    }
    // Ticks the app-removal box and answers the confirmation.
    void TickRemoveApps(MainWindow& w, DialogResult answer) {
        w.RemoveAppsCheckBox.RaiseClick();
        platform.pendingAnswer(answer);
        dispatcher.Drain();
    }
    // Apply, confirming what it will turn off: without a look at the PC, everything the profile can.
    void PressApply(MainWindow& w) {
        const std::size_t asked = platform.dialogs.size();
        w.ApplyButton.RaiseClick();
        if (platform.dialogs.size() > asked && platform.pendingAnswer) {
            platform.pendingAnswer(DialogResult::Primary);
            dispatcher.Drain();
        }
    }
    void FinishRun() {
        timer.RunPending();
        dispatcher.Drain();
    }
    std::int32_t StoredInt(std::wstring_view key) { return ReadInt32Setting(*settings.store, key, -999); }

    CountingSettings settings;
    LocalizedTextTable texts;
    Testing::RecordingSystem system;
    Testing::ManualDelayedRunner timer;
    Testing::QueuedDispatcher dispatcher;
    FakePlatform platform;
    std::function<bool()> claimRun;
    std::function<void()> releaseRun;
    std::unique_ptr<MainWindow> window;
};

// Whatever number is stored, texts, layout direction and the selector show one language.
TEST_F(WindowTest, AStoredLanguageOutsideArabicAndEnglishOpensInEnglishWithoutRewritingTheStore) {
    for (const std::optional<std::int32_t> stored :
         std::vector<std::optional<std::int32_t>>{{}, 0, 1, 2, -1}) {
        if (stored) {
            Store(SettingKeys::AppLanguage, *stored);
        }
        MainWindow& w = Open();
        const bool english = stored.value_or(0) != 0;
        EXPECT_EQ(w.RootGrid.GetFlowDirection(),
                  english ? FlowDirection::LeftToRight : FlowDirection::RightToLeft);
        EXPECT_EQ(w.LanguageComboBox.SelectedIndex(), english ? 1 : 0);
        EXPECT_EQ(w.WelcomeTitleText.Text(), english ? L"Welcome" : L"مرحبًا");
        EXPECT_EQ(w.ContinueButton.Text(), english ? L"Continue" : L"متابعة");
        EXPECT_EQ(settings.inserts, 0) << "opening the window stores nothing";
    }
}

TEST_F(WindowTest, EachPageShowsItsOwnControlsAndAgreeFollowsTheBoxAndIsStored) {
    MainWindow& w = Open();
    EXPECT_EQ(Shown(w), "welcome continue");
    w.LanguageComboBox.SetSelectedIndex(1);
    EXPECT_EQ(StoredInt(SettingKeys::AppLanguage), 1);
    w.ContinueButton.RaiseClick();
    EXPECT_EQ(Shown(w), "terms back continue");
    EXPECT_EQ(w.ContinueButton.Text(), L"Agree");
    EXPECT_EQ(w.AgreementTextBox.Text(), std::wstring(EnglishTermsText()));
    EXPECT_FALSE(w.ContinueButton.IsEnabled());
    w.ContinueButton.RaiseClick(); // a disabled button does nothing
    EXPECT_EQ(Shown(w), "terms back continue");
    w.TermsCheckBox.RaiseClick();
    EXPECT_TRUE(w.ContinueButton.IsEnabled());
    w.BackButton.RaiseClick(); // Back and Continue again: the box keeps its state and Agree follows it
    w.ContinueButton.RaiseClick();
    EXPECT_TRUE(w.ContinueButton.IsEnabled());
    EXPECT_FALSE(ReadBooleanSetting(*settings.store, SettingKeys::AcceptTermsServices, false));
    w.ContinueButton.RaiseClick();
    EXPECT_TRUE(ReadBooleanSetting(*settings.store, SettingKeys::AcceptTermsServices, false));
    EXPECT_EQ(Shown(w), "profiles back apply");
    EXPECT_FALSE(w.ApplyButton.IsEnabled()) << "no profile selected";
    w.BackButton.RaiseClick();
    w.ContinueButton.RaiseClick();
    EXPECT_EQ(Shown(w), "profiles back apply") << "after acceptance Continue skips the terms";
    w.LanguageComboBox.SetSelectedIndex(0); // a refresh in Arabic mirrors and relabels everything
    EXPECT_EQ(w.RootGrid.GetFlowDirection(), FlowDirection::RightToLeft);
    EXPECT_EQ(w.EssentialTitleText.Text(), L"الإعدادات الأساسية");
}

TEST_F(WindowTest, TheAppliedProfileShowsAlreadyAppliedAtItsRevisionAndOffersTheUpdateBelowIt) {
    for (const std::int32_t revision : {130, 129}) {
        Store(SettingKeys::AppliedTask, std::int32_t{1});
        Store(SettingKeys::AppliedTaskBuildStandard, revision);
        MainWindow& w = OpenAcceptedInEnglish(kStandardProfile);
        const bool current = revision == 130;
        EXPECT_EQ(Shown(w), current ? "profiles back applied" : "profiles back apply") << revision;
        EXPECT_EQ(w.StandardUpdateBadge.GetVisibility() == Visibility::Visible, !current) << revision;
        EXPECT_EQ(w.ApplyButton.Text(), current ? L"Apply" : L"Update");
    }
    window->MaximumCardButton.RaiseClick(); // another card: "Apply", and the Standard badge stays
    EXPECT_EQ(window->ApplyButton.Text(), L"Apply");
    EXPECT_EQ(window->StandardUpdateBadge.GetVisibility(), Visibility::Visible);
    EXPECT_EQ(window->MaximumUpdateBadge.GetVisibility(), Visibility::Collapsed);
}

TEST_F(WindowTest, CancellingTheConfirmationUnticksTheBoxThroughTheDispatcherAndDeleteKeepsIt) {
    MainWindow& w = OpenAcceptedInEnglish(kMaximumProfile);
    w.RemoveAppsCheckBox.RaiseClick();
    ASSERT_EQ(platform.dialogs.size(), 1u);
    EXPECT_EQ(platform.dialogs[0].flowDirection,
              FlowDirection::LeftToRight); // its texts are clicked end to end
    platform.pendingAnswer(DialogResult::None);
    EXPECT_TRUE(w.RemoveAppsCheckBox.IsChecked()) << "unticked by a posted closure, not at once";
    dispatcher.Drain();
    EXPECT_FALSE(w.RemoveAppsCheckBox.IsChecked());
    TickRemoveApps(w, DialogResult::Primary);
    EXPECT_TRUE(w.RemoveAppsCheckBox.IsChecked());
    EXPECT_EQ(platform.dialogs.size(), 2u) << "unticking opens no dialog";
}

// Only failed writes of the three counted tables count; 14 of them fail a run. A successful run
// records the profile selected when it ends, and the window offers the restart.
TEST_F(WindowTest, ThirteenFailedCountedWritesSucceedFourteenFailAndSuccessRecordsTheProfile) {
    const struct {
        SettingsProfile profile;
        int failures;
        bool uncountedFail;
        std::int32_t revision; // 0: the run fails
    } cases[] = {{kMaximumProfile, 13, true, 120},
                 {kStandardProfile, 13, false, 130},
                 {kEssentialProfile, 13, false, 120},
                 {kStandardProfile, 14, false, 0},
                 {kMaximumProfile, 14, true, 0}};
    const std::wstring_view revisionKeys[] = {SettingKeys::AppliedTaskBuildEssential,
                                              SettingKeys::AppliedTaskBuildStandard,
                                              SettingKeys::AppliedTaskBuildMaximum};
    for (const auto& c : cases) {
        settings.store = MakeInMemorySettings();
        MainWindow& w = OpenAcceptedInEnglish(c.profile);
        const RunController& tables = w.runController;
        const auto counted = [&tables](const RegistryDwordSetting& row) {
            for (const auto* table :
                 {&tables.commonRegistryTable, &tables.standardRegistryTable, &tables.maximumRegistryTable}) {
                if (std::find(table->begin(), table->end(), row) != table->end()) {
                    return true;
                }
            }
            return false;
        };
        auto remaining = std::make_shared<int>(c.failures);
        system.dwordWriteSucceeds = [&, remaining](const RegistryDwordSetting& row) {
            return counted(row) ? (*remaining)-- <= 0 : !c.uncountedFail;
        };
        PressApply(w);
        EXPECT_EQ(Shown(w), "progress");
        FinishRun();
        EXPECT_EQ(Shown(w), c.revision != 0 ? "success" : "failure") << c.profile << " " << c.failures;
        EXPECT_EQ(StoredInt(SettingKeys::AppliedTask), c.revision != 0 ? c.profile : -999);
        EXPECT_EQ(StoredInt(revisionKeys[c.profile]), c.revision != 0 ? c.revision : -999);
        w.RestartButton.RaiseClick(); // offered only after a success
    }
    EXPECT_EQ(timer.delays.front(), std::chrono::seconds(9));
    EXPECT_TRUE(platform.removals.empty());
    EXPECT_EQ(platform.restarts, 3);
}

TEST_F(WindowTest, AppRemovalStartsOnlyForStandardOrMaximumWithTheBoxInEffectAndNeverOnTryAgain) {
    MainWindow& w = OpenAcceptedInEnglish(kMaximumProfile);
    TickRemoveApps(w, DialogResult::Primary);
    w.EssentialCardButton.RaiseClick(); // the box stays ticked but is disabled now
    EXPECT_FALSE(w.RemoveAppsCheckBox.IsEnabled());
    EXPECT_EQ(w.EssentialCardButton.Style(), L"AccentButtonStyle");
    EXPECT_EQ(w.MaximumCardButton.Style(), L"DefaultButtonStyle");
    PressApply(w);
    EXPECT_TRUE(platform.removals.empty());
    w.run.pageState = PageState::Profiles;
    w.RefreshUi();
    w.MaximumCardButton.RaiseClick();
    system.dwordWriteSucceeds = [](const RegistryDwordSetting& row) { return row.root != 2; };
    const int insertsBefore = settings.inserts;
    PressApply(w);
    EXPECT_TRUE(platform.removals.empty()) << "the removal starts with the run, not before its delay";
    FinishRun();
    ASSERT_EQ(platform.removals.size(), 1u);
    EXPECT_EQ(platform.removals[0], w.runController.preinstalledPackageNames);
    EXPECT_EQ(Shown(w), "failure");
    EXPECT_EQ(settings.inserts, insertsBefore) << "a failed run stores nothing";
    w.TryAgainButton.RaiseClick();
    EXPECT_EQ(Shown(w), "progress");
    EXPECT_EQ(timer.delays.back(), std::chrono::seconds(2));
    FinishRun();
    EXPECT_EQ(Shown(w), "failure");
    EXPECT_EQ(platform.removals.size(), 1u) << "Try Again starts no app removal";
    w.CancelButton.RaiseClick();
    EXPECT_EQ(Shown(w), "profiles back apply");
    EXPECT_EQ(w.StatusArea.GetVisibility(), Visibility::Collapsed);
}

// What a run will turn off is asked before it starts; without a look at the PC, everything the profile can.
TEST_F(WindowTest, ApplyAsksFirstWhatTheRunWillTurnOffAndCancelStartsNothing) {
    MainWindow& w = OpenAcceptedInEnglish(kMaximumProfile);
    w.ApplyButton.RaiseClick();
    ASSERT_EQ(platform.dialogs.size(), 1u);
    const ConfirmationDialog& asked = platform.dialogs[0];
    EXPECT_EQ(asked.title, L"Before You Apply");
    EXPECT_EQ(asked.primaryButtonText, L"Apply");
    const std::wstring remoteDesktop(
        w.features->Features()[*w.features->Catalogue().Find("remote-desktop-off")].title.en);
    EXPECT_NE(asked.content.find(L"Maximum Settings will also turn off:\n"), std::wstring::npos);
    const std::size_t remote = asked.content.find(L"• Remote access to this PC (");
    ASSERT_NE(remote, std::wstring::npos) << ToUtf8(asked.content);
    EXPECT_LT(asked.content.find(remoteDesktop, remote), asked.content.find(L"\n", remote));
    EXPECT_EQ(asked.content.find(L"Store apps"), std::wstring::npos) << "the apps are not removed";
    platform.pendingAnswer(DialogResult::None);
    dispatcher.Drain();
    EXPECT_EQ(Shown(w), "profiles back apply");
    EXPECT_TRUE(timer.pending.empty()) << "nothing started";
}

TEST_F(WindowTest, WhileAnotherRunHoldsTheRunLockTheWindowSaysSoAndHoldsItOnlyUntilItsResultIsShown) {
    bool othersRun = true;
    int held = 0;
    claimRun = [&] { return !othersRun && ++held > 0; };
    releaseRun = [&] { held -= held > 0 ? 1 : 0; };
    MainWindow& w = OpenAcceptedInEnglish(kStandardProfile);
    PressApply(w);
    EXPECT_EQ(Shown(w), "profiles back apply") << "nothing started";
    EXPECT_TRUE(timer.pending.empty());
    ASSERT_FALSE(platform.dialogs.empty());
    EXPECT_EQ(platform.dialogs.back().title, L"Another Velmora Run Is in Progress");
    EXPECT_EQ(platform.dialogs.back().closeButtonText, L"OK");
    EXPECT_TRUE(platform.dialogs.back().primaryButtonText.empty()) << "a notice, not a choice";
    const std::size_t asked = platform.dialogs.size();

    othersRun = false;
    system.dwordWriteSucceeds = [](const RegistryDwordSetting& row) { return row.root != 2; };
    PressApply(w);
    EXPECT_EQ(held, 1) << "held through the start delay";
    FinishRun();
    EXPECT_EQ(Shown(w), "failure");
    EXPECT_EQ(held, 0);
    othersRun = true; // Try Again finds the PC busy now
    w.TryAgainButton.RaiseClick();
    EXPECT_EQ(Shown(w), "failure");
    EXPECT_EQ(platform.dialogs.size(), asked + 2) << "Apply's question, then Try Again's notice";
    EXPECT_EQ(platform.dialogs.back().title, L"Another Velmora Run Is in Progress");
}

TEST_F(WindowTest, AResultArrivingAfterTheWindowIsGoneDoesNothing) {
    PressApply(OpenAcceptedInEnglish(kEssentialProfile));
    timer.RunPending(); // the result is now queued for the UI thread
    window.reset();
    EXPECT_EQ(dispatcher.Drain(), 1)
        << "the closure runs and finds no window (AddressSanitizer would see a use)";
}

// ---- the keyboard and the screen ----

TEST_F(WindowTest, EveryPageOpensOnItsPrimaryControlOrOnTheInputItNeedsFirst) {
    MainWindow& w = Open();
    system.dwordWriteSucceeds = [](const RegistryDwordSetting& row) { return row.root != 2; };
    const auto run = [&] {
        timer.RunPending();
        dispatcher.Drain();
    };
    struct Step {
        const char* page;
        std::function<void()> act;
        Control* focus;
        Control* enter;
        Control* escape;
    };
    const Step steps[] = {
        {"welcome", [] {}, &w.ContinueButton, &w.ContinueButton, nullptr},
        {"terms", [&] { w.ContinueButton.RaiseClick(); }, &w.TermsCheckBox, nullptr, &w.BackButton},
        {"terms, box ticked", [&] { w.TermsCheckBox.RaiseClick(); }, &w.ContinueButton, &w.ContinueButton,
         &w.BackButton},
        {"profiles, none chosen", [&] { w.ContinueButton.RaiseClick(); }, &w.EssentialCardButton, nullptr,
         &w.BackButton},
        {"profiles, Standard chosen", [&] { w.StandardCardButton.RaiseClick(); }, &w.ApplyButton,
         &w.ApplyButton, &w.BackButton},
        {"progress", [&] { PressApply(w); }, &w.ProgressRing, nullptr, nullptr},
        {"failure", run, &w.TryAgainButton, &w.TryAgainButton, &w.CancelButton},
        {"progress again", [&] { w.TryAgainButton.RaiseClick(); }, &w.ProgressRing, nullptr, nullptr},
        {"failure again", run, &w.TryAgainButton, &w.TryAgainButton, &w.CancelButton},
        {"profiles after cancel", [&] { w.CancelButton.RaiseClick(); }, &w.ApplyButton, &w.ApplyButton,
         &w.BackButton},
        {"success",
         [&] {
             system.dwordWriteSucceeds = nullptr;
             PressApply(w);
             run();
         },
         &w.RestartButton, &w.RestartButton, nullptr},
    };
    for (const Step& step : steps) {
        step.act();
        SCOPED_TRACE(step.page);
        Control* focus = w.FocusTarget();
        EXPECT_EQ(focus, step.focus);
        ASSERT_NE(focus, nullptr);
        EXPECT_TRUE(focus->IsShown() && focus->IsEnabled()) << "the focus never goes to a hidden control";
        EXPECT_EQ(w.DefaultButton(), step.enter);
        EXPECT_EQ(w.EscapeButton(), step.escape);
    }
}

// Text of a plain sans-serif face, so that a layout can be checked without a screen.
class FakeTextMetrics final : public LayoutMetrics {
public:
    explicit FakeTextMetrics(unsigned dpi) : dpi_(dpi) {}
    int Scale(double dips) const override { return DipsToPixels(dips, dpi_); }
    Size MeasureText(const Control& control, int maxWidth) const override {
        const double size = control.look.font == FontRole::Title     ? 30
                            : control.look.font == FontRole::Heading ? 22
                                                                     : 16;
        const int width = Scale(size * 0.55 * static_cast<double>(control.Text().size()));
        const int lines = maxWidth > 0 ? (width + maxWidth - 1) / maxWidth : 1;
        return {std::min(width, maxWidth), std::max(1, lines) * Scale(size * 1.4)};
    }
    int ScrollBarWidth() const override { return Scale(17); }

private:
    unsigned dpi_;
};

TEST_F(WindowTest, TheFirstWindowFitsItsMonitorAndEveryPageKeepsItsButtonsInView) {
    struct Screen {
        const char* name;
        Rect workArea; // the screen less the taskbar
        unsigned dpi;
    };
    const Screen screens[] = {{"1366x768 at 125%", {0, 0, 1366, 728}, 120},
                              {"1920x1080 at 150%", {0, 0, 1920, 1032}, 144},
                              {"3840x2160 at 200%", {0, 40, 3840, 2080}, 192}};
    MainWindow& w = Open();
    std::vector<std::function<void()>> pages{
        [] {},
        [&] { w.ContinueButton.RaiseClick(); },
        [&] {
            w.TermsCheckBox.RaiseClick();
            w.ContinueButton.RaiseClick();
            w.MaximumCardButton.RaiseClick();
        },
        [&] {
            system.dwordWriteSucceeds = [](const RegistryDwordSetting&) { return false; };
            PressApply(w);
            timer.RunPending();
            dispatcher.Drain();
        },
    };
    for (const auto& open : pages) {
        open();
        for (const Screen& screen : screens) {
            SCOPED_TRACE(screen.name);
            const Rect opened = InitialWindowRect(screen.workArea, screen.dpi);
            EXPECT_TRUE(screen.workArea.Contains(opened));
            EXPECT_LE(
                std::abs((opened.left - screen.workArea.left) - (screen.workArea.Right() - opened.Right())),
                1)
                << "centred";
            // After a move to another monitor or DPI: pulled inside, shrunk where larger, else untouched.
            const Rect& work = screen.workArea;
            EXPECT_EQ(FitIntoWorkArea(opened, work), opened);
            EXPECT_TRUE(work.Contains(FitIntoWorkArea({work.Right() - 90, work.top - 20, 800, 600}, work)));
            EXPECT_EQ(FitIntoWorkArea({-5, -5, work.width * 2, work.height * 2}, work), work);
            const Size frame{DipsToPixels(16, screen.dpi), DipsToPixels(39, screen.dpi)};
            const Size smallest = MinimumWindowSize(screen.dpi, frame);
            EXPECT_LE(smallest.height, screen.workArea.height);
            for (const Size outer : {Size{opened.width, opened.height}, smallest}) {
                const Rect client{0, 0, outer.width - frame.width, outer.height - frame.height};
                const Arrangement placed = ArrangeControls(w.RootGrid, client, FakeTextMetrics(screen.dpi));
                const Rect* content = placed.Find(w.ContentArea);
                ASSERT_NE(content, nullptr);
                for (const Control* button : {w.FocusTarget(), w.DefaultButton(), w.EscapeButton()}) {
                    if (button == nullptr) {
                        continue;
                    }
                    const Rect* place = placed.Find(*button);
                    ASSERT_NE(place, nullptr) << std::string(button->Name().begin(), button->Name().end());
                    EXPECT_TRUE(client.Contains(*place));
                    EXPECT_GT(place->width, DipsToPixels(100, screen.dpi));
                    if (button->look.alignment == Alignment::End) {
                        EXPECT_GT(place->left, client.width / 2) << "at the end of its row";
                    }
                    if (button->Parent() != &w.Footer) {
                        EXPECT_TRUE(content->Contains(*place)) << "in view without scrolling";
                    }
                }
            }
        }
    }
}

} // namespace
