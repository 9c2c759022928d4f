#include "engine/journal.h"

#include "common/text_encoding.h"
#include "engine/target_users.h"
#include "system/services.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <limits>
#include <map>

namespace Velmora {
namespace {

using Json = nlohmann::json;
// Records are written with their fields in a fixed, readable order ("type" first).
using OrderedJson = nlohmann::ordered_json;

constexpr std::size_t kMaxKeyPathChars = 4096;
constexpr std::size_t kMaxValueNameChars = 16383;
constexpr std::size_t kMaxServiceNameChars = 256;
constexpr std::size_t kMaxTaskPathChars = 2048;
constexpr std::size_t kMaxTextChars = 8192;
constexpr std::size_t kMaxDetails = 256;
constexpr std::size_t kMaxKeyValues = 4096;
constexpr std::size_t kMaxRecords = 200000;
constexpr int kMaxNesting = 16;

constexpr std::array<std::string_view, 3> kPresenceNames = {"absent", "present", "unreadable"};
constexpr std::array<std::string_view, 6> kActionNames = {"emptyRecycleBin",     "cleanTempFolders",
                                                          "cleanPrefetchFolder", "runPowerShellCommands",
                                                          "runCmdCommands",      "removeApps"};
constexpr std::array<std::string_view, 3> kEndNames = {"succeeded", "failed", "cancelled"};

// A field that is missing or of the wrong kind: the journal is refused.
class Malformed {
public:
    explicit Malformed(std::string what) : what_(std::move(what)) {}
    [[nodiscard]] const std::string& What() const { return what_; }

private:
    std::string what_;
};

bool HasControlCharacter(std::wstring_view text) {
    for (const wchar_t c : text) {
        if (c < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

// Text that survives the trip through UTF-8 unchanged (no unpaired surrogates).
bool RoundTrips(std::wstring_view text) {
    return FromUtf8(ToUtf8(text)) == text;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

// ---- writing ----

OrderedJson ValueJson(const RegistryValueState& value) {
    OrderedJson json{{"presence", kPresenceNames[static_cast<std::size_t>(value.presence)]}};
    if (value.presence == Presence::Present) {
        json["type"] = value.type;
        json["data"] = Hex(value.data);
        if (const auto dword = DwordOf(value)) {
            json["display"] = *dword;
        }
    } else if (value.presence == Presence::Unreadable) {
        json["error"] = value.error;
    }
    return json;
}

// A root-1 item's hive: the user's SID, or the Default profile, which has none.
void PutHive(OrderedJson& json, const std::wstring& hive) {
    if (hive == kDefaultProfileHive) {
        json["hiveProfile"] = ToUtf8(hive);
    } else if (!hive.empty()) {
        json["hiveSid"] = ToUtf8(hive);
    }
}

OrderedJson TargetJson(const ItemTarget& target) {
    struct Write {
        OrderedJson operator()(const RegistryValueTarget& t) const {
            OrderedJson json{{"kind", "registryValue"},
                             {"root", t.root},
                             {"key", ToUtf8(t.keyPath)},
                             {"value", ToUtf8(t.valueName)}};
            PutHive(json, t.hiveSid);
            return json;
        }
        OrderedJson operator()(const RegistryKeyTarget& t) const {
            OrderedJson json{
                {"kind", "registryKey"}, {"root", t.root}, {"key", ToUtf8(t.keyPath)}, {"tree", t.wholeTree}};
            PutHive(json, t.hiveSid);
            return json;
        }
        OrderedJson operator()(const ServiceTarget& t) const {
            return {{"kind", "service"}, {"name", ToUtf8(t.name)}};
        }
        OrderedJson operator()(const TaskTarget& t) const {
            return {{"kind", "task"}, {"path", ToUtf8(t.path)}};
        }
        OrderedJson operator()(const PowerTarget&) const { return {{"kind", "power"}}; }
        OrderedJson operator()(const SettingTarget& t) const {
            return {{"kind", "setting"}, {"name", ToUtf8(t.name)}};
        }
        OrderedJson operator()(const ActionTarget& t) const {
            OrderedJson details = OrderedJson::array();
            for (const std::wstring& detail : t.details) {
                details.push_back(ToUtf8(detail));
            }
            return {{"kind", "action"},
                    {"action", kActionNames[static_cast<std::size_t>(t.kind)]},
                    {"details", std::move(details)}};
        }
    };
    return std::visit(Write{}, target);
}

OrderedJson StateJson(const ItemState& state) {
    struct Write {
        OrderedJson operator()(const NoState&) const { return OrderedJson::object(); }
        OrderedJson operator()(const RegistryValueState& s) const { return ValueJson(s); }
        OrderedJson operator()(const RegistryKeyState& s) const {
            OrderedJson json{{"presence", kPresenceNames[static_cast<std::size_t>(s.presence)]}};
            if (s.presence == Presence::Present) {
                OrderedJson values = OrderedJson::array();
                for (const RegistryNamedValue& value : s.values) {
                    values.push_back(
                        {{"name", ToUtf8(value.name)}, {"type", value.type}, {"data", Hex(value.data)}});
                }
                json["values"] = std::move(values);
                json["subkeys"] = s.subkeys;
            } else if (s.presence == Presence::Unreadable) {
                json["error"] = s.error;
            }
            return json;
        }
        OrderedJson operator()(const ServiceState& s) const {
            OrderedJson json{
                {"manager", kPresenceNames[static_cast<std::size_t>(s.manager)]},
                {"managerStartType", s.managerStartType ? OrderedJson(*s.managerStartType) : OrderedJson()},
                {"managerDelayed", s.managerDelayed ? OrderedJson(*s.managerDelayed) : OrderedJson()},
                {"managerError", s.managerError},
                {"key", kPresenceNames[static_cast<std::size_t>(s.key)]},
                {"start", ValueJson(s.start)},
                {"delayedAutoStart", ValueJson(s.delayedAutoStart)}};
            return json;
        }
        OrderedJson operator()(const TaskState& s) const {
            OrderedJson json{{"presence", kPresenceNames[static_cast<std::size_t>(s.presence)]}};
            if (s.presence == Presence::Present) {
                json["enabled"] = s.enabled;
            } else if (s.presence == Presence::Unreadable) {
                json["error"] = s.error;
            }
            return json;
        }
        OrderedJson operator()(const ProcessorMaximumState& s) const {
            return {{"ac", s.ac ? OrderedJson(*s.ac) : OrderedJson()},
                    {"dc", s.dc ? OrderedJson(*s.dc) : OrderedJson()}};
        }
        OrderedJson operator()(const SettingState& s) const {
            if (!s) {
                return {{"presence", "absent"}};
            }
            OrderedJson json{{"presence", "present"}};
            if (const auto* number = std::get_if<std::int32_t>(&*s)) {
                json["int32"] = *number;
            } else if (const auto* flag = std::get_if<bool>(&*s)) {
                json["boolean"] = *flag;
            } else {
                json["string"] = ToUtf8(std::get<std::wstring>(*s));
            }
            return json;
        }
    };
    return std::visit(Write{}, state);
}

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

template <std::size_t N>
std::size_t Choice(const Json& object, const char* name, const std::array<std::string_view, N>& choices) {
    const Json& value = Field(object, name);
    if (value.is_string()) {
        for (std::size_t i = 0; i < N; ++i) {
            if (choices[i] == value.get_ref<const std::string&>()) {
                return i;
            }
        }
    }
    throw Malformed(std::string("\"") + name + "\" has an unknown value");
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
            return ProcessorMaximumState{OptionalUnsigned(json, "ac", 100),
                                         OptionalUnsigned(json, "dc", 100)};
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

class JournalBuilder {
public:
    // Adds one record; `index` counts from 1 for the messages.
    void Add(const Json& record, std::size_t index) {
        if (!record.is_object()) {
            throw Malformed("record " + std::to_string(index) + " is not an object");
        }
        const Json& type = Field(record, "type");
        const std::string kind = type.is_string() ? type.get<std::string>() : std::string();
        if (index == 1) {
            if (kind != "header") {
                throw Malformed("it does not begin with a Velmora journal header");
            }
            ReadHeader(record);
            return;
        }
        if (journal_.end) {
            throw Malformed("record " + std::to_string(index) + " follows the end record");
        }
        if (kind == "change") {
            ReadChange(record);
        } else if (kind == "outcome") {
            ReadOutcome(record);
        } else if (kind == "end") {
            journal_.end =
                JournalEnd{static_cast<JournalEndState>(Choice(record, "state", kEndNames)),
                           static_cast<std::int32_t>(Signed(record, "applyOutcome", -100000, 100000)),
                           ToUtf8(Text(record, "finishedUtc", 64, false))};
        } else {
            throw Malformed("record " + std::to_string(index) + " is of an unknown type");
        }
    }

    Journal Take() { return std::move(journal_); }

private:
    void ReadHeader(const Json& record) {
        const Json& format = Field(record, "format");
        if (!format.is_string() || format.get<std::string>() != kJournalFormat) {
            throw Malformed("it is not a Velmora journal");
        }
        const Json& version = Field(record, "schemaVersion");
        if (!version.is_number_unsigned() || version.get<std::uint64_t>() != kJournalSchemaVersion) {
            throw Malformed(
                "it is written in a journal format this version of Velmora does not know (schema " +
                version.dump().substr(0, 20) + ")");
        }
        JournalHeader& header = journal_.header;
        header.kind = Text(record, "kind", 16, false) == L"restore" ? JournalKind::Restore : JournalKind::Run;
        header.profile = Text(record, "profile", 64, false);
        header.startedUtc = ToUtf8(Text(record, "startedUtc", 64, false));
        header.programVersion = Text(record, "programVersion", 64, false);
        header.userSid = Text(record, "userSid", kMaxTextChars, false);
        header.restoredJournal = Text(record, "restoredJournal", kMaxTextChars, true);
        header.restorePoint = Text(record, "restorePoint", kMaxTextChars, true);
        if (!header.userSid.empty() && !IsJournalSid(header.userSid)) {
            throw Malformed("\"userSid\" is not a security identifier");
        }
    }

    void ReadChange(const Json& record) {
        JournalEntry entry;
        entry.seq = Unsigned(record, "seq", std::numeric_limits<std::uint32_t>::max());
        if (entry.seq <= lastSeq_) {
            throw Malformed("change " + std::to_string(entry.seq) + " is out of order");
        }
        lastSeq_ = entry.seq;
        const Json& step = Field(record, "step");
        const auto parsedStep = step.is_string() ? StepFromName(step.get<std::string>()) : std::nullopt;
        if (!parsedStep) {
            throw Malformed("change " + std::to_string(entry.seq) + " names an unknown step");
        }
        entry.step = *parsedStep;
        entry.target = TargetFrom(Field(record, "item"));
        entry.before = std::holds_alternative<ActionTarget>(entry.target)
                           ? ItemState(NoState{})
                           : StateFrom(entry.target, Field(record, "before"));
        if (record.contains("createdKey")) {
            entry.createdKey = Text(record, "createdKey", kMaxKeyPathChars, false);
        }
        if (const auto why = WhyNotRecordable(entry.target, entry.before)) {
            throw Malformed("change " + std::to_string(entry.seq) + ": " + ToUtf8(*why));
        }
        if (entry.createdKey) {
            const auto* value = std::get_if<RegistryValueTarget>(&entry.target);
            const std::wstring& key = *entry.createdKey;
            if (!value || !IsJournalKeyPath(key) ||
                !(value->keyPath.size() == key.size() ||
                  (value->keyPath.size() > key.size() && value->keyPath[key.size()] == L'\\')) ||
                value->keyPath.compare(0, key.size(), key) != 0) {
                throw Malformed("change " + std::to_string(entry.seq) + " names a created key off its path");
            }
        }
        if (journal_.entries.size() >= kMaxRecords) {
            throw Malformed("it holds more records than any run makes");
        }
        index_[entry.seq] = journal_.entries.size();
        journal_.entries.push_back(std::move(entry));
    }

    void ReadOutcome(const Json& record) {
        const std::uint64_t seq = Unsigned(record, "seq", std::numeric_limits<std::uint32_t>::max());
        const auto found = index_.find(seq);
        if (found == index_.end() || journal_.entries[found->second].outcome) {
            throw Malformed("an outcome names no change, or a change twice");
        }
        JournalOutcome outcome{Boolean(record, "succeeded"),
                               static_cast<std::uint32_t>(Unsigned(record, "error", 0xFFFFFFFFu)),
                               std::nullopt};
        if (record.contains("exitCode")) {
            outcome.exitCode = static_cast<std::uint32_t>(Unsigned(record, "exitCode", 0xFFFFFFFFu));
        }
        outcome.absent = record.contains("absent") && Boolean(record, "absent");
        journal_.entries[found->second].outcome = outcome;
    }

    Journal journal_;
    std::uint64_t lastSeq_ = 0;
    std::map<std::uint64_t, std::size_t> index_;
};

bool ValueRecordable(const RegistryValueState& value) {
    return value.presence != Presence::Present ||
           (IsJournalValueType(value.type) && value.data.size() <= kMaxRecordedValueBytes);
}

// Root-1 items name the user whose hive they live in; the other roots need no one.
bool HiveRecordable(RegistryRoot root, const std::wstring& sid) {
    return root == 1 ? IsJournalSid(sid) || sid == kDefaultProfileHive : sid.empty();
}

std::optional<Journal> Refuse(std::wstring& error, const std::string& why) {
    error = L"The journal cannot be used: " + FromUtf8(why) + L".";
    return std::nullopt;
}

} // namespace

std::string ItemJsonText(const ItemTarget& target) {
    return TargetJson(target).dump();
}

std::string StateJsonText(const ItemState& state) {
    return StateJson(state).dump();
}

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

std::string HeaderRecord(const JournalHeader& header) {
    OrderedJson json{{"type", "header"},
                     {"format", kJournalFormat},
                     {"schemaVersion", kJournalSchemaVersion},
                     {"kind", header.kind == JournalKind::Restore ? "restore" : "run"},
                     {"profile", ToUtf8(header.profile)},
                     {"startedUtc", header.startedUtc},
                     {"programVersion", ToUtf8(header.programVersion)},
                     {"userSid", ToUtf8(header.userSid)}};
    if (!header.restoredJournal.empty()) {
        json["restoredJournal"] = ToUtf8(header.restoredJournal);
    }
    if (!header.restorePoint.empty()) {
        json["restorePoint"] = ToUtf8(header.restorePoint);
    }
    return json.dump();
}

std::string ChangeRecord(const JournalEntry& entry) {
    OrderedJson json{{"type", "change"},
                     {"seq", entry.seq},
                     {"step", StepName(entry.step)},
                     {"item", TargetJson(entry.target)},
                     {"description", ToUtf8(DescribeItem(entry.target))}};
    if (!std::holds_alternative<ActionTarget>(entry.target)) {
        json["before"] = StateJson(entry.before);
    }
    if (entry.createdKey) {
        json["createdKey"] = ToUtf8(*entry.createdKey);
    }
    return json.dump();
}

std::string OutcomeRecord(std::uint64_t seq, const JournalOutcome& outcome) {
    OrderedJson json{
        {"type", "outcome"}, {"seq", seq}, {"succeeded", outcome.succeeded}, {"error", outcome.error}};
    if (outcome.exitCode) {
        json["exitCode"] = *outcome.exitCode;
    }
    if (outcome.absent) {
        json["absent"] = true;
    }
    return json.dump();
}

std::string EndRecord(const JournalEnd& end) {
    return OrderedJson{{"type", "end"},
                       {"state", kEndNames[static_cast<std::size_t>(end.state)]},
                       {"applyOutcome", end.applyOutcome},
                       {"finishedUtc", end.finishedUtc}}
        .dump();
}

std::string JournalDocument(const std::vector<std::string>& records) {
    std::string document = "{\"format\":\"" + std::string(kJournalFormat) +
                           "\",\"schemaVersion\":" + std::to_string(kJournalSchemaVersion) +
                           ",\"records\":[\n";
    for (std::size_t i = 0; i < records.size(); ++i) {
        document += records[i] + (i + 1 < records.size() ? ",\n" : "\n");
    }
    return document + "]}\n";
}

std::optional<Journal> ParseJournal(std::string_view text, std::wstring& error) {
    if (text.size() > kMaxJournalBytes) {
        return Refuse(error, "it is larger than any journal Velmora writes");
    }
    if (!NestingWithin(text, kMaxNesting)) {
        return Refuse(error, "it is nested deeper than any journal");
    }
    try {
        JournalBuilder builder;
        const Json whole = Json::parse(text, nullptr, false);
        bool finished = false;
        bool tornTail = false;
        if (!whole.is_discarded() && whole.is_object() && whole.contains("records")) {
            // The closed document.
            const Json& records = whole["records"];
            if (!whole.contains("format") || whole["format"] != kJournalFormat || !records.is_array()) {
                return Refuse(error, "it is not a Velmora journal");
            }
            if (!whole.contains("schemaVersion") || whole["schemaVersion"] != kJournalSchemaVersion) {
                return Refuse(error,
                              "it is written in a journal format this version of Velmora does not know");
            }
            if (records.empty()) {
                return Refuse(error, "it is empty");
            }
            if (records.size() > kMaxRecords) {
                return Refuse(error, "it holds more records than any run makes");
            }
            std::size_t index = 0;
            for (const Json& record : records) {
                builder.Add(record, ++index);
            }
            finished = true;
        } else if (text.starts_with("{\"format\"")) {
            return Refuse(error, "it is truncated or corrupted"); // the closed document, cut short or damaged
        } else {
            // The record of a run that is still going or was killed: one object per line.
            std::size_t index = 0;
            std::size_t start = 0;
            while (start < text.size()) {
                const std::size_t newline = text.find('\n', start);
                const bool lastLine = newline == std::string_view::npos;
                const std::string_view line = text.substr(start, lastLine ? text.npos : newline - start);
                start = lastLine ? text.size() : newline + 1;
                if (line.empty()) {
                    continue;
                }
                const Json record = Json::parse(line, nullptr, false);
                if (record.is_discarded()) {
                    // Only a last line without its line end was being written when the run was
                    // stopped; the change it announced had not been made.
                    if (lastLine && index > 0) {
                        tornTail = true;
                        break;
                    }
                    return Refuse(error, index == 0
                                             ? "it is not a Velmora journal"
                                             : "record " + std::to_string(index + 1) + " is corrupted");
                }
                builder.Add(record, ++index);
            }
            if (index == 0) {
                return Refuse(error, "it is empty");
            }
        }
        Journal journal = builder.Take();
        if (finished && !journal.end) {
            return Refuse(error, "it is truncated: the end record is missing");
        }
        journal.finished = finished;
        journal.tornTail = tornTail;
        return journal;
    } catch (const Malformed& malformed) {
        return Refuse(error, malformed.What());
    } catch (const std::exception&) {
        return Refuse(error, "it is corrupted");
    }
}

std::string UtcTimestamp(std::int64_t secondsSinceEpoch) {
    // Civil date from days since 1970-01-01 (Howard Hinnant's algorithm), with no time zone involved.
    const std::int64_t days =
        secondsSinceEpoch >= 0 ? secondsSinceEpoch / 86400 : (secondsSinceEpoch - 86399) / 86400;
    const std::int64_t seconds = secondsSinceEpoch - days * 86400;
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    const auto padded = [](std::int64_t number, std::size_t width) {
        std::string digits = std::to_string(number);
        return std::string(digits.size() < width ? width - digits.size() : 0, '0') + digits;
    };
    return padded(year, 4) + "-" + padded(month, 2) + "-" + padded(day, 2) + "T" + padded(seconds / 3600, 2) +
           ":" + padded(seconds / 60 % 60, 2) + ":" + padded(seconds % 60, 2) + "Z";
}

} // namespace Velmora
