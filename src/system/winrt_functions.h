#pragma once

#include <inspectable.h>
#include <winstring.h>

namespace Velmora {

// The few Windows Runtime functions the program uses, bound at run time from the system's
// combase.dll. Velmora.exe then imports only classic system libraries, loads the runtime only when
// the app removal needs it, and a system without it makes that one step fail instead of the start.
struct WinRtFunctions {
    HRESULT(WINAPI* createString)(PCNZWCH, UINT32, HSTRING*) = nullptr;
    HRESULT(WINAPI* deleteString)(HSTRING) = nullptr;
    PCWSTR(WINAPI* stringRawBuffer)(HSTRING, UINT32*) = nullptr;
    HRESULT(WINAPI* activateInstance)(HSTRING, IInspectable**) = nullptr;
    HRESULT(WINAPI* getActivationFactory)(HSTRING, REFIID, void**) = nullptr;

    [[nodiscard]] bool Complete() const noexcept {
        return createString && deleteString && stringRawBuffer && activateInstance && getActivationFactory;
    }
};

// Bound once per process (thread-safe); missing functions stay null.
[[nodiscard]] const WinRtFunctions& WinRt();

} // namespace Velmora
