#include "ui/feature_rows.h"

#include "ui/text/localized_text_table.h"

#include <algorithm>

namespace Velmora {
namespace {

// A planned entry the run deletes: a lower profile taking back what a higher one wrote.
bool TakesBack(const PlanEntry& entry) {
    const auto* value = std::get_if<RegistryValueState>(&entry.after);
    const auto* key = std::get_if<RegistryKeyState>(&entry.after);
    return (value && value->presence == Presence::Absent) || (key && key->presence == Presence::Absent);
}

std::wstring Count(std::size_t count) {
    return std::to_wstring(count);
}

std::wstring_view InLanguage(const BilingualText& text, const LocalizedTextTable& texts) {
    return text.In(texts.CurrentTextLanguage());
}

std::wstring Title(std::size_t feature, const FeatureIndex& features, const LocalizedTextTable& texts) {
    return feature < features.Features().size()
               ? std::wstring(InLanguage(features.Features()[feature].title, texts))
               : texts.LookupText(TextId::NoFeature);
}

std::wstring NowText(const FeatureEntries& group, const LocalizedTextTable& texts) {
    const PlanCounts& counts = group.counts;
    if (counts.changes == 0) {
        return texts.LookupText(TextId::DoneOnEveryApply);
    }
    if (counts.unreadable == counts.changes) {
        return texts.LookupText(TextId::FeatureUnreadable);
    }
    if (counts.inEffect == counts.changes) {
        return texts.LookupText(TextId::FeatureInEffect);
    }
    return FillText(FillText(texts.LookupText(TextId::FeaturePartlyInEffect), L"{n}", Count(counts.inEffect)),
                    L"{m}", Count(counts.changes));
}

std::wstring RunText(const FeatureEntries& group, const LocalizedTextTable& texts) {
    std::size_t sets = 0;
    std::size_t takesBack = 0;
    for (const PlanEntry* entry : group.entries) {
        if (!entry->isAction && !entry->inEffect) {
            (TakesBack(*entry) ? takesBack : sets) += 1;
        }
    }
    if (sets > 0 && takesBack > 0) {
        return FillText(FillText(texts.LookupText(TextId::RunSetsAndTakesBack), L"{n}", Count(sets)), L"{k}",
                        Count(takesBack));
    }
    if (sets > 0) {
        return FillText(texts.LookupText(TextId::RunSets), L"{n}", Count(sets));
    }
    if (takesBack > 0) {
        return FillText(texts.LookupText(TextId::RunTakesBack), L"{n}", Count(takesBack));
    }
    return texts.LookupText(group.counts.actions > 0 ? TextId::RunEveryTime : TextId::RunNoChange);
}

bool IsOptional(std::size_t feature, const FeatureIndex& features) {
    return feature < features.Features().size() && features.Features()[feature].optional;
}

// An optional feature's row: one this Windows lacks has no items and no box.
RowCheck OptionalCheck(const FeatureEntries& group, const Choices& choices) {
    if (group.entries.empty()) {
        return RowCheck::None;
    }
    if (choices.IncludeLockedByPolicy(group.feature)) {
        return RowCheck::LockedChecked;
    }
    return choices.Includes(group.feature) ? RowCheck::Checked : RowCheck::Unchecked;
}

} // namespace

bool RunMakes(const FeatureEntries& group, const FeatureIndex& features, const Choices& choices) {
    return IsOptional(group.feature, features) ? !group.entries.empty() && choices.Includes(group.feature)
                                               : !choices.Keeps(group.feature);
}

FeatureListModel MakeFeatureList(const ProfilePlan& plan, const FeatureIndex& features, bool onlyChanges) {
    FeatureListModel list;
    list.groups = GroupByFeature(plan, features);
    // Every optional feature is a choice to offer, planned or not (one this Windows lacks has no items).
    std::vector<bool> grouped(features.Features().size() + 1, false);
    for (const FeatureEntries& group : list.groups) {
        grouped[group.feature] = true;
    }
    for (std::size_t feature = 0; feature < features.Features().size(); ++feature) {
        if (IsOptional(feature, features) && !grouped[feature]) {
            list.groups.push_back({feature, {}, {}});
        }
    }
    // The table's order is that of its categories; the entries of no feature stay last.
    std::stable_sort(list.groups.begin(), list.groups.end(),
                     [](const FeatureEntries& a, const FeatureEntries& b) { return a.feature < b.feature; });
    std::optional<FeatureCategory> category;
    for (std::size_t i = 0; i < list.groups.size(); ++i) {
        const FeatureEntries& group = list.groups[i];
        if (onlyChanges && !group.Changes() && !IsOptional(group.feature, features)) {
            continue;
        }
        const FeatureCategory its = group.feature < features.Features().size()
                                        ? features.Features()[group.feature].category
                                        : FeatureCategory::Apps;
        if (category != its) {
            category = its;
            list.rows.push_back({true, its, 0});
        }
        list.rows.push_back({false, its, i});
    }
    return list;
}

std::vector<std::wstring> FeatureColumns(const LocalizedTextTable& texts) {
    return {texts.LookupText(TextId::ColumnFeature), texts.LookupText(TextId::ColumnNow),
            texts.LookupText(TextId::ColumnThisRun), texts.LookupText(TextId::ColumnWarning)};
}

std::vector<RowCheck> FeatureRowChecks(const FeatureListModel& list, const FeatureIndex& features,
                                       const Choices& choices) {
    std::vector<RowCheck> checks;
    checks.reserve(list.rows.size());
    for (const FeatureListModel::Row& row : list.rows) {
        const std::size_t feature = row.heading ? features.Features().size() : list.groups[row.group].feature;
        if (feature >= features.Features().size() || !features.Features()[feature].keepable) {
            checks.push_back(RowCheck::None);
        } else if (IsOptional(feature, features)) {
            checks.push_back(OptionalCheck(list.groups[row.group], choices));
        } else if (choices.LockedByPolicy(feature)) {
            checks.push_back(RowCheck::LockedUnchecked);
        } else {
            checks.push_back(choices.Keeps(feature) ? RowCheck::Unchecked : RowCheck::Checked);
        }
    }
    return checks;
}

ListRows FeatureListRows(const FeatureListModel& list, const FeatureIndex& features, SettingsProfile profile,
                         const Choices& choices, const LocalizedTextTable& texts) {
    ListRows rows;
    rows.reserve(list.rows.size());
    for (const FeatureListModel::Row& row : list.rows) {
        if (row.heading) {
            rows.push_back({std::wstring(InLanguage(CategoryTitle(row.category), texts)), {}, {}, {}});
            continue;
        }
        const FeatureEntries& group = list.groups[row.group];
        if (IsOptional(group.feature, features) && !RunMakes(group, features, choices)) {
            const bool available = !group.entries.empty();
            rows.push_back({Title(group.feature, features, texts),
                            available ? NowText(group, texts) : texts.LookupText(TextId::FeatureNotAvailable),
                            available ? texts.LookupText(TextId::RunNotIncluded) : std::wstring(),
                            {}});
            continue;
        }
        const bool kept = choices.Keeps(group.feature);
        rows.push_back({Title(group.feature, features, texts), NowText(group, texts),
                        kept
                            ? texts.LookupText(choices.LockedByPolicy(group.feature) ? TextId::RunKeptByPolicy
                                                                                     : TextId::RunKept)
                            : RunText(group, texts),
                        !kept && WarnsForRun(group, features, profile) ? texts.LookupText(TextId::WarningMark)
                                                                       : std::wstring()});
    }
    return rows;
}

std::wstring FeatureDetailsText(const FeatureEntries& group, const FeatureIndex& features,
                                SettingsProfile profile, const Choices& choices, bool onlyChanges,
                                const LocalizedTextTable& texts) {
    std::wstring text = Title(group.feature, features, texts) + L"\n";
    // What the run leaves as it is shows its state now after it too.
    const bool kept = !RunMakes(group, features, choices);
    if (group.feature < features.Features().size()) {
        const FeatureDefinition& definition = features.Features()[group.feature];
        text += std::wstring(InLanguage(definition.description, texts)) + L"\n";
        if (definition.optional) {
            const std::int32_t note = group.entries.empty()              ? TextId::NotAvailableDetails
                                      : !choices.Includes(group.feature) ? TextId::NotIncludedDetails
                                      : choices.IncludeLockedByPolicy(group.feature)
                                          ? TextId::IncludedByPolicyDetails
                                          : -1;
            if (note >= 0) {
                text += L"\n" + texts.LookupText(note) + L"\n";
            }
        } else if (kept) {
            // Why people keep it: what the change would turn off.
            text += L"\n" +
                    texts.LookupText(choices.LockedByPolicy(group.feature) ? TextId::KeptByPolicyDetails
                                                                           : TextId::KeptDetails) +
                    L"\n";
            if (!definition.affects.empty()) {
                text += texts.LookupText(TextId::KeptReason) + L"\n";
            }
            for (const FeatureWarning& warning : definition.affects) {
                text += L"• " + std::wstring(InLanguage(TagTitle(warning.tag), texts)) + L": " +
                        std::wstring(InLanguage(warning.reason, texts)) + L"\n";
            }
        } else if (WarnsForRun(group, features, profile)) {
            text += L"\n" + texts.LookupText(TextId::MayTurnOff) + L"\n";
            for (const FeatureWarning& warning : definition.affects) {
                text += L"⚠ " + std::wstring(InLanguage(TagTitle(warning.tag), texts)) + L": " +
                        std::wstring(InLanguage(warning.reason, texts)) + L"\n";
            }
        }
    }
    text += L"\n" + texts.LookupText(TextId::FeatureItems) + L"\n";
    for (const PlanEntry* entry : group.entries) {
        if (onlyChanges && entry->inEffect) {
            continue;
        }
        std::wstring line = texts.LookupText(TextId::FeatureItemLine);
        line = FillText(line, L"{step}", StepText(entry->step, texts));
        line = FillText(line, L"{item}", ItemText(entry->target, texts));
        line = FillText(line, L"{now}", entry->isAction ? std::wstring() : StateText(entry->current, texts));
        // A kept feature's items stay as they are now.
        text += L"• " + FillText(line, L"{after}", StateText(kept ? entry->current : entry->after, texts)) +
                L"\n";
    }
    return text;
}

std::wstring TurnedOffText(const std::vector<std::size_t>& warningFeatures, const FeatureIndex& features,
                           const LocalizedTextTable& texts) {
    const std::wstring comma = texts.CurrentTextLanguage() == kLanguageEnglish ? L", " : L"، ";
    std::wstring text;
    for (std::size_t tag = 0; tag < kAffectsTagCount; ++tag) {
        std::wstring titles;
        for (const std::size_t feature : warningFeatures) {
            const auto& affects = features.Features()[feature].affects;
            if (std::any_of(affects.begin(), affects.end(), [&](const FeatureWarning& w) {
                    return static_cast<std::size_t>(w.tag) == tag;
                })) {
                titles += (titles.empty() ? L"" : comma) + Title(feature, features, texts);
            }
        }
        if (!titles.empty()) {
            text += L"• " + std::wstring(InLanguage(TagTitle(static_cast<AffectsTag>(tag)), texts)) + L" (" +
                    titles + L")\n";
        }
    }
    return text;
}

} // namespace Velmora
