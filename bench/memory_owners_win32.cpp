#include "bench/bench_parts_win32.h"

#include "app/app_launch.h"
#include "bench/fixtures_win32.h"
#include "engine/engine.h"
#include "engine/feature_items.h"
#include "engine/journal.h"
#include "engine/pc_status.h"
#include "tweaks/run_controller.h"
#include "ui/text/localized_text_table.h"

#include <windows.h>

#include <functional>
#include <memory>

namespace Velmora::Bench {
namespace {

// The bytes handed out and not yet freed, over every heap of the process (the C runtime's among them).
double HeapBytesInUse() {
    HANDLE heaps[64] = {};
    const DWORD count = std::min<DWORD>(::GetProcessHeaps(64, heaps), 64);
    double total = 0.0;
    for (DWORD i = 0; i < count; ++i) {
        if (!::HeapLock(heaps[i])) {
            continue;
        }
        PROCESS_HEAP_ENTRY entry{};
        while (::HeapWalk(heaps[i], &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
                total += static_cast<double>(entry.cbData);
            }
        }
        ::HeapUnlock(heaps[i]);
    }
    return total;
}

// What `make` leaves on the heap while its object lives.
MemoryOwner Held(std::string name, const std::function<std::shared_ptr<void>()>& make) {
    const double before = HeapBytesInUse();
    const std::shared_ptr<void> object = make();
    return {std::move(name), HeapBytesInUse() - before};
}

template <typename T>
std::shared_ptr<void> Keep(T value) {
    return std::make_shared<T>(std::move(value));
}

} // namespace

std::vector<MemoryOwner> BenchMemoryOwners(EngineServices& services, const RunController& controller,
                                           const std::wstring& journalPath) {
    std::vector<MemoryOwner> owners;
    owners.push_back(Held("text tables of both languages", [] {
        auto texts = std::make_shared<LocalizedTextTable>();
        implementation::PrepareTextTable(*texts);
        return texts;
    }));
    const FeatureIndex features(controller);
    owners.push_back(Held("feature index", [&] { return std::make_shared<FeatureIndex>(controller); }));
    owners.push_back(Held("scan of the three profiles (the cards' counts)",
                          [&] { return Keep(ScanPc(services, controller, kNoProfile, &features)); }));
    owners.push_back(Held("plan of Maximum (the review's)",
                          [&] { return Keep(PlanProfile(services, controller, kMaximumProfile)); }));
    const std::optional<std::string> text = ReadWholeFile(journalPath);
    owners.push_back(Held("journal of the Maximum run, as text", [&] { return Keep(text.value_or("")); }));
    owners.push_back(Held("that journal, read", [&] {
        std::wstring error;
        return Keep(text ? ParseJournal(*text, error) : std::nullopt);
    }));
    return owners;
}

} // namespace Velmora::Bench
