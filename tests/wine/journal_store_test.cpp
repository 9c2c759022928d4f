// The journal folder when another account made it first and left names in it. Wine keeps no owner for
// a file (it reports the process user for each, whatever was set), so the owners that account would
// have are given by a reader in place of the system's; the folders, files and their removal are real.

#include "engine/windows_engine.h"
#include "system/entry_removal_win32.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace {

using namespace Velmora;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

const fs::path kTop = L"C:\\velmora-store-test";
const fs::path kFolder = kTop / L"Velmora" / L"Journal";
const fs::path kPlanted[] = {kFolder / L"20991231T235959.999Z-Standard.json",
                             kFolder / L"20991231T235959.998Z-Maximum.json.partial"};

TEST(JournalFolder, WhatAnotherAccountMadeFirstIsTakenOverOrRefusedAndItsJournalsNeverCount) {
    std::error_code ignored;
    fs::remove_all(kTop, ignored);
    fs::create_directories(kFolder.parent_path());
    std::ofstream(kFolder, std::ios::binary) << "a file where the folder goes";
    std::set<fs::path> foreign{kFolder}; // what the other account owns
    bool folderKept = false;             // the journal folder stays theirs once it is a folder
    WindowsJournalStore store(kFolder.wstring(), [&](HANDLE item) {
        const fs::path path = FinalPathOf(item).substr(4); // without "\\?\"
        const bool theirs = path == kFolder ? !fs::is_directory(path) || folderKept : foreign.contains(path);
        return theirs ? L"S-1-5-21-1004336348-1177238915-682003330-1001" : FileOwnerSid(item);
    });
    std::wstring error;
    ASSERT_TRUE(store.Create(L"Standard", error)) << error << ": the file in the folder's place goes";
    ASSERT_TRUE(fs::is_directory(kFolder));

    for (const fs::path& planted : kPlanted) {
        std::ofstream(planted, std::ios::binary) << "{}";
        foreign.insert(planted);
    }
    const std::vector<std::wstring> listed = store.List();
    ASSERT_EQ(listed.size(), 1u) << "only the run's own journal";
    EXPECT_THAT(listed[0], HasSubstr(L"-Standard.json.partial"));

    // An owner that does not change (Windows refused) is a folder Velmora cannot secure.
    folderKept = true;
    EXPECT_FALSE(store.Create(L"Maximum", error));
    EXPECT_THAT(error, HasSubstr(L"could not be given to the Administrators"));
    folderKept = false; // now it took
    ASSERT_TRUE(store.Create(L"Maximum", error)) << error;
    for (const fs::path& planted : kPlanted) {
        EXPECT_FALSE(fs::exists(planted)) << planted << " stays in the way";
    }
    EXPECT_EQ(store.List().size(), 2u);
}

} // namespace
