#pragma once

// The features of the profiles as the engine names items: which feature an item of a plan, a run or a
// journal belongs to, and a plan's entries grouped by feature.

#include "common/run_once.h"
#include "engine/plan.h"
#include "tweaks/feature_catalogue.h"

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Velmora {

class RunController;

class FeatureIndex {
public:
    explicit FeatureIndex(const RunController& controller);

    [[nodiscard]] const FeatureCatalogue& Catalogue() const { return catalogue_; }
    [[nodiscard]] const std::vector<FeatureDefinition>& Features() const { return catalogue_.Features(); }

    // The feature of an item, whichever user's hive it is in; nullopt for an item no profile makes.
    [[nodiscard]] std::optional<std::size_t> FeatureOf(const ItemTarget& target) const;

private:
    void Add(const ItemTarget& target, std::optional<std::size_t> feature);

    FeatureCatalogue catalogue_;
    std::map<std::wstring, std::size_t> byItem_;
    std::map<std::wstring, std::size_t> byTemplate_; // per-user service templates, by the name before "_*"
    std::optional<std::size_t> edgeUpdateTasks_;
    std::optional<std::size_t> appOffloading_;
};

// The index, made at its first use from any thread: a first start's pages need none of it, and its
// catalogue and maps are a good part of what the window would otherwise build before it is first shown.
class LazyFeatureIndex {
public:
    explicit LazyFeatureIndex(const RunController& controller) noexcept : controller_(controller) {}

    [[nodiscard]] const FeatureIndex& operator*() const {
        made_([this] { index_.emplace(controller_); });
        return *index_;
    }
    [[nodiscard]] const FeatureIndex* operator->() const { return &**this; }

private:
    const RunController& controller_;
    mutable RunOnce made_;
    mutable std::optional<FeatureIndex> index_;
};

// One feature's entries of a plan, with their counts.
struct FeatureEntries {
    std::size_t feature = 0;
    std::vector<const PlanEntry*> entries; // in run order
    PlanCounts counts;
    // Whether the run changes it: an item to change, or an action (done anew by every run).
    [[nodiscard]] bool Changes() const { return counts.actions > 0 || counts.changes > counts.inEffect; }
};

// The plan's entries by feature, in the order of the feature table; an entry of no feature (none is
// expected) goes last under the number of features.
[[nodiscard]] std::vector<FeatureEntries> GroupByFeature(const ProfilePlan& plan,
                                                         const FeatureIndex& features);

// Whether the run of `profile` turns off what the feature warns of: it warns for that profile, and the
// run changes it.
[[nodiscard]] bool WarnsForRun(const FeatureEntries& group, const FeatureIndex& features,
                               SettingsProfile profile);

// The features of the plan that warn for its run, in table order.
[[nodiscard]] std::vector<std::size_t> WarningFeatures(const std::vector<FeatureEntries>& groups,
                                                       const FeatureIndex& features, SettingsProfile profile);

} // namespace Velmora
