#pragma once

// A run with features kept as they are: their items are left out of the run above the journal, for
// every user alike.

#include "engine/choices.h"
#include "engine/item_filter.h"

namespace Velmora {

// The features and the choices a plan or a run is made with; both outlive it.
struct RunChoices {
    const FeatureIndex& features;
    const Choices& choices;
    [[nodiscard]] bool Keeps(const ItemTarget& target) const;
};

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
