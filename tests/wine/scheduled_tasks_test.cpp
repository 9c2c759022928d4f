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
using ::testing::Contains;

struct TaskState {
    bool enabled = false;
    bool hidden = false;
    std::wstring description;
};

// The test's own connection to the Task Scheduler, to set up tasks and look at them afterwards.
class TestScheduler {
public:
    TestScheduler() {
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

    void Register(const std::wstring& folderPath, const std::wstring& name, bool enabled, bool hidden) {
        if (!Folder(folderPath)) {
            UniqueComPointer<ITaskFolder> created;
            const UniqueBstr sddl = MakeBstr(L"");
            ASSERT_EQ(
                Folder(L"\\")->CreateFolder(MakeBstr(folderPath).Get(), BstrVariant(sddl), created.Put()),
                S_OK);
        }
        const std::wstring xml =
            std::wstring(
                L"<?xml version=\"1.0\"?>\n<Task version=\"1.2\" "
                L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
                L"<RegistrationInfo><Description>Velmora test task</Description></RegistrationInfo>\n"
                L"<Settings><Enabled>") +
            (enabled ? L"true" : L"false") + L"</Enabled><Hidden>" + (hidden ? L"true" : L"false") +
            L"</Hidden></Settings>\n<Actions><Exec><Command>cmd.exe</Command></Exec></Actions>\n</Task>\n";
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

private:
    ComApartment apartment_ = InitializeComApartment(COINIT_MULTITHREADED);
    UniqueComPointer<ITaskService> service_;
};

constexpr wchar_t kAppExperience[] = L"\\Microsoft\\Windows\\Application Experience";
constexpr wchar_t kMaps[] = L"\\Microsoft\\Windows\\Maps";
constexpr wchar_t kOffice[] = L"\\Microsoft\\Office";
constexpr wchar_t kRootTask[] = L"VelmoraRootTask";
constexpr wchar_t kEdgeTask[] = L"MicrosoftEdgeUpdateTaskMachineCore{2F1A5E0C-7B9D-4C3E-9A61-0D8B4E2C7F13}";

const std::tuple<const wchar_t*, const wchar_t*, bool> kListedTasks[] = {
    {kAppExperience, L"Microsoft Compatibility Appraiser", false},
    {kMaps, L"MapsUpdateTask", true},
    {kOffice, L"OfficeTelemetryAgentLogOn2016", false},
    {kAppExperience, L"AitAgent", false},
};

class ScheduledTasks : public ::testing::Test {
protected:
    void SetUp() override {
        TearDown();
        SetDiagnosticSink(lines);
    }
    void TearDown() override {
        SetDiagnosticSink(nullptr);
        for (const auto& [folder, name, hidden] : kListedTasks) {
            scheduler.Remove(folder, name);
        }
        scheduler.Remove(L"\\", kRootTask);
        scheduler.Remove(L"\\", kEdgeTask);
    }

    TestScheduler scheduler;
    std::shared_ptr<MemoryDiagnosticSink> lines = std::make_shared<MemoryDiagnosticSink>();
};

TEST_F(ScheduledTasks, AProfileRunDisablesTheListedTasksInPlaceAndGoesOnPastMissingOnes) {
    for (const auto& [folder, name, hidden] : kListedTasks) {
        scheduler.Register(folder, name, true, hidden);
    }
    RunController controller;
    SharedRunState state;
    state.selectedProfile = kEssentialProfile;
    Win32SystemOperations system;
    Testing::CountingDispatcher dispatcher;
    RunApplyPipeline({controller, state, system, dispatcher, nullptr, [] {}, [] {}});

    for (const auto& [folder, name, hidden] : kListedTasks) {
        const auto task = scheduler.State(folder, name);
        ASSERT_TRUE(task.has_value()) << "the task is still registered";
        EXPECT_FALSE(task->enabled);
        EXPECT_EQ(task->hidden, hidden) << "only the enabled setting changes";
        EXPECT_EQ(task->description, L"Velmora test task");
    }
    // The tasks after the missing ones were reached; one line of each kind.
    EXPECT_THAT(lines->Lines(),
                Contains(L"Task 'Microsoft\\Windows\\Application Experience\\AitAgent' has been "
                         L"disabled successfully."));
    EXPECT_THAT(lines->Lines(), Contains(L"Failed to find task 'ProgramDataUpdater': -2147024894"));
}

TEST_F(ScheduledTasks, RootTasksAreFoundByNameAloneOrAfterABackslashAndADisabledOneStaysDisabled) {
    scheduler.Register(L"\\", kRootTask, false, false);
    scheduler.Register(L"\\", kEdgeTask, true, true);
    EXPECT_TRUE(DisableScheduledTask(kRootTask)) << "a disabled task is registered again and succeeds";
    EXPECT_TRUE(DisableScheduledTask(std::wstring(L"\\") + kEdgeTask)); // the form the folder walk returns
    const auto root = scheduler.State(L"\\", kRootTask);
    const auto edge = scheduler.State(L"\\", kEdgeTask);
    ASSERT_TRUE(root && edge);
    EXPECT_FALSE(root->enabled);
    EXPECT_FALSE(edge->enabled);
    EXPECT_TRUE(edge->hidden);
}

TEST_F(ScheduledTasks, AMissingFolderOrTaskReportsFalseAndChangesNothing) {
    scheduler.Register(L"\\", kRootTask, true, false);
    EXPECT_FALSE(DisableScheduledTask(L"VelmoraTests\\Missing\\VelmoraRootTask"));
    EXPECT_FALSE(DisableScheduledTask(L"\\NoSuchVelmoraTask"));
    ASSERT_EQ(lines->Lines().size(), 2u);
    EXPECT_TRUE(lines->Lines()[0].starts_with(L"Failed to open folder '\\VelmoraTests\\Missing': -"));
    EXPECT_EQ(lines->Lines()[1], L"Failed to find task 'NoSuchVelmoraTask': -2147024894");
    EXPECT_TRUE(scheduler.State(L"\\", kRootTask)->enabled);
}

TEST_F(ScheduledTasks, TheCallingThreadsApartmentIsUsedAsItIsOrLeftAgain) {
    scheduler.Register(L"\\", kRootTask, true, false);
    std::thread([] {
        const ComApartment own = InitializeComApartment(COINIT_APARTMENTTHREADED);
        ASSERT_EQ(own.result, S_OK);
        EXPECT_TRUE(DisableScheduledTask(kRootTask)) << "works in the apartment the thread already has";
        // Still single-threaded: the operation did not uninitialise what it did not initialise.
        EXPECT_EQ(InitializeComApartment(COINIT_APARTMENTTHREADED).result, S_FALSE);
    }).join();
    std::thread([] {
        EXPECT_TRUE(DisableScheduledTask(kRootTask));
        EXPECT_TRUE(FindTasksByName({L"VelmoraNoSuchTaskName"}).empty());
        // Had either call stayed in the multithreaded apartment, this would fail with RPC_E_CHANGED_MODE.
        EXPECT_EQ(InitializeComApartment(COINIT_APARTMENTTHREADED).result, S_OK);
    }).join();
    EXPECT_FALSE(scheduler.State(L"\\", kRootTask)->enabled);
}

} // namespace
