// The engine against the real registry, service manager, task scheduler and file system: a PC that
// is not in its default state is planned, run, stopped half-way and restored, and must come back
// exactly as it was (under Wine every hive exported and compared, on Windows every key the run touches;
// service start types, task states, settings).

#include "bench/bench_parts_win32.h"
#include "bench/fixtures_win32.h"
#include "common/win32_handles.h"
#include "engine/choice_filter.h"
#include "engine/journal.h"
#include "engine/windows_engine.h"
#include "settings/local_settings.h"
#include "common/text_encoding.h"
#include "support/pc_snapshot.h"
#include "support/registry_reads.h"
#include "support/service_start_snapshot.h"
#include "support/this_pc.h"
#include "system/cleanup.h"
#include "system/registry.h"
#include "system/scheduled_tasks.h"
#include "system/services.h"
#include "tweaks/run_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace {

using namespace Velmora;
using ::testing::HasSubstr;

constexpr wchar_t kSettingsKey[] = L"Software\\Velmora\\EngineTestSettings";
constexpr wchar_t kJournalFolder[] = L"C:\\ProgramData\\Velmora\\EngineTestJournal";

// A row a preset can stand in for: reachable (no leading backslash) and of a root this user can write.
std::vector<RegistryDwordSetting> UsableRows(const std::vector<RegistryDwordSetting>& table) {
    std::vector<RegistryDwordSetting> rows;
    for (const auto& row : table) {
        if (!row.spec.starts_with(L"\\") && row.root != 3) {
            rows.push_back(row);
        }
    }
    return rows;
}

void Preset(RegistryRoot root, const std::wstring& spec, DWORD type, const std::vector<BYTE>& data) {
    const std::size_t colon = spec.rfind(L':');
    const std::wstring value = spec.substr(colon + 1);
    ASSERT_EQ(::RegSetKeyValueW(RegistryRootKey(root), spec.substr(0, colon).c_str(),
                                value.empty() ? nullptr : value.c_str(), type, data.data(),
                                static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
}

std::vector<BYTE> Text(const std::wstring& text, bool doubleNull = false) {
    std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(text.c_str()),
                            reinterpret_cast<const BYTE*>(text.c_str() + text.size() + 1));
    if (doubleNull) {
        bytes.insert(bytes.end(), {0, 0});
    }
    return bytes;
}

// The status each run's restore point must end in. Wine only imitates System Restore, and Windows Server
// has none (no srclient.dll). Where Windows has it, it is turned on for drive C: and allowed a point at
// every call (SystemRestorePointCreationFrequency 0:
// https://learn.microsoft.com/windows/win32/sr/calling-srsetrestorepoint), so that each run makes its own.
RestorePointStatus PrepareSystemRestore() {
    const std::wstring system = Bench::SystemFolderPath();
    if (Testing::UnderWine() ||
        ::GetFileAttributesW((system + L"\\srclient.dll").c_str()) == INVALID_FILE_ATTRIBUTES) {
        return RestorePointStatus::NotAvailable;
    }
    const DWORD always = 0;
    EXPECT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE,
                                L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SystemRestore",
                                L"SystemRestorePointCreationFrequency", REG_DWORD, &always, sizeof always),
              ERROR_SUCCESS);
    // https://learn.microsoft.com/powershell/module/microsoft.powershell.management/enable-computerrestore
    const auto enabled =
        Bench::RunToExit(system + L"\\WindowsPowerShell\\v1.0\\powershell.exe",
                         L"powershell.exe -NoProfile -Command \"Enable-ComputerRestore -Drive 'C:\\' "
                         L"-ErrorAction Stop\"");
    return enabled == 0u ? RestorePointStatus::Created : RestorePointStatus::Disabled;
}

// A file's owner and its access list as SDDL (e.g. "D:P(A;OICI;FA;;;SY)"), read independently of the store.
std::pair<std::wstring, std::wstring> OwnerAndAccess(const std::wstring& path) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    PSID owner = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                                nullptr, nullptr, &raw) != ERROR_SUCCESS) {
        return {};
    }
    const UniqueLocalMemory descriptor(raw);
    wchar_t* ownerText = nullptr;
    wchar_t* accessText = nullptr;
    ::ConvertSidToStringSidW(owner, &ownerText);
    const UniqueLocalMemory ownedOwner(ownerText);
    ::ConvertSecurityDescriptorToStringSecurityDescriptorW(raw, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                           &accessText, nullptr);
    const UniqueLocalMemory ownedAccess(accessText);
    return {ownerText != nullptr ? ownerText : L"", accessText != nullptr ? accessText : L""};
}

class Engine : public ::testing::Test {
protected:
    Engine()
        : settings(MakeRegistrySettings(kSettingsKey)),
          engine(*settings, kJournalFolder,
                 [this](HANDLE file) { return foreignOwner.empty() ? FileOwnerSid(file) : foreignOwner; }) {}

    ~Engine() override {
        std::error_code ignored;
        std::filesystem::remove_all(kJournalFolder, ignored);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        ::RegDeleteTreeW(HKEY_CURRENT_USER,
                         L"SOFTWARE\\CLASSES\\CLSID\\{86ca1aa0-34aa-4e8b-a509-50c905bae2a2}");
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Microsoft\\Windows\\System",
                             L"DisableLogonBackgroundImage");
    }

    // A PC in no default state: odd value types and data, a value Maximum deletes with custom data, the
    // legacy context menu key with values of its own, services set to manual (one delayed), a
    // per-user service instance, one listed task disabled, and settings of an odd type.
    void PreparePc() {
        const auto common = UsableRows(controller.commonRegistryTable);
        const auto standard = UsableRows(controller.standardRegistryTable);
        const auto maximum = UsableRows(controller.maximumRegistryTable);
        Preset(common[0].root, common[0].spec, REG_SZ, Text(L"custom"));
        Preset(common[1].root, common[1].spec, REG_QWORD, {8, 7, 6, 5, 4, 3, 2, 1});
        Preset(common[2].root, common[2].spec, REG_BINARY, {1, 2, 3});
        Preset(common[3].root, common[3].spec, REG_DWORD, {0x39, 0x30, 0, 0});
        Preset(standard[0].root, standard[0].spec, REG_MULTI_SZ, Text(std::wstring(L"a\0b", 3), true));
        Preset(maximum[0].root, maximum[0].spec, REG_EXPAND_SZ, Text(L"%WINDIR%\\custom"));
        Preset(LogonImageRecord().root, LogonImageRecord().spec, REG_SZ, Text(L"keep me"));
        const RegistryStringSetting legacy = LegacyContextMenuRecord();
        Preset(legacy.root, legacy.spec, REG_SZ, Text(L"C:\\custom.dll"));
        Preset(legacy.root, legacy.spec + L"ThreadingModel", REG_SZ, Text(L"Both"));

        services.Create(Bench::PickTestServiceNames(controller.serviceTable, 5));
        serviceNames = services.Created();
        const std::wstring spooler = L"Spooler";
        ASSERT_EQ(SetServiceStartTypeThroughManager(spooler, SERVICE_DEMAND_START), 0u);
        Preset(2, L"SYSTEM\\CurrentControlSet\\Services\\Spooler:DelayedAutoStart", REG_DWORD, {1, 0, 0, 0});
        for (const auto& entry : controller.serviceTable) {
            serviceNames.push_back(entry.name);
        }
        tasks.Register(controller.scheduledTaskPaths);
        ASSERT_GE(SetScheduledTaskEnabled(controller.scheduledTaskPaths[3], false), 0);
        settings->Insert(SettingKeys::AppliedTask, SettingValue(std::int32_t{1}));
        settings->Insert(SettingKeys::AppliedTaskBuildMaximum, SettingValue(true));
        // Wine's shell records a known folder in the registry the first time one is asked for, which the
        // temporary-folder step does; asked once now, before any snapshot.
        static_cast<void>(TempFoldersToClean());
        if (!Testing::UnderWine()) {
            snapshotKeys = Testing::PlanKeys(PlanProfile(engine.Services(), controller, kMaximumProfile));
            snapshotKeys.push_back({HKEY_CURRENT_USER, kSettingsKey, kSettingsKey, true});
        }
    }

    // A journal as a user who is not an administrator would plant it: on Windows a copy that the group
    // Users owns (another owner than the caller takes the restore privilege:
    // https://learn.microsoft.com/windows/win32/api/aclapi/nf-aclapi-setnamedsecurityinfow); under Wine,
    // which reports the process user as every file's owner, the journal itself with that owner reported
    // to the store.
    std::wstring PlantedByAUser(const std::wstring& journal) {
        if (Testing::UnderWine()) {
            foreignOwner = L"S-1-5-32-545";
            return journal;
        }
        const std::wstring copy = std::wstring(kJournalFolder) + L"\\planted.json";
        EXPECT_TRUE(::CopyFileW(journal.c_str(), copy.c_str(), FALSE)) << ::GetLastError();
        BYTE users[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof users;
        EXPECT_TRUE(::CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &size));
        const EnabledPrivileges restore{SE_RESTORE_NAME, SE_TAKE_OWNERSHIP_NAME};
        EXPECT_EQ(::SetNamedSecurityInfoW(const_cast<wchar_t*>(copy.c_str()), SE_FILE_OBJECT,
                                          OWNER_SECURITY_INFORMATION, users, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(OwnerAndAccess(copy).first, L"S-1-5-32-545");
        return copy;
    }

    Testing::PcSnapshot Snapshot() {
        return Testing::TakePcSnapshot(serviceNames, controller.scheduledTaskPaths, snapshotKeys);
    }

    RunReport Run(SettingsProfile profile) {
        RunReport report = RunProfile(engine.Services(), controller, profile);
        EXPECT_EQ(report.outcome, RunOutcome::Succeeded);
        EXPECT_TRUE(report.journalPath.ends_with(L".json")) << report.journalPath;
        EXPECT_EQ(report.restorePoint.status, expectedRestorePoint) << report.restorePoint.message;
        if (expectedRestorePoint == RestorePointStatus::Created) {
            EXPECT_GT(report.restorePoint.sequence, 0);
        }
        return report;
    }

    RestoreResult RestoreFrom(const std::wstring& journal) {
        RestoreResult result = RestoreJournal(engine.Services(), journal);
        EXPECT_FALSE(result.refused) << result.message;
        for (const auto& failure : result.failed) {
            ADD_FAILURE() << "not restored: " << failure.description << " (" << failure.reason << ", error "
                          << failure.error << ")";
        }
        return result;
    }

    // The runs retune the prefix's own services; they are put back when the test ends.
    Testing::ServiceStartSnapshot wineServices;
    Bench::TestServices services;
    Bench::TestTasks tasks;
    RunController controller;
    std::vector<std::wstring> serviceNames;
    std::unique_ptr<LocalSettingsValues> settings;
    std::wstring foreignOwner;
    WindowsEngine engine;
    std::vector<Testing::SnapshotKey> snapshotKeys; // what the snapshots read on Windows
    const RestorePointStatus expectedRestorePoint = PrepareSystemRestore();
};

TEST_F(Engine, PlanChangesNothingAndMaximumIsRestoredExactly) {
    PreparePc();
    const Testing::PcSnapshot prepared = Snapshot();

    const ProfilePlan plan = PlanProfile(engine.Services(), controller, kMaximumProfile);
    EXPECT_EQ(Testing::Differences(prepared, Snapshot()), L"") << "a plan changed the PC";
    const auto logon = std::find_if(plan.entries.begin(), plan.entries.end(), [](const PlanEntry& entry) {
        return entry.description.ends_with(L"System: DisableLogonBackgroundImage");
    });
    ASSERT_NE(logon, plan.entries.end());
    EXPECT_EQ(std::get<RegistryValueState>(logon->current), StringValue(L"keep me"))
        << "the real current state";
    EXPECT_EQ(std::get<RegistryValueState>(logon->after), DwordValue(0)) << "the state after the last touch";

    const RunReport run = Run(kMaximumProfile);
    EXPECT_NE(Testing::Differences(prepared, Snapshot()), L"");
    // Under Wine only what Wine cannot do fails: the power values. Windows may refuse items of its own (a
    // service or a value it protects): each is named, and may not be in effect afterwards.
    std::set<std::wstring> refused;
    for (const RunItemResult& item : run.items) {
        if (Testing::UnderWine()) {
            EXPECT_TRUE(item.succeeded || item.description.starts_with(L"Maximum processor state"))
                << "only what Wine cannot do fails: " << item.description << " (error " << item.error << ")";
        } else if (!item.succeeded && !item.absent) {
            refused.insert(item.description);
            std::printf("refused by Windows: %ls (error %u)\n", item.description.c_str(),
                        unsigned{item.error});
        }
    }

    // Right after Maximum every item of Maximum is in effect, except the path the registry refuses, and
    // under Wine what it cannot show: the power values and the delayed flag of the per-user instance. And
    // Wine has no Dnscache service: when a row of the run has just created its key, a second run would
    // write its start type there.
    const ProfilePlan again = PlanProfile(engine.Services(), controller, kMaximumProfile);
    std::size_t dnscache = 0;
    for (const PlanEntry& entry : again.entries) {
        const bool refusedPath = entry.description.starts_with(L"HKU\\\\Control Panel");
        const bool wineBlind =
            Testing::UnderWine() && (entry.description.starts_with(L"Maximum processor state") ||
                                     entry.description == L"Service OneSyncSvc_5b3e1");
        const bool wineDnscache = Testing::UnderWine() && entry.description == L"Service Dnscache";
        EXPECT_EQ(entry.readable, entry.isAction || !(refusedPath || wineBlind)) << entry.description;
        dnscache += wineDnscache && !entry.inEffect ? 1 : 0;
        EXPECT_TRUE(entry.isAction || entry.inEffect || refusedPath || wineBlind || wineDnscache ||
                    refused.contains(entry.description))
            << "not in effect: " << entry.description;
    }
    const PlanCounts counts = CountPlan(again);
    EXPECT_EQ(counts.unreadable, Testing::UnderWine() ? 3u : 1u);
    if (Testing::UnderWine()) {
        EXPECT_EQ(counts.Drifted(), 2u + dnscache) << "the refused path and the power values";
    } else {
        EXPECT_LE(counts.Drifted(), 1u + refused.size()) << "the refused path and what Windows refused";
    }
    EXPECT_EQ(counts.actions, 6u) << "cleanup x3, PowerShell, command interpreter x2";

    const RestoreResult restored = RestoreFrom(run.journalPath);
    EXPECT_EQ(Testing::Differences(prepared, Snapshot()), L"");
    EXPECT_EQ(restored.cannotComeBack.size(), 6u);
    EXPECT_FALSE(restored.journalPath.empty());
}

TEST_F(Engine, TwoRestoresGoTwoLevelsBackAndHostileJournalsChangeNothing) {
    // Another program removes a key that Maximum created for a value of its own: Essential, which deletes
    // the value, finds nothing to delete, and records the item as absent rather than failed. The key is
    // one that holds nothing else, and the PC starts without it.
    const auto keyOf = [](const RegistryDwordSetting& row) {
        return std::wstring(std::wstring_view(row.spec).substr(0, row.spec.rfind(L':')));
    };
    const auto alone = [&](const RegistryDwordSetting& row) {
        std::size_t sharing = 0;
        const std::vector<RegistryDwordSetting>* const tables[] = {&controller.commonRegistryTable,
                                                                   &controller.standardRegistryTable,
                                                                   &controller.maximumRegistryTable};
        for (const auto* table : tables) {
            sharing += std::ranges::count_if(*table, [&](const RegistryDwordSetting& other) {
                return other.root == row.root && other.spec.starts_with(keyOf(row) + L":");
            });
        }
        UniqueRegistryKey key;
        if (sharing != 1 || ::RegOpenKeyExW(RegistryRootKey(row.root), keyOf(row).c_str(), 0, KEY_READ,
                                            key.Put()) == ERROR_FILE_NOT_FOUND) {
            return sharing == 1;
        }
        DWORD subkeys = 1;
        DWORD values = 2;
        static_cast<void>(::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                             &values, nullptr, nullptr, nullptr, nullptr));
        return subkeys == 0 && values <= 1; // at most the row's own value, left by an earlier run
    };
    const auto maximumRows = UsableRows(controller.maximumRegistryTable);
    const auto gone = std::find_if(maximumRows.begin() + 1, maximumRows.end(), alone); // [0] is preset
    ASSERT_NE(gone, maximumRows.end());
    static_cast<void>(::RegDeleteKeyW(RegistryRootKey(gone->root), keyOf(*gone).c_str()));
    PreparePc();
    const Testing::PcSnapshot prepared = Snapshot();
    const RunReport maximum = Run(kMaximumProfile);
    ASSERT_EQ(::RegDeleteKeyW(RegistryRootKey(gone->root), keyOf(*gone).c_str()), ERROR_SUCCESS);
    const Testing::PcSnapshot afterMaximum = Snapshot();
    const RunReport essential = Run(kEssentialProfile);
    const Testing::PcSnapshot afterEssential = Snapshot();
    const auto absent = std::find_if(essential.items.begin(), essential.items.end(),
                                     [](const RunItemResult& item) { return item.absent; });
    ASSERT_NE(absent, essential.items.end());
    EXPECT_TRUE(absent->description.ends_with(gone->spec.substr(gone->spec.rfind(L':') + 1)))
        << absent->description;
    EXPECT_FALSE(absent->succeeded);

    const std::string text = Bench::ReadWholeFile(essential.journalPath).value_or(std::string());
    ASSERT_GT(text.size(), 1000u);
    // The same records as the lines of a run that was stopped; and copies with one thing changed.
    const auto replaced = [](const std::string& in, const std::string& what, const std::string& with) {
        const std::size_t at = in.find(what);
        return at == std::string::npos ? in : in.substr(0, at) + with + in.substr(at + what.size());
    };
    std::string lines = text.substr(text.find('\n') + 1);
    lines = lines.substr(0, lines.rfind("\n]"));
    for (std::string joined = replaced(lines, "},\n", "}\n"); joined != lines;
         joined = replaced(lines, "},\n", "}\n")) {
        lines = joined;
    }
    const std::string corruptedLine = replaced(lines, "\n{\"type\":\"change\"", "\n{\"type\":\"cha");
    const std::string flipped = replaced(text, "\"records\":[", "\"records\":[{");
    const std::string schema2 = replaced(text, "\"schemaVersion\":1", "\"schemaVersion\":2");
    const std::string badRoot = replaced(lines, "\"root\":2", "\"root\":7");
    const struct {
        std::string content;
        const wchar_t* expected;
    } hostile[] = {
        {text.substr(0, text.size() / 2), L"truncated or corrupted"},
        {flipped, L"truncated or corrupted"},
        {corruptedLine, L"record 2 is corrupted"},
        {schema2, L"journal format this version of Velmora does not know"},
        {badRoot, L"\"root\" is not a number in range"},
        {"{\"type\":\"header\",\"format\":\"other\"}\n", L"not a Velmora journal"},
    };
    const std::size_t journals = engine.Journals().List().size();
    int number = 0;
    for (const auto& journal : hostile) {
        const std::wstring path =
            std::wstring(kJournalFolder) + L"\\hostile-" + std::to_wstring(++number) + L".json";
        std::ofstream(std::filesystem::path(path), std::ios::binary) << journal.content;
        const RestoreResult result = RestoreJournal(engine.Services(), path);
        EXPECT_TRUE(result.refused) << number;
        EXPECT_THAT(result.message, HasSubstr(journal.expected)) << number;
    }
    EXPECT_THAT(RestoreJournal(engine.Services(), PlantedByAUser(essential.journalPath)).message,
                HasSubstr(L"not written by an administrator"));
    foreignOwner.clear();
    EXPECT_THAT(RestoreJournal(engine.Services(), std::wstring(kJournalFolder) + L"\\missing.json").message,
                HasSubstr(L"does not exist"));
    EXPECT_EQ(engine.Journals().List().size(), journals) << "a refused restore wrote a journal";
    EXPECT_EQ(Testing::Differences(afterEssential, Snapshot()), L"") << "a refused restore changed the PC";

    const RestoreResult first = RestoreFrom(essential.journalPath);
    EXPECT_EQ(Testing::Differences(afterMaximum, Snapshot()), L"");
    // A restore is journaled too: undoing it takes the PC forward to Essential again.
    RestoreFrom(first.journalPath);
    EXPECT_EQ(Testing::Differences(afterEssential, Snapshot()), L"") << "the restore of the restore";
    RestoreFrom(essential.journalPath);
    RestoreFrom(maximum.journalPath);
    EXPECT_EQ(Testing::Differences(prepared, Snapshot()), L"");
}

TEST_F(Engine, ARunEndedHalfWayLeavesAJournalThatUndoesExactlyWhatWasDone) {
    PreparePc();
    const Testing::PcSnapshot prepared = Snapshot();
    const std::wstring child = Bench::ExecutableFolder() + L"\\velmora_engine_child.exe";
    // Ended during the cleanup, after the commands, and among the last registry rows.
    const auto items =
        static_cast<int>(PlanProfile(engine.Services(), controller, kMaximumProfile).entries.size());
    for (const int stopAt : {2, 420, items - 3}) {
        const UniqueKernelHandle reached(::CreateEventW(nullptr, TRUE, FALSE, L"VelmoraEngineChildReached"));
        std::wstring commandLine = L"velmora_engine_child.exe 2 " + std::to_wstring(stopAt) +
                                   L" VelmoraEngineChildReached " + kJournalFolder + L" " + kSettingsKey;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION created{};
        ASSERT_TRUE(::CreateProcessW(child.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                     nullptr, &startup, &created));
        const UniqueKernelHandle process(created.hProcess);
        const UniqueKernelHandle thread(created.hThread);
        const HANDLE waits[] = {reached.Get(), process.Get()};
        ASSERT_EQ(::WaitForMultipleObjects(2, waits, FALSE, 300000), WAIT_OBJECT_0) << "stop at " << stopAt;
        ::TerminateProcess(process.Get(), 1);
        ::WaitForSingleObject(process.Get(), INFINITE);

        const std::vector<std::wstring> journals = engine.Journals().List();
        ASSERT_FALSE(journals.empty());
        ASSERT_TRUE(journals.front().ends_with(L".json.partial")) << journals.front();
        std::wstring error;
        const auto text = engine.Journals().ReadTrusted(journals.front(), error);
        ASSERT_TRUE(text) << error;
        const auto journal = ParseJournal(*text, error);
        ASSERT_TRUE(journal) << error;
        EXPECT_FALSE(journal->end.has_value());
        EXPECT_GE(journal->entries.size(), static_cast<std::size_t>(stopAt));

        RestoreFrom(journals.front());
        EXPECT_EQ(Testing::Differences(prepared, Snapshot()), L"") << "stopped at item " << stopAt;
    }
}

// The journal folder and Velmora's folder above it: only SYSTEM and the administrators may do anything in
// them, nothing inherited from above. Wine keeps no access lists and reports the process user as every
// file's owner; Windows gives the folder to its creator or, for an elevated administrator, to the
// Administrators group.
TEST_F(Engine, TheJournalFolderBelongsToTheAdministratorsAndOnlyTheyAndSystemMayUseIt) {
    std::wstring error;
    const auto file = engine.Journals().Create(L"Essential", error);
    ASSERT_TRUE(file) << error;
    const std::wstring processSid = GetCurrentUserSid();
    for (const std::wstring& folder :
         {std::wstring(kJournalFolder), std::wstring(L"C:\\ProgramData\\Velmora")}) {
        const auto [owner, access] = OwnerAndAccess(folder);
        if (Testing::UnderWine()) {
            EXPECT_EQ(owner, processSid) << folder;
            continue;
        }
        EXPECT_THAT((std::vector<std::wstring>{L"S-1-5-32-544", L"S-1-5-18", processSid}),
                    ::testing::Contains(owner))
            << folder;
        // "P": protected from inheritance ("AI" may stand beside it where the list was set on a folder
        // there).
        EXPECT_TRUE(access.starts_with(L"D:P")) << access;
        EXPECT_TRUE(access.ends_with(L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)")) << access;
        EXPECT_EQ(std::count(access.begin(), access.end(), L'('), 2) << access;
    }
}

TEST_F(Engine, OnlyTheNewestJournalsOfEachKindAreKeptSoRepairsNeverPushOutARun) {
    std::wstring error;
    std::vector<std::wstring> made;
    for (int i = 0; i < 45; ++i) {
        auto file = engine.Journals().Create(i < 23 ? L"Essential" : L"Repair", error); // repairs come after
        ASSERT_TRUE(file) << error;
        ASSERT_TRUE(file->AppendLine("{}\n"));
        if (i % 2 == 0) {
            ASSERT_TRUE(file->Close("{}\n")); // closed ones and killed runs' partial ones alike
        }
        made.push_back(i % 2 == 0 ? file->FinalPath() : file->PartialPath());
    }
    engine.Journals().Prune(kJournalsKept);
    const std::vector<std::wstring> kept = engine.Journals().List();
    ASSERT_EQ(kept.size(), 2 * kJournalsKept);
    EXPECT_EQ(kept.front(), made.back());
    EXPECT_EQ(kept.back(), made[3]);
    EXPECT_THAT(kept, ::testing::Contains(made[22])) << "the newest run";
    EXPECT_THAT(kept, ::testing::Not(::testing::Contains(made[24])));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(made[2])));
}

// Sets CurrentBuild for the length of a test and puts the prefix's own value back.
class WindowsBuildOverride {
public:
    explicit WindowsBuildOverride(const std::wstring& build) {
        const RegistryValueState held = ReadRegistryValue(2, kVersionKey, L"CurrentBuild");
        saved_ = held.data;
        Set(build);
    }
    ~WindowsBuildOverride() {
        static_cast<void>(WriteRegistryValue(2, kVersionKey, L"CurrentBuild", REG_SZ, saved_));
    }
    WindowsBuildOverride(const WindowsBuildOverride&) = delete;
    WindowsBuildOverride& operator=(const WindowsBuildOverride&) = delete;
    void Set(const std::wstring& build) {
        ASSERT_EQ(WriteRegistryValue(2, kVersionKey, L"CurrentBuild", REG_SZ, Text(build)), ERROR_SUCCESS);
    }

private:
    static constexpr wchar_t kVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    std::vector<std::uint8_t> saved_;
};

std::set<std::wstring> Descriptions(const ProfilePlan& plan) {
    std::set<std::wstring> descriptions;
    for (const PlanEntry& entry : plan.entries) {
        descriptions.insert(entry.description);
    }
    return descriptions;
}

// Two optional features included: the plan adds exactly their items, the run sets them (the Settings page
// list merged into what others wrote), nothing of them drifts afterwards, and the restore gives every value
// back byte for byte. Below a feature's first build it is neither planned nor set.
TEST_F(Engine, IncludedOptionalFeaturesAreSetOnTheirBuildsOnlyAndRestoredExactly) {
    WindowsBuildOverride build(L"26100");
    const std::wstring listKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
    const std::wstring aiKey = L"SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsAI";
    // Another party's list, with bytes after its end that no reader of the text sees: given back as they
    // were.
    Preset(2, listKey + L":SettingsPageVisibility", REG_SZ, Text(std::wstring(L"hide:bluetooth\0junk", 19)));
    const RegistryValueState othersList = ReadRegistryValue(2, listKey, L"SettingsPageVisibility");
    settings->Insert(SettingKeys::AppliedTask, SettingValue(std::int32_t{1}));
    const FeatureIndex features(controller);
    Choices choices;
    AddChoices(choices, features, {L"recall-snapshots-off", L"copilot-key-setting-hidden"},
               ChoiceSource::Stored, ChoiceKind::Include);
    const RunChoices included{features, choices};
    const Testing::PcSnapshot before = Snapshot();

    const ProfilePlan plain = PlanProfile(engine.Services(), controller, kEssentialProfile);
    const ProfilePlan plan =
        PlanProfile(engine.Services(), controller, kEssentialProfile, {true, false, nullptr, &included});
    std::set<std::wstring> added;
    std::ranges::set_difference(Descriptions(plan), Descriptions(plain), std::inserter(added, added.end()));
    EXPECT_EQ(added, (std::set<std::wstring>{L"HKLM\\" + aiKey + L": DisableAIDataAnalysis",
                                             L"HKCU\\" + aiKey + L": DisableAIDataAnalysis",
                                             L"HKLM\\" + listKey + L": SettingsPageVisibility"}));
    EXPECT_EQ(plan.entries.size(), plain.entries.size() + 3);

    RunOptions options;
    options.choices = &included;
    const RunReport run = RunProfile(engine.Services(), controller, kEssentialProfile, options);
    ASSERT_EQ(run.outcome, RunOutcome::Succeeded) << run.message;
    EXPECT_EQ(Testing::ReadDword(HKEY_LOCAL_MACHINE, aiKey, L"DisableAIDataAnalysis"), 1u);
    EXPECT_EQ(Testing::ReadDword(HKEY_CURRENT_USER, aiKey, L"DisableAIDataAnalysis"), 1u);
    EXPECT_EQ(TextOf(ReadRegistryValue(2, listKey, L"SettingsPageVisibility")),
              L"hide:bluetooth;personalization-textinput-copilot-hardwarekey");
    for (const PlanEntry& entry :
         PlanProfile(engine.Services(), controller, kEssentialProfile, {true, false, nullptr, &included})
             .entries) {
        const auto feature = features.FeatureOf(entry.target);
        if (feature && features.Features()[*feature].optional) {
            EXPECT_TRUE(entry.inEffect) << "drifted after the run: " << ToUtf8(entry.description);
        }
    }

    RestoreFrom(run.journalPath);
    EXPECT_EQ(Testing::Differences(before, Snapshot()), L"");
    const RegistryValueState list = ReadRegistryValue(2, listKey, L"SettingsPageVisibility");
    EXPECT_EQ(list, othersList) << "the list is given back byte for byte";

    // One build before Recall's first: only the Settings page list is set.
    build.Set(L"26099");
    std::set<std::wstring> below;
    const ProfilePlan older =
        PlanProfile(engine.Services(), controller, kEssentialProfile, {true, false, nullptr, &included});
    std::ranges::set_difference(Descriptions(older), Descriptions(plain), std::inserter(below, below.end()));
    EXPECT_EQ(below, std::set<std::wstring>{L"HKLM\\" + listKey + L": SettingsPageVisibility"});
    const RunReport olderRun = RunProfile(engine.Services(), controller, kEssentialProfile, options);
    ASSERT_EQ(olderRun.outcome, RunOutcome::Succeeded) << olderRun.message;
    EXPECT_FALSE(Testing::ReadDword(HKEY_LOCAL_MACHINE, aiKey, L"DisableAIDataAnalysis"));
    RestoreFrom(olderRun.journalPath);
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, listKey.c_str(), L"SettingsPageVisibility");
}

} // namespace
