#include "system/winrt_functions.h"

#include "common/bound_function.h"
#include "common/win32_handles.h"

namespace Velmora {
namespace {

WinRtFunctions BindWinRtFunctions() {
    WinRtFunctions functions;
    // Kept loaded for the rest of the process: the bound functions point into it.
    const HMODULE combase = ::LoadLibraryExW(L"combase.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (combase == nullptr) {
        return functions;
    }
    Bind(combase, "WindowsCreateString", functions.createString);
    Bind(combase, "WindowsDeleteString", functions.deleteString);
    Bind(combase, "WindowsGetStringRawBuffer", functions.stringRawBuffer);
    Bind(combase, "RoActivateInstance", functions.activateInstance);
    Bind(combase, "RoGetActivationFactory", functions.getActivationFactory);
    return functions;
}

} // namespace

const WinRtFunctions& WinRt() {
    static const WinRtFunctions functions = BindWinRtFunctions();
    return functions;
}

void HStringTraits::Close(Handle text) noexcept {
    if (const auto deleteString = WinRt().deleteString) {
        deleteString(text);
    }
}

} // namespace Velmora
