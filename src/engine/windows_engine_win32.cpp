#include "engine/windows_engine.h"

#include "build_info.h"
#include "common/diagnostics.h"
#include "system/app_offloading.h"
#include "system/cleanup.h"
#include "system/packages.h"
#include "system/power.h"
#include "system/registry.h"
#include "system/scheduled_tasks.h"
#include "system/services.h"
#include "system/user_profiles.h"

#include <atomic>

namespace Velmora {
namespace {

WriteOutcome FromStatus(LSTATUS status) {
    return {status == ERROR_SUCCESS, static_cast<std::uint32_t>(status)};
}

WriteOutcome FromError(std::uint32_t error) {
    return {error == 0, error};
}

void Add(FolderContents& total, const FolderContents& part) {
    total.readable = total.readable && part.readable;
    total.files += part.files;
    total.bytes += part.bytes;
}

} // namespace

RegistryValueState Win32StateReader::ReadRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                                       const std::wstring& valueName) {
    return Velmora::ReadRegistryValue(root, keyPath, valueName);
}

Presence Win32StateReader::ReadRegistryKeyPresence(RegistryRoot root, const std::wstring& keyPath) {
    return Velmora::ReadRegistryKeyPresence(root, keyPath);
}

RegistryKeyState Win32StateReader::ReadRegistryKey(RegistryRoot root, const std::wstring& keyPath) {
    return Velmora::ReadRegistryKey(root, keyPath);
}

ServiceState Win32StateReader::ReadService(const std::wstring& name) {
    return ReadServiceState(name);
}

std::vector<std::wstring> Win32StateReader::PerUserServiceSuffixes() {
    return CollectPerUserServiceSuffixes();
}

TaskState Win32StateReader::ReadTask(const std::wstring& path) {
    return ReadTaskState(path);
}

std::vector<std::wstring> Win32StateReader::FindTasks(const std::vector<std::wstring>& names) {
    return FindTasksByName(names);
}

ProcessorMaximumState Win32StateReader::ReadProcessorMaximum(const std::wstring& scheme) {
    return Velmora::ReadProcessorMaximum(scheme);
}

std::optional<std::uint32_t> Win32StateReader::InstalledMemoryGiB() {
    return InstalledMemoryGiBOfThisPc();
}

std::wstring Win32StateReader::CurrentUserSid() {
    return GetCurrentUserSid();
}

ActionFacts Win32StateReader::SurveyAction(const ActionTarget& action) {
    ActionFacts facts;
    switch (action.kind) {
    case ActionKind::EmptyRecycleBin:
        if (const auto folders = WindowsCleanupFolders()) {
            facts.folders = {L"Recycle Bin of " + folders->recycleBinRoot};
        }
        facts.contents = MeasureRecycleBin();
        break;
    case ActionKind::CleanTempFolders: {
        facts.folders = TempFoldersToClean();
        FolderContents total{true, 0, 0};
        for (const std::wstring& folder : facts.folders) {
            Add(total, MeasureFolderContents(folder));
        }
        facts.contents = total;
        break;
    }
    case ActionKind::CleanPrefetchFolder:
        if (const auto folders = WindowsCleanupFolders()) {
            facts.folders = {folders->prefetch};
            facts.contents = MeasureFolderContents(folders->prefetch);
        }
        break;
    case ActionKind::RemoveApps:
        facts.packages = MatchingInstalledPackages(action.details);
        facts.storeCacheKey =
            Velmora::ReadRegistryKeyPresence(StoreCacheKeyRecord().root, StoreCacheKeyRecord().spec);
        break;
    case ActionKind::RunPowerShellCommands:
    case ActionKind::RunCmdCommands:
        break; // nothing can be known beforehand of what a command does
    }
    return facts;
}

std::shared_ptr<void> Win32StateReader::KeepConnections() {
    struct Held {
        ServiceReadSession services;
        TaskReadSession tasks;
    };
    return std::make_shared<Held>();
}

std::shared_ptr<void> Win32StateReader::KeepKeysOpen() {
    return std::make_shared<RegistryReadSession>();
}

WriteOutcome Win32StateWriter::WriteRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                                  const std::wstring& valueName, std::uint32_t type,
                                                  const std::vector<std::uint8_t>& data) {
    return FromStatus(Velmora::WriteRegistryValue(root, keyPath, valueName, type, data));
}

WriteOutcome Win32StateWriter::DeleteRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                                   const std::wstring& valueName) {
    return FromStatus(Velmora::DeleteRegistryValue(root, keyPath, valueName));
}

WriteOutcome Win32StateWriter::CreateRegistryKey(RegistryRoot root, const std::wstring& keyPath) {
    return FromStatus(Velmora::CreateRegistryKey(root, keyPath));
}

WriteOutcome Win32StateWriter::DeleteRegistryKeyIfEmpty(RegistryRoot root, const std::wstring& keyPath) {
    return FromStatus(Velmora::DeleteRegistryKeyIfEmpty(root, keyPath));
}

WriteOutcome Win32StateWriter::SetServiceStartType(const std::wstring& name, std::uint32_t startType) {
    return FromError(SetServiceStartTypeThroughManager(name, startType));
}

WriteOutcome Win32StateWriter::SetServiceDelayedFlag(const std::wstring& name, bool delayed) {
    return FromError(SetServiceDelayedFlagThroughManager(name, delayed));
}

WriteOutcome Win32StateWriter::SetTaskEnabled(const std::wstring& path, bool enabled) {
    const std::int32_t hr = SetScheduledTaskEnabled(path, enabled);
    return {hr >= 0, static_cast<std::uint32_t>(hr)};
}

WriteOutcome Win32StateWriter::WriteProcessorMaximum(const ProcessorMaximumState& values) {
    return {Velmora::WriteProcessorMaximum(values), 0};
}

std::wstring WindowsUserHives::ProcessUserSid() {
    return seams_.processUser ? seams_.processUser() : GetCurrentUserSid();
}

std::optional<std::wstring> WindowsUserHives::InteractiveUserSid() {
    return seams_.interactiveUser ? seams_.interactiveUser() : ShellOwnerSid();
}

std::vector<UserHiveAccess::Profile> WindowsUserHives::Profiles() {
    std::vector<Profile> profiles;
    for (ProfileListEntry& entry : ReadProfileList()) {
        profiles.push_back({std::move(entry.sid), std::move(entry.folder)});
    }
    return profiles;
}

std::wstring WindowsUserHives::DefaultProfileFolder() {
    return Velmora::DefaultProfileFolder();
}

std::optional<std::wstring> WindowsUserHives::SidOfAccount(const std::wstring& name) {
    return SidOfAccountName(name);
}

std::wstring WindowsUserHives::AccountName(const std::wstring& sid) {
    return AccountNameOfSid(sid);
}

bool WindowsUserHives::HiveLoaded(const std::wstring& sid) {
    return HiveKeyExists(sid);
}

bool WindowsUserHives::PlainFileExists(const std::wstring& path) {
    const DWORD file = ::GetFileAttributesW(path.c_str());
    const DWORD folder = ::GetFileAttributesW(path.substr(0, path.rfind(L'\\')).c_str());
    return file != INVALID_FILE_ATTRIBUTES && folder != INVALID_FILE_ATTRIBUTES &&
           (file & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
           (folder & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

std::shared_ptr<void> WindowsUserHives::LoadHive(const std::wstring& file, std::wstring& keyName,
                                                 std::uint32_t& error) {
    static std::atomic<unsigned> counter{0};
    do {
        keyName = L"Velmora-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    } while (HiveKeyExists(keyName));
    LoadedUserHive hive = LoadUserHive(file, keyName, error);
    if (hive.KeyName().empty()) {
        return nullptr;
    }
    // A hive left loaded keeps its user from their own profile at the next sign-in: say so when it stays.
    return std::shared_ptr<LoadedUserHive>(new LoadedUserHive(std::move(hive)), [](LoadedUserHive* held) {
        const std::wstring name = held->KeyName();
        const LSTATUS status = held->Unload();
        if (status != ERROR_SUCCESS) {
            Diagnose(L"The user hive HKEY_USERS\\" + name + L" could not be unloaded: error " +
                     std::to_wstring(status));
        }
        delete held;
    });
}

WindowsEngine::WindowsEngine(LocalSettingsValues& settings, std::wstring journalFolder,
                             FileOwnerReader ownerOf, UserHiveSeams userSeams)
    : journals_(std::move(journalFolder), std::move(ownerOf)),
      userHives_(std::move(userSeams)), services_{system_,
                                                  reader_,
                                                  writer_,
                                                  settings,
                                                  journals_,
                                                  restorePoints_,
                                                  [] { return static_cast<std::uint32_t>(::GetLastError()); },
                                                  std::wstring(kProgramVersion),
                                                  &userHives_} {
    UnloadAbandonedHives();
}

} // namespace Velmora
