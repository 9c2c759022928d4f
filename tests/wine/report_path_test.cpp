// The report file through folder handles, on the real file system: missing folders are made and a
// report in place is replaced; a link on the path or at the file's name (under Wine, Unix links made by
// the wine.links.setup fixture; on Windows, links the test makes) is refused and what it leads to is left
// alone; a folder swapped for another once it was opened does not move the write.

#include "cli/report_path_win32.h"
#include "support/links_on_windows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

namespace {

using namespace Velmora::Cli;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

const fs::path kRoot = L"C:\\velmora-report";

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string text;
    std::getline(in, text, '\0');
    return text;
}

TEST(ReportFile, MakesItsFoldersReplacesAReportAndNeverGoesThroughALink) {
    std::error_code ignored;
    fs::remove_all(kRoot, ignored); // no links inside
    std::wstring error;
    const std::wstring report = (kRoot / L"new" / L"deeper" / L"r.json").wstring();
    ASSERT_TRUE(CheckReportPathOnDisk(report, error)) << error;
    ASSERT_TRUE(WriteReportFile(report, "first", error)) << error;
    ASSERT_TRUE(WriteReportFile(report, "second", error)) << error;
    EXPECT_EQ(Read(report), "second");
    EXPECT_EQ(std::distance(fs::directory_iterator(kRoot / L"new" / L"deeper"), {}), 1)
        << "no file left beside it";

    const Velmora::Testing::LinksOnWindows made;
    const fs::path temp = Velmora::Testing::SystemTempFolder();
    const fs::path targets = Velmora::Testing::kLinkTargets;
    ASSERT_TRUE(fs::exists(temp / L"velmora-link-folder")) << "made by the ctest fixture wine.links.setup";
    for (const fs::path& linked :
         {temp / L"velmora-link-folder" / L"r.json", temp / L"velmora-link-folder" / L"made" / L"r.json",
          temp / L"velmora-link-file"}) {
        error.clear();
        EXPECT_FALSE(CheckReportPathOnDisk(linked.wstring(), error)) << linked;
        EXPECT_FALSE(WriteReportFile(linked.wstring(), "planted", error)) << linked;
        EXPECT_THAT(error, HasSubstr(L"is a link")) << linked;
    }
    EXPECT_FALSE(fs::exists(targets / L"folder" / L"r.json"));
    EXPECT_FALSE(fs::exists(targets / L"folder" / L"made"));
    EXPECT_EQ(Read(targets / L"file.txt"), "file\n");

    // Opened, then moved away and replaced by another folder of the same name: the report goes where the
    // handle is.
    const std::optional<ReportFolder> held =
        OpenReportFolder((kRoot / L"swap" / L"r.json").wstring(), true, error);
    ASSERT_TRUE(held && held->handle) << error;
    ASSERT_TRUE(::MoveFileW((kRoot / L"swap").c_str(), (kRoot / L"away").c_str()));
    ASSERT_TRUE(::CreateDirectoryW((kRoot / L"swap").c_str(), nullptr));
    ASSERT_TRUE(WriteReportInto(*held, L"r.json", "held", error)) << error;
    EXPECT_EQ(Read(kRoot / L"away" / L"r.json"), "held");
    EXPECT_FALSE(fs::exists(kRoot / L"swap" / L"r.json"));
}

} // namespace
