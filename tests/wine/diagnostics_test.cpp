// The Windows side of the diagnostics: the default log lives under the user's local application
// data, and system messages reach it in the user's language.

#include "common/diagnostics.h"
#include "common/text_encoding.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace Velmora;

TEST(DiagnosticLog, TheDefaultSinkWritesOneFileForThisProcessUnderLocalAppData) {
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
        if (entry.path().filename().wstring().ends_with(L"-" + std::to_wstring(::GetCurrentProcessId()) +
                                                        L".log")) {
            std::ifstream stream(entry.path(), std::ios::binary);
            std::stringstream text;
            text << stream.rdbuf();
            found = text.str().find(ToUtf8(line)) != std::string::npos;
        }
    }
    EXPECT_TRUE(found) << "no log of this process holds the line";
}

// The narrow form of the system's message, widened byte by byte, gave question marks for every
// non-Latin message.
TEST(SystemErrorText, AnArabicMessageArrivesInArabicWithoutItsLineEnd) {
    const std::wstring text =
        SystemErrorText(ERROR_ACCESS_DENIED, MAKELANGID(LANG_ARABIC, SUBLANG_ARABIC_SAUDI_ARABIA));
    EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0x0621 && c <= 0x064A; }))
        << ToUtf8(text);
    EXPECT_EQ(text.find_first_of(L"?\r\n"), std::wstring::npos) << ToUtf8(text);
    const std::wstring english =
        SystemErrorText(ERROR_ACCESS_DENIED, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    EXPECT_TRUE(english.starts_with(L"Access") && english.ends_with(L"denied.")) << ToUtf8(english);
    EXPECT_EQ(SystemErrorText(0x2FFFFFFF), L"error 805306367");
}

} // namespace
