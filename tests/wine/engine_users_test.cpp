// The per-user rows against Wine's real registry with real loaded hives: two made-up profiles in the
// profile list whose NTUSER.DAT files are saved from a prepared key. Wine does not write a loaded hive
// back to its file, so every check reads the hives while they are loaded.

#include "engine/journal.h"
#include "engine/windows_engine.h"
#include "settings/local_settings.h"
#include "support/pc_snapshot.h"
#include "support/registry_reads.h"
#include "support/service_start_snapshot.h"
#include "support/this_pc.h"
#include "system/app_offloading.h"
#include "system/cleanup.h"
#include "system/registry.h"
#include "system/user_profiles.h"
#include "tweaks/run_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

using namespace Velmora;
using ::testing::HasSubstr;

constexpr wchar_t kSettingsKey[] = L"Software\\Velmora\\EngineUsersTestSettings";
constexpr wchar_t kJournalFolder[] = L"C:\\ProgramData\\Velmora\\EngineUsersTestJournal";
constexpr wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
constexpr wchar_t kSeedKey[] = L"Software\\VelmoraHiveSeed";
const std::wstring kAnn = L"S-1-5-21-1111-2222-3333-1001";
const std::wstring kBob = L"S-1-5-21-1111-2222-3333-1002";
const std::wstring kFolders[] = {L"C:\\users\\velmora-ann", L"C:\\users\\velmora-bob", L"C:\\users\\Default"};

std::wstring KeyOf(const RegistryDwordSetting& row) {
    return row.spec.substr(0, row.spec.rfind(L':'));
}
std::wstring ValueOf(const RegistryDwordSetting& row) {
    return row.spec.substr(row.spec.rfind(L':') + 1);
}

// The hives below HKEY_USERS that this program loaded under names of its own.
std::vector<std::wstring> OwnLoadedHives() {
    std::vector<std::wstring> names;
    wchar_t name[256];
    DWORD length = 256;
    for (DWORD i = 0;
         ::RegEnumKeyExW(HKEY_USERS, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = 256) {
        if (std::wstring_view(name).starts_with(L"Velmora-")) {
            names.emplace_back(name);
        }
    }
    return names;
}

class EngineUsers : public ::testing::Test {
protected:
    EngineUsers()
        : settings(MakeRegistrySettings(kSettingsKey)),
          engine(*settings, kJournalFolder, FileOwnerSid, {[this] { return interactive; }, {}}) {
        for (const auto& row : controller.commonRegistryTable) {
            if (row.root == 1) {
                userRows.push_back(row);
            }
        }
    }

    // Each profile's hive holds the first per-user row as a string of its own, which a run overwrites
    // and a restore must bring back exactly.
    void SetUp() override {
        const std::wstring seeded = std::wstring(kSeedKey) + L"\\" + KeyOf(userRows[0]);
        ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, seeded.c_str(), ValueOf(userRows[0]).c_str(), REG_SZ,
                                    L"seed", 10),
                  ERROR_SUCCESS);
        UniqueRegistryKey seed;
        ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kSeedKey, 0, KEY_READ, seed.Put()), ERROR_SUCCESS);
        const EnabledPrivileges backup{SE_BACKUP_NAME};
        // The PC's own Default profile and its hive are put back afterwards.
        defaultExisted = std::filesystem::exists(std::filesystem::path(kFolders[2]));
        ::MoveFileW((kFolders[2] + L"\\NTUSER.DAT").c_str(), (kFolders[2] + L"\\NTUSER.DAT.velmora").c_str());
        for (const std::wstring& folder : kFolders) {
            std::filesystem::create_directories(std::filesystem::path(folder));
            ::DeleteFileW((folder + L"\\NTUSER.DAT").c_str());
            ASSERT_EQ(::RegSaveKeyW(seed.Get(), (folder + L"\\NTUSER.DAT").c_str(), nullptr), ERROR_SUCCESS);
        }
        seed.Reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSeedKey);
        AddProfile(kAnn, kFolders[0]);
        AddProfile(kBob, kFolders[1]);
        settings->Insert(SettingKeys::AppliedTask, SettingValue(std::int32_t{0})); // the key exists
        // Wine's shell records a known folder in the registry the first time the cleanup asks for one.
        static_cast<void>(TempFoldersToClean());
    }

    ~EngineUsers() override {
        for (const std::wstring& sid : {kAnn, kBob, kBob + L"9"}) {
            ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kProfileList + sid).c_str());
        }
        std::error_code ignored;
        for (const std::wstring& folder : kFolders) {
            if (folder != kFolders[2] || !defaultExisted) {
                std::filesystem::remove_all(std::filesystem::path(folder), ignored);
            }
        }
        ::MoveFileExW((kFolders[2] + L"\\NTUSER.DAT.velmora").c_str(),
                      (kFolders[2] + L"\\NTUSER.DAT").c_str(), MOVEFILE_REPLACE_EXISTING);
        std::filesystem::remove_all(kJournalFolder, ignored);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    }

    static void AddProfile(const std::wstring& sid, const std::wstring& folder) {
        ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, (kProfileList + sid).c_str(), L"ProfileImagePath",
                                    REG_EXPAND_SZ, folder.c_str(),
                                    static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

    // Without Wine's count of started service processes, which the run's commands move on. On Windows, the
    // keys an Essential run for these users touches.
    Testing::PcSnapshot Snapshot(const TargetUserSet& users) {
        std::vector<Testing::SnapshotKey> keys;
        if (!Testing::UnderWine()) {
            const TargetUserSet* const held = engine.Services().targetUsers;
            engine.Services().targetUsers = &users;
            keys = Testing::PlanKeys(PlanProfile(engine.Services(), controller, kEssentialProfile),
                                     [&users](const std::wstring& sid) {
                                         for (const TargetUser& user : users.users) {
                                             if (user.hive == sid) {
                                                 return user.hiveKey;
                                             }
                                         }
                                         return std::wstring();
                                     });
            engine.Services().targetUsers = held;
        }
        Testing::PcSnapshot snapshot = Testing::TakePcSnapshot({}, {}, keys);
        std::erase_if(snapshot.registry, [](const std::wstring& entry) {
            return entry.find(L"\\ServiceCurrent]") != std::wstring::npos;
        });
        return snapshot;
    }

    void RestoreExactly(const RunReport& run, const Testing::PcSnapshot& before, const TargetUserSet& users) {
        const RestoreResult restored = RestoreJournal(engine.Services(), run.journalPath);
        EXPECT_FALSE(restored.refused) << restored.message;
        for (const auto& failure : restored.failed) {
            ADD_FAILURE() << "not restored: " << failure.description << " (" << failure.reason << ")";
        }
        EXPECT_EQ(Testing::Differences(before, Snapshot(users)), L"");
        std::wstring error;
        const auto text = engine.Services().journals.ReadTrusted(restored.journalPath, error);
        EXPECT_TRUE(text && ParseJournal(*text, error))
            << "the restore's own journal cannot be read: " << error;
    }

    // The hives below HKEY_USERS in which anything differs between the two snapshots, apart from the
    // common table's own rows for .DEFAULT's keyboard (with the key Control Panel they create).
    static std::set<std::wstring> ChangedHives(const Testing::PcSnapshot& a, const Testing::PcSnapshot& b) {
        std::set<std::wstring> hives;
        const std::wstring prefix = L"[HKEY_USERS\\";
        for (const auto* from : {&a, &b}) {
            const auto* other = from == &a ? &b : &a;
            for (const std::wstring& entry : from->registry) {
                if (entry.starts_with(prefix) && !other->registry.contains(entry) &&
                    !entry.starts_with(L"[HKEY_USERS\\.Default\\Control Panel") &&
                    !entry.starts_with(L"[HKEY_USERS\\.DEFAULT\\Control Panel")) {
                    const std::wstring rest = entry.substr(prefix.size());
                    hives.insert(rest.substr(0, rest.find_first_of(L"\\]")));
                }
            }
        }
        return hives;
    }

    static std::map<std::wstring, TargetUser> BySid(const TargetUserSet& set) {
        std::map<std::wstring, TargetUser> users;
        for (const TargetUser& user : set.users) {
            users[user.hive] = user;
        }
        return users;
    }

    Testing::ServiceStartSnapshot wineServices; // a run retunes the prefix's own services
    RunController controller;
    std::vector<RegistryDwordSetting> userRows; // the common table's per-user rows
    std::unique_ptr<LocalSettingsValues> settings;
    std::optional<std::wstring> interactive;
    WindowsEngine engine;
    bool defaultExisted = false;
    const std::wstring processSid = GetCurrentUserSid();
};

TEST_F(EngineUsers, AllUsersGetEveryPerUserRowInTheirOwnHiveAndARestoreBringsEachBack) {
    TargetUserSet users = ResolveTargetUsers(engine.UserHives(), {TargetUsersKind::All, {}});
    // Wine's own user is in the profile list too; its service accounts are not users. Windows has the
    // accounts of its own beside them.
    if (Testing::UnderWine()) {
        ASSERT_EQ(users.users.size(), 3u);
    } else {
        ASSERT_GE(users.users.size(), 3u);
    }
    auto bySid = BySid(users);
    EXPECT_EQ(bySid[processSid].source, HiveSource::CurrentUser);
    const std::wstring annKey = bySid[kAnn].hiveKey;
    const std::wstring bobKey = bySid[kBob].hiveKey;
    for (const TargetUser& loaded : {bySid[kAnn], bySid[kBob]}) {
        EXPECT_EQ(loaded.source, HiveSource::LoadedByUs) << loaded.skipReason;
    }
    EXPECT_THAT(users.TargetAccounts(),
                HasSubstr(Testing::UnderWine() ? L"velmora-ann, velmora-bob" : L"velmora-bob"));
    std::set<std::wstring> reachedHives; // every hive the run may change: the users' own, nothing else
    for (const TargetUser& user : users.Reachable()) {
        reachedHives.insert(user.source == HiveSource::CurrentUser ? processSid : user.hiveKey);
    }

    const Testing::PcSnapshot before = Snapshot(users);
    engine.Services().targetUsers = &users;
    const RunReport run = RunProfile(engine.Services(), controller, kEssentialProfile);
    EXPECT_EQ(run.outcome, RunOutcome::Succeeded) << run.message;
    ASSERT_EQ(run.users.size(), users.users.size());
    for (const UserRunOutcome& user : run.users) {
        EXPECT_EQ(user.failedWrites, 0u) << user.user.account;
    }
    for (const std::wstring& hive : {annKey, bobKey}) {
        for (const auto& row : userRows) {
            EXPECT_EQ(Testing::ReadDword(HKEY_USERS, hive + L"\\" + KeyOf(row), ValueOf(row).c_str()),
                      row.data)
                << hive << L"\\" << row.spec;
        }
    }
    EXPECT_EQ(ChangedHives(before, Snapshot(users)), reachedHives) << "per-user rows reached another hive";
    EXPECT_TRUE(reachedHives.contains(annKey) && reachedHives.contains(bobKey));

    // A recorded value whose key is gone by the restore: the key is made again, and the restore's journal
    // names it as the journal names every per-user key, not by the hive it was loaded under.
    ASSERT_EQ(::RegDeleteTreeW(HKEY_USERS, (annKey + L"\\" + KeyOf(userRows[0])).c_str()), ERROR_SUCCESS);
    RestoreExactly(run, before, users);
    engine.Services().targetUsers = nullptr;
    users = TargetUserSet();
    EXPECT_EQ(OwnLoadedHives(), std::vector<std::wstring>{}) << "a loaded hive was left behind";

    // Without the users held, a restore loads each hive from its profile and unloads it again.
    const RestoreResult again = RestoreJournal(engine.Services(), run.journalPath);
    EXPECT_TRUE(again.failed.empty()) << again.message;
    EXPECT_GE(again.restored.size(), 3 * userRows.size());
    EXPECT_EQ(OwnLoadedHives(), std::vector<std::wstring>{});
}

// A hive a Velmora process loaded and left behind when it was ended from outside is unloaded at the next
// start; one whose process still runs (this one) is left alone.
TEST_F(EngineUsers, AHiveLeftLoadedByAnEndedVelmoraProcessIsUnloadedAtTheNextStart) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::wstring command = L"cmd.exe /c exit";
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                 nullptr, &startup, &started));
    const UniqueKernelHandle process(started.hProcess);
    const UniqueKernelHandle thread(started.hThread);
    ::WaitForSingleObject(process.Get(), INFINITE);
    const std::wstring leftBehind = L"Velmora-" + std::to_wstring(started.dwProcessId) + L"-1";
    const std::wstring stillOurs = L"Velmora-" + std::to_wstring(::GetCurrentProcessId()) + L"-900";
    {
        const EnabledPrivileges privileges{SE_BACKUP_NAME, SE_RESTORE_NAME};
        ASSERT_EQ(::RegLoadKeyW(HKEY_USERS, leftBehind.c_str(), (kFolders[0] + L"\\NTUSER.DAT").c_str()), 0);
        ASSERT_EQ(::RegLoadKeyW(HKEY_USERS, stillOurs.c_str(), (kFolders[1] + L"\\NTUSER.DAT").c_str()), 0);
    }
    UnloadAbandonedHives();
    EXPECT_FALSE(HiveKeyExists(leftBehind));
    EXPECT_TRUE(HiveKeyExists(stillOurs));
    EXPECT_EQ(LoadedUserHive(stillOurs).Unload(), ERROR_SUCCESS);
}

TEST_F(EngineUsers, EachSelectionReachesItsHivesAndWhatCannotBeReachedIsSkippedWithTheReason) {
    AddProfile(kBob + L"9", L"C:\\users\\..\\windows");
    {
        // Bob's hive file is held open by another program.
        const UniqueFileHandle held(::CreateFileW((kFolders[1] + L"\\NTUSER.DAT").c_str(), GENERIC_READ, 0,
                                                  nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        const TargetUserSet all = ResolveTargetUsers(engine.UserHives(), {TargetUsersKind::All, {}});
        auto bySid = BySid(all);
        if (Testing::UnderWine()) {
            ASSERT_EQ(bySid.size(), 4u);
        } else {
            ASSERT_GE(bySid.size(), 4u); // and the accounts of Windows' own
        }
        EXPECT_EQ(bySid[kAnn].source, HiveSource::LoadedByUs);
        EXPECT_EQ(bySid[kBob].source, HiveSource::Skipped);
        EXPECT_THAT(bySid[kBob].skipReason, HasSubstr(L"in use or locked (error 32)"));
        EXPECT_THAT(bySid[kBob + L"9"].skipReason, HasSubstr(L"is not a plain local folder"));
    }
    struct Case {
        TargetUsersKind kind;
        std::wstring account;
        std::wstring error; // empty: one user, reached as `source`
        HiveSource source;
        std::wstring hive;
    };
    const std::vector<Case> cases = {
        {TargetUsersKind::Current, L"", L"", HiveSource::CurrentUser, processSid},
        {TargetUsersKind::Account, processSid, L"", HiveSource::CurrentUser, processSid},
        {TargetUsersKind::Account, kBob, L"", HiveSource::LoadedByUs, kBob},
        {TargetUsersKind::Default, L"", L"", HiveSource::LoadedByUs, kDefaultProfileHive},
        {TargetUsersKind::Account, L"S-1-5-18", L"is not the SID of a user account", HiveSource::Skipped,
         L""},
        {TargetUsersKind::Account, L"SYSTEM", L"is a service or built-in account", HiveSource::Skipped, L""},
        {TargetUsersKind::Account, L"velmora-nobody", L"There is no account named", HiveSource::Skipped, L""},
    };
    for (const Case& c : cases) {
        const TargetUserSet set = ResolveTargetUsers(engine.UserHives(), {c.kind, c.account});
        if (!c.error.empty()) {
            EXPECT_THAT(set.error, HasSubstr(c.error)) << c.account;
            EXPECT_TRUE(set.users.empty());
            continue;
        }
        ASSERT_EQ(set.users.size(), 1u) << c.account;
        EXPECT_EQ(set.users[0].source, c.source) << set.users[0].skipReason;
        EXPECT_EQ(set.users[0].hive, c.hive);
        if (c.source == HiveSource::LoadedByUs) {
            EXPECT_TRUE(HiveKeyExists(set.users[0].hiveKey));
        }
    }
    WindowsUserHives asSystem({{}, [] { return std::wstring(kLocalSystemSid); }});
    EXPECT_TRUE(CallerIsSystem(asSystem));
    EXPECT_FALSE(CallerIsSystem(engine.UserHives()));
}

TEST_F(EngineUsers, TheWindowWritesPerUserRowsToTheUserSignedInAtTheDesktopNotToTheElevatedOne) {
    // Same user, or none to be found: the process's own hive, as always.
    for (const auto& answer : {std::optional<std::wstring>(processSid), std::optional<std::wstring>()}) {
        interactive = answer;
        const TargetUserSet same = ResolveWindowTargetUsers(engine.UserHives());
        ASSERT_EQ(same.Reachable().size(), 1u);
        EXPECT_EQ(same.Reachable()[0].source, HiveSource::CurrentUser);
        EXPECT_EQ(same.TargetAccounts(), L"");
    }
    // Ann is signed in at the desktop: Windows holds her hive below HKEY_USERS\<SID>.
    std::uint32_t error = 0;
    const LoadedUserHive signedIn = LoadUserHive(kFolders[0] + L"\\NTUSER.DAT", kAnn, error);
    ASSERT_EQ(signedIn.KeyName(), kAnn) << error;
    interactive = kAnn;
    const TargetUserSet windowUsers = ResolveWindowTargetUsers(engine.UserHives());
    engine.Services().targetUsers = &windowUsers;
    EXPECT_EQ(PlanProfile(engine.Services(), controller, kEssentialProfile).targetAccount, L"velmora-ann");

    const RegistryDwordSetting& row = userRows[1];
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, KeyOf(row).c_str(), ValueOf(row).c_str(), REG_DWORD,
                                "\x07\0\0\0", 4),
              ERROR_SUCCESS);
    const Testing::PcSnapshot before = Snapshot(windowUsers);
    const RunReport run = RunProfile(engine.Services(), controller, kEssentialProfile);
    EXPECT_EQ(run.outcome, RunOutcome::Succeeded) << run.message;
    EXPECT_EQ(Testing::ReadDword(HKEY_USERS, kAnn + L"\\" + KeyOf(row), ValueOf(row).c_str()), row.data);
    EXPECT_EQ(Testing::ReadDword(HKEY_CURRENT_USER, KeyOf(row), ValueOf(row).c_str()), 7u)
        << "a per-user row reached the elevated account's hive";
    std::set<std::wstring> changed = ChangedHives(before, Snapshot(windowUsers));
    changed.erase(processSid); // the settings record of the run
    EXPECT_EQ(changed, std::set<std::wstring>{kAnn}) << Testing::Differences(before, Snapshot(windowUsers));
    RestoreExactly(run, before, windowUsers);
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, KeyOf(row).c_str(), ValueOf(row).c_str());
}

} // namespace
