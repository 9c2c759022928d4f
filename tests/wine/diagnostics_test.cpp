// System messages reach the run's log in the user's language.

#include "common/diagnostics.h"
#include "common/text_encoding.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

namespace {

using namespace Velmora;

// The narrow form of the system's message, widened byte by byte, gave question marks for every
// non-Latin message.
TEST(SystemErrorText, AnArabicMessageArrivesInArabicWithoutItsLineEnd) {
    const std::wstring arabic =
        SystemErrorText(ERROR_ACCESS_DENIED, MAKELANGID(LANG_ARABIC, SUBLANG_DEFAULT));
    EXPECT_TRUE(
        std::any_of(arabic.begin(), arabic.end(), [](wchar_t c) { return c >= 0x0621 && c <= 0x064A; }));
    EXPECT_EQ(arabic.find_first_of(L"?\r\n"), std::wstring::npos) << ToUtf8(arabic);
    EXPECT_EQ(SystemErrorText(0x2FFFFFFF), L"error 805306367");
}

} // namespace
