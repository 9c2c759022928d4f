#pragma once

// Test support: what a run may change on the PC, taken independently of the engine's own readers:
// the registry (under Wine the whole hives as reg.exe exports them; on Windows, whose hives change on
// their own all the time, the keys a run touches), the start type the service manager reports for each
// service a run may touch, and whether each listed task is enabled. Two snapshots compare entry by
// entry, so a failure names exactly what differs.

#include "bench/fixtures_win32.h"
#include "common/win32_handles.h"
#include "engine/plan.h"
#include "this_pc.h"
#include "system/app_offloading.h"
#include "system/registry.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <cstring>
#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace Velmora::Testing {

struct PcSnapshot {
    std::set<std::wstring> registry;             // "[key]" and "[key] name=data" of every exported hive
    std::map<std::wstring, std::wstring> others; // "service X" / "task Y" -> what it reports
};

inline std::wstring ServiceManagerStart(const std::wstring& name) {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle service(
        manager ? ::OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG) : nullptr);
    DWORD needed = 0;
    ::QueryServiceConfigW(service.Get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed + sizeof(QUERY_SERVICE_CONFIGW));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!service ||
        !::QueryServiceConfigW(service.Get(), config, static_cast<DWORD>(buffer.size()), &needed)) {
        return L"absent";
    }
    return L"start " + std::to_wstring(config->dwStartType);
}

// Velmora's own record of the applied profile, which every run and restore writes anew (time included),
// and the service manager's counter: not part of the state a run changes and a restore gives back.
inline bool IsBookkeepingKey(const std::wstring& keyLine) {
    std::wstring lower = keyLine;
    for (wchar_t& c : lower) {
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    }
    // Wine's service manager counts every service process it starts here: the PC's own bookkeeping.
    return lower == L"[hkey_local_machine\\software\\velmora]" ||
           lower == L"[hkey_local_machine\\system\\currentcontrolset\\control\\servicecurrent]";
}

// The entries of one exported hive; a value continued over several lines is one entry.
inline void AddExport(const std::wstring& hive, std::set<std::wstring>& entries) {
    const std::wstring file = L"C:\\ProgramData\\velmora-test-" + hive + L".reg";
    const auto exported = Bench::RunToExit(Bench::SystemFolderPath() + L"\\reg.exe",
                                           L"reg.exe export " + hive + L" " + file + L" /y");
    const auto bytes = Bench::ReadWholeFile(file);
    ::DeleteFileW(file.c_str());
    if (exported != 0u || !bytes) {
        entries.insert(L"export of " + hive + L" failed");
        return;
    }
    std::wstring text(bytes->size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes->data(), text.size() * sizeof(wchar_t));
    std::wstring key;
    std::wstring pending;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        end = end == std::wstring::npos ? text.size() : end;
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        pending += line;
        if (!pending.empty() && pending.back() == L'\\') {
            pending.pop_back(); // continued on the next line
            continue;
        }
        if (pending.starts_with(L"[")) {
            key = IsBookkeepingKey(pending) ? L"" : pending;
            if (!key.empty()) {
                entries.insert(key);
            }
        } else if (!pending.empty() && !key.empty()) {
            entries.insert(key + L" " + pending);
        }
        pending.clear();
    }
}

// A registry key the Windows snapshot reads: its values, and with `tree` its subkeys too. `name` is the
// key as the entries spell it, e.g. "HKEY_LOCAL_MACHINE\SOFTWARE\Policies\...".
struct SnapshotKey {
    HKEY root = nullptr;
    std::wstring path;
    std::wstring name;
    bool tree = false;
};

// "[key]" and "[key] name=type:data" (data in hexadecimal) of an existing key, as AddExport's entries.
inline void AddKey(const SnapshotKey& key, std::set<std::wstring>& entries) {
    UniqueRegistryKey handle;
    DWORD subkeys = 0;
    DWORD longestSubkey = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    if (::RegOpenKeyExW(key.root, key.path.c_str(), 0, KEY_READ, handle.Put()) != ERROR_SUCCESS ||
        ::RegQueryInfoKeyW(handle.Get(), nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr,
                           nullptr, &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
        return;
    }
    const std::wstring line = L"[" + key.name + L"]";
    entries.insert(line);
    std::vector<wchar_t> name(std::max(longestName, longestSubkey) + 1);
    std::vector<BYTE> data(longestData + 1);
    for (DWORD i = 0;; ++i) {
        auto nameLength = static_cast<DWORD>(name.size());
        auto dataLength = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        if (::RegEnumValueW(handle.Get(), i, name.data(), &nameLength, nullptr, &type, data.data(),
                            &dataLength) != ERROR_SUCCESS) {
            break;
        }
        std::wstring entry =
            line + L" " + std::wstring(name.data(), nameLength) + L"=" + std::to_wstring(type) + L":";
        for (DWORD b = 0; b < dataLength; ++b) {
            wchar_t hex[3];
            std::swprintf(hex, 3, L"%02x", data[b]);
            entry += hex;
        }
        entries.insert(entry);
    }
    for (DWORD i = 0; key.tree && i < subkeys; ++i) {
        auto nameLength = static_cast<DWORD>(name.size());
        if (::RegEnumKeyExW(handle.Get(), i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS) {
            const std::wstring below(name.data(), nameLength);
            AddKey({key.root, key.path + L"\\" + below, key.name + L"\\" + below, true}, entries);
        }
    }
}

// The keys of a plan's registry items, each once. A per-user item lies in the hive below HKEY_USERS that
// `userHive` names for its user, or in HKEY_CURRENT_USER where it names none; either is spelled as
// "HKEY_USERS\<hive>", as reg.exe exports it.
inline std::vector<SnapshotKey>
PlanKeys(const ProfilePlan& plan,
         const std::function<std::wstring(const std::wstring& hiveSid)>& userHive = {}) {
    static const wchar_t* const kRootNames[] = {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER",
                                                L"HKEY_LOCAL_MACHINE", L"HKEY_USERS"};
    std::vector<SnapshotKey> keys;
    std::set<std::wstring> seen;
    for (const PlanEntry& entry : plan.entries) {
        SnapshotKey key;
        RegistryRoot root = 0;
        std::wstring hiveSid;
        if (const auto* value = std::get_if<RegistryValueTarget>(&entry.target)) {
            root = value->root;
            key.path = value->keyPath;
            hiveSid = value->hiveSid;
        } else if (const auto* whole = std::get_if<RegistryKeyTarget>(&entry.target)) {
            root = whole->root;
            key.path = whole->keyPath;
            key.tree = whole->wholeTree;
            hiveSid = whole->hiveSid;
        } else {
            continue;
        }
        if (root > 3) {
            continue;
        }
        const std::wstring below = key.path;
        key.root = RegistryRootKey(root);
        key.name = std::wstring(kRootNames[root]) + L"\\" + below;
        if (root == 1) {
            const std::wstring hive = userHive ? userHive(hiveSid) : std::wstring();
            if (!hive.empty()) {
                key.root = HKEY_USERS;
                key.path = hive + L"\\" + below;
            }
            key.name = L"HKEY_USERS\\" + (hive.empty() ? GetCurrentUserSid() : hive) + L"\\" + below;
        }
        if (seen.insert(key.name + (key.tree ? L"\\*" : L"")).second) {
            keys.push_back(key);
        }
    }
    return keys;
}

inline PcSnapshot TakePcSnapshot(const std::vector<std::wstring>& services,
                                 const std::vector<std::wstring>& tasks,
                                 const std::vector<SnapshotKey>& keysOnWindows) {
    PcSnapshot snapshot;
    if (UnderWine()) {
        for (const wchar_t* hive : {L"HKLM", L"HKCU", L"HKU"}) {
            AddExport(hive, snapshot.registry);
        }
    } else {
        for (const SnapshotKey& key : keysOnWindows) {
            AddKey(key, snapshot.registry);
        }
    }
    for (const std::wstring& service : services) {
        snapshot.others[L"service " + service] = ServiceManagerStart(service);
    }
    for (const std::wstring& task : tasks) {
        const auto enabled = Bench::TaskEnabledState(task);
        snapshot.others[L"task " + task] = !enabled ? L"absent" : *enabled ? L"enabled" : L"disabled";
    }
    return snapshot;
}

// What differs, one line each ("- " only before, "+ " only after), at most `limit` lines.
inline std::wstring Differences(const PcSnapshot& before, const PcSnapshot& after, std::size_t limit = 40) {
    std::wstring text;
    std::size_t count = 0;
    const auto note = [&](const wchar_t* sign, const std::wstring& line) {
        if (count++ < limit) {
            text += sign + line + L"\n";
        }
    };
    for (const auto& entry : before.registry) {
        if (!after.registry.contains(entry)) {
            note(L"- ", entry);
        }
    }
    for (const auto& entry : after.registry) {
        if (!before.registry.contains(entry)) {
            note(L"+ ", entry);
        }
    }
    for (const auto& [item, state] : before.others) {
        const auto found = after.others.find(item);
        if (found == after.others.end() || found->second != state) {
            note(L"~ ",
                 item + L": " + state + L" -> " + (found == after.others.end() ? L"?" : found->second));
        }
    }
    if (count > limit) {
        text += L"... and " + std::to_wstring(count - limit) + L" more\n";
    }
    return text;
}

} // namespace Velmora::Testing
