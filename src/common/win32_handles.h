#pragma once

// The handle kinds the program owns on Windows, each a one-line alias of UniqueResource.

#include "common/unique_resource.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <winsvc.h>
#include <winstring.h>

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

} // namespace Velmora
