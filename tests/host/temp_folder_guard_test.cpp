// The guard in front of the user's temporary folder: over many spellings of paths a user or an
// installer might put into TMP or TEMP, only a folder that is plainly a temporary one is cleaned.

#include "system/temp_folder_guard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace Velmora;

// A machine as Windows lays it out, with Documents moved to another drive and OneDrive in use.
ProtectedFolders TypicalMachine() {
    ProtectedFolders folders;
    folders.profileRoots = {L"C:\\Users"};
    folders.structural = {L"C:\\Windows",
                          L"C:\\Windows\\System32",
                          L"C:\\Windows\\SysWOW64",
                          L"C:\\Users\\Ann",
                          L"C:\\Users\\Ann\\AppData\\Roaming",
                          L"C:\\Users\\Ann\\AppData\\Local",
                          L"C:\\Users\\Ann\\AppData\\LocalLow",
                          L"C:\\ProgramData",
                          L"C:\\Users\\Public"};
    folders.personal = {L"C:\\Users\\Ann\\Desktop",
                        L"D:\\Data\\Temp\\Documents",
                        L"C:\\Users\\Ann\\Downloads",
                        L"C:\\Users\\Ann\\Pictures",
                        L"C:\\Users\\Ann\\Music",
                        L"C:\\Users\\Ann\\Videos",
                        L"C:\\Users\\Ann\\OneDrive",
                        L"C:\\Users\\Public\\Documents",
                        L"C:\\Program Files",
                        L"C:\\Program Files (x86)",
                        L"",
                        L"not a full path"};
    return folders;
}

TempFolderVerdict Verdict(const std::wstring& folder) {
    return CheckTempFolder(folder, TypicalMachine()).verdict;
}

TEST(TempFolderGuard, PlainTemporaryFoldersAreCleaned) {
    for (const std::wstring folder : {
             L"C:\\Users\\Ann\\AppData\\Local\\Temp\\",
             L"C:\\Users\\Ann\\AppData\\Local\\Temp",
             L"C:\\Users\\Ann\\AppData\\Local\\Temp\\2\\",
             L"C:\\Users\\Ann\\AppData\\Local\\Temp\\17",
             L"c:\\users\\ann\\appdata\\local\\temp\\",
             L"C:/Users/Ann/AppData/Local/Temp/",
             L"C:\\Users\\Ann\\AppData\\Local\\.\\Temp\\",
             L"\\\\?\\C:\\Users\\Ann\\AppData\\Local\\Temp",
             L"C:\\Windows\\Temp\\",
             L"C:\\WINDOWS\\TEMP",
             L"C:\\Windows\\System32\\config\\systemprofile\\AppData\\Local\\Temp\\",
             L"C:\\Temp\\",
             L"C:\\TMP",
             L"E:\\tmp\\",
             L"C:\\Users\\Ann\\Temp\\",
             L"\\\\server\\share\\Temp\\",
             L"\\\\?\\UNC\\server\\share\\scratch\\tmp",
         }) {
        EXPECT_EQ(Verdict(folder), TempFolderVerdict::Temporary) << std::string(folder.begin(), folder.end());
    }
}

TEST(TempFolderGuard, DriveRootsAreRefused) {
    for (const std::wstring folder :
         {L"C:\\", L"C:", L"d:\\", L"C:\\.", L"C:\\Temp\\..", L"C:\\Temp\\..\\..\\", L"\\\\server\\share\\",
          L"\\\\server\\share", L"\\\\?\\C:\\", L"\\\\?\\UNC\\server\\share\\", L"C:/"}) {
        EXPECT_EQ(Verdict(folder), TempFolderVerdict::DriveRoot) << std::string(folder.begin(), folder.end());
    }
}

TEST(TempFolderGuard, PathsThatAreNotFullAreRefused) {
    for (const std::wstring folder : {L"", L"Temp", L"Temp\\", L".\\Temp", L"C:Temp", L"\\Temp",
                                      L"\\\\server", L"\\\\server\\", L"\\\\\\share\\Temp"}) {
        EXPECT_EQ(Verdict(folder), TempFolderVerdict::NotAFullPath)
            << std::string(folder.begin(), folder.end());
    }
}

TEST(TempFolderGuard, FoldersNotNamedTempOrTmpAreRefused) {
    for (const std::wstring folder : {
             L"C:\\Windows\\",
             L"C:\\Windows\\System32",
             L"C:\\Users\\",
             L"C:\\Users\\Ann\\",
             L"C:\\Users\\Ann\\Documents\\",
             L"C:\\Users\\Ann\\Desktop",
             L"C:\\Users\\Ann\\AppData\\Local\\",
             L"C:\\Users\\Ann\\AppData\\Local\\Temp\\..",
             L"C:\\Users\\Ann\\AppData\\Local\\Temp\\Setup",
             L"C:\\Users\\Ann\\AppData\\Local\\Temporary",
             L"C:\\Users\\Ann\\AppData\\Local\\Temp2",
             L"C:\\Users\\Ann\\AppData\\Local\\Temp\\2a",
             L"C:\\Users\\Ann\\AppData\\Local\\2",
             L"C:\\Program Files\\",
             L"D:\\Projects\\",
             L"\\\\server\\share\\files",
         }) {
        EXPECT_EQ(Verdict(folder), TempFolderVerdict::NotNamedTemp)
            << std::string(folder.begin(), folder.end());
    }
}

TEST(TempFolderGuard, AProfileFolderNamedTempIsRefused) {
    // Windows signs a user in with a temporary profile "C:\Users\TEMP" when the real one fails to load.
    EXPECT_EQ(Verdict(L"C:\\Users\\TEMP\\"), TempFolderVerdict::ProfileFolder);
    EXPECT_EQ(Verdict(L"c:\\users\\tmp"), TempFolderVerdict::ProfileFolder);
    EXPECT_EQ(Verdict(L"C:\\Users\\Ann\\AppData\\..\\..\\Temp"), TempFolderVerdict::ProfileFolder);
}

TEST(TempFolderGuard, ATempFolderThatHoldsProtectedFoldersIsRefusedAndNamesThem) {
    const auto check = CheckTempFolder(L"D:\\Data\\Temp\\", TypicalMachine());
    EXPECT_EQ(check.verdict, TempFolderVerdict::HoldsProtected);
    EXPECT_EQ(check.protectedFolder, L"D:\\Data\\Temp\\Documents");

    ProtectedFolders moved = TypicalMachine();
    moved.structural.push_back(L"E:\\Tmp\\Profiles\\Ann\\AppData\\Roaming");
    moved.profileRoots.push_back(L"F:\\Temp");
    EXPECT_EQ(CheckTempFolder(L"e:\\tmp", moved).verdict, TempFolderVerdict::HoldsProtected);
    EXPECT_EQ(CheckTempFolder(L"F:\\Temp\\", moved).verdict, TempFolderVerdict::HoldsProtected);
    EXPECT_EQ(CheckTempFolder(L"F:\\Temp\\Ann\\Temp", moved).verdict, TempFolderVerdict::Temporary);
}

TEST(TempFolderGuard, ATempFolderAmongTheUsersOwnFilesOrProgramsIsRefused) {
    for (const std::wstring folder : {
             L"C:\\Users\\Ann\\Desktop\\Temp",
             L"C:\\Users\\Ann\\Desktop\\Work\\tmp\\",
             L"D:\\Data\\Temp\\Documents\\Temp",
             L"C:\\Users\\Ann\\Downloads\\Temp\\3",
             L"C:\\Users\\Ann\\OneDrive\\Temp",
             L"C:\\Users\\Public\\Documents\\Temp",
             L"C:\\Program Files\\Temp",
             L"C:\\Program Files (x86)\\Vendor\\Tmp",
             L"C:\\Users\\Ann\\AppData\\Local\\Temp\\..\\..\\..\\Pictures\\Temp",
             L"c:\\users\\ann\\desktop.\\temp",
             L"C:\\Users\\Ann\\Desktop \\Temp",
             L"\\\\?\\C:\\Users\\Ann\\Music\\Temp",
         }) {
        EXPECT_EQ(Verdict(folder), TempFolderVerdict::InsideProtected)
            << std::string(folder.begin(), folder.end());
    }
    EXPECT_EQ(CheckTempFolder(L"C:\\Users\\Ann\\Desktop\\Temp", TypicalMachine()).protectedFolder,
              L"C:\\Users\\Ann\\Desktop");
}

TEST(TempFolderGuard, NamesCompareWithoutRegardToCaseBeyondAscii) {
    ProtectedFolders folders;
    folders.personal = {L"C:\\Users\\\u00d6zlem\\\u0414\u043e\u043a\u0443\u043c\u0435\u043d\u0442\u044b"};
    // "öZLEM" and "ДОКУМЕНТЫ" spelled in the other case.
    EXPECT_EQ(
        CheckTempFolder(
            L"c:\\users\\\u00f6ZLEM\\\u0434\u043e\u043a\u0443\u043c\u0435\u043d\u0442\u044b\\Temp", folders)
            .verdict,
        TempFolderVerdict::InsideProtected);
    EXPECT_EQ(CheckTempFolder(L"C:\\Users\\\u00d6zlem2\\Temp", folders).verdict,
              TempFolderVerdict::Temporary);
}

TEST(TempFolderGuard, AFolderWhoseNameOnlyStartsLikeAProtectedOneIsNotInsideIt) {
    EXPECT_EQ(Verdict(L"C:\\Users\\Ann\\Desktop2\\Temp"), TempFolderVerdict::Temporary);
    EXPECT_EQ(Verdict(L"C:\\Program Files Backup\\Temp"), TempFolderVerdict::Temporary);
}

TEST(TempFolderGuard, CanonicalFullPathResolvesTheSpellingsWindowsAccepts) {
    EXPECT_EQ(CanonicalFullPath(L"c:/Users//Ann/./AppData/x/../Local/Temp/"),
              std::optional<std::wstring>(L"C:\\Users\\Ann\\AppData\\Local\\Temp"));
    EXPECT_EQ(CanonicalFullPath(L"\\\\?\\UNC\\srv\\share\\a\\"),
              std::optional<std::wstring>(L"\\\\srv\\share\\a"));
    EXPECT_EQ(CanonicalFullPath(L"C:"), std::optional<std::wstring>(L"C:\\"));
    EXPECT_EQ(CanonicalFullPath(L"C:\\Temp. .\\..."), std::optional<std::wstring>(L"C:\\Temp"));
    EXPECT_EQ(CanonicalFullPath(L"relative\\Temp"), std::nullopt);
}

TEST(TempFolderGuard, TheRefusalLineSaysWhichFolderAndWhy) {
    const std::wstring folder = L"C:\\Users\\Ann\\Desktop\\Temp\\";
    EXPECT_EQ(TempFolderRefusalLine(folder, CheckTempFolder(folder, TypicalMachine())),
              L"Not cleaning the user's temporary folder C:\\Users\\Ann\\Desktop\\Temp\\: it lies inside "
              L"C:\\Users\\Ann\\Desktop");
    EXPECT_EQ(TempFolderRefusalLine(L"C:\\", CheckTempFolder(L"C:\\", TypicalMachine())),
              L"Not cleaning the user's temporary folder C:\\: it is a drive root");
    EXPECT_EQ(
        TempFolderRefusalLine(L"C:\\Users\\Ann\\", CheckTempFolder(L"C:\\Users\\Ann\\", TypicalMachine())),
        L"Not cleaning the user's temporary folder C:\\Users\\Ann\\: its name is not Temp or Tmp");
}

} // namespace
