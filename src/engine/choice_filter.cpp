#include "engine/choice_filter.h"

#include "engine/detection_marker.h"
#include "system/scheduled_tasks.h"

#include <algorithm>

namespace Velmora {

bool RunChoices::Keeps(const ItemTarget& target) const {
    const std::optional<std::size_t> feature = features.FeatureOf(target);
    return feature && choices.Keeps(*feature);
}

std::optional<std::uint32_t> BuildNumber(std::wstring_view windowsBuild) {
    const std::wstring_view digits = windowsBuild.substr(0, windowsBuild.find(L'.'));
    if (digits.empty() || digits.size() > 9) {
        return std::nullopt;
    }
    std::uint32_t number = 0;
    for (const wchar_t c : digits) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        number = number * 10 + static_cast<std::uint32_t>(c - L'0');
    }
    return number;
}

WindowsFacts ReadWindowsFacts(StateReader& reader) {
    return {BuildNumber(ReadWindowsBuild(reader)),
            reader.ReadRegistryKeyPresence(
                2, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msedge.exe") ==
                Presence::Present};
}

bool AvailableOn(const FeatureDefinition& feature, const WindowsFacts& facts) {
    if (feature.needsEdge && !facts.edgeInstalled) {
        return false;
    }
    if (!facts.build) {
        return feature.builds.minimum == 0 && feature.builds.maximum == 0;
    }
    return feature.builds.Holds(*facts.build);
}

OptionalRows IncludedRows(const RunChoices& choices, const WindowsFacts& facts, bool everyOptional) {
    OptionalRows rows;
    for (std::size_t feature = 0; feature < choices.features.Features().size(); ++feature) {
        const FeatureDefinition& definition = choices.features.Features()[feature];
        if (!definition.optional || !(everyOptional || choices.choices.Includes(feature)) ||
            !AvailableOn(definition, facts)) {
            continue;
        }
        for (const TableRow& row : choices.features.Catalogue().RowsOf(feature)) {
            switch (row.table) {
            case CatalogueTable::OptionalRegistryTable:
                rows.registry.push_back(row.index);
                break;
            case CatalogueTable::OptionalListTable:
                rows.lists.push_back(row.index);
                break;
            default:
                break; // an optional feature holds only rows of the optional tables
            }
        }
    }
    // In table order, whatever the order of the features.
    for (auto* list : {&rows.registry, &rows.lists}) {
        std::sort(list->begin(), list->end());
    }
    return rows;
}

std::vector<std::wstring> IncludedIdsOn(const RunChoices& choices, const WindowsFacts& facts) {
    std::vector<std::wstring> ids;
    for (const auto& [feature, source] : choices.choices.included) {
        const FeatureDefinition& definition = choices.features.Features()[feature];
        if (AvailableOn(definition, facts)) {
            ids.emplace_back(definition.id.begin(), definition.id.end());
        }
    }
    return ids;
}

void ChoiceFilter::DisableEdgeUpdateTasks() {
    if (!choices_.Keeps(TaskTarget{L"\\" + std::wstring(kEdgeUpdateTaskNames[0])})) {
        Inner().DisableEdgeUpdateTasks();
    }
}

} // namespace Velmora
