#pragma once

// The lists of the main window in words of the UI language: the plan of a profile (grouped by step,
// one row per item: what it is, now, after), and what a run or a restore did. Registry paths, service
// and task names stay as Windows spells them.

#include "engine/engine.h"

#include <functional>
#include <string>
#include <vector>

namespace Velmora {

class FeatureIndex;
class LocalizedTextTable;

using ListRows = std::vector<std::vector<std::wstring>>;

// The plan's entries grouped by step in the order registry, services, tasks, power, cleanup,
// commands, apps, Velmora's own settings; in run order within a step. With `onlyChanges`, what is in
// effect already is left out.
[[nodiscard]] std::vector<const PlanEntry*> GroupedEntries(const ProfilePlan& plan, bool onlyChanges);

[[nodiscard]] std::wstring StepText(ItemStep step, const LocalizedTextTable& texts);
[[nodiscard]] std::wstring ItemText(const ItemTarget& target, const LocalizedTextTable& texts);
[[nodiscard]] std::wstring StateText(const ItemState& state, const LocalizedTextTable& texts);

// Columns: step, item, now, after.
[[nodiscard]] std::vector<std::wstring> PlanColumns(const LocalizedTextTable& texts);
[[nodiscard]] ListRows PlanRows(const ProfilePlan& plan, bool onlyChanges, const LocalizedTextTable& texts);

// A Windows error in words (the UI language where Windows has it), with its number.
using ErrorDescriber = std::function<std::wstring(std::uint32_t error)>;

// Columns: result, feature, item, details. The failed items first (with their error), then what the run
// changed, then what was in effect already (when the run began, or where there was nothing to delete
// or disable), then what it did not reach; by feature within each. Each item once, with its last outcome.
// A restore's details name the step of each item where a run's name its feature.
[[nodiscard]] std::vector<std::wstring> ResultColumns(const LocalizedTextTable& texts, bool restore);
// `rowFeatures`, when given, gets the feature of each row.
[[nodiscard]] ListRows RunResultRows(const RunReport& report, const FeatureIndex& features,
                                     const LocalizedTextTable& texts, const ErrorDescriber& describeError,
                                     std::vector<std::optional<std::size_t>>* rowFeatures = nullptr);
// What could not be restored first, then what cannot come back, what was left alone, what was restored.
[[nodiscard]] ListRows RestoreResultRows(const RestoreResult& result, const LocalizedTextTable& texts,
                                         const ErrorDescriber& describeError);

} // namespace Velmora
