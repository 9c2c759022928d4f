// The handle owners against the real Win32 objects under Wine: each kind is closed exactly when its
// owner lets go, which the system itself confirms (the raw handle stops working), and a failed
// call's own "no handle" value is never taken for a handle.

#include "common/win32_handles.h"

#include <gtest/gtest.h>

#include <taskschd.h>

#include <thread>

namespace {

using namespace Velmora;

bool HandleWorks(HANDLE handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

TEST(HandleOwners, RegistryKernelTokenAndFileHandlesAreClosedWhenTheirOwnersEnd) {
    HKEY key = nullptr;
    HANDLE event = nullptr;
    HANDLE token = nullptr;
    HANDLE file = nullptr;
    {
        UniqueRegistryKey keyOwner;
        ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ, keyOwner.Put()),
                  ERROR_SUCCESS);
        UniqueKernelHandle eventOwner(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        UniqueTokenHandle tokenOwner;
        ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, tokenOwner.Put()));
        UniqueFileHandle fileOwner(::CreateFileW(L"C:\\windows", FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                                 nullptr));
        ASSERT_TRUE(fileOwner);
        key = keyOwner.Get();
        event = eventOwner.Get();
        token = tokenOwner.Get();
        file = fileOwner.Get();
        EXPECT_TRUE(HandleWorks(event) && HandleWorks(token) && HandleWorks(file));
    }
    EXPECT_EQ(::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr),
              ERROR_INVALID_HANDLE);
    EXPECT_FALSE(HandleWorks(event));
    EXPECT_FALSE(HandleWorks(token));
    EXPECT_FALSE(HandleWorks(file));
}

// CreateFileW and CreateToolhelp32Snapshot fail with INVALID_HANDLE_VALUE, not null.
TEST(HandleOwners, AFailedFileOpenLeavesTheFileOwnerEmpty) {
    const UniqueFileHandle missing(
        ::CreateFileW(L"C:\\velmora-no-such-file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.Get(), INVALID_HANDLE_VALUE);
}

TEST(HandleOwners, ComPointerReleasesItsReference) {
    const auto apartment = InitializeComApartment(COINIT_MULTITHREADED);
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
            const auto multithreaded = InitializeComApartment(COINIT_MULTITHREADED);
            EXPECT_EQ(multithreaded.result, S_OK);
            {
                const auto other = InitializeComApartment(COINIT_APARTMENTTHREADED);
                EXPECT_EQ(other.result, RPC_E_CHANGED_MODE);
                EXPECT_FALSE(other.owed);
            }
            // The failed attempt must not have uninitialised the apartment that is still owed.
            const auto again = InitializeComApartment(COINIT_MULTITHREADED);
            EXPECT_EQ(again.result, S_FALSE);
            EXPECT_TRUE(again.owed) << "S_FALSE is a success that needs its own uninitialise";
        }
        // Every debt was paid, so the thread can enter a different apartment now.
        EXPECT_EQ(InitializeComApartment(COINIT_APARTMENTTHREADED).result, S_OK);
    }).join();
}

} // namespace
