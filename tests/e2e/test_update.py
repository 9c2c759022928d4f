"""The update notice of the real Velmora.exe, fed by a stand-in for the update service on this computer."""

import time
import unittest

from feed_server import FeedServer
from velmora_driver import SANDBOX, VelmoraTestCase, read_setting, seed_settings

POLICY = "HKLM\\SOFTWARE\\Policies\\Velmora"
SETTINGS = "HKCU\\Software\\Velmora\\LocalSettings"
HTTPS_HANDLER = "HKLM\\Software\\Classes\\https\\shell\\open\\command"
OPENED = SANDBOX / "prefix" / "drive_c" / "velmora-opened-urls.txt"
TITLE, AR_TITLE = "Velmora Update", "\u062a\u062d\u062f\u064a\u062b Velmora"
AR_DOWNLOAD, AR_LATER = "\u062a\u0646\u0632\u064a\u0644", "\u0644\u0627\u062d\u0642\u064b\u0627"
AR_SKIP = "\u062a\u062e\u0637\u064a \u0647\u0630\u0627 \u0627\u0644\u0625\u0635\u062f\u0627\u0631"


class UpdateNoticeTest(VelmoraTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.server = FeedServer()
        query = cls.sandbox.run("wine", "reg", "query", HTTPS_HANDLER, "/ve").stdout
        cls.browser = next(line.split("REG_SZ", 1)[1].strip() for line in query.splitlines() if "REG_SZ" in line)
        # The "browser" records the address it is asked to open.
        cls.reg("add", HTTPS_HANDLER, "/ve", "/d", f'"V:\\velmora_probe.exe" record C:\\{OPENED.name} "%1"')

    @classmethod
    def tearDownClass(cls):
        cls.reg("add", HTTPS_HANDLER, "/ve", "/d", cls.browser)
        cls.server.stop()

    @classmethod
    def reg(cls, *args):
        cls.sandbox.run("wine", "reg", *args, "/f")

    def setUp(self):
        super().setUp()
        OPENED.unlink(missing_ok=True)
        self.started = time.time()  # run logs of this test are no older

    def tearDown(self):
        super().tearDown()
        self.reg("add", POLICY, "/v", "UpdateCheck", "/t", "REG_DWORD", "/d", "0")
        self.reg("delete", POLICY, "/v", "UpdateFeedUrl")

    def start_with_feed(self, path, language=1, lang="en_US.UTF-8"):
        seed_settings(self.sandbox, language=language)
        self.reg("add", SETTINGS, "/v", "appUpdate", "/t", "REG_DWORD", "/d", "0")  # not checked today
        self.reg("add", POLICY, "/v", "UpdateCheck", "/t", "REG_DWORD", "/d", "1")
        self.reg("add", POLICY, "/v", "UpdateFeedUrl", "/d", self.server.url(path))
        return self.restart(lang)

    def wait_log(self, text):
        logs = SANDBOX / "prefix" / "drive_c" / "users"
        self.app.wait_until(lambda: any(text in log.read_text(encoding="utf-8", errors="replace")
                                        for log in logs.glob("*/AppData/Local/Velmora/Logs/*.log")
                                        if log.stat().st_mtime >= self.started - 1), what=text)

    def test_english_notice_downloads_and_stores_a_skipped_version(self):
        app = self.start_with_feed("/feed/9.0.0")
        self.assertIsNotNone(app.wait_window(title=TITLE), "no notice appeared")
        self.assertTrue(any("9.0.0" in control["text"] for control in app.controls(TITLE)))
        app.screenshot("update-en-notice")
        app.click("Download", title=TITLE)
        app.wait_until(OPENED.exists, what="the browser to be asked")
        self.assertEqual(OPENED.read_text().split(), ["https://example.com/velmora/9.0.0"])
        self.assertIsNone(app.wait_window(0, title=TITLE), "the notice stayed open")

        app = self.start_with_feed("/feed/9.0.0")
        app.click("Skip this version", timeout_ms=20000, title=TITLE)
        app.wait_until(lambda: read_setting(self.sandbox, "skipVerion") == "9.0.0", what="the skipped version")

    def test_arabic_critical_notice_cannot_be_skipped(self):
        app = self.start_with_feed("/feed/9.0.0?critical=1", language=0, lang="ar_SA.UTF-8")
        notice = app.wait_window(title=AR_TITLE)
        self.assertTrue(notice and notice["rtl"], "the Arabic notice is right to left")
        self.assertIsNotNone(app.find(AR_DOWNLOAD, title=AR_TITLE))
        self.assertIsNone(app.find(AR_SKIP, title=AR_TITLE))
        app.screenshot("update-ar-critical-notice")
        app.click(AR_LATER, title=AR_TITLE)
        app.wait_until(lambda: app.wait_window(0, title=AR_TITLE) is None, what="the notice to close")
        self.assertIsNone(read_setting(self.sandbox, "skipVerion"))

    def test_window_stays_usable_while_the_feed_never_answers(self):
        app = self.start_with_feed("/hang")
        app.wait_until(lambda: self.server.count("/hang") == 1, what="the feed to be asked")
        app.click("Standard Settings")
        app.wait_until(lambda: app.find("Apply")["enabled"], what="Apply to be enabled")
        self.wait_log("timed out")
        app.click("Back")
        app.wait_for("Welcome")
        self.assertIsNone(app.wait_window(0, title=TITLE))


if __name__ == "__main__":
    unittest.main()
