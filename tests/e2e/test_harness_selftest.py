"""Checks the e2e harness itself against a small GTK peer window, so that a failing client test
points at the client and not at the harness."""

import os
import subprocess
import tempfile
import unittest
import urllib.request

import desktop

TITLE = "中文标题 selftest"

# Undecorated (openbox honours its position exactly), solid red, reports input on stdout.
PEER = r"""
import sys, gi
gi.require_version("Gtk", "3.0")
from gi.repository import Gtk, Gdk
def say(*a):
    print(*a, flush=True)
w = Gtk.Window(title=sys.argv[1])
w.set_decorated(False)
w.set_default_size(200, 150)
w.move(100, 100)
css = Gtk.CssProvider()
css.load_from_data(b"window { background: #ff0000; }")
Gtk.StyleContext.add_provider_for_screen(Gdk.Screen.get_default(), css, 600)
def on_key(_, ev):
    say("KEY", ev.keyval)
    if ev.keyval == ord("f"):
        w.fullscreen()
    return True
w.connect("key-press-event", on_key)
w.connect("button-press-event", lambda _, ev: say("PRESS", ev.button, int(ev.x), int(ev.y)) or True)
w.connect("button-release-event",
          lambda _, ev: say("RELEASE", ev.button, int(ev.x), int(ev.y)) or True)
w.connect("destroy", Gtk.main_quit)
w.show_all()
Gtk.main()
"""


class PeerWindowTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.out = os.path.join(self.tmp.name, "peer.out")
        with open(self.out, "w") as out:
            self.peer = subprocess.Popen(["/usr/bin/python3", "-c", PEER, TITLE], stdout=out,
                                         stderr=subprocess.STDOUT)

    def tearDown(self):
        self.peer.kill()
        self.peer.wait()
        self.tmp.cleanup()

    def lines(self):
        with open(self.out, encoding="utf-8") as f:
            return f.read().splitlines()

    def expect_line(self, line):
        desktop.wait_until(lambda: line in self.lines(), 5, message=f"peer output {line!r}")

    def test_find_name_geometry_input_screenshot(self):
        wid = desktop.find_window(name="标题 self", pid=self.peer.pid)
        self.assertEqual(desktop.window_name(wid), TITLE)
        self.assertEqual(desktop.find_windows(name="no such title", timeout=0), [])
        self.assertTrue(desktop.is_mapped(wid))
        g = desktop.window_geometry(wid)
        self.assertEqual((g.x, g.y, g.width, g.height), (100, 100, 200, 150))
        self.assertEqual((g.frame_x, g.frame_y, g.frame_width, g.frame_height),
                         (100, 100, 200, 150))
        self.assertEqual(desktop.net_wm_state(wid), set())

        desktop.key("a", window=wid)
        self.assertEqual(desktop.active_window(), wid)
        self.expect_line("KEY 97")

        desktop.click(150, 160)
        self.expect_line("PRESS 1 50 60")
        desktop.drag(110, 110, 180, 200, steps=5)
        self.expect_line("PRESS 1 10 10")
        self.expect_line("RELEASE 1 80 100")  # the pointer grab reports beyond the window
        self.assertEqual(desktop.pointer(), (180, 200))

        shot = desktop.screenshot(os.path.join(self.tmp.name, "shot.png"))
        img = desktop.load_png(shot)
        self.assertEqual((img.width, img.height), (1920, 1080))
        for x, y in [(100, 100), (150, 160), (299, 249)]:
            self.assertEqual(desktop.pixel(shot, x, y), (255, 0, 0, 255), (x, y))
        for x, y in [(99, 100), (300, 249), (150, 250)]:
            self.assertNotEqual(desktop.pixel(shot, x, y)[:3], (255, 0, 0), (x, y))

        desktop.key("f")
        desktop.wait_until(lambda: "_NET_WM_STATE_FULLSCREEN" in desktop.net_wm_state(wid), 5)
        desktop.wait_until(lambda: desktop.window_geometry(wid)[:4] == (0, 0, 1920, 1080), 5)

        self.peer.terminate()
        self.peer.wait()
        desktop.wait_until(lambda: desktop.map_state(wid) == "Gone", 5)
        self.assertFalse(desktop.is_mapped(wid))


class ServicesTest(unittest.TestCase):
    def test_beacon_server_records_and_serves(self):
        with desktop.BeaconServer() as srv:
            srv.serve("/page.html", "<p>页</p>")
            with urllib.request.urlopen(srv.url + "/page.html", timeout=5) as r:
                self.assertEqual((r.status, r.read().decode()), (200, "<p>页</p>"))
            url = srv.url + "/b?ev=start&n=%E4%B8%AD&n=2&empty="
            with urllib.request.urlopen(url, timeout=5) as r:
                self.assertEqual(r.status, 204)
                self.assertEqual(r.headers["Access-Control-Allow-Origin"], "*")
            req = srv.wait_for("/b", lambda r: r.query.get("ev") == "start", timeout=1)
            self.assertEqual(req.query, {"ev": "start", "n": "中", "empty": ""})
            self.assertEqual(req.raw_query, "ev=start&n=%E4%B8%AD&n=2&empty=")
            self.assertEqual([r.path for r in srv.requests], ["/page.html", "/b"])
            with self.assertRaises(desktop.WaitTimeout):
                srv.wait_for("/b", lambda r: r.query.get("ev") == "stop", timeout=0.2)

    def test_url_recorder_is_the_default_browser(self):
        with tempfile.TemporaryDirectory(prefix="url rec $x ") as tmp:  # awkward path on purpose
            data, config = os.path.join(tmp, "data"), os.path.join(tmp, "config")
            record = os.path.join(tmp, "urls.txt")
            desktop.install_url_recorder(data, config, record)
            env = dict(os.environ, HOME=tmp, XDG_DATA_HOME=data, XDG_CONFIG_HOME=config)
            urls = ["http://example.invalid/x", "https://example.invalid/y?q=中&a=1 2"]
            for u in urls:
                subprocess.run(["gio", "open", u], env=env, check=True, timeout=10)
                desktop.wait_until(lambda: u in desktop.read_recorded_urls(record), 5)
            self.assertEqual(desktop.read_recorded_urls(record), urls)


# Stands in for the client: reports its environment, opens a URL, leaves a helper behind.
FAKE_CLIENT = """#!/bin/sh
echo "home=$HOME"
cat "$(dirname "$0")/config.ini"
sleep 1.5 &
echo "helper=$!"
gio open http://example.invalid/from-client
exit 3
"""


class ClientTest(unittest.TestCase):
    def test_private_environment_config_exit_and_helper_cleanup(self):
        with tempfile.TemporaryDirectory() as tmp:
            exe = os.path.join(tmp, "fake-client")
            with open(exe, "w") as f:
                f.write(FAKE_CLIENT)
            os.chmod(exe, 0o755)
            client = desktop.Client(exe)
            try:
                client.write_config({"url": "http://127.0.0.1:1/游戏", "Scale": 2})
                client.start()
                self.assertEqual(client.wait_exit(5), 3)
                log = client.log()
                self.assertIn(f"home={client.home}\n", log)
                self.assertIn("[tova]\nurl = http://127.0.0.1:1/游戏\nScale = 2\n", log)
                desktop.wait_until(lambda: client.opened_urls(), 5)
                self.assertEqual(client.opened_urls(), ["http://example.invalid/from-client"])
                helper = int(log.split("helper=")[1].split()[0])
                self.assertIn(helper, client.helpers())
            finally:
                client.close()
            self.assertIn(desktop._proc_state(helper)[0], (None, "Z", "X"))
            self.assertFalse(os.path.exists(client.dir))

    def test_raw_config_and_kill(self):
        with tempfile.TemporaryDirectory() as tmp:
            exe = os.path.join(tmp, "fake-client")
            with open(exe, "w") as f:
                f.write('#!/bin/sh\ncat "$(dirname "$0")/config.ini"\nexec sleep 30\n')
            os.chmod(exe, 0o755)
            with desktop.Client(exe) as client:
                client.write_config(raw=b"\xff[tova\nno equals sign\n")
                client.start()
                desktop.wait_until(lambda: "no equals" in client.log(), 5)
                with self.assertRaises(desktop.WaitTimeout):
                    client.wait_exit(0.2)
                client.kill()
                self.assertEqual(client.wait_exit(5), -15)


if __name__ == "__main__":
    desktop.ensure_desktop()
    unittest.main()
