// The power step under Wine, whose powrprof has no active scheme and lacks the read and write
// functions: bound at run time, the step finds no scheme and ends without a trace instead of
// aborting the process.

#include "common/diagnostics.h"
#include "system/power_win32.h"

#include <gtest/gtest.h>

#include <objbase.h>

namespace {

using namespace Velmora;

TEST(PowerScheme, TuningEndsWithoutATraceWhereThereIsNoActiveScheme) {
    auto sink = std::make_shared<MemoryDiagnosticSink>();
    SetDiagnosticSink(sink);
    PowrProfPowerSettings power;
    EXPECT_FALSE(power.OpenActiveScheme()) << "Wine reports no active scheme";
    TunePowerScheme();
    TunePowerScheme(power);
    EXPECT_TRUE(sink->Lines().empty());
    SetDiagnosticSink(nullptr);
}

TEST(PowerScheme, TheSettingIsTheMaximumProcessorStateOfTheProcessorSubgroup) {
    GUID subgroup{};
    GUID setting{};
    ASSERT_EQ(::CLSIDFromString(L"{54533251-82BE-4824-96C1-47B60B740D00}", &subgroup), S_OK);
    ASSERT_EQ(::CLSIDFromString(L"{BC5038F7-23E0-4960-96DA-33ABAF5935EC}", &setting), S_OK);
    EXPECT_TRUE(::IsEqualGUID(kProcessorSettingsSubgroup, subgroup));
    EXPECT_TRUE(::IsEqualGUID(kMaximumProcessorStateSetting, setting));
}

} // namespace
