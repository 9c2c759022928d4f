#pragma once

// The terms of use shown on the Terms page, one plain text per language. Lines end with "\n" only;
// a control that needs "\r\n" converts when it is filled.

#include <cstdint>
#include <string_view>

namespace Velmora {

[[nodiscard]] std::wstring_view EnglishTermsText() noexcept;
[[nodiscard]] std::wstring_view ArabicTermsText() noexcept;

// The terms in the window's language: Arabic for 0, English for every other value.
[[nodiscard]] std::wstring_view TermsText(std::int32_t language) noexcept;

} // namespace Velmora
