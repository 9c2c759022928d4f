// Disabling a task against the real Task Scheduler, and the walk over its folders. (A whole run is
// watched end to end; the walk's order is tested on the host too, as Wine's registered-task collection
// cannot be counted.)

#include "bench/fixtures_win32.h"
#include "common/com_values.h"
#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "support/this_pc.h"
#include "system/scheduled_tasks.h"

#include <gtest/gtest.h>

#include <taskschd.h>

#include <optional>

namespace {

using namespace Velmora;

struct TaskState {
    bool enabled = false;
    bool hidden = false;
    std::wstring description;
};

constexpr wchar_t kRootTask[] = L"VelmoraRootTask";
constexpr wchar_t kEdgeTask[] = L"MicrosoftEdgeUpdateTaskMachineCore{2F1A5E0C-7B9D-4C3E-9A61-0D8B4E2C7F13}";
constexpr wchar_t kWalkTask[] = L"VelmoraWalkTaskA";

// The test's own connection to the Task Scheduler's root folder, to set up tasks and look at them.
class ScheduledTasks : public ::testing::Test {
protected:
    void SetUp() override {
        UniqueComPointer<ITaskService> service;
        ASSERT_EQ(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                     reinterpret_cast<void**>(service.Put())),
                  S_OK);
        ASSERT_EQ(service->Connect(EmptyVariant(), EmptyVariant(), EmptyVariant(), EmptyVariant()), S_OK);
        ASSERT_EQ(service->GetFolder(MakeBstr(L"\\").Get(), root.Put()), S_OK);
        SetDiagnosticSink(lines);
    }
    void TearDown() override {
        SetDiagnosticSink(nullptr);
        for (const wchar_t* name : {kRootTask, kEdgeTask, kWalkTask}) {
            static_cast<void>(root->DeleteTask(MakeBstr(name).Get(), 0));
        }
        if (deeper) {
            for (const wchar_t* name :
                 {kEdgeTask, kWalkTask, L"VelmoraWalkTaskB{1}", L"OtherVelmoraWalkTask"}) {
                static_cast<void>(deeper->DeleteTask(MakeBstr(name).Get(), 0));
            }
            deeper.Reset();
            static_cast<void>(root->DeleteFolder(MakeBstr(L"\\VelmoraWalk\\Deeper").Get(), 0));
            static_cast<void>(root->DeleteFolder(MakeBstr(L"\\VelmoraWalk").Get(), 0));
        }
    }

    void Register(const std::wstring& name, bool enabled, bool hidden, ITaskFolder* folder = nullptr) {
        const std::wstring xml =
            std::wstring(
                L"<?xml version=\"1.0\"?>\n<Task version=\"1.2\" "
                L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
                L"<RegistrationInfo><Description>Velmora test task</Description></RegistrationInfo>\n"
                L"<Settings><Enabled>") +
            (enabled ? L"true" : L"false") + L"</Enabled><Hidden>" + (hidden ? L"true" : L"false") +
            L"</Hidden></Settings>\n<Actions><Exec><Command>cmd.exe</Command></Exec></Actions>\n</Task>\n";
        UniqueComPointer<IRegisteredTask> task;
        ASSERT_EQ((folder != nullptr ? folder : root.Get())
                      ->RegisterTask(MakeBstr(name).Get(), MakeBstr(xml).Get(), TASK_CREATE_OR_UPDATE,
                                     EmptyVariant(), EmptyVariant(), TASK_LOGON_NONE, EmptyVariant(),
                                     task.Put()),
                  S_OK);
    }

    TaskState State(const std::wstring& name) {
        UniqueComPointer<IRegisteredTask> task;
        UniqueComPointer<ITaskDefinition> definition;
        UniqueComPointer<ITaskSettings> settings;
        UniqueComPointer<IRegistrationInfo> info;
        UniqueBstr description;
        VARIANT_BOOL enabled = VARIANT_TRUE;
        VARIANT_BOOL hidden = VARIANT_FALSE;
        EXPECT_EQ(root->GetTask(MakeBstr(name).Get(), task.Put()), S_OK) << "the task is still registered";
        if (task && SUCCEEDED(task->get_Definition(definition.Put())) &&
            SUCCEEDED(definition->get_Settings(settings.Put())) &&
            SUCCEEDED(definition->get_RegistrationInfo(info.Put()))) {
            EXPECT_EQ(settings->get_Enabled(&enabled), S_OK);
            EXPECT_EQ(settings->get_Hidden(&hidden), S_OK);
            EXPECT_EQ(info->get_Description(description.Put()), S_OK);
        }
        return {enabled != VARIANT_FALSE, hidden != VARIANT_FALSE,
                description ? std::wstring(description.Get()) : std::wstring()};
    }

    ComApartment apartment = InitializeComApartment(COINIT_MULTITHREADED);
    UniqueComPointer<ITaskFolder> root;
    UniqueComPointer<ITaskFolder> deeper; // \VelmoraWalk\Deeper, made by the walk test
    std::shared_ptr<MemoryDiagnosticSink> lines = std::make_shared<MemoryDiagnosticSink>();
};

TEST_F(ScheduledTasks, ATaskFoundByNameAloneOrAfterABackslashIsDisabledInPlaceAndKeepsTheRest) {
    Register(kRootTask, false, false);
    Register(kEdgeTask, true, true);
    EXPECT_TRUE(DisableScheduledTask(kRootTask)) << "a disabled task is registered again and succeeds";
    EXPECT_TRUE(DisableScheduledTask(std::wstring(L"\\") + kEdgeTask)); // the form the folder walk returns
    EXPECT_FALSE(State(kRootTask).enabled);
    const TaskState edge = State(kEdgeTask);
    EXPECT_FALSE(edge.enabled);
    EXPECT_TRUE(edge.hidden) << "only the enabled setting changes";
    EXPECT_EQ(edge.description, L"Velmora test task");
    EXPECT_EQ(lines->Lines().back(),
              std::wstring(L"Task '\\") + kEdgeTask + L"' has been disabled successfully.");
}

TEST_F(ScheduledTasks, AMissingFolderOrTaskReportsFalseAndChangesNothing) {
    Register(kRootTask, true, false);
    EXPECT_FALSE(DisableScheduledTask(L"VelmoraTests\\Missing\\VelmoraRootTask"));
    EXPECT_FALSE(DisableScheduledTask(L"\\NoSuchVelmoraTask"));
    ASSERT_EQ(lines->Lines().size(), 2u);
    EXPECT_TRUE(lines->Lines()[0].starts_with(L"Failed to open folder '\\VelmoraTests\\Missing': -"));
    EXPECT_EQ(lines->Lines()[1], L"Failed to find task 'NoSuchVelmoraTask': -2147024894");
    EXPECT_TRUE(State(kRootTask).enabled);
}

// The walk covers every folder, hidden tasks included, and finds tasks by the beginning of their name,
// a folder's own tasks before its subfolders'. Wine's registered-task collection cannot be counted
// (get_Count: E_NOTIMPL), so there the walk finds nothing and no browser update task is disabled.
TEST_F(ScheduledTasks, TheWalkFindsTasksByTheBeginningOfTheirNameInEveryFolderHiddenOnesIncluded) {
    UniqueComPointer<ITaskFolder> walk;
    ASSERT_EQ(root->CreateFolder(MakeBstr(L"VelmoraWalk").Get(), EmptyVariant(), walk.Put()), S_OK);
    ASSERT_EQ(walk->CreateFolder(MakeBstr(L"Deeper").Get(), EmptyVariant(), deeper.Put()), S_OK);
    Register(kWalkTask, true, true);
    Register(L"VelmoraWalkTaskB{1}", true, false, deeper.Get());
    Register(L"OtherVelmoraWalkTask", true, false, deeper.Get());
    Register(kEdgeTask, true, true, deeper.Get());

    const std::vector<std::wstring> found = FindTasksByName({L"VelmoraWalkTask"});
    DisableEdgeUpdateTasks();

    const std::optional<bool> edgeEnabled =
        Bench::TaskEnabledState(std::wstring(L"VelmoraWalk\\Deeper\\") + kEdgeTask);
    if (Testing::UnderWine()) {
        EXPECT_EQ(found, std::vector<std::wstring>{});
        EXPECT_EQ(edgeEnabled, std::optional<bool>(true));
    } else {
        EXPECT_EQ(found, (std::vector<std::wstring>{std::wstring(L"\\") + kWalkTask,
                                                    L"\\VelmoraWalk\\Deeper\\VelmoraWalkTaskB{1}"}));
        EXPECT_EQ(edgeEnabled, std::optional<bool>(false));
    }
    EXPECT_TRUE(State(kWalkTask).enabled) << "only the browser update tasks are disabled";
}

// A read session looks each folder up once; what it reports must not differ from a read on its own,
// for tasks sharing a folder, a missing task, a missing folder and a path written in other case.
TEST_F(ScheduledTasks, ReadsInASessionMatchReadsAloneAndTheNextSessionSeesAFolderMadeMeanwhile) {
    const std::wstring enabledTask = std::wstring(L"\\VelmoraWalk\\Deeper\\") + kWalkTask;
    const std::wstring disabledTask = L"\\VelmoraWalk\\Deeper\\OtherVelmoraWalkTask";
    const std::vector<std::wstring> paths = {enabledTask,
                                             disabledTask,
                                             L"\\velmorawalk\\DEEPER\\" + std::wstring(kWalkTask),
                                             L"\\VelmoraWalk\\Deeper\\NoSuchTask",
                                             L"\\NoSuchVelmoraFolder\\Task",
                                             L"\\NoSuchVelmoraFolder\\Other"};
    {
        const TaskReadSession session;
        EXPECT_EQ(ReadTaskState(enabledTask).presence, Presence::Absent) << "no folder yet";
    }
    UniqueComPointer<ITaskFolder> walk;
    ASSERT_EQ(root->CreateFolder(MakeBstr(L"VelmoraWalk").Get(), EmptyVariant(), walk.Put()), S_OK);
    ASSERT_EQ(walk->CreateFolder(MakeBstr(L"Deeper").Get(), EmptyVariant(), deeper.Put()), S_OK);
    Register(kWalkTask, true, false, deeper.Get());
    Register(L"OtherVelmoraWalkTask", false, false, deeper.Get());

    std::vector<Velmora::TaskState> alone;
    for (const std::wstring& path : paths) {
        alone.push_back(ReadTaskState(path));
    }
    const TaskReadSession session;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(ReadTaskState(paths[i]), alone[i]) << paths[i];
    }
    EXPECT_EQ(alone[0], (Velmora::TaskState{Presence::Present, true, 0}));
    EXPECT_EQ(alone[1], (Velmora::TaskState{Presence::Present, false, 0}));
    EXPECT_EQ(alone[3].presence, Presence::Absent);
    EXPECT_EQ(alone[4].presence, Presence::Absent);
}

} // namespace
