#pragma once

// The COM strings and VARIANTs the Task Scheduler calls take.

#include "common/win32_handles.h"

#include <oleauto.h>

#include <new>
#include <string>

namespace Velmora {

// A BSTR copy of the text; out of memory throws, as any other allocation does.
[[nodiscard]] inline UniqueBstr MakeBstr(const std::wstring& text) {
    UniqueBstr bstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
    if (!bstr) {
        throw std::bad_alloc();
    }
    return bstr;
}

// Not owned: the VARIANT only lends the caller's string to one call.
[[nodiscard]] inline VARIANT BstrVariant(const UniqueBstr& text) {
    VARIANT variant;
    ::VariantInit(&variant);
    variant.vt = VT_BSTR;
    variant.bstrVal = text.Get();
    return variant;
}

// The "no value" argument of optional VARIANT parameters.
[[nodiscard]] inline VARIANT EmptyVariant() {
    VARIANT variant;
    ::VariantInit(&variant);
    return variant;
}

} // namespace Velmora
