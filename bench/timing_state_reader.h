#pragma once

// A state reader that passes every read on and adds up, per kind of read, how many there were and how
// long they took: where the time of reading the PC goes.

#include "engine/state_reader.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <string_view>
#include <type_traits>

namespace Velmora::Bench {

enum class ReadKind { RegistryValue, RegistryKey, KeyPresence, Service, Task, FindTasks, Other, Count };
inline constexpr std::array<std::string_view, static_cast<std::size_t>(ReadKind::Count)> kReadKindNames{
    "registry values",
    "registry keys",
    "registry key presence",
    "services",
    "scheduled tasks",
    "finding tasks by name",
    "the rest (power, users, memory, surveys)"};

struct ReadTally {
    std::size_t calls = 0;
    double ms = 0.0;
};

class TimingStateReader final : public StateReader {
public:
    explicit TimingStateReader(StateReader& inner) : inner_(inner) {}

    [[nodiscard]] const std::array<ReadTally, static_cast<std::size_t>(ReadKind::Count)>& Tallies() const {
        return tallies_;
    }

    RegistryValueState ReadRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                         const std::wstring& valueName) override {
        return Timed(ReadKind::RegistryValue,
                     [&] { return inner_.ReadRegistryValue(root, keyPath, valueName); });
    }
    Presence ReadRegistryKeyPresence(RegistryRoot root, const std::wstring& keyPath) override {
        return Timed(ReadKind::KeyPresence, [&] { return inner_.ReadRegistryKeyPresence(root, keyPath); });
    }
    RegistryKeyState ReadRegistryKey(RegistryRoot root, const std::wstring& keyPath) override {
        return Timed(ReadKind::RegistryKey, [&] { return inner_.ReadRegistryKey(root, keyPath); });
    }
    ServiceState ReadService(const std::wstring& name) override {
        return Timed(ReadKind::Service, [&] { return inner_.ReadService(name); });
    }
    std::vector<std::wstring> PerUserServiceSuffixes() override {
        return Timed(ReadKind::Service, [&] { return inner_.PerUserServiceSuffixes(); });
    }
    TaskState ReadTask(const std::wstring& path) override {
        return Timed(ReadKind::Task, [&] { return inner_.ReadTask(path); });
    }
    std::vector<std::wstring> FindTasks(const std::vector<std::wstring>& names) override {
        return Timed(ReadKind::FindTasks, [&] { return inner_.FindTasks(names); });
    }
    ProcessorMaximumState ReadProcessorMaximum(const std::wstring& scheme) override {
        return Timed(ReadKind::Other, [&] { return inner_.ReadProcessorMaximum(scheme); });
    }
    std::optional<std::uint32_t> InstalledMemoryGiB() override {
        return Timed(ReadKind::Other, [&] { return inner_.InstalledMemoryGiB(); });
    }
    std::wstring CurrentUserSid() override {
        return Timed(ReadKind::Other, [&] { return inner_.CurrentUserSid(); });
    }
    ActionFacts SurveyAction(const ActionTarget& action) override {
        return Timed(ReadKind::Other, [&] { return inner_.SurveyAction(action); });
    }
    std::shared_ptr<void> KeepConnections() override {
        return Timed(ReadKind::Other, [&] { return inner_.KeepConnections(); });
    }
    std::shared_ptr<void> KeepKeysOpen() override { return inner_.KeepKeysOpen(); }

private:
    template <typename Read>
    std::invoke_result_t<Read> Timed(ReadKind kind, Read read) {
        const auto start = std::chrono::steady_clock::now();
        auto result = read();
        ReadTally& tally = tallies_[static_cast<std::size_t>(kind)];
        ++tally.calls;
        tally.ms +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        return result;
    }

    StateReader& inner_;
    std::array<ReadTally, static_cast<std::size_t>(ReadKind::Count)> tallies_{};
};

} // namespace Velmora::Bench
