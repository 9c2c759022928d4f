#pragma once

// The things a run changes, named the same way by the plan, the journal and the restore: what each
// one is (its target), what it holds (its state), and which step of the run touches it.

#include "settings/local_settings.h"
#include "system/registry_records.h"
#include "system/system_state.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace Velmora {

// The groups of a run, as a window or the command line shows them.
enum class ItemStep : std::uint8_t { Registry, Services, Tasks, Power, Cleanup, Commands, Apps, Settings };
inline constexpr std::size_t kItemStepCount = 8;

[[nodiscard]] std::string_view StepName(ItemStep step);
[[nodiscard]] std::optional<ItemStep> StepFromName(std::string_view name);

// A registry value; an empty value name is the key's default value. `hiveSid` names the user whose
// hive a root-1 (HKEY_CURRENT_USER) item lives in: the user's SID, or "Default" for the Default
// profile (kDefaultProfileHive); it is empty for the other roots.
struct RegistryValueTarget {
    RegistryRoot root = 0;
    std::wstring keyPath;
    std::wstring valueName;
    std::wstring hiveSid;

    friend bool operator==(const RegistryValueTarget&, const RegistryValueTarget&) = default;
};

// A registry key as a whole: deleted alone (a leaf key with its values), or with everything below it.
struct RegistryKeyTarget {
    RegistryRoot root = 0;
    std::wstring keyPath;
    bool wholeTree = false;
    std::wstring hiveSid;

    friend bool operator==(const RegistryKeyTarget&, const RegistryKeyTarget&) = default;
};

struct ServiceTarget {
    std::wstring name;
    friend bool operator==(const ServiceTarget&, const ServiceTarget&) = default;
};

// A scheduled task by its full path, "\Folder\Name".
struct TaskTarget {
    std::wstring path;
    friend bool operator==(const TaskTarget&, const TaskTarget&) = default;
};

// The maximum processor state of the active power scheme.
struct PowerTarget {
    friend bool operator==(const PowerTarget&, const PowerTarget&) = default;
};

// A local settings value the run records ("AppliedTask" and the revision keys).
struct SettingTarget {
    std::wstring name;
    friend bool operator==(const SettingTarget&, const SettingTarget&) = default;
};

// What a run does that leaves no state to compare or give back.
enum class ActionKind : std::uint8_t {
    EmptyRecycleBin,
    CleanTempFolders,
    CleanPrefetchFolder,
    RunPowerShellCommands,
    RunCmdCommands,
    RemoveApps
};
struct ActionTarget {
    ActionKind kind = ActionKind::EmptyRecycleBin;
    std::vector<std::wstring> details; // the commands, or the package-name fragments
    friend bool operator==(const ActionTarget&, const ActionTarget&) = default;
};

using ItemTarget = std::variant<RegistryValueTarget, RegistryKeyTarget, ServiceTarget, TaskTarget,
                                PowerTarget, SettingTarget, ActionTarget>;

// A local settings value, or nullopt when the key is absent.
using SettingState = std::optional<SettingValue>;
// Actions have no state.
struct NoState {
    friend bool operator==(const NoState&, const NoState&) = default;
};
using ItemState = std::variant<NoState, RegistryValueState, RegistryKeyState, ServiceState, TaskState,
                               ProcessorMaximumState, SettingState>;

// One key per item, the same however the item is spelled: registry, service and task names compare
// without regard to case.
[[nodiscard]] std::wstring ItemIdentity(const ItemTarget& target);

// The user an item belongs to: the hive of a root-1 item, the SID of an app offloading override; empty
// for the items of the machine.
[[nodiscard]] std::wstring ItemUser(const ItemTarget& target);

// The item in words, e.g. "HKLM\SOFTWARE\Policies\...\System: EnableSmartScreen".
[[nodiscard]] std::wstring DescribeItem(const ItemTarget& target);

// "HKCR", "HKCU", "HKLM", "HKU"; "?" for anything else.
[[nodiscard]] std::wstring_view RootAbbreviation(RegistryRoot root);

// "\Folder\Name" for any spelling of a task path the task primitives accept.
[[nodiscard]] std::wstring FullTaskPath(std::wstring_view path);

// Whether the state is known (every part that matters could be read).
[[nodiscard]] bool IsReadable(const ItemState& state);

} // namespace Velmora
