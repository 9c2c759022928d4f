// The benchmark's own logic: what it compares against (the reg.exe command lines), how it reads
// executables and probe timings, and the timing decorator it puts around the real system.

#include "bench/bench_logic.h"
#include "bench/timing_system_operations.h"
#include "support/recording_system.h"
#include "system/registry_spec.h"
#include "tweaks/apply_pipeline.h"
#include "tweaks/run_controller.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <stdexcept>

namespace {

using namespace Velmora;
using namespace Velmora::Bench;

// How the C runtime of a started program splits its command line into arguments (the rules of
// CommandLineToArgvW for everything after the program name).
std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
    std::vector<std::wstring> arguments;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) {
            ++i;
        }
        if (i >= line.size()) {
            break;
        }
        std::wstring argument;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t'))) {
            std::size_t backslashes = 0;
            while (i < line.size() && line[i] == L'\\') {
                ++backslashes;
                ++i;
            }
            if (i < line.size() && line[i] == L'"') {
                argument.append(backslashes / 2, L'\\');
                if (backslashes % 2 == 1) {
                    argument += L'"';
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                argument.append(backslashes, L'\\');
                if (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t'))) {
                    argument += line[i++];
                }
            }
        }
        arguments.push_back(argument);
    }
    return arguments;
}

TEST(BenchMedian, MiddleSampleOrMeanOfTheTwoMiddleOnesWhateverTheOrder) {
    EXPECT_EQ(Median({}), std::nullopt);
    EXPECT_EQ(Median({7.0}), 7.0);
    EXPECT_EQ(Median({9.0, 1.0, 5.0}), 5.0);
    EXPECT_EQ(Median({40.0, 10.0, 30.0, 20.0}), 25.0);
    EXPECT_EQ(Median({3.0, 3.0, 100.0}), 3.0);
}

TEST(BenchQuoteArgument, EveryArgumentComesBackUnchangedFromTheRuntimesSplitting) {
    const std::vector<std::wstring> arguments = {
        L"plain",
        L"",
        L"two words",
        L"HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Error Reporting",
        L"ends with a backslash\\",
        L"ends with two\\\\",
        L"say \"hi\"",
        L"backslash before quote\\\"x",
        L"tab\there",
        L"\\\\server\\share",
    };
    std::wstring line;
    for (const auto& argument : arguments) {
        line += QuoteArgument(argument) + L" ";
    }
    EXPECT_EQ(SplitCommandLine(line), arguments);
}

TEST(BenchQuoteArgument, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(QuoteArgument(L"HKCU\\Software\\Velmora"), L"HKCU\\Software\\Velmora");
    EXPECT_EQ(QuoteArgument(L"a b"), L"\"a b\"");
    EXPECT_EQ(QuoteArgument(L""), L"\"\"");
    EXPECT_EQ(QuoteArgument(L"a b\\"), L"\"a b\\\\\"");
}

TEST(BenchRegAddCommandLine, NamesTheRootTheSplitKeyAndValueTheTypeAndTheUnsignedData) {
    EXPECT_EQ(BuildRegAddCommandLine({0, L"Software\\Classes\\X:Name", 1}),
              L"reg.exe add HKCR\\Software\\Classes\\X /v Name /t REG_DWORD /d 1 /f");
    EXPECT_EQ(BuildRegAddCommandLine({1, L"Control Panel\\Desktop:MenuShowDelay", 0}),
              L"reg.exe add \"HKCU\\Control Panel\\Desktop\" /v MenuShowDelay /t REG_DWORD /d 0 /f");
    EXPECT_EQ(BuildRegAddCommandLine({2, L"SOFTWARE\\A:Value Name", 4294967295u}),
              L"reg.exe add HKLM\\SOFTWARE\\A /v \"Value Name\" /t REG_DWORD /d 4294967295 /f");
    EXPECT_EQ(BuildRegAddCommandLine({3, L".DEFAULT\\Control Panel\\Keyboard:InitialKeyboardIndicators", 2}),
              L"reg.exe add \"HKU\\.DEFAULT\\Control Panel\\Keyboard\" /v InitialKeyboardIndicators /t "
              L"REG_DWORD /d 2 /f");
}

TEST(BenchRegAddCommandLine, SplitsAsSetRegistryDwordDoesAndStartsNothingForWhatItRefuses) {
    // Without a colon the value is named after the last backslash.
    EXPECT_EQ(BuildRegAddCommandLine({2, L"SOFTWARE\\A\\Value", 5}),
              L"reg.exe add HKLM\\SOFTWARE\\A /v Value /t REG_DWORD /d 5 /f");
    // A key path that holds a colon keeps it: the split is at the last one.
    EXPECT_EQ(BuildRegAddCommandLine({1, L"Software\\C:D:Name", 1}),
              L"reg.exe add HKCU\\Software\\C:D /v Name /t REG_DWORD /d 1 /f");
    EXPECT_EQ(BuildRegAddCommandLine({2, L"SOFTWARE\\A:", 1}), std::nullopt);
    EXPECT_EQ(BuildRegAddCommandLine({2, L":Name", 1}), std::nullopt);
    EXPECT_EQ(BuildRegAddCommandLine({4, L"SOFTWARE\\A:Name", 1}), std::nullopt);
}

TEST(BenchRegAddCommandLine, EveryRowOfTheThreeTablesReachesRegExeAsTheSameKeyValueAndData) {
    const RunController controller;
    const std::map<RegistryRoot, std::wstring> roots{{0, L"HKCR"}, {1, L"HKCU"}, {2, L"HKLM"}, {3, L"HKU"}};
    std::size_t rows = 0;
    for (const auto* table : {&controller.commonRegistryTable, &controller.standardRegistryTable,
                              &controller.maximumRegistryTable}) {
        for (const RegistryDwordSetting& row : *table) {
            ++rows;
            const auto target = SplitSpecForDword(row.spec);
            ASSERT_TRUE(target.has_value()) << rows;
            const auto line = BuildRegAddCommandLine(row);
            ASSERT_TRUE(line.has_value()) << rows;
            const std::vector<std::wstring> expected{L"reg.exe",
                                                     L"add",
                                                     roots.at(row.root) + L"\\" + target->keyPath,
                                                     L"/v",
                                                     target->valueName,
                                                     L"/t",
                                                     L"REG_DWORD",
                                                     L"/d",
                                                     std::to_wstring(row.data),
                                                     L"/f"};
            EXPECT_EQ(SplitCommandLine(*line), expected) << "row " << rows;
        }
    }
    EXPECT_EQ(rows, 279u);
}

TEST(BenchProbes, WorstAndMedianDelayAndTheProbesOverTheLimit) {
    const std::vector<ProbeSample> samples{
        {0.0, 0.5}, {10.0, 12.0}, {20.0, 95.0}, {30.0, 96.0}, {40.0, 41.0}};
    const ResponsivenessSummary summary = SummarizeProbes(samples, 200.0, 50.0);
    EXPECT_EQ(summary.probes, 5u);
    EXPECT_EQ(summary.unanswered, 0u);
    EXPECT_DOUBLE_EQ(summary.worstDelayMs, 75.0);
    EXPECT_DOUBLE_EQ(summary.worstPostedMs, 20.0);
    EXPECT_DOUBLE_EQ(summary.medianDelayMs, 2.0);
    EXPECT_EQ(summary.overLimit, 2u);
}

TEST(BenchProbes, AProbeNeverHandledWaitedUntilTheEnd) {
    const ResponsivenessSummary summary = SummarizeProbes({{0.0, 1.0}, {10.0, std::nullopt}}, 500.0, 50.0);
    EXPECT_EQ(summary.unanswered, 1u);
    EXPECT_DOUBLE_EQ(summary.worstDelayMs, 490.0);
    EXPECT_EQ(summary.overLimit, 1u);
}

TEST(BenchProbes, NoProbesMeansNothingWaited) {
    const ResponsivenessSummary summary = SummarizeProbes({}, 100.0, 50.0);
    EXPECT_EQ(summary.probes, 0u);
    EXPECT_DOUBLE_EQ(summary.worstDelayMs, 0.0);
}

TEST(BenchTargets, AtLeastIncludesTheLimitAndBelowExcludesIt) {
    EXPECT_EQ(IsMet({Goal::AtLeast, 100.0}, 100.0), true);
    EXPECT_EQ(IsMet({Goal::AtLeast, 100.0}, 99.9), false);
    EXPECT_EQ(IsMet({Goal::Below, 1500.0}, 1499.0), true);
    EXPECT_EQ(IsMet({Goal::Below, 1500.0}, 1500.0), false);
    EXPECT_EQ(IsMet({Goal::Below, 50.0}, std::nullopt), std::nullopt);
}

TEST(BenchReportTable, CountsMissedTargetsButNotUnmeasuredOnes) {
    ReportTable table;
    table.Section("1. part");
    table.TargetRow("met", "10 ms", {Goal::Below, 50.0}, "ms", 10.0);
    table.TargetRow("missed", "60 ms", {Goal::Below, 50.0}, "ms", 60.0);
    table.TargetRow("unmeasured", "-", {Goal::Below, 50.0}, "ms", std::nullopt);
    EXPECT_EQ(table.MissedTargets(), 1u);
    const std::string text = table.Render();
    EXPECT_NE(text.find("MISSED"), std::string::npos);
    EXPECT_NE(text.find("not measured"), std::string::npos);
    EXPECT_NE(text.find("1. part\n"), std::string::npos);
}

TEST(BenchFormat, FiguresInTheirUnits) {
    EXPECT_EQ(FormatMilliseconds(12.34), "12.3 ms");
    EXPECT_EQ(FormatMilliseconds(250.4), "250 ms");
    EXPECT_EQ(FormatMilliseconds(1234.0), "1.23 s");
    EXPECT_EQ(FormatMilliseconds(21600.0), "21.6 s");
    EXPECT_EQ(FormatMilliseconds(std::nullopt), "-");
    EXPECT_EQ(FormatBytes(3.0 * 1024 * 1024), "3.00 MB");
    EXPECT_EQ(FormatRatio(1117.4), "1117x");
    EXPECT_EQ(FormatTarget({Goal::AtLeast, 100.0}, "x"), ">= 100x");
    EXPECT_EQ(FormatTarget({Goal::Below, 1500.0}, "ms"), "< 1.50 s");
}

// ---- Reading an executable's imports ----

// A minimal 64-bit image: one section holding the import descriptors and the DLL names.
std::string MakeImage(const std::vector<std::string>& dlls) {
    std::string image(0x400, '\0');
    const auto put32 = [&image](std::size_t offset, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            image[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    };
    const auto put16 = [&image](std::size_t offset, std::uint16_t value) {
        image[offset] = static_cast<char>(value & 0xFF);
        image[offset + 1] = static_cast<char>(value >> 8);
    };
    image[0] = 'M';
    image[1] = 'Z';
    put32(0x3C, 0x80);
    put32(0x80, 0x00004550);
    put16(0x84 + 2, 1);    // one section
    put16(0x84 + 16, 240); // size of the optional header
    const std::size_t optional = 0x98;
    put16(optional, 0x20B);
    put32(optional + 108, 16);         // data directories
    put32(optional + 112 + 8, 0x1000); // import table RVA
    put32(optional + 112 + 12, 40);
    const std::size_t section = optional + 240;
    put32(section + 8, 0x200);   // virtual size
    put32(section + 12, 0x1000); // virtual address
    put32(section + 16, 0x200);  // raw size
    put32(section + 20, 0x200);  // raw offset
    // Descriptors at the section's start, names after them.
    std::size_t name = 0x100;
    for (std::size_t i = 0; i < dlls.size(); ++i) {
        const std::size_t descriptor = 0x200 + i * 20;
        put32(descriptor, 0x1000 + 0x180);
        put32(descriptor + 12, static_cast<std::uint32_t>(0x1000 + name));
        put32(descriptor + 16, 0x1000 + 0x180);
        std::memcpy(&image[0x200 + name], dlls[i].c_str(), dlls[i].size() + 1);
        name += dlls[i].size() + 1;
    }
    return image;
}

TEST(BenchImports, ListsTheImportedDllsInTableOrder) {
    EXPECT_EQ(ImportedDllNames(MakeImage({"KERNEL32.dll", "USER32.dll", "libstdc++-6.dll"})),
              (std::vector<std::string>{"KERNEL32.dll", "USER32.dll", "libstdc++-6.dll"}));
    EXPECT_EQ(ImportedDllNames(MakeImage({})), std::vector<std::string>{});
}

TEST(BenchImports, RefusesWhatIsNotAWellFormedImageWithoutReadingPastIt) {
    EXPECT_EQ(ImportedDllNames(""), std::nullopt);
    EXPECT_EQ(ImportedDllNames("not an executable at all, just some text"), std::nullopt);
    const std::string image = MakeImage({"KERNEL32.dll"});
    // Cut anywhere before the end of the names: refused, never read beyond the bytes.
    for (std::size_t size : {0x40u, 0x90u, 0x100u, 0x1F0u, 0x210u, 0x300u}) {
        EXPECT_EQ(ImportedDllNames(std::string_view(image).substr(0, size)), std::nullopt) << size;
    }
    std::string wild = image;
    wild[0x3C] = '\xF0'; // headers far beyond the end
    wild[0x3D] = '\xFF';
    wild[0x3E] = '\xFF';
    wild[0x3F] = '\x7F';
    EXPECT_EQ(ImportedDllNames(wild), std::nullopt);
}

// ---- The timing decorator ----

// Every reading of the clock moves it on by 1 ms, so a call that reads it at its start and end
// takes exactly 1 ms plus whatever the inner call advances it by.
struct SteppingClock {
    double now = 0.0;
    double Read() { return now++; }
};

TEST(TimingSystemOperations, PassesEveryCallOnUnchangedAndReturnsTheInnerResults) {
    Testing::RecordingSystem inner;
    inner.dwordWriteSucceeds = [](const RegistryDwordSetting& row) { return row.data != 7; };
    SteppingClock clock;
    TimingSystemOperations timed(inner, [&clock] { return clock.Read(); });
    EXPECT_TRUE(timed.SetRegistryDword({2, L"SOFTWARE\\A:B", 1}));
    EXPECT_FALSE(timed.SetRegistryDword({2, L"SOFTWARE\\A:C", 7}));
    EXPECT_TRUE(timed.DisableScheduledTask(L"Folder\\Task"));
    EXPECT_EQ(timed.GetCurrentUserSid(), L"S-1-5-21-1-2-3-1001");
    EXPECT_EQ(timed.RunCmdCommands({L"exit 3"}), 0u);
    timed.CleanTempFolders();
    EXPECT_EQ(inner.Calls(),
              (std::vector<std::wstring>{L"SetRegistryDword 2 SOFTWARE\\A:B = 1",
                                         L"SetRegistryDword 2 SOFTWARE\\A:C = 7",
                                         L"DisableScheduledTask Folder\\Task", L"GetCurrentUserSid",
                                         L"RunCmdCommands exit 3", L"CleanTempFolders"}));
}

TEST(TimingSystemOperations, AWholeMaximumRunMakesTheSameCallsAndEachStepGetsTheTimeOfItsOwnCalls) {
    const RunController controller;
    Testing::RecordingSystem direct;
    Testing::RecordingSystem inner;
    SteppingClock clock;
    // Registry writes take 10 ms more each inside the inner system.
    inner.dwordWriteSucceeds = [&clock](const RegistryDwordSetting&) {
        clock.now += 10.0;
        return true;
    };
    TimingSystemOperations timed(inner, [&clock] { return clock.Read(); });
    EXPECT_EQ(controller.ApplyCommonTweaks(direct) + controller.ApplyStandardTweaks(direct) +
                  controller.ApplyMaximumTweaks(direct),
              controller.ApplyCommonTweaks(timed) + controller.ApplyStandardTweaks(timed) +
                  controller.ApplyMaximumTweaks(timed));
    EXPECT_EQ(inner.Calls(), direct.Calls());

    std::map<RunStep, int> expectedCalls;
    int dwordWrites = 0;
    for (const std::wstring& call : direct.Calls()) {
        const std::wstring operation = call.substr(0, call.find(L' '));
        dwordWrites += operation == L"SetRegistryDword" ? 1 : 0;
        for (const RunStep step : kRunSteps) {
            for (const std::wstring_view name : RunStepOperations(step)) {
                expectedCalls[step] += name == operation ? 1 : 0;
            }
        }
    }
    int totalCalls = 0;
    for (const RunStep step : kRunSteps) {
        const auto time = timed.Step(step);
        EXPECT_EQ(time.calls, expectedCalls[step]) << RunStepName(step);
        const double extra = step == RunStep::Registry ? 10.0 * dwordWrites : 0.0;
        EXPECT_DOUBLE_EQ(time.milliseconds, time.calls + extra) << RunStepName(step);
        totalCalls += time.calls;
    }
    EXPECT_EQ(static_cast<std::size_t>(totalCalls), direct.Calls().size());
    EXPECT_EQ(timed.FirstCallStart(), 0.0);
    EXPECT_EQ(timed.LastCallEnd(), clock.now - 1.0);
}

TEST(TimingSystemOperations, EveryOperationOfEveryProfileBelongsToExactlyOneStep) {
    const RunController controller;
    Testing::RecordingSystem system;
    static_cast<void>(controller.ApplyCommonTweaks(system));
    static_cast<void>(controller.ApplyStandardTweaks(system));
    static_cast<void>(controller.ApplyMaximumTweaks(system));
    controller.UndoMaximumTweaks(system);
    controller.UndoStandardTweaks(system);
    system.DeleteRegistryTree({1, L"Software\\A", 0});
    std::set<std::wstring> operations;
    for (const std::wstring& call : system.Calls()) {
        operations.insert(call.substr(0, call.find(L' ')));
    }
    EXPECT_EQ(operations.size(), 17u) << "every operation of the interface was called";
    for (const std::wstring& operation : operations) {
        int owners = 0;
        for (const RunStep step : kRunSteps) {
            for (const std::wstring_view name : RunStepOperations(step)) {
                owners += name == operation ? 1 : 0;
            }
        }
        EXPECT_EQ(owners, 1) << std::string(operation.begin(), operation.end());
    }
}

TEST(TimingSystemOperations, ACallThatThrowsIsStillTimedAndTheErrorReachesTheCaller) {
    Testing::RecordingSystem inner;
    inner.dwordWriteSucceeds = [](const RegistryDwordSetting&) -> bool {
        throw std::runtime_error("no memory");
    };
    SteppingClock clock;
    TimingSystemOperations timed(inner, [&clock] { return clock.Read(); });
    EXPECT_THROW(static_cast<void>(timed.SetRegistryDword({1, L"A:B", 1})), std::runtime_error);
    EXPECT_EQ(timed.Step(RunStep::Registry).calls, 1);
    timed.Reset();
    EXPECT_EQ(timed.Step(RunStep::Registry).calls, 0);
    EXPECT_EQ(timed.FirstCallStart(), std::nullopt);
}

} // namespace
