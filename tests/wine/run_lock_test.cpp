// The PC's run lock against Wine's real named mutex: one holder at a time across threads (and so across
// processes), given back on release, and taken over when its holder ended without giving it back.

#include "engine/run_lock.h"

#include <gtest/gtest.h>

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

} // namespace
