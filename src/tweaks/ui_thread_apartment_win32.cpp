#include "tweaks/run_controller.h"

#include "common/win32_handles.h"

namespace Velmora {

struct UiThreadApartment {
    ComApartment apartment;
};

UiThreadApartment* EnterUiThreadApartment() {
    // A thread already in another apartment keeps it; the result is not otherwise needed.
    return new UiThreadApartment{InitializeComApartment(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)};
}

void UiThreadApartmentDeleter::operator()(UiThreadApartment* apartment) const noexcept {
    delete apartment;
}

} // namespace Velmora
