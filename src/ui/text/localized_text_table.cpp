#include "ui/text/localized_text_table.h"

#include <string_view>

namespace Velmora {
namespace {

// One literal per language, in row order. The texts are kept exactly as shipped, "Delele" included:
// users and the end-to-end tests know the controls by these captions.
constexpr std::array<std::wstring_view, TextId::Count> kEnglishRows{
    L"Welcome",
    L"Please select your preferred language",
    L"Back",
    L"Continue",
    L"Agree",
    L"I have read and agree to the Velmora End-User License Agreement.",
    L"Essential Settings",
    L"Update Available",
    L"Standard Settings",
    L"Maximum Settings",
    L"Update",
    L"Apply",
    L"Fix system issues, disable telemetry, and apply essential settings for smoother performance and "
    L"improved privacy.",
    L"Optimize system performance and privacy with advanced adjustments, cleaner UI, and stable update "
    L"behavior.",
    L"Get a classic, distraction-free Windows experience focused on maximum speed, stability, and privacy.",
    L"Already Applied",
    L"Applying Settings...",
    L"Please wait while we apply the selected configurations. This may take a few moments.",
    L"Settings Applied Successfully!",
    L"A system restart is recommended to apply all changes completely.",
    L"Restart PC Now",
    L"Operation Failed",
    L"An error occurred while applying your settings. You can try again or cancel the operation.",
    L"Try Again",
    L"Cancel",
    L"Removes system bloatware (preinstalled apps) to make your system cleaner and more private. You can "
    L"reinstall any app later from the Microsoft Store.",
    L"If you use any of these apps, we recommend cancelling this process, as it may remove related data. If "
    L"you are sure, proceed with the Confirm button.",
    L"Delele",
    L"Reapply Settings",
    L"Confirm Deletion of Pre-installed Apps",
    L"Velmora Update",
    L"A new version of Velmora is available",
    L"Version {version} is ready to download. You have version {current}.",
    L"This is an important update. Please install it soon.",
    L"Download",
    L"Skip this version",
    L"Later",
    L"Another Velmora Run Is in Progress",
    L"Velmora is already changing the settings of this PC, in another window or from the command line. "
    L"Wait until it has finished, then try again.",
    L"OK",
};

constexpr std::array<std::wstring_view, TextId::Count> kArabicRows{
    L"مرحبًا",
    L"يرجى اختيار لغتك المفضلة",
    L"رجوع",
    L"متابعة",
    L"أوافق",
    L"لقد قرأت ووافقت على اتفاقية استخدام برنامج Velmora (Velmora).",
    L"الإعدادات الأساسية",
    L"تحديث متوفر",
    L"الإعدادات القياسية",
    L"الإعدادات القصوى",
    L"تحديث",
    L"تطبيق",
    L"إصلاح مشكلات النظام، وتعطيل التتبع، وتطبيق الإعدادات الأساسية لأداء أسرع وخصوصية أفضل.",
    L"تحسين الأداء والخصوصية بإعدادات متقدمة وواجهة أنظف وتحديثات أكثر استقرارًا.",
    L"احصل على تجربة ويندوز كلاسيكية خالية من الإضافات، تركز على السرعة والاستقرار والخصوصية القصوى.",
    L"تم التطبيق بالفعل",
    L"جارٍ تطبيق الإعدادات...",
    L"الرجاء الانتظار بينما نقوم بتطبيق الإعدادات المحددة. قد يستغرق ذلك بضع لحظات.",
    L"تم تطبيق الإعدادات بنجاح!",
    L"يُوصى بإعادة تشغيل النظام لتطبيق جميع التغييرات بشكل كامل.",
    L"إعادة تشغيل الجهاز الآن",
    L"فشلت العملية",
    L"حدث خطأ أثناء تطبيق الإعدادات. يمكنك المحاولة مرة أخرى أو إلغاء العملية.",
    L"إعادة المحاولة",
    L"إلغاء",
    L"التطبيقات المدمجة (Bloatware) لجعل النظام أنظف وأكثر خصوصية. يمكنك إعادة تثبيت أي تطبيق لاحقاً من متجر "
    L"مايكروسوفت.",
    L"إذا كنت تستخدم أيًا من هذه التطبيقات، ننصح بإلغاء هذه العملية لأنها قد تحذف البيانات المتعلقة بها. إذا "
    L"كنت متأكدًا، تابع عبر زر التأكيد.",
    L"حذف",
    L"إعادة تطبيق الإعدادات",
    L"تأكيد حذف التطبيقات المثبته مسبقا",
    L"تحديث Velmora",
    L"يتوفر إصدار جديد من Velmora",
    L"الإصدار {version} جاهز للتنزيل. الإصدار المثبت لديك هو {current}.",
    L"هذا تحديث مهم. يرجى تثبيته في أقرب وقت.",
    L"تنزيل",
    L"تخطي هذا الإصدار",
    L"لاحقًا",
    L"عملية أخرى من Velmora قيد التنفيذ",
    L"يقوم Velmora بالفعل بتغيير إعدادات هذا الجهاز في نافذة أخرى أو من سطر الأوامر. انتظر حتى تنتهي، ثم حاول "
    L"مرة أخرى.",
    L"حسنًا",
};

[[nodiscard]] std::size_t TableIndex(std::int32_t language) noexcept {
    return language == kLanguageEnglish ? 1 : 0;
}

} // namespace

void LocalizedTextTable::BuildTextTable(std::int32_t language) {
    const std::size_t index = TableIndex(language);
    if (built[index]) {
        return;
    }
    const auto& rows = index == 1 ? kEnglishRows : kArabicRows;
    tables[index].insert(tables[index].end(), rows.begin(), rows.end());
    built[index] = true;
}

std::wstring LocalizedTextTable::LookupText(std::int32_t row) const {
    const std::vector<std::wstring>& table = tables[TableIndex(currentTextLanguage)];
    if (row < 0 || static_cast<std::size_t>(row) >= table.size()) {
        return std::wstring(kMissingTextRow);
    }
    return table[static_cast<std::size_t>(row)];
}

// Only the value 1 means English. Any other value is kept as Arabic (0) rather than narrowed to a
// byte, where a wide value such as -255 would wrap round to 1.
void LocalizedTextTable::SetCurrentTextLanguage(std::int32_t language) noexcept {
    currentTextLanguage =
        static_cast<std::int8_t>(language == kLanguageEnglish ? kLanguageEnglish : kLanguageArabic);
}

void LocalizedTextTable::SelectLanguage(std::int32_t language) {
    if (language != currentTextLanguage && language < 2) {
        SetCurrentTextLanguage(language);
    }
    BuildTextTable(language);
}

} // namespace Velmora
