#include "engine/target_users.h"

#include "common/diagnostics.h"
#include "system/registry_spec.h"

#include <algorithm>
#include <cwctype>

namespace Velmora {
namespace {

constexpr std::uint32_t kSharingViolation = 32;
constexpr std::uint32_t kLockViolation = 33;
constexpr std::uint32_t kBadPathname = 161;
constexpr std::size_t kMaxProfileFolderChars = 240;

bool HasPart(std::wstring_view path, std::wstring_view part) {
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(L'\\', start), path.size());
        if (path.substr(start, end - start) == part) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// "X:\..." on a local drive, with no empty, "." or ".." part, no other separator and no control
// character: what the profile list holds for a real profile.
bool PlainLocalFolder(std::wstring_view folder) {
    if (folder.size() < 4 || folder.size() > kMaxProfileFolderChars || !std::iswalpha(folder[0]) ||
        folder[1] != L':' || folder[2] != L'\\' || folder.back() == L'\\') {
        return false;
    }
    const bool oddCharacter = std::any_of(folder.begin(), folder.end(), [](wchar_t c) {
        return c < 0x20 || c == L'/' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' ||
               c == L'|';
    });
    const std::wstring_view below = folder.substr(3);
    return !oddCharacter && below.find(L':') == std::wstring_view::npos && !HasPart(below, L"") &&
           !HasPart(below, L".") && !HasPart(below, L"..");
}

std::wstring LeafName(const std::wstring& folder) {
    const std::size_t slash = folder.rfind(L'\\');
    return slash == std::wstring::npos ? folder : folder.substr(slash + 1);
}

bool SameSid(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towupper(static_cast<std::wint_t>(x)) ==
                      std::towupper(static_cast<std::wint_t>(y));
           });
}

void Skip(TargetUser& user, std::wstring reason) {
    user.source = HiveSource::Skipped;
    user.hiveKey.clear();
    user.skipReason = std::move(reason);
}

// Loads the user's NTUSER.DAT from the profile folder, or says why not.
void LoadFromProfile(TargetUserSet& set, UserHiveAccess& access, TargetUser& user) {
    if (!PlainLocalFolder(user.profileFolder)) {
        Skip(user, L"its profile folder \"" + user.profileFolder + L"\" is not a plain local folder");
        return;
    }
    const std::wstring file = user.profileFolder + L"\\NTUSER.DAT";
    if (!access.PlainFileExists(file)) {
        Skip(user, L"its hive file " + file + L" is missing or not a plain file");
        return;
    }
    std::wstring keyName;
    std::uint32_t error = 0;
    std::shared_ptr<void> hive = access.LoadHive(file, keyName, error);
    if (!hive) {
        const bool locked = error == kSharingViolation || error == kLockViolation;
        Skip(user, L"its hive file " + file + (locked ? L" is in use or locked" : L" could not be loaded") +
                       L" (error " + std::to_wstring(error) + L")");
        return;
    }
    user.source = HiveSource::LoadedByUs;
    user.hiveKey = std::move(keyName);
    set.Hold(std::move(hive));
}

TargetUser NamedUser(UserHiveAccess& access, const std::wstring& sid, const std::wstring& folder) {
    TargetUser user;
    user.hive = sid;
    user.profileFolder = folder;
    user.account = access.AccountName(sid);
    if (user.account.empty()) {
        user.account = folder.empty() ? sid : LeafName(folder);
    }
    return user;
}

// One user by SID: the process's own hive, a hive Windows has loaded, or the profile's NTUSER.DAT.
void AddUser(TargetUserSet& set, UserHiveAccess& access, const std::wstring& processSid,
             const std::wstring& sid, const std::vector<UserHiveAccess::Profile>& profiles) {
    const auto profile = std::find_if(profiles.begin(), profiles.end(),
                                      [&](const UserHiveAccess::Profile& p) { return SameSid(p.sid, sid); });
    TargetUser user = NamedUser(access, sid, profile == profiles.end() ? std::wstring() : profile->folder);
    if (SameSid(sid, processSid)) {
        user.source = HiveSource::CurrentUser;
    } else if (access.HiveLoaded(sid)) {
        user.source = HiveSource::AlreadyLoaded;
        user.hiveKey = sid;
    } else if (!IsProfileUserSid(sid)) {
        Skip(user, L"it is not a user with a profile");
    } else if (profile == profiles.end()) {
        Skip(user, L"it has no profile on this PC");
    } else {
        LoadFromProfile(set, access, user);
    }
    set.users.push_back(std::move(user));
}

void AddDefaultProfile(TargetUserSet& set, UserHiveAccess& access) {
    TargetUser user;
    user.hive = kDefaultProfileHive;
    user.account = L"Default profile";
    user.profileFolder = access.DefaultProfileFolder();
    if (user.profileFolder.empty()) {
        Skip(user, L"the Default profile's folder is not known");
    } else {
        LoadFromProfile(set, access, user);
    }
    set.users.push_back(std::move(user));
}

bool LooksLikeSid(std::wstring_view text) {
    return text.size() > 4 && (text.starts_with(L"S-1-") || text.starts_with(L"s-1-"));
}

} // namespace

TargetUserSet::~TargetUserSet() {
    UnloadHives();
}

void TargetUserSet::UnloadHives() {
    while (!loaded_.empty()) {
        loaded_.pop_back();
    }
}

std::vector<TargetUser> TargetUserSet::Reachable() const {
    std::vector<TargetUser> reachable;
    std::copy_if(users.begin(), users.end(), std::back_inserter(reachable),
                 [](const TargetUser& user) { return user.Reachable(); });
    return reachable;
}

std::wstring TargetUserSet::TargetAccounts() const {
    const std::vector<TargetUser> reachable = Reachable();
    if (reachable.size() == 1 && reachable.front().source == HiveSource::CurrentUser) {
        return {};
    }
    std::wstring accounts;
    for (const TargetUser& user : reachable) {
        accounts += (accounts.empty() ? L"" : L", ") + user.account;
    }
    return accounts;
}

void TargetUserSet::Absorb(TargetUserSet&& other) {
    for (TargetUser& user : other.users) {
        if (std::none_of(users.begin(), users.end(),
                         [&](const TargetUser& held) { return SameSid(held.hive, user.hive); })) {
            users.push_back(std::move(user));
        }
    }
    loaded_.insert(loaded_.end(), std::make_move_iterator(other.loaded_.begin()),
                   std::make_move_iterator(other.loaded_.end()));
    other.users.clear();
    other.loaded_.clear();
}

bool IsProfileUserSid(std::wstring_view sid) {
    if (!sid.starts_with(L"S-1-5-21-") && !sid.starts_with(L"S-1-12-1-")) {
        return false;
    }
    bool lastWasDash = false;
    for (const wchar_t c : sid.substr(4)) {
        if (c != L'-' && (c < L'0' || c > L'9')) {
            return false;
        }
        if (c == L'-' && lastWasDash) {
            return false;
        }
        lastWasDash = c == L'-';
    }
    return !lastWasDash && sid.size() <= 184;
}

bool CallerIsSystem(UserHiveAccess& access) {
    return access.ProcessUserSid() == kLocalSystemSid;
}

TargetUser CurrentUserTarget(const std::wstring& processSid) {
    TargetUser user;
    user.hive = processSid;
    user.account = processSid;
    user.source = HiveSource::CurrentUser;
    return user;
}

TargetUserSet ResolveTargetUsers(UserHiveAccess& access, const TargetUsers& selection) {
    TargetUserSet set;
    const std::wstring processSid = access.ProcessUserSid();
    switch (selection.kind) {
    case TargetUsersKind::Current:
        set.users.push_back(NamedUser(access, processSid, {}));
        set.users.back().source = HiveSource::CurrentUser;
        break;
    case TargetUsersKind::All: {
        const auto profiles = access.Profiles();
        for (const auto& profile : profiles) {
            // Service accounts, and names left over by Windows (".bak" copies) are not users.
            if (IsProfileUserSid(profile.sid)) {
                AddUser(set, access, processSid, profile.sid, profiles);
            }
        }
        break;
    }
    case TargetUsersKind::Default:
        AddDefaultProfile(set, access);
        break;
    case TargetUsersKind::Account: {
        std::optional<std::wstring> sid;
        if (LooksLikeSid(selection.account)) {
            if (!IsProfileUserSid(selection.account)) {
                set.error = L"\"" + selection.account + L"\" is not the SID of a user account.";
                break;
            }
            sid = selection.account;
        } else if (sid = access.SidOfAccount(selection.account); !sid) {
            set.error = L"There is no account named \"" + selection.account + L"\".";
            break;
        } else if (!IsProfileUserSid(*sid)) {
            set.error = L"\"" + selection.account + L"\" is a service or built-in account, not a user.";
            break;
        }
        AddUser(set, access, processSid, *sid, access.Profiles());
        break;
    }
    }
    return set;
}

TargetUserSet ResolveTargetUserList(UserHiveAccess& access, const std::vector<TargetUsers>& selections) {
    TargetUserSet set;
    for (const TargetUsers& selection : selections) {
        TargetUserSet part = ResolveTargetUsers(access, selection);
        if (!part.error.empty()) {
            return part;
        }
        set.Absorb(std::move(part));
    }
    return set;
}

TargetUserSet ResolveHive(UserHiveAccess& access, const std::wstring& hive) {
    TargetUserSet set;
    if (hive == kDefaultProfileHive) {
        AddDefaultProfile(set, access);
    } else {
        AddUser(set, access, access.ProcessUserSid(), hive, access.Profiles());
    }
    return set;
}

TargetUserSet ResolveWindowTargetUsers(UserHiveAccess& access) {
    const std::optional<std::wstring> interactive = access.InteractiveUserSid();
    if (!interactive) {
        Diagnose(L"No user signed in at this desktop could be found; per-user settings go to the hive of the "
                 L"account Velmora runs as");
        return ResolveTargetUsers(access, {});
    }
    if (SameSid(*interactive, access.ProcessUserSid())) {
        return ResolveTargetUsers(access, {});
    }
    // Only a hive Windows holds for the signed-in user: the window keeps its target for the whole process.
    TargetUserSet users;
    if (access.HiveLoaded(*interactive)) {
        users = ResolveTargetUsers(access, {TargetUsersKind::Account, *interactive});
    } else {
        users.error = L"its hive is not loaded";
    }
    if (users.Reachable().empty()) {
        Diagnose(
            L"The hive of " + *interactive + L", the user signed in at this desktop, cannot be reached (" +
            (users.error.empty() && !users.users.empty() ? users.users.front().skipReason : users.error) +
            L"); per-user settings go to the hive of the account Velmora runs as");
        return ResolveTargetUsers(access, {});
    }
    Diagnose(L"Velmora runs as another account than the user signed in at this desktop; per-user settings go "
             L"to the hive of " +
             users.users.front().account + L" (" + *interactive + L")");
    return users;
}

std::optional<HivePlace> PlaceInHive(const TargetUser& target, const std::wstring& keyPath) {
    if (keyPath.empty() || keyPath.front() == L'\\') {
        return std::nullopt;
    }
    if (target.source == HiveSource::CurrentUser) {
        return HivePlace{1, keyPath};
    }
    if (target.hiveKey.empty()) {
        return std::nullopt;
    }
    return HivePlace{3, target.hiveKey + L"\\" + keyPath};
}

bool IsUserClassesPath(std::wstring_view keyPath) {
    constexpr std::wstring_view kClasses = L"software\\classes";
    if (keyPath.size() < kClasses.size() ||
        (keyPath.size() > kClasses.size() && keyPath[kClasses.size()] != L'\\' &&
         keyPath[kClasses.size()] != L':')) {
        return false;
    }
    return std::equal(kClasses.begin(), kClasses.end(), keyPath.begin(), [](wchar_t a, wchar_t b) {
        return a == static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(b)));
    });
}

// ---- PerUserFanOut ----

PerUserFanOut::PerUserFanOut(SystemOperations& inner, HiveRoute& route)
    : ForwardingSystemOperations(inner), route_(route), failedWrites_(route.Targets().size(), 0),
      skippedRows_(route.Targets().size(), 0) {}

template <typename Call>
bool PerUserFanOut::EachTarget(const std::wstring& keyPath, Call call, bool countFailures) {
    // No user to reach (--users all on a PC without profiles), or a class key of a user who is not signed
    // in: the row is skipped for that user, which is no failure of the run.
    const bool classes = IsUserClassesPath(keyPath);
    bool all = true;
    for (std::size_t i = 0; i < route_.Targets().size(); ++i) {
        if (classes && !route_.Targets()[i].ReachesClasses()) {
            ++skippedRows_[i];
            continue;
        }
        route_.Select(i);
        if (!call(i)) {
            all = false;
            failedWrites_[i] += countFailures ? 1 : 0;
        }
    }
    route_.Select(0);
    return all;
}

bool PerUserFanOut::SetRegistryDword(RegistryDwordSetting setting) {
    if (setting.root != 1) {
        return Inner().SetRegistryDword(std::move(setting));
    }
    return EachTarget(
        setting.spec, [&](std::size_t) { return Inner().SetRegistryDword(setting); }, true);
}

bool PerUserFanOut::SetRegistryString(RegistryStringSetting setting) {
    if (setting.root != 1) {
        return Inner().SetRegistryString(std::move(setting));
    }
    return EachTarget(setting.spec, [&](std::size_t) { return Inner().SetRegistryString(setting); });
}

bool PerUserFanOut::MergeRegistryListEntry(RegistryListEntry entry) {
    if (entry.root != 1) {
        return Inner().MergeRegistryListEntry(std::move(entry));
    }
    return EachTarget(entry.spec, [&](std::size_t) { return Inner().MergeRegistryListEntry(entry); });
}

bool PerUserFanOut::DeleteRegistryEntry(RegistryDwordSetting setting) {
    if (setting.root != 1) {
        return Inner().DeleteRegistryEntry(std::move(setting));
    }
    return EachTarget(setting.spec, [&](std::size_t) { return Inner().DeleteRegistryEntry(setting); });
}

bool PerUserFanOut::DeleteRegistryTree(RegistryDwordSetting setting) {
    if (setting.root != 1) {
        return Inner().DeleteRegistryTree(std::move(setting));
    }
    return EachTarget(setting.spec, [&](std::size_t) { return Inner().DeleteRegistryTree(setting); });
}

std::wstring PerUserFanOut::GetCurrentUserSid() {
    if (route_.Targets().empty()) {
        return {};
    }
    route_.Select(0);
    return Inner().GetCurrentUserSid();
}

bool PerUserFanOut::SetAppOffloadingDisabled(const std::wstring& userSid, bool disable) {
    // The pipeline passes the first target's SID; every further target has an override of its own.
    return EachTarget({}, [&](std::size_t index) {
        return Inner().SetAppOffloadingDisabled(index == 0 ? userSid : Inner().GetCurrentUserSid(), disable);
    });
}

// ---- RoutedSystemOperations ----

namespace {

// Moves a root-1 record into the selected target's hive (other roots, and root 1 of this process, stay
// as they are); false when it cannot be placed there, and then nothing may be called.
template <typename Record>
bool Reroute(const HiveRoute& route, Record& record, const std::optional<RegistryTarget>& split) {
    const TargetUser* target = route.Current();
    if (record.root != 1 || target == nullptr || target->source == HiveSource::CurrentUser) {
        return true;
    }
    if (!split || !PlaceInHive(*target, split->keyPath)) {
        return false;
    }
    record.root = 3;
    record.spec = target->hiveKey + L"\\" + record.spec;
    return true;
}

} // namespace

bool RoutedSystemOperations::SetRegistryDword(RegistryDwordSetting setting) {
    return Reroute(route_, setting, SplitSpecForDword(setting.spec)) &&
           Inner().SetRegistryDword(std::move(setting));
}

bool RoutedSystemOperations::SetRegistryString(RegistryStringSetting setting) {
    return Reroute(route_, setting, SplitSpecForString(setting.spec)) &&
           Inner().SetRegistryString(std::move(setting));
}

bool RoutedSystemOperations::MergeRegistryListEntry(RegistryListEntry entry) {
    return Reroute(route_, entry, SplitSpecForDword(entry.spec)) &&
           Inner().MergeRegistryListEntry(std::move(entry));
}

bool RoutedSystemOperations::DeleteRegistryEntry(RegistryDwordSetting setting) {
    return Reroute(route_, setting, SplitSpecForDelete(setting.spec)) &&
           Inner().DeleteRegistryEntry(std::move(setting));
}

bool RoutedSystemOperations::DeleteRegistryTree(RegistryDwordSetting setting) {
    return Reroute(route_, setting, RegistryTarget{setting.spec, {}}) &&
           Inner().DeleteRegistryTree(std::move(setting));
}

std::wstring RoutedSystemOperations::GetCurrentUserSid() {
    const TargetUser* target = route_.Current();
    return target == nullptr || target->source == HiveSource::CurrentUser ? Inner().GetCurrentUserSid()
                                                                          : target->Sid();
}

// ---- RoutedStateReader ----

namespace {

std::optional<HivePlace> Place(const HiveRoute& route, RegistryRoot root, const std::wstring& keyPath) {
    const TargetUser* target = route.Current();
    if (root != 1 || target == nullptr) {
        return HivePlace{root, keyPath};
    }
    return PlaceInHive(*target, keyPath);
}

} // namespace

RegistryValueState RoutedStateReader::ReadRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                                        const std::wstring& valueName) {
    const auto place = Place(route_, root, keyPath);
    return place ? real_.ReadRegistryValue(place->root, place->keyPath, valueName)
                 : RegistryValueState{Presence::Unreadable, 0, {}, kBadPathname};
}

Presence RoutedStateReader::ReadRegistryKeyPresence(RegistryRoot root, const std::wstring& keyPath) {
    const auto place = Place(route_, root, keyPath);
    return place ? real_.ReadRegistryKeyPresence(place->root, place->keyPath) : Presence::Unreadable;
}

RegistryKeyState RoutedStateReader::ReadRegistryKey(RegistryRoot root, const std::wstring& keyPath) {
    const auto place = Place(route_, root, keyPath);
    if (!place) {
        RegistryKeyState state;
        state.presence = Presence::Unreadable;
        return state;
    }
    return real_.ReadRegistryKey(place->root, place->keyPath);
}

std::wstring RoutedStateReader::CurrentUserSid() {
    const TargetUser* target = route_.Current();
    return target == nullptr ? real_.CurrentUserSid() : target->hive;
}

} // namespace Velmora
