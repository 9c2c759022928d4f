// The feature table is data that everything a person reads about a change comes from: it must cover
// every item exactly once, in both languages, with valid ids and tags.

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

} // namespace
} // namespace Velmora
