"""Drives the real Velmora.exe in the test sandbox as a person would.

Controls are found by their caption through velmora_probe (a small Windows program run in the same
Wine session) and clicked with real mouse input from the X server (xdotool). Without a window
manager, Win32 screen coordinates are X root coordinates.
"""

import json
import os
import pathlib
import subprocess
import tempfile
import time
import unittest

SOURCE_DIR = pathlib.Path(os.environ.get("VELMORA_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
BUILD_DIR = pathlib.Path(os.environ.get("VELMORA_BUILD_DIR", SOURCE_DIR / "build" / "windows"))
SANDBOX = BUILD_DIR / "sandbox"
ARTIFACTS = BUILD_DIR / "e2e-artifacts"
WINDOW_TITLE = "Velmora"


def _hex(text):
    return "hex:" + text.encode("utf-8").hex()


class Sandbox:
    """The build's Wine sandbox (scripts/sandbox), brought up on first use."""

    def __init__(self):
        self.script = SOURCE_DIR / "scripts" / "sandbox"
        subprocess.run([str(self.script), "up", str(SANDBOX), str(BUILD_DIR / "bin")], check=True,
                       stdout=subprocess.DEVNULL)
        self.display = ":" + (SANDBOX / "display").read_text().strip()

    def command(self, *args, lang="en_US.UTF-8"):
        return ["env", f"LANG_OVERRIDE={lang}", str(self.script), "exec", str(SANDBOX), *args]

    def run(self, *args, lang="en_US.UTF-8", timeout=60):
        # Output goes through files, not pipes: a Wine process may hand its standard handles on to
        # session processes (services, the desktop) that outlive it, and a pipe would never close.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            process = subprocess.run(self.command(*args, lang=lang), stdout=out, stderr=err, timeout=timeout)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(process.args, process.returncode,
                                               out.read().decode("utf-8", "replace"),
                                               err.read().decode("utf-8", "replace"))

    def x11(self, *args):
        return subprocess.run(list(args), env={**os.environ, "DISPLAY": self.display}, check=True,
                              capture_output=True, text=True)


def reset_settings(sandbox):
    """Forgets everything Velmora stored for the user: the next start is a first start."""
    sandbox.run("wine", "reg", "delete", "HKCU\\Software\\Velmora", "/f")


def read_setting(sandbox, name):
    """The raw text of one stored setting as reg.exe shows it, or None."""
    result = sandbox.run("wine", "reg", "query", "HKCU\\Software\\Velmora\\LocalSettings", "/v", name)
    for line in result.stdout.splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[0] == name:
            return parts[-1]
    return None


def seed_settings(sandbox, language=1, accepted=True):
    """Stores what a finished first start leaves behind, so a test can begin on the profiles."""
    key = "HKCU\\Software\\Velmora\\LocalSettings"
    sandbox.run("wine", "reg", "add", key, "/v", "appLanguage", "/t", "REG_DWORD", "/d", str(language), "/f")
    if accepted:
        sandbox.run("wine", "reg", "add", key, "/v", "acceptTermsServices", "/t", "REG_BINARY", "/d", "01", "/f")


def read_registry(sandbox, key, name):
    """The data of one registry value as reg.exe shows it, or None when it is absent."""
    result = sandbox.run("wine", "reg", "query", key, "/v", name)
    for line in result.stdout.splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[0] == name:
            return parts[-1]
    return None


class Velmora:
    """One running Velmora.exe and what a user can see and do with it."""

    def __init__(self, sandbox, lang="en_US.UTF-8"):
        self.sandbox = sandbox
        self.lang = lang
        ARTIFACTS.mkdir(parents=True, exist_ok=True)
        self.log = open(ARTIFACTS / "velmora-output.log", "ab")
        self.process = subprocess.Popen(sandbox.command("wine", "V:\\Velmora.exe", lang=lang),
                                        stdout=self.log, stderr=subprocess.STDOUT)

    def probe(self, *args):
        # A probe that printed nothing did not run (a Wine start can fail under load): try again.
        for _ in range(3):
            result = self.sandbox.run("wine", "V:\\velmora_probe.exe", *args, lang=self.lang)
            lines = [line for line in result.stdout.splitlines() if line.startswith("{")]
            if lines:
                return [json.loads(line) for line in lines]
            time.sleep(0.2)
        return []

    def wait_window(self, timeout_ms=20000):
        found = self.probe("wait-window", _hex(WINDOW_TITLE), str(timeout_ms))
        return found[0] if found and found[0]["found"] else None

    def find(self, caption, timeout_ms=0):
        found = self.probe("find", _hex(WINDOW_TITLE), _hex(caption), str(timeout_ms))
        return found[0] if found and found[0]["found"] else None

    def controls(self):
        return self.probe("list", _hex(WINDOW_TITLE))

    def focused(self):
        """The control of the window that has the keyboard focus, or None."""
        found = self.probe("focus", _hex(WINDOW_TITLE))
        return found[0] if found and found[0]["found"] else None

    def keys(self, *keys):
        """Presses keys as a user does (xdotool names: Tab, shift+Tab, Return, space, Escape, Left...)."""
        self.sandbox.x11("xdotool", "key", "--delay", "100", *keys)

    def click(self, caption, timeout_ms=5000):
        control = self.find(caption, timeout_ms)
        if control is None:
            raise AssertionError(f"no control captioned {caption!r}")
        left, top, right, bottom = control["rect"]
        self.sandbox.x11("xdotool", "mousemove", str((left + right) // 2), str((top + bottom) // 2), "click", "1")
        return control

    def screenshot(self, name):
        path = ARTIFACTS / f"{name}.png"
        self.sandbox.x11("import", "-window", "root", str(path))
        return path

    def mean_brightness(self, shot, rect):
        """Mean brightness (0..1) of a screen rectangle in a screenshot."""
        left, top, right, bottom = rect
        result = subprocess.run(["convert", str(shot), "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                                 "-colorspace", "Gray", "-format", "%[fx:mean]", "info:"],
                                check=True, capture_output=True, text=True)
        return float(result.stdout)

    def find_class(self, class_name):
        """The first visible control of a window class (for controls whose caption is not their own)."""
        for control in self.controls():
            if control["class"].lower() == class_name.lower() and control["visible"]:
                return control
        return None

    def wait_until(self, condition, timeout=10.0, what="the expected state"):
        """Polls `condition` until it holds; the window updates on its own thread, a little later."""
        deadline = time.monotonic() + timeout
        while not condition():
            if time.monotonic() >= deadline:
                raise AssertionError(f"timed out waiting for {what}")
            time.sleep(0.2)

    def visible(self, caption):
        control = self.find(caption)
        return control is not None and control["visible"]

    def wait_for(self, caption, timeout_ms=15000):
        """The control captioned `caption`, once it is visible."""
        deadline = time.monotonic() + timeout_ms / 1000
        while True:
            control = self.find(caption)
            if control is not None and control["visible"]:
                return control
            if time.monotonic() >= deadline:
                raise AssertionError(f"no visible control captioned {caption!r} appeared")
            time.sleep(0.2)

    def close(self, timeout=20):
        if self.process.poll() is None:
            self.probe("close", _hex(WINDOW_TITLE))
            try:
                self.process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()
        return self.process.returncode

    def wait_exit(self, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                return self.process.returncode
            time.sleep(0.1)
        return None


class VelmoraTestCase(unittest.TestCase):
    """A test that starts Velmora in the sandbox, from a first start unless it stores settings itself,
    and never leaves it running."""

    @classmethod
    def setUpClass(cls):
        cls.sandbox = Sandbox()

    def setUp(self):
        reset_settings(self.sandbox)
        self.app = None

    def tearDown(self):
        self.stop()

    def start(self, lang="en_US.UTF-8"):
        self.app = Velmora(self.sandbox, lang=lang)
        self.assertIsNotNone(self.app.wait_window(), "the window did not appear")
        return self.app

    def stop(self):
        if self.app is not None:
            self.app.close()
            self.app = None

    def restart(self, lang="en_US.UTF-8"):
        self.stop()
        return self.start(lang)

    def tool(self, *args):
        """velmora_setup_tool.exe inside the sandbox."""
        return self.sandbox.run("wine", "V:\\velmora_setup_tool.exe", *args)
