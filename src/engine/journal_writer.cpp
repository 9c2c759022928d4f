#include "engine/journal.h"

#include "common/text_encoding.h"
#include "engine/journal_fields.h"
#include "engine/target_users.h"
#include "system/services.h"

#include <nlohmann/json.hpp>

namespace Velmora {
namespace {

using namespace JournalFields;

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
            OrderedJson json{{"ac", s.ac ? OrderedJson(*s.ac) : OrderedJson()},
                             {"dc", s.dc ? OrderedJson(*s.dc) : OrderedJson()}};
            if (!s.scheme.empty()) {
                json["scheme"] = ToUtf8(s.scheme);
            }
            return json;
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

} // namespace

std::string ItemJsonText(const ItemTarget& target) {
    return TargetJson(target).dump();
}

std::string StateJsonText(const ItemState& state) {
    return StateJson(state).dump();
}

std::string HeaderRecord(const JournalHeader& header) {
    OrderedJson json{{"type", "header"},
                     {"format", kJournalFormat},
                     {"schemaVersion", kJournalSchemaVersion},
                     {"kind", kKindNames[static_cast<std::size_t>(header.kind)]},
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
    for (const auto& [name, ids] : {std::pair{"keep", &header.keep}, std::pair{"include", &header.include},
                                    std::pair{"only", &header.only}}) {
        if (!ids->empty()) {
            json[name] = OrderedJson::array();
            for (const std::wstring& id : *ids) {
                json[name].push_back(ToUtf8(id));
            }
        }
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
