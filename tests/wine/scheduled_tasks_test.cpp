// The scheduled-task primitives against Wine's real Task Scheduler: tasks registered at listed
// paths are disabled in place by a profile run, missing folders and tasks fail without stopping the
// list, and the COM apartment of the calling thread is left as it was found. (The folder walk of
// FindTasksByName is tested on the host: Wine's registered-task collection cannot be counted.)

#include "common/com_values.h"
#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "support/counting_dispatcher.h"
#include "system/scheduled_tasks.h"
#include "system/win32_system_operations.h"
#include "tweaks/apply_pipeline.h"
#include "tweaks/run_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <taskschd.h>

#include <optional>
#include <thread>

namespace {

using namespace Velmora;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct TaskState {
    bool enabled = false;
    bool hidden = false;
    std::wstring description;
};

// The test's own connection to the Task Scheduler, to set up tasks and look at them afterwards.
class TestScheduler {
public:
    TestScheduler() {
        EXPECT_TRUE(SUCCEEDED(apartment_.result));
        EXPECT_EQ(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                     reinterpret_cast<void**>(service_.Put())),
                  S_OK);
        EXPECT_EQ(service_->Connect(EmptyVariant(), EmptyVariant(), EmptyVariant(), EmptyVariant()), S_OK);
    }

    UniqueComPointer<ITaskFolder> Folder(const std::wstring& path) {
        UniqueComPointer<ITaskFolder> folder;
        if (FAILED(service_->GetFolder(MakeBstr(path).Get(), folder.Put()))) {
            folder.Reset();
        }
        return folder;
    }

    // Creates the folder (and its parents); an existing folder is fine.
    void EnsureFolder(const std::wstring& path) {
        if (Folder(path)) {
            return;
        }
        const UniqueBstr sddl = MakeBstr(L"");
        UniqueComPointer<ITaskFolder> created;
        ASSERT_EQ(Folder(L"\\")->CreateFolder(MakeBstr(path).Get(), BstrVariant(sddl), created.Put()), S_OK);
    }

    void Register(const std::wstring& folderPath, const std::wstring& name, bool enabled, bool hidden) {
        EnsureFolder(folderPath);
        const std::wstring xml =
            std::wstring(
                L"<?xml version=\"1.0\"?>\n"
                L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
                L"  <RegistrationInfo><Description>Velmora test task</Description></RegistrationInfo>\n"
                L"  <Settings><Enabled>") +
            (enabled ? L"true" : L"false") + L"</Enabled><Hidden>" + (hidden ? L"true" : L"false") +
            L"</Hidden></Settings>\n"
            L"  <Actions><Exec><Command>cmd.exe</Command></Exec></Actions>\n"
            L"</Task>\n";
        UniqueComPointer<IRegisteredTask> task;
        ASSERT_EQ(Folder(folderPath)
                      ->RegisterTask(MakeBstr(name).Get(), MakeBstr(xml).Get(), TASK_CREATE_OR_UPDATE,
                                     EmptyVariant(), EmptyVariant(), TASK_LOGON_NONE, EmptyVariant(),
                                     task.Put()),
                  S_OK);
    }

    // Nullopt when the task is not registered.
    std::optional<TaskState> State(const std::wstring& folderPath, const std::wstring& name) {
        const auto folder = Folder(folderPath);
        UniqueComPointer<IRegisteredTask> task;
        if (!folder || FAILED(folder->GetTask(MakeBstr(name).Get(), task.Put()))) {
            return std::nullopt;
        }
        UniqueComPointer<ITaskDefinition> definition;
        UniqueComPointer<ITaskSettings> settings;
        UniqueComPointer<IRegistrationInfo> info;
        UniqueBstr description;
        VARIANT_BOOL enabled = VARIANT_TRUE;
        VARIANT_BOOL hidden = VARIANT_FALSE;
        EXPECT_EQ(task->get_Definition(definition.Put()), S_OK);
        EXPECT_EQ(definition->get_Settings(settings.Put()), S_OK);
        EXPECT_EQ(settings->get_Enabled(&enabled), S_OK);
        EXPECT_EQ(settings->get_Hidden(&hidden), S_OK);
        EXPECT_EQ(definition->get_RegistrationInfo(info.Put()), S_OK);
        EXPECT_EQ(info->get_Description(description.Put()), S_OK);
        return TaskState{enabled != VARIANT_FALSE, hidden != VARIANT_FALSE,
                         description ? std::wstring(description.Get()) : std::wstring()};
    }

    void Remove(const std::wstring& folderPath, const std::wstring& name) {
        if (const auto folder = Folder(folderPath)) {
            static_cast<void>(folder->DeleteTask(MakeBstr(name).Get(), 0));
        }
    }

    // Removes the folder when it is empty (a folder with anything left in it is not ours to remove).
    void RemoveFolder(const std::wstring& parentPath, const std::wstring& name) {
        if (const auto parent = Folder(parentPath)) {
            static_cast<void>(parent->DeleteFolder(MakeBstr(name).Get(), 0));
        }
    }

private:
    ComApartment apartment_ = InitializeComApartment(COINIT_MULTITHREADED);
    UniqueComPointer<ITaskService> service_;
};

constexpr wchar_t kAppExperience[] = L"\\Microsoft\\Windows\\Application Experience";
constexpr wchar_t kMaps[] = L"\\Microsoft\\Windows\\Maps";
constexpr wchar_t kOffice[] = L"\\Microsoft\\Office";
constexpr wchar_t kRootTask[] = L"VelmoraRootTask";
constexpr wchar_t kEdgeTask[] = L"MicrosoftEdgeUpdateTaskMachineCore{2F1A5E0C-7B9D-4C3E-9A61-0D8B4E2C7F13}";

class ScheduledTasks : public ::testing::Test {
protected:
    void SetUp() override {
        CleanUp();
        SetDiagnosticSink(lines);
    }
    void TearDown() override {
        SetDiagnosticSink(nullptr);
        CleanUp();
    }

    void CleanUp() {
        scheduler.Remove(kAppExperience, L"Microsoft Compatibility Appraiser");
        scheduler.Remove(kAppExperience, L"AitAgent");
        scheduler.Remove(kMaps, L"MapsUpdateTask");
        scheduler.Remove(kOffice, L"OfficeTelemetryAgentLogOn2016");
        scheduler.Remove(L"\\", kRootTask);
        scheduler.Remove(L"\\", kEdgeTask);
        scheduler.RemoveFolder(L"\\Microsoft\\Windows", L"Application Experience");
        scheduler.RemoveFolder(L"\\Microsoft\\Windows", L"Maps");
        scheduler.RemoveFolder(L"\\Microsoft", L"Windows");
        scheduler.RemoveFolder(L"\\Microsoft", L"Office");
        scheduler.RemoveFolder(L"\\", L"Microsoft");
    }

    // The lines of the task primitives, in order, leaving out those of the other steps of a run.
    std::vector<std::wstring> TaskLines() const {
        std::vector<std::wstring> taskLines;
        for (const std::wstring& line : lines->Lines()) {
            if (line.starts_with(L"Task '") || line.starts_with(L"Failed to open folder") ||
                line.starts_with(L"Failed to find task")) {
                taskLines.push_back(line);
            }
        }
        return taskLines;
    }

    TestScheduler scheduler;
    std::shared_ptr<MemoryDiagnosticSink> lines = std::make_shared<MemoryDiagnosticSink>();
};

// Replaces the HRESULT at the end of an open-folder failure by "<hr>" once it is seen to be a
// negative decimal: Wine and Windows differ in which "not found" code they give for a folder.
std::wstring FolderHresultMasked(const std::wstring& line) {
    if (!line.starts_with(L"Failed to open folder '")) {
        return line;
    }
    const size_t colon = line.rfind(L"': -");
    if (colon == std::wstring::npos ||
        line.find_first_not_of(L"0123456789", colon + 4) != std::wstring::npos || colon + 4 == line.size()) {
        return line;
    }
    return line.substr(0, colon) + L"': <hr>";
}

using Velmora::Testing::CountingDispatcher;

TEST_F(ScheduledTasks, ProfileRunDisablesTheListedTasksInPlaceAndGoesOnPastMissingOnes) {
    scheduler.Register(kAppExperience, L"Microsoft Compatibility Appraiser", true, false);
    scheduler.Register(kMaps, L"MapsUpdateTask", true, true);
    scheduler.Register(kOffice, L"OfficeTelemetryAgentLogOn2016", false, false);
    scheduler.Register(kAppExperience, L"AitAgent", true, false);

    RunController controller;
    SharedRunState state;
    state.selectedProfile = kEssentialProfile;
    Win32SystemOperations system;
    CountingDispatcher dispatcher;
    RunApplyPipeline({controller, state, system, dispatcher, nullptr, [] {}, [] {}});

    for (const auto& [folder, name, hidden] :
         {std::tuple{kAppExperience, L"Microsoft Compatibility Appraiser", false},
          std::tuple{kMaps, L"MapsUpdateTask", true},
          std::tuple{kOffice, L"OfficeTelemetryAgentLogOn2016", false},
          std::tuple{kAppExperience, L"AitAgent", false}}) {
        const auto task = scheduler.State(folder, name);
        ASSERT_TRUE(task.has_value()) << "the task is still registered";
        EXPECT_FALSE(task->enabled);
        EXPECT_EQ(task->hidden, hidden) << "only the enabled setting changes";
        EXPECT_EQ(task->description, L"Velmora test task");
    }

    std::vector<std::wstring> taskLines = TaskLines();
    for (std::wstring& line : taskLines) {
        line = FolderHresultMasked(line);
    }
    const std::wstring missing = L"': -2147024894"; // HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
    EXPECT_THAT(
        taskLines,
        ElementsAre(
            L"Task 'Microsoft\\Windows\\Application Experience\\Microsoft Compatibility Appraiser' has been "
            L"disabled successfully.",
            L"Failed to find task 'Microsoft Compatibility Appraiser Exp" + missing,
            L"Failed to find task 'ProgramDataUpdater" + missing,
            L"Failed to open folder '\\Microsoft\\Windows\\Autochk': <hr>",
            L"Failed to open folder '\\Microsoft\\Windows\\Customer Experience Improvement Program': <hr>",
            L"Failed to open folder '\\Microsoft\\Windows\\Customer Experience Improvement Program': <hr>",
            L"Failed to open folder '\\Microsoft\\Windows\\DiskDiagnostic': <hr>",
            L"Failed to open folder '\\Microsoft\\Windows\\Feedback\\Siuf': <hr>",
            L"Failed to open folder '\\Microsoft\\Windows\\Feedback\\Siuf': <hr>",
            L"Failed to open folder '\\Microsoft\\Windows\\Windows Error Reporting': <hr>",
            L"Failed to find task 'MareBackup" + missing, L"Failed to find task 'StartupAppTask" + missing,
            L"Failed to find task 'PcaPatchDbTask" + missing,
            L"Task 'Microsoft\\Windows\\Maps\\MapsUpdateTask' has been disabled successfully.",
            L"Failed to find task 'OfficeTelemetryAgentFallBack" + missing,
            L"Failed to find task 'OfficeTelemetryAgentFallBack2016" + missing,
            L"Failed to find task 'OfficeTelemetryAgentLogOn" + missing,
            L"Task 'Microsoft\\Office\\OfficeTelemetryAgentLogOn2016' has been disabled successfully.",
            L"Task 'Microsoft\\Windows\\Application Experience\\AitAgent' has been disabled successfully."));
}

TEST_F(ScheduledTasks, RootFolderTasksAreFoundByNameAloneAndByBackslashAndName) {
    scheduler.Register(L"\\", kRootTask, true, false);
    scheduler.Register(L"\\", kEdgeTask, true, true);

    EXPECT_TRUE(DisableScheduledTask(kRootTask));
    // The form the folder walk returns for a root task.
    EXPECT_TRUE(DisableScheduledTask(std::wstring(L"\\") + kEdgeTask));

    const auto root = scheduler.State(L"\\", kRootTask);
    const auto edge = scheduler.State(L"\\", kEdgeTask);
    ASSERT_TRUE(root && edge);
    EXPECT_FALSE(root->enabled);
    EXPECT_FALSE(edge->enabled);
    EXPECT_TRUE(edge->hidden);
    EXPECT_THAT(lines->Lines(),
                ElementsAre(std::wstring(L"Task '") + kRootTask + L"' has been disabled successfully.",
                            std::wstring(L"Task '\\") + kEdgeTask + L"' has been disabled successfully."));
}

TEST_F(ScheduledTasks, AnAlreadyDisabledTaskIsRegisteredAgainAndReportsSuccess) {
    scheduler.Register(L"\\", kRootTask, false, false);
    EXPECT_TRUE(DisableScheduledTask(kRootTask));
    EXPECT_TRUE(DisableScheduledTask(kRootTask)) << "a second run finds it disabled and succeeds again";
    const auto root = scheduler.State(L"\\", kRootTask);
    ASSERT_TRUE(root.has_value());
    EXPECT_FALSE(root->enabled);
}

TEST_F(ScheduledTasks, AMissingFolderOrTaskReportsFalseAndChangesNothing) {
    scheduler.Register(L"\\", kRootTask, true, false);
    EXPECT_FALSE(DisableScheduledTask(L"VelmoraTests\\Missing\\VelmoraRootTask"));
    EXPECT_FALSE(DisableScheduledTask(L"\\NoSuchVelmoraTask"));
    ASSERT_EQ(lines->Lines().size(), 2u);
    EXPECT_EQ(FolderHresultMasked(lines->Lines()[0]),
              L"Failed to open folder '\\VelmoraTests\\Missing': <hr>");
    EXPECT_EQ(lines->Lines()[1], L"Failed to find task 'NoSuchVelmoraTask': -2147024894");
    const auto root = scheduler.State(L"\\", kRootTask);
    ASSERT_TRUE(root.has_value());
    EXPECT_TRUE(root->enabled);
}

TEST_F(ScheduledTasks, OnASingleThreadedApartmentTheThreadKeepsItsApartment) {
    scheduler.Register(L"\\", kRootTask, true, false);
    std::thread([] {
        const ComApartment own = InitializeComApartment(COINIT_APARTMENTTHREADED);
        ASSERT_EQ(own.result, S_OK);
        EXPECT_TRUE(DisableScheduledTask(kRootTask)) << "works in the apartment the thread already has";
        // Still single-threaded: the operation did not uninitialise what it did not initialise.
        const ComApartment again = InitializeComApartment(COINIT_APARTMENTTHREADED);
        EXPECT_EQ(again.result, S_FALSE);
    }).join();
    const auto root = scheduler.State(L"\\", kRootTask);
    ASSERT_TRUE(root.has_value());
    EXPECT_FALSE(root->enabled);
}

TEST_F(ScheduledTasks, OnAThreadWithoutComTheOperationLeavesItsApartmentAgain) {
    scheduler.Register(L"\\", kRootTask, true, false);
    std::thread([] {
        EXPECT_TRUE(DisableScheduledTask(kRootTask));
        EXPECT_THAT(FindTasksByName({L"VelmoraNoSuchTaskName"}), IsEmpty());
        // Had either call stayed in the multithreaded apartment, this would fail with RPC_E_CHANGED_MODE.
        const ComApartment single = InitializeComApartment(COINIT_APARTMENTTHREADED);
        EXPECT_EQ(single.result, S_OK);
    }).join();
}

} // namespace
