#include "tweaks/run_controller.h"

namespace Velmora {

// There is no COM on the host; the controller keeps an empty apartment.
struct UiThreadApartment {};

UiThreadApartment* EnterUiThreadApartment() {
    return nullptr;
}

void UiThreadApartmentDeleter::operator()(UiThreadApartment* apartment) const noexcept {
    delete apartment;
}

} // namespace Velmora
