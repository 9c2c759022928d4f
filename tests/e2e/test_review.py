"""The window around a run, in English (light, 100 %) and Arabic (dark, 150 %): the review of Standard's
features and its export, a feature kept as it is, an optional Windows AI feature ticked, Apply of exactly that plan with its progress, one feature
put back from the run's details, a value changed back from outside and Reapply, the restore of the last run,
closing during a run, and the details of a failed run. Every new page is photographed; the review also in
the other theme and scale."""

import json
import unittest

from velmora_driver import SANDBOX, VelmoraTestCase, read_registry, seed_settings

RUN_MS = 120000
PREPARED = ("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\DataCollection", "AllowTelemetry")
PERSONALIZE = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize"
DESKTOP = "HKCU\\Control Panel\\Desktop"
# The Standard feature kept on the Review page, and the one put back from the run's details.
WEB_RESULTS = ("HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Search", "DisableWebSearch")
WEB_VALUES = ("DisableWebSearch", "ConnectedSearchUseWeb", "DisableSearchBoxSuggestions")
BING = ("HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Search", "BingSearchEnabled")
CHOICES = ("HKLM\\SOFTWARE\\Velmora\\Choices", "Keep")
INCLUDED = ("HKLM\\SOFTWARE\\Velmora\\Choices", "Include")
# The optional feature ticked on the Review page, on a Windows build that has it.
VERSION = ("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentBuild")
SNAPSHOTS = ("SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsAI", "DisableAIDataAnalysis")
TEMP = SANDBOX / "prefix" / "drive_c" / "windows" / "temp"
JOURNALS = SANDBOX / "prefix" / "drive_c" / "ProgramData" / "Velmora" / "Journal"
ROOTS = ["HKCR", "HKCU", "HKLM", "HKU"]

ENGLISH = dict(lang="en_US.UTF-8", language=1, dark=False, dpi=96, tag="review-en", standard="Standard Settings",
               essential="Essential Settings", review="Review Changes", features="Features",
               diagnostic="Diagnostic data kept to the minimum", web="Web results in Search off",
               windows_ai="Windows AI", snapshots="Recall snapshots off", not_included="Not included",
               bing="Bing results in Start search off", before="Before You Apply",
               put_back="Put Back", put_back_done="was put back to what it was before the run",
               only="Only what changes", export="Export…", export_title="Export the Planned Changes",
               apply="Apply", reapply="Reapply Settings", success="Settings Applied Successfully!",
               failure="Operation Failed", details="Show Details", details_list="Details of the result",
               logs="Open Log Folder",
               done="Done", changed="1 setting was changed since you applied it",
               restore="Restore Previous Settings", restore_title="Restore Previous Settings?",
               restore_button="Restore", restored="Previous Settings Restored", close_title="A Run Is Under Way",
               stop="Stop and Close", failed="Failed", error="(error 1021)",
               steps=("Registry", "Services", "Scheduled tasks", "Power", "Cleanup", "Commands", "Apps",
                      "Velmora settings"))
ARABIC = dict(lang="ar_SA.UTF-8", language=0, dark=True, dpi=144, tag="review-ar", standard="الإعدادات القياسية",
              essential="الإعدادات الأساسية", review="مراجعة التغييرات", features="الميزات",
              diagnostic="تقليل بيانات التشخيص إلى الحد الأدنى", web="إيقاف نتائج الويب في البحث",
              windows_ai="الذكاء الاصطناعي", snapshots="إيقاف لقطات Recall", not_included="غير مُضمَّن",
              bing="إيقاف نتائج Bing في بحث قائمة ابدأ", before="قبل التطبيق",
              put_back="إرجاع", put_back_done="إلى ما كانت عليه قبل التشغيل",
              only="ما سيتغيّر فقط", export="تصدير…", export_title="تصدير التغييرات المخطّطة", apply="تطبيق",
              reapply="إعادة تطبيق الإعدادات", success="تم تطبيق الإعدادات بنجاح!", failure="فشلت العملية",
              details="عرض التفاصيل", details_list="تفاصيل النتيجة", done="تم", logs="فتح مجلد السجلات",
              changed="تغيّر إعداد واحد منذ أن طبّقتها", restore="استعادة الإعدادات السابقة",
              restore_title="استعادة الإعدادات السابقة؟", restore_button="استعادة",
              restored="تمت استعادة الإعدادات السابقة", close_title="عملية قيد التنفيذ", stop="إيقاف وإغلاق",
              failed="فشل", error="(الخطأ 1021)",
              steps=("السجل", "الخدمات", "المهام المجدولة", "الطاقة", "التنظيف", "الأوامر", "التطبيقات",
                     "إعدادات Velmora"))


class ReviewTest(VelmoraTestCase):
    def setUp(self):
        super().setUp()
        self.build = read_registry(self.sandbox, *VERSION)

    def tearDown(self):
        super().tearDown()
        for key, value in ((PERSONALIZE, "AppsUseLightTheme"), (DESKTOP, "LogPixels"), PREPARED, BING):
            self.reg("delete", key, "/v", value)
        self.reg("delete", "HKLM\\SOFTWARE\\Policies")
        self.reg("delete", "HKCU\\" + SNAPSHOTS[0])
        self.reg("delete", CHOICES[0])
        if self.build:
            self.reg("add", VERSION[0], "/v", VERSION[1], "/t", "REG_SZ", "/d", self.build)

    def reg(self, *args):
        return self.sandbox.run("wine", "reg", *args, "/f")

    def look(self, dark, dpi):
        self.reg("add", PERSONALIZE, "/v", "AppsUseLightTheme", "/t", "REG_DWORD", "/d", "0" if dark else "1")
        self.reg("add", DESKTOP, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi))

    def run_to(self, app, t, button, result=None, shot=None):
        """Clicks `button`, answers Apply to the question of what the run turns off if it asks, waits for
        the progress to name a step, then for `result`."""
        app.click(button)  # the first click may only bring the window to the front
        app.click(button)
        bar = lambda: app.find("class:msctls_progress32") or {"visible": False}  # the last run's stays, hidden
        started = lambda: bar()["visible"] and bar()["text"].startswith(tuple(step + " — " for step in t["steps"]))
        question = "hex:" + t["before"].encode().hex()
        asked = lambda: (app.probe("wait-window", question, "0") or [{}])[0].get("found", False)
        app.wait_until(lambda: started() or (asked() and app.click_in_dialog(t["before"], t["apply"])), 60,
                       "the question or a step name")
        app.wait_until(started, 60, "a step name")
        if shot:
            app.screenshot(shot)
        if result:
            app.wait_for(result, RUN_MS)

    def select_feature(self, app, t, title):
        """Clicks the feature titled `title` in the Review page's list; its row's index."""
        index = next(i for i, row in enumerate(app.rows(t["features"])) if row[0] == title)
        app.click_row(t["features"], index)
        app.wait_until(lambda: app.text_containing(title).startswith(title), what=f"the details of {title!r}")
        return index

    def walk(self, t):
        tag = t["tag"]
        self.look(t["dark"], t["dpi"])
        self.reg("add", PREPARED[0], "/v", PREPARED[1], "/t", "REG_DWORD", "/d", "3")
        for key, value in (WEB_RESULTS, BING):  # not there before the run: kept, and put back, as absent
            self.reg("delete", key, "/v", value)
        self.reg("add", VERSION[0], "/v", VERSION[1], "/t", "REG_SZ", "/d", "26100")  # Recall's first build
        seed_settings(self.sandbox, t["language"])
        app = self.start(t["lang"])
        app.click(t["standard"])
        app.click(t["review"])
        app.wait_until(lambda: len(app.rows(t["features"])) > 40, 60, "the features")
        rows = app.rows(t["features"])
        optional = next(i for i, row in enumerate(rows) if row[0] == t["windows_ai"])
        self.assertTrue(all(row[-1] for row in rows[:optional] if row[-1] is not None),
                        "every feature of the profile is ticked at first")
        self.assertFalse(any(row[-1] for row in rows[optional:]), "no optional feature is")
        # A feature in full below the list: what it does, and each item now and after the run.
        self.select_feature(app, t, t["diagnostic"])
        item = PREPARED[0] + ": " + PREPARED[1]
        line = next(line for line in app.text_containing(item).splitlines() if item in line)
        self.assertTrue("0x00000003 (3)" in line and "0x00000000 (0)" in line, line)
        app.screenshot(f"{tag}-1-review")
        app.click(t["only"])
        app.wait_until(lambda: len(app.rows(t["features"])) < len(rows), what="only what changes")
        app.screenshot(f"{tag}-2-review-only-changes")

        # A feature cleared with Space is kept as it is: its row says so, and Apply leaves its items alone.
        web = self.select_feature(app, t, t["web"])
        app.keys("space")
        app.wait_until(lambda: app.rows(t["features"])[web][-1] is False, what="the feature to be cleared")
        app.screenshot(f"{tag}-2-review-kept")

        # An optional feature ticked with Space is included: its row says what the run sets.
        snapshots = self.select_feature(app, t, t["snapshots"])
        self.assertEqual(app.rows(t["features"])[snapshots][2], t["not_included"])
        app.keys("space")
        app.wait_until(lambda: app.rows(t["features"])[snapshots][-1] is True, what="the optional feature ticked")
        self.assertNotEqual(app.rows(t["features"])[snapshots][2], t["not_included"])
        app.screenshot(f"{tag}-2-review-included")

        # Exported through the Save As dialog, by the keyboard; then Apply applies exactly that plan.
        exported = SANDBOX / "prefix" / "drive_c" / f"{tag}.json"
        exported.unlink(missing_ok=True)
        app.click(t["export"])
        self.assertIsNotNone(app.wait_window(10000, t["export_title"]))
        app.keys("ctrl+a")
        self.sandbox.x11("xdotool", "type", "--delay", "40", f"C:\\{tag}.json")
        app.keys("Return")
        app.wait_until(exported.exists, what="the export")
        plan = json.loads(exported.read_text(encoding="utf-8"))
        self.assertEqual(plan["schemaVersion"], 1)
        self.run_to(app, t, t["apply"], t["success"], f"{tag}-3-progress")
        app.screenshot(f"{tag}-4-success")
        self.assertEqual(read_registry(self.sandbox, *CHOICES), "search-web-results-off", "saved when Apply is pressed")
        self.assertIsNone(read_registry(self.sandbox, *WEB_RESULTS), "a kept feature is not set")
        self.assertEqual(read_registry(self.sandbox, *INCLUDED), "recall-snapshots-off", "saved when Apply is pressed")
        for root in ("HKLM", "HKCU"):
            self.assertEqual(read_registry(self.sandbox, root + "\\" + SNAPSHOTS[0], SNAPSHOTS[1]), "0x1", root)
        self.assertEqual(read_registry(self.sandbox, *BING), "0x0")
        app.click(t["details"])
        app.wait_until(lambda: app.rows(t["details_list"]), what="the details")
        app.screenshot(f"{tag}-5-details")
        app.click(t["logs"])  # Explorer shows the folder of the run logs
        self.assertIsNotNone(app.wait_window(20000, "Logs"))
        app.probe("close", "hex:" + "Logs".encode().hex())
        changed = [e for e in plan["entries"] if e["item"]["kind"] == "registryValue" and e["readable"] and not e["inEffect"]
                   and " " not in e["item"]["value"] and e["item"]["value"] and e["item"]["value"] not in WEB_VALUES
                   and e["item"]["value"] != BING[1]]
        self.assertIn(PREPARED[0] + ": " + PREPARED[1], [e["description"] for e in changed])
        for e in changed:
            item, after = e["item"], e["after"]
            expected = hex(after["display"]) if "display" in after else None
            key = ROOTS[item["root"]] + "\\" + item["key"]
            self.assertEqual(read_registry(self.sandbox, key, item["value"]), expected, e["description"])

        # One feature put back from the run's details, to the value the PC had, and kept from then on.
        bing = next(i for i, row in enumerate(app.rows(t["details_list"])) if row[1] == t["bing"])
        app.select_row(t["details_list"], bing)
        app.wait_until(lambda: app.find(t["put_back"])["enabled"], what="Put Back for the selected feature")
        app.click(t["put_back"])
        app.wait_for(t["restored"], RUN_MS)
        app.screenshot(f"{tag}-5-put-back")
        said = [c["text"] for c in app.controls() if t["put_back_done"] in c["text"]]
        self.assertTrue(said and t["bing"] in said[0], said)
        self.assertIsNone(read_registry(self.sandbox, *BING), "the feature's value is as the PC had it")
        self.assertEqual(read_registry(self.sandbox, *CHOICES), "search-web-results-off\\0bing-in-start-search-off")
        self.stop()

        # Changed back from outside: the applied card says so, and Reapply sets it again.
        self.reg("add", PREPARED[0], "/v", PREPARED[1], "/t", "REG_DWORD", "/d", "3")
        app = self.start(t["lang"])
        app.wait_for(t["changed"], 60000)
        app.screenshot(f"{tag}-6-changed-since")
        self.run_to(app, t, t["reapply"], t["success"])
        app.click(t["done"])
        app.wait_until(lambda: app.visible(t["restore"]) and not app.visible(t["changed"]), 60, "a clean card")
        self.assertEqual(read_registry(self.sandbox, *PREPARED), "0x0")

        # The restore takes back that Reapply: the value is as it was prepared again.
        app.click(t["restore"])
        self.assertTrue(app.click_in_dialog(t["restore_title"], t["restore_button"], f"{tag}-7-restore-question"))
        app.wait_for(t["restored"], RUN_MS)
        app.screenshot(f"{tag}-8-restored")
        self.assertEqual(read_registry(self.sandbox, *PREPARED), "0x3")
        app.click(t["done"])

        # Closed during a run (slowed by a full temporary folder): it stops and its journal is closed.
        for i in range(30000):
            (TEMP / f"velmora-review-{i}.tmp").write_bytes(b"x")
        self.run_to(app, t, t["reapply"] if app.visible(t["reapply"]) else t["apply"])
        app.probe("close", "hex:" + "Velmora".encode().hex())
        self.assertTrue(app.click_in_dialog(t["close_title"], t["stop"], f"{tag}-9-close-question"))
        app.process.wait(RUN_MS / 1000)
        self.stop()
        newest = max(JOURNALS.glob("*.json*"), key=lambda path: path.name)
        self.assertTrue(newest.name.endswith(".json"), newest.name)
        self.assertIn('"state":"cancelled"', newest.read_text(encoding="utf-8"))

        # A failed run's details list the failure with Windows' words for its error.
        self.assertEqual(self.tool("make-volatile", "SOFTWARE\\Policies").returncode, 0)
        app = self.start(t["lang"])
        app.click(t["essential"])
        self.run_to(app, t, t["apply"], t["failure"])
        app.click(t["details"])
        app.wait_until(lambda: app.rows(t["details_list"]), what="the details")
        rows = app.rows(t["details_list"])
        self.assertEqual(rows[0][0], t["failed"])
        self.assertTrue(any(row[0] == t["failed"] and row[3].endswith(t["error"]) for row in rows))
        app.screenshot(f"{tag}-10-failure-details")
        self.stop()

        # The review in the other theme and scale.
        self.look(not t["dark"], 240 - t["dpi"])
        app = self.start(t["lang"])
        app.click(t["essential"])
        app.click(t["review"])
        app.wait_until(lambda: app.rows(t["features"]), 60, "the features")
        self.select_feature(app, t, t["bing"])  # kept since it was put back
        app.screenshot(f"{tag}-11-review-other-look")

    def test_english_light(self):
        self.walk(ENGLISH)

    def test_arabic_dark(self):
        self.walk(ARABIC)


if __name__ == "__main__":
    unittest.main()
