// The PC's run lock against Wine's real named mutex: one holder at a time across threads (and so across
// processes), given back on release, taken over when its holder ended without giving it back, and
// refused when another account made an object of its name first.

#include "common/win32_handles.h"
#include "engine/run_lock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sddl.h>

#include <thread>

namespace {

using Velmora::RunLock;
using Velmora::RunLockState;

RunLockState TryOnAnotherThread(bool keepIt) {
    RunLockState state = RunLockState::NotHeld;
    std::thread([&] {
        RunLock lock = RunLock::TryAcquire();
        state = lock.State();
        if (keepIt && lock.Held()) {
            static_cast<void>(new RunLock(std::move(lock))); // the thread ends holding it
        }
    }).join();
    return state;
}

TEST(RunLock, OneHolderAtATimeAndAnAbandonedLockIsTakenOver) {
    {
        RunLock held = RunLock::TryAcquire();
        ASSERT_EQ(held.State(), RunLockState::Held) << "error " << held.Error();
        EXPECT_EQ(TryOnAnotherThread(false), RunLockState::Busy);
        held.Release();
        EXPECT_EQ(TryOnAnotherThread(false), RunLockState::Held);
    }
    EXPECT_EQ(TryOnAnotherThread(true), RunLockState::Held);
    RunLock takenOver = RunLock::TryAcquire(); // its holder's thread is gone: abandoned
    EXPECT_EQ(takenOver.State(), RunLockState::Held);
    EXPECT_EQ(TryOnAnotherThread(false), RunLockState::Busy);
}

// Made first by a standard user's account: held or not, open to administrators or not, a mutex or not,
// it is never used, and the lock works again once it is gone. Windows lets an administrator name another
// account as an object's owner only with the restore privilege on; Wine lets anyone.
TEST(RunLock, AnObjectOfItsNameThatNoAdministratorMadeIsRefusedWithItsOwner) {
    constexpr wchar_t kUser[] = L"S-1-5-21-1004336348-1177238915-682003330-1001";
    const Velmora::EnabledPrivileges restore({SE_RESTORE_NAME});
    const struct {
        const wchar_t* dacl;
        bool mutex;
        bool held;
        const wchar_t* says;
    } cases[] = {
        {L"D:(A;;GA;;;WD)", true, false, kUser},
        {L"D:(A;;GA;;;WD)", true, true, kUser},
        {L"D:(D;;GA;;;BA)(A;;GA;;;WD)", true, false, L"shuts administrators out"},
        {L"D:(A;;GA;;;WD)", false, false, L"is not a mutex"},
    };
    for (const auto& c : cases) {
        PSECURITY_DESCRIPTOR raw = nullptr;
        ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            (L"O:" + std::wstring(kUser) + c.dacl).c_str(), SDDL_REVISION_1, &raw, nullptr));
        const Velmora::UniqueLocalMemory descriptor(raw);
        SECURITY_ATTRIBUTES attributes{sizeof attributes, raw, FALSE};
        Velmora::UniqueKernelHandle squatter(
            c.mutex ? ::CreateMutexW(&attributes, c.held ? TRUE : FALSE, Velmora::kRunLockName)
                    : ::CreateEventW(&attributes, TRUE, FALSE, Velmora::kRunLockName));
        ASSERT_TRUE(squatter) << ::GetLastError();
        EXPECT_EQ(TryOnAnotherThread(false), RunLockState::Untrusted) << c.says;
        EXPECT_THAT(RunLock::TryAcquire().Problem(), ::testing::HasSubstr(c.says));
        squatter.Reset();
        EXPECT_EQ(TryOnAnotherThread(false), RunLockState::Held) << c.says;
    }
}

} // namespace
