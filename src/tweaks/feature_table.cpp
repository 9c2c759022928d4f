// The features of the profiles: every row of the RunController's tables and every built-in item of a
// run, grouped by what a person sees. Rows are named by index (registry tables) or by name (services,
// templates, tasks, packages, and registry values that several tables write); the feature test checks
// that each belongs to exactly one feature.
// A warning (`affects`) is given only where the change, in the direction the profile makes it, can turn
// that thing off; where the claim rests on Microsoft's documentation, the page is cited beside it.
// Services set to start automatically or on demand turn nothing off and carry no warning.

#include "tweaks/features.h"

#include <utility>

namespace Velmora {
namespace {

using enum CatalogueTable;
using enum FeatureCategory;
using Tag = AffectsTag;
using Features = std::vector<FeatureDefinition>;

constexpr TableRows Rows(CatalogueTable table, std::uint16_t first, std::uint16_t last) {
    return {table, first, last};
}
constexpr TableRows Row(CatalogueTable table, std::uint16_t index) {
    return {table, index, index};
}
// A registry value by its spec: every row of the table that writes it, under either root.
constexpr NamedRows Value(CatalogueTable table, std::wstring_view spec) {
    return {table, spec};
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
FeatureWarning Affects(AffectsTag tag, std::wstring_view en, std::wstring_view ar) {
    return {tag, {en, ar}};
}

Features PrivacyAndDiagnostics() {
    return {
        // The Insider page in Settings refuses to enrol a PC that sends only required diagnostic data.
        {.id = "diagnostic-data-minimum",
         .category = PrivacyDiagnostics,
         .title = {L"Diagnostic data kept to the minimum", L"تقليل بيانات التشخيص إلى الحد الأدنى"},
         .description =
             {L"Windows sends Microsoft only the diagnostic data it cannot do without (the required level on "
              L"Home and Pro), and no longer downloads diagnostic settings from Microsoft's OneSettings "
              L"service.",
              L"يرسل Windows إلى Microsoft أقل قدر ممكن من بيانات التشخيص (المستوى المطلوب في إصداري Home "
              L"وPro)، ولم يعد ينزّل إعدادات التشخيص من خدمة OneSettings لدى Microsoft."},
         .affects = {Affects(
             Tag::Insider,
             L"The Windows Insider Program needs optional diagnostic data, so this PC can no longer join it "
             L"or get preview builds.",
             L"يتطلب برنامج Windows Insider بيانات التشخيص الاختيارية، لذا لم يعد بإمكان هذا الجهاز الانضمام "
             L"إليه أو تلقي الإصدارات التجريبية.")},
         .items = {Rows(CommonRegistryTable, 24, 26)}},
        {.id = "telemetry-service-disabled",
         .category = PrivacyDiagnostics,
         .title = {L"Telemetry service (DiagTrack) disabled", L"تعطيل خدمة القياس عن بُعد (DiagTrack)"},
         .description =
             {L"The Connected User Experiences and Telemetry service (DiagTrack), which sends diagnostic "
              L"data to Microsoft, no longer starts, and neither does its trace session.",
              L"لم تعد خدمة تجارب المستخدم المتصلة والقياس عن بُعد (DiagTrack)، التي ترسل بيانات التشخيص إلى "
              L"Microsoft، تبدأ العمل، وكذلك جلسة التتبع التابعة لها."},
         .affects = {},
         .items = {Service(L"DiagTrack"), Rows(CommonRegistryTable, 64, 66), Row(CommonRegistryTable, 68)}},
        {.id = "activity-history-off",
         .category = PrivacyDiagnostics,
         .title = {L"Activity history off", L"إيقاف سجل النشاط"},
         .description =
             {L"Windows no longer collects the history of the apps and files you use or uploads it to your "
              L"Microsoft account; Timeline in Windows 10 stays empty.",
              L"لم يعد Windows يجمع سجل التطبيقات والملفات التي تستخدمها ولا يرفعه إلى حساب Microsoft الخاص "
              L"بك، ويبقى المخطط الزمني (Timeline) في Windows 10 فارغًا."},
         .affects = {},
         .items = {Rows(StandardRegistryTable, 48, 50)}},
        // https://learn.microsoft.com/en-us/windows/win32/wer/wer-settings
        {.id = "error-reporting-off",
         .category = PrivacyDiagnostics,
         .title = {L"Windows Error Reporting off", L"إيقاف الإبلاغ عن الأخطاء في Windows"},
         .description =
             {L"When an app or Windows itself crashes, no problem report is sent to Microsoft and no "
              L"solution is looked up for it.",
              L"عند تعطّل تطبيق أو Windows نفسه لا يُرسَل تقرير بالمشكلة إلى Microsoft ولا يُبحث عن حل لها."},
         .affects = {Affects(
             Tag::DiagnosticsSupport,
             L"Crash reports no longer reach Microsoft or the makers of your apps, and Windows no longer "
             L"offers solutions to known problems.",
             L"لم تعد تقارير الأعطال تصل إلى Microsoft أو إلى مطوري تطبيقاتك، ولم يعد Windows يعرض حلولًا "
             L"للمشكلات المعروفة.")},
         .items = {Row(CommonRegistryTable, 46), Rows(MaximumRegistryTable, 4, 10), Service(L"WerSvc"),
                   Service(L"wercplsupport"),
                   Task(L"Microsoft\\Windows\\Windows Error Reporting\\QueueReporting")}},
        {.id = "feedback-requests-off",
         .category = PrivacyDiagnostics,
         .title = {L"Feedback requests off", L"إيقاف طلبات الملاحظات"},
         .description =
             {L"Windows no longer asks for your feedback in notifications, and its feedback survey tasks no "
              L"longer run.",
              L"لم يعد Windows يطلب ملاحظاتك عبر الإشعارات، ولم تعد مهام استطلاعات الملاحظات الخاصة به "
              L"تعمل."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 42, 43), Task(L"Microsoft\\Windows\\Feedback\\Siuf\\DmClient"),
                   Task(L"Microsoft\\Windows\\Feedback\\Siuf\\DmClientOnScenarioDownload")}},
        {.id = "typing-data-off",
         .category = PrivacyDiagnostics,
         .title = {L"Inking and typing data not sent", L"إيقاف إرسال بيانات الكتابة والحبر"},
         .description =
             {L"Windows no longer sends samples of your handwriting and typing to Microsoft to improve "
              L"recognition and suggestions.",
              L"لم يعد Windows يرسل إلى Microsoft عيّنات من كتابتك بخط اليد وعلى لوحة المفاتيح لتحسين "
              L"التعرّف والاقتراحات."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 110, 111)}},
        // https://learn.microsoft.com/en-us/windows/client-management/mdm/policy-csp-system#allowclipboardhistory
        {.id = "clipboard-history-off",
         .category = PrivacyDiagnostics,
         .title = {L"Clipboard history off", L"إيقاف محفوظات الحافظة"},
         .description =
             {L"Windows no longer keeps a history of what you copy: Win+V shows nothing, and only the last "
              L"item copied can be pasted.",
              L"لم يعد Windows يحتفظ بسجل لما تنسخه: لا يعرض Win+V شيئًا، ولا يمكن لصق إلا آخر عنصر منسوخ."},
         .affects = {Affects(Tag::Clipboard,
                             L"Clipboard history (Win+V), pinned items included, is no longer available.",
                             L"لم تعد محفوظات الحافظة (Win+V)، بما فيها العناصر المثبّتة، متاحة.")},
         .items = {Rows(MaximumRegistryTable, 17, 20), Template(L"cbdhsvc_*")}},
        // https://learn.microsoft.com/en-us/windows/client-management/mdm/policy-csp-privacy#allowcrossdeviceclipboard
        {.id = "cross-device-clipboard-off",
         .category = PrivacyDiagnostics,
         .title = {L"Clipboard sync across devices off", L"إيقاف مزامنة الحافظة بين الأجهزة"},
         .description =
             {L"What you copy is no longer synced through your Microsoft account to your other devices.",
              L"لم يعد ما تنسخه يُزامَن عبر حساب Microsoft مع أجهزتك الأخرى."},
         .affects = {Affects(
             Tag::Clipboard,
             L"Copying on this PC and pasting on another of your devices, or the other way round, no longer "
             L"works.",
             L"لم يعد النسخ على هذا الجهاز واللصق على جهاز آخر من أجهزتك، أو العكس، ممكنًا.")},
         .items = {Rows(MaximumRegistryTable, 21, 22)}},
        {.id = "clipboard-suggested-actions-off",
         .category = PrivacyDiagnostics,
         .title = {L"Suggested actions for copied text off", L"إيقاف الإجراءات المقترحة للنص المنسوخ"},
         .description =
             {L"Copying a date, a time or a phone number no longer brings up suggestions such as creating an "
              L"event or making a call.",
              L"لم يعد نسخ تاريخ أو وقت أو رقم هاتف يعرض اقتراحات مثل إنشاء حدث أو إجراء مكالمة."},
         .affects = {Affects(Tag::Clipboard,
                             L"The suggestions shown when you copy dates and phone numbers are gone.",
                             L"تختفي الاقتراحات التي تظهر عند نسخ التواريخ وأرقام الهواتف.")},
         .items = {Row(CommonRegistryTable, 159)}},
        // https://learn.microsoft.com/en-us/windows/client-management/mdm/policy-csp-defender#submitsamplesconsent
        {.id = "defender-sample-submission-off",
         .category = PrivacyDiagnostics,
         .title = {L"Defender sample submission off", L"إيقاف إرسال العيّنات في Microsoft Defender"},
         .description =
             {L"Microsoft Defender Antivirus no longer sends suspicious files to Microsoft for closer "
              L"analysis.",
              L"لم يعد برنامج Microsoft Defender Antivirus يرسل الملفات المشبوهة إلى Microsoft لتحليلها بدقة "
              L"أكبر."},
         .affects = {Affects(
             Tag::Security,
             L"Defender can no longer have new, unknown threats analysed in the cloud, which can delay their "
             L"detection.",
             L"لم يعد بإمكان Defender إرسال التهديدات الجديدة غير المعروفة لتحليلها في السحابة، مما قد يؤخر "
             L"اكتشافها.")},
         .items = {Row(CommonRegistryTable, 80)}},
        // https://learn.microsoft.com/en-us/troubleshoot/windows-server/performance/memory-dump-file-options
        {.id = "small-crash-dumps",
         .category = PrivacyDiagnostics,
         .title = {L"Small memory dumps after crashes", L"حفظ تفريغ صغير للذاكرة بعد الأعطال"},
         .description =
             {L"After a system crash (a blue screen), Windows saves only a small memory dump instead of a "
              L"larger one, which saves disk space.",
              L"بعد تعطّل النظام (الشاشة الزرقاء) يحفظ Windows تفريغًا صغيرًا للذاكرة بدلًا من تفريغ أكبر، "
              L"مما يوفّر مساحة على القرص."},
         .affects = {Affects(
             Tag::DiagnosticsSupport,
             L"A small dump holds less for finding the cause of a crash; support that asks for a kernel or "
             L"complete memory dump cannot get one.",
             L"يحتوي التفريغ الصغير على معلومات أقل لمعرفة سبب العطل، ولن يتوفر تفريغ للنواة أو تفريغ كامل "
             L"للذاكرة إذا طلبه الدعم الفني.")},
         .items = {Row(CommonRegistryTable, 130)}},
        {.id = "wap-push-service-disabled",
         .category = PrivacyDiagnostics,
         .title = {L"WAP Push message routing service disabled", L"تعطيل خدمة توجيه رسائل WAP Push"},
         .description =
             {L"The Device Management WAP Push message routing service (dmwappushservice), which routes push "
              L"messages received by the device and synchronises device management sessions, no longer "
              L"starts.",
              L"لم تعد خدمة توجيه رسائل WAP Push لإدارة الأجهزة (dmwappushservice)، التي توجّه الرسائل التي "
              L"يتلقاها الجهاز وتزامن جلسات إدارة الأجهزة، تبدأ العمل."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 67), Row(CommonRegistryTable, 69)}},
        {.id = "kms-activation-data-off",
         .category = PrivacyDiagnostics,
         .title = {L"Activation data not sent automatically", L"إيقاف الإرسال التلقائي لبيانات التنشيط"},
         .description =
             {L"Windows no longer sends KMS client activation data to Microsoft for online validation. "
              L"Activation itself is unchanged.",
              L"لم يعد Windows يرسل بيانات تنشيط عميل KMS إلى Microsoft للتحقق منها عبر الإنترنت. لا يتغيّر "
              L"التنشيط نفسه."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 161)}},
    };
}

Features AdsAndSuggestions() {
    return {
        {.id = "advertising-id-off",
         .category = AdsSuggestions,
         .title = {L"Advertising ID off", L"إيقاف معرّف الإعلانات"},
         .description =
             {L"Apps can no longer use your advertising ID to show you personalised ads. Ads you still see "
              L"are less tailored to you.",
              L"لا تستطيع التطبيقات بعد الآن استخدام معرّف الإعلانات لعرض إعلانات مخصصة لك. الإعلانات التي "
              L"ما زالت تظهر تصبح أقل ارتباطًا باهتماماتك."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 45)}},
        {.id = "suggested-apps-off",
         .category = AdsSuggestions,
         .title = {L"Suggested apps no longer installed", L"إيقاف التثبيت التلقائي للتطبيقات المقترحة"},
         .description =
             {L"Windows stops installing promoted apps and games by itself and stops showing promoted "
              L"content delivered from the cloud. Apps already installed stay.",
              L"يتوقف Windows عن تثبيت التطبيقات والألعاب المروَّج لها من تلقاء نفسه وعن عرض المحتوى "
              L"الترويجي الوارد من السحابة. تبقى التطبيقات المثبّتة حاليًا كما هي."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 20, 23), Rows(CommonRegistryTable, 29, 32),
                   Row(StandardRegistryTable, 6), Row(StandardRegistryTable, 67)}},
        {.id = "tailored-experiences-off",
         .category = AdsSuggestions,
         .title = {L"Tailored experiences off", L"إيقاف التجارب المخصّصة"},
         .description =
             {L"Microsoft no longer uses your diagnostic data to show you personalised tips, ads and "
              L"recommendations.",
              L"لم تعد Microsoft تستخدم بيانات التشخيص الخاصة بك لعرض نصائح وإعلانات وتوصيات مخصّصة لك."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 44), Rows(CommonRegistryTable, 72, 73)}},
        {.id = "start-suggestions-off",
         .category = AdsSuggestions,
         .title = {L"App suggestions in Start off", L"إيقاف اقتراحات التطبيقات في قائمة ابدأ"},
         .description = {L"Start no longer shows suggested apps from the Microsoft Store.",
                         L"لم تعد قائمة ابدأ تعرض تطبيقات مقترحة من Microsoft Store."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 33), Row(CommonRegistryTable, 40)}},
        {.id = "windows-tips-off",
         .category = AdsSuggestions,
         .title = {L"Windows tips and tricks off", L"إيقاف تلميحات Windows ونصائحه"},
         .description =
             {L"Windows no longer shows tips, tricks and suggestions as you use it, neither in notifications "
              L"nor in Settings.",
              L"لم يعد Windows يعرض تلميحات ونصائح واقتراحات أثناء استخدامه، لا في الإشعارات ولا في "
              L"الإعدادات."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 34), Rows(CommonRegistryTable, 83, 84),
                   Rows(CommonRegistryTable, 107, 108)}},
        {.id = "settings-suggestions-off",
         .category = AdsSuggestions,
         .title = {L"Suggested content in Settings off", L"إيقاف المحتوى المقترح في الإعدادات"},
         .description = {L"The Settings app no longer shows suggested content and offers.",
                         L"لم يعد تطبيق الإعدادات يعرض محتوى مقترحًا وعروضًا."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 35, 38)}},
        {.id = "setup-reminders-off",
         .category = AdsSuggestions,
         .title = {L"\"Finish setting up\" screens off", L"إيقاف شاشات «إكمال إعداد الجهاز»"},
         .description =
             {L"After updates and at sign-in, Windows no longer shows its welcome experience or asks you to "
              L"finish setting up your device with Microsoft services.",
              L"لم يعد Windows يعرض تجربة الترحيب بعد التحديثات وعند تسجيل الدخول، ولا يطلب منك إكمال إعداد "
              L"جهازك بخدمات Microsoft."},
         .affects = {},
         .items =
             {Row(CommonRegistryTable, 39),
              Value(
                  CommonRegistryTable,
                  L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\UserProfileEngagement:ScoobeSystemSettingEnabled")}},
        {.id = "windows-spotlight-off",
         .category = AdsSuggestions,
         .title = {L"Windows Spotlight off", L"إيقاف Windows Spotlight"},
         .description =
             {L"Windows Spotlight no longer changes the lock screen picture every day or shows its facts and "
              L"offers; the lock screen keeps a picture of your choice.",
              L"لم يعد Windows Spotlight يغيّر صورة شاشة القفل كل يوم ولا يعرض معلوماته وعروضه، وتحتفظ شاشة "
              L"القفل بصورة من اختيارك."},
         .affects = {},
         .items = {Rows(StandardRegistryTable, 32, 33), Rows(StandardRegistryTable, 51, 54)}},
        {.id = "lock-screen-tips-off",
         .category = AdsSuggestions,
         .title = {L"Fun facts and tips on the lock screen off",
                   L"إيقاف المعلومات الطريفة والتلميحات على شاشة القفل"},
         .description = {L"The lock screen no longer shows fun facts, tips and tricks over its picture.",
                         L"لم تعد شاشة القفل تعرض معلومات طريفة وتلميحات فوق صورتها."},
         .affects = {},
         .items = {Row(StandardRegistryTable, 31), Row(StandardRegistryTable, 34),
                   Rows(StandardRegistryTable, 56, 57)}},
        {.id = "explorer-sync-provider-ads-off",
         .category = AdsSuggestions,
         .title = {L"Sync provider ads in File Explorer off",
                   L"إيقاف إعلانات موفّري المزامنة في مستكشف الملفات"},
         .description =
             {L"File Explorer no longer shows notifications that promote OneDrive and other sync providers. "
              L"Syncing itself is unchanged.",
              L"لم يعد مستكشف الملفات يعرض إشعارات تروّج لـ OneDrive وموفّري المزامنة الآخرين. لا تتأثر "
              L"المزامنة نفسها."},
         .affects = {},
         .items = {Row(StandardRegistryTable, 9)}},
        {.id = "account-protection-prompt-off",
         .category = AdsSuggestions,
         .title = {L"Microsoft account prompt in Windows Security off",
                   L"إيقاف تنبيه حساب Microsoft في أمان Windows"},
         .description =
             {L"Windows Security no longer warns that you are not signed in with a Microsoft account.",
              L"لم يعد تطبيق أمان Windows ينبّهك إلى أنك لم تسجّل الدخول بحساب Microsoft."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 85)}},
    };
}

Features SearchFeatures() {
    return {
        // https://learn.microsoft.com/en-us/windows/client-management/mdm/policy-csp-search#donotusewebresults
        {.id = "search-web-results-off",
         .category = Search,
         .title = {L"Web results in Search off", L"إيقاف نتائج الويب في البحث"},
         .description =
             {L"Search in Start and on the taskbar looks only on this PC: it no longer shows Bing web "
              L"results or web suggestions.",
              L"يبحث Windows من قائمة ابدأ وشريط المهام في هذا الجهاز فقط، ولم يعد يعرض نتائج الويب من Bing "
              L"أو اقتراحات الويب."},
         .affects = {Affects(Tag::Search,
                             L"Searching from Start or the taskbar no longer finds anything on the web.",
                             L"لم يعد البحث من قائمة ابدأ أو شريط المهام يجد أي شيء على الويب.")},
         .items = {Row(CommonRegistryTable, 0), Rows(StandardRegistryTable, 4, 5),
                   Rows(StandardRegistryTable, 7, 8)}},
        {.id = "search-highlights-off",
         .category = Search,
         .title = {L"Search highlights off", L"إيقاف «أبرز ما في البحث»"},
         .description =
             {L"The search box and the search home no longer show daily highlights, illustrations and "
              L"trending searches.",
              L"لم يعد مربع البحث وصفحة البحث الرئيسية يعرضان أبرز أحداث اليوم والرسوم وعمليات البحث "
              L"الرائجة."},
         .affects = {},
         .items = {Row(StandardRegistryTable, 3), Rows(StandardRegistryTable, 12, 13)}},
        {.id = "taskbar-search-box-hidden",
         .category = Search,
         .title = {L"Search box hidden from the taskbar", L"إخفاء مربع البحث من شريط المهام"},
         .description =
             {L"The search box or button no longer appears on the taskbar; search from Start or with Win+S.",
              L"لم يعد مربع البحث أو زره يظهر على شريط المهام، ويمكنك البحث من قائمة ابدأ أو بالضغط على "
              L"Win+S."},
         .affects = {},
         .items = {Rows(StandardRegistryTable, 10, 11)}},
        {.id = "windows-search-on-demand",
         .category = Search,
         .title = {L"Windows Search indexer starts on demand", L"تشغيل مفهرس Windows Search عند الحاجة"},
         .description =
             {L"The Windows Search service, which indexes your files for fast searching, is set to start "
              L"when it is needed instead of at start-up.",
              L"تُضبط خدمة Windows Search، التي تفهرس ملفاتك لتسريع البحث، على البدء عند الحاجة إليها بدلًا "
              L"من بدء التشغيل."},
         .affects = {},
         .items = {Service(L"WSearch")}},
        // The policy "Prevent the display of advanced indexing options for Windows Search in the Control
        // Panel": with it, the Advanced Options dialog of Indexing Options cannot be opened.
        {.id = "indexing-options-locked",
         .category = Search,
         .title = {L"Advanced indexing options locked", L"قفل خيارات الفهرسة المتقدمة"},
         .description =
             {L"The Advanced button of Indexing Options no longer opens, so settings such as the indexed "
              L"file types and the index location cannot be changed.",
              L"لم يعد زر «خيارات متقدمة» في خيارات الفهرسة يعمل، فلا يمكن تغيير إعدادات مثل أنواع الملفات "
              L"المفهرسة وموقع الفهرس."},
         .affects = {Affects(
             Tag::Search,
             L"You can no longer change advanced indexing settings, such as which file types are indexed, or "
             L"rebuild the index from there.",
             L"لم يعد بإمكانك تغيير إعدادات الفهرسة المتقدمة، مثل أنواع الملفات المفهرسة، ولا إعادة إنشاء "
             L"الفهرس من هناك.")},
         .items = {Row(CommonRegistryTable, 142)}},
    };
}

} // namespace

// The categories in the order of FeatureCategory; within each, the more noticeable changes come first.
std::vector<FeatureDefinition> MakeFeatureTable() {
    std::vector<FeatureDefinition> table;
    for (Features (*category)() : {PrivacyAndDiagnostics, AdsAndSuggestions, SearchFeatures}) {
        for (FeatureDefinition& feature : category()) {
            table.push_back(std::move(feature));
        }
    }
    return table;
}

} // namespace Velmora
