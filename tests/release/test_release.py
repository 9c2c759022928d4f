"""scripts/release on a tagged clone of this commit (the repository itself is never tagged)."""

import hashlib
import os
import pathlib
import struct
import subprocess
import tempfile
import unittest
import zipfile

SOURCE_DIR = pathlib.Path(os.environ.get("VELMORA_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))


def file_version(exe):
    """FILEVERSION of the fixed part of a version resource (signature 0xFEEF04BD), as "a.b.c.d"."""
    at = exe.rfind(struct.pack("<I", 0xFEEF04BD))  # in the resources, at the end of the file
    most, least = struct.unpack_from("<II", exe, at + 8)
    return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"


class ReleaseTest(unittest.TestCase):
    def git(self, *args):
        return subprocess.run(["git", "-C", str(self.clone), *args], check=True, capture_output=True, text=True)

    def release(self):
        return subprocess.run([str(self.clone / "scripts" / "release")], cwd=self.clone, capture_output=True,
                              text=True, timeout=1800)

    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="velmora-release-test.")
        self.clone = pathlib.Path(self.folder.name) / "velmora"
        subprocess.run(["git", "clone", "-q", "--no-tags", str(SOURCE_DIR), str(self.clone)], check=True)

    def tearDown(self):
        self.folder.cleanup()

    def test_two_releases_of_one_commit_are_identical_and_carry_the_tag_version(self):
        refused = self.release()
        self.assertNotEqual(refused.returncode, 0)
        self.assertIn("no release tag", refused.stderr)

        self.git("tag", "v98.7.6")
        sums = []
        for _ in range(2):
            result = self.release()
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            sums.append((self.clone / "dist" / "SHA256SUMS").read_text())
        self.assertEqual(sums[0], sums[1], "two builds of one commit differ")
        zip_path = self.clone / "dist" / "Velmora-98.7.6-x64.zip"
        self.assertEqual(sums[0], f"{hashlib.sha256(zip_path.read_bytes()).hexdigest()}  {zip_path.name}\n")
        with zipfile.ZipFile(zip_path) as archive:
            names = archive.namelist()
            for needed in ("Velmora.exe", "velmora-cli.exe", "README.md", "LICENSE", "docs/cli.md", "docs/fleet.md",
                           "docs/cli.schema.json"):
                self.assertIn("Velmora-98.7.6-x64/" + needed, names)
            for exe in ("Velmora.exe", "velmora-cli.exe"):
                self.assertEqual(file_version(archive.read("Velmora-98.7.6-x64/" + exe)), "98.7.6.0", exe)


if __name__ == "__main__":
    unittest.main()
