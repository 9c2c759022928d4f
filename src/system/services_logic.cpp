#include "system/services.h"

#include <algorithm>
#include <cwctype>

namespace Velmora {

void AddPerUserServiceSuffixes(std::wstring_view serviceName, ServiceSuffixSet& suffixes) {
    const size_t underscore = serviceName.find(L'_');
    if (underscore == std::wstring_view::npos || underscore != serviceName.rfind(L'_')) {
        return;
    }
    for (const std::wstring_view prefix : kPerUserServiceBasePrefixes) {
        if (serviceName.starts_with(prefix)) {
            suffixes.emplace(serviceName.substr(underscore + 1));
        }
    }
}

std::vector<std::wstring> PerUserServiceSuffixesOf(const std::vector<std::wstring>& serviceNames) {
    ServiceSuffixSet suffixes;
    for (const std::wstring& name : serviceNames) {
        AddPerUserServiceSuffixes(name, suffixes);
    }
    return {suffixes.begin(), suffixes.end()};
}

std::vector<ServiceStartEntry> ExpandPerUserServiceTemplates(const std::vector<ServiceStartEntry>& templates,
                                                             const std::vector<std::wstring>& suffixes) {
    std::vector<ServiceStartEntry> expanded;
    if (templates.empty() || suffixes.empty()) {
        return expanded;
    }
    expanded.reserve(templates.size() * suffixes.size());
    for (const ServiceStartEntry& entry : templates) {
        const size_t wildcard = entry.name.find(L"_*");
        for (const std::wstring& suffix : suffixes) {
            std::wstring name = entry.name;
            if (wildcard != std::wstring::npos) {
                name.replace(wildcard, 2, L"_" + suffix);
            }
            expanded.push_back({std::move(name), entry.code});
        }
    }
    return expanded;
}

std::vector<ServiceStartEntry> CombineServiceLists(const std::vector<ServiceStartEntry>& services,
                                                   const std::vector<ServiceStartEntry>& expanded) {
    std::vector<ServiceStartEntry> combined;
    combined.reserve(services.size() + expanded.size());
    combined.insert(combined.end(), services.begin(), services.end());
    combined.insert(combined.end(), expanded.begin(), expanded.end());
    return combined;
}

ServiceStartType MapServiceStartCode(ServiceStartCode code) noexcept {
    switch (code) {
    case 1:
    case 2:
    case 3:
    case 4:
        return {static_cast<std::uint32_t>(code), false};
    case 5:
        return {2, true};
    default:
        return {3, false};
    }
}

std::uint32_t InstalledMemoryGiB(std::uint64_t totalPhysicalBytes) noexcept {
    constexpr std::uint64_t kGiBInKB = 1048576;
    constexpr std::uint64_t kCapInKB = 64 * kGiBInKB;
    const std::uint64_t totalKB = totalPhysicalBytes / 1024;
    std::uint64_t limit = kGiBInKB;
    std::uint32_t gib = 1;
    while (totalKB > limit && limit < kCapInKB) {
        limit += kGiBInKB;
        ++gib;
    }
    return gib;
}

std::uint32_t SvcHostSplitThresholdKB(std::uint32_t installedGiB) noexcept {
    return installedGiB * 1048576u + 20480u;
}

std::vector<ServiceStartEntry> ServiceAdjustmentsForMemory(std::uint32_t installedGiB) {
    std::vector<ServiceStartEntry> adjustments;
    if (installedGiB >= 16) {
        adjustments.push_back({L"sysmain", 4});
    }
    adjustments.push_back({L"Spooler", 3});
    adjustments.push_back({L"LanmanServer", 3});
    return adjustments;
}

std::vector<ServiceStartEntry> WithoutServices(std::vector<ServiceStartEntry> entries,
                                               const std::vector<std::wstring>& names) {
    const auto lower = [](std::wstring_view text) {
        std::wstring out(text);
        for (wchar_t& c : out) {
            c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
        }
        return out;
    };
    std::erase_if(entries, [&](const ServiceStartEntry& entry) {
        return std::any_of(names.begin(), names.end(),
                           [&](const std::wstring& name) { return lower(name) == lower(entry.name); });
    });
    return entries;
}

bool IsServiceKeyName(std::wstring_view name) noexcept {
    return !name.empty() && name.find(L'\\') == std::wstring_view::npos;
}

std::string ScmOpenFailureLine(std::uint32_t error) {
    return "Failed to open Service Control Manager: " + std::to_string(error) + "\n";
}

} // namespace Velmora
