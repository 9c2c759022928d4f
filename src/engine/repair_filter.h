#pragma once

// A repair: the run of the applied profile with every item left out that still holds, so that only
// what no longer holds is set again (and journaled). It sits below the per-user fan-out, so a per-user
// item is set again only in the hives where it no longer holds.

#include "engine/item_filter.h"
#include "engine/plan.h"
#include "engine/target_users.h"

#include <set>
#include <string>
#include <vector>

namespace Velmora {

// An item of the applied profile that no longer holds, as status counts it: one whose state can be read,
// that the run sets, and that Windows or someone else has changed since. Kept features and actions
// never drift, nor a service this Windows does not have.
[[nodiscard]] bool Drifted(const PlanEntry& entry);

class RepairFilter final : public ItemFilter {
public:
    // `plan`: the applied profile's plan, made with the run's choices and users.
    RepairFilter(SystemOperations& inner, const HiveRoute& route, const ProfilePlan& plan);

    void DisableEdgeUpdateTasks() override;

private:
    [[nodiscard]] bool LeavesOut(const ItemTarget& target) const override;
    [[nodiscard]] bool LeavesOutTemplate(const std::wstring& name) const override;
    [[nodiscard]] std::wstring UserHive() const override;

    const HiveRoute& route_;
    std::set<std::wstring> drifted_; // by ItemIdentity
    std::vector<std::wstring> services_;
    std::vector<std::wstring> tasks_;
};

} // namespace Velmora
