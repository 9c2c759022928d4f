#pragma once

// Fakes of what the engine reaches the PC through, for the host (which has no registry, service
// manager or task scheduler): a PC held in maps, journals held in memory, and a System Restore that
// answers as told.

#include "engine/journal_store.h"
#include "engine/plan.h"
#include "engine/restore_point.h"
#include "engine/state_reader.h"
#include "settings/local_settings.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace Velmora::Testing {

// A fake PC: every item absent unless set.
class FakePcReader final : public StateReader {
public:
    static std::wstring Id(RegistryRoot root, std::wstring path) {
        for (wchar_t& c : path) {
            c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
        }
        return std::to_wstring(root) + L"|" + path;
    }
    void SetValue(RegistryRoot root, const std::wstring& key, const std::wstring& name,
                  RegistryValueState value) {
        values[Id(root, key + L":" + name)] = std::move(value);
        keys.insert(Id(root, key));
    }

    RegistryValueState ReadRegistryValue(RegistryRoot root, const std::wstring& key,
                                         const std::wstring& name) override {
        const auto found = values.find(Id(root, key + L":" + name));
        return found == values.end() ? AbsentValue() : found->second;
    }
    Presence ReadRegistryKeyPresence(RegistryRoot root, const std::wstring& key) override {
        return keys.contains(Id(root, key)) ? Presence::Present : Presence::Absent;
    }
    RegistryKeyState ReadRegistryKey(RegistryRoot root, const std::wstring& key) override {
        const auto found = keyStates.find(Id(root, key));
        if (found != keyStates.end()) {
            return found->second;
        }
        return {ReadRegistryKeyPresence(root, key), {}, 0, 0};
    }
    ServiceState ReadService(const std::wstring& name) override {
        const auto found = services.find(name);
        return found != services.end() ? found->second
                                       : ServiceState{Presence::Absent, {},           {}, 0, Presence::Absent,
                                                      AbsentValue(),    AbsentValue()};
    }
    std::vector<std::wstring> PerUserServiceSuffixes() override { return suffixes; }
    TaskState ReadTask(const std::wstring& path) override {
        const auto found = tasks.find(path);
        return found != tasks.end() ? found->second : TaskState{Presence::Absent, false, 0};
    }
    std::vector<std::wstring> FindTasks(const std::vector<std::wstring>&) override { return foundTasks; }
    // The active scheme's values, or those of another scheme of `schemes`.
    ProcessorMaximumState ReadProcessorMaximum(const std::wstring& scheme) override {
        if (scheme.empty() || scheme == power.scheme) {
            return power;
        }
        const auto found = schemes.find(scheme);
        return found == schemes.end() ? ProcessorMaximumState{} : found->second;
    }
    std::optional<std::uint32_t> InstalledMemoryGiB() override { return memoryGiB; }
    std::wstring CurrentUserSid() override { return L"S-1-5-21-1-2-3-1001"; }
    ActionFacts SurveyAction(const ActionTarget&) override { return {}; }

    std::map<std::wstring, RegistryValueState> values;
    std::set<std::wstring> keys;
    std::map<std::wstring, RegistryKeyState> keyStates;
    std::map<std::wstring, ServiceState> services;
    std::vector<std::wstring> suffixes;
    std::map<std::wstring, TaskState> tasks;
    std::vector<std::wstring> foundTasks;
    ProcessorMaximumState power{100u, 80u, L"{381b4222-f694-41f0-9685-ff5bb260df2e}"};
    std::map<std::wstring, ProcessorMaximumState> schemes;
    std::optional<std::uint32_t> memoryGiB = 8;
};

// Writes into a fake PC: registry values and the power values of its schemes; everything else is refused.
class FakePcWriter final : public StateWriter {
public:
    explicit FakePcWriter(FakePcReader& pc) : pc_(pc) {}
    WriteOutcome WriteRegistryValue(RegistryRoot root, const std::wstring& key, const std::wstring& name,
                                    std::uint32_t type, const std::vector<std::uint8_t>& data) override {
        pc_.SetValue(root, key, name, {Presence::Present, type, data, 0});
        return {true, 0};
    }
    WriteOutcome DeleteRegistryValue(RegistryRoot root, const std::wstring& key,
                                     const std::wstring& name) override {
        pc_.values.erase(FakePcReader::Id(root, key + L":" + name));
        return {true, 0};
    }
    WriteOutcome CreateRegistryKey(RegistryRoot, const std::wstring&) override { return {}; }
    WriteOutcome DeleteRegistryKeyIfEmpty(RegistryRoot, const std::wstring&) override { return {}; }
    WriteOutcome SetServiceStartType(const std::wstring&, std::uint32_t) override { return {}; }
    WriteOutcome SetServiceDelayedFlag(const std::wstring&, bool) override { return {}; }
    WriteOutcome SetTaskEnabled(const std::wstring&, bool) override { return {}; }
    WriteOutcome WriteProcessorMaximum(const ProcessorMaximumState& values) override {
        const auto found = pc_.schemes.find(values.scheme);
        if (found == pc_.schemes.end()) {
            return {false, 2};
        }
        found->second.ac = values.ac ? values.ac : found->second.ac;
        found->second.dc = values.dc ? values.dc : found->second.dc;
        return {true, 0};
    }

private:
    FakePcReader& pc_;
};

// Journals in memory: the lines of each file as they were appended, and the closed documents.
class MemoryJournalStore final : public JournalStore {
public:
    class File final : public JournalFile {
    public:
        File(MemoryJournalStore& store, std::wstring path) : store_(store), path_(std::move(path)) {}
        const std::wstring& FinalPath() const override { return path_; }
        bool AppendLine(std::string_view line) override {
            store_.files[PartialPath()] += line;
            return !store_.failWrites;
        }
        bool Close(std::string_view document) override {
            store_.files[path_] = document;
            store_.files.erase(PartialPath());
            return true;
        }

    private:
        MemoryJournalStore& store_;
        std::wstring path_;
    };

    std::unique_ptr<JournalFile> Create(const std::wstring& name, std::wstring& error) override {
        if (failCreate) {
            error = L"no room";
            return nullptr;
        }
        return std::make_unique<File>(*this, std::to_wstring(++created) + L"-" + name + L".json");
    }
    std::optional<std::string> ReadTrusted(const std::wstring& path, std::wstring& error) override {
        const auto found = files.find(path);
        if (found == files.end()) {
            error = L"missing";
            return std::nullopt;
        }
        return found->second;
    }
    // Newest first: by the number a journal was created with.
    std::vector<std::wstring> List() override {
        std::vector<std::wstring> paths;
        for (const auto& [path, text] : files) {
            paths.push_back(path);
        }
        std::sort(paths.begin(), paths.end(),
                  [](const std::wstring& a, const std::wstring& b) { return std::stoi(a) > std::stoi(b); });
        return paths;
    }
    void Prune(std::size_t) override {}
    std::int64_t NowUtcSeconds() override { return 1700000000; }

    std::map<std::wstring, std::string> files;
    int created = 0;
    bool failCreate = false;
    bool failWrites = false;
};

// System Restore answering as told; it keeps the End calls.
class FakeRestorePointApi final : public RestorePointApi {
public:
    bool Available() override { return available; }
    bool SafeMode() override { return safeMode; }
    std::optional<std::int64_t> NewestSequenceNumber() override { return newest; }
    RestorePointCall Begin(const std::wstring& description) override {
        descriptions.push_back(description);
        return begin;
    }
    RestorePointCall End(std::int64_t sequence, bool cancel) override {
        ends.emplace_back(sequence, cancel);
        return {true, 0, sequence};
    }

    bool available = true;
    bool safeMode = false;
    std::optional<std::int64_t> newest;
    RestorePointCall begin{true, 0, 1};
    std::vector<std::wstring> descriptions;
    std::vector<std::pair<std::int64_t, bool>> ends;
};

// Puts every planned state on the fake PC, as a run would leave it.
inline void HoldPlan(FakePcReader& pc, LocalSettingsValues& settings, const ProfilePlan& plan) {
    for (const PlanEntry& entry : plan.entries) {
        if (const auto* value = std::get_if<RegistryValueTarget>(&entry.target)) {
            pc.SetValue(value->root, value->keyPath, value->valueName,
                        std::get<RegistryValueState>(entry.after));
        } else if (const auto* key = std::get_if<RegistryKeyTarget>(&entry.target)) {
            pc.keyStates[FakePcReader::Id(key->root, key->keyPath)] = std::get<RegistryKeyState>(entry.after);
        } else if (const auto* service = std::get_if<ServiceTarget>(&entry.target)) {
            pc.services[service->name] = std::get<ServiceState>(entry.after);
        } else if (const auto* task = std::get_if<TaskTarget>(&entry.target)) {
            pc.tasks[task->path] = std::get<TaskState>(entry.after);
        } else if (std::holds_alternative<PowerTarget>(entry.target)) {
            pc.power = std::get<ProcessorMaximumState>(entry.after);
        } else if (const auto* setting = std::get_if<SettingTarget>(&entry.target)) {
            settings.Insert(setting->name, *std::get<SettingState>(entry.after));
        }
    }
}

} // namespace Velmora::Testing
