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
    L"{n} of {m} changes in effect",
    L"{k} settings were changed since you applied it",
    L"1 setting was changed since you applied it",
    L"Checking this PC…",
    L"The current state of this PC could not be read.",
    L"Review Changes",
    L"Restore Previous Settings",
    L"Planned changes: {profile}",
    L"Changes for the account {account}",
    L"{total} items: {effect} already in effect, {change} to change, {actions} done on every apply.",
    L"Only what changes",
    L"Export…",
    L"Step",
    L"Item",
    L"Now",
    L"After",
    L"Registry",
    L"Services",
    L"Scheduled tasks",
    L"Power",
    L"Cleanup",
    L"Commands",
    L"Apps",
    L"Velmora settings",
    L"Not set",
    L"Cannot be read",
    L"Present",
    L"Enabled",
    L"Disabled",
    L"Boot",
    L"System",
    L"Automatic",
    L"Automatic (delayed start)",
    L"Manual",
    L"Disabled",
    L"Done on every apply",
    L"Maximum processor state",
    L"Mains {ac} %, battery {dc} %",
    L"Empty the Recycle Bin",
    L"Clean the temporary folders",
    L"Clean the Prefetch folder",
    L"Run PowerShell commands: {details}",
    L"Run commands: {details}",
    L"Remove preinstalled apps",
    L"{step} — {index} of {total}",
    L"Preparing…",
    L"Show Details",
    L"Hide Details",
    L"Open Log Folder",
    L"Done",
    L"Result",
    L"Details",
    L"Changed",
    L"Already in effect",
    L"Failed",
    L"Not reached",
    L"It does not show the expected state afterwards.",
    L"Restore Previous Settings?",
    L"Velmora will put back the settings it recorded before the run of {profile} on {date}. Deleted files, removed apps and what commands did cannot come back.",
    L"Restore",
    L"Restoring Previous Settings...",
    L"Please wait while Velmora puts back the recorded settings.",
    L"Previous Settings Restored",
    L"Some Settings Could Not Be Restored",
    L"Put back: {restored}. Could not be restored: {failed}. Cannot come back: {gone}.",
    L"Nothing was changed. {reason}",
    L"Restored",
    L"Cannot come back",
    L"Left as it is (not recorded)",
    L"A Run Is Under Way",
    L"Velmora is changing the settings of this PC. If you close it now, it stops after the current change and keeps the record of every change made so far, so that they can be restored. Do you want to wait instead?",
    L"Stop and Close",
    L"Wait",
    L"Planned changes",
    L"Details of the result",
    L"Export the Planned Changes",
    L"JSON document",
    L"Registry file",
    L"Saved to {path}",
    L"The file could not be saved: {path}",
    L"{text} (error {code})",
    L"Windows error {code}",
    L"Feature",
    L"This run",
    L"Note",
    L"In effect",
    L"{n} of {m} in effect",
    L"Could not be read",
    L"Sets {n}",
    L"Takes back {n}",
    L"Sets {n}, takes back {k}",
    L"No change",
    L"Runs each time",
    L"⚠ May turn off",
    L"May turn off:",
    L"Items, now and after this run:",
    L"{step} · {item}: {now} → {after}",
    L"Features",
    L"{features} features: {change} change, {effect} are in effect already; {items} items in all.",
    L"Before You Apply",
    L"{profile} will also turn off:",
    L"Review Changes tells you why, feature by feature.",
    L"Other",
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
    // The verb says what ticking the box does, as "Removes" does in English.
    L"إزالة التطبيقات المدمجة (Bloatware) لجعل النظام أنظف وأكثر خصوصية. يمكنك إعادة تثبيت أي تطبيق لاحقاً من "
    L"متجر مايكروسوفت.",
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
    L"التغييرات المطبّقة: {n} من {m}",
    L"عدد الإعدادات التي تغيّرت منذ أن طبّقتها: {k}",
    L"تغيّر إعداد واحد منذ أن طبّقتها",
    L"جارٍ فحص هذا الجهاز…",
    L"تعذّرت قراءة الحالة الحالية لهذا الجهاز.",
    L"مراجعة التغييرات",
    L"استعادة الإعدادات السابقة",
    L"التغييرات المخطّطة: {profile}",
    L"التغييرات لحساب {account}",
    L"العناصر: {total}. مطبّق مسبقًا: {effect}، سيتغيّر: {change}، يُنفَّذ في كل تطبيق: {actions}.",
    L"ما سيتغيّر فقط",
    L"تصدير…",
    L"الخطوة",
    L"العنصر",
    L"الآن",
    L"بعد التطبيق",
    L"السجل",
    L"الخدمات",
    L"المهام المجدولة",
    L"الطاقة",
    L"التنظيف",
    L"الأوامر",
    L"التطبيقات",
    L"إعدادات Velmora",
    L"غير موجود",
    L"تتعذّر قراءته",
    L"موجود",
    L"مفعّلة",
    L"معطّلة",
    L"عند الإقلاع",
    L"النظام",
    L"تلقائي",
    L"تلقائي (بدء مؤجّل)",
    L"يدوي",
    L"معطّل",
    L"يُنفَّذ في كل تطبيق",
    L"الحد الأقصى لحالة المعالج",
    L"بالكهرباء {ac}٪، بالبطارية {dc}٪",
    L"إفراغ سلة المحذوفات",
    L"تنظيف المجلدات المؤقتة",
    L"تنظيف مجلد Prefetch",
    L"تشغيل أوامر PowerShell: {details}",
    L"تشغيل الأوامر: {details}",
    L"إزالة التطبيقات المثبّتة مسبقًا",
    L"{step} — {index} من {total}",
    L"جارٍ التحضير…",
    L"عرض التفاصيل",
    L"إخفاء التفاصيل",
    L"فتح مجلد السجلات",
    L"تم",
    L"النتيجة",
    L"التفاصيل",
    L"تغيّر",
    L"مطبّق مسبقًا",
    L"فشل",
    L"لم يُنفَّذ",
    L"لم تظهر عليه الحالة المتوقعة بعد التغيير.",
    L"استعادة الإعدادات السابقة؟",
    L"سيعيد Velmora الإعدادات التي سجّلها قبل تطبيق {profile} في {date}. لا يمكن استرجاع الملفات المحذوفة ولا التطبيقات المُزالة ولا ما نفّذته الأوامر.",
    L"استعادة",
    L"جارٍ استعادة الإعدادات السابقة...",
    L"الرجاء الانتظار بينما يعيد Velmora الإعدادات المسجّلة.",
    L"تمت استعادة الإعدادات السابقة",
    L"تعذّرت استعادة بعض الإعدادات",
    L"أُعيد: {restored}. تعذّرت استعادته: {failed}. لا يمكن استرجاعه: {gone}.",
    L"لم يتغيّر شيء. {reason}",
    L"استُعيد",
    L"لا يمكن استرجاعه",
    L"تُرك كما هو (لم يُسجَّل)",
    L"عملية قيد التنفيذ",
    L"يغيّر Velmora إعدادات هذا الجهاز الآن. إذا أغلقته الآن فسيتوقف بعد التغيير الجاري ويحتفظ بسجلّ كل التغييرات التي تمت حتى الآن لتمكن استعادتها. هل تريد الانتظار بدلًا من ذلك؟",
    L"إيقاف وإغلاق",
    L"انتظار",
    L"التغييرات المخطّطة",
    L"تفاصيل النتيجة",
    L"تصدير التغييرات المخطّطة",
    L"مستند JSON",
    L"ملف السجل",
    L"حُفظ في {path}",
    L"تعذّر حفظ الملف: {path}",
    L"{text} (الخطأ {code})",
    L"خطأ Windows رقم {code}",
    L"الميزة",
    L"هذا التشغيل",
    L"تنبيه",
    L"مطبّقة",
    L"{n} من {m} مطبّق",
    L"تعذّرت قراءتها",
    L"يضبط {n}",
    L"يتراجع عن {n}",
    L"يضبط {n} ويتراجع عن {k}",
    L"بلا تغيير",
    L"يُنفَّذ في كل مرة",
    L"⚠ قد يوقف",
    L"قد يوقف:",
    L"العناصر، الآن وبعد هذا التشغيل:",
    L"{step} · {item}: {now} ← {after}",
    L"الميزات",
    L"{features} ميزة: {change} ستتغيّر، و{effect} مطبّقة مسبقًا؛ {items} عنصرًا في المجموع.",
    L"قبل التطبيق",
    L"سيوقف {profile} أيضًا:",
    L"تجد السبب في «مراجعة التغييرات»، ميزة ميزة.",
    L"أخرى",
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

std::wstring FillText(std::wstring text, std::wstring_view placeholder, std::wstring_view value) {
    const std::size_t at = text.find(placeholder);
    if (at != std::wstring::npos) {
        text.replace(at, placeholder.size(), value);
    }
    return text;
}

} // namespace Velmora
