import unittest

from velmora_driver import Sandbox, Velmora


class MainWindowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sandbox = Sandbox()

    def test_window_opens_is_photographed_and_closes(self):
        app = Velmora(self.sandbox)
        try:
            window = app.wait_window()
            self.assertIsNotNone(window, "the Velmora window did not appear")
            self.assertTrue(window["visible"])
            left, top, right, bottom = window["rect"]
            self.assertGreater(right - left, 400)
            self.assertGreater(bottom - top, 300)
            shot = app.screenshot("window-opens")
            # The window is painted where the probe says it is, on the dark empty screen.
            self.assertGreater(app.mean_brightness(shot, window["rect"]), 0.5)
            self.assertLess(app.mean_brightness(shot, [0, 0, 1280, max(top, 1)]), 0.1)
        finally:
            code = app.close()
        self.assertEqual(code, 0, "closing the window ends the process cleanly")


if __name__ == "__main__":
    unittest.main()
