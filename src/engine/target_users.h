#pragma once

// The users whose hives a run's per-user items reach. A run or plan names them with a `TargetUsers`
// selection; `ResolveTargetUsers` turns it into concrete hives (the process's own HKEY_CURRENT_USER, a
// hive Windows has loaded below HKEY_USERS, or one loaded from its NTUSER.DAT for as long as the
// resolution lives) and says which it skipped and why. Profile list entries, account names and SIDs are
// untrusted: each is checked as it is used.
//
// During a run, `PerUserFanOut` hands every per-user call (the HKEY_CURRENT_USER records and the app
// offloading override) to each reachable target in turn, in the pipeline's one order; the routed system
// and reader below the journal send root-1 records and reads to the selected target's hive.

#include "engine/state_reader.h"
#include "tweaks/system_operations.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Velmora {

// The hive name journals and plans use for the Default profile, which has no SID.
inline constexpr wchar_t kDefaultProfileHive[] = L"Default";
inline constexpr wchar_t kLocalSystemSid[] = L"S-1-5-18";

enum class TargetUsersKind : std::uint8_t {
    Current, // the process's own hive (HKEY_CURRENT_USER)
    All,     // every real user profile of the profile list
    Default, // the Default profile, which accounts created later start from
    Account, // one account, by name ("DOMAIN\name", "name") or SID
};

struct TargetUsers {
    TargetUsersKind kind = TargetUsersKind::Current;
    std::wstring account; // Account only
};

enum class HiveSource : std::uint8_t {
    CurrentUser,   // HKEY_CURRENT_USER of this process
    AlreadyLoaded, // HKEY_USERS\<SID>, loaded by Windows (the user is signed in)
    LoadedByUs,    // loaded from NTUSER.DAT under a name of our own, unloaded when the set goes
    Skipped,       // not reached; `skipReason` says why
};

struct TargetUser {
    std::wstring hive;    // the user's SID, or kDefaultProfileHive
    std::wstring account; // for people: "DOMAIN\name", else the profile folder's name
    std::wstring profileFolder;
    HiveSource source = HiveSource::Skipped;
    std::wstring hiveKey; // below HKEY_USERS; empty for CurrentUser and Skipped
    std::wstring skipReason;

    // The SID the app offloading override is kept under; empty for the Default profile.
    [[nodiscard]] std::wstring Sid() const { return hive == kDefaultProfileHive ? std::wstring() : hive; }
    [[nodiscard]] bool Reachable() const { return source != HiveSource::Skipped; }
    // A user's class keys live in a hive of their own (UsrClass.dat), which Windows links below
    // Software\Classes only while the user is signed in: in a hive loaded from NTUSER.DAT that key has
    // no effect, so nothing is written or read there.
    [[nodiscard]] bool ReachesClasses() const {
        return source == HiveSource::CurrentUser || source == HiveSource::AlreadyLoaded;
    }
};

// Whether a per-user key path lies below Software\Classes, the user's class keys.
[[nodiscard]] bool IsUserClassesPath(std::wstring_view keyPath);

// What the engine needs of the platform to find and reach users' hives. The Windows build reads the
// profile list and loads hives; tests may replace single answers (the interactive user, the caller).
class UserHiveAccess {
public:
    virtual ~UserHiveAccess() = default;
    [[nodiscard]] virtual std::wstring ProcessUserSid() = 0;
    // The user signed in at this desktop (the owner of the shell's process); nullopt when unknown.
    [[nodiscard]] virtual std::optional<std::wstring> InteractiveUserSid() = 0;
    struct Profile {
        std::wstring sid;
        std::wstring folder;
    };
    [[nodiscard]] virtual std::vector<Profile> Profiles() = 0;
    [[nodiscard]] virtual std::wstring DefaultProfileFolder() = 0;
    [[nodiscard]] virtual std::optional<std::wstring> SidOfAccount(const std::wstring& name) = 0;
    [[nodiscard]] virtual std::wstring AccountName(const std::wstring& sid) = 0;
    [[nodiscard]] virtual bool HiveLoaded(const std::wstring& sid) = 0;
    // Whether the file is a plain file (not a folder, not a link) that exists.
    [[nodiscard]] virtual bool PlainFileExists(const std::wstring& path) = 0;
    // Loads the hive file under a new name below HKEY_USERS; the returned owner unloads it. Null with the
    // Win32 error in `error` when it cannot be loaded (in use, locked, damaged).
    [[nodiscard]] virtual std::shared_ptr<void> LoadHive(const std::wstring& file, std::wstring& keyName,
                                                         std::uint32_t& error) = 0;
};

// The concrete users of a selection. Holds the hives it loaded and unloads them when it goes, so it
// must outlive every run, plan and restore that uses it.
class TargetUserSet {
public:
    TargetUserSet() = default;
    TargetUserSet(TargetUserSet&&) noexcept = default;
    TargetUserSet& operator=(TargetUserSet&&) noexcept = default;
    ~TargetUserSet();

    std::vector<TargetUser> users; // in the order found, skipped ones included
    std::wstring error;            // the selection itself failed (an unknown account): no user at all

    [[nodiscard]] std::vector<TargetUser> Reachable() const;
    // The accounts a window names ("Changes for the account …"): empty when the only target is the
    // process's own hive.
    [[nodiscard]] std::wstring TargetAccounts() const;
    void Hold(std::shared_ptr<void> loadedHive) { loaded_.push_back(std::move(loadedHive)); }
    // Takes the users of `other` that this set does not hold yet, and the hives it loaded.
    void Absorb(TargetUserSet&& other);
    // Unloads the hives it loaded, newest first; the users stay as they were found.
    void UnloadHives();

private:
    std::vector<std::shared_ptr<void>> loaded_; // unloaded in reverse order of loading
};

[[nodiscard]] TargetUserSet ResolveTargetUsers(UserHiveAccess& access, const TargetUsers& selection);

// Several selections as one set ("all" and "default"): each hive once, where it is first found; the
// first selection that fails fails the whole.
[[nodiscard]] TargetUserSet ResolveTargetUserList(UserHiveAccess& access,
                                                  const std::vector<TargetUsers>& selections);

// One user by SID (or the Default profile), as a restore needs it for a journal's per-user items.
[[nodiscard]] TargetUserSet ResolveHive(UserHiveAccess& access, const std::wstring& hive);

// A SID of a real person's profile: a local or domain account (S-1-5-21-…) or an Azure AD one
// (S-1-12-1-…); never a service account.
[[nodiscard]] bool IsProfileUserSid(std::wstring_view sid);

// Whether this process runs as LocalSystem (a fleet tool's script).
[[nodiscard]] bool CallerIsSystem(UserHiveAccess& access);

// Whose hive the window's per-user rows go to: the user signed in at the desktop when that is not the
// elevated account; the process's own hive when they are the same, or when no such user can be found
// or reached (logged).
[[nodiscard]] TargetUserSet ResolveWindowTargetUsers(UserHiveAccess& access);

// The one user a run targets when no selection is made: HKEY_CURRENT_USER of the process.
[[nodiscard]] TargetUser CurrentUserTarget(const std::wstring& processSid);

// ---- Routing during a run or plan ----

// The target the per-user call under way reaches; shared by the fan-out and the routed parts.
class HiveRoute {
public:
    explicit HiveRoute(std::vector<TargetUser> targets) : targets_(std::move(targets)) {}
    [[nodiscard]] const std::vector<TargetUser>& Targets() const { return targets_; }
    [[nodiscard]] const TargetUser* Current() const {
        return current_ < targets_.size() ? &targets_[current_] : nullptr;
    }
    void Select(std::size_t index) { current_ = index; }

private:
    std::vector<TargetUser> targets_;
    std::size_t current_ = 0;
};

// Above the journal: every per-user call goes to each target in turn; everything else once. A per-user
// write succeeds when it succeeded for every target, so the pipeline's outcome rule counts a row as
// failed when any target user failed it. With one target this is the pipeline as it always was.
class PerUserFanOut final : public ForwardingSystemOperations {
public:
    PerUserFanOut(SystemOperations& inner, HiveRoute& route);

    bool SetRegistryDword(RegistryDwordSetting setting) override;
    bool SetRegistryString(RegistryStringSetting setting) override;
    bool MergeRegistryListEntry(RegistryListEntry entry) override;
    bool DeleteRegistryEntry(RegistryDwordSetting setting) override;
    bool DeleteRegistryTree(RegistryDwordSetting setting) override;
    std::wstring GetCurrentUserSid() override;
    bool SetAppOffloadingDisabled(const std::wstring& userSid, bool disable) override;

    // Per target, in route order: the per-user DWORD writes that failed, and the per-user rows skipped
    // because they name class keys the target's hive cannot hold.
    [[nodiscard]] const std::vector<std::size_t>& FailedWrites() const { return failedWrites_; }
    [[nodiscard]] const std::vector<std::size_t>& SkippedRows() const { return skippedRows_; }

private:
    template <typename Call>
    bool EachTarget(const std::wstring& keyPath, Call call, bool countFailures = false);

    HiveRoute& route_;
    std::vector<std::size_t> failedWrites_;
    std::vector<std::size_t> skippedRows_;
};

// Below the journal: root-1 records and the current user's SID of the selected target.
class RoutedSystemOperations final : public ForwardingSystemOperations {
public:
    RoutedSystemOperations(SystemOperations& real, const HiveRoute& route)
        : ForwardingSystemOperations(real), route_(route) {}

    bool SetRegistryDword(RegistryDwordSetting setting) override;
    bool SetRegistryString(RegistryStringSetting setting) override;
    bool MergeRegistryListEntry(RegistryListEntry entry) override;
    bool DeleteRegistryEntry(RegistryDwordSetting setting) override;
    bool DeleteRegistryTree(RegistryDwordSetting setting) override;
    std::wstring GetCurrentUserSid() override;

private:
    const HiveRoute& route_;
};

// Beside the journal: root-1 reads of the selected target's hive; CurrentUserSid is that hive's name,
// which the journal and the plan record with every root-1 item.
class RoutedStateReader final : public StateReader {
public:
    RoutedStateReader(StateReader& real, const HiveRoute& route) : real_(real), route_(route) {}

    RegistryValueState ReadRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                         const std::wstring& valueName) override;
    Presence ReadRegistryKeyPresence(RegistryRoot root, const std::wstring& keyPath) override;
    RegistryKeyState ReadRegistryKey(RegistryRoot root, const std::wstring& keyPath) override;
    ServiceState ReadService(const std::wstring& name) override { return real_.ReadService(name); }
    std::vector<std::wstring> PerUserServiceSuffixes() override { return real_.PerUserServiceSuffixes(); }
    TaskState ReadTask(const std::wstring& path) override { return real_.ReadTask(path); }
    std::vector<std::wstring> FindTasks(const std::vector<std::wstring>& names) override {
        return real_.FindTasks(names);
    }
    ProcessorMaximumState ReadProcessorMaximum(const std::wstring& scheme) override {
        return real_.ReadProcessorMaximum(scheme);
    }
    std::optional<std::uint32_t> InstalledMemoryGiB() override { return real_.InstalledMemoryGiB(); }
    std::wstring CurrentUserSid() override;
    ActionFacts SurveyAction(const ActionTarget& action) override { return real_.SurveyAction(action); }
    std::shared_ptr<void> KeepConnections() override { return real_.KeepConnections(); }

private:
    StateReader& real_;
    const HiveRoute& route_;
};

// Where a root-1 key of a target lives for this process: {1, path} in its own hive, {3, "<hive key>\path"}
// in another; nullopt when the path cannot be placed there (empty, or beginning with a backslash).
struct HivePlace {
    RegistryRoot root = 1;
    std::wstring keyPath;
};
[[nodiscard]] std::optional<HivePlace> PlaceInHive(const TargetUser& target, const std::wstring& keyPath);

} // namespace Velmora
