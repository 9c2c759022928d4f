#include "engine/journal.h"

#include "common/text_encoding.h"
#include "engine/journal_fields.h"
#include "engine/target_users.h"
#include "system/services.h"

#include <algorithm>

namespace Velmora {
namespace {

using namespace JournalFields;

bool ValueRecordable(const RegistryValueState& value) {
    return value.presence != Presence::Present ||
           (IsJournalValueType(value.type) && value.data.size() <= kMaxRecordedValueBytes);
}

// Root-1 items name the user whose hive they live in; the other roots need no one.
bool HiveRecordable(RegistryRoot root, const std::wstring& sid) {
    return root == 1 ? IsJournalSid(sid) || sid == kDefaultProfileHive : sid.empty();
}

} // namespace

bool IsJournalKeyPath(std::wstring_view path) {
    if (path.empty() || path.size() > kMaxKeyPathChars || HasControlCharacter(path) || !RoundTrips(path)) {
        return false;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find(L'\\', start);
        const std::wstring_view part =
            path.substr(start, slash == std::wstring_view::npos ? path.npos : slash - start);
        if (part.empty() || part.size() > 255 || part == L"." || part == L"..") {
            return false;
        }
        if (slash == std::wstring_view::npos) {
            return true;
        }
        start = slash + 1;
    }
}

bool IsJournalTaskPath(std::wstring_view path) {
    if (path.size() < 2 || path.front() != L'\\' || path.size() > kMaxTaskPathChars ||
        HasControlCharacter(path) || !RoundTrips(path) || path.find(L'/') != std::wstring_view::npos) {
        return false;
    }
    std::size_t start = 1;
    for (;;) {
        const std::size_t slash = path.find(L'\\', start);
        const std::wstring_view part =
            path.substr(start, slash == std::wstring_view::npos ? path.npos : slash - start);
        if (part.empty() || part == L"." || part == L"..") {
            return false;
        }
        if (slash == std::wstring_view::npos) {
            return true;
        }
        start = slash + 1;
    }
}

bool IsJournalSid(std::wstring_view sid) {
    if (sid.size() < 5 || sid.size() > 184 || !sid.starts_with(L"S-1-")) {
        return false;
    }
    bool lastWasDash = false;
    for (const wchar_t c : sid.substr(4)) {
        if (c == L'-') {
            if (lastWasDash) {
                return false;
            }
            lastWasDash = true;
        } else if (c >= L'0' && c <= L'9') {
            lastWasDash = false;
        } else {
            return false;
        }
    }
    return !lastWasDash;
}

bool IsJournalValueType(std::uint32_t type) {
    switch (type) {
    case kRegNone:
    case kRegSz:
    case kRegExpandSz:
    case kRegBinary:
    case kRegDword:
    case kRegDwordBigEndian:
    case kRegMultiSz:
    case kRegQword:
        return true;
    default:
        return false;
    }
}

bool IsJournalSettingName(std::wstring_view name) {
    return name == SettingKeys::AppliedTask || name == SettingKeys::AppliedTaskBuildEssential ||
           name == SettingKeys::AppliedTaskBuildStandard || name == SettingKeys::AppliedTaskBuildMaximum;
}

std::optional<std::wstring> WhyNotRecordable(const ItemTarget& target, const ItemState& state) {
    struct Check {
        const ItemState& state;
        std::optional<std::wstring> operator()(const RegistryValueTarget& t) const {
            if (t.root > 3 || !IsJournalKeyPath(t.keyPath) || !HiveRecordable(t.root, t.hiveSid)) {
                return L"the registry key path cannot be recorded";
            }
            if (t.valueName.size() > kMaxValueNameChars || HasControlCharacter(t.valueName) ||
                !RoundTrips(t.valueName)) {
                return L"the registry value name cannot be recorded";
            }
            const auto* value = std::get_if<RegistryValueState>(&state);
            if (!value || !ValueRecordable(*value)) {
                return L"the registry value's type or size cannot be recorded";
            }
            return std::nullopt;
        }
        std::optional<std::wstring> operator()(const RegistryKeyTarget& t) const {
            if (t.root > 3 || !IsJournalKeyPath(t.keyPath) || !HiveRecordable(t.root, t.hiveSid)) {
                return L"the registry key path cannot be recorded";
            }
            const auto* key = std::get_if<RegistryKeyState>(&state);
            if (!key || key->values.size() > kMaxKeyValues) {
                return L"the registry key's values cannot be recorded";
            }
            for (const RegistryNamedValue& value : key->values) {
                if (value.name.size() > kMaxValueNameChars || HasControlCharacter(value.name) ||
                    !RoundTrips(value.name) ||
                    !ValueRecordable(RegistryValueState{Presence::Present, value.type, value.data, 0})) {
                    return L"a value of the registry key cannot be recorded";
                }
            }
            return std::nullopt;
        }
        std::optional<std::wstring> operator()(const ServiceTarget& t) const {
            const auto* service = std::get_if<ServiceState>(&state);
            if (!IsServiceKeyName(t.name) || t.name.size() > kMaxServiceNameChars ||
                HasControlCharacter(t.name) || !RoundTrips(t.name) ||
                t.name.find(L'/') != std::wstring::npos || t.name == L"." || t.name == L"..") {
                return L"the service name is not a plain service key name";
            }
            if (!service || !ValueRecordable(service->start) || !ValueRecordable(service->delayedAutoStart)) {
                return L"the service's registry values cannot be recorded";
            }
            return std::nullopt;
        }
        std::optional<std::wstring> operator()(const TaskTarget& t) const {
            if (!IsJournalTaskPath(t.path) || !std::holds_alternative<TaskState>(state)) {
                return L"the task path is not a plain task path";
            }
            return std::nullopt;
        }
        std::optional<std::wstring> operator()(const PowerTarget&) const {
            const auto* power = std::get_if<ProcessorMaximumState>(&state);
            if (!power || power->ac > 100u || power->dc > 100u) {
                return L"the power values are out of range";
            }
            return std::nullopt;
        }
        std::optional<std::wstring> operator()(const SettingTarget& t) const {
            if (!IsJournalSettingName(t.name) || !std::holds_alternative<SettingState>(state)) {
                return L"the setting is not one a run records";
            }
            return std::nullopt;
        }
        std::optional<std::wstring> operator()(const ActionTarget& t) const {
            for (const std::wstring& detail : t.details) {
                if (detail.size() > kMaxTextChars || !RoundTrips(detail)) {
                    return L"the action's details cannot be recorded";
                }
            }
            if (t.details.size() > kMaxDetails) {
                return L"the action's details cannot be recorded";
            }
            return std::nullopt;
        }
    };
    return std::visit(Check{state}, target);
}

} // namespace Velmora
