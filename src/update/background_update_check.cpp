#include "update/background_update_check.h"

#include "common/diagnostics.h"
#include "common/dispatcher_queue.h"

#include <thread>

namespace Velmora {

void StartBackgroundUpdateCheck(std::function<std::optional<UpdateOffer>()> check, DispatcherQueue& ui,
                                std::function<void(const UpdateOffer&)> show) {
    try {
        std::thread([check = std::move(check), &ui, show = std::move(show)] {
            try {
                std::optional<UpdateOffer> offer = check();
                if (offer && !ui.TryEnqueue([offer = std::move(*offer), show] { show(offer); })) {
                    Diagnose(L"Update check: the window closed before the offer could be shown");
                }
            } catch (...) {
                Diagnose(L"Update check: ended with an unexpected error");
            }
        }).detach();
    } catch (...) {
        Diagnose(L"Update check: could not start its thread");
    }
}

} // namespace Velmora
