// The optional features ("Windows AI"): in no profile, set only where a person or a policy includes them,
// and only on the Windows builds they apply to. Every row rests on the Microsoft page cited beside it;
// values those pages do not document are left out, however often other tools set them.

#include "tweaks/features.h"
#include "tweaks/run_controller_tables.h"

namespace Velmora {
namespace {

constexpr RegistryRoot kCurrentUser = 1;
constexpr RegistryRoot kLocalMachine = 2;

// Windows builds (CurrentBuild) the features start at.
constexpr std::uint32_t kWindows11Version22H2 = 22621;
constexpr std::uint32_t kWindows11Version24H2 = 26100;

constexpr wchar_t kWindowsAiPolicy[] = L"SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsAI";

std::wstring WindowsAi(std::wstring_view value) {
    return std::wstring(kWindowsAiPolicy) + L":" + std::wstring(value);
}

} // namespace

std::vector<RegistryDwordSetting> MakeOptionalRegistryTable() {
    return {
        // Policy CSP WindowsAI, AllowRecallEnablement: device only, 0 = Recall is not available (its
        // files are removed and saved snapshots deleted at the next restart); Windows 11 24H2 and later.
        // https://learn.microsoft.com/windows/client-management/mdm/policy-csp-windowsai
        // https://learn.microsoft.com/windows/client-management/manage-recall
        {kLocalMachine, WindowsAi(L"AllowRecallEnablement"), 0},
        // Policy CSP WindowsAI, DisableAIDataAnalysis ("Turn off saving snapshots for use with Recall"):
        // device and user, 1 = no snapshots are saved; 24H2 and later. Same pages.
        {kLocalMachine, WindowsAi(L"DisableAIDataAnalysis"), 1},
        {kCurrentUser, WindowsAi(L"DisableAIDataAnalysis"), 1},
        // Policy CSP WindowsAI, DisableClickToDo: device and user, 1 = Click to Do is disabled. The key is
        // that of the policy's category (Windows Components > Windows AI), as for the Recall policies.
        // https://learn.microsoft.com/windows/client-management/manage-click-to-do
        {kLocalMachine, WindowsAi(L"DisableClickToDo"), 1},
        {kCurrentUser, WindowsAi(L"DisableClickToDo"), 1},
        // "set the DisableAIFeatures registry value to 1 under HKLM:\SOFTWARE\Policies\WindowsNotepad",
        // machine-wide; Windows 11 22H2 and later, Notepad 11.2503.16.0 and later.
        // https://learn.microsoft.com/windows/client-management/manage-notepad
        {kLocalMachine, L"SOFTWARE\\Policies\\WindowsNotepad:DisableAIFeatures", 1},
        // Microsoft Edge policies CopilotPageContext (Edge 124 and later) and EdgeEntraCopilotPageContext
        // (Edge 130 and later): disabled (0) = Copilot cannot read the content of the page. The former
        // CopilotCDPPageContext is obsolete since Edge 132 and left out.
        // https://learn.microsoft.com/deployedge/microsoft-edge-browser-policies/copilotpagecontext
        // https://learn.microsoft.com/deployedge/microsoft-edge-browser-policies/edgeentracopilotpagecontext
        {kLocalMachine, L"SOFTWARE\\Policies\\Microsoft\\Edge:CopilotPageContext", 0},
        {kLocalMachine, L"SOFTWARE\\Policies\\Microsoft\\Edge:EdgeEntraCopilotPageContext", 0},
    };
}

std::vector<RegistryListEntry> MakeOptionalListTable() {
    return {
        // Policy CSP Settings/PageVisibilityList ("Settings Page Visibility"), a list that policies and
        // administrators write too: "hide:" and page ids without "ms-settings:", joined by semicolons.
        // https://learn.microsoft.com/windows/client-management/mdm/policy-csp-settings
        // The page "Customize Copilot key on keyboard" is
        // ms-settings:personalization-textinput-copilot-hardwarekey.
        // https://learn.microsoft.com/windows/apps/develop/launch/launch-settings
        {kLocalMachine,
         L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer:SettingsPageVisibility",
         L"personalization-textinput-copilot-hardwarekey"},
    };
}

std::vector<FeatureDefinition> MakeOptionalFeatures() {
    using enum CatalogueTable;
    const auto value = [](std::wstring_view spec) { return NamedRows{OptionalRegistryTable, spec}; };
    return {
        {.id = "recall-off",
         .category = FeatureCategory::WindowsAi,
         .title = {L"Recall off", L"إيقاف Recall"},
         .description =
             {L"Recall is no longer available on this PC: Windows removes it and deletes the "
              L"snapshots it saved. Takes effect after a restart.",
              L"لم تعد ميزة Recall متاحة على هذا الجهاز: يزيلها Windows ويحذف اللقطات التي حفظتها. "
              L"يسري ذلك بعد إعادة التشغيل."},
         .items = {value(L"SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsAI:AllowRecallEnablement")},
         .optional = true,
         .builds = {kWindows11Version24H2, 0}},
        {.id = "recall-snapshots-off",
         .category = FeatureCategory::WindowsAi,
         .title = {L"Recall snapshots off", L"إيقاف لقطات Recall"},
         .description = {L"Windows no longer saves snapshots of your screen for Recall, for this PC and for "
                         L"each user; snapshots already saved are deleted.",
                         L"لم يعد Windows يحفظ لقطات لشاشتك من أجل Recall، على مستوى الجهاز ولكل مستخدم، "
                         L"وتُحذف اللقطات المحفوظة من قبل."},
         .items = {value(L"SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsAI:DisableAIDataAnalysis")},
         .optional = true,
         .builds = {kWindows11Version24H2, 0}},
        {.id = "click-to-do-off",
         .category = FeatureCategory::WindowsAi,
         .title = {L"Click to Do off", L"إيقاف Click to Do"},
         .description = {L"Click to Do, which offers AI actions on what is on your screen, is turned off for "
                         L"this PC and for each user.",
                         L"تُوقَف ميزة Click to Do، التي تعرض إجراءات الذكاء الاصطناعي على ما يظهر في شاشتك، "
                         L"على مستوى الجهاز ولكل مستخدم."},
         .items = {value(L"SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsAI:DisableClickToDo")},
         .optional = true,
         .builds = {kWindows11Version24H2, 0}},
        {.id = "copilot-key-setting-hidden",
         .category = FeatureCategory::WindowsAi,
         .title = {L"Copilot key setting hidden", L"إخفاء إعداد مفتاح Copilot"},
         .description = {L"Settings no longer shows the page that chooses what the Copilot key opens. Pages "
                         L"hidden by others stay hidden.",
                         L"لم تعد الإعدادات تعرض الصفحة التي تحدد ما يفتحه مفتاح Copilot، وتبقى الصفحات التي "
                         L"أخفتها جهات أخرى مخفية."},
         .items = {NamedRows{
             OptionalListTable,
             L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer:SettingsPageVisibility"}},
         .optional = true,
         .builds = {kWindows11Version22H2, 0}},
        {.id = "notepad-ai-off",
         .category = FeatureCategory::WindowsAi,
         .title = {L"AI features in Notepad off", L"إيقاف ميزات الذكاء الاصطناعي في المفكرة"},
         .description = {L"Notepad no longer offers to rewrite, summarise or write text with AI.",
                         L"لم تعد المفكرة تعرض إعادة صياغة النص أو تلخيصه أو كتابته بالذكاء الاصطناعي."},
         .items = {value(L"SOFTWARE\\Policies\\WindowsNotepad:DisableAIFeatures")},
         .optional = true,
         .builds = {kWindows11Version22H2, 0}},
        {.id = "edge-copilot-page-access-off",
         .category = FeatureCategory::WindowsAi,
         .title = {L"Copilot in Edge cannot read pages", L"منع Copilot في Edge من قراءة الصفحات"},
         .description = {L"Copilot in Microsoft Edge's sidebar can no longer read the page you are on, in "
                         L"profiles signed in with a work or school account.",
                         L"لم يعد بإمكان Copilot في الشريط الجانبي لمتصفح Microsoft Edge قراءة الصفحة التي "
                         L"تتصفحها، في الملفات الشخصية المسجّلة بحساب عمل أو مؤسسة تعليمية."},
         .items = {value(L"SOFTWARE\\Policies\\Microsoft\\Edge:CopilotPageContext"),
                   value(L"SOFTWARE\\Policies\\Microsoft\\Edge:EdgeEntraCopilotPageContext")},
         .optional = true,
         .needsEdge = true},
    };
}

} // namespace Velmora
