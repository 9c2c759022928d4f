#pragma once

// A run with features kept as they are: their items are left out of the run above the journal, for
// every user alike.

#include "engine/choices.h"
#include "engine/item_filter.h"
#include "tweaks/run_controller.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace Velmora {

// The features and the choices a plan or a run is made with; both outlive it.
struct RunChoices {
    const FeatureIndex& features;
    const Choices& choices;
    [[nodiscard]] bool Keeps(const ItemTarget& target) const;
};

// The number of a Windows build ("26100" of "26100.3194"); nullopt when it names none.
[[nodiscard]] std::optional<std::uint32_t> BuildNumber(std::wstring_view windowsBuild);

// What an optional feature may need of this PC.
struct WindowsFacts {
    std::optional<std::uint32_t> build; // CurrentBuild; nullopt when it cannot be read
    bool edgeInstalled = false;
};

// This PC's build, and whether Microsoft Edge is installed: registered under App Paths as msedge.exe, as
// applications register (https://learn.microsoft.com/windows/win32/shell/app-registration).
[[nodiscard]] WindowsFacts ReadWindowsFacts(StateReader& reader);

// Whether an optional feature applies to this PC; unknown builds have none of the features that name a
// first build.
[[nodiscard]] bool AvailableOn(const FeatureDefinition& feature, const WindowsFacts& facts);

// The optional rows a run sets: those of the included features (with `everyOptional`, of every optional
// feature) available on this PC.
[[nodiscard]] OptionalRows IncludedRows(const RunChoices& choices, const WindowsFacts& facts,
                                        bool everyOptional = false);
// The included optional features a run sets, by id.
[[nodiscard]] std::vector<std::wstring> IncludedIdsOn(const RunChoices& choices, const WindowsFacts& facts);

class ChoiceFilter final : public ItemFilter {
public:
    ChoiceFilter(SystemOperations& inner, const RunChoices& choices) : ItemFilter(inner), choices_(choices) {}

    void DisableEdgeUpdateTasks() override;

private:
    [[nodiscard]] bool LeavesOut(const ItemTarget& target) const override { return choices_.Keeps(target); }
    // A template names its instances' feature.
    [[nodiscard]] bool LeavesOutTemplate(const std::wstring& name) const override {
        return choices_.Keeps(ServiceTarget{name});
    }

    const RunChoices& choices_;
};

} // namespace Velmora
