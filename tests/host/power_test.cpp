// The power step's decisions against a fake of the power settings (the host has none): what it
// writes, when it re-applies the scheme, that it always gives the scheme back, and its line.

#include "common/diagnostics.h"
#include "system/power.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace Velmora;
using Calls = std::vector<std::string>;

// Logs each call; writes of the AC value can be made to throw.
class FakePowerSettings final : public ProcessorStatePowerSettings {
public:
    FakePowerSettings(std::optional<std::uint32_t> acValue, std::optional<std::uint32_t> dcValue)
        : ac(acValue), dc(dcValue) {}
    bool OpenActiveScheme() override { return Log("open") && hasScheme; }
    bool OpenScheme(const std::wstring& scheme) override {
        return Log("open " + std::string(scheme.begin(), scheme.end())) && hasScheme;
    }
    std::wstring OpenedScheme() override { return L"{active}"; }
    std::optional<std::uint32_t> ReadAcMaximum() override { return ac; }
    std::optional<std::uint32_t> ReadDcMaximum() override { return dc; }
    void WriteAcMaximum(std::uint32_t percent) override {
        if (Log("write AC " + std::to_string(percent)) && writesThrow) {
            throw std::runtime_error("write failed");
        }
    }
    void WriteDcMaximum(std::uint32_t percent) override { Log("write DC " + std::to_string(percent)); }
    void ReapplyActiveScheme() override { Log("reapply"); }
    void CloseActiveScheme() noexcept override { Log("close"); }
    bool Log(std::string call) {
        calls.push_back(std::move(call));
        return true;
    }
    std::optional<std::uint32_t> ac, dc;
    bool hasScheme = true;
    bool writesThrow = false;
    Calls calls;
};

TEST(PowerSchemeTuning, OnlyASideAtExactly100BecomesNinetyNineAndOnlyThenIsTheSchemeReapplied) {
    const struct {
        std::optional<std::uint32_t> ac, dc;
        Calls calls;
        std::wstring line;
    } cases[] = {
        {100, 100, {"open", "write AC 99", "write DC 99", "reapply", "close"}, L"AC: 100% | DC: 100%"},
        {100, 80, {"open", "write AC 99", "reapply", "close"}, L"AC: 100% | DC: 80%"},
        {90, 100, {"open", "write DC 99", "reapply", "close"}, L"AC: 90% | DC: 100%"},
        {99, 101, {"open", "close"}, L"AC: 99% | DC: 101%"},
        {std::nullopt, 100, {"open", "write DC 99", "reapply", "close"}, L"AC: 0% | DC: 100%"}, // unread: 0
    };
    const auto sink = std::make_shared<MemoryDiagnosticSink>();
    SetDiagnosticSink(sink);
    for (const auto& c : cases) {
        sink->Clear();
        FakePowerSettings power(c.ac, c.dc);
        TunePowerScheme(power);
        EXPECT_EQ(power.calls, c.calls);
        EXPECT_EQ(sink->Lines(),
                  std::vector<std::wstring>{L"\u2699\uFE0F Current ProcessorThrottleMax - " + c.line});
    }
    SetDiagnosticSink(nullptr);
}

TEST(PowerSchemeTuning, WithoutAnActiveSchemeNothingElseHappensAndAThrowingStepStillGivesItBack) {
    FakePowerSettings none(100, 100);
    none.hasScheme = false;
    TunePowerScheme(none);
    EXPECT_EQ(none.calls, Calls{"open"});
    FakePowerSettings throwing(100, 100);
    throwing.writesThrow = true;
    TunePowerScheme(throwing);
    EXPECT_EQ(throwing.calls, (Calls{"open", "write AC 99", "close"}));
}

} // namespace
