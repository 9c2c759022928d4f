"""Drives the real Velmora.exe in the test sandbox as a person would.

Controls are found by their caption through velmora_probe (a small Windows program run in the same
Wine session) and clicked with real mouse input from the X server (xdotool). Without a window
manager, Win32 screen coordinates are X root coordinates.
"""

import json
import os
import pathlib
import re
import subprocess
import sys
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

    def write(self, path, text):
        """Writes a file below the prefix, readable by the sandbox's Wine user."""
        (SANDBOX / "prefix" / path).write_text(text, encoding="utf-8")
        (SANDBOX / "prefix" / path).chmod(0o644)

    def read(self, path):
        return (SANDBOX / "prefix" / path).read_text(encoding="utf-8-sig", errors="replace")

    def x11(self, *args):
        return subprocess.run(list(args), env={**os.environ, "DISPLAY": self.display}, check=True,
                              capture_output=True, text=True)


def reset_settings(sandbox):
    """Forgets everything Velmora stored for the user: the next start is a first start."""
    sandbox.run("wine", "reg", "delete", "HKCU\\Software\\Velmora", "/f")


def read_setting(sandbox, name):
    return read_registry(sandbox, "HKCU\\Software\\Velmora\\LocalSettings", name)


def seed_settings(sandbox, language=1):
    """Stores what a finished first start leaves behind, so a test can begin on the profiles."""
    key = "HKCU\\Software\\Velmora\\LocalSettings"
    sandbox.run("wine", "reg", "add", key, "/v", "appLanguage", "/t", "REG_DWORD", "/d", str(language), "/f")
    sandbox.run("wine", "reg", "add", key, "/v", "acceptTermsServices", "/t", "REG_BINARY", "/d", "01", "/f")


def run_cli(sandbox, *args, program="velmora-cli"):
    """Runs velmora-cli.exe (or a test build of it) in the sandbox: (exit code, output, errors). Wine gives
    the Unix side only the low byte of an exit code (3010 arrives as 194), so a batch file inside Wine
    reports the whole code, as a startup script would see it."""
    sandbox.write(f"drive_c/{program}.cmd", f'@"V:\\{program}.exe" %*\r\n@echo velmora-exit=%ERRORLEVEL% 1>&2\r\n')
    for attempt in (1, 2):
        result = sandbox.run("wine", "cmd", "/c", f"C:\\{program}.cmd", *args, timeout=300)
        # Wine's cmd has, rarely, not found the program on V: although it was there (9009, "Can't recognize"),
        # so the program never ran: such a start is tried once more, and said so. The programs never exit 9009.
        if attempt == 1 and "velmora-exit=9009" in result.stderr and (BUILD_DIR / "bin" / f"{program}.exe").exists():
            print(f"run_cli: Wine's cmd did not find V:\\{program}.exe; starting it again", file=sys.stderr)
            continue
        break
    code = re.search(r"velmora-exit=(-?\d+)", result.stderr)
    return (int(code.group(1)) if code else None), result.stdout, result.stderr


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

    def wait_window(self, timeout_ms=20000, title=WINDOW_TITLE):
        found = self.probe("wait-window", _hex(title), str(timeout_ms))
        return found[0] if found and found[0]["found"] else None

    def find(self, caption, timeout_ms=0, title=WINDOW_TITLE):
        found = self.probe("find", _hex(title), _hex(caption), str(timeout_ms))
        return found[0] if found and found[0]["found"] else None

    def controls(self, title=WINDOW_TITLE):
        return self.probe("list", _hex(title))

    def rows(self, caption, title=WINDOW_TITLE):
        """The rows of the list view captioned `caption`, each a list of its cells; a list with check boxes
        adds each row's box last (True ticked, False clear, None for a row without one)."""
        result = self.sandbox.run("wine", "V:\\velmora_probe.exe", "rows", _hex(title), _hex(caption), lang=self.lang)
        return [json.loads(line) for line in result.stdout.splitlines() if line.startswith("[")]

    def focused(self):
        """The control of the window that has the keyboard focus, or None."""
        found = self.probe("focus", _hex(WINDOW_TITLE))
        return found[0] if found and found[0]["found"] else None

    def keys(self, *keys):
        """Presses keys as a user does (xdotool names: Tab, shift+Tab, Return, space, Escape, Left...)."""
        self.sandbox.x11("xdotool", "key", "--delay", "100", *keys)

    def click_at(self, control):
        left, top, right, bottom = control["rect"]
        self.sandbox.x11("xdotool", "mousemove", str((left + right) // 2), str((top + bottom) // 2), "click", "1")
        return control

    def click(self, caption, timeout_ms=5000, title=WINDOW_TITLE):
        control = self.find(caption, timeout_ms, title)
        if control is None:
            raise AssertionError(f"no control captioned {caption!r}")
        return self.click_at(control)

    def click_in_dialog(self, title, caption, shot=None):
        """Clicks a button of the dialog window titled `title` once it is open (photographed first when
        `shot` names the picture); False when it never opened."""
        found = self.probe("wait-window", _hex(title), "5000")
        if shot and found and found[0]["found"]:
            self.screenshot(shot)
        button = self.probe("find", _hex(title), _hex(caption)) if found and found[0]["found"] else []
        return bool(button and button[0]["found"] and self.click_at(button[0]))

    def apply(self, button="Apply", title="Before You Apply", answer=None, shot=None):
        """Clicks `button`, then `answer` (Apply) in the question that first names what the run will turn
        off (photographed when `shot` names the picture); False when no question opened."""
        self.click(button)
        return self.click_in_dialog(title, answer or button, shot)

    def click_row(self, caption, index, title=WINDOW_TITLE):
        """Clicks the text of row `index` of the list view captioned `caption`, scrolled into view first."""
        found = self.probe("row-rect", _hex(title), _hex(caption), str(index))
        if not found or not found[0]["found"]:
            raise AssertionError(f"no row {index} in the list {caption!r}")
        return self.click_at(found[0])

    def select_row(self, caption, index, title=WINDOW_TITLE):
        """Selects row `index` of a list view as a person far down a list would: a click on its first row,
        then Home and the Down arrow."""
        self.click_row(caption, 0, title)
        self.keys("Home", *["Down"] * index)
        selected = lambda: (self.probe("row-rect", _hex(title), _hex(caption), str(index)) or [{}])[0].get("selected")
        self.wait_until(lambda: selected() == index, what=f"row {index} of {caption!r} to be selected")

    def text_containing(self, part, window_class="Edit"):
        """The text of the first control of that class whose text holds `part`, or ''."""
        return next((c["text"] for c in self.controls() if c.get("class") == window_class and part in c["text"]), "")

    def screenshot(self, name):
        path = ARTIFACTS / f"{name}.png"
        self.sandbox.x11("import", "-window", "root", str(path))
        return path

    def wait_until(self, condition, timeout=10.0, what="the expected state"):
        # The window updates on its own thread, a little later.
        deadline = time.monotonic() + timeout
        while not condition():
            if time.monotonic() >= deadline:
                raise AssertionError(f"timed out waiting for {what}")
            time.sleep(0.2)

    def visible(self, caption):
        return (self.find(caption) or {"visible": False})["visible"]

    def wait_for(self, caption, timeout_ms=15000):
        self.wait_until(lambda: self.visible(caption), timeout_ms / 1000, f"a visible control captioned {caption!r}")
        return self.find(caption)

    def close(self, timeout=20):
        if self.process.poll() is None:
            self.probe("close", _hex(WINDOW_TITLE))
            try:
                self.process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:  # the Windows process too, not only the sandbox's wrapper
                self.sandbox.run("wine", "taskkill", "/f", "/im", "Velmora.exe")
                self.process.kill()
                self.process.wait()
        self.log.close()
        return self.process.returncode


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
            app, self.app = self.app, None
            self.assertEqual(app.close(), 0, "closing the window ends the process cleanly")

    def restart(self, lang="en_US.UTF-8"):
        self.stop()
        return self.start(lang)

    def tool(self, *args):
        """velmora_setup_tool.exe inside the sandbox."""
        return self.sandbox.run("wine", "V:\\velmora_setup_tool.exe", *args)
