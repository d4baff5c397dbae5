"""Whatever lies beside the executable as config.ini, the client starts, shows its launcher with
working buttons and closes normally: unusable files fall back to the built-in addresses."""

import os
import unittest

import desktop
from client_flow import PORTAL

DEFAULT_HOME = "http://www.nebrisk.com/"
UTF16_HOME = "http://home.example/utf16"
HOME = (602 + 64, 197 + 22)
CLOSE = (1295 + 24, 142 + 24)


def _missing(client, beacon):
    pass


def _raw(data):
    return lambda client, beacon: client.write_config(raw=data)


def _utf16(client, beacon):
    text = (f"\ufeff[tova]\r\nclient_web={PORTAL}/launcher.html?port={beacon.port}\r\n"
            f"home_url={UTF16_HOME}\r\n")
    client.write_config(raw=text.encode("utf-16-le"))


def _directory(client, beacon):
    os.mkdir(os.path.join(client.dir, "config.ini"))


def _unreadable(client, beacon):
    path = client.write_config({"home_url": "http://home.example/unreadable"})
    os.chmod(path, 0)


# Every byte value, NULs, stray brackets and equals signs, no line structure to speak of.
GARBAGE = bytes((i * 7919 + 13) % 256 for i in range(64 * 1024)) + b"[tova\0]=\xff\xfe=\n"

# (name, set-up, address the home button opens, whether the configured page loads)
CASES = [
    ("missing", _missing, DEFAULT_HOME, False),
    ("empty", _raw(b""), DEFAULT_HOME, False),
    ("binary garbage", _raw(GARBAGE), DEFAULT_HOME, False),
    ("utf-16le with bom", _utf16, UTF16_HOME, True),
    ("10 MB single line", _raw(b"home_url=http://" + b"a" * (10 << 20)), DEFAULT_HOME, False),
    ("directory", _directory, DEFAULT_HOME, False),
    ("unreadable", _unreadable, DEFAULT_HOME, False),
]


class ConfigVariantTest(unittest.TestCase):
    def test_client_starts_and_closes_with_any_config_file(self):
        for name, setup, home, page_loads in CASES:
            with self.subTest(name):
                if name == "unreadable" and os.geteuid() == 0:
                    self.skipTest("root reads a mode-000 file anyway")
                self.run_case(setup, home, page_loads)

    def run_case(self, setup, home, page_loads):
        beacon = desktop.BeaconServer()
        self.addCleanup(beacon.close)
        client = desktop.Client()
        self.addCleanup(client.close)
        setup(client, beacon)
        client.start()
        launcher = desktop.find_window(name="Nebrisk", pid=client.pid, timeout=20)
        if page_loads:
            beacon.wait_for("/loaded", lambda r: r.query.get("page") == "launcher", timeout=20)
        g = desktop.window_geometry(launcher)
        desktop.click(g.x + HOME[0], g.y + HOME[1])
        desktop.wait_until(lambda: client.opened_urls() == [home], 15,
                           message=f"{home} to open")
        desktop.click(g.x + CLOSE[0], g.y + CLOSE[1])
        self.assertEqual(client.wait_exit(15), 0)
        client.close()


if __name__ == "__main__":
    desktop.ensure_desktop()
    unittest.main()
