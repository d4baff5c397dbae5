"""The Debian package installed for real: file layout, desktop entry, icons, and the installed
client finding its configuration under /etc through the link beside the executable.

Needs root and NEBRISK_DEB (path of a built nebrisk_*.deb, see scripts/package.sh); skipped
otherwise. Installs the package for the duration of the test and purges it afterwards."""

import os
import subprocess
import unittest

import desktop
from client_flow import PORTAL

DEB = os.environ.get("NEBRISK_DEB")
LIB_EXE = "/usr/lib/nebrisk/nebrisk"
BIN_LINK = "/usr/bin/nebrisk"
CONFIG = "/etc/nebrisk/config.ini"
CONFIG_LINK = "/usr/lib/nebrisk/config.ini"
DESKTOP_ENTRY = "/usr/share/applications/nebrisk.desktop"
ICONS = ["/usr/share/icons/hicolor/48x48/apps/nebrisk.png",
         "/usr/share/icons/hicolor/256x256/apps/nebrisk.png"]
APT = ["apt-get", "-y", "-q", "-o", "DPkg::Lock::Timeout=120"]


def package_installed():
    r = subprocess.run(["dpkg-query", "-W", "-f=${Status}", "nebrisk"], capture_output=True,
                       text=True)
    return r.returncode == 0 and "install ok installed" in r.stdout


def apt(*args):
    r = subprocess.run(APT + list(args), capture_output=True, text=True, timeout=240,
                       env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
    if r.returncode != 0:
        raise AssertionError(f"apt-get {' '.join(args)} failed ({r.returncode}):\n"
                             f"{r.stdout[-2000:]}\n{r.stderr[-2000:]}")


@unittest.skipUnless(DEB, "NEBRISK_DEB (a built nebrisk_*.deb) is not set")
@unittest.skipUnless(os.geteuid() == 0, "installing the package needs root")
class InstalledPackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.isfile(DEB):
            raise unittest.SkipTest(f"NEBRISK_DEB is not a file: {DEB}")
        # An installation this test did not make is left alone.
        if package_installed():
            raise unittest.SkipTest("nebrisk is already installed on this machine")
        # Purged, not just removed: the configuration is a conffile and would stay behind.
        cls.addClassCleanup(apt, "remove", "--purge", "nebrisk")
        apt("install", os.path.abspath(DEB))

    def test_layout_entry_and_icons(self):
        self.assertTrue(os.path.isfile(LIB_EXE) and os.access(LIB_EXE, os.X_OK))
        self.assertTrue(os.path.islink(BIN_LINK), f"{BIN_LINK} is not a link")
        self.assertEqual(os.path.realpath(BIN_LINK), LIB_EXE)
        self.assertTrue(os.path.islink(CONFIG_LINK), f"{CONFIG_LINK} is not a link")
        self.assertEqual(os.readlink(CONFIG_LINK), CONFIG)
        self.assertTrue(os.path.isfile(CONFIG))
        conffiles = desktop.run("dpkg-query", "-W", "-f=${Conffiles}", "nebrisk")
        self.assertIn(CONFIG, conffiles, "the configuration must survive upgrades as a conffile")
        r = subprocess.run(["desktop-file-validate", DESKTOP_ENTRY], capture_output=True,
                           text=True)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertEqual(r.stdout.strip(), "", "desktop-file-validate warns")
        for icon in ICONS:
            with open(icon, "rb") as f:
                self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n", icon)

    def test_installed_client_reads_config_under_etc(self):
        with open(CONFIG, "rb") as f:
            packaged = f.read()

        def restore():
            with open(CONFIG, "wb") as f:
                f.write(packaged)
        self.addCleanup(restore)

        beacon = desktop.BeaconServer()
        self.addCleanup(beacon.close)
        with open(CONFIG, "w", encoding="utf-8") as f:
            f.write(f"[tova]\nclient_web={PORTAL}/launcher.html?port={beacon.port}\n")

        # desktop.Client gives the private HOME/XDG environment and the clean-up of helpers;
        # it runs the installed program through its link instead of a private copy, so nothing
        # but the link leads the client to its configuration.
        client = desktop.Client(exe=LIB_EXE)
        self.addCleanup(client.close)
        client.exe = BIN_LINK
        client.start()
        beacon.wait_for("/loaded", lambda r: r.query.get("page") == "launcher", timeout=30)
        wid = desktop.find_window(name="Nebrisk", pid=client.pid, timeout=20)
        desktop.key("alt+F4", window=wid)
        self.assertEqual(client.wait_exit(15), 0, client.log())


if __name__ == "__main__":
    desktop.ensure_desktop()
    unittest.main()
