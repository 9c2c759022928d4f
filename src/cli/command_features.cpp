#include "cli/command_common.h"

#include "cli/arguments.h"
#include "common/text_encoding.h"
#include "engine/choice_filter.h"
#include "engine/engine.h"
#include "engine/feature_items.h"

namespace Velmora::Cli {
namespace {

std::size_t ItemCount(const FeatureCatalogue& catalogue, std::size_t feature) {
    return catalogue.RowsOf(feature).size() + catalogue.BuiltInsOf(feature).size();
}

} // namespace

Answer FeaturesCommand(Session& session) {
    const FeatureCatalogue& catalogue = Features().Catalogue();
    // Whether this Windows has each optional feature.
    const WindowsFacts facts = ReadWindowsFacts(session.platform.Engine().reader);
    Answer answer;
    Json list = Json::array();
    std::optional<FeatureCategory> category;
    for (std::size_t feature = 0; feature < catalogue.Features().size(); ++feature) {
        const FeatureDefinition& definition = catalogue.Features()[feature];
        Json profiles = Json::array();
        std::wstring profileNames;
        for (const SettingsProfile profile : catalogue.ProfilesOf(feature)) {
            profiles.push_back(ProfileJson(profile));
            profileNames += (profileNames.empty() ? L"" : L", ") + ProfileName(profile);
        }
        const bool available = AvailableOn(definition, facts);
        if (definition.optional) {
            profileNames = std::wstring(L"optional, ") +
                           (available ? L"available on this PC" : L"not available on this PC");
        }
        Json tags = Json::array();
        std::wstring tagNames;
        for (const FeatureWarning& warning : definition.affects) {
            tags.push_back({{"tag", TagId(warning.tag)},
                            {"title", U8(TagTitle(warning.tag).en)},
                            {"reason", {{"en", U8(warning.reason.en)}, {"ar", U8(warning.reason.ar)}}}});
            tagNames += (tagNames.empty() ? L"" : L", ") + FromUtf8(TagId(warning.tag));
        }
        const std::size_t items = ItemCount(catalogue, feature);
        list.push_back(
            {{"id", definition.id},
             {"category", CategoryId(definition.category)},
             {"title", {{"en", U8(definition.title.en)}, {"ar", U8(definition.title.ar)}}},
             {"description", {{"en", U8(definition.description.en)}, {"ar", U8(definition.description.ar)}}},
             {"affects", std::move(tags)},
             {"profiles", std::move(profiles)},
             {"items", items},
             {"keepable", definition.keepable}});
        if (definition.optional) {
            list.back()["optional"] = true;
            list.back()["builds"] = {{"minimum", definition.builds.minimum},
                                     {"maximum", definition.builds.maximum}};
            list.back()["available"] = available;
        }
        if (category != definition.category) {
            category = definition.category;
            answer.details += std::wstring(CategoryTitle(definition.category).en) + L"\n";
        }
        answer.details += L"  " + Padded(definition.id, 40) + L" " + std::wstring(definition.title.en) +
                          L" (" + profileNames + L"; " + std::to_wstring(items) + L" items" +
                          (tagNames.empty() ? L"" : L"; may turn off: " + tagNames) + L")\n";
    }
    answer.message =
        std::to_wstring(list.size()) +
        L" features: what each change of the profiles is and what it may turn off. Their ids are "
        L"stable: choices and scripts name features by them.";
    answer.fields["features"] = std::move(list);
    return answer;
}

} // namespace Velmora::Cli
