#pragma once

// Where journals live and how their files are written: appended and flushed record by record while a
// run goes, closed by an atomic replace. The Windows build keeps them in %ProgramData%\Velmora\Journal,
// a folder only administrators and SYSTEM may use; host tests keep them in memory.

#include "engine/journal.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora {

// Journals kept in the folder of each kind (runs, repairs, restores); older ones are deleted when a
// journal is closed.
inline constexpr std::size_t kJournalsKept = 20;

class JournalFile {
public:
    virtual ~JournalFile() = default;
    // "<folder>\<UTC time>-<name>.json"; the record is written to this path + ".partial" until Close.
    [[nodiscard]] virtual const std::wstring& FinalPath() const = 0;
    [[nodiscard]] virtual std::wstring PartialPath() const { return FinalPath() + L".partial"; }
    // Appends one line and flushes it to the disk. False when it could not be written.
    [[nodiscard]] virtual bool AppendLine(std::string_view line) = 0;
    // Writes the document to a temporary file, flushes it, moves it over the final path and deletes the
    // partial file. False when the document could not be put in place (the partial file then stays).
    [[nodiscard]] virtual bool Close(std::string_view document) = 0;
};

class JournalStore {
public:
    virtual ~JournalStore() = default;
    // A new journal named after the current UTC time and `name`; nullptr with the reason in `error`
    // when the folder or the file cannot be created.
    [[nodiscard]] virtual std::unique_ptr<JournalFile> Create(const std::wstring& name,
                                                              std::wstring& error) = 0;
    // The whole file, after checking that neither it nor its folder is a link, that an administrator
    // owns it and that it is no larger than any journal; nullopt with the reason otherwise.
    [[nodiscard]] virtual std::optional<std::string> ReadTrusted(const std::wstring& path,
                                                                 std::wstring& error) = 0;
    // The journals in the folder, newest first (a closed journal by its .json, a killed run's by its
    // .json.partial).
    [[nodiscard]] virtual std::vector<std::wstring> List() = 0;
    // Deletes all but the newest `keep` journals of each kind (JournalsToPrune).
    virtual void Prune(std::size_t keep) = 0;
    // Seconds since 1970, UTC.
    [[nodiscard]] virtual std::int64_t NowUtcSeconds() = 0;
};

// Whether a journal's owner is trusted: Administrators, SYSTEM, or the user of this process when it
// runs as an administrator (files an elevated administrator creates may be owned by that user).
[[nodiscard]] bool IsTrustedJournalOwner(std::wstring_view ownerSid, std::wstring_view processUserSid,
                                         bool processIsAdministrator);

// Journal file names: "<UTC time>-<name>.json" with the time as "20250131T120000.123Z", so that names
// sort by time. True for such a name, with or without ".partial".
[[nodiscard]] bool IsJournalFileName(std::wstring_view fileName);

// The kind of a journal as told by the name it was created with: "…-Restore", "…-Repair", or else a
// profile's run.
[[nodiscard]] JournalKind JournalKindOfName(std::wstring_view path);

// Of the journals in `newestFirst` (as List gives them), those to delete: all but the newest `keep` of
// each kind, told by the name each was created with ("…-Restore", "…-Repair", otherwise a profile's run).
// Daily repairs so never push out the run that applied the profile, which a full restore needs.
[[nodiscard]] std::vector<std::wstring> JournalsToPrune(const std::vector<std::wstring>& newestFirst,
                                                        std::size_t keep);

} // namespace Velmora
