// Disk cleanup against Wine's real file system: the real C:\Windows\Temp, the user's temporary folder
// and C:\Windows\Prefetch of the sandbox, with files held open without sharing, read-only files,
// nested folders, links made on the Unix side, and TMP/TEMP pointed where they must not lead.

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "system/cleanup.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace Velmora;

constexpr wchar_t kSystemTemp[] = L"C:\\Windows\\Temp";
constexpr wchar_t kSystemTempAway[] = L"C:\\Windows\\velmora-away";
constexpr wchar_t kPrefetch[] = L"C:\\Windows\\Prefetch";
constexpr wchar_t kScratch[] = L"C:\\VelmoraTests\\Cleanup";

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFolder(const std::wstring& path) {
    ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS)
        << path.size();
}

void MakeFile(const std::wstring& path) {
    const HANDLE raw = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(raw, INVALID_HANDLE_VALUE) << ::GetLastError();
    const UniqueKernelHandle file(raw);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.Get(), "velmora", 7, &written, nullptr));
}

// Held open with no sharing at all, as a program that is using the file would.
UniqueKernelHandle Lock(const std::wstring& path) {
    const HANDLE raw =
        ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(raw, INVALID_HANDLE_VALUE) << ::GetLastError() << " " << testing::PrintToString(path);
    return UniqueKernelHandle(raw == INVALID_HANDLE_VALUE ? nullptr : raw);
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    return folder.ends_with(L'\\') ? folder + name : folder + L"\\" + name;
}

std::vector<std::wstring> Entries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE raw = ::FindFirstFileW(Join(folder, L"*").c_str(), &found);
    if (raw == INVALID_HANDLE_VALUE) {
        return names;
    }
    const UniqueFindHandle find(raw);
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (::FindNextFileW(find.Get(), &found));
    std::sort(names.begin(), names.end());
    return names;
}

// Test folders hold no links, so removing them the simple way is safe; read-only files left by a
// failed test must lose the attribute first.
void RemoveTree(const std::wstring& path) {
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        ::SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::remove_all(path, ignored);
}

// The name as the file system spells it ("temp" or "Temp"), so that moving a folder back keeps it.
std::wstring StoredName(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    const HANDLE raw = ::FindFirstFileW(path.c_str(), &found);
    if (raw == INVALID_HANDLE_VALUE) {
        return {};
    }
    const UniqueFindHandle find(raw);
    return found.cFileName;
}

std::wstring UserTempFolder() {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH, buffer);
    return std::wstring(buffer, length);
}

// The same mix in every cleaned folder: four entries that can go (two files, a read-only file and a
// nested folder tree) and two that cannot (a locked file, and a folder with a locked file among
// free ones, which must still go).
struct Scene {
    std::wstring folder;
    std::vector<UniqueKernelHandle> locks;

    void Build() {
        MakeFile(Join(folder, L"velmora-free-1.tmp"));
        MakeFile(Join(folder, L"velmora-free-2.log"));
        MakeFile(Join(folder, L"velmora-readonly.tmp"));
        ASSERT_TRUE(
            ::SetFileAttributesW(Join(folder, L"velmora-readonly.tmp").c_str(), FILE_ATTRIBUTE_READONLY));
        MakeFolder(Join(folder, L"velmora-nested"));
        MakeFolder(Join(folder, L"velmora-nested\\deeper"));
        MakeFile(Join(folder, L"velmora-nested\\n.tmp"));
        MakeFile(Join(folder, L"velmora-nested\\deeper\\d.tmp"));
        locks.push_back(Lock(Join(folder, L"velmora-locked.tmp")));
        MakeFolder(Join(folder, L"velmora-busy"));
        MakeFile(Join(folder, L"velmora-busy\\a-free.tmp"));
        locks.push_back(Lock(Join(folder, L"velmora-busy\\m-locked.tmp")));
        MakeFolder(Join(folder, L"velmora-busy\\z-sub"));
        MakeFile(Join(folder, L"velmora-busy\\z-sub\\free.tmp"));
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
        RestoreSystemTemp();
        SetDiagnosticSink(sink);
        savedTmp = Variable(L"TMP");
        savedTemp = Variable(L"TEMP");
        RemoveTree(kScratch);
        MakeFolder(L"C:\\VelmoraTests");
        MakeFolder(kScratch);
    }

    void TearDown() override {
        SetVariable(L"TMP", savedTmp);
        SetVariable(L"TEMP", savedTemp);
        RestoreSystemTemp();
        SetDiagnosticSink(nullptr);
        RemoveTree(kScratch);
    }

    static std::optional<std::wstring> Variable(const wchar_t* name) {
        wchar_t buffer[1024] = {};
        const DWORD length = ::GetEnvironmentVariableW(name, buffer, 1024);
        return length == 0 ? std::nullopt : std::optional<std::wstring>(std::wstring(buffer, length));
    }

    static void SetVariable(const wchar_t* name, const std::optional<std::wstring>& value) {
        ::SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
    }

    // GetTempPathW reads TMP first, then TEMP.
    static void PointUserTempAt(const std::wstring& folder) {
        SetVariable(L"TMP", folder);
        SetVariable(L"TEMP", folder);
    }

    // The system folder is moved away as "C:\Windows\velmora-away\<its own name>".
    static void RestoreSystemTemp() {
        const std::wstring name = StoredName(std::wstring(kSystemTempAway) + L"\\*emp");
        if (!name.empty() && !Exists(kSystemTemp)) {
            const std::wstring from = std::wstring(kSystemTempAway) + L"\\" + name;
            ASSERT_TRUE(::MoveFileExW(from.c_str(), (L"C:\\Windows\\" + name).c_str(), 0))
                << ::GetLastError();
        }
        ::RemoveDirectoryW(kSystemTempAway);
    }

    static void MoveSystemTempAway() {
        const std::wstring name = StoredName(kSystemTemp);
        ASSERT_FALSE(name.empty());
        ASSERT_TRUE(::CreateDirectoryW(kSystemTempAway, nullptr)) << ::GetLastError();
        const std::wstring to = std::wstring(kSystemTempAway) + L"\\" + name;
        ASSERT_TRUE(::MoveFileExW(kSystemTemp, to.c_str(), 0)) << ::GetLastError();
        ASSERT_FALSE(Exists(kSystemTemp));
    }

    // Cleans both temporary folders once, so that each test counts only its own entries; whatever
    // could not go (held by someone else) is counted as it stands.
    size_t PreClean(const std::wstring& folder) {
        CleanFolderContents(folder);
        sink->Clear();
        return Entries(folder).size();
    }

    std::shared_ptr<MemoryDiagnosticSink> sink = std::make_shared<MemoryDiagnosticSink>();
    std::optional<std::wstring> savedTmp;
    std::optional<std::wstring> savedTemp;
};

std::wstring CleanedLine(const std::wstring& folder, size_t deleted, size_t errors) {
    return L"Cleaned: " + folder + L" - Items deleted: " + std::to_wstring(deleted) + L" - Errors: " +
           std::to_wstring(errors);
}

TEST_F(Cleanup, TempFoldersLoseEveryFreeEntryAndKeepLockedOnesAndThemselves) {
    const std::wstring user = UserTempFolder();
    ASSERT_EQ(user.back(), L'\\') << "GetTempPathW keeps its trailing backslash";
    const size_t leftInSystem = PreClean(kSystemTemp);
    const size_t leftInUser = PreClean(user);
    Scene system{kSystemTemp, {}};
    Scene mine{user, {}};
    system.Build();
    mine.Build();

    CleanTempFolders();

    EXPECT_EQ(sink->Lines(), (std::vector<std::wstring>{CleanedLine(kSystemTemp, 4, 2 + leftInSystem),
                                                        CleanedLine(user, 4, 2 + leftInUser)}));
    system.ExpectOnlyTheLockedEntriesLeft();
    mine.ExpectOnlyTheLockedEntriesLeft();
}

TEST_F(Cleanup, AMissingSystemTempFolderStillLetsTheUserFolderBeCleaned) {
    const std::wstring user = UserTempFolder();
    const size_t leftInUser = PreClean(user);
    MoveSystemTempAway();
    Scene mine{user, {}};
    mine.Build();

    CleanTempFolders();

    EXPECT_EQ(sink->Lines(), (std::vector<std::wstring>{L"Path does not exist: C:\\Windows\\Temp",
                                                        CleanedLine(user, 4, 2 + leftInUser)}));
    mine.ExpectOnlyTheLockedEntriesLeft();
}

TEST_F(Cleanup, AUserFolderThatIsTheSystemTempFolderIsCleanedTwice) {
    const size_t left = PreClean(kSystemTemp);
    PointUserTempAt(L"C:\\Windows\\Temp\\");
    Scene system{kSystemTemp, {}};
    system.Build();

    CleanTempFolders();

    EXPECT_EQ(sink->Lines(), (std::vector<std::wstring>{CleanedLine(kSystemTemp, 4, 2 + left),
                                                        CleanedLine(L"C:\\Windows\\Temp\\", 0, 2 + left)}));
    system.ExpectOnlyTheLockedEntriesLeft();
}

TEST_F(Cleanup, AUserFolderNamedTmpElsewhereIsCleaned) {
    // The counterpart of the refusals below: TMP is honoured, and a plain temporary folder is cleaned.
    const std::wstring folder = std::wstring(kScratch) + L"\\Tmp\\";
    MakeFolder(folder);
    PointUserTempAt(folder);
    Scene mine{folder, {}};
    mine.Build();

    CleanTempFolders();

    ASSERT_EQ(sink->Lines().size(), 2u);
    EXPECT_EQ(sink->Lines()[1], CleanedLine(folder, 4, 2));
    mine.ExpectOnlyTheLockedEntriesLeft();
}

TEST_F(Cleanup, TmpPointedAtTheProfileFolderLeavesEveryFileInPlace) {
    const std::wstring profile = Variable(L"USERPROFILE").value_or(L"");
    ASSERT_FALSE(profile.empty());
    const std::wstring project = Join(profile, L"velmora-project");
    MakeFolder(project);
    MakeFile(Join(project, L"thesis.docx"));
    MakeFile(Join(profile, L"velmora-notes.txt"));
    const std::vector<std::wstring> before = Entries(profile);
    PointUserTempAt(Join(profile, L""));

    CleanTempFolders();

    const std::vector<std::wstring> lines = sink->Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].starts_with(L"Cleaned: C:\\Windows\\Temp - "))
        << "the system folder is still cleaned";
    EXPECT_EQ(lines[1], L"Not cleaning the user's temporary folder " + Join(profile, L"") +
                            L": its name is not Temp or Tmp");
    EXPECT_EQ(Entries(profile), before);
    EXPECT_TRUE(Exists(Join(project, L"thesis.docx")));
    RemoveTree(project);
    ::DeleteFileW(Join(profile, L"velmora-notes.txt").c_str());
}

TEST_F(Cleanup, TmpPointedAtATempFolderAmongTheUsersDocumentsLeavesEveryFileInPlace) {
    wchar_t documents[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents)));
    const std::wstring folder = Join(documents, L"Temp");
    MakeFolder(folder);
    MakeFile(Join(folder, L"velmora-draft.txt"));
    MakeFolder(Join(folder, L"velmora-photos"));
    MakeFile(Join(folder, L"velmora-photos\\beach.jpg"));
    PointUserTempAt(folder + L"\\");

    CleanTempFolders();

    const std::vector<std::wstring> lines = sink->Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], L"Not cleaning the user's temporary folder " + folder + L"\\: it lies inside " +
                            std::wstring(documents));
    EXPECT_TRUE(Exists(Join(folder, L"velmora-draft.txt")));
    EXPECT_TRUE(Exists(Join(folder, L"velmora-photos\\beach.jpg")));
    RemoveTree(folder);
}

TEST_F(Cleanup, PrefetchCountsFilesAndFoldersAndKeepsLockedEntries) {
    RemoveTree(kPrefetch);
    MakeFolder(kPrefetch);
    {
        Scene prefetch{kPrefetch, {}};
        prefetch.Build();

        CleanPrefetchFolder();

        EXPECT_EQ(sink->Lines(),
                  std::vector<std::wstring>{L"Prefetch folder cleaned. Files: 3 - Folders: 1 - Errors: 2"});
        prefetch.ExpectOnlyTheLockedEntriesLeft();
    }
    RemoveTree(kPrefetch);
}

TEST_F(Cleanup, AMissingPrefetchFolderEndsWithoutALine) {
    RemoveTree(kPrefetch);
    CleanPrefetchFolder();
    EXPECT_TRUE(sink->Lines().empty());
}

TEST_F(Cleanup, FolderContentsOfAnEmptyOrMissingFolder) {
    const std::wstring empty = std::wstring(kScratch) + L"\\Empty";
    MakeFolder(empty);
    CleanFolderContents(empty);
    CleanFolderContents(std::wstring(kScratch) + L"\\Missing");
    EXPECT_EQ(sink->Lines(),
              (std::vector<std::wstring>{CleanedLine(empty, 0, 0),
                                         L"Path does not exist: C:\\VelmoraTests\\Cleanup\\Missing"}));
    EXPECT_TRUE(Exists(empty));
}

TEST_F(Cleanup, AFileGivenAsTheFolderIsReportedAndLeft) {
    const std::wstring file = std::wstring(kScratch) + L"\\note.txt";
    MakeFile(file);
    CleanFolderContents(file);
    const std::vector<std::wstring> lines = sink->Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with(L"Error cleaning " + file + L": cannot list the folder: "))
        << testing::PrintToString(lines[0]);
    EXPECT_TRUE(Exists(file));
}

// The links are Unix symbolic links made by the wine.links.setup fixture (Wine has no call that makes
// one). Wine shows a link to a folder as a reparse point, a link to a file as a plain file, and every
// deleting call acts on the target. The cleaner enters no link and deletes nothing that the system
// names differently from the entry it listed, so every target survives; under Wine the links stay
// (each counts as an error), on Windows they are removed as links.
TEST_F(Cleanup, LinksInsideTheTempFolderLeaveTheirTargetsUntouched) {
    const std::wstring links = std::wstring(kSystemTemp) + L"\\velmora-link-folder";
    const DWORD attributes = ::GetFileAttributesW(links.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "made by the ctest fixture wine.links.setup";
    ASSERT_EQ(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    const std::wstring nest = std::wstring(kSystemTemp) + L"\\velmora-link-nest\\sub";
    ASSERT_TRUE(Exists(nest + L"\\velmora-link-folder"));
    MakeFile(nest + L"\\free.tmp");
    MakeFile(std::wstring(kSystemTemp) + L"\\velmora-free.tmp");

    CleanTempFolders();

    const std::wstring targets = L"C:\\velmora-link-targets";
    EXPECT_EQ(Entries(targets + L"\\folder"), (std::vector<std::wstring>{L"inner", L"keep.txt"}));
    EXPECT_TRUE(Exists(targets + L"\\folder\\inner\\deep.txt"));
    EXPECT_TRUE(Exists(targets + L"\\empty")) << "an empty target folder is not removed through its link";
    EXPECT_TRUE(Exists(targets + L"\\file.txt")) << "a file is not deleted through its link";
    EXPECT_FALSE(Exists(nest + L"\\free.tmp")) << "beside a link, the free entries still go";
    EXPECT_FALSE(Exists(std::wstring(kSystemTemp) + L"\\velmora-free.tmp"));
}

TEST(RecycleBin, EmptyingTheSandboxTrashLeavesEverythingElse) {
    const std::wstring folder = L"C:\\VelmoraTests\\Bin";
    RemoveTree(folder);
    ASSERT_TRUE(::CreateDirectoryW(L"C:\\VelmoraTests", nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
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
    EmptyRecycleBin(); // an empty bin is no failure
    RemoveTree(folder);
}

} // namespace
