// Task-path splitting, and the folder walk of FindTasksByName over a fake task tree: Wine's
// registered-task collection cannot be counted, so the walk's behaviour is checked here.

#include "system/scheduled_tasks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace Velmora;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(TaskPathSplitting, ANameAloneLiesInTheRootFolder) {
    EXPECT_EQ(SplitTaskPath(L"MicrosoftEdgeUpdateTaskMachineCore"),
              (TaskLocation{L"\\", L"MicrosoftEdgeUpdateTaskMachineCore"}));
}

TEST(TaskPathSplitting, BackslashAndNameLiesInTheRootFolder) {
    EXPECT_EQ(SplitTaskPath(L"\\MicrosoftEdgeUpdateTaskMachineUA{1A2B}"),
              (TaskLocation{L"\\", L"MicrosoftEdgeUpdateTaskMachineUA{1A2B}"}));
}

TEST(TaskPathSplitting, ARelativePathGetsALeadingBackslashOnItsFolder) {
    EXPECT_EQ(SplitTaskPath(L"Microsoft\\Windows\\Maps\\MapsUpdateTask"),
              (TaskLocation{L"\\Microsoft\\Windows\\Maps", L"MapsUpdateTask"}));
    EXPECT_EQ(SplitTaskPath(L"A\\B\\Name"), (TaskLocation{L"\\A\\B", L"Name"}));
    EXPECT_EQ(SplitTaskPath(L"A\\Name With Blanks"), (TaskLocation{L"\\A", L"Name With Blanks"}));
}

TEST(TaskPathSplitting, AnAbsolutePathKeepsItsFolderAsItIs) {
    EXPECT_EQ(SplitTaskPath(L"\\Microsoft\\Office\\OfficeTelemetryAgentLogOn"),
              (TaskLocation{L"\\Microsoft\\Office", L"OfficeTelemetryAgentLogOn"}));
}

// ---- The folder walk ----

// A fake task: a name, whether it is hidden, and whether reading it fails.
struct FakeTask {
    std::wstring name;
    bool hidden = false;
    bool unreadable = false;
};

// A fake folder; each part can be made to fail as the Task Scheduler's calls can.
struct FakeFolder {
    std::optional<std::wstring> name;
    std::vector<FakeTask> tasks;
    std::vector<FakeFolder> subfolders;
    bool tasksFail = false;
    bool subfoldersFail = false;
    bool unreadable = false; // the collection cannot hand out this folder
};

class FakeTaskCollection final : public TaskCollectionView {
public:
    explicit FakeTaskCollection(std::vector<const FakeTask*> tasks) : tasks_(std::move(tasks)) {}
    std::int32_t Count() override { return static_cast<std::int32_t>(tasks_.size()); }
    std::optional<std::wstring> TaskName(std::int32_t index) override {
        const FakeTask& task = *tasks_.at(static_cast<size_t>(index - 1));
        return task.unreadable ? std::nullopt : std::optional<std::wstring>(task.name);
    }

private:
    std::vector<const FakeTask*> tasks_;
};

class FakeFolderView;

class FakeFolderCollection final : public TaskFolderCollectionView {
public:
    explicit FakeFolderCollection(const std::vector<FakeFolder>& folders) : folders_(folders) {}
    std::int32_t Count() override { return static_cast<std::int32_t>(folders_.size()); }
    std::unique_ptr<TaskFolderView> Folder(std::int32_t index) override;

private:
    const std::vector<FakeFolder>& folders_;
};

class FakeFolderView final : public TaskFolderView {
public:
    explicit FakeFolderView(const FakeFolder& folder) : folder_(folder) {}
    std::optional<std::wstring> Name() override { return folder_.name; }
    std::unique_ptr<TaskCollectionView> Tasks(std::int32_t flags) override {
        if (folder_.tasksFail) {
            return nullptr;
        }
        // Like the Task Scheduler: hidden tasks only when asked for.
        std::vector<const FakeTask*> listed;
        for (const FakeTask& task : folder_.tasks) {
            if (!task.hidden || (flags & kTaskEnumHidden) != 0) {
                listed.push_back(&task);
            }
        }
        return std::make_unique<FakeTaskCollection>(std::move(listed));
    }
    std::unique_ptr<TaskFolderCollectionView> Subfolders() override {
        return folder_.subfoldersFail ? nullptr : std::make_unique<FakeFolderCollection>(folder_.subfolders);
    }

private:
    const FakeFolder& folder_;
};

std::unique_ptr<TaskFolderView> FakeFolderCollection::Folder(std::int32_t index) {
    const FakeFolder& folder = folders_.at(static_cast<size_t>(index - 1));
    return folder.unreadable ? nullptr : std::make_unique<FakeFolderView>(folder);
}

std::vector<std::wstring> Search(const FakeFolder& root, const std::vector<std::wstring>& wanted,
                                 const std::wstring& rootPath = L"") {
    FakeFolderView view(root);
    std::vector<std::wstring> result;
    SearchTaskFolder(&view, rootPath, wanted, result);
    return result;
}

const std::vector<std::wstring> kEdge(kEdgeUpdateTaskNames.begin(), kEdgeUpdateTaskNames.end());

TEST(TaskFolderWalk, FindsTheBrowserUpdateTasksInTheRootByTheirNamePrefix) {
    const FakeFolder root{L"\\",
                          {{L"MicrosoftEdgeUpdateTaskMachineCore{8C2B3E1A-0F4D-4A5B-9C6D-7E8F90A1B2C3}"},
                           {L"OneDrive Standalone Update Task"},
                           {L"MicrosoftEdgeUpdateTaskMachineUA{1D2E3F40-5A6B-4C7D-8E9F-0A1B2C3D4E5F}"},
                           {L"MicrosoftEdgeUpdateTaskMachineCore"},
                           {L"MicrosoftEdgeUpdateTaskUserS-1-5-21-1-2-3-1001Core"},
                           {L"microsoftedgeupdatetaskmachinecore{lower case}"},
                           {L"MicrosoftEdgeUpdateTaskMachin"}},
                          {}};
    EXPECT_THAT(Search(root, kEdge),
                ElementsAre(L"\\MicrosoftEdgeUpdateTaskMachineCore{8C2B3E1A-0F4D-4A5B-9C6D-7E8F90A1B2C3}",
                            L"\\MicrosoftEdgeUpdateTaskMachineUA{1D2E3F40-5A6B-4C7D-8E9F-0A1B2C3D4E5F}",
                            L"\\MicrosoftEdgeUpdateTaskMachineCore"));
}

TEST(TaskFolderWalk, GoesDepthFirstWithEachFoldersOwnTasksBeforeItsSubfolders) {
    const FakeFolder root{
        L"\\",
        {{L"T root"}},
        {FakeFolder{L"A",
                    {{L"T a1"}, {L"T a2"}},
                    {FakeFolder{L"Deep", {{L"T deep"}}, {}}, FakeFolder{L"Deeper", {{L"T deeper"}}, {}}}},
         FakeFolder{L"B", {{L"T b"}}, {}}}};
    EXPECT_THAT(Search(root, {L"T "}),
                ElementsAre(L"\\T root", L"\\A\\T a1", L"\\A\\T a2", L"\\A\\Deep\\T deep",
                            L"\\A\\Deeper\\T deeper", L"\\B\\T b"));
}

TEST(TaskFolderWalk, IncludesHiddenTasksInNestedFolders) {
    const FakeFolder root{
        L"\\", {}, {FakeFolder{L"Microsoft", {}, {FakeFolder{L"Hidden Place", {{L"Secret", true}}, {}}}}}};
    EXPECT_THAT(Search(root, {L"Secret"}), ElementsAre(L"\\Microsoft\\Hidden Place\\Secret"));
}

TEST(TaskFolderWalk, ATaskMatchingSeveralNamesIsListedOnce) {
    const FakeFolder root{L"\\", {{L"MicrosoftEdgeUpdateTaskMachineUA"}}, {}};
    EXPECT_THAT(Search(root, {L"Microsoft", L"MicrosoftEdge", L"MicrosoftEdgeUpdateTaskMachineUA"}),
                ElementsAre(L"\\MicrosoftEdgeUpdateTaskMachineUA"));
}

TEST(TaskFolderWalk, ARootPathGivenAsBackslashDoesNotDoubleTheBackslash) {
    const FakeFolder root{L"\\", {{L"RootTask"}}, {FakeFolder{L"Sub", {{L"SubTask"}}, {}}}};
    EXPECT_THAT(Search(root, {L"RootTask", L"SubTask"}, L"\\"),
                ElementsAre(L"\\RootTask", L"\\Sub\\SubTask"));
}

TEST(TaskFolderWalk, SkipsWhatCannotBeReadAndGoesOn) {
    FakeFolder unlistedTasks{L"NoTasks", {{L"Lost"}}, {FakeFolder{L"Below", {{L"Found below"}}, {}}}};
    unlistedTasks.tasksFail = true;
    FakeFolder unlistedFolders{L"NoFolders", {{L"Found beside"}}, {FakeFolder{L"Unseen", {{L"Lost"}}, {}}}};
    unlistedFolders.subfoldersFail = true;
    FakeFolder unreadable{L"Unreadable", {{L"Lost"}}, {}};
    unreadable.unreadable = true;
    FakeFolder nameless{std::nullopt, {{L"Lost"}}, {}};
    const FakeFolder root{L"\\",
                          {{L"Lost", false, true}, {L"Found first"}},
                          {unlistedTasks, unreadable, nameless, unlistedFolders}};
    EXPECT_THAT(
        Search(root, {L"Found", L"Lost"}),
        ElementsAre(L"\\Found first", L"\\NoTasks\\Below\\Found below", L"\\NoFolders\\Found beside"));
}

TEST(TaskFolderWalk, EmptyFoldersAndNoWantedNamesFindNothing) {
    const FakeFolder root{L"\\", {{L"Task"}}, {FakeFolder{L"Empty", {}, {}}}};
    EXPECT_THAT(Search(root, {}), IsEmpty());
    EXPECT_THAT(Search(FakeFolder{L"\\", {}, {}}, kEdge), IsEmpty());
}

TEST(TaskFolderWalk, ANullFolderAddsNothingToWhatIsThere) {
    std::vector<std::wstring> result{L"\\Earlier"};
    SearchTaskFolder(nullptr, L"", kEdge, result);
    EXPECT_THAT(result, ElementsAre(L"\\Earlier"));
}

} // namespace
