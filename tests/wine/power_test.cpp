// The power setting the step changes, spelled as the power management documents it. (Wine has no
// active scheme; what the step decides is tested on the host.)

#include "system/power_win32.h"

#include <gtest/gtest.h>

#include <objbase.h>

namespace {

TEST(PowerScheme, TheSettingIsTheMaximumProcessorStateOfTheProcessorSubgroup) {
    GUID subgroup{};
    GUID setting{};
    ASSERT_EQ(::CLSIDFromString(L"{54533251-82BE-4824-96C1-47B60B740D00}", &subgroup), S_OK);
    ASSERT_EQ(::CLSIDFromString(L"{BC5038F7-23E0-4960-96DA-33ABAF5935EC}", &setting), S_OK);
    EXPECT_TRUE(::IsEqualGUID(Velmora::kProcessorSettingsSubgroup, subgroup));
    EXPECT_TRUE(::IsEqualGUID(Velmora::kMaximumProcessorStateSetting, setting));
}

} // namespace
