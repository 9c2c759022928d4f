#include "engine/journal.h"

#include "common/text_encoding.h"
#include "engine/choices.h"
#include "engine/journal_fields.h"
#include "engine/target_users.h"
#include "system/services.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <limits>
#include <map>

namespace Velmora {
namespace {

using namespace JournalFields;

// A list of feature ids, as a header records the choices of a run or the features a restore put back.
std::vector<std::wstring> FeatureIds(const Json& record, const char* name) {
    std::vector<std::wstring> ids;
    if (!record.contains(name)) {
        return ids;
    }
    const Json& list = Field(record, name);
    if (!list.is_array() || list.size() > kMaxChoiceIds) {
        throw Malformed(std::string("\"") + name + "\" is not a list of feature ids");
    }
    for (const Json& id : list) {
        std::wstring text = Text(id, name, kMaxChoiceIdChars);
        if (!IsFeatureIdForm(text)) {
            throw Malformed(std::string("\"") + name + "\" holds something that is not a feature id");
        }
        ids.push_back(std::move(text));
    }
    return ids;
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
        header.kind = static_cast<JournalKind>(Choice(record, "kind", kKindNames));
        header.profile = Text(record, "profile", 64, false);
        // A run or a repair names the profile it applied; a restore calls itself one.
        const bool knownProfile = header.kind == JournalKind::Restore
                                      ? header.profile == L"Restore"
                                      : header.profile == L"Essential" || header.profile == L"Standard" ||
                                            header.profile == L"Maximum";
        if (!knownProfile) {
            throw Malformed("\"profile\" is not one this kind of journal names");
        }
        header.startedUtc = ToUtf8(Text(record, "startedUtc", 64, false));
        header.programVersion = Text(record, "programVersion", 64, false);
        header.userSid = Text(record, "userSid", kMaxTextChars, false);
        header.restoredJournal = Text(record, "restoredJournal", kMaxTextChars, true);
        header.restorePoint = Text(record, "restorePoint", kMaxTextChars, true);
        if (!header.userSid.empty() && !IsJournalSid(header.userSid)) {
            throw Malformed("\"userSid\" is not a security identifier");
        }
        header.keep = FeatureIds(record, "keep");
        header.include = FeatureIds(record, "include");
        header.only = FeatureIds(record, "only");
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

std::optional<Journal> Refuse(std::wstring& error, const std::string& why) {
    error = L"The journal cannot be used: " + FromUtf8(why) + L".";
    return std::nullopt;
}

} // namespace

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

} // namespace Velmora
