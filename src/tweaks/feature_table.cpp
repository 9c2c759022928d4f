// The features of the profiles: every row of the RunController's tables and every built-in item of a
// run, grouped by what a person sees. Rows are named by index (registry tables) or by name (services,
// templates, tasks, packages); the feature test checks that each belongs to exactly one feature.
// A warning (`affects`) is given only where the change, in the direction the profile makes it, can turn
// that thing off; where the claim rests on Microsoft's documentation, the page is cited beside it.

#include "tweaks/features.h"

namespace Velmora {
namespace {

using enum CatalogueTable;
using enum FeatureCategory;
using Tag = AffectsTag;

constexpr TableRows Rows(CatalogueTable table, std::uint16_t first, std::uint16_t last) {
    return {table, first, last};
}
constexpr TableRows Row(CatalogueTable table, std::uint16_t index) {
    return {table, index, index};
}
constexpr NamedRows Service(std::wstring_view name) {
    return {ServiceTable, name};
}
constexpr NamedRows Template(std::wstring_view name) {
    return {PerUserServiceTemplates, name};
}
constexpr NamedRows Task(std::wstring_view path) {
    return {ScheduledTaskPaths, path};
}

} // namespace

std::vector<FeatureDefinition> MakeFeatureTable() {
    return {
        {.id = "advertising-id-off",
         .category = AdsSuggestions,
         .title = {L"Advertising ID off", L"إيقاف معرّف الإعلانات"},
         .description = {L"Apps can no longer use your advertising ID to show you personalised ads. Ads "
                         L"you still see are less tailored to you.",
                         L"لا تستطيع التطبيقات بعد الآن استخدام معرّف الإعلانات لعرض إعلانات مخصصة لك. "
                         L"الإعلانات التي ما زالت تظهر تصبح أقل ارتباطًا باهتماماتك."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 45)}},
        {.id = "telemetry-service-disabled",
         .category = PrivacyDiagnostics,
         .title = {L"Connected User Experiences and Telemetry service disabled",
                   L"تعطيل خدمة تجارب المستخدم المتصلة والقياس عن بُعد"},
         .description =
             {L"The DiagTrack service, which sends diagnostic data to Microsoft, no longer starts.",
              L"لم تعد خدمة DiagTrack، التي ترسل بيانات التشخيص إلى Microsoft، تبدأ العمل."},
         .affects = {},
         .items = {Service(L"DiagTrack"), Row(CommonRegistryTable, 66), Row(CommonRegistryTable, 68)}},
        {.id = "velmora-applied-record",
         .category = Apps,
         .title = {L"Velmora's record of the applied profile", L"سجل Velmora للملف المطبَّق"},
         .description =
             {L"Velmora notes which profile it applied and at which revision, so that it can offer "
              L"an update and step down later.",
              L"يسجّل Velmora الملف الذي طبّقه ومراجعته، ليعرض التحديث لاحقًا ويتيح الرجوع إلى ملف أدنى."},
         .affects = {},
         .items = {BuiltInItem::AppliedProfileRecord},
         .keepable = false},
    };
}

} // namespace Velmora
