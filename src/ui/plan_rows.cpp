#include "ui/plan_rows.h"

#include "engine/feature_items.h"
#include "ui/text/localized_text_table.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace Velmora {
namespace {

constexpr std::array<std::int32_t, kItemStepCount> kStepTexts = {
    TextId::StepRegistry, TextId::StepServices, TextId::StepTasks, TextId::StepPower,
    TextId::StepCleanup,  TextId::StepCommands, TextId::StepApps,  TextId::StepSettings};

std::wstring Hex32(std::uint32_t value) {
    wchar_t text[32];
    std::swprintf(text, 32, L"0x%08x (%u)", static_cast<unsigned>(value), static_cast<unsigned>(value));
    return text;
}

std::wstring BytesText(const std::vector<std::uint8_t>& data) {
    std::wstring text;
    for (std::size_t i = 0; i < data.size() && i < 16; ++i) {
        wchar_t byte[4];
        std::swprintf(byte, 4, L"%02x", static_cast<unsigned>(data[i]));
        text += (i == 0 ? L"" : L" ") + std::wstring(byte);
    }
    return data.size() > 16 ? text + L" …" : text;
}

std::wstring ValueText(const RegistryValueState& value, const LocalizedTextTable& texts) {
    switch (value.presence) {
    case Presence::Absent:
        return texts.LookupText(TextId::StateNotSet);
    case Presence::Unreadable:
        return texts.LookupText(TextId::StateUnreadable);
    case Presence::Present:
        break;
    }
    if (const auto dword = DwordOf(value)) {
        return Hex32(*dword);
    }
    if (auto text = TextOf(value)) {
        std::replace(text->begin(), text->end(), L'\0', L';'); // the strings of a REG_MULTI_SZ
        return L"\"" + *text + L"\"";
    }
    return BytesText(value.data);
}

std::wstring StartTypeText(std::uint32_t start, bool delayed, const LocalizedTextTable& texts) {
    switch (start) {
    case 0:
        return texts.LookupText(TextId::StartBoot);
    case 1:
        return texts.LookupText(TextId::StartSystem);
    case 2:
        return texts.LookupText(delayed ? TextId::StartDelayed : TextId::StartAutomatic);
    case 3:
        return texts.LookupText(TextId::StartManual);
    case 4:
        return texts.LookupText(TextId::StartDisabled);
    default:
        return std::to_wstring(start);
    }
}

std::wstring ServiceText(const ServiceState& service, const LocalizedTextTable& texts) {
    // What the service manager reports; its registry key where the manager does not know the service.
    const bool delayed = service.managerDelayed.value_or(false) || DwordOf(service.delayedAutoStart) == 1u;
    if (service.manager == Presence::Present && service.managerStartType) {
        return StartTypeText(*service.managerStartType, delayed, texts);
    }
    if (const auto start = DwordOf(service.start)) {
        return StartTypeText(*start, delayed, texts);
    }
    const bool absent = service.manager == Presence::Absent &&
                        (service.key == Presence::Absent || service.start.presence == Presence::Absent);
    return texts.LookupText(absent ? TextId::StateNotSet : TextId::StateUnreadable);
}

std::wstring PercentText(const std::optional<std::uint32_t>& value) {
    return value ? std::to_wstring(*value) : L"?";
}

std::wstring Joined(const std::vector<std::wstring>& parts) {
    std::wstring text;
    for (const std::wstring& part : parts) {
        text += (text.empty() ? L"" : L"; ") + part;
    }
    return text;
}

std::wstring ActionText(const ActionTarget& action, const LocalizedTextTable& texts) {
    switch (action.kind) {
    case ActionKind::EmptyRecycleBin:
        return texts.LookupText(TextId::ActionRecycleBin);
    case ActionKind::CleanTempFolders:
        return texts.LookupText(TextId::ActionTempFolders);
    case ActionKind::CleanPrefetchFolder:
        return texts.LookupText(TextId::ActionPrefetch);
    case ActionKind::RunPowerShellCommands:
        return FillText(texts.LookupText(TextId::ActionPowerShell), L"{details}", Joined(action.details));
    case ActionKind::RunCmdCommands:
        return FillText(texts.LookupText(TextId::ActionCommands), L"{details}", Joined(action.details));
    case ActionKind::RemoveApps:
        return texts.LookupText(TextId::ActionRemoveApps);
    }
    return {};
}

std::vector<std::wstring> Row(std::int32_t result, ItemStep step, std::wstring item, std::wstring details,
                              const LocalizedTextTable& texts) {
    return {texts.LookupText(result), StepText(step, texts), std::move(item), std::move(details)};
}

} // namespace

std::vector<const PlanEntry*> GroupedEntries(const ProfilePlan& plan, bool onlyChanges) {
    std::vector<const PlanEntry*> entries;
    for (const PlanEntry& entry : plan.entries) {
        if (!onlyChanges || !entry.inEffect) {
            entries.push_back(&entry);
        }
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const PlanEntry* a, const PlanEntry* b) { return a->step < b->step; });
    return entries;
}

std::wstring StepText(ItemStep step, const LocalizedTextTable& texts) {
    return texts.LookupText(kStepTexts[static_cast<std::size_t>(step)]);
}

std::wstring ItemText(const ItemTarget& target, const LocalizedTextTable& texts) {
    struct Name {
        const LocalizedTextTable& texts;
        std::wstring operator()(const RegistryValueTarget& t) const { return DescribeItem(t); }
        std::wstring operator()(const RegistryKeyTarget& t) const {
            return std::wstring(RootAbbreviation(t.root)) + L"\\" + t.keyPath;
        }
        std::wstring operator()(const ServiceTarget& t) const { return t.name; }
        std::wstring operator()(const TaskTarget& t) const { return FullTaskPath(t.path); }
        std::wstring operator()(const PowerTarget&) const {
            return texts.LookupText(TextId::ProcessorMaximum);
        }
        std::wstring operator()(const SettingTarget& t) const { return t.name; }
        std::wstring operator()(const ActionTarget& t) const { return ActionText(t, texts); }
    };
    return std::visit(Name{texts}, target);
}

std::wstring StateText(const ItemState& state, const LocalizedTextTable& texts) {
    struct Words {
        const LocalizedTextTable& texts;
        std::wstring operator()(const NoState&) const { return texts.LookupText(TextId::DoneOnEveryApply); }
        std::wstring operator()(const RegistryValueState& s) const { return ValueText(s, texts); }
        std::wstring operator()(const RegistryKeyState& s) const {
            return texts.LookupText(s.presence == Presence::Present  ? TextId::StatePresent
                                    : s.presence == Presence::Absent ? TextId::StateNotSet
                                                                     : TextId::StateUnreadable);
        }
        std::wstring operator()(const ServiceState& s) const { return ServiceText(s, texts); }
        std::wstring operator()(const TaskState& s) const {
            if (s.presence != Presence::Present) {
                return texts.LookupText(s.presence == Presence::Absent ? TextId::StateNotSet
                                                                       : TextId::StateUnreadable);
            }
            return texts.LookupText(s.enabled ? TextId::StateEnabled : TextId::StateDisabled);
        }
        std::wstring operator()(const ProcessorMaximumState& s) const {
            if (!s.ac && !s.dc) {
                return texts.LookupText(TextId::StateUnreadable);
            }
            return FillText(FillText(texts.LookupText(TextId::PowerValues), L"{ac}", PercentText(s.ac)),
                            L"{dc}", PercentText(s.dc));
        }
        std::wstring operator()(const SettingState& s) const {
            if (!s) {
                return texts.LookupText(TextId::StateNotSet);
            }
            if (const auto* number = std::get_if<std::int32_t>(&*s)) {
                return std::to_wstring(*number);
            }
            if (const auto* flag = std::get_if<bool>(&*s)) {
                return *flag ? L"true" : L"false";
            }
            return L"\"" + std::get<std::wstring>(*s) + L"\"";
        }
    };
    return std::visit(Words{texts}, state);
}

std::vector<std::wstring> PlanColumns(const LocalizedTextTable& texts) {
    return {texts.LookupText(TextId::ColumnStep), texts.LookupText(TextId::ColumnItem),
            texts.LookupText(TextId::ColumnNow), texts.LookupText(TextId::ColumnAfter)};
}

ListRows PlanRows(const ProfilePlan& plan, bool onlyChanges, const LocalizedTextTable& texts) {
    ListRows rows;
    for (const PlanEntry* entry : GroupedEntries(plan, onlyChanges)) {
        rows.push_back({StepText(entry->step, texts), ItemText(entry->target, texts),
                        entry->isAction ? std::wstring() : StateText(entry->current, texts),
                        StateText(entry->after, texts)});
    }
    return rows;
}

std::vector<std::wstring> ResultColumns(const LocalizedTextTable& texts, bool restore) {
    return {texts.LookupText(TextId::ColumnResult),
            texts.LookupText(restore ? TextId::ColumnStep : TextId::ColumnFeature),
            texts.LookupText(TextId::ColumnItem), texts.LookupText(TextId::ColumnDetails)};
}

ListRows RunResultRows(const RunReport& report, const FeatureIndex& features, const LocalizedTextTable& texts,
                       const ErrorDescriber& describeError,
                       std::vector<std::optional<std::size_t>>* rowFeatures) {
    // Each item once, where it was first reached, with the outcome of its last change.
    std::vector<const RunItemResult*> items;
    std::map<std::wstring, std::size_t> index;
    for (const RunItemResult& item : report.items) {
        const auto [at, added] = index.emplace(ItemIdentity(item.target), items.size());
        if (added) {
            items.push_back(&item);
        } else {
            items[at->second] = &item;
        }
    }
    // By feature within each result, in the order the review shows the features.
    const auto order = [&features](const RunItemResult* item) {
        const std::size_t feature = features.FeatureOf(item->target).value_or(features.Features().size());
        return std::pair{feature < features.Features().size()
                             ? static_cast<int>(features.Features()[feature].category)
                             : static_cast<int>(kFeatureCategoryCount),
                         feature};
    };
    std::stable_sort(items.begin(), items.end(),
                     [&](const RunItemResult* a, const RunItemResult* b) { return order(a) < order(b); });
    const auto featureTitle = [&](const RunItemResult* item) {
        const auto feature = features.FeatureOf(item->target);
        return feature ? std::wstring(features.Features()[*feature].title.In(texts.CurrentTextLanguage()))
                       : texts.LookupText(TextId::NoFeature);
    };
    std::array<ListRows, 4> groups; // failed, changed, in effect, not reached
    std::array<std::vector<std::optional<std::size_t>>, 4> groupFeatures;
    for (const RunItemResult* item : items) {
        const std::wstring name = ItemText(item->target, texts);
        const std::wstring feature = featureTitle(item);
        std::size_t group = 1;
        // What was in effect already stays so even where its write was refused (a value to delete that
        // is not there).
        if (!item->done) {
            group = 3;
            groups[3].push_back({texts.LookupText(TextId::ResultNotReached), feature, name, {}});
        } else if (item->absent || item->inEffectBefore) {
            group = 2;
            groups[2].push_back({texts.LookupText(TextId::ResultInEffect), feature, name, {}});
        } else if (!item->succeeded) {
            group = 0;
            groups[0].push_back(
                {texts.LookupText(TextId::ResultFailed), feature, name,
                 item->error != 0 ? describeError(item->error) : texts.LookupText(TextId::NotAsExpected)});
        } else {
            groups[1].push_back({texts.LookupText(TextId::ResultChanged), feature, name, {}});
        }
        groupFeatures[group].push_back(features.FeatureOf(item->target));
    }
    ListRows rows;
    for (std::size_t group = 0; group < groups.size(); ++group) {
        std::move(groups[group].begin(), groups[group].end(), std::back_inserter(rows));
        if (rowFeatures != nullptr) {
            rowFeatures->insert(rowFeatures->end(), groupFeatures[group].begin(), groupFeatures[group].end());
        }
    }
    return rows;
}

ListRows RestoreResultRows(const RestoreResult& result, const LocalizedTextTable& texts,
                           const ErrorDescriber& describeError) {
    ListRows rows;
    for (const RestoreFailure& failure : result.failed) {
        rows.push_back(
            Row(TextId::ResultFailed, failure.step, failure.description,
                failure.error != 0 ? describeError(failure.error) : texts.LookupText(TextId::NotAsExpected),
                texts));
    }
    const auto plain = [&](std::int32_t group, const std::vector<std::wstring>& items) {
        for (const std::wstring& item : items) {
            rows.push_back({texts.LookupText(group), {}, item, {}});
        }
    };
    plain(TextId::ResultCannotComeBack, result.cannotComeBack);
    plain(TextId::ResultNotRecorded, result.notRecorded);
    plain(TextId::ResultRestored, result.restored);
    plain(TextId::ResultRestored, result.removedKeys);
    return rows;
}

} // namespace Velmora
