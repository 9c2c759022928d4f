#include "engine/choice_filter.h"

#include "system/scheduled_tasks.h"

namespace Velmora {

bool RunChoices::Keeps(const ItemTarget& target) const {
    const std::optional<std::size_t> feature = features.FeatureOf(target);
    return feature && choices.Keeps(*feature);
}

void ChoiceFilter::DisableEdgeUpdateTasks() {
    if (!choices_.Keeps(TaskTarget{L"\\" + std::wstring(kEdgeUpdateTaskNames[0])})) {
        Inner().DisableEdgeUpdateTasks();
    }
}

} // namespace Velmora
