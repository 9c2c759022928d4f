// Whole apply runs against Wine's real registry: every value holds the last row's data, and a lower
// profile removes what only the higher ones wrote.

#include "common/win32_handles.h"
#include "support/registry_reads.h"
#include "system/app_offloading.h"
#include "system/registry.h"
#include "system/registry_spec.h"
#include "system/threadpool_delayed_runner.h"
#include "system/win32_system_operations.h"
#include "tweaks/apply_pipeline.h"
#include "tweaks/run_controller.h"
#include "common/dispatcher_queue.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <map>
#include <optional>

namespace {

using namespace Velmora;

// Runs posted closures at once and counts them.
struct CountingDispatcher final : DispatcherQueue {
    bool TryEnqueue(std::function<void()> closure) override {
        closure();
        return ++posted > 0;
    }
    int posted = 0;
};

std::optional<DWORD> ReadValue(const RegistryDwordSetting& row) {
    const RegistryTarget target = SplitSpecForDword(row.spec).value();
    return Testing::ReadDword(RegistryRootKey(row.root), target.keyPath, target.valueName.c_str());
}

// Registry names compare without regard to case.
std::wstring Identity(const RegistryDwordSetting& row) {
    std::wstring id = std::to_wstring(row.root) + L"|" + row.spec;
    for (wchar_t& c : id) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return id;
}

// What the registry should hold after the given tables were written in order: the last row wins.
std::map<std::wstring, RegistryDwordSetting>
LastWrites(std::initializer_list<const std::vector<RegistryDwordSetting>*> tables) {
    std::map<std::wstring, RegistryDwordSetting> last;
    for (const auto* table : tables) {
        for (const auto& row : *table) {
            last.insert_or_assign(Identity(row), row);
        }
    }
    return last;
}

class ApplyRun : public ::testing::Test {
protected:
    std::int32_t Run(SettingsProfile profile) {
        selected = profile;
        return RunApplyPipeline({controller, selected, system, dispatcher, nullptr, [] {}, [] {}, nullptr});
    }

    // Checks every row of the written tables and the absence of every row only the others name.
    void ExpectRegistryAfter(std::initializer_list<const std::vector<RegistryDwordSetting>*> written,
                             std::initializer_list<const std::vector<RegistryDwordSetting>*> removed) {
        const auto expected = LastWrites(written);
        for (const auto& [id, row] : expected) {
            if (row.spec.starts_with(L"\\")) {
                continue; // a key path with a leading backslash is never reachable (see below)
            }
            EXPECT_EQ(ReadValue(row), std::optional<DWORD>(row.data))
                << "root " << row.root << " " << id.size();
        }
        for (const auto* table : removed) {
            for (const auto& row : *table) {
                if (!expected.contains(Identity(row))) {
                    EXPECT_FALSE(ReadValue(row).has_value())
                        << "a value only a higher profile writes is left";
                }
            }
        }
    }

    RunController controller;
    std::atomic<SettingsProfile> selected{kNoProfile};
    Win32SystemOperations system;
    CountingDispatcher dispatcher;
};

bool LegacyContextMenuKeyExists() {
    UniqueRegistryKey key;
    return ::RegOpenKeyExW(
               HKEY_CURRENT_USER,
               L"SOFTWARE\\CLASSES\\CLSID\\{86ca1aa0-34aa-4e8b-a509-50c905bae2a2}\\InprocServer32", 0,
               KEY_READ, key.Put()) == ERROR_SUCCESS;
}

TEST_F(ApplyRun, MaximumWritesEveryTableAndEssentialTakesTheHigherProfilesBack) {
    // The only counted row Wine (like Windows) refuses is the HKEY_USERS key with a leading backslash
    // (ERROR_BAD_PATHNAME); the default profile's row beside it is written.
    EXPECT_EQ(Run(kMaximumProfile), -1);
    ExpectRegistryAfter({&controller.commonRegistryTable, &controller.standardRegistryTable,
                         &controller.maximumRegistryTable},
                        {});
    EXPECT_EQ(ReadValue(TransparencyRecord(0)), std::optional<DWORD>(0));
    const RegistryDwordSetting offloading = AppOffloadingRecord(system.GetCurrentUserSid());
    EXPECT_EQ(ReadValue(offloading), std::optional<DWORD>(0));
    EXPECT_TRUE(LegacyContextMenuKeyExists());

    EXPECT_EQ(Run(kEssentialProfile), -1);
    ExpectRegistryAfter({&controller.commonRegistryTable},
                        {&controller.standardRegistryTable, &controller.maximumRegistryTable});
    EXPECT_EQ(ReadValue(TransparencyRecord(1)), std::optional<DWORD>(1));
    EXPECT_FALSE(ReadValue(offloading).has_value());
    EXPECT_FALSE(LegacyContextMenuKeyExists());
    EXPECT_EQ(dispatcher.posted, 2);
}

TEST_F(ApplyRun, MaximumThenStandardKeepsTheStandardTableAndRemovesOnlyMaximumValues) {
    Run(kMaximumProfile);
    EXPECT_EQ(Run(kStandardProfile), -1);
    ExpectRegistryAfter({&controller.commonRegistryTable, &controller.standardRegistryTable},
                        {&controller.maximumRegistryTable});
}

TEST(ThreadpoolDelayedRunner, RunsTheWorkOnceOnAnotherThreadAfterTheDelay) {
    ThreadpoolDelayedRunner runner;
    UniqueKernelHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<DWORD> workerThread{0};
    std::atomic<int> runs{0};
    const ULONGLONG start = ::GetTickCount64();
    HANDLE event = done.Get();
    ASSERT_TRUE(runner.RunAfter(std::chrono::seconds(1), [&, event] {
        workerThread = ::GetCurrentThreadId();
        ++runs;
        ::SetEvent(event);
    }));
    EXPECT_EQ(runs.load(), 0) << "the request returns before the work runs";
    ASSERT_EQ(::WaitForSingleObject(done.Get(), 10000), WAIT_OBJECT_0);
    EXPECT_GE(::GetTickCount64() - start, 500u) << "the work waited for its delay";
    EXPECT_NE(workerThread.load(), ::GetCurrentThreadId());
    ::Sleep(200);
    EXPECT_EQ(runs.load(), 1);
}

} // namespace
