// The handle owners against the real Win32 objects under Wine: each kind is closed when its owner
// lets go, which the system itself confirms, a failed call's own "no handle" value is never taken
// for a handle, and COM is left only as often as it was entered.

#include "common/win32_handles.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace Velmora;

bool HandleWorks(HANDLE handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

// CreateFileW fails with INVALID_HANDLE_VALUE, not null: an owner of the wrong kind would hold it.
TEST(HandleOwners, KernelTokenAndFileHandlesAreClosedAndAFailedOpenLeavesTheFileOwnerEmpty) {
    HANDLE event = nullptr;
    HANDLE token = nullptr;
    HANDLE file = nullptr;
    {
        const UniqueKernelHandle eventOwner(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        UniqueTokenHandle tokenOwner;
        ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, tokenOwner.Put()));
        const UniqueFileHandle fileOwner(::CreateFileW(L"C:\\windows", FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                                       nullptr));
        event = eventOwner.Get();
        token = tokenOwner.Get();
        file = fileOwner.Get();
        EXPECT_TRUE(HandleWorks(event) && HandleWorks(token) && HandleWorks(file));
    }
    EXPECT_FALSE(HandleWorks(event) || HandleWorks(token) || HandleWorks(file));
    const UniqueFileHandle missing(
        ::CreateFileW(L"C:\\velmora-no-such-file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(missing);
}

TEST(HandleOwners, ComApartmentUninitialisesOnlyWhatSucceeded) {
    // On a fresh thread, so the test thread's apartment is not disturbed.
    std::thread([] {
        {
            const auto multithreaded = InitializeComApartment(COINIT_MULTITHREADED);
            EXPECT_EQ(multithreaded.result, S_OK);
            EXPECT_FALSE(InitializeComApartment(COINIT_APARTMENTTHREADED).owed) << "RPC_E_CHANGED_MODE";
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
