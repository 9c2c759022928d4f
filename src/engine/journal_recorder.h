#pragma once

// The journal of one run as it is written: the header first, then, before each change, the item's
// state, and after it the outcome, each line flushed at once; at the end the closed document.

#include "engine/journal.h"
#include "engine/journal_store.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Velmora {

class JournalRecorder {
public:
    // Writes the header at once; Ok() says whether it could.
    JournalRecorder(std::unique_ptr<JournalFile> file, const JournalHeader& header);

    [[nodiscard]] bool Ok() const { return ok_; }

    // Records the item before its change and returns its sequence number; nullopt when the record
    // could not be written, and then the change must not be made.
    [[nodiscard]] std::optional<std::uint64_t>
    RecordChange(ItemStep step, ItemTarget target, ItemState before,
                 std::optional<std::wstring> createdKey = std::nullopt);
    // False when the line could not be written.
    bool RecordOutcome(std::uint64_t seq, const JournalOutcome& outcome);
    // Appends the end record and puts the closed document in place.
    bool Close(const JournalEnd& end);

    [[nodiscard]] const std::vector<JournalEntry>& Entries() const { return entries_; }
    // The closed journal, or the partial one while it is written (and when it could not be closed).
    [[nodiscard]] std::wstring Path() const;

private:
    bool Append(std::string record);

    std::unique_ptr<JournalFile> file_;
    std::vector<std::string> records_;
    std::vector<JournalEntry> entries_;
    bool ok_ = false;
    bool closed_ = false;
};

} // namespace Velmora
