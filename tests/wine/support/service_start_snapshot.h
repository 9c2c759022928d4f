#pragma once

// Test support: the start types of the Wine prefix's own services that the service table names,
// taken when constructed and put back (service manager and registry) when destroyed, so that a
// test that runs the service step leaves the shared prefix as it found it.

#include "common/win32_handles.h"
#include "tweaks/run_controller.h"

#include <optional>
#include <string>
#include <vector>

namespace Velmora::Testing {

class ServiceStartSnapshot {
public:
    ServiceStartSnapshot() {
        std::vector<std::wstring> names{L"sysmain"};
        for (const auto& entry : RunController().serviceTable) {
            names.push_back(entry.name);
        }
        for (const auto& name : names) {
            if (const auto start = Read(name, L"Start")) {
                saved_.push_back({name, *start, Read(name, L"DelayedAutoStart")});
            }
        }
    }
    ServiceStartSnapshot(const ServiceStartSnapshot&) = delete;
    ServiceStartSnapshot& operator=(const ServiceStartSnapshot&) = delete;

    ~ServiceStartSnapshot() {
        const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        for (const auto& service : saved_) {
            const UniqueServiceHandle handle(
                ::OpenServiceW(manager.Get(), service.name.c_str(), SERVICE_CHANGE_CONFIG));
            if (handle) {
                ::ChangeServiceConfigW(handle.Get(), SERVICE_NO_CHANGE, service.start, SERVICE_NO_CHANGE,
                                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
            }
            UniqueRegistryKey key;
            if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kServicesKey + service.name).c_str(), 0, KEY_SET_VALUE,
                                key.Put()) != ERROR_SUCCESS) {
                continue;
            }
            ::RegSetValueExW(key.Get(), L"Start", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&service.start),
                             sizeof(DWORD));
            if (service.delayed) {
                ::RegSetValueExW(key.Get(), L"DelayedAutoStart", 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&*service.delayed), sizeof(DWORD));
            } else {
                ::RegDeleteValueW(key.Get(), L"DelayedAutoStart");
            }
        }
    }

private:
    static constexpr wchar_t kServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services\\";

    static std::optional<DWORD> Read(const std::wstring& service, const wchar_t* value) {
        DWORD data = 0;
        DWORD size = sizeof data;
        if (::RegGetValueW(HKEY_LOCAL_MACHINE, (kServicesKey + service).c_str(), value, RRF_RT_REG_DWORD,
                           nullptr, &data, &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        return data;
    }

    struct Saved {
        std::wstring name;
        DWORD start = 0;
        std::optional<DWORD> delayed;
    };
    std::vector<Saved> saved_;
};

} // namespace Velmora::Testing
