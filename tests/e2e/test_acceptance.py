"""A first-time user goes through the whole program, in Arabic and in English: welcome, language,
terms, then Maximum (with the preinstalled apps option), Standard and Essential, one after the
other, with the system and the stored settings checked after each run."""

import unittest

from velmora_driver import SANDBOX, VelmoraTestCase, read_registry, read_setting

RUN_TIMEOUT_MS = 120000

ENGLISH = {
    "lang": "en_US.UTF-8", "welcome": "Welcome", "continue": "Continue", "agree": "Agree",
    "terms_box": "I have read and agree to the Velmora End-User License Agreement.",
    "cards": ["Essential Settings", "Standard Settings", "Maximum Settings"],
    "apply": "Apply", "before": "Before You Apply", "applying": "Applying Settings...", "success": "Settings Applied Successfully!",
    "restart": "Restart PC Now", "already": "Already Applied", "reapply": "Reapply Settings",
    "remove_apps": "Removes system bloatware (preinstalled apps) to make your system cleaner and more private. "
                   "You can reinstall any app later from the Microsoft Store.",
    "dialog": "Confirm Deletion of Pre-installed Apps", "delete": "Delele",
}
ARABIC = {
    "lang": "ar_SA.UTF-8", "welcome": "مرحبًا", "continue": "متابعة", "agree": "أوافق",
    "terms_box": "لقد قرأت ووافقت على اتفاقية استخدام برنامج Velmora (Velmora).",
    "cards": ["الإعدادات الأساسية", "الإعدادات القياسية", "الإعدادات القصوى"],
    "apply": "تطبيق", "before": "قبل التطبيق", "applying": "جارٍ تطبيق الإعدادات...", "success": "تم تطبيق الإعدادات بنجاح!",
    "restart": "إعادة تشغيل الجهاز الآن", "already": "تم التطبيق بالفعل", "reapply": "إعادة تطبيق الإعدادات",
    "remove_apps": "إزالة التطبيقات المدمجة (Bloatware) لجعل النظام أنظف وأكثر خصوصية. يمكنك إعادة تثبيت أي تطبيق "
                   "لاحقاً من متجر مايكروسوفت.",
    "dialog": "تأكيد حذف التطبيقات المثبته مسبقا", "delete": "حذف",
}

WINDOWS_UPDATE = "HKLM\\SOFTWARE\\Microsoft\\WindowsUpdate\\UX\\Settings"
FEATURE_OVERRIDE = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\FeatureManagement\\Overrides\\4\\586118283"
SERVICES = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\"
STORE_CACHE = "HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CloudStore\\Store\\Cache\\DefaultAccount"
TASK = "\\Microsoft\\Windows\\Maps\\MapsUpdateTask"
# An enabled task, as Wine's schtasks registers it from XML; Wine keeps the definition in a file of its own.
TASK_XML = ('<?xml version="1.0"?>\n<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">'
            "<Settings><Enabled>true</Enabled></Settings><Actions><Exec><Command>cmd.exe</Command></Exec></Actions></Task>")
TASK_FILE = "drive_c/windows/system32/tasks/Microsoft/Windows/Maps/MapsUpdateTask"
LEFTOVERS = ["C:\\windows\\temp\\velmora-acceptance.tmp", "C:\\windows\\Prefetch\\VELMORA-ACCEPTANCE.pf"]

# What each profile leaves behind: (key, value, data as reg.exe shows it, or None for absent).
EXPECTED = {
    "Maximum": [(WINDOWS_UPDATE, "DeferFeatureUpdatesPeriodInDays", "0x2da"), (FEATURE_OVERRIDE, "EnabledState", "0x1"),
                (FEATURE_OVERRIDE, "EnabledStateOptions", "0x0"), (SERVICES + "Spooler", "Start", "0x3"),
                (SERVICES + "LanmanServer", "Start", "0x3"),
                ("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize", "EnableTransparency", "0x0")],
    "Standard": [(WINDOWS_UPDATE, "DeferFeatureUpdatesPeriodInDays", "0xb4"), (FEATURE_OVERRIDE, "EnabledState", None),
                 (SERVICES + "Spooler", "Start", "0x2"), (SERVICES + "LanmanServer", "Start", "0x2"),
                 ("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize", "EnableTransparency", "0x1")],
    "Essential": [(WINDOWS_UPDATE, "DeferFeatureUpdatesPeriodInDays", "0x1e"), (FEATURE_OVERRIDE, "EnabledState", None),
                  ("HKCU\\Software\\Policies\\Microsoft\\Windows\\EdgeUI", "DisableMFUTracking", None),
                  (SERVICES + "Spooler", "Start", "0x2")],
}
PROFILE_INDEX = {"Essential": 0, "Standard": 1, "Maximum": 2}
REVISION_KEY = {"Essential": ("AppliedTaskBuildEssential", "0x78"), "Standard": ("AppliedTaskBuildStandard", "0x82"),
                "Maximum": ("AppliedTaskBuildMaximum", "0x78")}


class AcceptanceTest(VelmoraTestCase):
    def tearDown(self):
        super().tearDown()
        self.sandbox.run("wine", "schtasks", "/delete", "/tn", TASK, "/f")

    def start_in(self, texts):
        return self.start(texts["lang"])

    def exists(self, path):
        return self.sandbox.run("wine", "cmd", "/c", f"if exist {path} (echo present) else (echo gone)").stdout

    def prepare_run(self):
        """What a run must change: an enabled listed task, leftovers in the cleaned folders, the Store cache."""
        self.sandbox.write("drive_c/velmora-task.xml", TASK_XML)
        self.assertEqual(self.sandbox.run("wine", "schtasks", "/create", "/xml", "C:\\velmora-task.xml", "/tn", TASK,
                                          "/f").returncode, 0)
        for path in LEFTOVERS:
            folder = path.rsplit("\\", 1)[0]
            self.sandbox.run("wine", "cmd", "/c", f"if not exist {folder} mkdir {folder}")
            self.sandbox.run("wine", "cmd", "/c", f"echo leftover> {path}")
            self.assertIn("present", self.exists(path), f"{path} could not be made")
        self.sandbox.run("wine", "reg", "add", STORE_CACHE, "/v", "Marker", "/t", "REG_DWORD", "/d", "1", "/f")

    def check_system_after(self, profile, removal_ran):
        for key, value, data in EXPECTED[profile]:
            self.assertEqual(read_registry(self.sandbox, key, value), data, f"{profile}: {key}\\{value}")
        self.assertIn("<Enabled>false</Enabled>", self.sandbox.read(TASK_FILE), "the listed task is disabled")
        for path in LEFTOVERS:
            self.assertIn("gone", self.exists(path), f"{profile}: {path} was cleaned")
        cache = read_registry(self.sandbox, STORE_CACHE, "Marker")
        self.assertEqual(cache is None, removal_ran, "the app removal deletes the Store cache first")
        self.assertEqual(read_setting(self.sandbox, "AppliedTask"), hex(PROFILE_INDEX[profile]))
        key, revision = REVISION_KEY[profile]
        self.assertEqual(read_setting(self.sandbox, key), revision)
        # Every change was journaled first, and the journal was closed when the run ended.
        journals = sorted((SANDBOX / "prefix" / "drive_c" / "ProgramData" / "Velmora" / "Journal").glob(f"*-{profile}.json"))
        self.assertTrue(journals, f"{profile}: the window's run left no journal")
        self.assertIn('"state":"succeeded"', journals[-1].read_text(encoding="utf-8"))

    def apply(self, texts, profile, tag, remove_apps=False):
        app = self.start_in(texts)
        app.wait_for(texts["cards"][0])
        card = texts["cards"][PROFILE_INDEX[profile]]
        app.click(card)
        if remove_apps:
            app.click(texts["remove_apps"])
            self.assertTrue(app.click_in_dialog(texts["dialog"], texts["delete"], f"{tag}-confirm-removal"),
                            "the confirmation opened")
            app.wait_until(lambda: app.find(texts["remove_apps"])["checked"], what="the option to stay ticked")
        self.prepare_run()
        app.screenshot(f"{tag}-{profile.lower()}-selected")
        # What the run turns off is asked about first; Maximum turns off some things people use.
        asked = app.apply(texts["apply"], texts["before"], shot=f"{tag}-{profile.lower()}-before")
        self.assertTrue(asked or profile != "Maximum", "Maximum named what it turns off before it ran")
        app.wait_for(texts["applying"], 5000)
        app.screenshot(f"{tag}-{profile.lower()}-applying")
        app.wait_for(texts["success"], RUN_TIMEOUT_MS)
        self.assertTrue(app.visible(texts["restart"]))
        app.screenshot(f"{tag}-{profile.lower()}-success")
        self.stop()
        self.check_system_after(profile, removal_ran=remove_apps)

        # The next start shows the profile as applied.
        app = self.start_in(texts)
        app.wait_for(texts["already"])
        self.assertTrue(app.visible(texts["reapply"]))
        self.assertTrue(app.find(card)["visible"])
        app.screenshot(f"{tag}-{profile.lower()}-already-applied")
        self.stop()

    def walk_through(self, texts, tag):
        app = self.start_in(texts)
        welcome = app.wait_for(texts["welcome"])
        self.assertEqual(welcome["rtl"], texts is ARABIC)
        app.screenshot(f"{tag}-welcome")
        app.click(texts["continue"])
        app.wait_for(texts["agree"])
        app.screenshot(f"{tag}-terms")
        app.click(texts["terms_box"])
        app.wait_until(lambda: app.find(texts["agree"])["enabled"], what="Agree to be enabled")
        app.click(texts["agree"])
        app.wait_for(texts["cards"][0])
        app.screenshot(f"{tag}-profiles")
        self.stop()

        self.apply(texts, "Maximum", tag, remove_apps=True)
        self.apply(texts, "Standard", tag)
        self.apply(texts, "Essential", tag)

    def test_arabic_user(self):
        self.walk_through(ARABIC, "acceptance-ar")

    def test_english_user(self):
        self.walk_through(ENGLISH, "acceptance-en")


if __name__ == "__main__":
    unittest.main()
