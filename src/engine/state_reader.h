#pragma once

// How the engine sees the PC: a reader of the current state of everything a run may change, and
// the few writes a restore makes. The Windows build reaches the real system through the readers and
// writers beside the primitives; host tests use fakes.

#include "engine/items.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Velmora {

class LocalSettingsValues;

// What can be known before a cleanup or an app removal: how much the folders hold, which installed
// packages match.
struct ActionFacts {
    std::vector<std::wstring> folders; // in the order they would be cleaned
    std::optional<FolderContents> contents;
    std::optional<std::vector<std::wstring>> packages; // nullopt: the packages cannot be listed
    std::optional<Presence> storeCacheKey;             // app removal: the cache key deleted first
};

// Reads only; never changes anything, never throws for a platform failure.
class StateReader {
public:
    virtual ~StateReader() = default;
    [[nodiscard]] virtual RegistryValueState ReadRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                                               const std::wstring& valueName) = 0;
    [[nodiscard]] virtual Presence ReadRegistryKeyPresence(RegistryRoot root,
                                                           const std::wstring& keyPath) = 0;
    [[nodiscard]] virtual RegistryKeyState ReadRegistryKey(RegistryRoot root,
                                                           const std::wstring& keyPath) = 0;
    [[nodiscard]] virtual ServiceState ReadService(const std::wstring& name) = 0;
    // The instance suffixes of the per-user services, found as the service step finds them.
    [[nodiscard]] virtual std::vector<std::wstring> PerUserServiceSuffixes() = 0;
    [[nodiscard]] virtual TaskState ReadTask(const std::wstring& path) = 0;
    // Full paths of the tasks whose names begin with one of the names, as the task step finds them.
    [[nodiscard]] virtual std::vector<std::wstring> FindTasks(const std::vector<std::wstring>& names) = 0;
    // Of the scheme "{GUID}", or of the active one when `scheme` is empty; the state names its scheme.
    [[nodiscard]] virtual ProcessorMaximumState ReadProcessorMaximum(const std::wstring& scheme) = 0;
    [[nodiscard]] virtual std::optional<std::uint32_t> InstalledMemoryGiB() = 0;
    [[nodiscard]] virtual std::wstring CurrentUserSid() = 0;
    [[nodiscard]] virtual ActionFacts SurveyAction(const ActionTarget& action) = 0;
    // Keeps the connections reads need open on this thread until the returned object is gone: a plan
    // reads hundreds of items at once. Null where nothing is worth keeping.
    [[nodiscard]] virtual std::shared_ptr<void> KeepConnections() { return nullptr; }
    // Keeps each registry key read on this thread open until the returned object is gone, so that reads
    // from one key open it once. Only around reads that no write of this thread comes between (a plan):
    // a key found absent stays absent meanwhile. Null where nothing is kept.
    [[nodiscard]] virtual std::shared_ptr<void> KeepKeysOpen() { return nullptr; }
};

// The current state of any item, through the reader (the settings for a setting); actions have none.
[[nodiscard]] ItemState ReadItemState(StateReader& reader, const LocalSettingsValues& settings,
                                      const ItemTarget& target);

// The outcome of one write: done, or the Win32 error (HRESULT for tasks).
struct WriteOutcome {
    bool succeeded = false;
    std::uint32_t error = 0;
};

// The writes a restore makes, each an exact setting of one part of an item.
class StateWriter {
public:
    virtual ~StateWriter() = default;
    virtual WriteOutcome WriteRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                            const std::wstring& valueName, std::uint32_t type,
                                            const std::vector<std::uint8_t>& data) = 0;
    // An absent value (or key) counts as deleted.
    virtual WriteOutcome DeleteRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                             const std::wstring& valueName) = 0;
    virtual WriteOutcome CreateRegistryKey(RegistryRoot root, const std::wstring& keyPath) = 0;
    // Only an empty key is deleted; an absent key counts as deleted.
    virtual WriteOutcome DeleteRegistryKeyIfEmpty(RegistryRoot root, const std::wstring& keyPath) = 0;
    virtual WriteOutcome SetServiceStartType(const std::wstring& name, std::uint32_t startType) = 0;
    virtual WriteOutcome SetServiceDelayedFlag(const std::wstring& name, bool delayed) = 0;
    virtual WriteOutcome SetTaskEnabled(const std::wstring& path, bool enabled) = 0;
    // Into the scheme the values name (the active one when they name none), which must still exist.
    virtual WriteOutcome WriteProcessorMaximum(const ProcessorMaximumState& values) = 0;
};

} // namespace Velmora
