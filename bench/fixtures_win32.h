#pragma once

// What the benchmark sets up around a run so that each step has real work to do, and takes away
// again afterwards: small files in the temporary folder, extra services, the listed scheduled tasks.
// Each fixture removes only what it created itself.

#include "system/service_records.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora::Bench {

// Milliseconds on the performance counter.
[[nodiscard]] double NowMs();

// The Wine version the process runs under; empty when it does not run under Wine.
[[nodiscard]] std::string WineVersion();

// The system folder, e.g. C:\windows\system32; empty on failure.
[[nodiscard]] std::wstring SystemFolderPath();

// Starts a program without a window, waits for it and returns its exit code; nullopt when it
// could not be started.
[[nodiscard]] std::optional<std::uint32_t> RunToExit(const std::wstring& application,
                                                     std::wstring commandLine);

// The whole content of a file (up to 256 MB); nullopt when it cannot be read.
[[nodiscard]] std::optional<std::string> ReadWholeFile(const std::wstring& path);

// The user's temporary folder as GetTempPathW gives it; empty on failure.
[[nodiscard]] std::filesystem::path UserTempFolder();

// Small files of the benchmark in one folder, all named "velmora-bench-<n>.tmp".
class TempFiles {
public:
    explicit TempFiles(std::filesystem::path folder);
    ~TempFiles();
    TempFiles(const TempFiles&) = delete;
    TempFiles& operator=(const TempFiles&) = delete;

    // Creates `count` files of `bytes` bytes each; returns how many were created.
    std::size_t Create(std::size_t count, std::size_t bytes);
    // How many files of the benchmark are in the folder (plain files with its names only).
    [[nodiscard]] std::size_t Count() const;
    // Deletes the benchmark's files that are still there; returns how many it deleted.
    std::size_t RemoveAll();

    static constexpr std::wstring_view kPrefix = L"velmora-bench-";
    static constexpr std::wstring_view kExtension = L".tmp";

private:
    [[nodiscard]] bool IsOurs(const std::filesystem::path& name) const;
    [[nodiscard]] std::vector<std::filesystem::path> Ours() const;
    std::filesystem::path folder_;
};

// Services created for the benchmark and deleted again when it ends. Names that already exist are
// left alone.
class TestServices {
public:
    TestServices() = default;
    ~TestServices();
    TestServices(const TestServices&) = delete;
    TestServices& operator=(const TestServices&) = delete;

    // Creates a demand-start service of its own process type for each name that does not exist yet.
    std::size_t Create(const std::vector<std::wstring>& names);
    [[nodiscard]] const std::vector<std::wstring>& Created() const { return created_; }
    // Deletes the services this fixture created.
    void RemoveAll();

private:
    std::vector<std::wstring> created_;
};

// Whether the service manager knows the service.
[[nodiscard]] bool ServiceExists(const std::wstring& name);

// `count` names for extra services: names of the table that the machine lacks, in table order, so
// that the service step changes them for real, and one instance of a per-user service, so that the
// per-user templates are expanded as on a machine with one signed-in user.
[[nodiscard]] std::vector<std::wstring> PickTestServiceNames(const std::vector<ServiceStartEntry>& table,
                                                             std::size_t count);

// The run's scheduled tasks, registered enabled where they are missing, and deleted again.
class TestTasks {
public:
    TestTasks() = default;
    ~TestTasks();
    TestTasks(const TestTasks&) = delete;
    TestTasks& operator=(const TestTasks&) = delete;

    // Paths relative to the root folder, as the run's list holds them. Returns how many were registered.
    std::size_t Register(const std::vector<std::wstring>& paths);
    [[nodiscard]] const std::vector<std::wstring>& Registered() const { return registered_; }
    void RemoveAll();

private:
    std::vector<std::wstring> registered_;
    std::vector<std::wstring> createdFolders_;
};

// Whether a task is enabled; nullopt when it is not registered or cannot be read.
[[nodiscard]] std::optional<bool> TaskEnabledState(const std::wstring& path);

} // namespace Velmora::Bench
