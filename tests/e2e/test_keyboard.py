"""A user with a keyboard only, from the first start through the terms to a successful Standard run:
in English with the light theme, in Arabic (right to left) with the dark one. After every page
change the focus must be on the page's expected control, and that control on screen."""

import unittest

from velmora_driver import VelmoraTestCase, read_setting

RUN_TIMEOUT = 120
PERSONALIZE = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize"

ENGLISH = {"lang": "en_US.UTF-8", "dark": False, "tag": "keys-en", "continue": "Continue", "agree": "Agree",
           "back": "Back", "terms_box": "I have read and agree to the Velmora End-User License Agreement.",
           "essential": "Essential Settings", "standard": "Standard Settings", "apply": "Apply",
           "restart": "Restart PC Now", "next_card": "Right", "cancel": "Cancel", "details": "Show Details",
           "details_list": "Details of the result", "review": "Review Changes", "plan": "Planned changes",
           "reapply": "Reapply Settings",
           "dialog": "Confirm Deletion of Pre-installed Apps",
           "remove_apps": "Removes system bloatware (preinstalled apps) to make your system cleaner and more "
                          "private. You can reinstall any app later from the Microsoft Store."}
ARABIC = {"lang": "ar_SA.UTF-8", "dark": True, "tag": "keys-ar", "continue": "متابعة", "agree": "أوافق",
          "back": "رجوع", "terms_box": "لقد قرأت ووافقت على اتفاقية استخدام برنامج Velmora (Velmora).",
          "essential": "الإعدادات الأساسية", "standard": "الإعدادات القياسية", "apply": "تطبيق",
          "restart": "إعادة تشغيل الجهاز الآن", "next_card": "Left", "cancel": "إلغاء", "details": "عرض التفاصيل",
          "details_list": "تفاصيل النتيجة", "review": "مراجعة التغييرات", "plan": "التغييرات المخطّطة",
          "reapply": "إعادة تطبيق الإعدادات",
          "dialog": "تأكيد حذف التطبيقات المثبته مسبقا",
          "remove_apps": "إزالة التطبيقات المدمجة (Bloatware) لجعل النظام أنظف وأكثر خصوصية. يمكنك إعادة تثبيت أي تطبيق "
                         "لاحقاً من متجر مايكروسوفت."}


class KeyboardOnlyTest(VelmoraTestCase):
    def tearDown(self):
        super().tearDown()
        self.tool("delete-tree", "SOFTWARE\\Policies")
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
        app.keys("Return")
        self.expect_focus("the progress", window_class="msctls_progress32")
        app.screenshot(f"{tag}-4-progress")
        self.expect_focus("Restart PC Now", texts["restart"], timeout=RUN_TIMEOUT)
        app.screenshot(f"{tag}-5-success")
        self.assertEqual(read_setting(self.sandbox, "AppliedTask"), "0x1")

        # The run's details, and back to the profiles with Escape (Done).
        app.keys("Tab")
        self.expect_focus("Show Details", texts["details"])
        app.keys("Return")
        app.wait_until(lambda: app.rows(texts["details_list"]), what="the details")
        app.keys("Escape")
        self.expect_focus("Reapply, on the profiles again", texts["reapply"], timeout=30)
        # The review of the plan opens on its list, which the arrow keys move through; Escape leaves it.
        app.keys("shift+Tab")
        self.expect_focus("Review Changes", texts["review"])
        app.keys("Return")
        self.expect_focus("the plan", texts["plan"], timeout=60)
        app.wait_until(lambda: app.rows(texts["plan"]), 60, "the plan's rows")
        app.keys("Down", "Down")
        app.screenshot(f"{tag}-6-review")
        app.keys("Escape")
        self.expect_focus("Reapply, after the review", texts["reapply"])

    def test_english_light(self):
        self.walk(ENGLISH)

    def test_arabic_dark(self):
        self.walk(ARABIC)


if __name__ == "__main__":
    unittest.main()
