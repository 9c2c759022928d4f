#include "engine/restore_point.h"

#include "common/diagnostics.h"

namespace Velmora {
namespace {

// Win32 codes System Restore answers with.
constexpr std::uint32_t kErrorBadEnvironment = 10;    // called in Safe Mode
constexpr std::uint32_t kErrorServiceDisabled = 1058; // System Restore is off
// RESTOREPOINTINFOW.szDescription holds 256 characters with its terminating null.
constexpr std::size_t kMaxDescription = 255;

RestorePointReport Report(RestorePointStatus status, std::wstring message, std::int64_t sequence = 0,
                          std::uint32_t error = 0) {
    return {status, sequence, error, std::move(message)};
}

} // namespace

std::wstring RestorePointDescription(const std::wstring& profileName) {
    return (L"Velmora: before " + profileName).substr(0, kMaxDescription);
}

RestorePointReport BeginRestorePoint(RestorePointApi& api, const std::wstring& profileName) {
    if (!api.Available()) {
        return Report(RestorePointStatus::NotAvailable, L"System Restore is not available on this system.");
    }
    if (api.SafeMode()) {
        return Report(RestorePointStatus::SafeMode,
                      L"No restore point: Windows cannot make one in Safe Mode.");
    }
    const std::optional<std::int64_t> newest = api.NewestSequenceNumber();
    const RestorePointCall call = api.Begin(RestorePointDescription(profileName));
    if (!call.succeeded) {
        switch (call.status) {
        case kErrorServiceDisabled:
            return Report(RestorePointStatus::Disabled,
                          L"No restore point: System Restore is turned off on this PC.", 0, call.status);
        case kErrorBadEnvironment:
            return Report(RestorePointStatus::SafeMode,
                          L"No restore point: Windows cannot make one in Safe Mode.", 0, call.status);
        case 0:
            // A refusal without a reason: the function only imitates System Restore.
            return Report(RestorePointStatus::NotAvailable,
                          L"System Restore is not available on this system.");
        default:
            return Report(RestorePointStatus::Failed,
                          L"No restore point: Windows refused to make one (error " +
                              std::to_wstring(call.status) + L").",
                          0, call.status);
        }
    }
    // Windows answers with the point of the last 24 hours instead of making a new one.
    if (newest && call.sequence <= *newest) {
        return Report(
            RestorePointStatus::Reused,
            L"Windows made no new restore point: it keeps the one it made in the last 24 hours (number " +
                std::to_wstring(call.sequence) + L").",
            call.sequence);
    }
    return Report(RestorePointStatus::Created,
                  L"Restore point \"" + RestorePointDescription(profileName) + L"\" made (number " +
                      std::to_wstring(call.sequence) + L").",
                  call.sequence);
}

void EndRestorePoint(RestorePointApi& api, const RestorePointReport& report, bool finished,
                     bool changedAnything) {
    // Only a point this run began is ended; a reused one belongs to someone else.
    if (report.status != RestorePointStatus::Created) {
        return;
    }
    const bool cancel = !finished && !changedAnything;
    const RestorePointCall call = api.End(report.sequence, cancel);
    if (!call.succeeded) {
        Diagnose(L"System Restore did not take the end of restore point " + std::to_wstring(report.sequence) +
                 L": error " + std::to_wstring(call.status));
    }
}

} // namespace Velmora
