"""The launcher's shape on a real desktop: clicks through its see-through parts, dragging by the
panel, starting the game through OUTLINK, and a clean exit without leftover WebKit helpers."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

import desktop
from client_flow import PortalClient, FIRST_SERVER, HINT

SIZE = (1434, 804)
ARTWORK = os.path.join(desktop.SOURCE_DIR, "resources", "images", "launcher_background.png")
LINK_BUTTONS = [(602, 197, 128, 44), (730, 197, 128, 44), (1032, 197, 128, 44),
                (1162, 197, 128, 44)]
# A point in the frame's clear margin, and one on the panel between two link buttons.
CLEAR_SPOT = (20, 400)
PANEL_SPOT = (900, 240)
PEER_COLOUR = (255, 0, 0)

# Undecorated, solid red, kept below normal windows; reports button presses on stdout.
PEER = r"""
import sys, gi
gi.require_version("Gtk", "3.0")
from gi.repository import Gtk, Gdk
x, y, w, h = map(int, sys.argv[1:5])
win = Gtk.Window(title="nebrisk shape peer")
win.set_decorated(False)
win.set_keep_below(True)
win.set_default_size(w, h)
win.move(x, y)
css = Gtk.CssProvider()
css.load_from_data(b"window { background: #ff0000; }")
Gtk.StyleContext.add_provider_for_screen(Gdk.Screen.get_default(), css, 600)
win.connect("button-press-event",
            lambda _, ev: print("PRESS", ev.button, int(ev.x), int(ev.y), flush=True) or True)
win.connect("destroy", Gtk.main_quit)
win.show_all()
print("READY", flush=True)
Gtk.main()
"""


def launcher_windows(pid):
    """Visible windows of the client that have the launcher's size (frame and overlay)."""
    found = []
    for wid in desktop.find_windows(pid=pid, timeout=0):
        try:
            g = desktop.window_geometry(wid)
        except RuntimeError:
            continue  # went away meanwhile
        if (g.width, g.height) == SIZE:
            found.append((wid, g))
    return found


def cmdline(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return f.read().replace(b"\0", b" ").decode(errors="replace")
    except OSError:
        return "?"


class LauncherShapeTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="nebrisk-shape-")
        self.addCleanup(shutil.rmtree, self.tmp, ignore_errors=True)
        self.artwork = desktop.load_png(ARTWORK)

    def start(self, query=""):
        self.portal = PortalClient(query)
        self.addCleanup(self.portal.close)
        self.portal.wait_page("launcher")
        if "auto=1" in query:
            return None  # the launcher goes away on its own
        wid = self.portal.launcher_window()
        both = desktop.wait_until(lambda: len(launcher_windows(self.portal.client.pid)) == 2
                                  and launcher_windows(self.portal.client.pid), 10,
                                  message="frame and overlay")
        self.assertEqual(both[0][1][:4], both[1][1][:4])
        return desktop.window_geometry(wid)

    def start_peer(self, x, y, w, h):
        out_path = os.path.join(self.tmp, "peer.out")
        with open(out_path, "w") as out:
            peer = subprocess.Popen(["/usr/bin/python3", "-c", PEER, str(x), str(y), str(w),
                                     str(h)], stdout=out, stderr=subprocess.STDOUT)

        def stop():
            peer.kill()
            peer.wait()
        self.addCleanup(stop)

        def lines():
            with open(out_path, encoding="utf-8") as f:
                return f.read().splitlines()
        desktop.wait_until(lambda: "READY" in lines(), 10, message="the peer window")
        wid = desktop.find_window(name="nebrisk shape peer", pid=peer.pid)
        desktop.wait_until(lambda: desktop.window_geometry(wid)[:4] == (x, y, w, h), 10,
                           message="the peer window in place")
        return lines

    def test_click_on_a_clear_pixel_reaches_the_window_beneath(self):
        g = self.start()
        self.assertEqual(self.artwork.pixel(*CLEAR_SPOT)[3], 0)
        spot = (g.x + CLEAR_SPOT[0], g.y + CLEAR_SPOT[1])
        lines = self.start_peer(g.x + 5, spot[1] - 100, 30, 200)

        # Kept below, the peer shows through the frame's clear pixels only.
        def peer_shows_through():
            shot = desktop.load_png(desktop.screenshot(os.path.join(self.tmp, "shot.png")))
            return shot.pixel(*spot)[:3] == PEER_COLOUR
        desktop.wait_until(peer_shows_through, 10, message="the peer behind the clear margin")
        panel = (g.x + PANEL_SPOT[0], g.y + PANEL_SPOT[1])
        shot = desktop.load_png(os.path.join(self.tmp, "shot.png"))
        self.assertNotEqual(shot.pixel(*panel)[:3], PEER_COLOUR)

        desktop.click(*spot)
        desktop.wait_until(lambda: "PRESS 1 15 100" in lines(), 5,
                           message="the click to reach the peer")
        self.assertTrue(self.portal.client.running())

    def test_drag_on_the_panel_moves_frame_and_overlay_together(self):
        g = self.start()
        x, y = PANEL_SPOT
        for bx, by, bw, bh in LINK_BUTTONS:
            self.assertFalse(bx <= x < bx + bw and by <= y < by + bh, "spot is on a button")
        self.assertEqual(self.artwork.pixel(x, y)[3], 255)
        start = (g.x + x, g.y + y)
        # Seen there is the frame's opaque panel, through the overlay.
        shot = desktop.load_png(desktop.screenshot(os.path.join(self.tmp, "panel.png")))
        got, want = shot.pixel(*start)[:3], self.artwork.pixel(x, y)[:3]
        self.assertTrue(all(abs(a - b) <= 3 for a, b in zip(got, want)), (got, want))

        pid = self.portal.client.pid
        before = {wid: geo for wid, geo in launcher_windows(pid)}
        dx, dy = -170, 95
        desktop.drag(*start, start[0] + dx, start[1] + dy, steps=12)

        def moved():
            now = launcher_windows(pid)
            if len(now) != 2 or {w for w, _ in now} != set(before):
                return False
            return all(abs(geo.x - before[w].x - dx) <= 2 and abs(geo.y - before[w].y - dy) <= 2
                       for w, geo in now) and now
        now = desktop.wait_until(moved, 10, message="both launcher windows to follow the drag")
        self.assertEqual(now[0][1][:4], now[1][1][:4])
        self.assertEqual(self.portal.client.opened_urls(), [])

    def test_upper_case_outlink_starts_the_game(self):
        self.start("&upper=1&auto=1")
        self.portal.wait_page("game")
        wid = self.portal.game_window()
        self.assertTrue(desktop.window_name(wid).startswith(FIRST_SERVER), desktop.window_name(wid))
        self.assertTrue(desktop.window_name(wid).endswith(HINT))
        self.assertFalse([r for r in self.portal.beacon.requests if r.path == "/launch_error"])
        desktop.wait_until(lambda: not launcher_windows(self.portal.client.pid), 15,
                           message="the launcher windows to go away")

    def test_closing_the_launcher_exits_cleanly_without_helpers(self):
        g = self.start()
        client = self.portal.client
        self.assertTrue(client.helpers(), "no WebKit helper while the page is shown")
        desktop.click(g.x + 1295 + 24, g.y + 142 + 24)
        self.assertEqual(client.wait_exit(15), 0)
        deadline = time.monotonic() + 5
        while client.helpers() and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual({pid: cmdline(pid) for pid in client.helpers()}, {},
                         "helpers left behind")


if __name__ == "__main__":
    desktop.ensure_desktop()
    unittest.main()
