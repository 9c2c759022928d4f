#include "common/unique_resource.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// A fake handle kind: records which handles were closed, in order.
std::vector<int>& ClosedHandles() {
    static std::vector<int> closed;
    return closed;
}

struct FakeTraits {
    using Handle = int;
    static Handle Empty() noexcept { return -1; }
    static void Close(Handle handle) noexcept { ClosedHandles().push_back(handle); }
};
using FakeOwner = Velmora::UniqueResource<FakeTraits>;

class UniqueResourceTest : public ::testing::Test {
protected:
    void SetUp() override { ClosedHandles().clear(); }
};

TEST_F(UniqueResourceTest, ClosesExactlyOnceAtScopeEndAndNeverClosesTheEmptyValue) {
    {
        FakeOwner empty;
        FakeOwner owner(7);
        EXPECT_TRUE(owner.IsValid());
        EXPECT_FALSE(empty);
    }
    EXPECT_EQ(ClosedHandles(), std::vector<int>{7});
}

TEST_F(UniqueResourceTest, MoveTransfersOwnershipWithoutClosing) {
    FakeOwner first(3);
    FakeOwner second(std::move(first));
    EXPECT_FALSE(first.IsValid()); // NOLINT(bugprone-use-after-move): the moved-from state is the point
    EXPECT_EQ(second.Get(), 3);
    EXPECT_TRUE(ClosedHandles().empty());

    FakeOwner third(4);
    third = std::move(second); // closes 4, takes 3
    EXPECT_EQ(ClosedHandles(), std::vector<int>{4});
    EXPECT_EQ(third.Get(), 3);
}

TEST_F(UniqueResourceTest, SelfMoveAssignmentKeepsTheHandle) {
    FakeOwner owner(5);
    FakeOwner& alias = owner;
    owner = std::move(alias);
    EXPECT_EQ(owner.Get(), 5);
    EXPECT_TRUE(ClosedHandles().empty());
}

TEST_F(UniqueResourceTest, ReleaseGivesUpAndResetClosesTheOldHandle) {
    FakeOwner owner(1);
    EXPECT_EQ(owner.Release(), 1);
    EXPECT_FALSE(owner.IsValid());
    owner.Reset(2);
    owner.Reset(8);
    owner.Reset();
    EXPECT_EQ(ClosedHandles(), (std::vector<int>{2, 8}));
}

TEST_F(UniqueResourceTest, PutClosesTheHeldHandleBeforeHandingOutTheSlot) {
    FakeOwner owner(9);
    int* slot = owner.Put();
    EXPECT_EQ(ClosedHandles(), std::vector<int>{9});
    EXPECT_EQ(*slot, -1);
    *slot = 10; // as a creating API would
    EXPECT_EQ(owner.Get(), 10);
}

TEST(UniqueResourceTraits, IsMoveOnly) {
    static_assert(!std::is_copy_constructible_v<FakeOwner>);
    static_assert(!std::is_copy_assignable_v<FakeOwner>);
    static_assert(std::is_nothrow_move_constructible_v<FakeOwner>);
    static_assert(std::is_nothrow_move_assignable_v<FakeOwner>);
    SUCCEED();
}

} // namespace
