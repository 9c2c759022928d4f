#include "system/registry_spec.h"

namespace Velmora {
namespace {

// Splits at the last colon; no colon: the whole spec is the key and the value name is empty.
struct ColonSplit {
    std::wstring_view key;
    std::wstring_view value;
    bool hasColon = false;
};

ColonSplit SplitAtLastColon(std::wstring_view spec) {
    const size_t colon = spec.rfind(L':');
    if (colon == std::wstring_view::npos) {
        return {spec, {}, false};
    }
    return {spec.substr(0, colon), spec.substr(colon + 1), true};
}

std::optional<RegistryTarget> KeyOrDefault(std::wstring_view spec) {
    const ColonSplit split = SplitAtLastColon(spec);
    if (split.key.empty()) {
        return std::nullopt;
    }
    return RegistryTarget{std::wstring(split.key), std::wstring(split.value)};
}

} // namespace

std::optional<RegistryTarget> SplitSpecForDword(std::wstring_view spec) {
    const ColonSplit split = SplitAtLastColon(spec);
    std::wstring_view key = split.key;
    std::wstring_view value = split.value;
    if (!split.hasColon) {
        const size_t backslash = spec.rfind(L'\\');
        if (backslash == std::wstring_view::npos) {
            return std::nullopt;
        }
        key = spec.substr(0, backslash);
        value = spec.substr(backslash + 1);
    }
    if (key.empty() || value.empty()) {
        return std::nullopt; // a DWORD is never written as a key's default value
    }
    return RegistryTarget{std::wstring(key), std::wstring(value)};
}

std::optional<RegistryTarget> SplitSpecForString(std::wstring_view spec) {
    return KeyOrDefault(spec);
}

std::optional<RegistryTarget> SplitSpecForDelete(std::wstring_view spec) {
    return KeyOrDefault(spec);
}

std::wstring_view RegistryRootName(std::uint32_t root) {
    switch (root) {
    case 0:
        return L"HKCR";
    case 1:
        return L"HKCU";
    case 2:
        return L"HKLM";
    case 3:
        return L"HKU";
    default:
        return {};
    }
}

} // namespace Velmora
