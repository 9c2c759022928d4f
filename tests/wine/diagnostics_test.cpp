// System messages reach the run's log in the user's language.

#include "common/diagnostics.h"
#include "common/text_encoding.h"
#include "support/this_pc.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

namespace {

using namespace Velmora;

// The narrow form of the system's message, widened byte by byte, gave question marks for every
// non-Latin message. Wine always has the Arabic messages; Windows only where the Arabic language is
// installed, and otherwise answers ERROR_RESOURCE_LANG_NOT_FOUND, so the number stands in for the text.
TEST(SystemErrorText, AnArabicMessageArrivesInArabicWithoutItsLineEnd) {
    const WORD arabicLanguage = MAKELANGID(LANG_ARABIC, SUBLANG_DEFAULT);
    wchar_t probe[512] = {};
    const bool installed =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         ERROR_ACCESS_DENIED, arabicLanguage, probe, 512, nullptr) > 0;
    EXPECT_TRUE(installed || (!Testing::UnderWine() && ::GetLastError() == ERROR_RESOURCE_LANG_NOT_FOUND));
    const std::wstring arabic = SystemErrorText(ERROR_ACCESS_DENIED, arabicLanguage);
    if (!installed) {
        EXPECT_EQ(arabic, L"error 5");
    } else {
        EXPECT_TRUE(
            std::any_of(arabic.begin(), arabic.end(), [](wchar_t c) { return c >= 0x0621 && c <= 0x064A; }));
        EXPECT_EQ(arabic.find_first_of(L"?\r\n"), std::wstring::npos) << ToUtf8(arabic);
    }
    EXPECT_EQ(SystemErrorText(0x2FFFFFFF), L"error 805306367");
}

} // namespace
