#include "engine/windows_engine.h"

#include "common/bound_function.h"
#include "common/com_values.h"
#include "common/run_once.h"
#include "common/win32_handles.h"

#include <srrestoreptapi.h>
#include <wbemidl.h>

#include <algorithm>
#include <cwchar>

namespace Velmora {

struct SrClientRestorePointApi::Library {
    RunOnce load;
    UniqueModule module;
    BOOL(WINAPI* setRestorePoint)(PRESTOREPOINTINFOW, PSTATEMGRSTATUS) = nullptr;

    // Loaded at its first use, by the run that asks for a point, not when the program starts.
    auto SetRestorePoint() {
        load([this] {
            // Only from the system folder, bound at run time as System Restore's documentation asks.
            module.Reset(::LoadLibraryExW(L"srclient.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
            setRestorePoint = BoundFunction<decltype(setRestorePoint)>(module.Get(), "SRSetRestorePointW");
        });
        return setRestorePoint;
    }
};

namespace {

RestorePointCall Call(BOOL(WINAPI* set)(PRESTOREPOINTINFOW, PSTATEMGRSTATUS), DWORD event, DWORD type,
                      std::int64_t sequence, const std::wstring& description) {
    if (set == nullptr) {
        return {};
    }
    // COM in this thread for the call, with the security System Restore needs to call back.
    const ComApartment apartment = InitializeComApartment(COINIT_MULTITHREADED);
    InitializeComSecurityForSystemRestore();
    RESTOREPOINTINFOW info{};
    info.dwEventType = event;
    info.dwRestorePtType = type;
    info.llSequenceNumber = sequence;
    const std::size_t length = std::min<std::size_t>(description.size(), MAX_DESC_W - 1);
    std::wmemcpy(info.szDescription, description.c_str(), length);
    STATEMGRSTATUS status{};
    const BOOL succeeded = set(&info, &status);
    return {succeeded != FALSE, status.nStatus, status.llSequenceNumber};
}

} // namespace

bool RunsUnderWine() noexcept {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void InitializeComSecurityForSystemRestore() noexcept {
    // RPC_E_TOO_LATE when the process set its security already; the first setting stays.
    static_cast<void>(::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_DYNAMIC_CLOAKING,
                                             nullptr));
}

SrClientRestorePointApi::SrClientRestorePointApi() : library_(std::make_shared<Library>()) {}

bool SrClientRestorePointApi::Available() {
    // Wine's srclient.dll answers without making anything.
    return library_->SetRestorePoint() != nullptr && !RunsUnderWine();
}

bool SrClientRestorePointApi::SafeMode() {
    return ::GetSystemMetrics(SM_CLEANBOOT) != 0;
}

std::optional<std::int64_t> SrClientRestorePointApi::NewestSequenceNumber() {
    try {
        const ComApartment apartment = InitializeComApartment(COINIT_MULTITHREADED);
        if (FAILED(apartment.result) && apartment.result != RPC_E_CHANGED_MODE) {
            return std::nullopt;
        }
        UniqueComPointer<IWbemLocator> locator;
        if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                      reinterpret_cast<void**>(locator.Put()))) ||
            !locator) {
            return std::nullopt;
        }
        UniqueComPointer<IWbemServices> services;
        if (FAILED(locator->ConnectServer(MakeBstr(L"ROOT\\DEFAULT").Get(), nullptr, nullptr, nullptr, 0,
                                          nullptr, nullptr, services.Put())) ||
            !services) {
            return std::nullopt;
        }
        static_cast<void>(::CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                              RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                              EOAC_NONE));
        UniqueComPointer<IEnumWbemClassObject> points;
        if (FAILED(services->ExecQuery(
                MakeBstr(L"WQL").Get(), MakeBstr(L"SELECT SequenceNumber FROM SystemRestore").Get(),
                WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, points.Put())) ||
            !points) {
            return std::nullopt;
        }
        std::int64_t newest = 0; // no point at all: any number is a new one
        for (;;) {
            UniqueComPointer<IWbemClassObject> point;
            ULONG returned = 0;
            const HRESULT hr = points->Next(static_cast<LONG>(WBEM_INFINITE), 1, point.Put(), &returned);
            if (FAILED(hr)) {
                return std::nullopt;
            }
            if (hr != WBEM_S_NO_ERROR || returned == 0 || !point) {
                return newest;
            }
            VARIANT number;
            ::VariantInit(&number);
            if (SUCCEEDED(point->Get(L"SequenceNumber", 0, &number, nullptr, nullptr))) {
                if (number.vt == VT_I4) {
                    newest = std::max<std::int64_t>(newest, number.lVal);
                } else if (number.vt == VT_UI4) {
                    newest = std::max<std::int64_t>(newest, number.ulVal);
                }
            }
            ::VariantClear(&number);
        }
    } catch (...) {
        return std::nullopt;
    }
}

RestorePointCall SrClientRestorePointApi::Begin(const std::wstring& description) {
    return Call(library_->SetRestorePoint(), BEGIN_SYSTEM_CHANGE, MODIFY_SETTINGS, 0, description);
}

RestorePointCall SrClientRestorePointApi::End(std::int64_t sequence, bool cancel) {
    return Call(library_->SetRestorePoint(), END_SYSTEM_CHANGE,
                cancel ? CANCELLED_OPERATION : MODIFY_SETTINGS, sequence, std::wstring());
}

} // namespace Velmora
