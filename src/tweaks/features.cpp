#include "tweaks/features.h"

#include <array>

namespace Velmora {
namespace {

constexpr std::array<std::string_view, kFeatureCategoryCount> kCategoryIds = {
    "privacy-diagnostics",
    "ads-suggestions",
    "search",
    "start-taskbar-widgets",
    "explorer",
    "edge-browsers",
    "office-programs",
    "gaming",
    "windows-update",
    "services",
    "scheduled-tasks",
    "network",
    "power",
    "cleanup",
    "apps",
    "windows-ai",
};

constexpr std::array<std::string_view, kAffectsTagCount> kTagIds = {
    "printing",        "gaming",        "search",        "store-apps",
    "windows-update",  "bluetooth",     "network",       "camera-microphone",
    "notifications",   "sign-in",       "onedrive-sync", "clipboard",
    "remote-access",   "location-time", "widgets-news",  "insider",
    "developer-tools", "accessibility", "security",      "diagnostics-support",
};

constexpr std::array<std::string_view, kCatalogueTableCount> kTableNames = {
    "serviceTable",         "perUserServiceTemplates",  "baseCmdCommands",       "basePowerShellCommands",
    "commonRegistryTable",  "scheduledTaskPaths",       "standardRegistryTable", "ipv6DisableCommands",
    "maximumRegistryTable", "preinstalledPackageNames", "optionalRegistryTable", "optionalListTable",
};

constexpr std::array<BuiltInItemName, kBuiltInItemCount> kBuiltInNames = {{
    {"cleanup", "recycle-bin"},
    {"cleanup", "temp-folders"},
    {"cleanup", "prefetch-folder"},
    {"power", "processor-maximum"},
    {"services", "svchost-split-threshold"},
    {"services", "memory-adjusted-sysmain"},
    {"services", "memory-adjusted-spooler"},
    {"services", "memory-adjusted-lanmanserver"},
    {"tasks", "edge-update"},
    {"registry", "logon-background-image"},
    {"registry", "legacy-context-menu"},
    {"registry", "transparency"},
    {"registry", "app-offloading"},
    {"apps", "remove-preinstalled"},
    {"velmora", "applied-profile"},
}};

constexpr std::array<BilingualText, kFeatureCategoryCount> kCategoryTitles = {{
    {L"Privacy and diagnostics", L"الخصوصية والتشخيص"},
    {L"Ads and suggestions", L"الإعلانات والاقتراحات"},
    {L"Search", L"البحث"},
    {L"Start, taskbar and widgets", L"قائمة ابدأ وشريط المهام والأدوات المصغّرة"},
    {L"Explorer", L"مستكشف الملفات"},
    {L"Edge and other browsers", L"Edge والمتصفحات الأخرى"},
    {L"Office and other programs", L"Office والبرامج الأخرى"},
    {L"Gaming", L"الألعاب"},
    {L"Windows Update", L"تحديث Windows"},
    {L"Services", L"الخدمات"},
    {L"Scheduled tasks", L"المهام المجدولة"},
    {L"Network", L"الشبكة"},
    {L"Power", L"الطاقة"},
    {L"Cleanup", L"التنظيف"},
    {L"Apps", L"التطبيقات"},
    {L"Windows AI", L"الذكاء الاصطناعي"},
}};

constexpr std::array<BilingualText, kAffectsTagCount> kTagTitles = {{
    {L"Printing", L"الطباعة"},
    {L"Game recording and Xbox features", L"تسجيل الألعاب وميزات Xbox"},
    {L"Windows Search features", L"ميزات البحث في Windows"},
    {L"Store apps", L"تطبيقات المتجر"},
    {L"Automatic Windows updates", L"تحديثات Windows التلقائية"},
    {L"Bluetooth", L"البلوتوث"},
    {L"Network features", L"ميزات الشبكة"},
    {L"Camera and microphone", L"الكاميرا والميكروفون"},
    {L"Notifications", L"الإشعارات"},
    {L"Microsoft account sign-in, Hello and PIN", L"تسجيل الدخول بحساب Microsoft وWindows Hello ورمز PIN"},
    {L"OneDrive sync", L"مزامنة OneDrive"},
    {L"Clipboard history and sync", L"محفوظات الحافظة ومزامنتها"},
    {L"Remote access to this PC", L"الوصول إلى هذا الجهاز عن بُعد"},
    {L"Location and automatic time", L"الموقع والوقت التلقائي"},
    {L"Widgets and news", L"الأدوات المصغّرة والأخبار"},
    {L"Windows Insider Program", L"برنامج Windows Insider"},
    {L"Developer tools", L"أدوات المطورين"},
    {L"Accessibility shortcuts", L"اختصارات تسهيل الاستخدام"},
    {L"Security features", L"ميزات الأمان"},
    {L"Problem reports and support", L"تقارير المشكلات والدعم"},
}};

} // namespace

BilingualText CategoryTitle(FeatureCategory category) {
    return kCategoryTitles.at(static_cast<std::size_t>(category));
}

BilingualText TagTitle(AffectsTag tag) {
    return kTagTitles.at(static_cast<std::size_t>(tag));
}

std::string_view CategoryId(FeatureCategory category) {
    return kCategoryIds.at(static_cast<std::size_t>(category));
}

std::string_view TagId(AffectsTag tag) {
    return kTagIds.at(static_cast<std::size_t>(tag));
}

std::optional<AffectsTag> TagFromId(std::string_view id) {
    for (std::size_t tag = 0; tag < kTagIds.size(); ++tag) {
        if (kTagIds[tag] == id) {
            return static_cast<AffectsTag>(tag);
        }
    }
    return std::nullopt;
}

std::string_view TableName(CatalogueTable table) {
    return kTableNames.at(static_cast<std::size_t>(table));
}

BuiltInItemName BuiltInName(BuiltInItem item) {
    return kBuiltInNames.at(static_cast<std::size_t>(item));
}

} // namespace Velmora
