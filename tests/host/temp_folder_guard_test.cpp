// The guard in front of the user's temporary folder over the spellings TMP or TEMP may take, and
// the system's folders cleanup takes from the Windows folder.

#include "system/temp_folder_guard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace Velmora;
using enum TempFolderVerdict;

// A machine as Windows lays it out, with Documents moved to another drive and OneDrive in use.
ProtectedFolders TypicalMachine() {
    ProtectedFolders folders;
    folders.profileRoots = {L"C:\\Users"};
    folders.structural = {L"C:\\Windows",
                          L"C:\\Windows\\System32",
                          L"C:\\Users\\Ann",
                          L"C:\\Users\\Ann\\AppData\\Roaming",
                          L"C:\\Users\\Ann\\AppData\\Local",
                          L"C:\\ProgramData",
                          L"C:\\Users\\Public"};
    folders.personal = {
        L"C:\\Users\\Ann\\Desktop", L"D:\\Data\\Temp\\Documents", L"C:\\Users\\Ann\\Downloads",
        L"C:\\Users\\Ann\\Music",   L"C:\\Users\\Ann\\OneDrive",  L"C:\\Users\\Public\\Documents",
        L"C:\\Program Files",       L"C:\\Program Files (x86)",   L"",
        L"not a full path"};
    return folders;
}

TEST(TempFolderGuard, EachSpellingGetsItsVerdict) {
    const std::pair<const wchar_t*, TempFolderVerdict> cases[] = {
        {L"C:\\Users\\Ann\\AppData\\Local\\Temp\\", Temporary},
        {L"C:\\Users\\Ann\\AppData\\Local\\Temp\\2\\", Temporary}, // a session's own folder
        {L"c:/users/ann/appdata/local/./temp", Temporary},
        {L"\\\\?\\C:\\Users\\Ann\\AppData\\Local\\Temp", Temporary},
        {L"\\\\server\\share\\Temp\\", Temporary},
        {L"C:\\Users\\Ann\\Desktop2\\Temp", Temporary}, // only starts like a protected folder
        {L"C:\\", DriveRoot},
        {L"\\\\server\\share", DriveRoot},
        {L"", NotAFullPath},
        {L"C:Temp", NotAFullPath},
        {L"\\Temp", NotAFullPath},
        {L"C:\\Users\\Ann\\", NotNamedTemp},
        {L"C:\\Users\\Ann\\AppData\\Local\\Temp\\..", NotNamedTemp},
        {L"C:\\Users\\Ann\\AppData\\Local\\Temp\\2a", NotNamedTemp},
        {L"C:\\Users\\Ann\\AppData\\Local\\2", NotNamedTemp},
        // Windows signs a user in with a temporary profile "C:\Users\TEMP" when the real one fails.
        {L"C:\\Users\\TEMP\\", ProfileFolder},
        {L"C:\\Users\\Ann\\AppData\\..\\..\\tmp", ProfileFolder},
        {L"D:\\Data\\Temp\\", HoldsProtected},
        {L"C:\\Users\\Ann\\Desktop\\Work\\tmp\\", InsideProtected},
        {L"C:\\Program Files (x86)\\Vendor\\Tmp", InsideProtected},
        {L"C:\\Users\\Ann\\AppData\\Local\\Temp\\..\\..\\..\\Music\\Temp", InsideProtected},
        {L"c:\\users\\ann\\desktop.\\temp", InsideProtected}, // Windows drops trailing dots and blanks
        {L"C:\\Users\\Ann\\Desktop \\Temp", InsideProtected},
    };
    const ProtectedFolders machine = TypicalMachine();
    for (const auto& [folder, verdict] : cases) {
        EXPECT_EQ(CheckTempFolder(folder, machine).verdict, verdict)
            << testing::PrintToString(std::wstring(folder));
    }
}

TEST(TempFolderGuard, FoldersMovedIntoATempFolderAreNamedAndCaseIsFoldedBeyondAscii) {
    ProtectedFolders moved = TypicalMachine();
    moved.structural.push_back(L"E:\\Tmp\\Profiles\\Ann\\AppData\\Roaming");
    moved.profileRoots.push_back(L"F:\\Temp");
    moved.personal.push_back(
        L"C:\\Users\\\u00d6zlem\\\u0414\u043e\u043a\u0443\u043c\u0435\u043d\u0442\u044b");
    const TempFolderCheck holds = CheckTempFolder(L"e:\\tmp", moved);
    EXPECT_EQ(holds.verdict, HoldsProtected);
    EXPECT_EQ(holds.protectedFolder, L"E:\\Tmp\\Profiles\\Ann\\AppData\\Roaming");
    EXPECT_EQ(CheckTempFolder(L"F:\\Temp\\", moved).verdict, HoldsProtected);
    EXPECT_EQ(CheckTempFolder(L"F:\\Temp\\Ann\\Temp", moved).verdict, Temporary);
    // "öZLEM" and "ДОКУМЕНТЫ" spelled in the other case.
    EXPECT_EQ(
        CheckTempFolder(
            L"c:\\users\\\u00f6ZLEM\\\u0434\u043e\u043a\u0443\u043c\u0435\u043d\u0442\u044b\\Temp", moved)
            .verdict,
        InsideProtected);
}

TEST(TempFolderGuard, TheRefusalLineSaysWhichFolderAndWhy) {
    const std::wstring folder = L"C:\\Users\\Ann\\Desktop\\Temp\\";
    EXPECT_EQ(TempFolderRefusalLine(folder, CheckTempFolder(folder, TypicalMachine())),
              L"Not cleaning the user's temporary folder C:\\Users\\Ann\\Desktop\\Temp\\: it lies inside "
              L"C:\\Users\\Ann\\Desktop");
    EXPECT_EQ(TempFolderRefusalLine(L"C:\\", CheckTempFolder(L"C:\\", TypicalMachine())),
              L"Not cleaning the user's temporary folder C:\\: it is a drive root");
    EXPECT_EQ(CanonicalFullPath(L"c:/Users//Ann/./AppData/x/../Local/Temp. .\\"),
              std::optional<std::wstring>(L"C:\\Users\\Ann\\AppData\\Local\\Temp"));
}

TEST(SystemCleanupFolders, TempPrefetchAndTheRecycleBinFollowTheWindowsFolderToItsDrive) {
    const struct {
        const wchar_t* windows;
        std::optional<SystemCleanupFolders> folders;
    } cases[] = {
        {L"C:\\Windows", SystemCleanupFolders{L"C:\\Windows\\Temp", L"C:\\Windows\\Prefetch", L"C:\\"}},
        {L"D:\\WINNT\\", SystemCleanupFolders{L"D:\\WINNT\\Temp", L"D:\\WINNT\\Prefetch", L"D:\\"}},
        {L"e:\\OS\\Windows",
         SystemCleanupFolders{L"E:\\OS\\Windows\\Temp", L"E:\\OS\\Windows\\Prefetch", L"E:\\"}},
        {L"\\\\?\\F:\\Windows",
         SystemCleanupFolders{L"F:\\Windows\\Temp", L"F:\\Windows\\Prefetch", L"F:\\"}},
        {L"D:\\", std::nullopt},
        {L"\\\\server\\share\\Windows", std::nullopt},
        {L"Windows", std::nullopt},
        {L"", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto folders = SystemCleanupFoldersOf(c.windows);
        ASSERT_EQ(folders.has_value(), c.folders.has_value())
            << testing::PrintToString(std::wstring(c.windows));
        if (folders) {
            EXPECT_EQ(folders->temp, c.folders->temp);
            EXPECT_EQ(folders->prefetch, c.folders->prefetch);
            EXPECT_EQ(folders->recycleBinRoot, c.folders->recycleBinRoot);
        }
    }
}

} // namespace
