"""What the acceptance walk does not go through: a run that fails, Try Again and Cancel, the
confirmation of the app removal, and the language switch before the terms."""

import time
import unittest

from velmora_driver import VelmoraTestCase, read_registry, read_setting, run_cli, seed_settings

RUN_TIMEOUT_MS = 90000
REMOVE_APPS = ("Removes system bloatware (preinstalled apps) to make your system cleaner and more private. "
               "You can reinstall any app later from the Microsoft Store.")
DIALOG = "Confirm Deletion of Pre-installed Apps"


class ApplyTest(VelmoraTestCase):
    def tearDown(self):
        super().tearDown()
        self.sandbox.run("wine", "reg", "delete", "HKLM\\SOFTWARE\\Policies", "/f")

    def test_a_run_with_too_many_failed_writes_fails_can_be_tried_again_and_cancelled(self):
        # No lasting key can be created below a volatile policies key: every policy row fails.
        result = self.tool("make-volatile", "SOFTWARE\\Policies")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        seed_settings(self.sandbox, language=1)
        app = self.start()
        app.click("Essential Settings")
        app.apply()
        app.wait_for("Operation Failed", RUN_TIMEOUT_MS)
        self.assertTrue(app.visible("Try Again"))
        self.assertIsNone(read_setting(self.sandbox, "AppliedTask"), "a failed run stores nothing")
        app.screenshot("apply-failure")

        app.click("Try Again")
        app.wait_for("Applying Settings...", 5000)
        self.assertFalse(app.visible("Operation Failed"))
        app.wait_for("Operation Failed", RUN_TIMEOUT_MS)

        app.click("Cancel")
        app.wait_for("Essential Settings")
        time.sleep(0.3)
        self.assertFalse(app.visible("Operation Failed"))
        self.assertTrue(app.find("Apply")["enabled"])
        self.assertIsNone(read_setting(self.sandbox, "AppliedTask"))
        app.screenshot("apply-cancelled")

    def test_while_the_window_runs_the_command_line_is_turned_away_and_the_window_run_goes_on(self):
        seed_settings(self.sandbox, language=1)
        app = self.start()
        app.click("Standard Settings")
        app.apply()
        app.wait_for("Applying Settings...", 5000)
        # The window holds the run lock from the run's start on, its start delay included.
        code, _, err = run_cli(self.sandbox, "apply", "essential")
        self.assertEqual(code, 1618, err)
        self.assertIn("Another Velmora run is in progress", err)
        app.wait_for("Settings Applied Successfully!", RUN_TIMEOUT_MS)
        self.assertEqual(read_setting(self.sandbox, "AppliedTask"), "0x1")
        self.assertEqual(read_registry(self.sandbox, "HKLM\\SOFTWARE\\Velmora", "AppliedProfile"), "Standard")
        # The result is shown: the lock is free again, and the window's run is put back.
        code, _, err = run_cli(self.sandbox, "restore")
        self.assertEqual(code, 3010, err)
        self.assertIsNone(read_registry(self.sandbox, "HKLM\\SOFTWARE\\Velmora", "AppliedProfile"))

    def test_the_app_removal_box_asks_first_cancel_unticks_it_and_delete_keeps_it(self):
        seed_settings(self.sandbox, language=1)
        app = self.start()
        self.assertFalse(app.find(REMOVE_APPS)["enabled"], "disabled until Standard or Maximum is selected")
        app.click("Maximum Settings")
        app.click(REMOVE_APPS)
        self.assertTrue(app.click_in_dialog(DIALOG, "Cancel", "apply-confirmation"), "the confirmation opened")
        app.wait_until(lambda: (app.find(REMOVE_APPS) or {"checked": True})["checked"] is False,
                       what="the box to be unticked")
        app.click(REMOVE_APPS)
        self.assertTrue(app.click_in_dialog(DIALOG, "Delele"))
        app.wait_until(lambda: not app.probe("wait-window", "hex:" + DIALOG.encode().hex(), "0")[0]["found"],
                       what="the confirmation to close")
        time.sleep(1)
        self.assertTrue(app.find(REMOVE_APPS)["checked"], "Delele keeps the box ticked")

    def test_switching_to_english_on_the_welcome_page_relabels_the_terms(self):
        app = self.start("ar_SA.UTF-8")
        app.wait_for("\u0645\u0631\u062d\u0628\u064b\u0627")
        # Open the language selector and take its second item, English, with the keyboard as a user might.
        app.click("class:ComboBox")
        time.sleep(0.3)
        self.sandbox.x11("xdotool", "key", "Down", "Return")
        self.assertFalse(app.wait_for("Welcome")["rtl"])
        self.assertEqual(read_setting(self.sandbox, "appLanguage"), "0x1")
        app.click("Continue")
        app.wait_for("Agree")
        self.assertTrue(app.visible("I have read and agree to the Velmora End-User License Agreement."))
        app.screenshot("switch-english-terms")


if __name__ == "__main__":
    unittest.main()
