#include "common/diagnostics.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace Velmora;

fs::path FreshFolder(const std::string& name) {
    const fs::path folder =
        fs::temp_directory_path() / ("velmora-host-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    return folder;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

// Restores the process-wide sink after each test.
class DiagnosticsTest : public ::testing::Test {
protected:
    void TearDown() override { SetDiagnosticSink(nullptr); }
};

TEST_F(DiagnosticsTest, DiagnoseReachesTheInstalledSinkInOrder) {
    auto sink = std::make_shared<MemoryDiagnosticSink>();
    SetDiagnosticSink(sink);
    Diagnose(L"first");
    Diagnose(L"\u274c second");
    EXPECT_EQ(sink->Lines(), (std::vector<std::wstring>{L"first", L"\u274c second"}));
}

TEST_F(DiagnosticsTest, FileSinkCreatesItsFolderOnTheFirstLineAndWritesUtf8Lines) {
    const fs::path folder = FreshFolder("file");
    const fs::path path = folder / "nested" / "run.log";
    {
        FileDiagnosticSink sink(path);
        EXPECT_FALSE(fs::exists(folder)) << "no line yet, so no file";
        sink.Write(L"\u2705 Service Spooler set");
        sink.Write(L"\u0645\u0631\u062d\u0628\u0627");
    }
    const std::string text = ReadAll(path);
    EXPECT_NE(text.find(" \xE2\x9C\x85 Service Spooler set\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" \xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7\n"), std::string::npos) << text;
    fs::remove_all(folder);
}

TEST_F(DiagnosticsTest, FileSinkEndsALineThatCarriesItsOwnLineFeedOnce) {
    const fs::path folder = FreshFolder("linefeed");
    const fs::path path = folder / "run.log";
    {
        FileDiagnosticSink sink(path);
        sink.Write(L"\u2705 Configured Spooler successfully.\n");
        sink.Write(L"next");
    }
    const std::string text = ReadAll(path);
    EXPECT_NE(text.find(" \xE2\x9C\x85 Configured Spooler successfully.\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("\n\n"), std::string::npos) << "no empty line: " << text;
    fs::remove_all(folder);
}

TEST_F(DiagnosticsTest, FileSinkThatCannotOpenDropsLinesWithoutThrowing) {
    const fs::path folder = FreshFolder("blocked");
    fs::create_directories(folder);
    std::ofstream(folder / "file-not-folder") << "x";
    FileDiagnosticSink sink(folder / "file-not-folder" / "run.log");
    EXPECT_NO_THROW(sink.Write(L"line"));
    EXPECT_NO_THROW(sink.Write(L"line"));
    fs::remove_all(folder);
}

TEST_F(DiagnosticsTest, LinesFromManyThreadsAreNeitherLostNorInterleaved) {
    const fs::path folder = FreshFolder("threads");
    auto sink = std::make_shared<FileDiagnosticSink>(folder / "run.log");
    SetDiagnosticSink(sink);
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                Diagnose(L"thread " + std::to_wstring(t) + L" line " + std::to_wstring(i));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::ifstream stream(folder / "run.log");
    int count = 0;
    for (std::string line; std::getline(stream, line); ++count) {
        EXPECT_NE(line.find(" thread "), std::string::npos) << line;
    }
    EXPECT_EQ(count, kThreads * kLines);
    fs::remove_all(folder);
}

TEST_F(DiagnosticsTest, DefaultLogIsOneFilePerRunUnderTheLogFolder) {
    const fs::path folder = FreshFolder("default");
    const fs::path path = DefaultDiagnosticLogPath(folder);
    EXPECT_EQ(path.parent_path(), folder);
    const std::string name = path.filename().string();
    EXPECT_EQ(name.rfind("Velmora-", 0), 0u) << name;
    EXPECT_NE(name.find("-" + std::to_string(::getpid()) + ".log"), std::string::npos) << name;

    ::setenv("XDG_STATE_HOME", folder.c_str(), 1);
    SetDiagnosticSink(nullptr); // the default sink is made anew on the next line
    Diagnose(L"to the default log");
    ::unsetenv("XDG_STATE_HOME");
    const fs::path logs = folder / "Velmora" / "Logs";
    ASSERT_TRUE(fs::is_directory(logs));
    int files = 0;
    for (const auto& entry : fs::directory_iterator(logs)) {
        ++files;
        EXPECT_NE(ReadAll(entry.path()).find("to the default log"), std::string::npos);
    }
    EXPECT_EQ(files, 1);
    fs::remove_all(folder);
}

} // namespace
