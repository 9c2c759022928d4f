#include "common/unique_resource.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// A fake handle kind: records which handles were closed, in order.
std::vector<int> closed;

struct FakeTraits {
    using Handle = int;
    static Handle Empty() noexcept { return -1; }
    static void Close(Handle handle) noexcept { closed.push_back(handle); }
};
using FakeOwner = Velmora::UniqueResource<FakeTraits>;

TEST(UniqueResource, EachHandleIsClosedExactlyOnceAndTheEmptyValueNever) {
    closed.clear();
    {
        FakeOwner empty;
        FakeOwner first(3);
        FakeOwner second(std::move(first)); // moved: not closed
        FakeOwner third(4);
        third = std::move(second); // closes 4, takes 3
        FakeOwner& alias = third;
        third = std::move(alias); // self-move keeps 3
        FakeOwner released(1);
        EXPECT_EQ(released.Release(), 1);
        released.Reset(2);
        int* slot = released.Put(); // closes 2
        EXPECT_EQ(*slot, -1);
        *slot = 10; // as a creating API would
        EXPECT_FALSE(empty);
        EXPECT_EQ(third.Get(), 3);
    }
    EXPECT_EQ(closed, (std::vector<int>{4, 2, 10, 3}));
}

} // namespace
