#pragma once

// Functions of a system library loaded at run time, so that the program imports only what every
// Windows has and binds the rest where it is used.

#include <windows.h>

namespace Velmora {

// The function `name` of `library`; null when the library or the function is missing. GetProcAddress
// gives a generic function pointer: the detour through void(*)() reaches the real type without a
// cast-function-type warning.
template <typename Function>
[[nodiscard]] Function BoundFunction(HMODULE library, const char* name) noexcept {
    using Generic = void (*)();
    return library == nullptr
               ? nullptr
               : reinterpret_cast<Function>(reinterpret_cast<Generic>(::GetProcAddress(library, name)));
}

template <typename Function>
void Bind(HMODULE library, const char* name, Function& function) noexcept {
    function = BoundFunction<Function>(library, name);
}

} // namespace Velmora
