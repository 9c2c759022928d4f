#pragma once

// The engine's Windows side: the state reader and writer over the primitives' readers, the journal
// folder, System Restore, and one object that bundles them for the window and the command line.

#include "common/lazy_path.h"
#include "engine/engine.h"
#include "engine/journal_store.h"
#include "engine/restore_point.h"
#include "engine/state_reader.h"
#include "system/win32_system_operations.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Velmora {

class Win32StateReader final : public StateReader {
public:
    RegistryValueState ReadRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                         const std::wstring& valueName) override;
    Presence ReadRegistryKeyPresence(RegistryRoot root, const std::wstring& keyPath) override;
    RegistryKeyState ReadRegistryKey(RegistryRoot root, const std::wstring& keyPath) override;
    ServiceState ReadService(const std::wstring& name) override;
    std::vector<std::wstring> PerUserServiceSuffixes() override;
    TaskState ReadTask(const std::wstring& path) override;
    std::vector<std::wstring> FindTasks(const std::vector<std::wstring>& names) override;
    ProcessorMaximumState ReadProcessorMaximum(const std::wstring& scheme) override;
    std::optional<std::uint32_t> InstalledMemoryGiB() override;
    std::wstring CurrentUserSid() override;
    ActionFacts SurveyAction(const ActionTarget& action) override;
    std::shared_ptr<void> KeepConnections() override;
    std::shared_ptr<void> KeepKeysOpen() override;
};

class Win32StateWriter final : public StateWriter {
public:
    WriteOutcome WriteRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                    const std::wstring& valueName, std::uint32_t type,
                                    const std::vector<std::uint8_t>& data) override;
    WriteOutcome DeleteRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                     const std::wstring& valueName) override;
    WriteOutcome CreateRegistryKey(RegistryRoot root, const std::wstring& keyPath) override;
    WriteOutcome DeleteRegistryKeyIfEmpty(RegistryRoot root, const std::wstring& keyPath) override;
    WriteOutcome SetServiceStartType(const std::wstring& name, std::uint32_t startType) override;
    WriteOutcome SetServiceDelayedFlag(const std::wstring& name, bool delayed) override;
    WriteOutcome SetTaskEnabled(const std::wstring& path, bool enabled) override;
    WriteOutcome WriteProcessorMaximum(const ProcessorMaximumState& values) override;
};

// The owner of an open file as a SID string; empty when it cannot be read.
using FileOwnerReader = std::function<std::wstring(HANDLE file)>;
[[nodiscard]] std::wstring FileOwnerSid(HANDLE file);

// %ProgramData%\Velmora\Journal (or the folder given), owned by Administrators and readable and writable
// only by them and SYSTEM, whoever made it first.
class WindowsJournalStore final : public JournalStore {
public:
    // `ownerOf` reads a journal's owner; Wine reports the process user for every file whatever it was
    // set to, so its tests put a reader of their own in its place.
    explicit WindowsJournalStore(std::wstring folder = {}, FileOwnerReader ownerOf = FileOwnerSid);

    std::unique_ptr<JournalFile> Create(const std::wstring& name, std::wstring& error) override;
    std::optional<std::string> ReadTrusted(const std::wstring& path, std::wstring& error) override;
    std::vector<std::wstring> List() override;
    void Prune(std::size_t keep) override;
    std::int64_t NowUtcSeconds() override;

    [[nodiscard]] const std::wstring& Folder() const { return folder_.Get(); }

private:
    // Creates the folder with its owner and protected access list, or gives both to the folder found, and
    // removes what another account left in it.
    [[nodiscard]] bool EnsureFolder(std::wstring& error);

    LazyPath folder_; // DefaultJournalFolder unless given
    FileOwnerReader ownerOf_;
};

// %ProgramData%\Velmora\Journal; empty when ProgramData is unknown.
[[nodiscard]] std::wstring DefaultJournalFolder();

// System Restore through srclient.dll, bound at run time.
class SrClientRestorePointApi final : public RestorePointApi {
public:
    SrClientRestorePointApi();
    bool Available() override;
    bool SafeMode() override;
    std::optional<std::int64_t> NewestSequenceNumber() override;
    RestorePointCall Begin(const std::wstring& description) override;
    RestorePointCall End(std::int64_t sequence, bool cancel) override;

private:
    struct Library;
    std::shared_ptr<Library> library_;
};

// Lets the System Restore service call back into this process, as SRSetRestorePointW requires. Call
// on a thread with COM initialised, before the process makes its first cross-apartment COM call.
void InitializeComSecurityForSystemRestore() noexcept;

// True when the process runs under Wine, which imitates some system functions without doing anything.
[[nodiscard]] bool RunsUnderWine() noexcept;

// Answers a test may give in place of the system's.
struct UserHiveSeams {
    std::function<std::optional<std::wstring>()> interactiveUser; // empty: the owner of the shell's process
    std::function<std::wstring()> processUser;                    // empty: the process token's user
};

// The profile list, HKEY_USERS and RegLoadKeyW. Hives it loads are named "Velmora-<process>-<n>".
class WindowsUserHives final : public UserHiveAccess {
public:
    explicit WindowsUserHives(UserHiveSeams seams = {}) : seams_(std::move(seams)) {}
    std::wstring ProcessUserSid() override;
    std::optional<std::wstring> InteractiveUserSid() override;
    std::vector<Profile> Profiles() override;
    std::wstring DefaultProfileFolder() override;
    std::optional<std::wstring> SidOfAccount(const std::wstring& name) override;
    std::wstring AccountName(const std::wstring& sid) override;
    bool HiveLoaded(const std::wstring& sid) override;
    bool PlainFileExists(const std::wstring& path) override;
    std::shared_ptr<void> LoadHive(const std::wstring& file, std::wstring& keyName,
                                   std::uint32_t& error) override;

private:
    UserHiveSeams seams_;
};

// Everything the engine needs on Windows, for the process's lifetime.
class WindowsEngine {
public:
    explicit WindowsEngine(LocalSettingsValues& settings, std::wstring journalFolder = {},
                           FileOwnerReader ownerOf = FileOwnerSid, UserHiveSeams userSeams = {});
    WindowsEngine(const WindowsEngine&) = delete;
    WindowsEngine& operator=(const WindowsEngine&) = delete;

    [[nodiscard]] EngineServices& Services() { return services_; }
    [[nodiscard]] WindowsJournalStore& Journals() { return journals_; }
    [[nodiscard]] WindowsUserHives& UserHives() { return userHives_; }

private:
    Win32SystemOperations system_;
    Win32StateReader reader_;
    Win32StateWriter writer_;
    WindowsJournalStore journals_;
    SrClientRestorePointApi restorePoints_;
    WindowsUserHives userHives_;
    EngineServices services_;
};

} // namespace Velmora
