#include "engine/windows_engine.h"

#include "build_info.h"
#include "system/app_offloading.h"
#include "system/cleanup.h"
#include "system/packages.h"
#include "system/power.h"
#include "system/registry.h"
#include "system/scheduled_tasks.h"
#include "system/services.h"

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

ProcessorMaximumState Win32StateReader::ReadProcessorMaximum() {
    return Velmora::ReadProcessorMaximum();
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

WindowsEngine::WindowsEngine(LocalSettingsValues& settings, std::wstring journalFolder,
                             FileOwnerReader ownerOf)
    : journals_(std::move(journalFolder), std::move(ownerOf)),
      services_{system_,
                reader_,
                writer_,
                settings,
                journals_,
                restorePoints_,
                [] { return static_cast<std::uint32_t>(::GetLastError()); },
                std::wstring(kProgramVersion)} {}

} // namespace Velmora
