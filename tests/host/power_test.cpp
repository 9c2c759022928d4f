// The decisions of the power step, against a fake of the power settings (the host has no power
// management service): which values it writes, when it re-applies the scheme, that it always gives
// the scheme back, and the line it sends.

#include "common/diagnostics.h"
#include "system/power.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace Velmora;

class FakePowerSettings final : public ProcessorStatePowerSettings {
public:
    bool hasScheme = true;
    std::optional<std::uint32_t> ac;
    std::optional<std::uint32_t> dc;
    bool writesThrow = false;
    std::vector<std::string> calls;

    bool OpenActiveScheme() override {
        calls.push_back("open");
        return hasScheme;
    }
    std::optional<std::uint32_t> ReadAcMaximum() override {
        calls.push_back("read AC");
        return ac;
    }
    std::optional<std::uint32_t> ReadDcMaximum() override {
        calls.push_back("read DC");
        return dc;
    }
    void WriteAcMaximum(std::uint32_t percent) override {
        calls.push_back("write AC " + std::to_string(percent));
        if (writesThrow) {
            throw std::runtime_error("write failed");
        }
    }
    void WriteDcMaximum(std::uint32_t percent) override {
        calls.push_back("write DC " + std::to_string(percent));
    }
    void ReapplyActiveScheme() override { calls.push_back("reapply"); }
    void CloseActiveScheme() noexcept override { calls.push_back("close"); }
};

class PowerSchemeTuning : public ::testing::Test {
protected:
    void SetUp() override { SetDiagnosticSink(sink); }
    void TearDown() override { SetDiagnosticSink(nullptr); }

    std::vector<std::string> Tune(std::optional<std::uint32_t> ac, std::optional<std::uint32_t> dc) {
        power.ac = ac;
        power.dc = dc;
        TunePowerScheme(power);
        return power.calls;
    }

    std::shared_ptr<MemoryDiagnosticSink> sink = std::make_shared<MemoryDiagnosticSink>();
    FakePowerSettings power;
};

using Calls = std::vector<std::string>;

TEST_F(PowerSchemeTuning, BothAt100BecomeNinetyNineAndTheSchemeIsReappliedOnce) {
    EXPECT_EQ(Tune(100, 100),
              (Calls{"open", "read AC", "read DC", "write AC 99", "write DC 99", "reapply", "close"}));
    EXPECT_EQ(sink->Lines(), (std::vector<std::wstring>{
                                 L"\u2699\uFE0F Current ProcessorThrottleMax - AC: 100% | DC: 100%"}));
}

TEST_F(PowerSchemeTuning, OnlyTheSideAt100IsWritten) {
    EXPECT_EQ(Tune(100, 80), (Calls{"open", "read AC", "read DC", "write AC 99", "reapply", "close"}));
    power.calls.clear();
    EXPECT_EQ(Tune(90, 100), (Calls{"open", "read AC", "read DC", "write DC 99", "reapply", "close"}));
    EXPECT_EQ(sink->Lines(),
              (std::vector<std::wstring>{L"\u2699\uFE0F Current ProcessorThrottleMax - AC: 100% | DC: 80%",
                                         L"\u2699\uFE0F Current ProcessorThrottleMax - AC: 90% | DC: 100%"}));
}

TEST_F(PowerSchemeTuning, NoValueAt100WritesNothingAndDoesNotReapply) {
    EXPECT_EQ(Tune(99, 99), (Calls{"open", "read AC", "read DC", "close"}));
    for (const std::uint32_t value : {0u, 5u, 90u, 101u}) {
        power.calls.clear();
        EXPECT_EQ(Tune(value, value), (Calls{"open", "read AC", "read DC", "close"})) << value;
    }
}

TEST_F(PowerSchemeTuning, FailedReadsCountAsZeroAndCauseNoWrite) {
    EXPECT_EQ(Tune(std::nullopt, std::nullopt), (Calls{"open", "read AC", "read DC", "close"}));
    EXPECT_EQ(sink->Lines(),
              (std::vector<std::wstring>{L"\u2699\uFE0F Current ProcessorThrottleMax - AC: 0% | DC: 0%"}));
    power.calls.clear();
    EXPECT_EQ(Tune(std::nullopt, 100),
              (Calls{"open", "read AC", "read DC", "write DC 99", "reapply", "close"}));
}

TEST_F(PowerSchemeTuning, WithoutAnActiveSchemeNothingIsReadWrittenReappliedOrFreedAndNothingIsSaid) {
    power.hasScheme = false;
    EXPECT_EQ(Tune(100, 100), (Calls{"open"}));
    EXPECT_TRUE(sink->Lines().empty());
}

TEST_F(PowerSchemeTuning, TheSchemeIsGivenBackEvenWhenAStepThrows) {
    power.writesThrow = true;
    EXPECT_EQ(Tune(100, 100), (Calls{"open", "read AC", "read DC", "write AC 99", "close"}));
}

} // namespace
