// Disk cleanup against the real file system, with locked, read-only and nested entries, links (made on
// the Unix side under Wine), and TMP/TEMP pointed where they must not lead.

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "support/links_on_windows.h"
#include "support/this_pc.h"
#include "system/cleanup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace Velmora;
using ::testing::ElementsAre;

constexpr wchar_t kScratch[] = L"C:\\VelmoraTests\\Cleanup";

std::wstring WindowsFolder() {
    wchar_t buffer[MAX_PATH] = {};
    return std::wstring(buffer, ::GetSystemWindowsDirectoryW(buffer, MAX_PATH));
}
const std::wstring kSystemTemp = WindowsFolder() + L"\\Temp";
const std::wstring kPrefetch = WindowsFolder() + L"\\Prefetch";

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    return folder.ends_with(L'\\') ? folder + name : folder + L"\\" + name;
}

void MakeFolder(const std::wstring& path) {
    ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
}

// Created, or with `lock`, held open with no sharing at all, as a program that is using the file would.
UniqueFileHandle MakeFile(const std::wstring& path, bool lock = false) {
    UniqueFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_TRUE(file) << ::GetLastError() << " " << testing::PrintToString(path);
    DWORD written = 0;
    ::WriteFile(file.Get(), "velmora", 7, &written, nullptr);
    if (!lock) {
        file.Reset();
    }
    return file;
}

std::vector<std::wstring> Entries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().wstring());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Test folders hold no links, so removing them the simple way is safe; read-only files left by a
// failed test would stay (and fail the next run loudly).
void RemoveTree(const std::wstring& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

// The name as the file system spells it ("temp" or "Temp"), so that moving a folder back keeps it.
std::wstring StoredName(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle find(::FindFirstFileW(path.c_str(), &found));
    return find ? std::wstring(found.cFileName) : std::wstring();
}

std::wstring UserTempFolder() {
    wchar_t buffer[MAX_PATH] = {};
    return std::wstring(buffer, ::GetTempPathW(MAX_PATH, buffer));
}

// The same mix in every cleaned folder: four entries that can go (two files, a read-only file and a
// nested folder tree) and two that cannot (a locked file, and a folder holding a locked file among
// free ones, which must still go).
struct Scene {
    std::wstring folder;
    std::vector<UniqueFileHandle> locks;

    void Build() {
        for (const wchar_t* name :
             {L"velmora-nested", L"velmora-nested\\deeper", L"velmora-busy", L"velmora-busy\\z-sub"}) {
            MakeFolder(Join(folder, name));
        }
        for (const wchar_t* name :
             {L"velmora-free-1.tmp", L"velmora-free-2.log", L"velmora-readonly.tmp",
              L"velmora-nested\\deeper\\d.tmp", L"velmora-busy\\a-free.tmp", L"velmora-busy\\z-sub\\f.tmp"}) {
            MakeFile(Join(folder, name));
        }
        ASSERT_TRUE(
            ::SetFileAttributesW(Join(folder, L"velmora-readonly.tmp").c_str(), FILE_ATTRIBUTE_READONLY));
        locks.push_back(MakeFile(Join(folder, L"velmora-locked.tmp"), true));
        locks.push_back(MakeFile(Join(folder, L"velmora-busy\\m-locked.tmp"), true));
    }

    void ExpectOnlyTheLockedEntriesLeft() const {
        EXPECT_TRUE(Exists(folder)) << "the folder itself stays";
        for (const wchar_t* gone : {L"velmora-free-1.tmp", L"velmora-free-2.log", L"velmora-readonly.tmp",
                                    L"velmora-nested", L"velmora-busy\\a-free.tmp", L"velmora-busy\\z-sub"}) {
            EXPECT_FALSE(Exists(Join(folder, gone)))
                << "still there: " << testing::PrintToString(std::wstring(gone));
        }
        EXPECT_TRUE(Exists(Join(folder, L"velmora-locked.tmp")));
        EXPECT_EQ(Entries(Join(folder, L"velmora-busy")), std::vector<std::wstring>{L"m-locked.tmp"});
    }
};

class Cleanup : public ::testing::Test {
protected:
    void SetUp() override {
        SetDiagnosticSink(sink);
        savedTmp = Variable(L"TMP");
        savedTemp = Variable(L"TEMP");
        RemoveTree(kScratch);
        MakeFolder(L"C:\\VelmoraTests");
        MakeFolder(kScratch);
    }

    void TearDown() override {
        ::SetEnvironmentVariableW(L"TMP", savedTmp.c_str());
        ::SetEnvironmentVariableW(L"TEMP", savedTemp.c_str());
        if (!Exists(kSystemTemp) && !systemTempName.empty()) {
            ::MoveFileW(systemTempAway.c_str(), Join(WindowsFolder(), systemTempName).c_str());
        }
        SetDiagnosticSink(nullptr);
        RemoveTree(kScratch);
    }

    static std::wstring Variable(const wchar_t* name) {
        wchar_t buffer[1024] = {};
        return std::wstring(buffer, ::GetEnvironmentVariableW(name, buffer, 1024));
    }

    // GetTempPathW reads TMP first, then TEMP.
    static void PointUserTempAt(const std::wstring& folder) {
        ::SetEnvironmentVariableW(L"TMP", folder.c_str());
        ::SetEnvironmentVariableW(L"TEMP", folder.c_str());
    }

    // Cleans a folder once, so that each test counts only its own entries; whatever could not go
    // (held by someone else) is counted as it stands.
    size_t PreClean(const std::wstring& folder) {
        CleanFolderContents(folder);
        sink->Clear();
        return Entries(folder).size();
    }

    static std::wstring CleanedLine(const std::wstring& folder, size_t deleted, size_t errors) {
        return L"Cleaned: " + folder + L" - Items deleted: " + std::to_wstring(deleted) + L" - Errors: " +
               std::to_wstring(errors);
    }

    std::shared_ptr<MemoryDiagnosticSink> sink = std::make_shared<MemoryDiagnosticSink>();
    std::wstring savedTmp;
    std::wstring savedTemp;
    const std::wstring systemTempAway = WindowsFolder() + L"\\velmora-temp-away";
    std::wstring systemTempName;
};

TEST_F(Cleanup, TheWindowsAndTheUserTempFolderLoseEveryFreeEntryAndKeepLockedOnesAndThemselves) {
    const std::wstring user = UserTempFolder();
    ASSERT_EQ(user.back(), L'\\') << "GetTempPathW keeps its trailing backslash";
    const size_t leftInSystem = PreClean(kSystemTemp);
    const size_t leftInUser = PreClean(user);
    Scene system{kSystemTemp, {}};
    Scene mine{user, {}};
    system.Build();
    mine.Build();

    CleanTempFolders();

    EXPECT_THAT(sink->Lines(), ElementsAre(CleanedLine(kSystemTemp, 4, 2 + leftInSystem),
                                           CleanedLine(user, 4, 2 + leftInUser)));
    system.ExpectOnlyTheLockedEntriesLeft();
    mine.ExpectOnlyTheLockedEntriesLeft();
}

TEST_F(Cleanup, AMissingSystemTempFolderStillLetsTheUserFolderBeCleaned) {
    const std::wstring user = UserTempFolder();
    const size_t leftInUser = PreClean(user);
    systemTempName = StoredName(kSystemTemp);
    ASSERT_TRUE(::MoveFileW(kSystemTemp.c_str(), systemTempAway.c_str())) << ::GetLastError();
    Scene mine{user, {}};
    mine.Build();

    CleanTempFolders();

    EXPECT_THAT(sink->Lines(),
                ElementsAre(L"Path does not exist: " + kSystemTemp, CleanedLine(user, 4, 2 + leftInUser)));
    mine.ExpectOnlyTheLockedEntriesLeft();
}

TEST_F(Cleanup, AUserFolderThatIsTheSystemTempFolderIsCleanedTwice) {
    const size_t left = PreClean(kSystemTemp);
    PointUserTempAt(kSystemTemp + L"\\");
    Scene system{kSystemTemp, {}};
    system.Build();

    CleanTempFolders();

    EXPECT_THAT(sink->Lines(), ElementsAre(CleanedLine(kSystemTemp, 4, 2 + left),
                                           CleanedLine(kSystemTemp + L"\\", 0, 2 + left)));
    system.ExpectOnlyTheLockedEntriesLeft();
}

// Refused as named: the profile, a Temp folder among the documents. Refused as opened: a "Temp"
// that is a link to a folder of ordinary files.
TEST_F(Cleanup, TmpPointedAtAFolderOfTheUsersOwnLeavesEveryFileInPlace) {
    const Testing::LinksOnWindows made;
    const std::wstring profile = Variable(L"USERPROFILE");
    wchar_t documents[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents)));
    const std::wstring documentsTemp = Join(documents, L"Temp");
    MakeFolder(documentsTemp);
    MakeFile(Join(documentsTemp, L"velmora-draft.txt"));
    MakeFile(Join(profile, L"velmora-notes.txt"));
    const std::pair<std::wstring, std::wstring> cases[] = {
        {Join(profile, L""), L": its name is not Temp or Tmp"},
        {documentsTemp + L"\\", L": it lies inside " + std::wstring(documents)},
        {L"C:\\velmora-linked-temp\\Temp\\",
         L" (C:\\velmora-link-targets\\folder): its name is not Temp or Tmp"},
    };
    for (const auto& [folder, reason] : cases) {
        sink->Clear();
        PointUserTempAt(folder);
        CleanTempFolders();
        const std::vector<std::wstring> lines = sink->Lines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_TRUE(lines[0].starts_with(L"Cleaned: " + kSystemTemp)) << "the system folder is still cleaned";
        EXPECT_EQ(lines[1], L"Not cleaning the user's temporary folder " + folder + reason);
    }
    EXPECT_TRUE(Exists(Join(documentsTemp, L"velmora-draft.txt")));
    EXPECT_TRUE(Exists(Join(profile, L"velmora-notes.txt")));
    EXPECT_TRUE(Exists(L"C:\\velmora-link-targets\\folder\\keep.txt"));
    RemoveTree(documentsTemp);
    ::DeleteFileW(Join(profile, L"velmora-notes.txt").c_str());
}

// What is judged is the very folder that is then cleaned: it is held from before the judgement to
// the end, so nobody can move it away and put another folder or a link in its place meanwhile.
TEST_F(Cleanup, TheFolderJudgedIsTheFolderCleanedAndCannotBeSwappedInBetween) {
    const std::wstring folder = std::wstring(kScratch) + L"\\Tmp";
    const std::wstring away = std::wstring(kScratch) + L"\\Away";
    MakeFolder(folder);
    MakeFile(Join(folder, L"velmora-old.tmp"));
    std::wstring judged;
    BOOL swapped = TRUE;
    CleanFolderContents(folder, [&](const std::wstring& opened) -> std::optional<std::wstring> {
        judged = opened;
        swapped = ::MoveFileW(folder.c_str(), away.c_str());
        return std::nullopt;
    });
    EXPECT_TRUE(judged.ends_with(L"\\VelmoraTests\\Cleanup\\Tmp")) << testing::PrintToString(judged);
    EXPECT_FALSE(swapped) << "the held folder could be moved away";
    EXPECT_FALSE(Exists(Join(folder, L"velmora-old.tmp")));

    MakeFile(Join(folder, L"velmora-new.tmp"));
    CleanFolderContents(folder, [](const std::wstring&) { return std::optional<std::wstring>(L"refused"); });
    EXPECT_TRUE(Exists(Join(folder, L"velmora-new.tmp")));
    EXPECT_EQ(sink->Lines().back(), L"refused");
}

TEST_F(Cleanup, PrefetchCountsFilesAndFoldersAndKeepsLockedEntriesAndAMissingOneSaysNothing) {
    RemoveTree(kPrefetch);
    CleanPrefetchFolder();
    EXPECT_TRUE(sink->Lines().empty());
    MakeFolder(kPrefetch);
    {
        Scene prefetch{kPrefetch, {}};
        prefetch.Build();
        CleanPrefetchFolder();
        EXPECT_THAT(sink->Lines(),
                    ElementsAre(L"Prefetch folder cleaned. Files: 3 - Folders: 1 - Errors: 2"));
        prefetch.ExpectOnlyTheLockedEntriesLeft();
    }
    RemoveTree(kPrefetch);
}

TEST_F(Cleanup, AnEmptyMissingOrNotAFolderPathIsReportedAndLeft) {
    const std::wstring empty = std::wstring(kScratch) + L"\\Empty";
    const std::wstring file = std::wstring(kScratch) + L"\\note.txt";
    MakeFolder(empty);
    MakeFile(file);
    CleanFolderContents(empty);
    CleanFolderContents(std::wstring(kScratch) + L"\\Missing");
    CleanFolderContents(file);
    const std::vector<std::wstring> lines = sink->Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], CleanedLine(empty, 0, 0));
    EXPECT_EQ(lines[1], L"Path does not exist: C:\\VelmoraTests\\Cleanup\\Missing");
    EXPECT_TRUE(lines[2].starts_with(L"Error cleaning " + file + L": cannot list the folder: "))
        << testing::PrintToString(lines[2]);
    EXPECT_TRUE(Exists(empty));
    EXPECT_TRUE(Exists(file));
}

// The links are Unix symbolic links made by the wine.links.setup fixture under Wine (Wine has no call
// that makes one). Wine shows a link to a folder as a reparse point, a link to a file as a plain file, and
// every deleting call acts on the target. The cleaner enters no link and deletes nothing that the system
// names differently from the entry it listed, so every target survives; under Wine the links stay
// (each counts as an error), on Windows they are removed as links.
TEST_F(Cleanup, LinksInsideTheTempFolderLeaveTheirTargetsUntouched) {
    const Testing::LinksOnWindows made;
    const std::wstring links = kSystemTemp + L"\\velmora-link-folder";
    const DWORD attributes = ::GetFileAttributesW(links.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "made by the ctest fixture wine.links.setup";
    ASSERT_EQ(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    const std::wstring nest = kSystemTemp + L"\\velmora-link-nest\\sub";
    ASSERT_TRUE(Exists(nest + L"\\velmora-link-folder"));
    MakeFile(nest + L"\\free.tmp");
    MakeFile(kSystemTemp + L"\\velmora-free.tmp");

    CleanTempFolders();

    const std::wstring targets = L"C:\\velmora-link-targets";
    EXPECT_EQ(Entries(targets + L"\\folder"), (std::vector<std::wstring>{L"inner", L"keep.txt"}));
    EXPECT_TRUE(Exists(targets + L"\\folder\\inner\\deep.txt"));
    EXPECT_TRUE(Exists(targets + L"\\empty")) << "an empty target folder is not removed through its link";
    EXPECT_TRUE(Exists(targets + L"\\file.txt")) << "a file is not deleted through its link";
    EXPECT_FALSE(Exists(nest + L"\\free.tmp")) << "beside a link, the free entries still go";
    EXPECT_FALSE(Exists(kSystemTemp + L"\\velmora-free.tmp"));
}

TEST(RecycleBin, EmptyingTheSandboxTrashLeavesEverythingElse) {
    const std::wstring folder = L"C:\\VelmoraTests\\Bin";
    RemoveTree(folder);
    MakeFolder(L"C:\\VelmoraTests");
    MakeFolder(folder);
    MakeFile(folder + L"\\kept.txt");
    MakeFile(folder + L"\\trashed.txt");
    std::wstring from = folder + L"\\trashed.txt";
    from.push_back(L'\0'); // a double-null-terminated list
    SHFILEOPSTRUCTW move{};
    move.wFunc = FO_DELETE;
    move.pFrom = from.c_str();
    move.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    ASSERT_EQ(::SHFileOperationW(&move), 0);
    SHQUERYRBINFO bin{sizeof bin, 0, 0};
    ASSERT_EQ(::SHQueryRecycleBinW(L"C:\\", &bin), S_OK);
    ASSERT_GE(bin.i64NumItems, 1) << "the file went to the trash";

    EmptyRecycleBin();

    ASSERT_EQ(::SHQueryRecycleBinW(L"C:\\", &bin), S_OK);
    EXPECT_EQ(bin.i64NumItems, 0);
    EXPECT_TRUE(Exists(folder + L"\\kept.txt"));
    RemoveTree(folder);
}

} // namespace
