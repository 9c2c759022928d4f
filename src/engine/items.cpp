#include "engine/items.h"

#include "system/app_offloading.h"
#include "system/registry_spec.h"
#include "system/scheduled_tasks.h"

#include <array>
#include <cwctype>

namespace Velmora {
namespace {

constexpr std::array<std::string_view, kItemStepCount> kStepNames = {
    "registry", "services", "tasks", "power", "cleanup", "commands", "apps", "settings"};

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    }
    return text;
}

std::wstring RootAndKey(RegistryRoot root, const std::wstring& keyPath) {
    return std::wstring(RootAbbreviation(root)) + L"\\" + keyPath;
}

std::wstring JoinDetails(const std::vector<std::wstring>& details) {
    std::wstring text;
    for (const std::wstring& detail : details) {
        text += (text.empty() ? L"" : L"; ") + detail;
    }
    return text;
}

bool Readable(const RegistryValueState& value) {
    return value.presence != Presence::Unreadable;
}

} // namespace

std::string_view StepName(ItemStep step) {
    return kStepNames[static_cast<std::size_t>(step)];
}

std::optional<ItemStep> StepFromName(std::string_view name) {
    for (std::size_t i = 0; i < kStepNames.size(); ++i) {
        if (kStepNames[i] == name) {
            return static_cast<ItemStep>(i);
        }
    }
    return std::nullopt;
}

std::wstring_view RootAbbreviation(RegistryRoot root) {
    const std::wstring_view name = RegistryRootName(root);
    return name.empty() ? L"?" : name;
}

std::wstring FullTaskPath(std::wstring_view path) {
    const TaskLocation location = SplitTaskPath(path);
    return location.folder == L"\\" ? L"\\" + location.name : location.folder + L"\\" + location.name;
}

std::wstring ItemIdentity(const ItemTarget& target) {
    struct Identity {
        std::wstring operator()(const RegistryValueTarget& t) const {
            return L"value|" + std::to_wstring(t.root) + L"|" + t.hiveSid + L"|" + Lower(t.keyPath) + L"|" +
                   Lower(t.valueName);
        }
        std::wstring operator()(const RegistryKeyTarget& t) const {
            return L"key|" + std::to_wstring(t.root) + L"|" + t.hiveSid + L"|" + Lower(t.keyPath) +
                   (t.wholeTree ? L"|tree" : L"");
        }
        std::wstring operator()(const ServiceTarget& t) const { return L"service|" + Lower(t.name); }
        std::wstring operator()(const TaskTarget& t) const { return L"task|" + Lower(FullTaskPath(t.path)); }
        std::wstring operator()(const PowerTarget&) const { return L"power"; }
        std::wstring operator()(const SettingTarget& t) const { return L"setting|" + t.name; }
        std::wstring operator()(const ActionTarget& t) const {
            return L"action|" + std::to_wstring(static_cast<int>(t.kind)) + L"|" + JoinDetails(t.details);
        }
    };
    return std::visit(Identity{}, target);
}

std::wstring ItemUser(const ItemTarget& target) {
    if (const auto* key = std::get_if<RegistryKeyTarget>(&target)) {
        return key->root == 1 ? key->hiveSid : std::wstring();
    }
    const auto* value = std::get_if<RegistryValueTarget>(&target);
    if (value == nullptr) {
        return {};
    }
    if (value->root == 1) {
        return value->hiveSid;
    }
    const RegistryDwordSetting offloading = AppOffloadingRecord(L"");
    const std::wstring prefix = Lower(offloading.spec.substr(0, offloading.spec.rfind(L'\\') + 1));
    const std::wstring key = Lower(value->keyPath);
    return value->root == offloading.root && key.starts_with(prefix) && key.size() > prefix.size()
               ? value->keyPath.substr(prefix.size())
               : std::wstring();
}

std::wstring DescribeItem(const ItemTarget& target) {
    struct Describe {
        std::wstring operator()(const RegistryValueTarget& t) const {
            return RootAndKey(t.root, t.keyPath) + L": " + (t.valueName.empty() ? L"(default)" : t.valueName);
        }
        std::wstring operator()(const RegistryKeyTarget& t) const {
            return RootAndKey(t.root, t.keyPath) +
                   (t.wholeTree ? L" (the key with everything below it)" : L" (the key)");
        }
        std::wstring operator()(const ServiceTarget& t) const { return L"Service " + t.name; }
        std::wstring operator()(const TaskTarget& t) const {
            return L"Scheduled task " + FullTaskPath(t.path);
        }
        std::wstring operator()(const PowerTarget&) const {
            return L"Maximum processor state of the active power scheme (mains and battery)";
        }
        std::wstring operator()(const SettingTarget& t) const { return L"Velmora setting " + t.name; }
        std::wstring operator()(const ActionTarget& t) const {
            switch (t.kind) {
            case ActionKind::EmptyRecycleBin:
                return L"Empty the Recycle Bin of drive C:";
            case ActionKind::CleanTempFolders:
                return L"Delete the contents of the temporary folders";
            case ActionKind::CleanPrefetchFolder:
                return L"Delete the contents of the Prefetch folder";
            case ActionKind::RunPowerShellCommands:
                return L"Run PowerShell commands: " + JoinDetails(t.details);
            case ActionKind::RunCmdCommands:
                return L"Run command interpreter commands: " + JoinDetails(t.details);
            case ActionKind::RemoveApps:
                return L"Remove preinstalled apps";
            }
            return {};
        }
    };
    return std::visit(Describe{}, target);
}

bool IsReadable(const ItemState& state) {
    struct Check {
        bool operator()(const NoState&) const { return true; }
        bool operator()(const RegistryValueState& s) const { return Readable(s); }
        bool operator()(const RegistryKeyState& s) const { return s.presence != Presence::Unreadable; }
        bool operator()(const ServiceState& s) const {
            // The delayed-start flag of the service manager is judged by the plan, where it is changed.
            return s.manager != Presence::Unreadable &&
                   (s.manager == Presence::Absent || s.managerStartType.has_value()) &&
                   s.key != Presence::Unreadable && Readable(s.start) && Readable(s.delayedAutoStart);
        }
        bool operator()(const TaskState& s) const { return s.presence != Presence::Unreadable; }
        bool operator()(const ProcessorMaximumState& s) const { return s.ac.has_value() && s.dc.has_value(); }
        bool operator()(const SettingState&) const { return true; }
    };
    return std::visit(Check{}, state);
}

} // namespace Velmora
