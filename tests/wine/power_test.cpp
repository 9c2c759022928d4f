// The power setting the step changes, spelled as the power management documents it, and the values
// written into the active scheme: on Windows read back by powercfg, under Wine (which has no active
// scheme and aborts a process that calls its unimplemented power functions through an import) a
// failed write that the process survives. What the step decides is tested on the host.

#include "bench/fixtures_win32.h"
#include "support/this_pc.h"
#include "system/power_win32.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace Velmora;

TEST(PowerScheme, TheSettingIsTheMaximumProcessorStateOfTheProcessorSubgroup) {
    GUID subgroup{};
    GUID setting{};
    ASSERT_EQ(::CLSIDFromString(L"{54533251-82BE-4824-96C1-47B60B740D00}", &subgroup), S_OK);
    ASSERT_EQ(::CLSIDFromString(L"{BC5038F7-23E0-4960-96DA-33ABAF5935EC}", &setting), S_OK);
    EXPECT_TRUE(::IsEqualGUID(Velmora::kProcessorSettingsSubgroup, subgroup));
    EXPECT_TRUE(::IsEqualGUID(Velmora::kMaximumProcessorStateSetting, setting));
}

// The active scheme's AC and DC values as powercfg shows them: the last two hexadecimal numbers of
// "powercfg /query SCHEME_CURRENT <subgroup> <setting>", whatever the language of the labels
// (https://learn.microsoft.com/windows-hardware/design/device-experiences/powercfg-command-line-options).
ProcessorMaximumState PowercfgMaximum() {
    wchar_t temp[MAX_PATH] = {};
    const std::wstring file = std::wstring(temp, ::GetTempPathW(MAX_PATH, temp)) + L"velmora-powercfg.txt";
    const auto status = Bench::RunToExit(Bench::SystemFolderPath() + L"\\cmd.exe",
                                         L"cmd.exe /c powercfg /query SCHEME_CURRENT "
                                         L"54533251-82be-4824-96c1-47b60b740d00 "
                                         L"bc5038f7-23e0-4960-96da-33abaf5935ec > \"" +
                                             file + L"\"");
    const std::string text = Bench::ReadWholeFile(file).value_or(std::string());
    ::DeleteFileW(file.c_str());
    if (status != 0u) {
        return {};
    }
    std::vector<std::uint32_t> numbers;
    for (std::size_t at = text.find("0x"); at != std::string::npos; at = text.find("0x", at + 2)) {
        numbers.push_back(static_cast<std::uint32_t>(std::strtoul(text.c_str() + at + 2, nullptr, 16)));
    }
    if (numbers.size() < 2) {
        return {};
    }
    return {numbers[numbers.size() - 2], numbers.back()};
}

TEST(PowerScheme, TheMaximumProcessorStateIsWrittenToTheActiveSchemeAndTheTuningCapsOnlyAFullHundred) {
    if (Testing::UnderWine()) {
        // Wine has no active scheme: unreadable, and a write that reports failure, all without an abort.
        EXPECT_EQ(ReadProcessorMaximum(), ProcessorMaximumState{});
        EXPECT_FALSE(WriteProcessorMaximum({99, 99}));
        TunePowerScheme();
        return;
    }
    // Written values take effect once the active scheme is set again, which the write does
    // (https://learn.microsoft.com/windows/win32/api/powersetting/nf-powersetting-powerwriteacvalueindex).
    const ProcessorMaximumState before = ReadProcessorMaximum();
    ASSERT_TRUE(before.ac && before.dc);
    EXPECT_EQ(PowercfgMaximum(), before);
    const ProcessorMaximumState wanted{*before.ac == 97u ? 96u : 97u, *before.dc == 95u ? 94u : 95u};
    EXPECT_TRUE(WriteProcessorMaximum(wanted));
    EXPECT_EQ(PowercfgMaximum(), wanted) << "AC and DC each in its own place";
    TunePowerScheme();
    EXPECT_EQ(PowercfgMaximum(), wanted) << "only exactly 100 % is capped";
    EXPECT_TRUE(WriteProcessorMaximum({100, 100}));
    TunePowerScheme();
    EXPECT_EQ(PowercfgMaximum(), (ProcessorMaximumState{99, 99}));
    EXPECT_TRUE(WriteProcessorMaximum(before));
    EXPECT_EQ(PowercfgMaximum(), before);
}

} // namespace
