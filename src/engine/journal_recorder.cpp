#include "engine/journal_recorder.h"

namespace Velmora {

JournalRecorder::JournalRecorder(std::unique_ptr<JournalFile> file, const JournalHeader& header)
    : file_(std::move(file)) {
    ok_ = file_ && Append(HeaderRecord(header));
}

bool JournalRecorder::Append(std::string record) {
    if (!file_ || !file_->AppendLine(record + "\n")) {
        ok_ = false;
        return false;
    }
    records_.push_back(std::move(record));
    return true;
}

std::optional<std::uint64_t> JournalRecorder::RecordChange(ItemStep step, ItemTarget target, ItemState before,
                                                           std::optional<std::wstring> createdKey) {
    if (!ok_ || closed_) {
        return std::nullopt;
    }
    JournalEntry entry{entries_.size() + 1,   step,        std::move(target), std::move(before),
                       std::move(createdKey), std::nullopt};
    if (!Append(ChangeRecord(entry))) {
        return std::nullopt;
    }
    entries_.push_back(std::move(entry));
    return entries_.back().seq;
}

bool JournalRecorder::RecordOutcome(std::uint64_t seq, const JournalOutcome& outcome) {
    if (seq == 0 || seq > entries_.size() || !ok_ || closed_) {
        return false;
    }
    entries_[seq - 1].outcome = outcome;
    return Append(OutcomeRecord(seq, outcome));
}

bool JournalRecorder::Close(const JournalEnd& end) {
    if (!file_ || closed_) {
        return false;
    }
    if (!Append(EndRecord(end))) {
        return false;
    }
    closed_ = file_->Close(JournalDocument(records_));
    return closed_;
}

std::wstring JournalRecorder::Path() const {
    if (!file_) {
        return {};
    }
    return closed_ ? file_->FinalPath() : file_->PartialPath();
}

} // namespace Velmora
