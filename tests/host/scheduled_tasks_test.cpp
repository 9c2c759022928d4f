// Task-path splitting, and the folder walk that finds the browser update tasks, over a fake task tree:
// Wine's registered-task collection cannot be counted, so the walk is checked here.

#include "system/scheduled_tasks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace Velmora;
using ::testing::ElementsAre;

TEST(TaskPathSplitting, ANameAloneOrAfterOneBackslashLiesInTheRootAndOtherPathsInTheirFolder) {
    EXPECT_EQ(SplitTaskPath(L"MicrosoftEdgeUpdateTaskMachineCore"),
              (TaskLocation{L"\\", L"MicrosoftEdgeUpdateTaskMachineCore"}));
    EXPECT_EQ(SplitTaskPath(L"\\Edge{1A2B}"), (TaskLocation{L"\\", L"Edge{1A2B}"}));
    EXPECT_EQ(SplitTaskPath(L"Microsoft\\Windows\\Maps\\MapsUpdateTask"),
              (TaskLocation{L"\\Microsoft\\Windows\\Maps", L"MapsUpdateTask"}));
}

// A fake task tree; each part can fail as the Task Scheduler's calls can.
struct FakeTask {
    std::wstring name;
    bool hidden = false;
    bool unreadable = false;
};
struct FakeFolder {
    std::optional<std::wstring> name;
    std::vector<FakeTask> tasks;
    std::vector<FakeFolder> subfolders;
    bool tasksFail = false;
    bool subfoldersFail = false;
    bool unreadable = false; // the collection cannot hand out this folder
};

class FakeTasks final : public TaskCollectionView {
public:
    explicit FakeTasks(std::vector<const FakeTask*> tasks) : tasks_(std::move(tasks)) {}
    std::int32_t Count() override { return static_cast<std::int32_t>(tasks_.size()); }
    std::optional<std::wstring> TaskName(std::int32_t index) override {
        const FakeTask& task = *tasks_.at(static_cast<size_t>(index - 1));
        return task.unreadable ? std::nullopt : std::optional<std::wstring>(task.name);
    }

private:
    std::vector<const FakeTask*> tasks_;
};

// A folder, and the collection of its subfolders.
class FakeFolderView final : public TaskFolderView, public TaskFolderCollectionView {
public:
    explicit FakeFolderView(const FakeFolder& folder) : folder_(folder) {}
    std::optional<std::wstring> Name() override { return folder_.name; }
    std::unique_ptr<TaskCollectionView> Tasks(std::int32_t flags) override {
        std::vector<const FakeTask*> listed;
        for (const FakeTask& task : folder_.tasks) {
            if (!task.hidden || (flags & kTaskEnumHidden) != 0) { // hidden tasks only when asked for
                listed.push_back(&task);
            }
        }
        return folder_.tasksFail ? nullptr : std::make_unique<FakeTasks>(std::move(listed));
    }
    std::unique_ptr<TaskFolderCollectionView> Subfolders() override {
        return folder_.subfoldersFail ? nullptr : std::make_unique<FakeFolderView>(folder_);
    }
    std::int32_t Count() override { return static_cast<std::int32_t>(folder_.subfolders.size()); }
    std::unique_ptr<TaskFolderView> Folder(std::int32_t index) override {
        const FakeFolder& folder = folder_.subfolders.at(static_cast<size_t>(index - 1));
        return folder.unreadable ? nullptr : std::make_unique<FakeFolderView>(folder);
    }

private:
    const FakeFolder& folder_;
};

std::vector<std::wstring> Search(const FakeFolder& root, const std::vector<std::wstring>& wanted,
                                 const std::wstring& rootPath = L"") {
    FakeFolderView view(root);
    std::vector<std::wstring> result;
    SearchTaskFolder(&view, rootPath, wanted, result);
    return result;
}

TEST(TaskFolderWalk, FindsTheUpdateTasksByTheirExactPrefixDepthFirstHiddenOnesIncludedEachOnce) {
    const std::vector<std::wstring> edge(kEdgeUpdateTaskNames.begin(), kEdgeUpdateTaskNames.end());
    const FakeFolder root{L"\\",
                          {{L"MicrosoftEdgeUpdateTaskMachineCore{8C2B}"},
                           {L"OneDrive Standalone Update Task"},
                           {L"microsoftedgeupdatetaskmachinecore{lower case}"},
                           {L"MicrosoftEdgeUpdateTaskMachin"}},
                          {FakeFolder{L"A",
                                      {{L"MicrosoftEdgeUpdateTaskMachineUA", true}},
                                      {FakeFolder{L"Deep", {{L"MicrosoftEdgeUpdateTaskMachineCore"}}, {}}}},
                           FakeFolder{L"B", {{L"MicrosoftEdgeUpdateTaskUserS-1-5-21Core"}}, {}}}};
    EXPECT_THAT(Search(root, edge), ElementsAre(L"\\MicrosoftEdgeUpdateTaskMachineCore{8C2B}",
                                                L"\\A\\MicrosoftEdgeUpdateTaskMachineUA",
                                                L"\\A\\Deep\\MicrosoftEdgeUpdateTaskMachineCore"));
    EXPECT_THAT(Search(root, {L"MicrosoftEdgeUpdateTaskMachin", L"MicrosoftEdge"}, L"\\"),
                ::testing::SizeIs(5))
        << "a task matching two names is listed once; a root given as a backslash is not doubled";
    EXPECT_EQ(Search(root, {L"MicrosoftEdgeUpdateTaskMachinUA"}, L"\\"), std::vector<std::wstring>{});
}

TEST(TaskFolderWalk, SkipsWhatCannotBeReadAndGoesOn) {
    FakeFolder unlistedTasks{L"NoTasks", {{L"Lost"}}, {FakeFolder{L"Below", {{L"Found below"}}, {}}}};
    unlistedTasks.tasksFail = true;
    FakeFolder unlistedFolders{L"NoFolders", {{L"Found beside"}}, {FakeFolder{L"Unseen", {{L"Lost"}}, {}}}};
    unlistedFolders.subfoldersFail = true;
    FakeFolder unreadable{L"Unreadable", {{L"Lost"}}, {}};
    unreadable.unreadable = true;
    const FakeFolder nameless{std::nullopt, {{L"Lost"}}, {}};
    const FakeFolder root{L"\\",
                          {{L"Lost", false, true}, {L"Found first"}},
                          {unlistedTasks, unreadable, nameless, unlistedFolders}};
    EXPECT_THAT(
        Search(root, {L"Found", L"Lost"}),
        ElementsAre(L"\\Found first", L"\\NoTasks\\Below\\Found below", L"\\NoFolders\\Found beside"));
    std::vector<std::wstring> result{L"\\Earlier"};
    SearchTaskFolder(nullptr, L"", {L"Found"}, result);
    EXPECT_THAT(result, ElementsAre(L"\\Earlier")) << "a null folder adds nothing";
}

} // namespace
