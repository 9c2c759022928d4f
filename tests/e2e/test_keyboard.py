"""A user with a keyboard only, from the first start through the terms and the review, where one feature is
kept as it is, to a successful Standard run, and one feature put back from its details: in English with the
light theme, in Arabic (right to left) with the dark one. After every page change the focus must be on the
page's expected control, and that control on screen."""

import json
import shutil
import unittest

from velmora_driver import SANDBOX, VelmoraTestCase, read_registry, read_setting, run_cli

RUN_TIMEOUT = 120
TELEMETRY = ("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\DataCollection", "AllowTelemetry")
CHOICES = ("HKLM\\SOFTWARE\\Velmora\\Choices", "Keep")
UPDATE_POLICY = "HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate\\AU"
PERSONALIZE = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize"

ENGLISH = {"lang": "en_US.UTF-8", "dark": False, "tag": "keys-en", "continue": "Continue", "agree": "Agree",
           "back": "Back", "terms_box": "I have read and agree to the Velmora End-User License Agreement.",
           "essential": "Essential Settings", "standard": "Standard Settings", "apply": "Apply",
           "restart": "Restart PC Now", "next_card": "Right", "cancel": "Cancel", "details": "Show Details",
           "details_list": "Details of the result", "review": "Review Changes", "features": "Features",
           "before": "Before You Apply", "put_back": "Put Back", "done": "Done",
           "reapply": "Reapply Settings", "keep": "Keep These Settings in Place",
           "dialog": "Confirm Deletion of Pre-installed Apps",
           "remove_apps": "Removes system bloatware (preinstalled apps) to make your system cleaner and more "
                          "private. You can reinstall any app later from the Microsoft Store."}
ARABIC = {"lang": "ar_SA.UTF-8", "dark": True, "tag": "keys-ar", "continue": "متابعة", "agree": "أوافق",
          "back": "رجوع", "terms_box": "لقد قرأت ووافقت على اتفاقية استخدام برنامج Velmora (Velmora).",
          "essential": "الإعدادات الأساسية", "standard": "الإعدادات القياسية", "apply": "تطبيق",
          "restart": "إعادة تشغيل الجهاز الآن", "next_card": "Left", "cancel": "إلغاء", "details": "عرض التفاصيل",
          "details_list": "تفاصيل النتيجة", "review": "مراجعة التغييرات", "features": "الميزات",
          "before": "قبل التطبيق", "put_back": "إرجاع", "done": "تم",
          "reapply": "إعادة تطبيق الإعدادات", "keep": "الحفاظ على هذه الإعدادات دون تغيير",
          "dialog": "تأكيد حذف التطبيقات المثبته مسبقا",
          "remove_apps": "إزالة التطبيقات المدمجة (Bloatware) لجعل النظام أنظف وأكثر خصوصية. يمكنك إعادة تثبيت أي تطبيق "
                         "لاحقاً من متجر مايكروسوفت."}


class KeyboardOnlyTest(VelmoraTestCase):
    def tearDown(self):
        super().tearDown()
        self.sandbox.run("wine", "reg", "delete", "HKLM\\SOFTWARE\\Policies", "/f")
        self.sandbox.run("wine", "reg", "delete", CHOICES[0], "/f")
        self.sandbox.run("wine", "reg", "delete", TELEMETRY[0], "/v", TELEMETRY[1], "/f")
        self.sandbox.run("wine", "reg", "delete", PERSONALIZE, "/v", "AppsUseLightTheme", "/f")

    def expect_focus(self, what, caption=None, window_class=None, timeout=10):
        """Waits until the focus is on the expected control, and checks it is on screen."""
        def on_it():
            focus = self.app.focused()
            return (focus is not None and (caption is None or focus["text"] == caption)
                    and (window_class is None or focus["class"] == window_class))
        self.app.wait_until(on_it, timeout=timeout, what=f"the focus on {what}")
        focus = self.app.focused()
        window = self.app.wait_window()
        self.assertTrue(focus["visible"], f"{what} is visible")
        left, top, right, bottom = focus["rect"]
        w_left, w_top, w_right, w_bottom = window["rect"]
        self.assertTrue(w_left <= left < right <= w_right and w_top <= top < bottom <= w_bottom,
                        f"{what} lies inside the window")
        return focus

    def walk(self, texts):
        # Something Standard turns off that a person may use, not in effect yet: Apply asks about it. The
        # first feature of the review holds a value of this PC's own, for the run to keep.
        self.sandbox.run("wine", "reg", "delete", UPDATE_POLICY, "/v", "AUOptions", "/f")
        self.sandbox.run("wine", "reg", "add", TELEMETRY[0], "/v", TELEMETRY[1], "/t", "REG_DWORD", "/d", "3", "/f")
        if texts["dark"]:
            self.sandbox.run("wine", "reg", "add", PERSONALIZE, "/v", "AppsUseLightTheme", "/t", "REG_DWORD",
                             "/d", "0", "/f")
        app = self.start(texts["lang"])
        tag = texts["tag"]
        self.expect_focus("Continue at start", texts["continue"])
        app.screenshot(f"{tag}-1-welcome")

        app.keys("Return")
        self.expect_focus("the terms box", texts["terms_box"])
        # The terms text scrolls with the keyboard and Tab leaves it both ways.
        app.keys("shift+Tab")
        self.expect_focus("the terms text", window_class="Edit")
        app.keys("Next", "Next", "shift+Tab")
        self.expect_focus("Back, before the text", texts["back"])
        app.keys("Tab", "Tab")
        self.expect_focus("the terms box again", texts["terms_box"])
        app.keys("space")
        app.wait_until(lambda: app.find(texts["agree"])["enabled"], what="Agree to be enabled")
        app.screenshot(f"{tag}-2-terms")

        app.keys("Return")  # the page's default button: Agree
        self.expect_focus("the first card", texts["essential"])
        self.assertEqual(read_setting(self.sandbox, "acceptTermsServices"), "01")
        app.keys(texts["next_card"])
        self.expect_focus("the Standard card", texts["standard"])
        app.wait_until(lambda: app.find(texts["apply"])["enabled"], what="Standard to be chosen")
        app.screenshot(f"{tag}-3-profiles")

        # The confirmation takes the focus on its safe answer and gives it back when it closes.
        app.keys("Tab", "Tab")
        self.expect_focus("the app-removal box", texts["remove_apps"])
        app.keys("space")
        title = "hex:" + texts["dialog"].encode().hex()
        app.wait_until(lambda: (app.probe("focus", title) or [{}])[0].get("text") == texts["cancel"],
                       what="the focus on the confirmation's Cancel")
        app.screenshot(f"{tag}-3-confirmation")
        app.keys("Escape")
        self.expect_focus("the app-removal box again", texts["remove_apps"])
        app.wait_until(lambda: app.find(texts["remove_apps"])["checked"] is False, what="the box to be unticked")

        app.keys("Escape")  # back to the welcome page
        self.expect_focus("Continue again", texts["continue"])
        app.keys("Return")
        self.expect_focus("Apply, with Standard still chosen", texts["apply"])
        # The review opens on its features; Space clears the selected one, which the run then keeps as it is.
        app.keys("shift+Tab")
        self.expect_focus("Review Changes", texts["review"])
        app.keys("Return")
        self.expect_focus("the features", texts["features"], timeout=60)
        app.wait_until(lambda: app.rows(texts["features"]), 60, "the features")
        ticked = [row[-1] for row in app.rows(texts["features"])]
        app.keys("space")
        cleared = lambda: [i for i, row in enumerate(app.rows(texts["features"])) if row[-1] != ticked[i]]
        app.wait_until(lambda: len(cleared()) == 1, what="one feature cleared by Space")
        self.assertIs(ticked[cleared()[0]], True)
        app.screenshot(f"{tag}-4-review-kept")
        before = self.items()

        # Enter presses the page's Apply; what the run turns off is asked first, on the safe answer.
        app.keys("Return")
        question = "hex:" + texts["before"].encode().hex()
        on = lambda caption: (app.probe("focus", question) or [{}])[0].get("text") == caption
        app.wait_until(lambda: on(texts["cancel"]), what="the focus on the question's Cancel")
        app.screenshot(f"{tag}-5-before-you-apply")
        app.keys("shift+Tab")
        app.wait_until(lambda: on(texts["apply"]), what="the focus on the question's Apply")
        app.keys("Return")
        self.expect_focus("the progress", window_class="msctls_progress32")
        app.screenshot(f"{tag}-6-progress")
        self.expect_focus("Restart PC Now", texts["restart"], timeout=RUN_TIMEOUT)
        self.assertIs(app.find(texts["keep"])["visible"], True, "keeping is offered on the success panel too")
        app.screenshot(f"{tag}-7-success")
        self.assertEqual(read_setting(self.sandbox, "AppliedTask"), "0x1")
        self.assertEqual(read_registry(self.sandbox, *CHOICES), "diagnostic-data-minimum")
        self.assertEqual(read_registry(self.sandbox, *TELEMETRY), "0x3", "the kept feature is as it was")

        # From the run's details, one feature is put back to what it was before the run, and kept.
        app.keys("Tab")
        self.expect_focus("Show Details", texts["details"])
        app.keys("Return")
        app.wait_until(lambda: app.rows(texts["details_list"]), what="the details")
        self.tab_to(texts["details_list"])
        app.keys("Down")
        self.tab_to(texts["put_back"])
        app.wait_until(lambda: app.find(texts["put_back"])["enabled"], what="Put Back for the selected feature")
        app.keys("Return")
        self.expect_focus("Done", texts["done"], timeout=RUN_TIMEOUT)
        app.screenshot(f"{tag}-8-put-back")
        kept = read_registry(self.sandbox, *CHOICES).split("\\0")
        self.assertEqual(len(kept), 2, kept)
        after = self.items()
        self.assertEqual(after[kept[1]], before[kept[1]], "the feature put back is as it was before the run")

        # Back to the profiles with Escape (Done).
        app.keys("Escape")
        self.expect_focus("Reapply, on the profiles again", texts["reapply"], timeout=30)
        self.keep_switch(texts)

    def keep_switch(self, texts):
        """Keeping settings in place, with Space on its switch. Wine keeps no access lists, so turning it on is
        refused with the reason; turned on beforehand (the task and the copy put in place as keep on leaves
        them), the switch shows it and turns it off."""
        app, tag = self.app, texts["tag"]
        folder = SANDBOX / "prefix" / "drive_c" / "Program Files" / "Velmora"
        task = SANDBOX / "prefix" / "drive_c" / "windows" / "system32" / "tasks" / "Velmora" / "Keep Settings"
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        self.addCleanup(self.sandbox.run, "wine", "schtasks", "/delete", "/tn", "\\Velmora\\Keep Settings", "/f")
        app.wait_until(lambda: (app.find(texts["keep"]) or {}).get("visible"), 60, "the switch, once the PC is read")
        self.tab_to(texts["keep"], presses=15)
        self.assertIs(app.find(texts["keep"])["checked"], False)
        app.keys("space")
        question = "hex:" + texts["keep"].encode().hex()
        app.wait_until(lambda: (app.probe("focus", question) or [{}])[0].get("found"), RUN_TIMEOUT,
                       "why keeping cannot be turned on")
        app.screenshot(f"{tag}-9-keep-refused")
        app.keys("Return")
        self.expect_focus("the switch again", texts["keep"])
        self.assertIs(app.find(texts["keep"])["checked"], False)
        self.assertFalse(folder.exists() or task.exists())

        # Made by Wine's own account, as keep on would make them.
        self.assertEqual(self.sandbox.run("wine", "cmd", "/c", "mkdir", "C:\\Program Files\\Velmora").returncode, 0)
        self.assertEqual(self.sandbox.run("wine", "cmd", "/c", "copy", "V:\\velmora-cli.exe",
                                          "C:\\Program Files\\Velmora\\velmora-cli.exe").returncode, 0)
        xml = ('<?xml version="1.0" encoding="UTF-16"?>\r\n<Task version="1.2" '
               'xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task"><Actions><Exec><Command>'
               'C:\\Program Files\\Velmora\\velmora-cli.exe</Command></Exec></Actions></Task>\r\n')
        (SANDBOX / "prefix" / "drive_c" / "keep-task.xml").write_bytes(xml.encode("utf-16"))
        self.assertEqual(self.sandbox.run("wine", "schtasks", "/create", "/tn", "\\Velmora\\Keep Settings", "/xml",
                                          "C:\\keep-task.xml", "/f").returncode, 0)
        app.keys("Escape")  # the profiles are read again when they open
        self.expect_focus("Continue", texts["continue"])
        app.keys("Return")
        app.wait_until(lambda: (app.find(texts["keep"]) or {}).get("checked") is True, 60, "the switch on")
        self.tab_to(texts["keep"], presses=15)
        app.screenshot(f"{tag}-10-keep-on")
        app.keys("space")
        app.wait_until(lambda: app.find(texts["keep"])["checked"] is False and app.find(texts["keep"])["enabled"],
                       RUN_TIMEOUT, "the switch off")
        self.assertFalse(folder.exists() or task.exists(), "keeping off removes the task and the copy")
        app.screenshot(f"{tag}-11-keep-off")

    def items(self):
        """Each feature's items of Standard with their values now, from velmora-cli's plan."""
        code, out, err = run_cli(self.sandbox, "plan", "standard", "--json")
        self.assertEqual(code, 0, err)
        features = {}
        for entry in json.loads(out)["entries"]:
            features.setdefault(entry["feature"], {})[json.dumps(entry["item"], sort_keys=True)] = entry.get("currentText")
        return features

    def tab_to(self, caption, presses=10):
        """Tab until the control captioned `caption` has the focus, as a person would."""
        for _ in range(presses):
            focus = self.app.focused()
            if focus is not None and focus["text"] == caption:
                return
            self.app.keys("Tab")
        self.expect_focus(caption, caption)

    def test_english_light(self):
        self.walk(ENGLISH)

    def test_arabic_dark(self):
        self.walk(ARABIC)


if __name__ == "__main__":
    unittest.main()
