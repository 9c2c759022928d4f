"""Applying a profile as a user does: progress, success or failure, and the applied state."""

import time
import unittest

from velmora_driver import SANDBOX, VelmoraTestCase, read_registry, read_setting, seed_settings

RUN_TIMEOUT_MS = 90000


class ApplyTest(VelmoraTestCase):
    def setUp(self):
        super().setUp()
        seed_settings(self.sandbox, language=1)

    def tearDown(self):
        super().tearDown()
        self.tool("delete-tree", "SOFTWARE\\Policies")

    def test_standard_applies_succeeds_and_shows_already_applied_on_the_next_start(self):
        app = self.start()
        app.click("Standard Settings")
        app.click("Apply")
        app.wait_for("Applying Settings...", 5000)
        self.assertFalse(app.visible("Back"), "no way back while a run is under way")
        app.screenshot("apply-1-progress")
        app.wait_for("Settings Applied Successfully!", RUN_TIMEOUT_MS)
        self.assertTrue(app.visible("Restart PC Now"))
        app.screenshot("apply-2-success")

        # The Standard table is in the registry, and the run is recorded.
        self.assertEqual(read_registry(self.sandbox, "HKCU\\Software\\Policies\\Microsoft\\Windows\\EdgeUI",
                                       "DisableMFUTracking"), "0x1")
        self.assertEqual(read_registry(self.sandbox, "HKLM\\SOFTWARE\\Microsoft\\WindowsUpdate\\UX\\Settings",
                                       "DeferFeatureUpdatesPeriodInDays"), "0xb4")
        self.assertEqual(read_setting(self.sandbox, "AppliedTask"), "0x1")
        self.assertEqual(read_setting(self.sandbox, "AppliedTaskBuildStandard"), "0x82")
        self.assertIsNone(read_setting(self.sandbox, "AppliedTaskBuildMaximum"))
        # Every change was journaled first, and the journal was closed when the run ended.
        folder = SANDBOX / "prefix" / "drive_c" / "ProgramData" / "Velmora" / "Journal"
        journals = sorted(folder.glob("*-Standard.json"))
        self.assertTrue(journals, "the window's run left no journal")
        self.assertIn('"state":"succeeded"', journals[-1].read_text(encoding="utf-8"))

        app = self.restart()
        app.wait_for("Already Applied")
        self.assertTrue(app.visible("Reapply Settings"))
        self.assertFalse(app.visible("Apply"))
        app.screenshot("apply-3-already-applied")

    def test_a_run_with_too_many_failed_writes_fails_and_can_be_cancelled(self):
        # No lasting key can be created below a volatile policies key: every policy row fails.
        result = self.tool("make-volatile", "SOFTWARE\\Policies")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        app = self.start()
        app.click("Essential Settings")
        app.click("Apply")
        app.wait_for("Operation Failed", RUN_TIMEOUT_MS)
        self.assertTrue(app.visible("Try Again"))
        self.assertTrue(app.visible("Cancel"))
        self.assertIsNone(read_setting(self.sandbox, "AppliedTask"), "a failed run stores nothing")
        app.screenshot("apply-4-failure")

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
        app.screenshot("apply-5-cancelled")

    def test_the_app_removal_box_asks_first_and_cancel_unticks_it(self):
        app = self.start()
        box_text = ("Removes system bloatware (preinstalled apps) to make your system cleaner and more private. "
                    "You can reinstall any app later from the Microsoft Store.")
        self.assertFalse(app.find(box_text)["enabled"], "disabled until Standard or Maximum is selected")
        app.click("Maximum Settings")
        app.click(box_text)
        title = "Confirm Deletion of Pre-installed Apps"
        dialog = app.probe("wait-window", "hex:" + title.encode().hex(), "5000")
        self.assertTrue(dialog and dialog[0]["found"], "the confirmation opened")
        app.screenshot("apply-6-confirmation")
        cancel = app.probe("find", "hex:" + title.encode().hex(), "hex:" + "Cancel".encode().hex())[0]
        left, top, right, bottom = cancel["rect"]
        self.sandbox.x11("xdotool", "mousemove", str((left + right) // 2), str((top + bottom) // 2), "click", "1")
        app.wait_until(lambda: (app.find(box_text) or {"checked": True})["checked"] is False,
                       what="the box to be unticked")

        app.click(box_text)
        app.probe("wait-window", "hex:" + title.encode().hex(), "5000")
        delete = app.probe("find", "hex:" + title.encode().hex(), "hex:" + "Delele".encode().hex())[0]
        left, top, right, bottom = delete["rect"]
        self.sandbox.x11("xdotool", "mousemove", str((left + right) // 2), str((top + bottom) // 2), "click", "1")
        app.wait_until(lambda: app.probe("wait-window", "hex:" + title.encode().hex(), "0")[0]["found"] is False,
                       what="the confirmation to close")
        time.sleep(1)
        self.assertTrue(app.find(box_text)["checked"], "Delele keeps the box ticked")


if __name__ == "__main__":
    unittest.main()
