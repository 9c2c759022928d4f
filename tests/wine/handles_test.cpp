// The handle owners against real Win32 objects: closed when their owner lets go, and a failed call's
// "no handle" value never taken for a handle.

#include "common/win32_handles.h"

#include <gtest/gtest.h>

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

} // namespace
