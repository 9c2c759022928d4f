// The handle owners against the real Win32 objects under Wine: each kind is closed exactly when
// its owner lets go, which the system itself confirms (the raw handle stops working).

#include "common/win32_handles.h"

#include <gtest/gtest.h>

#include <sddl.h>
#include <taskschd.h>

#include <string>
#include <thread>

namespace {

using namespace Velmora;

constexpr wchar_t kTestKey[] = L"Software\\VelmoraTests\\Handles";

TEST(HandleOwners, RegistryKeyIsClosedWhenItsOwnerEnds) {
    HKEY raw = nullptr;
    {
        UniqueRegistryKey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    key.Put(), nullptr),
                  ERROR_SUCCESS);
        raw = key.Get();
        DWORD values = 0;
        EXPECT_EQ(::RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                                     nullptr, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
    }
    DWORD values = 0;
    EXPECT_EQ(::RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                                 nullptr, nullptr, nullptr),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VelmoraTests"), ERROR_SUCCESS);
}

TEST(HandleOwners, MovedRegistryKeyIsClosedOnceByItsNewOwner) {
    UniqueRegistryKey first;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ, first.Put()), ERROR_SUCCESS);
    const HKEY raw = first.Get();
    UniqueRegistryKey second(std::move(first));
    EXPECT_FALSE(first.IsValid()); // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(second.Get(), raw);
    EXPECT_EQ(::RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    second.Reset();
    EXPECT_EQ(::RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr),
              ERROR_INVALID_HANDLE);
}

TEST(HandleOwners, ServiceManagerAndServiceHandlesAreClosed) {
    SC_HANDLE rawService = nullptr;
    {
        UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        ASSERT_TRUE(manager) << ::GetLastError();
        UniqueServiceHandle service(::OpenServiceW(manager.Get(), L"Spooler", SERVICE_QUERY_STATUS));
        ASSERT_TRUE(service) << ::GetLastError();
        rawService = service.Get();
        SERVICE_STATUS status{};
        EXPECT_TRUE(::QueryServiceStatus(rawService, &status));
    }
    SERVICE_STATUS status{};
    ::SetLastError(0);
    EXPECT_FALSE(::QueryServiceStatus(rawService, &status));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(HandleOwners, KernelHandleAndTokenAreClosed) {
    HANDLE rawEvent = nullptr;
    HANDLE rawToken = nullptr;
    {
        UniqueKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(event);
        rawEvent = event.Get();
        UniqueTokenHandle token;
        ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()));
        rawToken = token.Get();
        DWORD flags = 0;
        EXPECT_TRUE(::GetHandleInformation(rawEvent, &flags));
        EXPECT_TRUE(::GetHandleInformation(rawToken, &flags));
    }
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(rawEvent, &flags));
    EXPECT_FALSE(::GetHandleInformation(rawToken, &flags));
}

TEST(HandleOwners, LocalMemoryHoldsWhatTheSystemAllocated) {
    UniqueTokenHandle token;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()));
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    ASSERT_TRUE(::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size));
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    UniqueLocalMemory text;
    wchar_t* sid = nullptr;
    ASSERT_TRUE(::ConvertSidToStringSidW(user->User.Sid, &sid));
    text.Reset(sid);
    EXPECT_EQ(std::wstring(sid).rfind(L"S-1-5-", 0), 0u);
}

TEST(HandleOwners, ComPointerReleasesItsReference) {
    auto apartment = InitializeComApartment(COINIT_MULTITHREADED);
    ASSERT_TRUE(SUCCEEDED(apartment.result));
    UniqueComPointer<ITaskService> service;
    ASSERT_EQ(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                 reinterpret_cast<void**>(service.Put())),
              S_OK);
    ITaskService* raw = service.Get();
    EXPECT_EQ(raw->AddRef(), 2u);
    service.Reset();
    EXPECT_EQ(raw->Release(), 0u) << "the owner had released its own reference";
}

TEST(HandleOwners, ComApartmentUninitialisesOnlyWhatSucceeded) {
    // On a fresh thread, so the test thread's apartment is not disturbed.
    std::thread([] {
        {
            auto multithreaded = InitializeComApartment(COINIT_MULTITHREADED);
            EXPECT_EQ(multithreaded.result, S_OK);
            EXPECT_TRUE(multithreaded.owed);
            {
                auto other = InitializeComApartment(COINIT_APARTMENTTHREADED);
                EXPECT_EQ(other.result, RPC_E_CHANGED_MODE);
                EXPECT_FALSE(other.owed);
            }
            // The failed attempt must not have uninitialised the apartment that is still owed.
            auto again = InitializeComApartment(COINIT_MULTITHREADED);
            EXPECT_EQ(again.result, S_FALSE);
            EXPECT_TRUE(again.owed) << "S_FALSE is a success that needs its own uninitialise";
        }
        // Every debt was paid, so the thread can enter a different apartment now.
        auto single = InitializeComApartment(COINIT_APARTMENTTHREADED);
        EXPECT_EQ(single.result, S_OK);
    }).join();
}

} // namespace
