#include "common/diagnostics.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace Velmora;

// Lines from many threads reach the file whole and in UTF-8, a line that brings its own line feed
// ends once, and the file is made only for the first line. A sink that cannot open drops lines.
TEST(FileDiagnosticSink, LinesFromManyThreadsArriveWholeOnceEachAsUtf8) {
    // A folder of this run's own (the test builds on Windows too, which has no getpid).
    const auto run = std::chrono::steady_clock::now().time_since_epoch().count();
    const fs::path folder = fs::temp_directory_path() / ("velmora-diagnostics-" + std::to_string(run));
    fs::remove_all(folder);
    auto sink = std::make_shared<FileDiagnosticSink>(folder / "run.log");
    SetDiagnosticSink(sink);
    EXPECT_FALSE(fs::exists(folder)) << "no line yet, so no file";
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 200; ++i) {
                Diagnose(L"\u2705 \u0645\u0631\u062d\u0628\u0627 line.\n");
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    SetDiagnosticSink(nullptr);
    sink.reset(); // closes the file: Windows removes no file that is open
    std::ifstream stream(folder / "run.log", std::ios::binary);
    int count = 0;
    for (std::string line; std::getline(stream, line); ++count) {
        EXPECT_TRUE(line.ends_with(" \xE2\x9C\x85 \xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 line.")) << line;
    }
    EXPECT_EQ(count, 800);
    stream.close();
    FileDiagnosticSink blocked(folder / "run.log" / "below-a-file.log");
    EXPECT_NO_THROW(blocked.Write(L"dropped"));
    fs::remove_all(folder);
}

} // namespace
