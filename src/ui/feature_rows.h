#pragma once

// The Review page by feature, in words of the UI language: a heading row per category and a row per
// feature (its title, its state now, what the run does to it, a warning mark), the selected feature's
// description, warnings and items, and what a run will turn off, for the question before it.

#include "engine/choices.h"
#include "engine/feature_items.h"
#include "ui/control.h"
#include "ui/plan_rows.h"

#include <cstddef>
#include <string>
#include <vector>

namespace Velmora {

class LocalizedTextTable;

struct FeatureListModel {
    struct Row {
        bool heading = false; // a category's title; otherwise a feature
        FeatureCategory category = FeatureCategory::PrivacyDiagnostics;
        std::size_t group = 0; // a feature: its index in `groups`
    };
    std::vector<FeatureEntries> groups; // every feature of the plan
    std::vector<Row> rows;              // what is shown
};

// Whether the window's run makes the feature: not kept, or (an optional one) included and on this Windows.
[[nodiscard]] bool RunMakes(const FeatureEntries& group, const FeatureIndex& features,
                            const Choices& choices);

// With `onlyChanges`, the features the run leaves as they are are left out; the optional features are
// always listed, as the choices they are.
[[nodiscard]] FeatureListModel MakeFeatureList(const ProfilePlan& plan, const FeatureIndex& features,
                                               bool onlyChanges);

// Columns: feature, now, what the run does, warning mark.
[[nodiscard]] std::vector<std::wstring> FeatureColumns(const LocalizedTextTable& texts);
// A kept feature says so where the others say what the run does to them.
[[nodiscard]] ListRows FeatureListRows(const FeatureListModel& list, const FeatureIndex& features,
                                       SettingsProfile profile, const Choices& choices,
                                       const LocalizedTextTable& texts);
// A feature's row is ticked when the run makes it, clear when it is kept (an optional one: not included),
// locked when a policy chose; a category's heading has no box, nor has what every run must write or an
// optional feature this Windows lacks.
[[nodiscard]] std::vector<RowCheck> FeatureRowChecks(const FeatureListModel& list,
                                                     const FeatureIndex& features, const Choices& choices);

// The selected feature in full: title, description, the warnings that apply to this run, and its items
// with their state now and after (only those that change, with `onlyChanges`).
[[nodiscard]] std::wstring FeatureDetailsText(const FeatureEntries& group, const FeatureIndex& features,
                                              SettingsProfile profile, const Choices& choices,
                                              bool onlyChanges, const LocalizedTextTable& texts);

// One line per thing the run turns off, with the features that do it: "• Remote access to this PC
// (Remote Desktop off, Remote Assistance off)". Empty when it turns off nothing.
[[nodiscard]] std::wstring TurnedOffText(const std::vector<std::size_t>& warningFeatures,
                                         const FeatureIndex& features, const LocalizedTextTable& texts);

} // namespace Velmora
