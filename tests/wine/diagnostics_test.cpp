// The default diagnostic sink under Wine: one UTF-8 log file per run in the user's local
// application data folder.

#include "common/diagnostics.h"
#include "common/text_encoding.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace Velmora;

TEST(DiagnosticLog, DefaultSinkWritesUnderLocalAppData) {
    wchar_t localAppData[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, localAppData)));
    const fs::path folder = DiagnosticLogFolder();
    EXPECT_EQ(folder, fs::path(localAppData) / L"Velmora" / L"Logs");

    SetDiagnosticSink(nullptr);
    const std::wstring line =
        L"\u2705 diagnostics under Wine, pid " + std::to_wstring(::GetCurrentProcessId());
    Diagnose(line);

    bool found = false;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.find(L"-" + std::to_wstring(::GetCurrentProcessId()) + L".log") == std::wstring::npos) {
            continue;
        }
        std::ifstream stream(entry.path(), std::ios::binary);
        std::stringstream text;
        text << stream.rdbuf();
        found = text.str().find(ToUtf8(line)) != std::string::npos;
    }
    EXPECT_TRUE(found) << "no log of this process holds the line";
}

} // namespace
