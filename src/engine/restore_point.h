#pragma once

// A System Restore point before the first change of a run, "Velmora: before <profile>". Windows may
// decline it (System Restore off, Safe Mode), reuse one made in the last 24 hours, or not have System
// Restore at all (Wine): each case is reported as it is, and none of them fails the run. Velmora
// never turns System Restore on and never changes how often Windows makes points.

#include <cstdint>
#include <optional>
#include <string>

namespace Velmora {

// What SRSetRestorePointW answered.
struct RestorePointCall {
    bool succeeded = false;
    std::uint32_t status = 0; // STATEMGRSTATUS.nStatus
    std::int64_t sequence = 0;
};

// The platform side: srclient.dll bound at run time, and the facts the decision needs.
class RestorePointApi {
public:
    virtual ~RestorePointApi() = default;
    // False when srclient.dll or SRSetRestorePointW is missing, or the system only imitates it (Wine).
    [[nodiscard]] virtual bool Available() = 0;
    [[nodiscard]] virtual bool SafeMode() = 0;
    // The sequence number of the newest restore point, before the call; nullopt when unknown.
    [[nodiscard]] virtual std::optional<std::int64_t> NewestSequenceNumber() = 0;
    // BEGIN_SYSTEM_CHANGE with MODIFY_SETTINGS.
    [[nodiscard]] virtual RestorePointCall Begin(const std::wstring& description) = 0;
    // END_SYSTEM_CHANGE; with `cancel`, the point is dropped (CANCELLED_OPERATION).
    virtual RestorePointCall End(std::int64_t sequence, bool cancel) = 0;
};

enum class RestorePointStatus : std::uint8_t {
    Created,      // a new point for this run
    Reused,       // Windows kept the point of the last 24 hours instead
    Disabled,     // System Restore is turned off
    SafeMode,     // points cannot be made in Safe Mode
    NotAvailable, // this system has no System Restore (Wine, or srclient.dll missing)
    Failed,       // Windows refused for another reason
    Skipped,      // the run was started without one (velmora-cli --no-restore-point)
};

struct RestorePointReport {
    RestorePointStatus status = RestorePointStatus::NotAvailable;
    std::int64_t sequence = 0;
    std::uint32_t error = 0;
    std::wstring message; // in words, for the window, the command line and the journal
};

// "Velmora: before Maximum", within the length System Restore takes.
[[nodiscard]] std::wstring RestorePointDescription(const std::wstring& profileName);

// Asks for the point and says what happened.
[[nodiscard]] RestorePointReport BeginRestorePoint(RestorePointApi& api, const std::wstring& profileName);

// Ends the point this run began. A run that stopped before its first change drops it; one that changed
// something keeps it, so that the changes made can still be undone through System Restore.
void EndRestorePoint(RestorePointApi& api, const RestorePointReport& report, bool finished,
                     bool changedAnything);

} // namespace Velmora
