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
        std::vector<ServiceStartEntry> services = RunController().serviceTable;
        services.push_back({L"sysmain", 0});
        for (const auto& service : services) {
            if (const auto start = Read(service.name, L"Start")) {
                saved_.push_back({service.name, *start, Read(service.name, L"DelayedAutoStart")});
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
            ::ChangeServiceConfigW(handle.Get(), SERVICE_NO_CHANGE, service.start, SERVICE_NO_CHANGE, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
            const std::wstring key = kServicesKey + service.name;
            ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Start", REG_DWORD, &service.start,
                              sizeof(DWORD));
            if (service.delayed) {
                ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DelayedAutoStart", REG_DWORD,
                                  &*service.delayed, sizeof(DWORD));
            } else {
                ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DelayedAutoStart");
            }
        }
    }

private:
    static constexpr wchar_t kServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services\\";

    static std::optional<DWORD> Read(const std::wstring& service, const wchar_t* value) {
        DWORD data = 0;
        DWORD size = sizeof data;
        return ::RegGetValueW(HKEY_LOCAL_MACHINE, (kServicesKey + service).c_str(), value, RRF_RT_REG_DWORD,
                              nullptr, &data, &size) == ERROR_SUCCESS
                   ? std::optional<DWORD>(data)
                   : std::nullopt;
    }

    struct Saved {
        std::wstring name;
        DWORD start = 0;
        std::optional<DWORD> delayed;
    };
    std::vector<Saved> saved_;
};

} // namespace Velmora::Testing
