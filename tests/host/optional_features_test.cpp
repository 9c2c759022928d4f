// The optional features: set only where included and only on the builds they apply to, and a list that
// others write is merged into, never replaced.

#include "engine/choice_filter.h"
#include "support/fake_engine.h"
#include "system/registry_list.h"
#include "tweaks/run_controller.h"

#include <gtest/gtest.h>

namespace {

using namespace Velmora;

TEST(OptionalFeatures, AreSetOnlyWhereIncludedAndOnTheBuildsTheyApplyTo) {
    const RunController controller;
    const FeatureIndex features(controller);
    Choices choices;
    AddChoices(choices, features, {L"recall-snapshots-off", L"edge-copilot-page-access-off", L"ipv6-off"},
               ChoiceSource::Stored, ChoiceKind::Include);
    AddChoices(choices, features, {L"recall-off"}, ChoiceSource::Stored, ChoiceKind::Keep);
    EXPECT_EQ(choices.IncludedIds(features),
              (std::vector<std::wstring>{L"recall-snapshots-off", L"edge-copilot-page-access-off"}));
    EXPECT_TRUE(choices.Empty()) << "an optional feature is included, never kept";
    EXPECT_EQ(choices.ignored.size(), 2u) << "ipv6-off is in the profiles; recall-off cannot be kept";

    const RunChoices run{features, choices};
    const auto specs = [&](std::optional<std::uint32_t> build, bool edge = true) {
        std::vector<std::wstring> written;
        for (const std::size_t row : IncludedRows(run, {build, edge}).registry) {
            written.push_back(std::to_wstring(controller.optionalRegistryTable[row].root) + L" " +
                              controller.optionalRegistryTable[row].spec);
        }
        return written;
    };
    const std::vector<std::wstring> edge = {
        L"2 SOFTWARE\\Policies\\Microsoft\\Edge:CopilotPageContext",
        L"2 SOFTWARE\\Policies\\Microsoft\\Edge:EdgeEntraCopilotPageContext"};
    std::vector<std::wstring> all = {
        L"2 SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsAI:DisableAIDataAnalysis",
        L"1 SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsAI:DisableAIDataAnalysis"};
    all.insert(all.end(), edge.begin(), edge.end());
    EXPECT_EQ(specs(26100), all);
    EXPECT_EQ(specs(26099), edge) << "one build below Recall's first";
    EXPECT_EQ(specs(std::nullopt), edge)
        << "an unknown build has none of the features that name a first build";
    EXPECT_EQ(specs(26100, false), std::vector<std::wstring>(all.begin(), all.begin() + 2)) << "no Edge";
    EXPECT_EQ(IncludedIdsOn(run, {22631, true}), std::vector<std::wstring>{L"edge-copilot-page-access-off"});

    EXPECT_EQ(BuildNumber(L"26100.3194"), 26100u);
    EXPECT_EQ(BuildNumber(L"18362"), 18362u);
    for (const wchar_t* notABuild : {L"", L".5", L"26100a", L"-1", L"9999999999"}) {
        EXPECT_FALSE(BuildNumber(notABuild)) << notABuild;
    }
}

// The policy's Include locks what it names; a stored Include of a profile's feature is ignored with why.
TEST(OptionalFeatures, ThePolicyIncludesAndLocksAndAStoredIdOfTheWrongKindIsIgnored) {
    const RunController controller;
    const FeatureIndex features(controller);
    Testing::FakePcReader pc;
    const auto multi = [](const std::vector<std::wstring>& ids) {
        return RegistryValueState{Presence::Present, kRegMultiSz, MultiStringBytes(ids), 0};
    };
    pc.SetValue(2, std::wstring(kChoicesPolicyKey), L"Include", multi({L"recall-off"}));
    pc.SetValue(2, std::wstring(kChoicesKey), L"Include",
                multi({L"recall-off", L"notepad-ai-off", L"ipv6-off"}));
    const Choices choices = ReadChoices(pc, features);
    EXPECT_EQ(choices.IncludedIds(features), (std::vector<std::wstring>{L"recall-off", L"notepad-ai-off"}));
    EXPECT_TRUE(choices.IncludeLockedByPolicy(*features.Catalogue().Find("recall-off")));
    EXPECT_FALSE(choices.IncludeLockedByPolicy(*features.Catalogue().Find("notepad-ai-off")));
    ASSERT_EQ(choices.ignored.size(), 1u);
    EXPECT_EQ(choices.ignored[0],
              L"ipv6-off (stored): it is part of the profiles: it can be kept, not included");
}

TEST(OptionalFeatures, AnEntryIsMergedIntoAPageListAndAListOfAnotherFormIsLeftAlone) {
    const std::wstring_view page = L"personalization-textinput-copilot-hardwarekey";
    const std::wstring merged = L"hide:" + std::wstring(page);
    EXPECT_EQ(MergedListValue(AbsentValue(), page), merged);
    EXPECT_EQ(MergedListValue(StringValue(L""), page), merged);
    EXPECT_EQ(MergedListValue(StringValue(L"hide:"), page), merged);
    EXPECT_EQ(MergedListValue(StringValue(L"hide:bluetooth;windowsupdate"), page),
              L"hide:bluetooth;windowsupdate;" + std::wstring(page));
    EXPECT_EQ(MergedListValue(StringValue(L"hide:bluetooth;"), page),
              L"hide:bluetooth;" + std::wstring(page));
    // Held already, in any case: unchanged, so the run writes nothing.
    EXPECT_EQ(MergedListValue(StringValue(L"HIDE:Personalization-TextInput-Copilot-HardwareKey;about"), page),
              L"HIDE:Personalization-TextInput-Copilot-HardwareKey;about");
    EXPECT_EQ(MergedListValue(StringValue(L"showonly:about;bluetooth"), page), L"showonly:about;bluetooth");
    // An administrator shows the page on purpose, or the value is no page list: never replaced.
    EXPECT_FALSE(MergedListValue(StringValue(L"showonly:about;" + std::wstring(page)), page));
    EXPECT_FALSE(MergedListValue(StringValue(L"bluetooth"), page));
    EXPECT_FALSE(MergedListValue(DwordValue(1), page));
    EXPECT_FALSE(MergedListValue(RegistryValueState{Presence::Unreadable, 0, {}, 5}, page));
    EXPECT_FALSE(MergedListValue(AbsentValue(), L"a;b")) << "an entry is one page";
}

} // namespace
