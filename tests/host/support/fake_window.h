#pragma once

// Host stand-ins for what the main window reaches beyond its controls: the platform (dialogs, files,
// the log folder, the frame), a settings store that counts its writes, and the engine, whose work
// waits until the test runs it.

#include "settings/local_settings.h"
#include "tweaks/apply_pipeline.h"
#include "ui/main_window.h"
#include "ui/window_engine.h"

#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace Velmora::Testing {

using namespace Velmora::implementation;

class FakePlatform final : public WindowPlatform {
public:
    bool HasStyle(std::wstring_view) const override { return true; }
    void ShowDialog(const ConfirmationDialog& dialog, std::function<void(DialogResult)> done) override {
        dialogs.push_back(dialog);
        pendingAnswer = std::move(done);
    }
    bool StartAppRemoval(std::vector<std::wstring> names) override {
        removals.push_back(std::move(names));
        return true;
    }
    void RestartComputer() override { ++restarts; }
    std::optional<ExportTarget> AskExportFile(const ExportDialog&) override { return exportTo; }
    std::optional<std::wstring> AskChoicesFile(const ChoicesFileDialog& dialog) override {
        choicesAsked.push_back(dialog);
        return choicesFile;
    }
    bool ReadSmallFile(const std::wstring& path, std::size_t maxBytes, std::string& bytes,
                       std::wstring& error) override {
        const auto found = saved.find(path);
        error = found == saved.end()              ? L"it is not there"
                : found->second.size() > maxBytes ? L"it is too large"
                                                  : L"";
        bytes = found == saved.end() ? std::string() : found->second;
        return error.empty();
    }
    bool SaveFile(const std::wstring& path, const std::string& bytes) override {
        saved[path] = bytes;
        return true;
    }
    void OpenLogFolder() override { ++logFolderShown; }
    std::wstring ErrorMessage(std::uint32_t error, std::int32_t) override {
        return error == 5 ? L"Access is denied" : L"";
    }
    void HideWindow() override { hidden = true; }
    void EndProgram() override { ended = true; }

    std::optional<ExportTarget> exportTo;
    std::map<std::wstring, std::string> saved;
    std::optional<std::wstring> choicesFile; // the answer to the next choices file question
    std::vector<ChoicesFileDialog> choicesAsked;
    int logFolderShown = 0;
    bool hidden = false;
    bool ended = false;
    std::vector<ConfirmationDialog> dialogs;
    std::function<void(DialogResult)> pendingAnswer;
    std::vector<std::vector<std::wstring>> removals;
    int restarts = 0;
};

// Counts writes so a test can tell that nothing was stored.
class CountingSettings final : public LocalSettingsValues {
public:
    bool HasKey(std::wstring_view key) const override { return store->HasKey(key); }
    std::optional<SettingValue> Lookup(std::wstring_view key) const override { return store->Lookup(key); }
    void Insert(std::wstring_view key, const SettingValue& value) override {
        ++inserts;
        store->Insert(key, value);
    }
    void Remove(std::wstring_view key) override {
        ++inserts;
        store->Remove(key);
    }
    std::unique_ptr<LocalSettingsValues> store = MakeInMemorySettings();
    int inserts = 0;
};

// The engine behind the window: work waits in `pending` until the test runs it; scans, plans and
// restores answer what the test set; a run goes through the real pipeline over the window's system,
// telling the window the progress the test set.
class FakeWindowEngine final : public WindowEngine {
public:
    bool StartWork(std::function<void()> work) override {
        pending.push_back(std::move(work));
        return true;
    }
    PcStatus Scan(const RunController&, SettingsProfile applied, const FeatureIndex&) override {
        ++scans;
        scannedFor = applied;
        return status;
    }
    ProfilePlan PlanRun(const RunController&, SettingsProfile profile, const PlanOptions&) override {
        ProfilePlan answer = plan;
        answer.profile = profile;
        return answer;
    }
    std::int32_t Run(const ApplyRunContext& context, const RunOptions& options, RunReport& out) override {
        ++runs;
        keptInRun = options.choices != nullptr ? options.choices->choices.kept : decltype(keptInRun){};
        includedInRun =
            options.choices != nullptr ? options.choices->choices.included : decltype(includedInRun){};
        for (const RunProgress& each : progress) {
            options.progress(each);
        }
        if (duringRun) {
            duringRun(options);
        }
        out = report;
        return RunApplyPipeline(context);
    }
    RestoreResult Restore(const std::wstring& journalPath, const ProgressObserver& observer,
                          const RestoreOnly* only) override {
        restored.push_back(journalPath);
        restoredOnly.push_back(only != nullptr ? only->only : std::vector<std::size_t>{});
        observer(RunProgress{ItemStep::Services, 1, 1, 1, 1});
        return restoreResult;
    }
    std::optional<RunReport> ReadRun(const std::wstring& journalPath, std::wstring&) override {
        RunReport read = report;
        read.journalPath = journalPath;
        return read;
    }
    Choices ReadChoices(const FeatureIndex& features) override {
        Choices answer = status.choices;
        AddChoices(answer, features, storedChoices, ChoiceSource::Stored);
        AddChoices(answer, features, storedIncludes, ChoiceSource::Stored, ChoiceKind::Include);
        return answer;
    }
    KeepStatus ReadKeeping() override { return {keepingOn, keepingOn, {}, false}; }
    KeepOutcome SetKeeping(bool on) override {
        if (!keepRefusal.empty()) {
            return {false, keepRefusal, keepRefusal};
        }
        keepingOn = on;
        return {true, {}, {}};
    }
    WriteOutcome SaveChoices(const std::vector<std::wstring>& keptIds,
                             const std::vector<std::wstring>& includedIds) override {
        storedChoices = keptIds;
        storedIncludes = includedIds;
        return {true, 0};
    }
    WriteOutcome KeepToo(const std::vector<std::wstring>& ids) override {
        storedChoices.insert(storedChoices.end(), ids.begin(), ids.end());
        return {true, 0};
    }
    // Runs the work started so far, on the calling thread; returns how much ran.
    int RunPending() {
        int ran = 0;
        for (auto& work : std::exchange(pending, {})) {
            work();
            ++ran;
        }
        return ran;
    }

    PcStatus status;
    ProfilePlan plan;
    std::map<std::size_t, ChoiceSource> keptInRun; // the choices the last run was given
    std::map<std::size_t, ChoiceSource> includedInRun;
    std::vector<RunProgress> progress;
    std::function<void(const RunOptions&)> duringRun;
    RunReport report;
    RestoreResult restoreResult;
    std::vector<std::function<void()>> pending;
    std::vector<std::wstring> restored;
    std::vector<std::vector<std::size_t>> restoredOnly;
    std::vector<std::wstring> storedChoices;
    std::vector<std::wstring> storedIncludes;
    bool keepingOn = false;
    std::wstring keepRefusal; // SetKeeping refuses with this reason when it is not empty
    int scans = 0;
    int runs = 0;
    SettingsProfile scannedFor = kNoProfile;
};

} // namespace Velmora::Testing
