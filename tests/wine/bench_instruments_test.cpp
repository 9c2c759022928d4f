// The benchmark's instruments against the real system: the reg.exe runs it compares with write what
// the primitive writes, its fixtures take away only what they made themselves, its probe sees a
// window thread that does not answer, and its import check reads real executables.

#include "bench/bench_logic.h"
#include "bench/bench_parts_win32.h"
#include "bench/fixtures_win32.h"
#include "bench/responsiveness_probe_win32.h"
#include "common/win32_handles.h"
#include "system/registry.h"
#include "system/registry_spec.h"
#include "system/services.h"
#include "tweaks/run_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <set>

namespace {

using namespace Velmora;
using namespace Velmora::Bench;

std::optional<DWORD> ReadDword(HKEY root, const RegistryTarget& target) {
    DWORD data = 0;
    DWORD size = sizeof data;
    if (::RegGetValueW(root, target.keyPath.c_str(), target.valueName.c_str(), RRF_RT_REG_DWORD, nullptr,
                       &data, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return data;
}

TEST(BenchRegExe, EachCommandLineWritesTheDwordTheRegistryPrimitiveWritesForTheRow) {
    const std::vector<RegistryDwordSetting> rows{
        {1, L"Software\\VelmoraBenchTest\\Key With Spaces\\{86ca1aa0-34aa-4e8b}:Value Name", 4294967295u},
        {1, L"Software\\VelmoraBenchTest\\Plain:Plain", 0},
        {1, L"Software\\VelmoraBenchTest\\No Colon\\Named After The Last Backslash", 7},
        {2, L"SOFTWARE\\VelmoraBenchTest\\Machine:Value", 2},
    };
    const std::wstring regExe = SystemFolderPath() + L"\\reg.exe";
    for (const RegistryDwordSetting& row : rows) {
        const auto target = SplitSpecForDword(row.spec);
        ASSERT_TRUE(target.has_value());
        const HKEY root = row.root == 1 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        const auto line = BuildRegAddCommandLine(row);
        ASSERT_TRUE(line.has_value());
        EXPECT_EQ(RunToExit(regExe, *line), std::optional<std::uint32_t>(0u));
        EXPECT_EQ(ReadDword(root, *target), std::optional<DWORD>(row.data));
        // The primitive writes to the very same place.
        ASSERT_TRUE(SetRegistryDword({row.root, row.spec, row.data ^ 1u}));
        EXPECT_EQ(ReadDword(root, *target), std::optional<DWORD>(row.data ^ 1u));
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VelmoraBenchTest");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VelmoraBenchTest");
}

class BenchTempFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder = UserTempFolder() / L"velmora-bench-fixture-test";
        std::filesystem::remove_all(folder);
        ASSERT_TRUE(std::filesystem::create_directories(folder));
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    void Touch(const std::filesystem::path& path) {
        const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const UniqueKernelHandle owner(file);
    }
    std::filesystem::path folder;
};

TEST_F(BenchTempFiles, CreatesSmallFilesAndRemovesOnlyItsOwn) {
    Touch(folder / L"velmora-bench-1.txt"); // its prefix, another extension
    Touch(folder / L"keep.tmp");
    std::filesystem::create_directory(folder / L"velmora-bench-77.tmp"); // a folder with its name
    Touch(folder / L"velmora-bench-77.tmp" / L"inside.tmp");

    TempFiles files(folder);
    EXPECT_EQ(files.Create(25, 100), 25u);
    EXPECT_EQ(files.Count(), 25u);
    EXPECT_EQ(std::filesystem::file_size(folder / L"velmora-bench-24.tmp"), 100u);
    EXPECT_EQ(files.RemoveAll(), 25u);
    EXPECT_EQ(files.Count(), 0u);
    EXPECT_TRUE(std::filesystem::exists(folder / L"velmora-bench-1.txt"));
    EXPECT_TRUE(std::filesystem::exists(folder / L"keep.tmp"));
    EXPECT_TRUE(std::filesystem::exists(folder / L"velmora-bench-77.tmp" / L"inside.tmp"));
}

TEST_F(BenchTempFiles, WhatIsLeftGoesWhenTheFixtureEnds) {
    {
        TempFiles files(folder);
        EXPECT_EQ(files.Create(3, 1), 3u);
    }
    EXPECT_EQ(TempFiles(folder).Count(), 0u);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// A service made by the test itself, not by the fixture.
class OwnService {
public:
    explicit OwnService(std::wstring name) : name_(std::move(name)) {
        const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        const UniqueServiceHandle service(
            ::CreateServiceW(manager.Get(), name_.c_str(), name_.c_str(), SERVICE_ALL_ACCESS,
                             SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                             L"C:\\windows\\system32\\own.exe", nullptr, nullptr, nullptr, nullptr, nullptr));
        created_ = service.IsValid();
    }
    ~OwnService() {
        const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        const UniqueServiceHandle service(::OpenServiceW(manager.Get(), name_.c_str(), DELETE));
        if (service) {
            ::DeleteService(service.Get());
        }
    }
    OwnService(const OwnService&) = delete;
    OwnService& operator=(const OwnService&) = delete;
    [[nodiscard]] bool Created() const { return created_; }

private:
    std::wstring name_;
    bool created_ = false;
};

TEST(BenchTestServices, CreatesTheMissingServicesAndDeletesOnlyThose) {
    const OwnService existing(L"VelmoraBenchOwnService");
    ASSERT_TRUE(existing.Created());
    {
        TestServices services;
        EXPECT_EQ(services.Create({L"VelmoraBenchOwnService", L"VelmoraBenchMadeService"}), 1u);
        EXPECT_EQ(services.Created(), std::vector<std::wstring>{L"VelmoraBenchMadeService"});
        EXPECT_TRUE(ServiceExists(L"VelmoraBenchMadeService"));
        // The service step writes start types into the key the service manager made for it.
        EXPECT_TRUE(SetServiceStartInRegistry(L"VelmoraBenchMadeService", 4));
    }
    EXPECT_FALSE(ServiceExists(L"VelmoraBenchMadeService"));
    EXPECT_TRUE(ServiceExists(L"VelmoraBenchOwnService"));
}

TEST(BenchTestServices, PicksTableServicesTheMachineLacksAndOnePerUserInstance) {
    const RunController controller;
    const std::vector<std::wstring> names = PickTestServiceNames(controller.serviceTable, 50);
    ASSERT_EQ(names.size(), 50u);
    std::set<std::wstring> table;
    for (const auto& entry : controller.serviceTable) {
        table.insert(entry.name);
    }
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        EXPECT_TRUE(table.contains(names[i])) << i;
        EXPECT_FALSE(ServiceExists(names[i])) << i;
    }
    EXPECT_EQ(std::set<std::wstring>(names.begin(), names.end()).size(), names.size());
    EXPECT_EQ(PerUserServiceSuffixesOf({names.back()}).size(), 1u) << "one per-user instance";
    EXPECT_EQ(PickTestServiceNames(controller.serviceTable, 1), std::vector<std::wstring>{names.back()});
    EXPECT_TRUE(PickTestServiceNames(controller.serviceTable, 0).empty());
}

TEST(BenchTestServices, ThePerUserInstanceMakesTheServiceStepExpandTheTemplates) {
    const RunController controller;
    const std::vector<std::wstring> name = PickTestServiceNames(controller.serviceTable, 1);
    const std::vector<std::wstring> suffix = PerUserServiceSuffixesOf(name);
    ASSERT_EQ(suffix.size(), 1u);
    TestServices services;
    ASSERT_EQ(services.Create(name), 1u);
    const std::vector<std::wstring> found = CollectPerUserServiceSuffixes();
    EXPECT_NE(std::find(found.begin(), found.end(), suffix.front()), found.end());
}

TEST(BenchTestTasks, RegistersTheMissingTasksEnabledAndDeletesOnlyThose) {
    const std::wstring existing = L"VelmoraBenchTest\\Existing";
    const std::wstring made = L"VelmoraBenchTest\\Deeper\\Made";
    TestTasks own;
    ASSERT_EQ(own.Register({existing}), 1u);
    {
        TestTasks tasks;
        EXPECT_EQ(tasks.Register({existing, made}), 1u);
        EXPECT_EQ(tasks.Registered(), std::vector<std::wstring>{made});
        EXPECT_EQ(TaskEnabledState(made), std::optional<bool>(true));
    }
    EXPECT_EQ(TaskEnabledState(made), std::nullopt);
    EXPECT_EQ(TaskEnabledState(existing), std::optional<bool>(true));
    own.RemoveAll();
    EXPECT_EQ(TaskEnabledState(existing), std::nullopt);
}

// A window whose procedure answers one message of its own and counts the probe messages it gets.
class ProbedWindow {
public:
    static constexpr UINT kOwnMessage = WM_APP + 77;

    ProbedWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &Proc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VelmoraBenchProbedWindow";
        ::RegisterClassW(&windowClass);
        window_ = ::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                                    windowClass.hInstance, nullptr);
    }
    ~ProbedWindow() { ::DestroyWindow(window_); }
    ProbedWindow(const ProbedWindow&) = delete;
    ProbedWindow& operator=(const ProbedWindow&) = delete;
    [[nodiscard]] HWND Handle() const { return window_; }

    // Handles what is queued for the thread for the given time.
    static void Pump(double milliseconds) {
        const double end = NowMs() + milliseconds;
        while (NowMs() < end) {
            MSG message;
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                ::DispatchMessageW(&message);
            }
            ::Sleep(1);
        }
    }

    static inline int probesSeenByTheWindow = 0;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kOwnMessage) {
            return 42;
        }
        if (message == ::RegisterWindowMessageW(L"VelmoraBenchResponsivenessProbe")) {
            ++probesSeenByTheWindow;
            return 0;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    HWND window_ = nullptr;
};

TEST(BenchResponsivenessProbe, SeesTheWindowThreadNotAnsweringAndLeavesEveryOtherMessageToTheWindow) {
    ProbedWindow window;
    ASSERT_NE(window.Handle(), nullptr);
    ProbedWindow::probesSeenByTheWindow = 0;
    ResponsivenessSummary summary;
    {
        ResponsivenessProbe probe(window.Handle(), 5.0, 10000);
        ASSERT_TRUE(probe.IsAttached());
        int answered = 0;
        probe.onProbe = [&answered] { ++answered; };
        EXPECT_EQ(::SendMessageW(window.Handle(), ProbedWindow::kOwnMessage, 0, 0), 42);
        probe.Start();
        ProbedWindow::Pump(100.0);
        // The thread does not look at its messages for 300 ms: the probes posted meanwhile wait.
        ::Sleep(300);
        ProbedWindow::Pump(100.0);
        probe.Stop();
        ProbedWindow::Pump(50.0);
        const auto samples = probe.Samples();
        summary = SummarizeProbes(samples, probe.StoppedAtMs(), 50.0);
        EXPECT_EQ(static_cast<std::size_t>(answered), samples.size());
    }
    EXPECT_GT(summary.probes, 10u);
    EXPECT_EQ(summary.unanswered, 0u);
    // A lower bound only: the thread was certainly away that long; load can only add to it.
    EXPECT_GE(summary.worstDelayMs, 150.0);
    EXPECT_GE(summary.overLimit, 1u);
    EXPECT_EQ(ProbedWindow::probesSeenByTheWindow, 0) << "the probe messages never reach the window";

    // Detached again: the window gets everything itself.
    EXPECT_EQ(::SendMessageW(window.Handle(), ProbedWindow::kOwnMessage, 0, 0), 42);
    ::SendMessageW(window.Handle(), ::RegisterWindowMessageW(L"VelmoraBenchResponsivenessProbe"), 0, 0);
    EXPECT_EQ(ProbedWindow::probesSeenByTheWindow, 1);
}

TEST(BenchImports, ReadsTheImportsOfRealExecutablesAndFindsThemInTheSystemFolder) {
    const std::wstring folder = ExecutableFolder();
    const auto bytes = ReadWholeFile(folder + L"\\velmora_bench_empty_window.exe");
    ASSERT_TRUE(bytes.has_value());
    const auto imports = ImportedDllNames(*bytes);
    ASSERT_TRUE(imports.has_value());
    std::set<std::wstring> lower;
    for (const std::string& name : *imports) {
        std::wstring wide(name.begin(), name.end());
        std::transform(wide.begin(), wide.end(), wide.begin(), [](wchar_t c) { return std::towlower(c); });
        lower.insert(wide);
    }
    EXPECT_TRUE(lower.contains(L"user32.dll"));
    EXPECT_TRUE(lower.contains(L"kernel32.dll"));
    EXPECT_EQ(NonSystemImports(folder + L"\\velmora_bench_empty_window.exe"), std::vector<std::string>{});
    EXPECT_EQ(NonSystemImports(folder + L"\\Velmora.exe"), std::vector<std::string>{})
        << "Velmora.exe needs no DLL beside it";
    EXPECT_EQ(NonSystemImports(folder + L"\\no-such-program.exe"), std::nullopt);
}

} // namespace
