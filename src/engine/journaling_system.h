#pragma once

// The journaling SystemOperations of a real run: before it forwards each change to the real
// primitives it records the previous state of every item the change may touch, flushed to the disk,
// and afterwards whether the change succeeded. A change whose item cannot be recorded exactly is not
// made. Between two items it stops the run when asked to, and it reports each item to a progress
// observer.

#include "engine/journal_recorder.h"
#include "engine/state_reader.h"
#include "tweaks/system_operations.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <set>
#include <string>

namespace Velmora {

class LocalSettingsValues;

// One item of a run reached: its step, its number in the step (from 1) and the step's planned total,
// and the items reached in the whole run against the planned total of the run.
struct RunProgress {
    ItemStep step = ItemStep::Registry;
    std::size_t index = 0;
    std::size_t stepTotal = 0;
    std::size_t done = 0;
    std::size_t total = 0;
};
using ProgressObserver = std::function<void(const RunProgress&)>;

// Thrown between two items to end a run that was asked to stop; the run's catch takes it.
class RunCancelled final : public std::exception {
public:
    [[nodiscard]] const char* what() const noexcept override { return "the run was cancelled"; }
};

// Thrown when the journal cannot be written: no change is made that the journal does not hold.
class JournalUnwritable final : public std::exception {
public:
    [[nodiscard]] const char* what() const noexcept override { return "the journal could not be written"; }
};

struct RunControl {
    const std::atomic<bool>* cancel = nullptr; // set by another thread to stop the run
    ProgressObserver progress;
    std::array<std::size_t, kItemStepCount> stepTotals{}; // from the plan, for the progress
    // The Win32 error a failed primitive leaves (GetLastError); null where there is none.
    std::uint32_t (*lastError)() = nullptr;
};

class JournalingSystem final : public SystemOperations {
public:
    JournalingSystem(SystemOperations& real, StateReader& reader, const LocalSettingsValues& settings,
                     JournalRecorder& recorder, RunControl control);

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

    // The settings record of a successful run, written by `store` after its previous value is recorded.
    void StoreSetting(std::wstring_view name, std::int32_t value, const std::function<void()>& store);
    // The app removal beside the run: the user's store cache key deleted first, then the removal recorded
    // as an action whose effects cannot come back, and started by `start`.
    void StartAppRemoval(const std::vector<std::wstring>& fragments,
                         const std::function<bool(std::vector<std::wstring>)>& start);

    [[nodiscard]] bool Cancelled() const { return cancelled_; }
    [[nodiscard]] bool JournalFailed() const { return journalFailed_; }

private:
    // Records the item before a change (stopping first when the run was asked to stop); nullopt when it
    // cannot be recorded exactly, and then the caller must not make the change.
    std::optional<std::uint64_t> Before(ItemStep step, const ItemTarget& target, ItemState before,
                                        std::optional<std::wstring> createdKey = std::nullopt,
                                        bool mayStop = true);
    // `wasAbsent`: the item to delete or disable was not there before the change.
    void After(std::uint64_t seq, bool succeeded, std::uint32_t error = 0,
               std::optional<std::uint32_t> exitCode = std::nullopt, bool wasAbsent = false);
    [[nodiscard]] std::uint32_t LastError() const;

    // A registry value write: recorded with the first missing key on its path.
    bool WriteValue(ItemStep step, const RegistryValueTarget& target, const std::function<bool()>& write);
    bool DeleteValue(ItemStep step, const RegistryValueTarget& target, const std::function<bool()>& remove);
    std::uint32_t Action(ItemStep step, ActionTarget action, const std::function<std::uint32_t()>& run);
    // A coarse step: every item it may touch is recorded first; afterwards each is read again and
    // counts as done when it holds what the step was to leave.
    struct Expected {
        std::uint64_t seq = 0;
        ItemTarget target;
        ItemState state;
    };
    void CheckExpected(const std::vector<Expected>& expected);
    [[nodiscard]] std::optional<std::wstring> FirstMissingKey(RegistryRoot root, const std::wstring& keyPath);
    [[nodiscard]] ItemState ReadNow(const ItemTarget& target);
    [[nodiscard]] std::wstring UserSid();

    SystemOperations& real_;
    StateReader& reader_;
    const LocalSettingsValues& settings_;
    JournalRecorder& recorder_;
    RunControl control_;
    std::array<std::set<std::wstring>, kItemStepCount> seen_; // item identities reached, per step
    std::size_t reached_ = 0;                                 // in all steps
    bool cancelled_ = false;
    bool journalFailed_ = false;
};

} // namespace Velmora
