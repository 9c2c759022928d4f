// The feature table is data that everything a person reads about a change comes from: it must cover
// every item exactly once, in both languages, with valid ids and tags.

#include "common/text_encoding.h"
#include "engine/feature_items.h"
#include "settings/local_settings.h"
#include "support/fake_engine.h"
#include "tweaks/feature_catalogue.h"
#include "tweaks/run_controller.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

namespace Velmora {
namespace {

bool HasArabicLetter(std::wstring_view text) {
    for (const wchar_t c : text) {
        if (c >= 0x0621 && c <= 0x064A) {
            return true;
        }
    }
    return false;
}

void ExpectBothLanguages(const BilingualText& text, const std::string& where) {
    EXPECT_FALSE(text.en.empty()) << where << ": no English";
    EXPECT_TRUE(HasArabicLetter(text.ar)) << where << ": no Arabic";
}

TEST(FeatureTable, CoversEveryItemOnceWithValidIdsAndBothLanguages) {
    const RunController controller;
    const FeatureCatalogue catalogue(controller, MakeFeatureTable());
    for (const std::string& problem : catalogue.Problems()) {
        ADD_FAILURE() << problem;
    }

    for (std::size_t category = 0; category < kFeatureCategoryCount; ++category) {
        ExpectBothLanguages(CategoryTitle(static_cast<FeatureCategory>(category)), "a category's title");
    }
    for (std::size_t tag = 0; tag < kAffectsTagCount; ++tag) {
        ExpectBothLanguages(TagTitle(static_cast<AffectsTag>(tag)), "a tag's title");
        EXPECT_EQ(TagFromId(TagId(static_cast<AffectsTag>(tag))), static_cast<AffectsTag>(tag));
    }
    const std::regex idPattern("[a-z0-9]+(-[a-z0-9]+)*");
    std::set<std::string_view> ids;
    for (const FeatureDefinition& feature : catalogue.Features()) {
        const std::string id(feature.id);
        EXPECT_TRUE(std::regex_match(id, idPattern)) << "id " << id;
        EXPECT_TRUE(ids.insert(feature.id).second) << "id " << id << " twice";
        EXPECT_LT(static_cast<std::size_t>(feature.category), kFeatureCategoryCount) << id;
        EXPECT_FALSE(feature.items.empty()) << id << " has no items";
        ExpectBothLanguages(feature.title, id + " title");
        ExpectBothLanguages(feature.description, id + " description");
        std::set<AffectsTag> tags;
        for (const FeatureWarning& warning : feature.affects) {
            ASSERT_LT(static_cast<std::size_t>(warning.tag), kAffectsTagCount) << id;
            EXPECT_TRUE(tags.insert(warning.tag).second) << id << " tags " << TagId(warning.tag) << " twice";
            ExpectBothLanguages(warning.reason, id + " warning " + std::string(TagId(warning.tag)));
        }
    }
}

// Everything a run of any profile touches, as the plan names it (per-user instances, Edge's tasks found at
// run time, the app removal, another user's hive), is shown under one feature.
TEST(FeatureIndex, EveryItemOfEveryProfilesPlanBelongsToAFeature) {
    const RunController controller;
    const FeatureIndex features(controller);
    Testing::FakePcReader pc;
    pc.suffixes = {L"1a2b3"};
    pc.foundTasks = {L"\\MicrosoftEdgeUpdateTaskMachineUA{5D8A}"};
    const auto settings = MakeInMemorySettings();
    TargetUserSet users;
    users.users = {
        CurrentUserTarget(pc.CurrentUserSid()),
        {L"S-1-5-21-9-9-9-1002", L"bob", L"", HiveSource::AlreadyLoaded, L"S-1-5-21-9-9-9-1002", L""}};
    for (SettingsProfile profile = kEssentialProfile; profile <= kMaximumProfile; ++profile) {
        PlanOptions options;
        options.appRemoval = true;
        options.users = &users;
        const ProfilePlan plan = Plan(controller, profile, pc, *settings, options);
        for (const PlanEntry& entry : plan.entries) {
            EXPECT_TRUE(features.FeatureOf(entry.target).has_value()) << ToUtf8(entry.description);
        }
        const auto groups = GroupByFeature(plan, features);
        EXPECT_LT(groups.back().feature, features.Features().size()) << "an entry of no feature";
    }
    const auto feature = [&](const ItemTarget& target) {
        const auto index = features.FeatureOf(target);
        return index ? std::string(features.Features()[*index].id) : std::string();
    };
    EXPECT_EQ(feature(ServiceTarget{L"cbdhsvc_4f2e1"}), feature(ServiceTarget{L"CDPSvc"}))
        << "a per-user instance belongs to its template's feature";
    EXPECT_EQ(feature(ServiceTarget{L"SPOOLER"}), feature(ServiceTarget{L"Spooler"}));
    EXPECT_EQ(feature(ServiceTarget{L"NoSuchService_1"}), "");
}

} // namespace
} // namespace Velmora
