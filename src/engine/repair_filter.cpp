#include "engine/repair_filter.h"

#include "system/scheduled_tasks.h"

#include <algorithm>

namespace Velmora {

bool Drifted(const PlanEntry& entry) {
    if (entry.isAction || entry.kept || !entry.readable || entry.inEffect ||
        std::holds_alternative<SettingTarget>(entry.target)) {
        return false;
    }
    const auto* service = std::get_if<ServiceState>(&entry.current);
    return service == nullptr || service->manager != Presence::Absent;
}

RepairFilter::RepairFilter(SystemOperations& inner, const HiveRoute& route, const ProfilePlan& plan)
    : ItemFilter(inner), route_(route) {
    for (const PlanEntry& entry : plan.entries) {
        if (!Drifted(entry)) {
            continue;
        }
        drifted_.insert(ItemIdentity(entry.target));
        if (const auto* service = std::get_if<ServiceTarget>(&entry.target)) {
            services_.push_back(service->name);
        } else if (const auto* task = std::get_if<TaskTarget>(&entry.target)) {
            tasks_.push_back(task->path);
        }
    }
}

bool RepairFilter::LeavesOut(const ItemTarget& target) const {
    return !drifted_.contains(ItemIdentity(target));
}

// "Name_*" runs when one of its instances ("Name_1a2b3") no longer holds; the instances that still hold
// are then set again to what they hold.
bool RepairFilter::LeavesOutTemplate(const std::wstring& name) const {
    const std::size_t wildcard = name.find(L"_*");
    if (wildcard == std::wstring::npos) {
        return LeavesOut(ServiceTarget{name});
    }
    const std::wstring prefix = name.substr(0, wildcard + 1);
    return std::none_of(services_.begin(), services_.end(),
                        [&prefix](const std::wstring& service) { return service.starts_with(prefix); });
}

std::wstring RepairFilter::UserHive() const {
    const TargetUser* user = route_.Current();
    return user != nullptr ? user->hive : std::wstring();
}

// Only the update tasks that no longer hold are disabled again, each as a task of its own.
void RepairFilter::DisableEdgeUpdateTasks() {
    for (const std::wstring& path : tasks_) {
        const std::wstring leaf = path.substr(path.find_last_of(L'\\') + 1);
        if (std::any_of(kEdgeUpdateTaskNames.begin(), kEdgeUpdateTaskNames.end(),
                        [&leaf](std::wstring_view name) { return leaf.starts_with(name); })) {
            Inner().DisableScheduledTask(path);
        }
    }
}

} // namespace Velmora
