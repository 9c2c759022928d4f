"""A first-time user: language, terms and profiles, in English and in Arabic."""

import time
import unittest

from velmora_driver import VelmoraTestCase, read_setting

AR_WELCOME = "\u0645\u0631\u062d\u0628\u064b\u0627"
AR_CONTINUE = "\u0645\u062a\u0627\u0628\u0639\u0629"
AR_AGREE = "\u0623\u0648\u0627\u0641\u0642"
AR_TERMS_BOX = "\u0644\u0642\u062f \u0642\u0631\u0623\u062a \u0648\u0648\u0627\u0641\u0642\u062a \u0639\u0644\u0649 \u0627\u062a\u0641\u0627\u0642\u064a\u0629 \u0627\u0633\u062a\u062e\u062f\u0627\u0645 \u0628\u0631\u0646\u0627\u0645\u062c Velmora (Velmora)."
AR_ESSENTIAL = "\u0627\u0644\u0625\u0639\u062f\u0627\u062f\u0627\u062a \u0627\u0644\u0623\u0633\u0627\u0633\u064a\u0629"
TERMS_BOX = "I have read and agree to the Velmora End-User License Agreement."


class FirstRunTest(VelmoraTestCase):
    def test_english_first_start_walks_through_terms_to_profiles(self):
        app = self.start("en_US.UTF-8")
        welcome = app.wait_for("Welcome")
        self.assertFalse(welcome["rtl"], "English opens left to right")
        self.assertEqual(read_setting(self.sandbox, "appLanguage"), "0x1")
        app.screenshot("en-1-welcome")

        app.click("Continue")
        agree = app.wait_for("Agree")
        self.assertFalse(agree["enabled"], "Agree waits for the box")
        box = app.wait_for(TERMS_BOX)
        self.assertFalse(box["checked"])
        app.screenshot("en-2-terms")
        app.click(TERMS_BOX)
        app.wait_until(lambda: app.find(TERMS_BOX)["checked"], what="the box to be ticked")
        app.wait_until(lambda: app.find("Agree")["enabled"], what="Agree to be enabled")
        app.click("Agree")

        app.wait_for("Essential Settings")
        self.assertTrue(app.visible("Standard Settings"))
        self.assertTrue(app.visible("Maximum Settings"))
        apply = app.wait_for("Apply")
        self.assertFalse(apply["enabled"], "nothing selected yet")
        self.assertEqual(read_setting(self.sandbox, "acceptTermsServices"), "01")
        app.click("Standard Settings")
        app.wait_until(lambda: app.find("Apply")["enabled"], what="Apply to be enabled")
        app.screenshot("en-3-profiles")

        # A second start opens on the profiles; Back, then Continue skips the terms.
        app = self.restart("en_US.UTF-8")
        app.wait_for("Essential Settings")
        app.click("Back")
        app.wait_for("Welcome")
        app.click("Continue")
        app.wait_for("Essential Settings")
        self.assertFalse(app.visible("Agree"))

    def test_arabic_first_start_opens_right_to_left_in_arabic(self):
        app = self.start("ar_SA.UTF-8")
        welcome = app.wait_for(AR_WELCOME)
        self.assertTrue(welcome["rtl"], "Arabic opens right to left")
        self.assertEqual(read_setting(self.sandbox, "appLanguage"), "0x0")
        window = app.wait_window()
        button = app.find(AR_CONTINUE)
        # Mirrored: the primary button sits at the left end of the window.
        self.assertLess(button["rect"][0] - window["rect"][0], (window["rect"][2] - window["rect"][0]) // 2)
        app.screenshot("ar-1-welcome")
        app.click(AR_CONTINUE)
        app.wait_for(AR_AGREE)
        app.screenshot("ar-2-terms")
        app.click(AR_TERMS_BOX)
        app.wait_until(lambda: app.find(AR_AGREE)["enabled"], what="Agree to be enabled")
        app.click(AR_AGREE)
        app.wait_for(AR_ESSENTIAL)
        app.click(AR_ESSENTIAL)
        app.screenshot("ar-3-profiles")

    def test_switching_the_language_on_the_welcome_page_relabels_the_terms(self):
        app = self.start("ar_SA.UTF-8")
        app.wait_for(AR_WELCOME)
        combo = app.find_class("ComboBox")
        self.assertIsNotNone(combo, "the language selector")
        left, top, right, bottom = combo["rect"]
        # Open the list and take its second item, English, with the keyboard as a user might.
        self.sandbox.x11("xdotool", "mousemove", str((left + right) // 2), str((top + bottom) // 2), "click", "1")
        time.sleep(0.3)
        self.sandbox.x11("xdotool", "key", "Down", "Return")
        app.wait_for("Welcome")
        self.assertFalse(app.find("Welcome")["rtl"])
        self.assertEqual(read_setting(self.sandbox, "appLanguage"), "0x1")
        app.screenshot("switch-1-english-welcome")
        app.click("Continue")
        app.wait_for("Agree")
        self.assertTrue(app.visible(TERMS_BOX))
        app.screenshot("switch-2-english-terms")


if __name__ == "__main__":
    unittest.main()
