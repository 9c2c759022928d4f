#include "engine/call_items.h"

#include "system/app_offloading.h"
#include "system/registry_spec.h"
#include "system/services.h"

namespace Velmora {
namespace {

std::wstring HiveOf(RegistryRoot root, const std::wstring& userSid) {
    return root == 1 ? userSid : std::wstring();
}

std::optional<RegistryValueTarget> ValueTarget(RegistryRoot root, const std::optional<RegistryTarget>& split,
                                               const std::wstring& userSid) {
    if (root > 3 || !split) {
        return std::nullopt;
    }
    return RegistryValueTarget{root, split->keyPath, split->valueName, HiveOf(root, userSid)};
}

} // namespace

std::optional<RegistryValueTarget> DwordWriteTarget(const RegistryDwordSetting& setting,
                                                    const std::wstring& userSid) {
    return ValueTarget(setting.root, SplitSpecForDword(setting.spec), userSid);
}

std::optional<RegistryValueTarget> StringWriteTarget(const RegistryStringSetting& setting,
                                                     const std::wstring& userSid) {
    return ValueTarget(setting.root, SplitSpecForString(setting.spec), userSid);
}

std::optional<RegistryValueTarget> ListWriteTarget(const RegistryListEntry& entry,
                                                   const std::wstring& userSid) {
    return ValueTarget(entry.root, SplitSpecForDword(entry.spec), userSid);
}

std::optional<ItemTarget> EntryDeleteTarget(const RegistryDwordSetting& setting,
                                            const std::wstring& userSid) {
    const auto split = SplitSpecForDelete(setting.spec);
    if (setting.root > 3 || !split) {
        return std::nullopt;
    }
    if (split->valueName.empty()) {
        return RegistryKeyTarget{setting.root, split->keyPath, false, HiveOf(setting.root, userSid)};
    }
    return RegistryValueTarget{setting.root, split->keyPath, split->valueName, HiveOf(setting.root, userSid)};
}

std::optional<RegistryKeyTarget> TreeDeleteTarget(const RegistryDwordSetting& setting,
                                                  const std::wstring& userSid) {
    if (setting.root > 3 || setting.spec.empty()) {
        return std::nullopt;
    }
    return RegistryKeyTarget{setting.root, setting.spec, true, HiveOf(setting.root, userSid)};
}

std::vector<ServiceStartEntry> ServiceStepEntries(const std::vector<ServiceStartEntry>& services,
                                                  const std::vector<ServiceStartEntry>& templates,
                                                  const std::vector<std::wstring>& suffixes) {
    std::vector<ServiceStartEntry> entries;
    for (ServiceStartEntry& entry :
         CombineServiceLists(services, ExpandPerUserServiceTemplates(templates, suffixes))) {
        if (IsServiceKeyName(entry.name)) {
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

RegistryValueTarget SplitThresholdTarget() {
    return {2, L"SYSTEM\\CurrentControlSet\\Control", L"SvcHostSplitThresholdInKB", {}};
}

std::optional<RegistryValueTarget> AppOffloadingTarget(const std::wstring& userSid) {
    if (userSid.empty()) {
        return std::nullopt;
    }
    return DwordWriteTarget(AppOffloadingRecord(userSid), userSid);
}

std::wstring ServiceKeyPath(const std::wstring& name) {
    return L"SYSTEM\\CurrentControlSet\\Services\\" + name;
}

std::vector<std::wstring> KeyPathPrefixes(const std::wstring& keyPath) {
    std::vector<std::wstring> prefixes;
    for (std::size_t slash = keyPath.find(L'\\'); slash != std::wstring::npos;
         slash = keyPath.find(L'\\', slash + 1)) {
        prefixes.push_back(keyPath.substr(0, slash));
    }
    prefixes.push_back(keyPath);
    return prefixes;
}

} // namespace Velmora
