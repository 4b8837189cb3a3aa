#!/usr/bin/env python3
"""The Debian package, made from this build tree, installed and used.

    debian_e2e.py --build BUILD_DIR [unittest arguments]

cpack makes quorvel_VERSION_amd64.deb from the build tree, lintian must find
no error in it, and apt-get installs it on this machine, the way a user
installs it. Installing needs root: without it, or when a quorvel package is
installed already (it would be replaced), the test stops after the checks of
the package and is skipped. CI runs as root on a machine thrown away
afterwards, with QUORVEL_REQUIRE_ROOT_TESTS=1: there such a skip, or a
machine without mount namespaces, fails the test instead. The package is
purged again at the end all the same. The installed quorvel-pack then
builds a player of the installed sample's movie, and the player plays, and
the installed quorvel plays the movie itself, all
run with the build and source trees hidden behind empty folders (a mount
namespace of their own), so nothing of them is used.
"""

import glob
import os
import shlex
import shutil
import stat
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import control_e2e  # noqa: E402
import player_e2e  # noqa: E402

BACKGROUND = (0x14, 0x21, 0x3D)  # the logo's, below its circle


def run(*command, **options):
    return subprocess.run(list(command), capture_output=True, text=True, **options)


class Suite(control_e2e.ControlTest):
    def setUp(self):
        for program in ("cpack", "lintian", "dpkg-shlibdeps", "apt-get", "unshare"):
            if not shutil.which(program):
                player_e2e.skip_or_fail(self, program + " is missing (scripts/setup.sh installs it)")
        super().setUp()
        # A container may forbid mount namespaces; the commands then run as they are.
        self.can_hide = run("unshare", "--mount", "--propagation", "private", "true").returncode == 0
        if not self.can_hide:
            if os.environ.get("QUORVEL_REQUIRE_ROOT_TESTS") == "1":
                self.fail("no mount namespace here, where the run must have one (QUORVEL_REQUIRE_ROOT_TESTS=1)")
            sys.stderr.write("note: no mount namespace here; the build tree stays visible\n")

    def hidden(self, *command):
        """A script that runs `command` with the build and source trees
        covered by empty folders, in a mount namespace of its own; it execs,
        so the command keeps the script's process."""
        wrapper = os.path.join(self.scratch, "hidden-%d" % len(os.listdir(self.scratch)))
        covers = "".join("[ ! -d %s ] || mount -t tmpfs tmpfs %s || exit 99\n" % (shlex.quote(t), shlex.quote(t))
                         for t in (player_e2e.BUILD, player_e2e.SOURCE))
        if not self.can_hide:
            covers = ""
        with open(wrapper, "w") as out:
            out.write("#!/bin/sh\n"
                      + ("[ -n \"$QUORVEL_HIDDEN\" ] || QUORVEL_HIDDEN=1 exec unshare --mount --propagation private \"$0\"\n"
                         if self.can_hide else "")
                      + covers + "exec " + " ".join(shlex.quote(word) for word in command) + "\n")
        os.chmod(wrapper, stat.S_IRWXU)
        return wrapper

    def test_the_package_installs_and_its_packager_makes_players_that_play(self):
        out = os.path.join(self.scratch, "deb")
        made = run("cpack", "-G", "DEB", "-B", out, "--config", os.path.join(player_e2e.BUILD, "CPackConfig.cmake"))
        self.assertEqual(made.returncode, 0, made.stdout + made.stderr)
        debs = glob.glob(os.path.join(out, "quorvel_*_amd64.deb"))
        self.assertEqual(len(debs), 1, os.listdir(out))
        deb = debs[0]
        version = run("dpkg-deb", "-f", deb, "Version").stdout.strip()
        self.assertEqual(os.path.basename(deb), "quorvel_%s_amd64.deb" % version)
        depends = run("dpkg-deb", "-f", deb, "Depends").stdout
        for library in ("libc6", "libgtk-3-0", "libwebkit2gtk-4.1-0"):  # as dpkg-shlibdeps found them
            self.assertIn(library, depends)

        checked = run("lintian", "--no-tag-display-limit", deb)
        errors = [line for line in checked.stdout.splitlines() if line.startswith("E: ")]
        self.assertEqual(errors, [], checked.stdout + checked.stderr)
        # Every command has its manual page now.
        self.assertNotIn("no-manual-page", checked.stdout)
        sys.stderr.write("lintian:\n" + checked.stdout)

        # The desktop entry that opens movies from the file manager, as the package holds it.
        unpacked = os.path.join(self.scratch, "unpacked")
        self.assertEqual(run("dpkg-deb", "-x", deb, unpacked).returncode, 0)
        entry = os.path.join(unpacked, "usr", "share", "applications", "quorvel.desktop")
        if shutil.which("desktop-file-validate"):
            validated = run("desktop-file-validate", entry)
            self.assertEqual((validated.returncode, validated.stdout), (0, ""), validated.stdout + validated.stderr)
        with open(entry) as text:
            lines = text.read().splitlines()
        for line in ("Exec=quorvel %f", "MimeType=application/vnd.adobe.flash.movie;", "Icon=quorvel"):
            self.assertIn(line, lines)
        self.assertTrue(os.path.exists(os.path.join(unpacked, "usr", "share", "icons", "hicolor", "48x48", "apps",
                                                    "quorvel.png")))

        if os.geteuid() != 0:
            player_e2e.skip_or_fail(self, "made and checked; installing it needs root")
        if run("dpkg-query", "-W", "-f=${Status}", "quorvel").stdout.startswith("install ok"):
            player_e2e.skip_or_fail(self, "made and checked; a quorvel package is installed already")
        self.addCleanup(run, "apt-get", "purge", "-y", "-qq", "quorvel")
        installed = run("apt-get", "install", "-y", "-qq", "--no-install-recommends",
                        "-o", "DPkg::Lock::Timeout=600", deb, env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        self.assertEqual(installed.returncode, 0, installed.stdout + installed.stderr)
        for path in ("/usr/bin/quorvel", "/usr/bin/quorvel-pack", "/usr/lib/quorvel/quorvel-player",
                     "/usr/lib/quorvel/libquorvel-flash.so", "/usr/lib/quorvel/quorvel-sample",
                     "/usr/share/man/man1/quorvel.1.gz", "/usr/share/applications/quorvel.desktop",
                     "/usr/share/doc/quorvel/copyright"):
            self.assertTrue(os.path.exists(path), path)
        # The bare player is a template, no command.
        self.assertFalse(os.path.exists("/usr/bin/quorvel-player"))

        # A movie from the installed sample, made into a player by the installed packager.
        sample = os.path.join(self.scratch, "sample")
        game = os.path.join(self.scratch, "game")
        extracted = run(self.hidden("/usr/bin/quorvel-pack", "extract", "/usr/lib/quorvel/quorvel-sample", sample))
        self.assertEqual(extracted.returncode, 0, extracted.stderr)
        built = run(self.hidden("/usr/bin/quorvel-pack", "build", "-o", game, os.path.join(sample, "logo.swf")),
                    env=self.env)
        self.assertEqual(built.returncode, 0, built.stderr)
        self.assertIn(", Flash control", built.stdout)
        self.assertEqual(built.stderr, "")

        self.start(self.hidden(game))
        self.assertTrue(self.shows(512, 560, BACKGROUND), "the movie never showed")
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)

        # The movie itself, opened with the installed quorvel and the control installed beside it.
        os.remove(self.registry_file())
        self.start(self.hidden("/usr/bin/quorvel", os.path.join(sample, "logo.swf")))
        self.assertTrue(self.shows(512, 560, BACKGROUND), "the opened movie never showed")
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)
        self.assertIsNone(self.registered_module())

        # From the file manager: GIO finds the installed desktop entry for a
        # movie through the cache desktop-file-utils' trigger wrote.
        if not shutil.which("gio") or not shutil.which("update-desktop-database"):
            sys.stderr.write("note: gio or desktop-file-utils is missing; gio open is not tried\n")
            return
        with open(os.path.join(self.scratch, "gio.txt"), "w") as said:
            opened = subprocess.run([self.hidden("gio", "open", os.path.join(sample, "logo.swf"))], env=self.env,
                                    stdout=subprocess.DEVNULL, stderr=said, timeout=60)
        with open(os.path.join(self.scratch, "gio.txt")) as said:
            self.assertEqual(opened.returncode, 0, said.read())
        self.assertTrue(self.shows(512, 560, BACKGROUND), "the movie gio opened never showed")
        self.x("xdotool", "key", "Escape")
        self.assertTrue(player_e2e.wait_for(lambda: not self.find_window("Quorvel"), 10.0), "the player did not end")


if __name__ == "__main__":
    player_e2e.own_tests_only(Suite, control_e2e.ControlTest)
    player_e2e.main()
