"""velmora-cli.exe in the sandbox against Wine's registry, service manager and file system: exit codes,
messages, the JSON documents against docs/cli.schema.json, a plan that writes nothing, apply, status and
drift, the detection marker, restore, and the Group Policy startup script of docs/fleet.md."""

import json
import re
import shutil
import subprocess
import time
import unittest

import jsonschema

from velmora_driver import SANDBOX, SOURCE_DIR, Sandbox, read_registry, reset_settings, run_cli

SCHEMA = json.loads((SOURCE_DIR / "docs" / "cli.schema.json").read_text(encoding="utf-8"))
MARKER = "HKLM\\SOFTWARE\\Velmora"
TELEMETRY = ("HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows\\DataCollection", "AllowTelemetry")
ERROR_REPORTING = ("HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Error Reporting", "Disabled")
PROFILE_LIST = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\"
USERS = ("S-1-5-21-7001-7002-7003-1001", "S-1-5-21-7001-7002-7003-1002", "S-1-5-21-7001-7002-7003-1003")
WINE_USER = "S-1-5-21-0-0-0-1000"  # the sandbox's own user, in the profile list as every user is
REPORT = "C:\\ProgramData\\Velmora Reports\\new\\standard-130.json"  # folders made by the run


def fleet_script():
    """The Group Policy startup script exactly as docs/fleet.md gives it, pointed at the build's program."""
    text = (SOURCE_DIR / "docs" / "fleet.md").read_text(encoding="utf-8")
    script = re.search(r"```bat\n(@echo off\n.*?)```", text, re.S).group(1)
    return re.sub(r"^set VELMORA=.*$", r"set VELMORA=V:\\velmora-cli.exe", script, flags=re.M)


def remediation_commands():
    """The arguments the Remediations detection and remediation scripts of docs/fleet.md give velmora-cli."""
    text = (SOURCE_DIR / "docs" / "fleet.md").read_text(encoding="utf-8")
    section = text[text.index("## Intune Remediations"):text.index("## Group Policy")]
    return [line.split() for line in re.findall(r"^\$out = & \$cli (.+?) 2>&1$", section, re.M)]


class CliTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sandbox = Sandbox()

    def cli(self, *args, program="velmora-cli"):
        code, out, err = run_cli(self.sandbox, *args, program=program)
        self.assertIsNotNone(code, err)
        return code, out, err

    def document(self, *args, expected, program="velmora-cli"):
        code, out, err = self.cli(*args, "--json", program=program)
        self.assertEqual(code, expected, out + err)
        document = json.loads(out)
        jsonschema.validate(document, SCHEMA)
        self.assertEqual(document["exitCode"], code)
        return document

    def restore(self):
        """Restores the newest journal: 3010 when it had to change something, 0 when all was in place."""
        return self.restore_named()

    def restore_named(self, *journal):
        code, out, err = self.cli("restore", *journal, "--json")
        restored = json.loads(out)
        jsonschema.validate(restored, SCHEMA)
        self.assertEqual(restored["outcome"], "succeeded", restored.get("failures"))
        self.assertEqual(code, 3010 if restored["changed"] else 0, err)
        return restored

    def reg(self, *args):
        self.assertEqual(self.sandbox.run("wine", "reg", *args).returncode, 0, args)

    def registry(self):
        """Every key and value of the three hives, as reg.exe exports them, but what Wine changes on its own:
        its count of the service processes it started, and the session's system parameters it writes when
        its desktop process starts again (seen on a loaded machine)."""
        entries = set()
        for hive in ("HKLM", "HKCU", "HKU"):
            self.reg("export", hive, f"C:\\velmora-{hive}.reg", "/y")
            text = (SANDBOX / "prefix" / "drive_c" / f"velmora-{hive}.reg").read_bytes().decode("utf-16")
            key, wines_own = None, False
            for line in text.replace("\\\r\n", "").splitlines():
                if line.startswith("["):
                    key = line
                    wines_own = "\\Software\\Wine\\Temporary System Parameters" in key
                    if not wines_own:
                        entries.add(key)
                elif line and key and not wines_own and not key.endswith("\\Control\\ServiceCurrent]"):
                    entries.add(key + " " + line)
        return entries

    def test_bad_arguments_exit_87_with_a_clear_message_and_the_usage(self):
        for args, says in [
            ((), "No command given."),
            (("optimise",), 'Unknown command "optimise".'),
            (("plan", "turbo"), 'Unknown profile "turbo": choose essential, standard or maximum.'),
            (("apply", "standard", "--restart=now"), "--restart takes no value."),
            (("apply", "standard", "--report", "C:\\NUL"), "names a device"),
            (("restore", "20990101T000000.000Z-Standard.json"), 'There is no journal "20990101T000000.000Z-'),
            (("restore", "C:\\windows\\win.ini"), "Velmora restores only journals in its journal folder"),
            (("restore", "--users", "all"), "--users does not go with restore"),
            (("apply", "standard", "--users", "all,,default"), 'is not a list of users'),
            (("plan", "standard", "--users", "velmora-nobody"), 'There is no account named "velmora-nobody"'),
            (("status", "--users", "S-1-5-18"), '"S-1-5-18" is not the SID of a user account'),
        ]:
            code, out, err = self.cli(*args)
            self.assertEqual(code, 87, args)
            self.assertIn(says, err)
            self.assertIn("Usage: velmora-cli", err)
        document = self.document("plan", "turbo", expected=87)
        self.assertIn("turbo", document["error"])

    def test_plan_writes_nothing_and_every_document_matches_the_schema(self):
        # Wine's shell records a known folder in the registry the first time one is asked for; the plan's
        # survey of the temporary folders does that once, here.
        self.document("plan", "maximum", expected=0)
        before = self.registry()
        self.document("plan", "standard", expected=0)
        self.assertEqual(self.registry(), before, "the plan changed the registry")
        self.assertEqual([p["name"] for p in self.document("profiles", expected=0)["profiles"]],
                         ["Essential", "Standard", "Maximum"])
        self.document("journals", expected=0)
        self.assertIn("Usage: velmora-cli", self.document("--help", expected=0)["usage"])
        features = self.document("features", expected=0)["features"]
        plan = self.document("plan", "maximum", expected=0)
        self.assertTrue(all(entry["feature"] in {f["id"] for f in features} for entry in plan["entries"]))
        code, out, _ = self.cli("--version")
        self.assertEqual((code, out.strip()), (0, "velmora-cli " + self.document("status", expected=0)["programVersion"]))

    def test_an_included_optional_feature_is_planned_on_its_builds_only(self):
        version = ("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentBuild")
        build = read_registry(self.sandbox, *version)
        self.addCleanup(self.reg, "add", version[0], "/v", version[1], "/t", "REG_SZ", "/d", build, "/f")
        include = ("--include", "recall-off,notepad-ai-off")
        for current, planned in (("26100", {"recall-off", "notepad-ai-off"}), ("22621", {"notepad-ai-off"})):
            self.reg("add", version[0], "/v", version[1], "/t", "REG_SZ", "/d", current, "/f")
            plain = self.document("plan", "standard", expected=0)["entries"]
            plan = self.document("plan", "standard", *include, expected=0)
            optional = lambda entries: [e for e in entries if e["feature"] in {"recall-off", "notepad-ai-off"}]
            self.assertEqual(optional(plain), [], "in no profile")
            self.assertEqual(len(plan["entries"]), len(plain) + len(planned), "one value each")
            self.assertEqual({e["feature"] for e in optional(plan["entries"])}, planned, current)
            self.assertFalse(any(e["inEffect"] for e in optional(plan["entries"])), "a change to make")
            self.assertEqual([i["id"] for i in plan["include"]], ["recall-off", "notepad-ai-off"])
            available = {f["id"]: f["available"] for f in self.document("features", expected=0)["features"] if f.get("optional")}
            self.assertEqual({f for f, there in available.items() if there} & {"recall-off", "notepad-ai-off"}, planned)
        code, _, err = self.cli("plan", "standard", "--include", "ipv6-off")
        self.assertEqual(code, 87)
        self.assertIn("no feature that can be included", err)

    def test_without_elevation_only_the_commands_that_change_nothing_run(self):
        program = "velmora_cli_unelevated"
        journals = self.document("journals", expected=0)["journals"]
        for command in (("apply", "standard"), ("restore",), ("journals",)):
            code, _, err = self.cli(*command, program=program)
            self.assertEqual(code, 740, command)
            self.assertIn("needs elevation", err)
        self.assertEqual(self.document("journals", expected=0)["journals"], journals, "nothing was run")
        self.document("plan", "essential", expected=0, program=program)
        self.document("status", expected=0, program=program)

    def test_as_system_a_run_must_name_its_users_and_a_plan_leaves_them_out(self):
        code, _, err = self.cli("apply", "standard", program="velmora_cli_as_system")
        self.assertEqual(code, 87)
        self.assertIn("velmora-cli runs as SYSTEM, whose own hive no person uses. Name the users", err)
        plan = self.document("plan", "essential", expected=0, program="velmora_cli_as_system")
        self.assertEqual((plan["userSelection"], plan["users"], plan["counts"]), (None, [], plan["machineCounts"]))
        self.assertFalse([e for e in plan["entries"] if e["item"].get("root") == 1], "a per-user item was planned")

    def test_all_users_get_the_per_user_rows_in_their_own_hives_and_a_restore_brings_them_back(self):
        """Ann is signed in (her hive is held below HKEY_USERS, as Windows does), velmora-cli loads Bob's
        NTUSER.DAT itself, Cid's is locked. Wine keeps a loaded hive across processes and never writes it
        back to its file: Bob's rows are seen in the run's journal, and his file drifts afterwards."""
        ann, bob, cid = USERS
        folders = {sid: f"users/velmora-{name}" for sid, name in zip(USERS, ("ann", "bob", "cid"))}
        for sid, folder in folders.items():
            (SANDBOX / "prefix" / "drive_c" / folder).mkdir(parents=True, exist_ok=True)
            self.sandbox.write(f"drive_c/{folder}/NTUSER.DAT", "WINE REGISTRY Version 2\n\n#arch=win64\n")
            self.reg("add", PROFILE_LIST + sid, "/v", "ProfileImagePath", "/d", "C:\\" + folder.replace("/", "\\"), "/f")
            self.addCleanup(self.sandbox.run, "wine", "reg", "delete", PROFILE_LIST + sid, "/f")
            self.addCleanup(shutil.rmtree, SANDBOX / "prefix" / "drive_c" / folder, True)
        tool = ("wine", "V:\\velmora_setup_tool.exe")
        self.assertEqual(self.sandbox.run(*tool, "load-hive", "C:\\users\\velmora-ann\\NTUSER.DAT", ann).returncode, 0)
        self.addCleanup(self.sandbox.run, *tool, "unload-hive", ann)
        flag = SANDBOX / "prefix" / "drive_c" / "velmora-held"
        holder = subprocess.Popen(self.sandbox.command(*tool, "hold", "C:\\users\\velmora-cid\\NTUSER.DAT", "C:\\velmora-held"),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(holder.wait, 60)
        self.addCleanup(flag.unlink, True)
        while not flag.exists() and holder.poll() is None:
            time.sleep(0.1)
        reset_settings(self.sandbox)
        self.sandbox.run("wine", "reg", "delete", MARKER, "/f")
        self.reg("add", "HKCU\\Software\\Velmora\\LocalSettings", "/v", "appLanguage", "/t", "REG_DWORD", "/d", "1", "/f")

        plan = self.document("plan", "standard", "--users", "all", expected=0)
        users = {u["hive"]: u for u in plan["users"]}
        self.assertEqual([users[sid]["reached"] for sid in USERS], ["loadedByWindows", "loadedFromFile", "skipped"])
        self.assertIn("in use or locked (error 32)", users[cid]["skipReason"])
        rows = {(e["item"]["key"].lower(), e["item"].get("value")) for e in plan["entries"] if e["item"].get("hiveSid") == ann}
        key, value = min(row for row in rows if row[1])  # a string of Ann's own, for the restore to bring back
        self.reg("add", f"HKU\\{ann}\\{key}", "/v", value, "/d", "seed", "/f")
        before = self.registry()

        applied = self.document("apply", "standard", "--users", "all", expected=3010)
        self.assertEqual([(u["hive"], u["reached"], u.get("failedWrites", 0)) for u in applied["users"]],
                         [(u["hive"], u["reached"], 0) for u in plan["users"]])
        self.assertIn("Skipped 1 of the 4 users named", applied["message"])
        per_user = {}
        for r in json.loads(self.sandbox.read("drive_c/" + applied["journal"][3:].replace("\\", "/")))["records"]:
            if r["type"] == "change" and r["item"].get("hiveSid"):
                per_user.setdefault(r["item"]["hiveSid"], set()).add((r["item"]["key"].lower(), r["item"].get("value")))
        # Bob's class keys live in his UsrClass.dat, which Windows links in only while he is signed in.
        unlinked = {row for row in rows if row[0].startswith("software\\classes\\")}
        self.assertTrue(unlinked)
        self.assertEqual(per_user, {ann: rows, bob: rows - unlinked, WINE_USER: rows},
                         "per-user rows reached another hive, or not all")
        changed = {line.split("\\")[1].split("]")[0] for line in self.registry() ^ before
                   if line.startswith("[HKEY_USERS\\") and not line.startswith("[HKEY_USERS\\.Default\\Control Panel")}
        self.assertEqual(changed, {ann, WINE_USER}, "a hive was left loaded, or another one changed")
        drift = {u["hive"]: u.get("drift", {}).get("drifted") for u in self.document("status", "--users", "all", expected=0)["users"]}
        bob_rows = [e for e in plan["entries"] if e["item"].get("hiveSid") == bob and e["readable"] and not e["inEffect"]]
        self.assertEqual([drift[sid] for sid in (WINE_USER, *USERS)], [0, 0, len(bob_rows), None])

        restored = self.restore()
        self.assertEqual({u["hive"]: u["reached"] for u in restored["users"]}, {ann: "loadedByWindows", bob: "loadedFromFile"})
        self.assertEqual(sorted(self.registry() ^ before), [], "the restore did not bring the hives back")

    def test_apply_status_drift_and_restore_bring_back_the_prepared_state(self):
        # A PC in no default state: a row of the common table with a value of another type, a Standard
        # row with other data, and settings of a user who has used Velmora before.
        self.reg("add", TELEMETRY[0], "/v", TELEMETRY[1], "/t", "REG_SZ", "/d", "custom", "/f")
        self.reg("add", ERROR_REPORTING[0], "/v", ERROR_REPORTING[1], "/t", "REG_DWORD", "/d", "7", "/f")
        reset_settings(self.sandbox)  # a user who has applied nothing yet, and no marker from earlier runs
        self.sandbox.run("wine", "reg", "delete", MARKER, "/f")
        self.reg("add", "HKCU\\Software\\Velmora\\LocalSettings", "/v", "appLanguage", "/t", "REG_DWORD", "/d", "1", "/f")
        self.document("plan", "standard", expected=0)  # see the plan test
        shutil.rmtree(SANDBOX / "prefix" / "drive_c" / "ProgramData" / "Velmora Reports", ignore_errors=True)
        prepared = self.registry()

        applied = self.document("apply", "standard", "--report", REPORT, expected=3010)
        self.assertEqual(applied["outcome"], "succeeded")
        self.assertTrue(applied["markerWritten"])
        self.assertEqual(json.loads(self.sandbox.read("drive_c/" + REPORT[3:].replace("\\", "/"))), applied)
        self.assertEqual([read_registry(self.sandbox, MARKER, name) for name in ("AppliedProfile", "Revision", "Result")],
                         ["Standard", "0x82", "Succeeded"])

        status = self.document("status", expected=0)
        self.assertEqual(status["applied"]["profile"], "Standard")
        self.assertEqual(status["drift"]["drifted"], 0, status["drifted"])
        code, out, _ = self.cli("check")  # one line, for a detection script's log
        self.assertEqual((code, out.splitlines()), (0, ["Standard is applied and holds."]))
        self.reg("add", TELEMETRY[0], "/v", TELEMETRY[1], "/t", "REG_DWORD", "/d", "3", "/f")
        drifted = self.document("status", expected=0)["drifted"]
        self.assertEqual([(d["item"]["key"], d["item"]["value"], d["currentText"], d["expectedText"]) for d in drifted],
                         [(TELEMETRY[0][5:], TELEMETRY[1], "3", "0")])
        self.assertFalse(self.document("check", expected=1)["holds"])

        restored = self.restore()
        self.assertEqual(restored["journal"], applied["journal"])
        self.assertEqual(sorted(self.registry() ^ prepared), [], "the restore did not bring the prepared state back")
        self.assertIsNone(read_registry(self.sandbox, MARKER, "AppliedProfile"), "no profile is applied any more")
        self.assertIsNone(self.document("status", expected=0)["applied"])
        code, out, _ = self.cli("check")
        self.assertEqual((code, out.splitlines()), (1, ["No profile is applied on this PC."]))
        self.reg("delete", TELEMETRY[0], "/v", TELEMETRY[1], "/f")
        self.reg("delete", ERROR_REPORTING[0], "/v", ERROR_REPORTING[1], "/f")

    def test_kept_features_stay_as_they_are_and_one_feature_is_put_back_exactly(self):
        """Two features kept in the store (a value, a service) and one by policy: Maximum, then Essential,
        leave them as the PC had them. Then, after a Maximum that keeps nothing, restore --only puts back one
        feature, and a full restore of that run still gives back the state before it exactly."""
        spooler = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Spooler"
        self.addCleanup(self.sandbox.run, "wine", "reg", "delete", "HKLM\\SOFTWARE\\Policies\\Velmora", "/f")
        self.addCleanup(self.cli, "choices", "clear")
        self.reg("add", TELEMETRY[0], "/v", TELEMETRY[1], "/t", "REG_SZ", "/d", "custom", "/f")
        self.reg("add", ERROR_REPORTING[0], "/v", ERROR_REPORTING[1], "/t", "REG_DWORD", "/d", "7", "/f")
        reset_settings(self.sandbox)
        self.sandbox.run("wine", "reg", "delete", MARKER, "/f")
        self.reg("add", "HKCU\\Software\\Velmora\\LocalSettings", "/v", "appLanguage", "/t", "REG_DWORD", "/d", "1", "/f")
        self.cli("choices", "clear")
        prepared_plan = self.document("plan", "maximum", expected=0)["entries"]
        feature = {(e["item"].get("key"), e["item"].get("value", e["item"].get("name"))): e["feature"] for e in prepared_plan}
        telemetry, reporting = (feature[(key[5:], value)] for key, value in (TELEMETRY, ERROR_REPORTING))
        printing = feature[(None, "Spooler")]
        prepared = self.registry()

        def values():
            return (read_registry(self.sandbox, *TELEMETRY), read_registry(self.sandbox, *ERROR_REPORTING),
                    read_registry(self.sandbox, spooler, "Start"))

        as_prepared = ("custom", "0x7", values()[2])

        def changed_since(before):
            # The store of choices (and the key it lies in) stays once made; only its value goes.
            return sorted(line for line in self.registry() ^ before
                          if "\\Velmora\\Choices]" not in line and not line.endswith("\\Software\\Velmora]"))

        # Stored and policy choices; an id a later version may have removed is ignored, never fatal.
        self.reg("add", "HKLM\\SOFTWARE\\Policies\\Velmora", "/v", "Keep", "/t", "REG_MULTI_SZ", "/d",
                 reporting + "\\0removed-later-feature", "/f")
        stored = self.document("choices", "set", "--keep", f"{telemetry},{printing}", expected=0)
        self.assertTrue(stored["changed"])
        self.assertEqual({(k["id"], k["source"]) for k in stored["keep"]},
                         {(telemetry, "stored"), (printing, "stored"), (reporting, "policy")})
        self.assertTrue(any("removed-later-feature" in why for why in stored["ignored"]))
        journals = self.document("journals", expected=0)["journals"]

        # Ids given on the command line are checked, and a choices file that is damaged, hostile or too large
        # is refused before anything runs. (Wine shows a link to a file as a plain file, so a link is not
        # tried here.)
        files = {"types": '{"schemaVersion": 1, "keep": "%s"}' % telemetry,
                 "version": '{"schemaVersion": "1", "keep": []}',
                 "unknown": '{"schemaVersion": 1, "keep": ["no-such-feature"]}',
                 "large": '{"schemaVersion": 1, "keep": [' + " " * (10 << 20) + "]}",
                 "target": '{"schemaVersion": 1, "keep": ["%s"]}' % telemetry}
        for name, text in files.items():
            self.sandbox.write(f"drive_c/velmora-choices-{name}.json", text)
        for args, says in [(("--keep", "no-such-feature"), '"no-such-feature", which is no feature'),
                           *((("--choices", f"C:\\velmora-choices-{name}.json"), "cannot be used" if name != "unknown"
                              else "which is no feature") for name in ("types", "version", "unknown", "large"))]:
            code, _, err = self.cli("apply", "essential", *args)
            self.assertEqual(code, 87, args)
            self.assertIn(says, err)
        self.assertEqual(self.cli("choices", "set", "--keep", "no-such-feature")[0], 87)
        # The same choices again from a file and --keep together; an id named twice is stored once.
        self.cli("choices", "set", "--keep", f"{telemetry},{printing}", "--choices", "C:\\velmora-choices-target.json")
        self.assertEqual(self.document("journals", expected=0)["journals"], journals, "a refused run changed something")
        self.assertEqual(self.document("choices", expected=0)["keep"], stored["keep"])
        # A stored feature named again for one command counts as named on the command line.
        self.assertEqual({k["source"] for k in self.document("plan", "essential", "--choices", "C:\\velmora-choices-target.json",
                                                             expected=0)["keep"]}, {"commandLine", "stored", "policy"})

        # Kept features are neither set nor taken back, in either direction.
        runs = []
        for profile in ("maximum", "essential"):
            applied = self.document("apply", profile, expected=3010)
            runs.insert(0, applied["journal"])
            self.assertEqual(applied["keep"], stored["keep"])
            self.assertEqual(values(), as_prepared, profile)
            plan = self.document("plan", profile, expected=0)["entries"]
            kept = [e for e in plan if e["feature"] in (telemetry, printing, reporting)]
            self.assertTrue(kept and all(e["kept"] and e["currentText"] == e["afterText"] for e in kept if not e["action"]))
        status = self.document("status", expected=0)
        self.assertEqual(status["keep"], stored["keep"])
        self.assertFalse([d for d in status["drifted"] if d["feature"] in (telemetry, printing, reporting)])
        self.assertEqual(read_registry(self.sandbox, MARKER, "Keep"), "\\0".join(k["id"] for k in stored["keep"]))
        for journal in runs:
            self.restore_named(journal)
        self.cli("choices", "clear")
        self.reg("delete", "HKLM\\SOFTWARE\\Policies\\Velmora", "/f")
        self.assertEqual(changed_since(prepared), [], "the two restores did not bring the prepared state back")

        # One feature put back after a Maximum that kept nothing, and kept from then on.
        run = self.document("apply", "maximum", expected=3010)
        self.assertNotEqual(values(), as_prepared)
        after_run = self.registry()
        _, _, spooler_after = values()
        code, out, err = self.cli("restore", run["journal"], "--only", telemetry, "--json")
        put_back = json.loads(out)
        jsonschema.validate(put_back, SCHEMA)
        self.assertEqual((code, put_back["outcome"], put_back["only"], put_back["keptNow"]),
                         (3010, "succeeded", [telemetry], True), err)
        self.assertEqual(values()[0], "custom")
        self.assertEqual(values()[2], spooler_after)
        # Only that feature's values changed, and the marker says a restore ran; Maximum is still applied.
        marker = tuple(f'[HKEY_LOCAL_MACHINE\\Software\\Velmora] "{name}"' for name in ("AppliedUtc", "Result"))
        changed = changed_since(after_run)
        self.assertTrue(all("DataCollection" in line or line.startswith(marker) for line in changed), changed)
        self.assertEqual(read_registry(self.sandbox, MARKER, "AppliedProfile"), "Maximum")
        self.assertEqual([k["id"] for k in self.document("choices", expected=0)["keep"]], [telemetry])
        self.restore_named(run["journal"])
        self.cli("choices", "clear")
        self.assertEqual(changed_since(prepared), [], "a full restore after a put-back missed the state before the run")
        self.reg("delete", TELEMETRY[0], "/v", TELEMETRY[1], "/f")
        self.reg("delete", ERROR_REPORTING[0], "/v", ERROR_REPORTING[1], "/f")

    def test_repair_sets_again_what_was_turned_back_and_never_pushes_out_the_applying_journal(self):
        """Standard applied; two values and a service's start type turned back from outside. The Remediations
        recipe's check finds it and its repair sets exactly those three again, journaled as a repair that a
        restore takes back. A kept feature is not repaired, a Windows update is named, and thirty repairs in a
        row leave the applying journal in the folder, whose full restore is still exact."""
        spooler = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Spooler"
        version = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
        self.addCleanup(self.sandbox.run, "wine", "reg", "delete", version, "/v", "UBR", "/f")
        self.addCleanup(self.cli, "choices", "clear")
        detect, remediate = remediation_commands()
        self.assertEqual((detect, remediate), (["check", "--users", "all"], ["repair", "--users", "all"]))
        reset_settings(self.sandbox)
        self.sandbox.run("wine", "reg", "delete", MARKER, "/f")
        self.reg("add", "HKCU\\Software\\Velmora\\LocalSettings", "/v", "appLanguage", "/t", "REG_DWORD", "/d", "1", "/f")
        self.cli("choices", "clear")
        self.assertEqual(self.document(*remediate, expected=0)["outcome"], "nothingApplied")
        prepared = self.registry()
        applied = self.document("apply", "standard", expected=3010)
        build = read_registry(self.sandbox, MARKER, "Build")
        self.assertRegex(build or "", r"^\d+(\.\d+)?$")
        self.assertEqual(self.document(*remediate, expected=0)["outcome"], "nothingToRepair")

        def values():
            return (read_registry(self.sandbox, *TELEMETRY), read_registry(self.sandbox, *ERROR_REPORTING),
                    read_registry(self.sandbox, spooler, "Start"))

        def turn_back():
            self.reg("add", TELEMETRY[0], "/v", TELEMETRY[1], "/t", "REG_DWORD", "/d", "3", "/f")
            self.reg("add", ERROR_REPORTING[0], "/v", ERROR_REPORTING[1], "/t", "REG_DWORD", "/d", "0", "/f")
            self.reg("add", spooler, "/v", "Start", "/t", "REG_DWORD", "/d", "3", "/f")  # Wine's sc has no config

        def changed_since_prepared():
            return sorted(line for line in self.registry() ^ prepared
                          if "\\Velmora\\Choices]" not in line and not line.endswith("\\Software\\Velmora]"))

        as_applied = values()
        turn_back()
        turned_back = values()
        self.assertTrue(all(now != then for now, then in zip(turned_back, as_applied)), turned_back)
        self.assertFalse(self.document(*detect, expected=1)["holds"])
        self.reg("add", version, "/v", "UBR", "/t", "REG_DWORD", "/d", "3194", "/f")  # a Windows update came
        self.assertIn(f"Windows was updated since ({build} \u2192 {build}.3194): 3 settings were turned back",
                      self.document("status", expected=0)["message"])
        repaired = self.document(*remediate, expected=3010)
        self.assertEqual((repaired["outcome"], repaired["turnedBack"], repaired["windowsBuild"]["updatedSince"]),
                         ("repaired", 3, True))
        self.assertEqual(sum(f["turnedBack"] for f in repaired["features"]), 3)
        self.assertEqual(values(), as_applied)
        self.assertEqual(read_registry(self.sandbox, MARKER, "Build"), f"{build}.3194")
        journal = json.loads(self.sandbox.read("drive_c/" + repaired["journal"][3:].replace("\\", "/")))["records"]
        self.assertEqual(journal[0]["kind"], "repair")
        # The profile writes the error reporting value in two rows; each write is journaled.
        self.assertEqual({(r["item"].get("key"), r["item"].get("value", r["item"].get("name")))
                          for r in journal if r["type"] == "change"},
                         {(TELEMETRY[0][5:], TELEMETRY[1]), (ERROR_REPORTING[0][5:], ERROR_REPORTING[1]),
                          (None, "Spooler")}, "the repair journals exactly the three turned back")
        self.assertTrue(self.document(*detect, expected=0)["holds"])
        self.reg("delete", version, "/v", "UBR", "/f")
        # Without a name, restore takes back the run that applied the profile, never a repair, exactly.
        self.assertEqual(self.restore()["journal"], applied["journal"])
        self.assertEqual(changed_since_prepared(), [])

        # Applied and turned back again: the restore of a repair brings the outside values back.
        applied = self.document("apply", "standard", expected=3010)
        turn_back()
        self.restore_named(self.document(*remediate, expected=3010)["journal"])
        self.assertEqual(values(), turned_back, "the restore of the repair brings the outside values back")

        # A kept feature is left as the PC has it.
        telemetry = next(e["feature"] for e in self.document("plan", "standard", expected=0)["entries"]
                         if e["item"].get("value") == TELEMETRY[1])
        self.cli("choices", "set", "--keep", telemetry)
        self.assertEqual(self.document(*remediate, expected=3010)["turnedBack"], 2)
        self.assertEqual(values(), (turned_back[0], *as_applied[1:]))
        self.cli("choices", "clear")

        # Thirty repairs in a row keep the applying journal, whose full restore is still exact.
        for _ in range(30):
            self.reg("add", TELEMETRY[0], "/v", TELEMETRY[1], "/t", "REG_DWORD", "/d", "3", "/f")
            self.document(*remediate, expected=3010)
        journals = self.document("journals", expected=0)["journals"]
        self.assertIn(applied["journal"], [j["path"] for j in journals])
        self.assertEqual(sum(j["kind"] == "repair" for j in journals), 20)
        self.restore_named(applied["journal"])
        self.assertEqual(changed_since_prepared(), [], "the applying run's restore after thirty repairs was not exact")

    def test_keep_refuses_a_program_folder_others_can_change_and_leaves_nothing(self):
        """keep on runs the repair as SYSTEM only from a %ProgramFiles%\\Velmora that no one but administrators
        can change. Wine keeps no access lists (a folder belongs to the account that made it, whatever was
        asked), so under Wine every such folder is refused: the one keep on made is taken away again, one
        already there is left alone, and no task is registered. (The copy and the task themselves are tested
        in the Wine tests, and the folder's access list on Windows.)"""
        folder = "C:\\Program Files\\Velmora"
        unix_folder = SANDBOX / "prefix" / "drive_c" / "Program Files" / "Velmora"
        task_file = SANDBOX / "prefix" / "drive_c" / "windows" / "system32" / "tasks" / "Velmora" / "Keep Settings"
        self.addCleanup(shutil.rmtree, unix_folder, ignore_errors=True)
        reset_settings(self.sandbox)
        self.sandbox.run("wine", "reg", "delete", MARKER, "/f")
        shutil.rmtree(unix_folder, ignore_errors=True)
        self.assertIn("No profile is applied", self.document("keep", "on", expected=1603)["error"])
        applied = self.document("apply", "standard", expected=3010)

        refused = self.document("keep", "on", expected=1603)
        self.assertIn(f"{folder} was made, but it is owned by {WINE_USER}", refused["message"])
        self.assertFalse(refused["keeping"]["on"] or refused["keeping"]["taskPresent"])
        self.assertFalse(unix_folder.exists() or task_file.exists())

        self.assertEqual(self.sandbox.run("wine", "V:\\velmora_setup_tool.exe", "make-folder", folder,
                                          "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;BU)").returncode, 0)
        refused = self.document("keep", "on", expected=1603)
        self.assertIn(f"{folder} already exists and", refused["message"])
        self.assertTrue(unix_folder.is_dir() and not (unix_folder / "velmora-cli.exe").exists())
        self.assertFalse(task_file.exists())
        status = self.document("keep", "status", expected=0)
        self.assertEqual(status["message"], "Keeping settings in place is off.")
        self.document("keep", "off", expected=0)
        self.assertFalse(unix_folder.exists(), "keep off removes the copy, and the folder once empty")
        self.restore_named(applied["journal"])

    def test_a_failed_run_exits_1603_and_the_startup_script_applies_once(self):
        self.sandbox.run("wine", "reg", "delete", MARKER, "/f")  # other tests' runs may have left one
        # No lasting key can be created below a volatile policies key: every policy row fails.
        self.assertEqual(self.sandbox.run("wine", "V:\\velmora_setup_tool.exe", "make-volatile", "SOFTWARE\\Policies").returncode, 0)
        try:
            failed = self.document("apply", "essential", expected=1603)
            self.assertGreaterEqual(failed["failedRegistryWrites"], 14)
            self.assertIsNone(read_registry(self.sandbox, MARKER, "AppliedProfile"), "a failed run writes no marker")
            self.restore()
        finally:
            self.sandbox.run("wine", "reg", "delete", "HKLM\\SOFTWARE\\Policies", "/f")

        self.sandbox.run("wine", "reg", "delete", MARKER, "/f")  # the marker of earlier runs would stop the script

        self.sandbox.write("drive_c/velmora-startup.cmd", fleet_script().replace("\n", "\r\n"))
        journals = {j["name"] for j in self.document("journals", expected=0)["journals"]}
        for boot in range(2):
            self.assertEqual(self.sandbox.run("wine", "cmd", "/c", "C:\\velmora-startup.cmd", timeout=300).returncode, 0)
            self.assertEqual(read_registry(self.sandbox, MARKER, "AppliedProfile"), "Standard", f"boot {boot}")
        new = [j for j in self.document("journals", expected=0)["journals"] if j["name"] not in journals]
        self.assertEqual([(j["kind"], j["profile"], j["state"]) for j in new], [("run", "Standard", "succeeded")],
                         "applied once")
        self.assertIn("exit code 3010", self.sandbox.read("drive_c/ProgramData/Velmora/startup-script.log"))
        self.restore()


if __name__ == "__main__":
    unittest.main()
