#include "engine/journal.h"

#include "common/text_encoding.h"
#include "engine/journal_fields.h"
#include "engine/target_users.h"
#include "system/services.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <limits>
#include <map>

namespace Velmora::JournalFields {

// ---- reading: every accessor refuses what it does not expect ----

const Json& Field(const Json& object, const char* name) {
    const auto found = object.find(name);
    if (found == object.end()) {
        throw Malformed(std::string("\"") + name + "\" is missing");
    }
    return *found;
}

std::uint64_t Unsigned(const Json& object, const char* name, std::uint64_t maximum) {
    const Json& value = Field(object, name);
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > maximum) {
        throw Malformed(std::string("\"") + name + "\" is not a number in range");
    }
    return value.get<std::uint64_t>();
}

std::int64_t Signed(const Json& object, const char* name, std::int64_t minimum, std::int64_t maximum) {
    const Json& value = Field(object, name);
    if (!value.is_number_integer()) {
        throw Malformed(std::string("\"") + name + "\" is not a whole number");
    }
    const std::int64_t number =
        value.is_number_unsigned()
            ? static_cast<std::int64_t>(std::min<std::uint64_t>(value.get<std::uint64_t>(),
                                                                std::numeric_limits<std::int64_t>::max()))
            : value.get<std::int64_t>();
    if (number < minimum || number > maximum) {
        throw Malformed(std::string("\"") + name + "\" is out of range");
    }
    return number;
}

bool Boolean(const Json& object, const char* name) {
    const Json& value = Field(object, name);
    if (!value.is_boolean()) {
        throw Malformed(std::string("\"") + name + "\" is not true or false");
    }
    return value.get<bool>();
}

std::wstring Text(const Json& value, const char* name, std::size_t maximum) {
    if (!value.is_string() || value.get_ref<const std::string&>().size() > maximum * 4) {
        throw Malformed(std::string("\"") + name + "\" is not a text of sensible length");
    }
    std::wstring text = FromUtf8(value.get_ref<const std::string&>());
    if (text.size() > maximum || text.find(L'\0') != std::wstring::npos) {
        throw Malformed(std::string("\"") + name + "\" is not a text of sensible length");
    }
    return text;
}

std::wstring Text(const Json& object, const char* name, std::size_t maximum, bool optional) {
    if (optional && !object.contains(name)) {
        return {};
    }
    return Text(Field(object, name), name, maximum);
}

std::vector<std::uint8_t> Bytes(const Json& object) {
    const Json& value = Field(object, "data");
    if (!value.is_string() || value.get_ref<const std::string&>().size() % 2 != 0 ||
        value.get_ref<const std::string&>().size() > kMaxRecordedValueBytes * 2) {
        throw Malformed("\"data\" is not hexadecimal bytes of sensible size");
    }
    const std::string& text = value.get_ref<const std::string&>();
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        throw Malformed("\"data\" is not hexadecimal");
    };
    for (std::size_t i = 0; i < text.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(digit(text[i]) * 16 + digit(text[i + 1])));
    }
    return bytes;
}

std::uint32_t ValueType(const Json& object) {
    const auto type = static_cast<std::uint32_t>(Unsigned(object, "type", 0xFFFFFFFFu));
    if (!IsJournalValueType(type)) {
        throw Malformed("a registry value type the restore does not write");
    }
    return type;
}

Presence PresenceOf(const Json& object, const char* name) {
    return static_cast<Presence>(Choice(object, name, kPresenceNames));
}

RegistryValueState ValueFrom(const Json& json) {
    if (!json.is_object()) {
        throw Malformed("a registry value state is not an object");
    }
    RegistryValueState value;
    value.presence = PresenceOf(json, "presence");
    if (value.presence == Presence::Present) {
        value.type = ValueType(json);
        value.data = Bytes(json);
    } else if (value.presence == Presence::Unreadable) {
        value.error = static_cast<std::uint32_t>(Unsigned(json, "error", 0xFFFFFFFFu));
    }
    return value;
}

std::optional<std::uint32_t> OptionalUnsigned(const Json& object, const char* name, std::uint64_t maximum) {
    if (Field(object, name).is_null()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(Unsigned(object, name, maximum));
}

RegistryRoot Root(const Json& object) {
    return static_cast<RegistryRoot>(Unsigned(object, "root", 3));
}

std::wstring HiveFrom(const Json& json) {
    const std::wstring sid = Text(json, "hiveSid", kMaxTextChars, true);
    const std::wstring profile = Text(json, "hiveProfile", kMaxTextChars, true);
    if (profile.empty()) {
        return sid;
    }
    if (profile != kDefaultProfileHive || !sid.empty()) {
        throw Malformed("\"hiveProfile\" is not a profile Velmora writes to");
    }
    return profile;
}

ItemTarget TargetFrom(const Json& json) {
    if (!json.is_object()) {
        throw Malformed("\"item\" is not an object");
    }
    const Json& kind = Field(json, "kind");
    const std::string name = kind.is_string() ? kind.get<std::string>() : std::string();
    if (name == "registryValue") {
        return RegistryValueTarget{Root(json), Text(json, "key", kMaxKeyPathChars, false),
                                   Text(json, "value", kMaxValueNameChars, false), HiveFrom(json)};
    }
    if (name == "registryKey") {
        return RegistryKeyTarget{Root(json), Text(json, "key", kMaxKeyPathChars, false),
                                 Boolean(json, "tree"), HiveFrom(json)};
    }
    if (name == "service") {
        return ServiceTarget{Text(json, "name", kMaxServiceNameChars, false)};
    }
    if (name == "task") {
        return TaskTarget{Text(json, "path", kMaxTaskPathChars, false)};
    }
    if (name == "power") {
        return PowerTarget{};
    }
    if (name == "setting") {
        return SettingTarget{Text(json, "name", kMaxTextChars, false)};
    }
    if (name == "action") {
        ActionTarget action{static_cast<ActionKind>(Choice(json, "action", kActionNames)), {}};
        const Json& details = Field(json, "details");
        if (!details.is_array() || details.size() > kMaxDetails) {
            throw Malformed("\"details\" is not a list of sensible size");
        }
        for (const Json& detail : details) {
            action.details.push_back(Text(detail, "details", kMaxTextChars));
        }
        return action;
    }
    throw Malformed("an unknown kind of item");
}

ItemState StateFrom(const ItemTarget& target, const Json& json) {
    if (!json.is_object()) {
        throw Malformed("\"before\" is not an object");
    }
    struct Read {
        const Json& json;
        ItemState operator()(const RegistryValueTarget&) const { return ValueFrom(json); }
        ItemState operator()(const RegistryKeyTarget&) const {
            RegistryKeyState key;
            key.presence = PresenceOf(json, "presence");
            if (key.presence == Presence::Present) {
                const Json& values = Field(json, "values");
                if (!values.is_array() || values.size() > kMaxKeyValues) {
                    throw Malformed("\"values\" is not a list of sensible size");
                }
                for (const Json& value : values) {
                    if (!value.is_object()) {
                        throw Malformed("a value of a key is not an object");
                    }
                    key.values.push_back(
                        {Text(value, "name", kMaxValueNameChars, false), ValueType(value), Bytes(value)});
                }
                key.subkeys = static_cast<std::uint32_t>(Unsigned(json, "subkeys", 0xFFFFFFFFu));
            } else if (key.presence == Presence::Unreadable) {
                key.error = static_cast<std::uint32_t>(Unsigned(json, "error", 0xFFFFFFFFu));
            }
            return key;
        }
        ItemState operator()(const ServiceTarget&) const {
            ServiceState service;
            service.manager = PresenceOf(json, "manager");
            service.managerStartType = OptionalUnsigned(json, "managerStartType", 4);
            if (!Field(json, "managerDelayed").is_null()) {
                service.managerDelayed = Boolean(json, "managerDelayed");
            }
            service.managerError = static_cast<std::uint32_t>(Unsigned(json, "managerError", 0xFFFFFFFFu));
            service.key = PresenceOf(json, "key");
            service.start = ValueFrom(Field(json, "start"));
            service.delayedAutoStart = ValueFrom(Field(json, "delayedAutoStart"));
            return service;
        }
        ItemState operator()(const TaskTarget&) const {
            TaskState task;
            task.presence = PresenceOf(json, "presence");
            if (task.presence == Presence::Present) {
                task.enabled = Boolean(json, "enabled");
            } else if (task.presence == Presence::Unreadable) {
                task.error = static_cast<std::uint32_t>(Unsigned(json, "error", 0xFFFFFFFFu));
            }
            return task;
        }
        ItemState operator()(const PowerTarget&) const {
            ProcessorMaximumState state{
                OptionalUnsigned(json, "ac", 100), OptionalUnsigned(json, "dc", 100), {}};
            state.scheme = Text(json, "scheme", 38, true);
            if (!state.scheme.empty() && !IsPowerSchemeId(state.scheme)) {
                throw Malformed("\"scheme\" is not a power scheme's GUID");
            }
            return state;
        }
        ItemState operator()(const SettingTarget&) const {
            if (PresenceOf(json, "presence") == Presence::Absent) {
                return SettingState();
            }
            if (json.contains("int32")) {
                return SettingState(SettingValue(
                    static_cast<std::int32_t>(Signed(json, "int32", std::numeric_limits<std::int32_t>::min(),
                                                     std::numeric_limits<std::int32_t>::max()))));
            }
            if (json.contains("boolean")) {
                return SettingState(SettingValue(Boolean(json, "boolean")));
            }
            return SettingState(SettingValue(Text(json, "string", kMaxTextChars, false)));
        }
        ItemState operator()(const ActionTarget&) const { return NoState{}; }
    };
    return std::visit(Read{json}, target);
}

// Nesting deeper than any record has is refused before the parser sees it.
bool NestingWithin(std::string_view text, int limit) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > limit) {
                return false;
            }
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return true;
}

} // namespace Velmora::JournalFields
