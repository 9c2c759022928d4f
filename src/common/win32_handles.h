#pragma once

// The handle kinds the program owns on Windows, each a one-line alias of UniqueResource.

#include "common/unique_resource.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <winsvc.h>
#include <winstring.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace Velmora {

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle key) noexcept { ::RegCloseKey(key); }
};

struct ServiceHandleTraits {
    using Handle = SC_HANDLE;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle service) noexcept { ::CloseServiceHandle(service); }
};

// Windows Runtime strings. The empty string is the null HSTRING, so an empty owner is also "".
struct HStringTraits {
    using Handle = HSTRING;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle text) noexcept; // through the runtime-bound WindowsDeleteString
};

// Kernel objects whose failure value is null: processes, threads, events and access tokens.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::CloseHandle(handle); }
};

// Files, folders and snapshots: handles whose failure value INVALID_HANDLE_VALUE (CreateFileW,
// CreateToolhelp32Snapshot) is the empty one, so a failed call's result is taken as it is.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { ::CloseHandle(handle); }
};

struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle memory) noexcept { ::LocalFree(memory); }
};

// Memory the shell and COM hand out (SHGetKnownFolderPath ...).
struct CoTaskMemoryTraits {
    using Handle = void*;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle memory) noexcept { ::CoTaskMemFree(memory); }
};

// A directory listing opened by FindFirstFileW; its failure value INVALID_HANDLE_VALUE is the empty one.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle find) noexcept { ::FindClose(find); }
};

// A library loaded at run time (LoadLibraryExW).
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle module) noexcept { ::FreeLibrary(module); }
};

template <typename Interface>
struct ComPointerTraits {
    using Handle = Interface*;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle pointer) noexcept { pointer->Release(); }
};

// Strings handed to or received from COM calls (SysAllocString, out-parameters of type BSTR).
struct BstrTraits {
    using Handle = BSTR;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle text) noexcept { ::SysFreeString(text); }
};

struct ThreadpoolTimerTraits {
    using Handle = PTP_TIMER;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle timer) noexcept { ::CloseThreadpoolTimer(timer); }
};

// Fonts, brushes and pens.
struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle object) noexcept { ::DeleteObject(object); }
};

// Device contexts made with CreateCompatibleDC (for measuring text).
struct MemoryDeviceContextTraits {
    using Handle = HDC;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle dc) noexcept { ::DeleteDC(dc); }
};

// Holds "this thread owes one CoUninitialize". Only a successful CoInitializeEx (S_OK or
// S_FALSE) creates the debt; RPC_E_CHANGED_MODE does not.
struct ComApartmentTraits {
    using Handle = bool;
    static Handle Empty() noexcept { return false; }
    static void Close(Handle) noexcept { ::CoUninitialize(); }
};

using UniqueRegistryKey = UniqueResource<RegistryKeyTraits>;
using UniqueServiceHandle = UniqueResource<ServiceHandleTraits>;
using UniqueHString = UniqueResource<HStringTraits>;
using UniqueKernelHandle = UniqueResource<KernelHandleTraits>;
using UniqueTokenHandle = UniqueKernelHandle;
using UniqueFileHandle = UniqueResource<FileHandleTraits>;
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;
using UniqueCoTaskMemory = UniqueResource<CoTaskMemoryTraits>;
using UniqueFindHandle = UniqueResource<FindHandleTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
template <typename Interface>
using UniqueComPointer = UniqueResource<ComPointerTraits<Interface>>;
using UniqueComApartment = UniqueResource<ComApartmentTraits>;
using UniqueBstr = UniqueResource<BstrTraits>;
using UniqueThreadpoolTimer = UniqueResource<ThreadpoolTimerTraits>;
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;
using UniqueMemoryDeviceContext = UniqueResource<MemoryDeviceContextTraits>;

// Initialises COM for the calling thread. The result says how it went; the owner uninitialises
// at scope end only when the initialisation succeeded.
struct ComApartment {
    HRESULT result = E_FAIL;
    UniqueComApartment owed;
};
[[nodiscard]] inline ComApartment InitializeComApartment(DWORD coinit) noexcept {
    ComApartment apartment;
    apartment.result = ::CoInitializeEx(nullptr, coinit);
    apartment.owed.Reset(SUCCEEDED(apartment.result));
    return apartment;
}

// Enables privileges of the process token for its own lifetime, then puts back the state each had:
// hive loads need the backup and restore privileges, and nothing else should run with them on.
class EnabledPrivileges {
public:
    EnabledPrivileges(std::initializer_list<const wchar_t*> names) noexcept {
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token_.Put())) {
            return;
        }
        std::vector<BYTE> request;
        try {
            request.resize(sizeof(TOKEN_PRIVILEGES) + names.size() * sizeof(LUID_AND_ATTRIBUTES));
            previous_.resize(request.size());
        } catch (...) {
            return;
        }
        auto* wanted = reinterpret_cast<TOKEN_PRIVILEGES*>(request.data());
        for (const wchar_t* name : names) {
            LUID luid{};
            if (::LookupPrivilegeValueW(nullptr, name, &luid)) {
                wanted->Privileges[wanted->PrivilegeCount++] = {luid, SE_PRIVILEGE_ENABLED};
            }
        }
        DWORD size = static_cast<DWORD>(previous_.size());
        if (wanted->PrivilegeCount == 0 ||
            !::AdjustTokenPrivileges(token_.Get(), FALSE, wanted, size,
                                     reinterpret_cast<TOKEN_PRIVILEGES*>(previous_.data()), &size)) {
            return;
        }
        adjusted_ = true;
        // ERROR_NOT_ALL_ASSIGNED: the token lacks one of them.
        ok_ = ::GetLastError() == ERROR_SUCCESS && wanted->PrivilegeCount == names.size();
    }
    ~EnabledPrivileges() {
        if (adjusted_ && !previous_.empty()) {
            ::AdjustTokenPrivileges(token_.Get(), FALSE,
                                    reinterpret_cast<TOKEN_PRIVILEGES*>(previous_.data()), 0, nullptr,
                                    nullptr);
        }
    }
    EnabledPrivileges(const EnabledPrivileges&) = delete;
    EnabledPrivileges& operator=(const EnabledPrivileges&) = delete;

    // Every privilege asked for is enabled.
    [[nodiscard]] bool Enabled() const noexcept { return ok_; }

private:
    UniqueTokenHandle token_;
    std::vector<BYTE> previous_;
    bool ok_ = false;
    bool adjusted_ = false;
};

// A user's hive this process loaded below HKEY_USERS (RegLoadKeyW); unloaded when the owner goes, with
// the privileges that takes enabled only around the call.
class LoadedUserHive {
public:
    LoadedUserHive() = default;
    explicit LoadedUserHive(std::wstring keyName) noexcept : keyName_(std::move(keyName)) {}
    ~LoadedUserHive() { Unload(); }
    LoadedUserHive(LoadedUserHive&& other) noexcept : keyName_(std::exchange(other.keyName_, {})) {}
    LoadedUserHive& operator=(LoadedUserHive&& other) noexcept {
        if (this != &other) {
            Unload();
            keyName_ = std::exchange(other.keyName_, {});
        }
        return *this;
    }
    LoadedUserHive(const LoadedUserHive&) = delete;
    LoadedUserHive& operator=(const LoadedUserHive&) = delete;

    // The key below HKEY_USERS; empty when nothing is held.
    [[nodiscard]] const std::wstring& KeyName() const noexcept { return keyName_; }

    // The status of RegUnLoadKeyW; ERROR_SUCCESS when nothing was held.
    LSTATUS Unload() noexcept {
        if (keyName_.empty()) {
            return ERROR_SUCCESS;
        }
        const EnabledPrivileges privileges{SE_BACKUP_NAME, SE_RESTORE_NAME};
        const LSTATUS status = ::RegUnLoadKeyW(HKEY_USERS, keyName_.c_str());
        keyName_.clear();
        return status;
    }

private:
    std::wstring keyName_;
};

} // namespace Velmora
