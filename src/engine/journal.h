#pragma once

// The journal of a run (or of a restore): the state of every item before the run changed it, so that
// a restore can put it back exactly. docs/journal.md describes the format; this is its one reader
// and writer. Journals are untrusted input: the parser checks every field's type and range.

#include "engine/items.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora {

inline constexpr int kJournalSchemaVersion = 1;
inline constexpr std::string_view kJournalFormat = "velmora-journal";
// Nothing larger is read, let alone parsed.
inline constexpr std::size_t kMaxJournalBytes = 16u * 1024u * 1024u;
// The largest registry value a journal holds.
inline constexpr std::size_t kMaxRecordedValueBytes = 1024u * 1024u;

// A repair sets again what no longer holds of the applied profile; it is restored like a run.
enum class JournalKind : std::uint8_t { Run, Restore, Repair };
enum class JournalEndState : std::uint8_t { Succeeded, Failed, Cancelled };

struct JournalHeader {
    JournalKind kind = JournalKind::Run;
    std::wstring profile; // "Essential", "Standard", "Maximum" (a run, a repair); "Restore" for a restore
    std::string startedUtc;
    std::wstring programVersion;
    std::wstring userSid;                // the user the run ran as; root-1 items name their hive themselves
    std::wstring restoredJournal;        // a restore: the journal it put back
    std::wstring restorePoint;           // what System Restore did, in words
    std::vector<std::wstring> keep = {}; // a run: the features it kept as they are, by id
    std::vector<std::wstring> include = {}; // a run: the optional features it set, by id
    std::vector<std::wstring> only = {};    // a restore: the features it put back, by id; empty: all of them
};

struct JournalOutcome {
    bool succeeded = false;
    std::uint32_t error = 0;               // Win32 error (HRESULT for tasks), 0 when unknown
    std::optional<std::uint32_t> exitCode; // commands
    // The change failed because its item was not there: nothing to delete or disable, so what the step
    // was to leave holds anyway.
    bool absent = false;
};

struct JournalEntry {
    std::uint64_t seq = 0;
    ItemStep step = ItemStep::Registry;
    ItemTarget target;
    ItemState before;
    // Registry writes: the first key on the path that did not exist, so a restore can remove the
    // keys the run created once they are empty.
    std::optional<std::wstring> createdKey;
    std::optional<JournalOutcome> outcome; // absent when the run ended before the change did
};

struct JournalEnd {
    JournalEndState state = JournalEndState::Succeeded;
    std::int32_t applyOutcome = 0;
    std::string finishedUtc;
};

struct Journal {
    JournalHeader header;
    std::vector<JournalEntry> entries;
    std::optional<JournalEnd> end;
    bool finished = false; // the closed document, not the record of a run still going (or killed)
    bool tornTail = false; // a killed run's last record was cut off mid-write and is left out
};

// One JSON object per record, without a line end.
[[nodiscard]] std::string HeaderRecord(const JournalHeader& header);
[[nodiscard]] std::string ChangeRecord(const JournalEntry& entry);
[[nodiscard]] std::string OutcomeRecord(std::uint64_t seq, const JournalOutcome& outcome);
[[nodiscard]] std::string EndRecord(const JournalEnd& end);
// The closed journal: one JSON document holding the records in order.
[[nodiscard]] std::string JournalDocument(const std::vector<std::string>& records);

// An item and a state as the journal writes them (one JSON object each), for other documents that
// name items the same way (the exported plan, the command line's output).
[[nodiscard]] std::string ItemJsonText(const ItemTarget& target);
[[nodiscard]] std::string StateJsonText(const ItemState& state);

// Either form: the closed document, or the JSON Lines of a run still going or killed. nullopt with
// the reason in `error` when the text is not a journal this program can trust to restore from.
[[nodiscard]] std::optional<Journal> ParseJournal(std::string_view text, std::wstring& error);

// Why an item could not be recorded exactly (and so must not be changed); nullopt when it can.
// The parser refuses what this refuses.
[[nodiscard]] std::optional<std::wstring> WhyNotRecordable(const ItemTarget& target, const ItemState& state);

// Plain names the journal accepts.
[[nodiscard]] bool IsJournalKeyPath(std::wstring_view path);
[[nodiscard]] bool IsJournalTaskPath(std::wstring_view path);
[[nodiscard]] bool IsJournalSid(std::wstring_view sid);
[[nodiscard]] bool IsJournalValueType(std::uint32_t type);
[[nodiscard]] bool IsJournalSettingName(std::wstring_view name);

// "2025-01-31T12:00:00Z" from seconds since 1970 (UTC).
[[nodiscard]] std::string UtcTimestamp(std::int64_t secondsSinceEpoch);

} // namespace Velmora
