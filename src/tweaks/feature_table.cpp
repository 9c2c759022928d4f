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
         .items = {Row(CommonRegistryTable, 46), Row(MaximumRegistryTable, 4),
                   Task(L"Microsoft\\Windows\\Windows Error Reporting\\QueueReporting")}},
        {.id = "error-reporting-consent-off",
         .category = PrivacyDiagnostics,
         .title = {L"Error reports never sent, not even on request",
                   L"عدم إرسال تقارير الأخطاء حتى عند الطلب"},
         .description =
             {L"Windows Error Reporting is also switched off in its own settings, with no consent to send a "
              L"report and no additional data, so no report goes out even where the policy is lifted.",
              L"يُوقَف الإبلاغ عن الأخطاء في Windows في إعداداته الخاصة أيضًا، دون موافقة على إرسال أي تقرير ودون "
              L"بيانات إضافية، فلا يُرسَل أي تقرير حتى إن رُفعت السياسة."},
         .affects = {Affects(
             Tag::DiagnosticsSupport,
             L"Crash reports no longer reach Microsoft or the makers of your apps, and Windows no longer "
             L"offers solutions to known problems.",
             L"لم تعد تقارير الأعطال تصل إلى Microsoft أو إلى مطوري تطبيقاتك، ولم يعد Windows يعرض حلولًا "
             L"للمشكلات المعروفة.")},
         .items = {Rows(MaximumRegistryTable, 5, 10)}},
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
         .items = {Rows(MaximumRegistryTable, 17, 20)}},
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
         .items = {Rows(StandardRegistryTable, 4, 5), Rows(StandardRegistryTable, 7, 8)}},
        {.id = "bing-in-start-search-off",
         .category = Search,
         .title = {L"Bing results in Start search off", L"إيقاف نتائج Bing في بحث قائمة ابدأ"},
         .description =
             {L"Searching from Start no longer sends what you type to Bing or shows its web results "
              L"(Windows 10, and Windows 11 before the search policies of Standard).",
              L"لم يعد البحث من قائمة ابدأ يرسل ما تكتبه إلى Bing أو يعرض نتائج الويب منه (في Windows 10، "
              L"وفي Windows 11 قبل سياسات البحث في الملف القياسي)."},
         .affects = {Affects(Tag::Search, L"Searching from Start no longer finds anything on the web.",
                             L"لم يعد البحث من قائمة ابدأ يجد أي شيء على الويب.")},
         .items = {Row(CommonRegistryTable, 0)}},
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

Features StartTaskbarAndWidgets() {
    return {
        // https://learn.microsoft.com/en-us/windows/client-management/mdm/policy-csp-newsandinterests
        {.id = "widgets-off",
         .category = StartTaskbarWidgets,
         .title = {L"Widgets and news off", L"إيقاف الأدوات المصغّرة والأخبار"},
         .description =
             {L"Widgets (news and interests in Windows 10) are turned off: the weather and news button "
              L"leaves the taskbar and the widgets board no longer opens.",
              L"تُوقَف الأدوات المصغّرة (الأخبار والاهتمامات في Windows 10)، فيختفي زر الطقس والأخبار من "
              L"شريط المهام ولم تعد لوحة الأدوات تُفتح."},
         .affects = {Affects(
             Tag::WidgetsNews,
             L"The widgets board, with the weather, news and other widgets, is no longer available.",
             L"لم تعد لوحة الأدوات المصغّرة، بما فيها الطقس والأخبار والأدوات الأخرى، متاحة.")},
         .items = {Rows(CommonRegistryTable, 163, 165), Row(StandardRegistryTable, 2),
                   Rows(StandardRegistryTable, 35, 39), Rows(StandardRegistryTable, 60, 61),
                   Rows(StandardRegistryTable, 63, 66), Row(StandardRegistryTable, 69)},
         // Essential turns the feeds on; Standard turns them off.
         .warnFrom = 1},
        {.id = "copilot-off",
         .category = StartTaskbarWidgets,
         .title = {L"Copilot in Windows off", L"إيقاف Copilot في Windows"},
         .description =
             {L"The Copilot in Windows sidebar and its taskbar button are turned off, on the versions of "
              L"Windows that include them. A separately installed Copilot app is not affected.",
              L"يُوقَف الشريط الجانبي لـ Copilot في Windows وزره على شريط المهام، في إصدارات Windows التي "
              L"تتضمنهما. لا يتأثر تطبيق Copilot المثبّت بشكل مستقل."},
         .affects = {},
         .items = {Rows(StandardRegistryTable, 25, 26)}},
        {.id = "start-recommendations-off",
         .category = StartTaskbarWidgets,
         .title = {L"Recommendations in Start off", L"إيقاف التوصيات في قائمة ابدأ"},
         .description =
             {L"The Recommended section of Start no longer suggests tips, shortcuts, new apps or websites "
              L"from your browsing history.",
              L"لم يعد قسم «الموصى به» في قائمة ابدأ يقترح تلميحات أو اختصارات أو تطبيقات جديدة أو مواقع من "
              L"سجل التصفح."},
         .affects = {},
         .items = {Rows(StandardRegistryTable, 70, 72)}},
        {.id = "task-view-button-hidden",
         .category = StartTaskbarWidgets,
         .title = {L"Task View button hidden", L"إخفاء زر «طريقة عرض المهام»"},
         .description =
             {L"The Task View button no longer appears on the taskbar; Win+Tab still opens Task View.",
              L"لم يعد زر «طريقة عرض المهام» يظهر على شريط المهام، ولا يزال Win+Tab يفتحها."},
         .affects = {},
         .items = {Row(StandardRegistryTable, 19)}},
        {.id = "taskbar-meet-now-people-hidden",
         .category = StartTaskbarWidgets,
         .title = {L"Meet Now and People hidden from the taskbar",
                   L"إخفاء «الاجتماع الآن» و«الأشخاص» من شريط المهام"},
         .description = {L"The Meet Now and People buttons of the Windows 10 taskbar are removed.",
                         L"يُزال زرّا «الاجتماع الآن» و«الأشخاص» من شريط المهام في Windows 10."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 52), Row(StandardRegistryTable, 1)}},
        // https://learn.microsoft.com/en-us/windows/client-management/mdm/policy-csp-newsandinterests
        {.id = "lock-screen-widgets-off",
         .category = StartTaskbarWidgets,
         .title = {L"Widgets on the lock screen off", L"إيقاف الأدوات المصغّرة على شاشة القفل"},
         .description = {L"The lock screen no longer shows the weather and other widgets.",
                         L"لم تعد شاشة القفل تعرض الطقس والأدوات المصغّرة الأخرى."},
         .affects = {Affects(Tag::WidgetsNews,
                             L"The weather and other widgets no longer appear on the lock screen.",
                             L"لم تعد حالة الطقس والأدوات المصغّرة الأخرى تظهر على شاشة القفل.")},
         .items = {Row(StandardRegistryTable, 59), Row(StandardRegistryTable, 62)}},
        {.id = "copilot-auto-open-off",
         .category = StartTaskbarWidgets,
         .title = {L"Copilot no longer opens at sign-in", L"منع فتح Copilot تلقائيًا عند تسجيل الدخول"},
         .description = {L"On large screens, Copilot no longer opens by itself when you sign in.",
                         L"على الشاشات الكبيرة، لم يعد Copilot يُفتح من تلقاء نفسه عند تسجيل الدخول."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 92)}},
        {.id = "app-launch-tracking-off",
         .category = StartTaskbarWidgets,
         .title = {L"App launch tracking off", L"إيقاف تتبّع تشغيل التطبيقات"},
         .description =
             {L"Windows stops tracking which apps you open, so the most used list of Start and the "
              L"suggestions based on it stay empty.",
              L"يتوقف Windows عن تتبّع التطبيقات التي تفتحها، فتبقى قائمة «الأكثر استخدامًا» في قائمة ابدأ "
              L"والاقتراحات المبنية عليها فارغة."},
         .affects = {},
         .items = {Row(StandardRegistryTable, 0)}},
        {.id = "start-most-used-apps-shown",
         .category = StartTaskbarWidgets,
         .title = {L"Most used apps shown in Start", L"إظهار التطبيقات الأكثر استخدامًا في قائمة ابدأ"},
         .description = {L"Start is set to show the apps you use most.",
                         L"تُضبط قائمة ابدأ على إظهار التطبيقات التي تستخدمها أكثر من غيرها."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 27, 28)}},
        {.id = "recent-files-off",
         .category = StartTaskbarWidgets,
         .title = {L"Recent files in Start and Jump Lists off",
                   L"إيقاف الملفات الأخيرة في قائمة ابدأ وقوائم الانتقال"},
         .description =
             {L"Windows no longer lists recently opened files in Start, in Jump Lists or in File Explorer.",
              L"لم يعد Windows يعرض الملفات المفتوحة مؤخرًا في قائمة ابدأ ولا في قوائم الانتقال ولا في "
              L"مستكشف الملفات."},
         .affects = {},
         .items = {Row(MaximumRegistryTable, 38)}},
        {.id = "start-account-notifications-off",
         .category = StartTaskbarWidgets,
         .title = {L"Account notifications in Start off", L"إيقاف إشعارات الحساب في قائمة ابدأ"},
         .description =
             {L"Start no longer shows notifications about your Microsoft account, such as reminders to back "
              L"up or to finish setting it up.",
              L"لم تعد قائمة ابدأ تعرض إشعارات تتعلق بحساب Microsoft، مثل التذكير بالنسخ الاحتياطي أو بإكمال "
              L"إعداد الحساب."},
         .affects = {},
         .items = {Row(MaximumRegistryTable, 39)}},
        {.id = "taskbar-end-task-on",
         .category = StartTaskbarWidgets,
         .title = {L"End task in the taskbar menu", L"إضافة «إنهاء المهمة» إلى قائمة شريط المهام"},
         .description =
             {L"Right-clicking an app on the taskbar offers End task, which closes an app that has stopped "
              L"responding.",
              L"عند النقر بزر الماوس الأيمن على تطبيق في شريط المهام يظهر أمر «إنهاء المهمة» الذي يغلق "
              L"التطبيق المتوقف عن الاستجابة."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 127)}},
        {.id = "taskbar-flashing-off",
         .category = StartTaskbarWidgets,
         .title = {L"Flashing taskbar buttons off", L"إيقاف وميض أزرار شريط المهام"},
         .description = {L"Taskbar buttons no longer flash when an app wants your attention.",
                         L"لم تعد أزرار شريط المهام تومض عندما يحتاج تطبيق إلى انتباهك."},
         .affects = {Affects(
             Tag::Notifications,
             L"An app that needs you, for a new chat message or a finished download, no longer flashes its "
             L"taskbar button.",
             L"لم يعد التطبيق الذي يحتاج إليك، عند وصول رسالة دردشة أو اكتمال تنزيل، يجعل زره يومض على شريط "
             L"المهام.")},
         .items = {Row(CommonRegistryTable, 158)}},
        {.id = "store-taskbar-pin-off",
         .category = StartTaskbarWidgets,
         .title = {L"Microsoft Store unpinned from the taskbar",
                   L"إلغاء تثبيت Microsoft Store من شريط المهام"},
         .description =
             {L"The Microsoft Store is removed from the taskbar and cannot be pinned there again; it still "
              L"opens from Start.",
              L"يُزال Microsoft Store من شريط المهام ولا يمكن تثبيته عليه مجددًا، ويظل فتحه ممكنًا من قائمة "
              L"ابدأ."},
         .affects = {},
         .items = {Rows(StandardRegistryTable, 14, 15)}},
    };
}

Features ExplorerAndDesktop() {
    return {
        {.id = "classic-context-menu-on",
         .category = Explorer,
         .title = {L"Classic right-click menu", L"القائمة الكلاسيكية عند النقر بزر الماوس الأيمن"},
         .description =
             {L"Right-clicking in File Explorer and on the desktop opens the full classic menu at once, "
              L"without \"Show more options\".",
              L"يفتح النقر بزر الماوس الأيمن في مستكشف الملفات وعلى سطح المكتب القائمة الكلاسيكية الكاملة "
              L"مباشرةً، دون «إظهار المزيد من الخيارات»."},
         .affects = {},
         .items = {BuiltInItem::LegacyContextMenu, Rows(MaximumRegistryTable, 23, 26)}},
        {.id = "file-extensions-shown",
         .category = Explorer,
         .title = {L"File name extensions shown", L"إظهار امتدادات أسماء الملفات"},
         .description = {L"File Explorer shows extensions such as .exe and .pdf at the end of file names.",
                         L"يعرض مستكشف الملفات الامتدادات مثل exe وpdf في نهاية أسماء الملفات."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 150)}},
        {.id = "explorer-opens-this-pc",
         .category = Explorer,
         .title = {L"File Explorer opens on This PC", L"فتح مستكشف الملفات على «هذا الكمبيوتر»"},
         .description =
             {L"File Explorer opens on This PC, with your drives, instead of Home or Quick access.",
              L"يُفتح مستكشف الملفات على «هذا الكمبيوتر» حيث تظهر محركات الأقراص، بدلًا من «الصفحة الرئيسية» "
              L"أو «الوصول السريع»."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 53), Row(StandardRegistryTable, 42)}},
        {.id = "explorer-home-gallery-hidden",
         .category = Explorer,
         .title = {L"Home and Gallery hidden in File Explorer",
                   L"إخفاء «الصفحة الرئيسية» و«المعرض» في مستكشف الملفات"},
         .description = {L"Home and Gallery no longer appear in the navigation pane of File Explorer.",
                         L"لم تعد «الصفحة الرئيسية» و«المعرض» تظهران في جزء التنقل في مستكشف الملفات."},
         .affects = {},
         .items = {Rows(StandardRegistryTable, 40, 41)}},
        {.id = "desktop-icons-shown",
         .category = Explorer,
         .title = {L"This PC and other icons on the desktop",
                   L"إظهار «هذا الكمبيوتر» والرموز الأخرى على سطح المكتب"},
         .description = {L"The desktop shows the This PC, user's files, Network and Control Panel icons.",
                         L"يعرض سطح المكتب رموز «هذا الكمبيوتر» و«ملفات المستخدم» و«الشبكة» و«لوحة التحكم»."},
         .affects = {},
         .items = {Rows(StandardRegistryTable, 27, 30)}},
        {.id = "transparency-effects-off",
         .category = Explorer,
         .title = {L"Transparency effects off", L"إيقاف تأثيرات الشفافية"},
         .description = {L"Windows, Start and the taskbar use solid colours instead of see-through effects.",
                         L"تستخدم النوافذ وقائمة ابدأ وشريط المهام ألوانًا مصمتة بدلًا من تأثيرات الشفافية."},
         .affects = {},
         .items = {BuiltInItem::Transparency}},
        {.id = "snap-windows-off",
         .category = Explorer,
         .title = {L"Snap windows off", L"إيقاف محاذاة النوافذ"},
         .description =
             {L"Dragging a window to an edge of the screen no longer snaps it to half or a quarter of the "
              L"screen, and snap layouts no longer appear.",
              L"لم يعد سحب نافذة إلى حافة الشاشة يحاذيها إلى نصف الشاشة أو ربعها، ولم تعد تخطيطات المحاذاة "
              L"تظهر."},
         .affects = {},
         .items = {Rows(MaximumRegistryTable, 31, 32)}},
        {.id = "title-bar-shake-off",
         .category = Explorer,
         .title = {L"Shake to minimise off", L"إيقاف الهز لتصغير النوافذ"},
         .description = {L"Shaking a window by its title bar no longer minimises all the other windows.",
                         L"لم يعد هز نافذة من شريط عنوانها يصغّر جميع النوافذ الأخرى."},
         .affects = {},
         .items = {Row(MaximumRegistryTable, 3)}},
        {.id = "file-copy-details-shown",
         .category = Explorer,
         .title = {L"Detailed copy progress", L"إظهار تفاصيل تقدّم النسخ"},
         .description =
             {L"The copy and move dialog always opens with its details: the speed and the items left.",
              L"تُفتح نافذة النسخ والنقل دائمًا مع تفاصيلها: السرعة والعناصر المتبقية."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 51)}},
        {.id = "open-with-store-off",
         .category = Explorer,
         .title = {L"\"Look for an app in the Store\" off", L"إيقاف «البحث عن تطبيق في Microsoft Store»"},
         .description =
             {L"When no app can open a file, Windows no longer offers to look for one in the Microsoft "
              L"Store.",
              L"عندما لا يوجد تطبيق يفتح ملفًا ما، لم يعد Windows يعرض البحث عن تطبيق في Microsoft Store."},
         .affects = {},
         .items = {Rows(StandardRegistryTable, 16, 17)}},
        {.id = "menu-delays-shortened",
         .category = Explorer,
         .title = {L"Menus and hover without delay", L"فتح القوائم والتمرير دون تأخير"},
         .description =
             {L"Submenus open, and hover effects react, almost at once instead of after a short pause.",
              L"تُفتح القوائم الفرعية وتستجيب تأثيرات التمرير فورًا تقريبًا بدلًا من الانتظار لحظة قصيرة."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 59, 60)}},
        {.id = "sign-in-background-shown",
         .category = Explorer,
         .title = {L"Picture on the sign-in screen", L"إظهار الصورة على شاشة تسجيل الدخول"},
         .description = {L"The sign-in screen shows the lock screen picture instead of a plain colour.",
                         L"تعرض شاشة تسجيل الدخول صورة شاشة القفل بدلًا من لون ثابت."},
         .affects = {},
         .items = {BuiltInItem::LogonBackgroundImage, Row(CommonRegistryTable, 162)}},
        {.id = "lock-screen-slideshow-off",
         .category = Explorer,
         .title = {L"Lock screen slideshow off", L"إيقاف عرض الشرائح على شاشة القفل"},
         .description = {L"The lock screen no longer plays a slideshow of your pictures.",
                         L"لم تعد شاشة القفل تعرض صورك في عرض شرائح."},
         .affects = {},
         .items = {Row(StandardRegistryTable, 68)}},
        {.id = "first-sign-in-animation-off",
         .category = Explorer,
         .title = {L"First sign-in animation off", L"إيقاف الرسوم المتحركة لأول تسجيل دخول"},
         .description =
             {L"The first sign-in of a new account no longer plays the welcome animation while the account "
              L"is prepared.",
              L"لم يعد أول تسجيل دخول لحساب جديد يعرض رسوم الترحيب المتحركة أثناء تجهيز الحساب."},
         .affects = {},
         .items = {Row(MaximumRegistryTable, 0)}},
        {.id = "num-lock-on-at-start-up",
         .category = Explorer,
         .title = {L"Num Lock on at start-up", L"تشغيل Num Lock عند بدء التشغيل"},
         .description = {L"Num Lock is on when Windows starts, on the sign-in screen too.",
                         L"يكون Num Lock مفعّلًا عند بدء تشغيل Windows، وعلى شاشة تسجيل الدخول أيضًا."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 128, 129)}},
        // The flags leave out SKF_HOTKEYACTIVE, FKF_HOTKEYACTIVE and TKF_HOTKEYACTIVE:
        // https://learn.microsoft.com/en-us/windows/win32/api/winuser/ns-winuser-stickykeys
        {.id = "accessibility-shortcuts-off",
         .category = Explorer,
         .title = {L"Sticky, Filter and Toggle Keys shortcuts off",
                   L"إيقاف اختصارات الأزرار الثابتة والتصفية والتبديل"},
         .description =
             {L"Pressing Shift five times, or holding right Shift or Num Lock down, no longer turns Sticky "
              L"Keys, Filter Keys or Toggle Keys on. They can still be turned on in Settings.",
              L"لم يعد الضغط على Shift خمس مرات، أو الضغط مطولًا على Shift الأيمن أو Num Lock، يشغّل الأزرار "
              L"الثابتة أو أزرار التصفية أو أزرار التبديل. ويظل تشغيلها ممكنًا من الإعدادات."},
         .affects = {Affects(
             Tag::Accessibility,
             L"Anyone who turns Sticky, Filter or Toggle Keys on with the keyboard must now do it in "
             L"Settings.",
             L"على من يشغّل الأزرار الثابتة أو أزرار التصفية أو أزرار التبديل من لوحة المفاتيح أن يفعل ذلك "
             L"الآن من الإعدادات.")},
         .items = {Rows(MaximumRegistryTable, 27, 29)}},
        {.id = "long-paths-on",
         .category = Explorer,
         .title = {L"Long file paths allowed", L"السماح بمسارات الملفات الطويلة"},
         .description = {L"Apps that support it can use file paths longer than 260 characters.",
                         L"يمكن للتطبيقات التي تدعم ذلك استخدام مسارات ملفات أطول من 260 حرفًا."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 54)}},
        {.id = "last-access-time-off",
         .category = Explorer,
         .title = {L"Last access time of files not recorded", L"عدم تسجيل وقت آخر وصول إلى الملفات"},
         .description =
             {L"NTFS no longer records when each file was last opened, which saves disk writes; tools that "
              L"sort or clean up files by their last access see older dates.",
              L"لم يعد نظام NTFS يسجّل وقت آخر فتح لكل ملف، مما يقلل الكتابة على القرص، وترى الأدوات التي "
              L"ترتّب الملفات أو تنظّفها حسب آخر وصول تواريخ أقدم."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 140)}},
        {.id = "auto-end-tasks-on",
         .category = Explorer,
         .title = {L"Hung apps closed at shutdown", L"إغلاق التطبيقات المتوقفة عند إيقاف التشغيل"},
         .description =
             {L"At shutdown or sign-out, apps that do not respond are closed without asking, and their "
              L"unsaved work is lost.",
              L"عند إيقاف التشغيل أو تسجيل الخروج تُغلق التطبيقات التي لا تستجيب دون سؤالك، ويضيع ما لم "
              L"يُحفظ فيها."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 61)}},
    };
}

Features EdgeAndBrowsers() {
    return {
        // "If you want to disable all auto-update checks, set the value to 0":
        // https://learn.microsoft.com/en-us/deployedge/microsoft-edge-update-policies#autoupdatecheckperiodminutes
        {.id = "edge-automatic-updates-off",
         .category = EdgeBrowsers,
         .title = {L"Edge automatic updates off", L"إيقاف التحديثات التلقائية لـ Edge"},
         .description =
             {L"Microsoft Edge no longer checks for updates by itself: its update tasks are disabled and its "
              L"update services start only on demand. Edge updates when you check on its About page.",
              L"لم يعد Microsoft Edge يبحث عن التحديثات من تلقاء نفسه: تُعطَّل مهام التحديث الخاصة به ولا "
              L"تبدأ خدمات تحديثه إلا عند الحاجة. ويُحدَّث Edge عندما تبحث عن التحديثات في صفحة «حول "
              L"Microsoft Edge»."},
         .affects = {Affects(
             Tag::Security,
             L"Edge no longer installs its security fixes on its own; they arrive only when you update it "
             L"yourself.",
             L"لم يعد Edge يثبّت إصلاحات الأمان من تلقاء نفسه، بل تصل فقط عندما تحدّثه بنفسك.")},
         .items = {Row(CommonRegistryTable, 2), BuiltInItem::EdgeUpdateTasks, Service(L"edgeupdate"),
                   Service(L"edgeupdatem")}},
        // https://learn.microsoft.com/en-us/deployedge/microsoft-edge-policies/webwidgetallowed
        {.id = "edge-bar-off",
         .category = EdgeBrowsers,
         .title = {L"Edge bar off", L"إيقاف شريط Edge"},
         .description =
             {L"The Edge bar, a floating panel with web search and news, is turned off and no longer opens "
              L"at start-up.",
              L"يُوقَف شريط Edge، وهو لوحة عائمة للبحث على الويب والأخبار، ولم يعد يُفتح عند بدء التشغيل."},
         .affects = {Affects(Tag::WidgetsNews,
                             L"The Edge bar, with its news feed and web search, is no longer available.",
                             L"لم يعد شريط Edge، بما فيه موجز الأخبار والبحث على الويب، متاحًا.")},
         .items = {Row(StandardRegistryTable, 18), Row(StandardRegistryTable, 58)}},
        {.id = "edge-startup-boost-off",
         .category = EdgeBrowsers,
         .title = {L"Edge startup boost off", L"إيقاف تسريع بدء تشغيل Edge"},
         .description =
             {L"Edge no longer starts in the background when you sign in to Windows, so it may take a moment "
              L"longer to open.",
              L"لم يعد Edge يبدأ في الخلفية عند تسجيل الدخول إلى Windows، لذا قد يستغرق فتحه وقتًا أطول "
              L"قليلًا."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 91), Rows(CommonRegistryTable, 135, 136)}},
        // https://learn.microsoft.com/en-us/deployedge/microsoft-edge-policies/backgroundmodeenabled
        {.id = "edge-background-mode-off",
         .category = EdgeBrowsers,
         .title = {L"Edge no longer runs in the background", L"إيقاف عمل Edge في الخلفية"},
         .description =
             {L"Closing the last Edge window ends Edge: its extensions and web apps no longer keep running "
              L"in the background.",
              L"يؤدي إغلاق آخر نافذة لـ Edge إلى إنهائه، فلا تستمر إضافاته وتطبيقات الويب في العمل في "
              L"الخلفية."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 13)}},
        {.id = "edge-shopping-off",
         .category = EdgeBrowsers,
         .title = {L"Shopping in Edge off", L"إيقاف ميزات التسوق في Edge"},
         .description =
             {L"Edge no longer shows price comparisons, coupons and cashback offers while you shop.",
              L"لم يعد Edge يعرض مقارنات الأسعار والقسائم وعروض استرداد النقود أثناء التسوق."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 12)}},
        {.id = "edge-rewards-wallet-off",
         .category = EdgeBrowsers,
         .title = {L"Rewards and wallet extras in Edge off",
                   L"إيقاف Microsoft Rewards وميزات المحفظة في Edge"},
         .description =
             {L"Edge no longer shows Microsoft Rewards, its crypto wallet or donation offers in its wallet.",
              L"لم يعد Edge يعرض Microsoft Rewards ولا محفظة العملات المشفّرة ولا عروض التبرع في محفظته."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 15), Rows(CommonRegistryTable, 18, 19)}},
        {.id = "edge-collections-off",
         .category = EdgeBrowsers,
         .title = {L"Collections in Edge off", L"إيقاف المجموعات في Edge"},
         .description =
             {L"The Collections feature of Edge is turned off, and saved collections are no longer shown.",
              L"تُوقَف ميزة المجموعات (Collections) في Edge، ولم تعد المجموعات المحفوظة تظهر."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 10)}},
        {.id = "edge-follow-off",
         .category = EdgeBrowsers,
         .title = {L"Following creators in Edge off", L"إيقاف متابعة صنّاع المحتوى في Edge"},
         .description =
             {L"Edge no longer offers to follow websites and creators, and no longer shows their updates.",
              L"لم يعد Edge يعرض متابعة المواقع وصنّاع المحتوى، ولم يعد يعرض تحديثاتهم."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 11)}},
        {.id = "edge-recommendations-off",
         .category = EdgeBrowsers,
         .title = {L"Edge recommendations and promotions off", L"إيقاف توصيات Edge وعروضه الترويجية"},
         .description =
             {L"Edge no longer shows recommendations and promotional notifications, and no longer invites "
              L"you to try its preview versions.",
              L"لم يعد Edge يعرض التوصيات والإشعارات الترويجية، ولم يعد يدعوك إلى تجربة إصداراته التجريبية."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 5), Row(CommonRegistryTable, 14),
                   Row(StandardRegistryTable, 55)}},
        {.id = "edge-first-run-off",
         .category = EdgeBrowsers,
         .title = {L"Edge set-up screens and desktop shortcut off",
                   L"إيقاف شاشات إعداد Edge واختصار سطح المكتب"},
         .description =
             {L"Edge opens without its first-run set-up screens, and its updates no longer put a shortcut on "
              L"the desktop.",
              L"يُفتح Edge دون شاشات الإعداد عند التشغيل الأول، ولم تعد تحديثاته تضيف اختصارًا إلى سطح "
              L"المكتب."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 1), Row(CommonRegistryTable, 6), Row(CommonRegistryTable, 126)}},
        {.id = "edge-diagnostic-data-off",
         .category = EdgeBrowsers,
         .title = {L"Edge diagnostic data off", L"إيقاف بيانات التشخيص في Edge"},
         .description =
             {L"Edge no longer sends Microsoft diagnostic data about how the browser is used and how it "
              L"performs.",
              L"لم يعد Edge يرسل إلى Microsoft بيانات تشخيصية عن استخدام المتصفح وأدائه."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 16), Row(CommonRegistryTable, 63),
                   Row(CommonRegistryTable, 109)}},
        // https://learn.microsoft.com/en-us/deployedge/microsoft-edge-policies/userfeedbackallowed
        {.id = "edge-feedback-off",
         .category = EdgeBrowsers,
         .title = {L"Feedback in Edge off", L"إيقاف الملاحظات في Edge"},
         .description = {L"The Send feedback command (Alt+Shift+I) is removed from Edge.",
                         L"يُزال أمر «إرسال ملاحظات» (Alt+Shift+I) من Edge."},
         .affects = {Affects(Tag::DiagnosticsSupport,
                             L"You can no longer report a problem with Edge to Microsoft from the browser.",
                             L"لم يعد بإمكانك إبلاغ Microsoft بمشكلة في Edge من داخل المتصفح.")},
         .items = {Row(CommonRegistryTable, 7)}},
        {.id = "edge-personalization-data-off",
         .category = EdgeBrowsers,
         .title = {L"Edge personalisation data off, Do Not Track on",
                   L"إيقاف بيانات التخصيص وتفعيل «عدم التعقب» في Edge"},
         .description =
             {L"Edge no longer sends your browsing history to Microsoft to personalise ads, news and "
              L"services, and asks websites not to track you.",
              L"لم يعد Edge يرسل سجل تصفحك إلى Microsoft لتخصيص الإعلانات والأخبار والخدمات، ويطلب من "
              L"المواقع عدم تعقبك."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 4), Row(CommonRegistryTable, 8)}},
        {.id = "edge-image-enhancement-off",
         .category = EdgeBrowsers,
         .title = {L"Image enhancement in Edge off", L"إيقاف تحسين الصور في Edge"},
         .description =
             {L"Edge no longer sends the images of web pages to Microsoft to sharpen and improve them.",
              L"لم يعد Edge يرسل صور صفحات الويب إلى Microsoft لتحسينها وزيادة وضوحها."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 3)}},
        {.id = "edge-error-page-suggestions-off",
         .category = EdgeBrowsers,
         .title = {L"Suggestions on Edge error pages off", L"إيقاف الاقتراحات في صفحات الخطأ في Edge"},
         .description =
             {L"When a page cannot be found, Edge no longer asks a Microsoft web service for similar pages.",
              L"عندما يتعذر العثور على صفحة، لم يعد Edge يستعين بخدمة ويب من Microsoft لاقتراح صفحات "
              L"مشابهة."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 9)}},
        {.id = "edge-asset-delivery-off",
         .category = EdgeBrowsers,
         .title = {L"Edge asset downloads off", L"إيقاف تنزيل موارد Edge"},
         .description =
             {L"Edge features can no longer download the extra content they use from Microsoft's Asset "
              L"Delivery Service, and some of those features may not work.",
              L"لم يعد بإمكان ميزات Edge تنزيل المحتوى الإضافي الذي تستخدمه من خدمة تسليم الموارد لدى "
              L"Microsoft، وقد لا تعمل بعض هذه الميزات."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 17)}},
        {.id = "edge-network-prediction-off",
         .category = EdgeBrowsers,
         .title = {L"Page preloading in Edge off", L"إيقاف التحميل المسبق للصفحات في Edge"},
         .description =
             {L"Edge no longer guesses which pages you will open next and loads them ahead of time, so pages "
              L"may open a little slower.",
              L"لم يعد Edge يتوقع الصفحات التي ستفتحها ويحمّلها مسبقًا، لذا قد تُفتح الصفحات أبطأ قليلًا."},
         .affects = {},
         .items = {Rows(MaximumRegistryTable, 1, 2)}},
        {.id = "legacy-edge-preload-off",
         .category = EdgeBrowsers,
         .title = {L"Legacy Edge preloading and data collection off",
                   L"إيقاف التحميل المسبق وجمع البيانات في Edge القديم"},
         .description =
             {L"The old Microsoft Edge of Windows 10 no longer preloads at start-up, no longer collects Live "
              L"Tile data and no longer shows search suggestions.",
              L"لم يعد إصدار Microsoft Edge القديم في Windows 10 يُحمَّل مسبقًا عند بدء التشغيل، ولا يجمع "
              L"بيانات المربعات الحية، ولا يعرض اقتراحات البحث."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 121, 122), Rows(CommonRegistryTable, 133, 134)}},
        {.id = "chrome-reporting-off",
         .category = EdgeBrowsers,
         .title = {L"Chrome usage reports and feedback off", L"إيقاف تقارير الاستخدام والملاحظات في Chrome"},
         .description =
             {L"Google Chrome no longer sends usage statistics, crash reports or cleanup results to Google, "
              L"and its feedback command is removed.",
              L"لم يعد Google Chrome يرسل إلى Google إحصاءات الاستخدام وتقارير الأعطال ونتائج التنظيف، "
              L"ويُزال أمر إرسال الملاحظات منه."},
         .affects = {Affects(Tag::DiagnosticsSupport,
                             L"You can no longer send feedback or report a problem to Google from Chrome.",
                             L"لم يعد بإمكانك إرسال ملاحظات أو الإبلاغ عن مشكلة إلى Google من Chrome.")},
         .items = {Rows(CommonRegistryTable, 99, 101), Row(CommonRegistryTable, 103)}},
        // https://chromeenterprise.google/policies/#ChromeCleanupEnabled
        {.id = "chrome-cleanup-off",
         .category = EdgeBrowsers,
         .title = {L"Chrome Cleanup off", L"إيقاف أداة التنظيف في Chrome"},
         .description =
             {L"Chrome no longer scans the PC for unwanted software that changes its settings. Only older "
              L"Chrome versions include this tool.",
              L"لم يعد Chrome يفحص الجهاز بحثًا عن البرامج غير المرغوب فيها التي تغيّر إعداداته. ولا تتضمن "
              L"هذه الأداة إلا إصدارات Chrome القديمة."},
         .affects = {Affects(
             Tag::Security, L"Chrome's own scan for software that hijacks the browser no longer runs.",
             L"لم يعد الفحص الذي يجريه Chrome بحثًا عن البرامج التي تستولي على المتصفح يعمل.")},
         .items = {Row(CommonRegistryTable, 102)}},
        {.id = "chrome-manifest-v2-extensions-kept",
         .category = EdgeBrowsers,
         .title = {L"Older Chrome extensions (Manifest V2) allowed",
                   L"السماح بإضافات Chrome القديمة (Manifest V2)"},
         .description =
             {L"Chrome keeps running extensions built on the older Manifest V2, as long as its version still "
              L"allows it.",
              L"يستمر Chrome في تشغيل الإضافات المبنية على Manifest V2 الأقدم، ما دام إصداره يسمح بذلك."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 104)}},
        {.id = "firefox-telemetry-off",
         .category = EdgeBrowsers,
         .title = {L"Firefox telemetry and browser agent off",
                   L"إيقاف القياس عن بُعد ووكيل المتصفح في Firefox"},
         .description =
             {L"Firefox no longer sends telemetry to Mozilla, and its default browser agent no longer runs "
              L"in the background.",
              L"لم يعد Firefox يرسل بيانات القياس عن بُعد إلى Mozilla، ولم يعد وكيل المتصفح الافتراضي الخاص "
              L"به يعمل في الخلفية."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 105, 106)}},
    };
}

Features OfficeAndPrograms() {
    return {
        {.id = "office-telemetry-off",
         .category = OfficePrograms,
         .title = {L"Office telemetry off", L"إيقاف القياس عن بُعد في Office"},
         .description =
             {L"Microsoft Office no longer takes part in the Customer Experience Improvement Program and no "
              L"longer sends its client telemetry.",
              L"لم يعد Microsoft Office يشارك في برنامج تحسين تجربة العملاء، ولم يعد يرسل بيانات القياس عن "
              L"بُعد."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 74, 79), Rows(CommonRegistryTable, 112, 117)}},
        {.id = "office-feedback-off",
         .category = OfficePrograms,
         .title = {L"Office feedback off", L"إيقاف الملاحظات في Office"},
         .description = {L"The feedback commands are removed from Office apps.",
                         L"تُزال أوامر إرسال الملاحظات من تطبيقات Office."},
         .affects = {Affects(
             Tag::DiagnosticsSupport,
             L"You can no longer report a problem or send a suggestion to Microsoft from Office apps.",
             L"لم يعد بإمكانك الإبلاغ عن مشكلة أو إرسال اقتراح إلى Microsoft من تطبيقات Office.")},
         .items = {Rows(CommonRegistryTable, 118, 120)}},
        // The PowerShell commands run as one step, the caches with the telemetry settings.
        {.id = "dotnet-powershell-telemetry-off",
         .category = OfficePrograms,
         .title = {L".NET and PowerShell telemetry off", L"إيقاف القياس عن بُعد في .NET وPowerShell"},
         .description =
             {L"For your account, the .NET command-line tools and PowerShell are told not to send telemetry. "
              L"The same step clears the DNS cache and refreshes the icon cache.",
              L"تُضبط أدوات سطر الأوامر في .NET وPowerShell لحسابك على عدم إرسال بيانات القياس عن بُعد. "
              L"وتمسح الخطوة نفسها ذاكرة DNS المؤقتة وتحدّث ذاكرة الرموز المؤقتة."},
         .affects = {},
         .items = {Rows(BasePowerShellCommands, 0, 3)}},
        {.id = "visual-studio-telemetry-off",
         .category = OfficePrograms,
         .title = {L"Visual Studio telemetry off", L"إيقاف القياس عن بُعد في Visual Studio"},
         .description =
             {L"Visual Studio no longer sends telemetry and no longer takes part in the Customer Experience "
              L"Improvement Program.",
              L"لم يعد Visual Studio يرسل بيانات القياس عن بُعد، ولم يعد يشارك في برنامج تحسين تجربة "
              L"العملاء."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 93), Row(CommonRegistryTable, 97)}},
        // DisableFeedbackDialog controls Send a Smile:
        // https://learn.microsoft.com/en-us/visualstudio/install/configure-feedback-group-policies
        {.id = "visual-studio-feedback-off",
         .category = OfficePrograms,
         .title = {L"Visual Studio feedback off", L"إيقاف الملاحظات في Visual Studio"},
         .description =
             {L"The Send a Smile feedback of Visual Studio is turned off, with its e-mail and screenshot "
              L"options.",
              L"تُوقَف ملاحظات «Send a Smile» في Visual Studio، مع خياري البريد الإلكتروني ولقطة الشاشة."},
         .affects = {Affects(
             Tag::DiagnosticsSupport,
             L"You can no longer send feedback to Microsoft with Send a Smile in Visual Studio.",
             L"لم يعد بإمكانك إرسال ملاحظات إلى Microsoft عبر «Send a Smile» في Visual Studio.")},
         .items = {Rows(CommonRegistryTable, 94, 96)}},
        {.id = "visual-studio-installer-downloads-limited",
         .category = OfficePrograms,
         .title = {L"Visual Studio Installer downloads limited", L"تقييد التنزيلات في مثبّت Visual Studio"},
         .description =
             {L"The Visual Studio Installer downloads at most two packages at a time, which leaves more "
              L"bandwidth for other work.",
              L"ينزّل مثبّت Visual Studio حزمتين على الأكثر في وقت واحد، مما يترك عرض نطاق أكبر للأعمال "
              L"الأخرى."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 98)}},
        {.id = "nvidia-telemetry-off",
         .category = OfficePrograms,
         .title = {L"NVIDIA telemetry off", L"إيقاف القياس عن بُعد من NVIDIA"},
         .description =
             {L"The NVIDIA driver and its Control Panel are told not to send usage data to NVIDIA.",
              L"يُطلب من برنامج تشغيل NVIDIA ولوحة التحكم الخاصة به عدم إرسال بيانات الاستخدام إلى NVIDIA."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 86, 90)}},
        {.id = "media-player-usage-tracking-off",
         .category = OfficePrograms,
         .title = {L"Windows Media Player usage tracking off",
                   L"إيقاف تتبع الاستخدام في Windows Media Player"},
         .description = {L"Windows Media Player no longer records usage data for Microsoft.",
                         L"لم يعد Windows Media Player يسجّل بيانات الاستخدام لصالح Microsoft."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 123)}},
        {.id = "autodesk-analytics-off",
         .category = OfficePrograms,
         .title = {L"Autodesk analytics off", L"إيقاف تحليلات Autodesk"},
         .description =
             {L"Autodesk programs are marked as having declined their desktop analytics program, so they do "
              L"not ask again.",
              L"يُسجَّل لدى برامج Autodesk أنك رفضت برنامج تحليلات سطح المكتب الخاص بها، فلا تسألك عنه مرة "
              L"أخرى."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 124, 125)}},
    };
}

Features GamingFeatures() {
    return {
        // https://learn.microsoft.com/en-us/windows/client-management/mdm/policy-csp-applicationmanagement#allowgamedvr
        {.id = "game-bar-recording-off",
         .category = Gaming,
         .title = {L"Game Bar recording off", L"إيقاف التسجيل في Game Bar"},
         .description =
             {L"Game recording and broadcasting in the Xbox Game Bar are turned off: Win+Alt+R and "
              L"background recording no longer capture games.",
              L"يُوقَف تسجيل الألعاب وبثها في Xbox Game Bar، فلم يعد Win+Alt+R ولا التسجيل في الخلفية "
              L"يلتقطان الألعاب."},
         .affects = {Affects(Tag::Gaming,
                             L"You can no longer record or broadcast games with the Xbox Game Bar (Win+G).",
                             L"لم يعد بإمكانك تسجيل الألعاب أو بثها باستخدام Xbox Game Bar (Win+G).")},
         .items = {Row(StandardRegistryTable, 44), Row(StandardRegistryTable, 47)}},
        {.id = "xbox-services-on-demand",
         .category = Gaming,
         .title = {L"Xbox services start on demand", L"تشغيل خدمات Xbox عند الحاجة"},
         .description =
             {L"The Xbox sign-in, cloud save, networking and accessory services start when a game or app "
              L"needs them.",
              L"تبدأ خدمات Xbox لتسجيل الدخول وحفظ الألعاب في السحابة والشبكات والملحقات عندما تحتاج إليها "
              L"لعبة أو تطبيق."},
         .affects = {},
         .items = {Service(L"XboxNetApiSvc"), Service(L"XblGameSave"), Service(L"XblAuthManager"),
                   Service(L"XboxGipSvc"), Template(L"BcastDVRUserService_*")}},
        {.id = "fullscreen-optimizations-off",
         .category = Gaming,
         .title = {L"Fullscreen optimisations off", L"إيقاف تحسينات ملء الشاشة"},
         .description =
             {L"Games in full screen run in the classic exclusive full-screen mode instead of with the "
              L"fullscreen optimisations of Windows.",
              L"تعمل الألعاب بملء الشاشة في وضع ملء الشاشة الحصري التقليدي بدلًا من تحسينات ملء الشاشة في "
              L"Windows."},
         .affects = {},
         .items = {Row(StandardRegistryTable, 43), Rows(StandardRegistryTable, 45, 46)}},
        {.id = "gpu-scheduling-on",
         .category = Gaming,
         .title = {L"Hardware-accelerated GPU scheduling on",
                   L"تشغيل جدولة وحدة معالجة الرسومات المسرَّعة بالأجهزة"},
         .description =
             {L"Hardware-accelerated GPU scheduling is set on, so that a graphics card that supports it "
              L"schedules its own work.",
              L"تُضبط جدولة وحدة معالجة الرسومات المسرَّعة بالأجهزة على التشغيل، لتتولى بطاقة الرسومات التي "
              L"تدعمها جدولة عملها بنفسها."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 143)}},
        {.id = "multiplane-overlay-off",
         .category = Gaming,
         .title = {L"Multiplane overlay off", L"إيقاف التراكب متعدد المستويات"},
         .description =
             {L"The Desktop Window Manager stops using multiplane overlay (MPO), which can cure flicker and "
              L"stutter with some graphics drivers.",
              L"يتوقف مدير نوافذ سطح المكتب عن استخدام التراكب متعدد المستويات (MPO)، مما قد يعالج الوميض "
              L"والتقطع مع بعض برامج تشغيل الرسومات."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 144)}},
        {.id = "multimedia-scheduling-tuned",
         .category = Gaming,
         .title = {L"Scheduling favours games and media", L"جدولة لصالح الألعاب والوسائط"},
         .description =
             {L"While games and media play, Windows keeps less processor time for background tasks and no "
              L"longer slows network traffic down.",
              L"أثناء تشغيل الألعاب والوسائط، يحجز Windows وقتًا أقل من المعالج للمهام الخلفية، ولم يعد يبطئ "
              L"حركة الشبكة."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 55), Row(CommonRegistryTable, 131)}},
        {.id = "gpu-timeout-extended",
         .category = Gaming,
         .title = {L"Longer graphics driver timeout", L"إطالة مهلة برنامج تشغيل الرسومات"},
         .description =
             {L"Windows waits up to 100 seconds, instead of 2, before it resets a graphics driver that stops "
              L"responding: heavy graphics work is no longer cut short, but a frozen screen takes longer to "
              L"recover.",
              L"ينتظر Windows حتى 100 ثانية، بدلًا من ثانيتين، قبل أن يعيد تعيين برنامج تشغيل الرسومات الذي "
              L"توقف عن الاستجابة؛ فلا تنقطع أعمال الرسومات الثقيلة، لكن استعادة الشاشة المتجمدة تستغرق "
              L"وقتًا أطول."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 138, 139)}},
    };
}

Features WindowsUpdateFeatures() {
    return {
        // AUOptions 2: notify for download and auto install:
        // https://learn.microsoft.com/en-us/windows/deployment/update/waas-wu-settings#configure-automatic-updates
        {.id = "update-download-asks-first",
         .category = WindowsUpdate,
         .title = {L"Windows asks before downloading updates", L"يسأل Windows قبل تنزيل التحديثات"},
         .description =
             {L"Windows Update tells you about new updates and waits for you to start the download; it then "
              L"installs them by itself.",
              L"يبلغك Windows Update بالتحديثات الجديدة وينتظر أن تبدأ تنزيلها بنفسك، ثم يثبّتها من تلقاء "
              L"نفسه."},
         .affects = {Affects(
             Tag::WindowsUpdate,
             L"Updates, security fixes included, are no longer downloaded automatically; they wait until you "
             L"start them.",
             L"لم تعد التحديثات، بما فيها إصلاحات الأمان، تُنزَّل تلقائيًا، بل تنتظر حتى تبدأها بنفسك.")},
         .items = {Row(StandardRegistryTable, 24)}},
        // Each profile writes its own deferrals into the same values.
        {.id = "update-deferrals",
         .category = WindowsUpdate,
         .title = {L"Feature and quality updates deferred", L"تأجيل تحديثات الميزات والجودة"},
         .description =
             {L"Windows Update waits before it offers new versions of Windows and monthly fixes: 30 and 2 "
              L"days with Essential, 180 and 3 days with Standard, 730 and 4 days with Maximum.",
              L"ينتظر Windows Update قبل أن يعرض إصدارات Windows الجديدة والإصلاحات الشهرية: 30 يومًا ويومين "
              L"مع الإعدادات الأساسية، و180 يومًا و3 أيام مع القياسية، و730 يومًا و4 أيام مع القصوى."},
         .affects = {},
         .items = {Value(CommonRegistryTable,
                         L"SOFTWARE\\Microsoft\\WindowsUpdate\\UX\\Settings:BranchReadinessLevel"),
                   Value(CommonRegistryTable,
                         L"SOFTWARE\\Microsoft\\WindowsUpdate\\UX\\Settings:DeferFeatureUpdatesPeriodInDays"),
                   Value(CommonRegistryTable,
                         L"SOFTWARE\\Microsoft\\WindowsUpdate\\UX\\Settings:DeferQualityUpdatesPeriodInDays"),
                   Rows(StandardRegistryTable, 21, 23), Rows(MaximumRegistryTable, 11, 13)}},
        {.id = "update-restarts-and-wake-off",
         .category = WindowsUpdate,
         .title = {L"No update restarts while you are signed in",
                   L"لا إعادة تشغيل للتحديثات أثناء تسجيل الدخول"},
         .description =
             {L"Windows Update no longer restarts the PC by itself while someone is signed in, and no longer "
              L"wakes the PC from sleep to install updates.",
              L"لم يعد Windows Update يعيد تشغيل الجهاز من تلقاء نفسه أثناء تسجيل دخول أحد المستخدمين، ولم "
              L"يعد يوقظ الجهاز من السكون لتثبيت التحديثات."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 145, 146)}},
        {.id = "delivery-optimization-local-only",
         .category = WindowsUpdate,
         .title = {L"Update sharing kept to your local network", L"قصر مشاركة التحديثات على الشبكة المحلية"},
         .description =
             {L"Delivery Optimization shares update downloads only with PCs on your local network, never "
              L"with PCs on the internet.",
              L"يشارك «تحسين التسليم» تنزيلات التحديثات مع أجهزة شبكتك المحلية فقط، ولا يشاركها أبدًا مع "
              L"أجهزة على الإنترنت."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 47, 48), Service(L"DoSvc")}},
        // https://learn.microsoft.com/en-us/windows/client-management/mdm/policy-csp-system#allowbuildpreview
        {.id = "windows-insider-off",
         .category = WindowsUpdate,
         .title = {L"Windows Insider Program off", L"إيقاف برنامج Windows Insider"},
         .description =
             {L"The Windows Insider Program page is hidden in Settings and its service is disabled: this PC "
              L"can no longer join the program or get preview builds.",
              L"تُخفى صفحة برنامج Windows Insider في الإعدادات وتُعطَّل خدمته، فلم يعد بإمكان هذا الجهاز "
              L"الانضمام إلى البرنامج أو تلقي الإصدارات التجريبية."},
         .affects = {Affects(Tag::Insider, L"Preview builds of Windows are no longer offered to this PC.",
                             L"لم تعد الإصدارات التجريبية من Windows تُعرض على هذا الجهاز.")},
         .items = {Rows(CommonRegistryTable, 154, 155), Service(L"wisvc")}},
        {.id = "experiments-off",
         .category = WindowsUpdate,
         .title = {L"Feature experiments off", L"إيقاف تجارب الميزات"},
         .description =
             {L"Microsoft can no longer turn features on or change settings on this PC to try them out.",
              L"لم يعد بإمكان Microsoft تشغيل ميزات أو تغيير إعدادات على هذا الجهاز لتجربتها."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 151, 153)}},
        {.id = "update-health-service-disabled",
         .category = WindowsUpdate,
         .title = {L"Microsoft Update Health Service disabled", L"تعطيل خدمة Microsoft Update Health"},
         .description =
             {L"The Microsoft Update Health Service, with which Microsoft checks and repairs the update "
              L"components of managed PCs, no longer starts.",
              L"لم تعد خدمة Microsoft Update Health، التي تفحص بها Microsoft مكونات التحديث في الأجهزة "
              L"المُدارة وتصلحها، تبدأ العمل."},
         .affects = {},
         .items = {Service(L"uhssvc")}},
        {.id = "windows-update-services-on-demand",
         .category = WindowsUpdate,
         .title = {L"Windows Update services start on demand", L"تشغيل خدمات Windows Update عند الحاجة"},
         .description =
             {L"The Windows Update, Background Intelligent Transfer, Update Orchestrator, Windows Update "
              L"Medic and Windows Modules Installer services start when they are needed.",
              L"تبدأ خدمات Windows Update ونقل الخدمة الذكية في الخلفية (BITS) ومنسّق التحديثات وWindows "
              L"Update Medic ومثبّت وحدات Windows عند الحاجة إليها."},
         .affects = {},
         .items = {Service(L"wuauserv"), Service(L"bits"), Service(L"UsoSvc"), Service(L"WaasMedicSvc"),
                   Service(L"TrustedInstaller")}},
    };
}

Features ServiceFeatures() {
    return {
        {.id = "print-and-scan-services-on-demand",
         .category = Services,
         .title = {L"Printing and scanning services start on demand",
                   L"تشغيل خدمات الطباعة والمسح الضوئي عند الحاجة"},
         .description =
             {L"The printing, scanning and fax services start when they are needed. With Maximum, the print "
              L"spooler, which the other profiles start automatically, starts on demand too.",
              L"تبدأ خدمات الطباعة والمسح الضوئي والفاكس عند الحاجة إليها. ومع الإعدادات القصوى تبدأ أيضًا "
              L"خدمة التخزين المؤقت للطباعة عند الحاجة، بعد أن كانت تبدأ تلقائيًا مع الإعدادات الأخرى."},
         .affects = {},
         .items = {Service(L"Spooler"), BuiltInItem::MemoryAdjustedSpooler, Service(L"PrintNotify"),
                   Service(L"PrintDeviceConfigurationService"), Service(L"PrintScanBrokerService"),
                   Template(L"PrintWorkflowUserSvc_*"), Service(L"Fax"), Service(L"StiSvc"),
                   Service(L"WiaRpc")}},
        {.id = "bluetooth-services-on-demand",
         .category = Services,
         .title = {L"Bluetooth services start on demand", L"تشغيل خدمات Bluetooth عند الحاجة"},
         .description =
             {L"The Bluetooth support, audio gateway and remote control services start when a Bluetooth "
              L"device needs them.",
              L"تبدأ خدمات دعم Bluetooth وبوابة الصوت والتحكم عن بُعد عندما يحتاج إليها جهاز Bluetooth."},
         .affects = {},
         .items = {Service(L"bthserv"), Service(L"BTAGService"), Service(L"BthAvctpSvc"),
                   Template(L"BluetoothUserService_*")}},
        {.id = "sysmain-disabled-with-16-gb",
         .category = Services,
         .title = {L"SysMain disabled on PCs with 16 GB or more",
                   L"تعطيل SysMain في الأجهزة ذات 16 غيغابايت أو أكثر"},
         .description =
             {L"SysMain (formerly Superfetch), which preloads often used apps into memory, starts "
              L"automatically; with Maximum it is disabled on PCs with 16 GB of memory or more.",
              L"تبدأ خدمة SysMain (المعروفة سابقًا باسم Superfetch)، التي تحمّل التطبيقات كثيرة الاستخدام "
              L"مسبقًا في الذاكرة، تلقائيًا، ومع الإعدادات القصوى تُعطَّل في الأجهزة التي تحتوي على 16 "
              L"غيغابايت من الذاكرة أو أكثر."},
         .affects = {},
         .items = {Service(L"SysMain"), BuiltInItem::MemoryAdjustedSysMain}},
        {.id = "rarely-used-services-disabled",
         .category = Services,
         .title = {L"Rarely used services disabled", L"تعطيل الخدمات النادرة الاستخدام"},
         .description =
             {L"Services that home PCs rarely use are disabled: AllJoyn Router, App-V Client, Assigned "
              L"Access (kiosk mode), Dialog Blocking, Net.Tcp Port Sharing, Shared PC Account Manager and "
              L"User Experience Virtualization.",
              L"تُعطَّل خدمات نادرًا ما تستخدمها الأجهزة المنزلية: موجّه AllJoyn، وعميل App-V، والوصول "
              L"المعيَّن (وضع الكشك)، وحظر مربعات الحوار، ومشاركة منافذ Net.Tcp، ومدير حسابات الكمبيوتر "
              L"المشترك، وUser Experience Virtualization."},
         .affects = {},
         .items = {Service(L"AJRouter"), Service(L"AppVClient"), Service(L"AssignedAccessManagerSvc"),
                   Service(L"DialogBlockingService"), Service(L"NetTcpPortSharing"), Service(L"shpamsvc"),
                   Service(L"UevAgentService")}},
        {.id = "remote-management-services-disabled",
         .category = Services,
         .title = {L"Remote Registry and routing services disabled", L"تعطيل خدمتي السجل البعيد والتوجيه"},
         .description =
             {L"The Remote Registry service and the Routing and Remote Access service no longer start.",
              L"لم تعد خدمة السجل البعيد (Remote Registry) ولا خدمة التوجيه والوصول البعيد (Routing and "
              L"Remote Access) تبدأ العمل."},
         .affects = {Affects(
             Tag::RemoteAccess,
             L"Administrators can no longer edit this PC's registry over the network, and the PC no longer "
             L"accepts incoming VPN or dial-up connections.",
             L"لم يعد بإمكان المسؤولين تعديل سجل هذا الجهاز عبر الشبكة، ولم يعد الجهاز يقبل اتصالات VPN أو "
             L"الطلب الهاتفي الواردة.")},
         .items = {Service(L"RemoteRegistry"), Service(L"RemoteAccess")}},
        // https://learn.microsoft.com/en-us/windows-server/administration/openssh/openssh_keymanagement
        {.id = "ssh-agent-disabled",
         .category = Services,
         .title = {L"OpenSSH authentication agent disabled", L"تعطيل وكيل المصادقة في OpenSSH"},
         .description =
             {L"The OpenSSH Authentication Agent service no longer starts, so SSH keys can no longer be held "
              L"in the agent.",
              L"لم تعد خدمة وكيل المصادقة في OpenSSH تبدأ العمل، فلم يعد من الممكن الاحتفاظ بمفاتيح SSH في "
              L"الوكيل."},
         .affects = {Affects(
             Tag::DeveloperTools,
             L"ssh-add fails, and SSH and Git sessions that relied on keys held by the agent ask for them "
             L"again or fail.",
             L"يفشل الأمر ssh-add، وتطلب جلسات SSH وGit التي كانت تعتمد على المفاتيح المحفوظة في الوكيل هذه "
             L"المفاتيح من جديد أو تفشل.")},
         .items = {Service(L"ssh-agent")}},
        {.id = "security-sign-in-services-on-demand",
         .category = Services,
         .title = {L"Security and sign-in services start on demand",
                   L"تشغيل خدمات الأمان وتسجيل الدخول عند الحاجة"},
         .description =
             {L"The Windows Security, BitLocker, Windows Hello, smart card, credential and account sign-in "
              L"services start when they are needed; the web threat defence user service starts "
              L"automatically.",
              L"تبدأ خدمات أمان Windows وBitLocker وWindows Hello والبطاقات الذكية وبيانات الاعتماد وتسجيل "
              L"الدخول إلى الحسابات عند الحاجة إليها، وتبدأ خدمة المستخدم للحماية من تهديدات الويب "
              L"تلقائيًا."},
         .affects = {},
         .items = {Service(L"wscsvc"),
                   Service(L"SecurityHealthService"),
                   Service(L"Sense"),
                   Service(L"webthreatdefsvc"),
                   Template(L"webthreatdefusersvc_*"),
                   Service(L"AppIDSvc"),
                   Service(L"BDESVC"),
                   Service(L"EFS"),
                   Service(L"KeyIso"),
                   Service(L"VaultSvc"),
                   Service(L"NgcSvc"),
                   Service(L"NgcCtnrSvc"),
                   Service(L"WbioSrvc"),
                   Service(L"NaturalAuthentication"),
                   Template(L"CredentialEnrollmentManagerUserSvc_*"),
                   Service(L"SCardSvr"),
                   Service(L"ScDeviceEnum"),
                   Service(L"SCPolicySvc"),
                   Service(L"CertPropSvc"),
                   Service(L"seclogon"),
                   Service(L"wlidsvc"),
                   Service(L"TokenBroker"),
                   Service(L"cloudidsvc"),
                   Service(L"Netlogon")}},
        {.id = "sync-and-notification-services",
         .category = Services,
         .title = {L"Sync, contacts and notification services", L"خدمات المزامنة وجهات الاتصال والإشعارات"},
         .description =
             {L"The connected devices platform and the sync host start automatically, the sync host with a "
              L"delay; the push notification, contacts, messaging and user data services start on demand.",
              L"تبدأ منصة الأجهزة المتصلة ومضيف المزامنة تلقائيًا، ومضيف المزامنة بعد تأخير، وتبدأ خدمات "
              L"الإشعارات الفورية وجهات الاتصال والرسائل وبيانات المستخدم عند الحاجة."},
         .affects = {},
         .items = {Service(L"CDPSvc"), Template(L"CDPUserSvc_*"), Template(L"OneSyncSvc_*"),
                   Service(L"WpnService"), Template(L"WpnUserService_*"),
                   Template(L"PimIndexMaintenanceSvc_*"), Template(L"UnistoreSvc_*"),
                   Template(L"UserDataSvc_*"), Template(L"MessagingService_*"), Service(L"SmsRouter"),
                   Template(L"cbdhsvc_*")}},
        {.id = "device-services-on-demand",
         .category = Services,
         .title = {L"Device, camera and sensor services start on demand",
                   L"تشغيل خدمات الأجهزة والكاميرا والمستشعرات عند الحاجة"},
         .description =
             {L"The services for cameras, sensors, location, pens and touch input, phones, mixed reality and "
              L"device pairing start when a device or an app needs them.",
              L"تبدأ خدمات الكاميرات والمستشعرات والموقع والأقلام والإدخال باللمس والهواتف والواقع المختلط "
              L"وإقران الأجهزة عندما يحتاج إليها جهاز أو تطبيق."},
         .affects = {},
         .items = {Service(L"FrameServer"),
                   Service(L"FrameServerMonitor"),
                   Service(L"camsvc"),
                   Service(L"SensorDataService"),
                   Service(L"SensorService"),
                   Service(L"SensrSvc"),
                   Service(L"lfsvc"),
                   Service(L"TabletInputService"),
                   Service(L"TextInputManagementService"),
                   Template(L"PenService_*"),
                   Service(L"hidserv"),
                   Service(L"PhoneSvc"),
                   Service(L"TapiSrv"),
                   Service(L"RmSvc"),
                   Service(L"MixedRealityOpenXRSvc"),
                   Service(L"SharedRealitySvc"),
                   Service(L"spectrum"),
                   Service(L"perceptionsimulation"),
                   Service(L"DeviceAssociationService"),
                   Service(L"DeviceInstall"),
                   Service(L"DevQueryBroker"),
                   Service(L"DsmSvc"),
                   Service(L"WPDBusEnum"),
                   Service(L"WFDSConMgrSvc"),
                   Service(L"wudfsvc"),
                   Service(L"DisplayEnhancementService"),
                   Service(L"VacSvc"),
                   Template(L"CaptureService_*"),
                   Template(L"ConsentUxUserSvc_*"),
                   Template(L"DeviceAssociationBrokerSvc_*"),
                   Template(L"DevicePickerUserSvc_*"),
                   Template(L"DevicesFlowUserSvc_*"),
                   Template(L"NPSMSvc_*")}},
        {.id = "app-services-on-demand",
         .category = Services,
         .title = {L"App installation services start on demand", L"تشغيل خدمات تثبيت التطبيقات عند الحاجة"},
         .description =
             {L"The services that install, license and prepare Store and desktop apps start when they are "
              L"needed.",
              L"تبدأ الخدمات التي تثبّت تطبيقات Store وتطبيقات سطح المكتب وترخّصها وتجهّزها عند الحاجة "
              L"إليها."},
         .affects = {},
         .items = {Service(L"AppXSvc"), Service(L"ClipSVC"), Service(L"InstallService"),
                   Service(L"LicenseManager"), Service(L"PushToInstall"), Service(L"WSService"),
                   Service(L"AppReadiness"), Service(L"StateRepository"), Service(L"Appinfo"),
                   Service(L"AppMgmt"), Service(L"msiserver"), Service(L"EntAppSvc")}},
        {.id = "storage-backup-services-on-demand",
         .category = Services,
         .title = {L"Storage and backup services start on demand",
                   L"تشغيل خدمات التخزين والنسخ الاحتياطي عند الحاجة"},
         .description =
             {L"Volume Shadow Copy, backup, File History, drive optimisation, Offline Files and the other "
              L"storage services start when they are needed.",
              L"تبدأ خدمات النسخ الظلي لوحدات التخزين والنسخ الاحتياطي وسجل الملفات وتحسين محركات الأقراص "
              L"والملفات غير المتصلة وغيرها من خدمات التخزين عند الحاجة إليها."},
         .affects = {},
         .items = {Service(L"VSS"), Service(L"swprv"), Service(L"SDRSVC"), Service(L"wbengine"),
                   Service(L"fhsvc"), Service(L"defragsvc"), Service(L"vds"), Service(L"smphost"),
                   Service(L"StorSvc"), Service(L"svsvc"), Service(L"TieringEngineService"),
                   Service(L"CscService"), Service(L"TrkWks"), Service(L"workfolderssvc"),
                   Service(L"MSiSCSI")}},
        {.id = "diagnostic-services-on-demand",
         .category = Services,
         .title = {L"Diagnostic services start on demand", L"تشغيل خدمات التشخيص عند الحاجة"},
         .description =
             {L"The diagnostic, troubleshooting, performance logging and event collection services start "
              L"when they are needed.",
              L"تبدأ خدمات التشخيص واستكشاف الأخطاء وإصلاحها وتسجيل الأداء وجمع الأحداث عند الحاجة إليها."},
         .affects = {},
         .items = {Service(L"WerSvc"), Service(L"wercplsupport"), Service(L"diagsvc"),
                   Service(L"WdiSystemHost"), Service(L"WdiServiceHost"), Service(L"TroubleshootingSvc"),
                   Service(L"diagnosticshub.standardcollector.service"), Service(L"IEEtwCollectorService"),
                   Service(L"InventorySvc"), Service(L"pla"), Service(L"PerfHost"), Service(L"wmiApSrv"),
                   Service(L"Wecsvc")}},
        {.id = "virtual-machine-guest-services-on-demand",
         .category = Services,
         .title = {L"Hyper-V and VMware guest services start on demand",
                   L"تشغيل خدمات الضيف في Hyper-V وVMware عند الحاجة"},
         .description =
             {L"The services with which a virtual machine talks to its Hyper-V or VMware host start when "
              L"they are needed; a physical PC does not use them.",
              L"تبدأ الخدمات التي يتواصل بها الجهاز الظاهري مع مضيف Hyper-V أو VMware عند الحاجة إليها، ولا "
              L"يستخدمها الجهاز الفعلي."},
         .affects = {},
         .items = {Service(L"HvHost"), Service(L"vmicguestinterface"), Service(L"vmicheartbeat"),
                   Service(L"vmickvpexchange"), Service(L"vmicrdv"), Service(L"vmicshutdown"),
                   Service(L"vmictimesync"), Service(L"vmicvmsession"), Service(L"vmicvss"),
                   Service(L"vmvss"), Service(L"vm3dservice")}},
        {.id = "core-services-automatic",
         .category = Services,
         .title = {L"Core Windows services start automatically", L"تشغيل خدمات Windows الأساسية تلقائيًا"},
         .description =
             {L"The services Windows relies on, such as audio, themes, the event log, Task Scheduler, "
              L"Microsoft Defender and Windows Firewall, are set to start automatically.",
              L"تُضبط الخدمات التي يعتمد عليها Windows، مثل الصوت والسمات وسجل الأحداث وجدولة المهام "
              L"وMicrosoft Defender وجدار حماية Windows، على البدء تلقائيًا."},
         .affects = {},
         .items = {Service(L"RpcSs"),
                   Service(L"DcomLaunch"),
                   Service(L"RpcEptMapper"),
                   Service(L"PlugPlay"),
                   Service(L"Power"),
                   Service(L"ProfSvc"),
                   Service(L"UserManager"),
                   Service(L"LSM"),
                   Service(L"Themes"),
                   Service(L"Audiosrv"),
                   Service(L"AudioEndpointBuilder"),
                   Service(L"SENS"),
                   Service(L"Schedule"),
                   Service(L"Winmgmt"),
                   Service(L"EventSystem"),
                   Service(L"EventLog"),
                   Service(L"gpsvc"),
                   Service(L"ShellHWDetection"),
                   Service(L"BrokerInfrastructure"),
                   Service(L"SystemEventsBroker"),
                   Service(L"CoreMessagingRegistrar"),
                   Service(L"DispBrokerDesktopSvc"),
                   Service(L"FontCache"),
                   Service(L"DPS"),
                   Service(L"CryptSvc"),
                   Service(L"sppsvc"),
                   Service(L"WinDefend"),
                   Service(L"MpsSvc"),
                   Service(L"BFE"),
                   Service(L"SgrmBroker")}},
        {.id = "other-services-on-demand",
         .category = Services,
         .title = {L"Other Windows services start on demand", L"تشغيل خدمات Windows الأخرى عند الحاجة"},
         .description =
             {L"The remaining Windows services, such as Windows Remote Management, parental controls, "
              L"payments and NFC, the retail demo and language packs, start when they are needed.",
              L"تبدأ بقية خدمات Windows، مثل الإدارة البعيدة لـ Windows والرقابة الأبوية والمدفوعات وNFC "
              L"ووضع العرض التجريبي في المتاجر وحزم اللغات، عند الحاجة إليها."},
         .affects = {},
         .items = {Service(L"WinRM"),
                   Service(L"WpcMonSvc"),
                   Service(L"SEMgrSvc"),
                   Service(L"WalletService"),
                   Service(L"RetailDemo"),
                   Service(L"LxpSvc"),
                   Service(L"aarSvc"),
                   Service(L"AxInstSV"),
                   Service(L"COMSysApp"),
                   Service(L"DcpSvc"),
                   Service(L"dcsvc"),
                   Service(L"DmEnrollmentSvc"),
                   Service(L"embeddedmode"),
                   Service(L"GraphicsPerfSvc"),
                   Service(L"KtmRm"),
                   Service(L"MSDTC"),
                   Service(L"McpManagementService"),
                   Service(L"MicrosoftEdgeElevationService"),
                   Service(L"MsKeyboardFilter"),
                   Service(L"RpcLocator"),
                   Service(L"TimeBroker"),
                   Service(L"TimeBrokerSvc"),
                   Service(L"UI0Detect"),
                   Service(L"WarpJITSvc"),
                   Service(L"WcsPlugInService"),
                   Service(L"WEPHOSTSVC"),
                   Service(L"WManSvc"),
                   Service(L"WMPNetworkSvc"),
                   Template(L"P9RdrService_*"),
                   Template(L"UdkUserSvc_*")}},
        {.id = "svchost-split-threshold",
         .category = Services,
         .title = {L"Service host grouping sized to memory", L"تجميع مضيفات الخدمات حسب الذاكرة"},
         .description =
             {L"Windows groups services into fewer host processes (svchost.exe), according to the installed "
              L"memory.",
              L"يجمع Windows الخدمات في عدد أقل من عمليات المضيف (svchost.exe)، وفقًا للذاكرة المثبّتة."},
         .affects = {},
         .items = {BuiltInItem::SvcHostSplitThreshold}},
    };
}

Features ScheduledTaskFeatures() {
    return {
        {.id = "app-compatibility-telemetry-off",
         .category = ScheduledTasks,
         .title = {L"Compatibility telemetry tasks off", L"إيقاف مهام القياس عن بُعد للتوافق"},
         .description =
             {L"The Application Experience tasks that collect program compatibility data for Microsoft no "
              L"longer run, and application telemetry is turned off.",
              L"لم تعد مهام «تجربة التطبيقات» التي تجمع بيانات توافق البرامج لصالح Microsoft تعمل، ويُوقَف "
              L"القياس عن بُعد للتطبيقات."},
         .affects = {},
         .items = {Task(L"Microsoft\\Windows\\Application Experience\\Microsoft Compatibility Appraiser"),
                   Task(L"Microsoft\\Windows\\Application Experience\\Microsoft Compatibility Appraiser Exp"),
                   Task(L"Microsoft\\Windows\\Application Experience\\ProgramDataUpdater"),
                   Task(L"Microsoft\\Windows\\Application Experience\\MareBackup"),
                   Task(L"Microsoft\\Windows\\Application Experience\\PcaPatchDbTask"),
                   Task(L"Microsoft\\Windows\\Application Experience\\AitAgent"),
                   Row(CommonRegistryTable, 132), Service(L"PcaSvc")}},
        {.id = "customer-experience-program-off",
         .category = ScheduledTasks,
         .title = {L"Customer Experience Improvement Program off", L"إيقاف برنامج تحسين تجربة العملاء"},
         .description =
             {L"Windows leaves the Customer Experience Improvement Program, and its tasks that collect "
              L"usage, USB and disk data no longer run.",
              L"يخرج Windows من برنامج تحسين تجربة العملاء، ولم تعد مهامه التي تجمع بيانات الاستخدام وUSB "
              L"والأقراص تعمل."},
         .affects = {},
         .items =
             {Rows(CommonRegistryTable, 70, 71),
              Task(L"Microsoft\\Windows\\Customer Experience Improvement Program\\Consolidator"),
              Task(L"Microsoft\\Windows\\Customer Experience Improvement Program\\UsbCeip"),
              Task(L"Microsoft\\Windows\\Autochk\\Proxy"),
              Task(L"Microsoft\\Windows\\DiskDiagnostic\\Microsoft-Windows-DiskDiagnosticDataCollector")}},
        {.id = "office-telemetry-tasks-off",
         .category = ScheduledTasks,
         .title = {L"Office telemetry tasks off", L"إيقاف مهام القياس عن بُعد في Office"},
         .description =
             {L"The Office telemetry agent tasks, which report on Office add-ins and documents, no longer "
              L"run at sign-in or on their schedule.",
              L"لم تعد مهام وكيل القياس عن بُعد في Office، التي ترسل تقارير عن الوظائف الإضافية والمستندات، "
              L"تعمل عند تسجيل الدخول أو وفق جدولها."},
         .affects = {},
         .items = {Task(L"Microsoft\\Office\\OfficeTelemetryAgentFallBack"),
                   Task(L"Microsoft\\Office\\OfficeTelemetryAgentFallBack2016"),
                   Task(L"Microsoft\\Office\\OfficeTelemetryAgentLogOn"),
                   Task(L"Microsoft\\Office\\OfficeTelemetryAgentLogOn2016")}},
        {.id = "startup-app-task-off",
         .category = ScheduledTasks,
         .title = {L"Startup app scan off", L"إيقاف فحص تطبيقات بدء التشغيل"},
         .description =
             {L"Windows no longer scans the apps that start with it, so Task Manager may show their start-up "
              L"impact as not measured.",
              L"لم يعد Windows يفحص التطبيقات التي تبدأ معه، لذا قد يعرض مدير المهام تأثيرها على بدء التشغيل "
              L"على أنه «غير مُقاس»."},
         .affects = {},
         .items = {Task(L"Microsoft\\Windows\\Application Experience\\StartupAppTask")}},
        {.id = "offline-maps-updates-off",
         .category = ScheduledTasks,
         .title = {L"Offline maps updates off", L"إيقاف تحديث الخرائط دون اتصال"},
         .description =
             {L"Offline maps are no longer updated automatically, and the downloaded maps manager starts "
              L"only when it is needed.",
              L"لم تعد الخرائط المتاحة دون اتصال تُحدَّث تلقائيًا، ولا يبدأ مدير الخرائط التي تم تنزيلها إلا "
              L"عند الحاجة إليه."},
         .affects = {},
         .items = {Task(L"Microsoft\\Windows\\Maps\\MapsUpdateTask"), Service(L"MapsBroker")}},
    };
}

Features NetworkFeatures() {
    return {
        // https://learn.microsoft.com/en-us/troubleshoot/windows-server/networking/configure-ipv6-in-windows
        {.id = "ipv6-off",
         .category = Network,
         .title = {L"IPv6 off", L"إيقاف IPv6"},
         .description =
             {L"IPv6 is turned off on the network adapters named Ethernet, Wi-Fi, Local Area Connection and "
              L"Wireless Network Connection, which then connect over IPv4 only.",
              L"يُوقَف IPv6 على محوّلات الشبكة المسماة Ethernet وWi-Fi وLocal Area Connection وWireless "
              L"Network Connection، فتتصل عبر IPv4 فقط."},
         .affects = {Affects(
             Tag::Network,
             L"Networks, services and apps that need IPv6 can no longer be reached over these adapters.",
             L"لم يعد الوصول عبر هذه المحوّلات ممكنًا إلى الشبكات والخدمات والتطبيقات التي تحتاج إلى IPv6.")},
         .items = {Rows(Ipv6DisableCommands, 0, 3), Row(MaximumRegistryTable, 30)}},
        // https://learn.microsoft.com/en-us/windows-hardware/customize/desktop/unattend/microsoft-windows-terminalservices-localsessionmanager-fdenytsconnections
        {.id = "remote-desktop-off",
         .category = Network,
         .title = {L"Remote Desktop off", L"إيقاف سطح المكتب البعيد"},
         .description = {L"Remote Desktop connections to this PC are refused.",
                         L"تُرفَض اتصالات سطح المكتب البعيد بهذا الجهاز."},
         .affects = {Affects(Tag::RemoteAccess,
                             L"No one can connect to this PC with Remote Desktop any more.",
                             L"لم يعد بإمكان أحد الاتصال بهذا الجهاز عبر سطح المكتب البعيد.")},
         .items = {Row(MaximumRegistryTable, 14)}},
        // https://learn.microsoft.com/en-us/windows/client-management/mdm/policy-csp-remoteassistance#solicitedremoteassistance
        {.id = "remote-assistance-off",
         .category = Network,
         .title = {L"Remote Assistance off", L"إيقاف المساعدة عن بُعد"},
         .description =
             {L"This PC no longer accepts Remote Assistance invitations, so no one can view or control it to "
              L"help you.",
              L"لم يعد هذا الجهاز يقبل دعوات المساعدة عن بُعد، فلا يستطيع أحد عرضه أو التحكم فيه لمساعدتك."},
         .affects = {Affects(
             Tag::RemoteAccess,
             L"Helpers can no longer connect through Windows Remote Assistance (msra); Quick Assist is not "
             L"part of this change.",
             L"لم يعد بإمكان من يساعدك الاتصال عبر المساعدة عن بُعد في Windows (msra)؛ ولا يشمل هذا التغيير "
             L"تطبيق Quick Assist.")},
         .items = {Rows(CommonRegistryTable, 49, 50), Rows(CommonRegistryTable, 156, 157)}},
        // The command list runs as one step: the time service first, then IPv6 on the usual adapters.
        {.id = "time-sync-and-ipv6-reset",
         .category = Network,
         .title = {L"Time sync reset and IPv6 turned on", L"إعادة ضبط مزامنة الوقت وتشغيل IPv6"},
         .description =
             {L"The Windows Time service is registered afresh and synchronised at once with "
              L"time.windows.com, which replaces any other time server set on this PC; IPv6 is turned on for "
              L"the usual network adapters.",
              L"تُسجَّل خدمة الوقت في Windows من جديد وتُزامَن فورًا مع time.windows.com، الذي يحل محل أي "
              L"خادم وقت آخر مضبوط على هذا الجهاز، ويُشغَّل IPv6 على محوّلات الشبكة المعتادة."},
         .affects = {},
         .items = {Rows(BaseCmdCommands, 0, 9), Service(L"W32Time"), Service(L"autotimesvc")}},
        {.id = "automatic-time-zone-off",
         .category = Network,
         .title = {L"Automatic time zone off", L"إيقاف ضبط المنطقة الزمنية تلقائيًا"},
         .description =
             {L"The Auto Time Zone Updater service is disabled, so Windows no longer sets the time zone from "
              L"your location.",
              L"تُعطَّل خدمة التحديث التلقائي للمنطقة الزمنية، فلم يعد Windows يضبط المنطقة الزمنية وفقًا "
              L"لموقعك."},
         .affects = {Affects(
             Tag::LocationTime,
             L"\"Set time zone automatically\" stops working; when you travel, change the time zone "
             L"yourself.",
             L"يتوقف خيار «تعيين المنطقة الزمنية تلقائيًا» عن العمل، وعليك تغيير المنطقة الزمنية بنفسك عند "
             L"السفر.")},
         .items = {Service(L"tzautoupdate")}},
        {.id = "file-sharing-server-on-demand",
         .category = Network,
         .title = {L"File and printer sharing server on demand",
                   L"تشغيل خادم مشاركة الملفات والطابعات عند الحاجة"},
         .description =
             {L"The Server service, which shares this PC's files and printers on the network, starts "
              L"automatically with a larger request stack; with Maximum it starts on demand.",
              L"تبدأ خدمة Server، التي تشارك ملفات هذا الجهاز وطابعاته على الشبكة، تلقائيًا مع مكدس طلبات "
              L"أكبر، ومع الإعدادات القصوى تبدأ عند الحاجة."},
         .affects = {},
         .items = {Service(L"LanmanServer"), BuiltInItem::MemoryAdjustedServer,
                   Row(CommonRegistryTable, 58)}},
        {.id = "mdns-off",
         .category = Network,
         .title = {L"Multicast DNS (mDNS) off", L"إيقاف DNS متعدد البث (mDNS)"},
         .description =
             {L"Windows no longer sends or answers mDNS queries, with which devices on the local network are "
              L"found by names ending in .local.",
              L"لم يعد Windows يرسل استعلامات mDNS أو يجيب عنها، وهي التي يُعثر بها على الأجهزة في الشبكة "
              L"المحلية بأسماء تنتهي بـ local."},
         .affects = {Affects(
             Tag::Network,
             L"Devices known by .local names, such as some printers, cast targets and smart home devices, "
             L"may no longer be found.",
             L"قد يتعذر العثور على الأجهزة المعروفة بأسماء تنتهي بـ local، مثل بعض الطابعات وأجهزة البث "
             L"والأجهزة المنزلية الذكية.")},
         .items = {Row(MaximumRegistryTable, 15)}},
        {.id = "netbios-off",
         .category = Network,
         .title = {L"NetBIOS over TCP/IP off", L"إيقاف NetBIOS عبر TCP/IP"},
         .description =
             {L"NetBIOS over TCP/IP is set to off; names on the local network are resolved through DNS "
              L"instead.",
              L"يُضبط NetBIOS عبر TCP/IP على الإيقاف، وتُحَل أسماء الشبكة المحلية عبر DNS بدلًا منه."},
         .affects = {Affects(
             Tag::Network,
             L"Older devices and shared folders that can only be found by their NetBIOS names may no longer "
             L"be reachable.",
             L"قد يتعذر الوصول إلى الأجهزة والمجلدات المشتركة القديمة التي لا يُعثر عليها إلا بأسماء "
             L"NetBIOS.")},
         .items = {Row(MaximumRegistryTable, 16)}},
        {.id = "network-services-automatic",
         .category = Network,
         .title = {L"Network services start automatically", L"تشغيل خدمات الشبكة تلقائيًا"},
         .description =
             {L"The DHCP, DNS, Wi-Fi, connection manager, IP helper and Workstation services, which connect "
              L"this PC to networks and shared folders, start automatically.",
              L"تبدأ تلقائيًا خدمات DHCP وDNS وWi-Fi ومدير الاتصالات ومساعد IP ومحطة العمل (Workstation)، "
              L"التي تصل هذا الجهاز بالشبكات والمجلدات المشتركة."},
         .affects = {},
         .items = {Service(L"Dhcp"), Service(L"Dnscache"), Service(L"nsi"), Service(L"Wcmsvc"),
                   Service(L"WlanSvc"), Service(L"iphlpsvc"), Service(L"LanmanWorkstation")}},
        {.id = "network-services-on-demand",
         .category = Network,
         .title = {L"Other network services start on demand", L"تشغيل خدمات الشبكة الأخرى عند الحاجة"},
         .description =
             {L"The network location, VPN, mobile hotspot, network discovery, WebDAV and other network "
              L"services start when they are needed.",
              L"تبدأ خدمات موقع الشبكة وVPN ونقطة الاتصال الفعّالة للجوال واكتشاف الشبكة وWebDAV وغيرها من "
              L"خدمات الشبكة عند الحاجة إليها."},
         .affects = {},
         .items = {Service(L"TermService"),
                   Service(L"SessionEnv"),
                   Service(L"UmRdpService"),
                   Service(L"lmhosts"),
                   Service(L"NlaSvc"),
                   Service(L"netprofm"),
                   Service(L"WinHttpAutoProxySvc"),
                   Service(L"Netman"),
                   Service(L"NcSvc"),
                   Service(L"NcbService"),
                   Service(L"NcdAutoSetup"),
                   Service(L"NetSetupSvc"),
                   Service(L"RasMan"),
                   Service(L"RasAuto"),
                   Service(L"SstpSvc"),
                   Service(L"IKEEXT"),
                   Service(L"PolicyAgent"),
                   Service(L"EapHost"),
                   Service(L"dot3svc"),
                   Service(L"wcncsvc"),
                   Service(L"wlpasvc"),
                   Service(L"icssvc"),
                   Service(L"SharedAccess"),
                   Service(L"ALG"),
                   Service(L"IpxlatCfgSvc"),
                   Service(L"fdPHost"),
                   Service(L"FDResPub"),
                   Service(L"SSDPSRV"),
                   Service(L"upnphost"),
                   Service(L"lltdsvc"),
                   Service(L"WebClient"),
                   Service(L"Browser"),
                   Service(L"HomeGroupListener"),
                   Service(L"HomeGroupProvider"),
                   Service(L"PNRPsvc"),
                   Service(L"PNRPAutoReg"),
                   Service(L"p2psvc"),
                   Service(L"p2pimsvc"),
                   Service(L"PeerDistSvc"),
                   Service(L"QWAVE"),
                   Service(L"SNMPTRAP")}},
        {.id = "data-usage-monitoring-on",
         .category = Network,
         .title = {L"Data usage monitoring on", L"تشغيل مراقبة استخدام البيانات"},
         .description =
             {L"The data usage service and its network driver start automatically, so Settings can show how "
              L"much data each app uses.",
              L"تبدأ خدمة استخدام البيانات وبرنامج تشغيل الشبكة الخاص بها تلقائيًا، ليعرض تطبيق الإعدادات "
              L"كمية البيانات التي يستخدمها كل تطبيق."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 57), Service(L"DusmSvc")}},
        {.id = "wifi-sense-off",
         .category = Network,
         .title = {L"Wi-Fi Sense off", L"إيقاف Wi-Fi Sense"},
         .description =
             {L"The Wi-Fi Sense of Windows 10 no longer connects to suggested open hotspots or shares "
              L"reports about them. Later versions of Windows no longer include it.",
              L"لم يعد Wi-Fi Sense في Windows 10 يتصل بنقاط الاتصال المفتوحة المقترحة ولا يشارك تقارير عنها. "
              L"ولم تعد الإصدارات الأحدث من Windows تتضمنه."},
         .affects = {},
         .items = {Rows(CommonRegistryTable, 81, 82)}},
    };
}

Features PowerFeatures() {
    return {
        {.id = "processor-maximum-capped",
         .category = Power,
         .title = {L"Processor capped at 99 %", L"تحديد أداء المعالج عند 99 ٪"},
         .description =
             {L"Where the active power plan lets the processor run at 100 %, it is set to 99 %. On most PCs "
              L"this stops the turbo boost: the processor runs cooler and quieter, but slower under heavy "
              L"load.",
              L"حيثما تسمح خطة الطاقة النشطة بتشغيل المعالج بنسبة 100 ٪ تُضبط على 99 ٪. وفي معظم الأجهزة "
              L"يوقف ذلك التعزيز التوربيني، فيعمل المعالج بحرارة وضجيج أقل، لكنه يصبح أبطأ تحت الحمل "
              L"الثقيل."},
         .affects = {},
         .items = {BuiltInItem::ProcessorMaximum}},
        // https://learn.microsoft.com/en-us/windows/client-management/mdm/policy-csp-privacy#letappsruninbackground
        {.id = "background-apps-off",
         .category = Power,
         .title = {L"Background apps off", L"إيقاف التطبيقات في الخلفية"},
         .description =
             {L"Store apps can no longer run in the background; they work only while they are open.",
              L"لم يعد بإمكان تطبيقات Store العمل في الخلفية، فهي تعمل فقط وهي مفتوحة."},
         .affects = {Affects(
             Tag::Notifications,
             L"Apps such as Mail, Calendar and chat apps no longer update or notify you while they are "
             L"closed.",
             L"لم تعد تطبيقات مثل البريد والتقويم وتطبيقات الدردشة تُحدِّث محتواها أو ترسل إليك إشعارات وهي "
             L"مغلقة.")},
         .items = {Rows(MaximumRegistryTable, 33, 37)}},
        {.id = "defender-scan-load-limited",
         .category = Power,
         .title = {L"Lighter Defender scheduled scans", L"فحص مجدول أخف في Microsoft Defender"},
         .description =
             {L"The scheduled scans of Microsoft Defender use at most 25 % of the processor and start only "
              L"while the PC is idle. Real-time protection is unchanged.",
              L"تستخدم عمليات الفحص المجدولة في Microsoft Defender ما لا يزيد على 25 ٪ من المعالج، ولا تبدأ "
              L"إلا والجهاز خامل. لا تتغير الحماية في الوقت الحقيقي."},
         .affects = {},
         .items = {Row(CommonRegistryTable, 137), Row(CommonRegistryTable, 141)}},
        {.id = "page-file-kept-at-shutdown",
         .category = Power,
         .title = {L"Page file not cleared at shutdown", L"عدم مسح ملف ترحيل الصفحات عند إيقاف التشغيل"},
         .description =
             {L"Windows does not wipe the page file when it shuts down, which keeps shutdown fast. This is "
              L"the default of Windows.",
              L"لا يمسح Windows ملف ترحيل الصفحات عند إيقاف التشغيل، مما يُبقي إيقاف التشغيل سريعًا. وهذا هو "
              L"الإعداد الافتراضي في Windows."},
         .affects = {Affects(
             Tag::Security,
             L"If you had Windows wipe the page file at shutdown, the data left in it is no longer erased.",
             L"إن كنت قد ضبطت Windows على مسح ملف ترحيل الصفحات عند إيقاف التشغيل، فلم تعد البيانات المتبقية "
             L"فيه تُمحى.")},
         .items = {Row(CommonRegistryTable, 56)}},
        {.id = "ntfs-memory-usage-default",
         .category = Power,
         .title = {L"NTFS memory use at its default", L"استخدام NTFS للذاكرة على الوضع الافتراضي"},
         .description =
             {L"The memory usage setting of NTFS is set to its default level; nothing visible changes.",
              L"يُضبط إعداد استخدام NTFS للذاكرة على مستواه الافتراضي، ولا يتغير شيء ظاهر."},
         .affects = {},
         .items = {Row(StandardRegistryTable, 20)}},
    };
}

Features CleanupFeatures() {
    return {
        {.id = "empty-recycle-bin",
         .category = Cleanup,
         .title = {L"Empty the Recycle Bin", L"إفراغ سلة المحذوفات"},
         .description =
             {L"On every apply, the files in the Recycle Bin of the Windows drive are deleted for good.",
              L"عند كل تطبيق تُحذف نهائيًا الملفات الموجودة في سلة المحذوفات على محرك أقراص Windows."},
         .affects = {},
         .items = {BuiltInItem::RecycleBin}},
        {.id = "clean-temp-folders",
         .category = Cleanup,
         .title = {L"Clean the temporary folders", L"تنظيف المجلدات المؤقتة"},
         .description =
             {L"On every apply, the temporary files that Windows and apps leave in the Windows Temp folder "
              L"and in your own temporary folder are deleted.",
              L"عند كل تطبيق تُحذف الملفات المؤقتة التي يتركها Windows والتطبيقات في مجلد Temp الخاص بـ "
              L"Windows وفي مجلدك المؤقت."},
         .affects = {},
         .items = {BuiltInItem::TempFolders}},
        {.id = "clean-prefetch-folder",
         .category = Cleanup,
         .title = {L"Clean the Prefetch folder", L"تنظيف مجلد Prefetch"},
         .description =
             {L"On every apply, the Prefetch folder, where Windows notes how apps start, is emptied; the "
              L"next start of each app may be a little slower.",
              L"عند كل تطبيق يُفرَّغ مجلد Prefetch، الذي يسجّل فيه Windows طريقة بدء التطبيقات، وقد يصبح "
              L"التشغيل التالي لكل تطبيق أبطأ قليلًا."},
         .affects = {},
         .items = {BuiltInItem::PrefetchFolder}},
    };
}

Features AppFeatures() {
    return {
        {.id = "remove-preinstalled-apps",
         .category = Apps,
         .title = {L"Remove preinstalled apps", L"إزالة التطبيقات المثبّتة مسبقًا"},
         .description =
             {L"When you confirm it, preinstalled Store apps such as Xbox, Bing News and Weather, Clipchamp, "
              L"Teams, Outlook, Phone Link, Solitaire, Get Help and Feedback Hub are removed from your "
              L"account. They can be installed again from the Microsoft Store.",
              L"عندما تؤكد ذلك تُزال من حسابك تطبيقات Store المثبّتة مسبقًا، مثل Xbox وBing News وBing "
              L"Weather وClipchamp وTeams وOutlook وPhone Link وSolitaire وGet Help وFeedback Hub. ويمكن "
              L"تثبيتها مجددًا من Microsoft Store."},
         .affects =
             {Affects(Tag::StoreApps,
                      L"The listed apps are removed with their data until you install them again.",
                      L"تُزال التطبيقات المدرجة مع بياناتها إلى أن تثبّتها من جديد."),
              Affects(
                  Tag::Gaming,
                  L"The Xbox app, the Game Bar and the Xbox identity provider are removed: Win+G and Xbox "
                  L"sign-in in PC games stop working.",
                  L"يُزال تطبيق Xbox وGame Bar وموفّر هوية Xbox، فيتوقف Win+G وتسجيل الدخول إلى Xbox في "
                  L"ألعاب الكمبيوتر عن العمل."),
              Affects(Tag::RemoteAccess, L"Quick Assist is removed, so no one can help you through it.",
                      L"يُزال تطبيق Quick Assist، فلا يستطيع أحد مساعدتك من خلاله."),
              Affects(Tag::DiagnosticsSupport, L"Get Help and Feedback Hub are removed.",
                      L"يُزال تطبيقا Get Help وFeedback Hub."),
              Affects(Tag::DeveloperTools, L"Dev Home and Power Automate for desktop are removed.",
                      L"يُزال تطبيقا Dev Home وPower Automate لسطح المكتب.")},
         .items = {BuiltInItem::AppRemoval, Rows(PreinstalledPackageNames, 0, 65)}},
        {.id = "app-archiving-off",
         .category = Apps,
         .title = {L"Automatic archiving of unused apps off",
                   L"إيقاف الأرشفة التلقائية للتطبيقات غير المستخدمة"},
         .description =
             {L"Windows no longer archives the apps you rarely use to save space; they stay fully installed.",
              L"لم يعد Windows يؤرشف التطبيقات التي نادرًا ما تستخدمها لتوفير المساحة، فتبقى مثبّتة "
              L"بالكامل."},
         .affects = {},
         .items = {BuiltInItem::AppOffloading}},
        {.id = "velmora-applied-record",
         .category = Apps,
         .title = {L"Velmora's record of the applied profile", L"سجل Velmora للملف المطبَّق"},
         .description =
             {L"Velmora notes which profile it applied and at which revision, so that it can offer an update "
              L"and step down later.",
              L"يسجّل Velmora الملف الذي طبّقه ومراجعته، ليعرض التحديث لاحقًا ويتيح الرجوع إلى ملف أدنى."},
         .affects = {},
         .items = {BuiltInItem::AppliedProfileRecord},
         .keepable = false},
    };
}

} // namespace

// The categories in the order of FeatureCategory; within each, the more noticeable changes come first.
std::vector<FeatureDefinition> MakeFeatureTable() {
    std::vector<FeatureDefinition> table;
    for (Features (*category)() :
         {PrivacyAndDiagnostics, AdsAndSuggestions, SearchFeatures, StartTaskbarAndWidgets,
          ExplorerAndDesktop, EdgeAndBrowsers, OfficeAndPrograms, GamingFeatures, WindowsUpdateFeatures,
          ServiceFeatures, ScheduledTaskFeatures, NetworkFeatures, PowerFeatures, CleanupFeatures,
          AppFeatures, MakeOptionalFeatures}) {
        for (FeatureDefinition& feature : category()) {
            table.push_back(std::move(feature));
        }
    }
    return table;
}

} // namespace Velmora
