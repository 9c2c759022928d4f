#include "common/text_encoding.h"

#include <gtest/gtest.h>

namespace {

using Velmora::FromUtf8;
using Velmora::ToUtf8;

TEST(TextEncoding, RoundTripsArabicEmojiAndAscii) {
    const std::wstring text = L"\u2705 \u0645\u0631\u062d\u0628\u0627 Velmora \u26a0\ufe0f \U0001F600";
    const std::string utf8 = ToUtf8(text);
    EXPECT_EQ(utf8, "\xE2\x9C\x85 \xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 Velmora \xE2\x9A\xA0\xEF\xB8\x8F "
                    "\xF0\x9F\x98\x80");
    EXPECT_EQ(FromUtf8(utf8), text);
}

TEST(TextEncoding, MalformedInputBecomesReplacementCharacters) {
    // A lone continuation byte, a truncated sequence, an overlong slash and an encoded surrogate.
    EXPECT_EQ(FromUtf8("a\x80"
                       "b"),
              L"a\ufffdb");
    EXPECT_EQ(FromUtf8("\xE2\x9C"), L"\ufffd\ufffd");
    EXPECT_EQ(FromUtf8("\xC0\xAF"), L"\ufffd\ufffd");
    EXPECT_EQ(FromUtf8("\xED\xA0\x80"), L"\ufffd\ufffd\ufffd");
}

TEST(TextEncoding, EmptyStaysEmpty) {
    EXPECT_EQ(ToUtf8(L""), "");
    EXPECT_EQ(FromUtf8(""), L"");
}

} // namespace
