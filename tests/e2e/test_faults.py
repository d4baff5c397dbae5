"""Faults under a running client: a web process dies under the game page or the launcher page,
and the window manager goes away and comes back."""

import os
import re
import signal
import subprocess
import time
import unittest

import desktop
from client_flow import PORTAL, PortalClient

HOME = (602 + 64, 197 + 22)
CLOSE = (1295 + 24, 142 + 24)
PAGE = (602, 261)
# The demo launcher's "进入游戏" button, in page coordinates.
ENTER_GAME = (563, 354)


def _stat(pid):
    with open(f"/proc/{pid}/stat") as f:
        return f.read().rsplit(")", 1)[1].split()


def web_processes(client):
    """The client's WebKit web processes, oldest first."""
    found = []
    for pid in client.helpers():
        try:
            with open(f"/proc/{pid}/comm") as f:
                if not f.read().startswith("WebKitWebProces"):
                    continue
            found.append((int(_stat(pid)[19]), pid))  # start time in clock ticks
        except (OSError, IndexError, ValueError):
            pass
    return [pid for _, pid in sorted(found)]


def kill_newest_web_process(client):
    victim = desktop.wait_until(lambda: web_processes(client), 10, message="a web process")[-1]
    os.kill(victim, signal.SIGKILL)
    desktop.wait_until(lambda: victim not in client.helpers(), 10, message=f"{victim} to go")
    return victim


def loads(portal, page):
    return sum(1 for r in portal.beacon.requests
               if r.path == "/loaded" and r.query.get("page") == page)


def answer_yes(portal, game):
    desktop.key("alt+F4", window=game)
    box = desktop.find_window(name="退出游戏", pid=portal.client.pid, timeout=15)
    desktop.key("alt+y", window=box)


class WebProcessFaultTest(unittest.TestCase):
    def start(self, query="", links=None):
        self.portal = PortalClient(query, links)
        self.addCleanup(self.portal.close)
        return self.portal

    def test_game_page_comes_back_after_its_web_process_dies(self):
        portal = self.start("&auto=1")
        portal.wait_page("game")
        game = portal.game_window()
        kill_newest_web_process(portal.client)
        # The page is loaded again by itself; the window never went away.
        portal.wait_page("game", count=2)
        self.assertTrue(portal.client.running())
        self.assertTrue(desktop.is_mapped(game))
        self.assertEqual(portal.game_window(), game)

        # A second death right after is not answered by another automatic load (no crash
        # loop), but F5 still loads the page on a dead view.
        kill_newest_web_process(portal.client)
        time.sleep(1.0)
        self.assertEqual(loads(portal, "game"), 2)
        self.assertTrue(portal.client.running())
        desktop.key("F5", window=game)
        portal.wait_page("game", count=3)

        # The way back still works and the process ends normally (the next launcher without
        # auto, so that it stays).
        stay = f"{PORTAL}/launcher.html?port={portal.beacon.port}"
        portal.client.write_config({"client_web": stay})
        answer_yes(portal, game)
        portal.wait_page("launcher", count=2)
        desktop.key("alt+F4", window=portal.launcher_window())
        self.assertEqual(portal.client.wait_exit(15), 0)

    def test_launcher_buttons_work_with_a_dead_page(self):
        portal = self.start(links={"home_url": "http://home.example/after-crash"})
        portal.wait_page("launcher")
        launcher = portal.launcher_window()
        kill_newest_web_process(portal.client)
        g = desktop.window_geometry(launcher)
        desktop.click(g.x + HOME[0], g.y + HOME[1])
        desktop.wait_until(
            lambda: portal.client.opened_urls() == ["http://home.example/after-crash"], 15,
            message="the home address to open")
        desktop.click(g.x + CLOSE[0], g.y + CLOSE[1])
        self.assertEqual(portal.client.wait_exit(15), 0)

    def test_launcher_page_recovers_and_starts_the_game(self):
        portal = self.start()
        portal.wait_page("launcher")
        launcher = portal.launcher_window()
        kill_newest_web_process(portal.client)
        portal.wait_page("launcher", count=2)
        # The reloaded page still reaches the host: its button starts the game.
        g = desktop.window_geometry(launcher)
        desktop.click(g.x + PAGE[0] + ENTER_GAME[0], g.y + PAGE[1] + ENTER_GAME[1])
        portal.wait_page("game")
        game = portal.game_window()
        answer_yes(portal, game)
        portal.wait_page("launcher", count=3)
        g = desktop.window_geometry(portal.launcher_window())
        desktop.click(g.x + CLOSE[0], g.y + CLOSE[1])
        self.assertEqual(portal.client.wait_exit(15), 0)


# --- Window manager restart -------------------------------------------------------------------

def _wm_check_window():
    """The live window manager's check window, or None while no window manager runs."""
    out = desktop.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False)
    if "window id #" not in out:
        return None
    wid = out.split("#", 1)[1].split()[0].strip(",")
    # A window manager that died leaves the root property behind; its window is gone then.
    own = desktop.run("xprop", "-id", wid, "_NET_SUPPORTING_WM_CHECK", check=False)
    return wid if wid in own else None


def _openbox_pids():
    display = os.environ["DISPLAY"].encode()
    pids = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/comm") as f:
                if f.read().strip() != "openbox":
                    continue
            with open(f"/proc/{name}/environ", "rb") as f:
                if b"DISPLAY=" + display in f.read().split(b"\0"):
                    pids.append(int(name))
        except OSError:
            pass
    return pids


def _managed(wid):
    """Mapped and framed by a window manager (a dead one's windows fall back to the root)."""
    tree = desktop.run("xwininfo", "-tree", "-id", str(wid))
    parent = tree.split("Parent window id:", 1)[1].splitlines()[0]
    return "(the root window)" not in parent and desktop.is_mapped(wid)


def _stacked_above(windows, below):
    """Whether the window manager stacks every one of `windows` above `below`."""
    out = desktop.run("xprop", "-root", "_NET_CLIENT_LIST_STACKING", check=False)
    order = [int(v, 16) for v in re.findall(r"0x[0-9a-fA-F]+", out)]  # bottom to top
    return below in order and all(w in order and order.index(w) > order.index(below)
                                  for w in windows)


def _start_openbox():
    # Detached: the desktop keeps its window manager after this test, for the tests after it.
    subprocess.run(["sh", "-c", "openbox --sm-disable >/dev/null 2>&1 </dev/null &"], check=True,
                   start_new_session=True)


def _ensure_window_manager():
    if _wm_check_window() is None:
        if not _openbox_pids():
            _start_openbox()
        desktop.wait_until(_wm_check_window, 15, message="the window manager to come back")


class WindowManagerRestartTest(unittest.TestCase):
    def test_launcher_survives_a_window_manager_restart(self):
        victims = _openbox_pids()
        if _wm_check_window() is None or len(victims) != 1:
            self.skipTest("needs exactly one openbox managing this display")
        self.addCleanup(_ensure_window_manager)
        portal = PortalClient(links={"home_url": "http://home.example/after-restart"})
        self.addCleanup(portal.close)
        portal.wait_page("launcher")
        launcher = portal.launcher_window()
        size = desktop.window_geometry(launcher)[2:4]

        owned = [w for w in desktop.find_windows(pid=portal.client.pid, timeout=0) if w != launcher]
        self.assertTrue(owned, "the launcher's overlay window")
        self.assertTrue(_stacked_above(owned, launcher))

        os.kill(victims[0], signal.SIGKILL)
        desktop.wait_until(lambda: _wm_check_window() is None, 10, message="openbox to go")
        _start_openbox()
        # (Its check window may well get the old id again: X reuses a dead client's id range.)
        desktop.wait_until(_wm_check_window, 15, message="a new window manager")
        windows = [launcher] + owned
        desktop.wait_until(lambda: all(map(_managed, windows)), 15,
                           message="the launcher's windows to be managed again")
        # The overlay carries the buttons and the page: it has to end up above its owner again,
        # also after the owner is activated.
        desktop.wait_until(lambda: _stacked_above(owned, launcher), 10,
                           message="the overlay above the launcher")
        desktop.activate(launcher)
        desktop.wait_until(lambda: _stacked_above(owned, launcher), 10,
                           message="the overlay above the activated launcher")

        self.assertTrue(portal.client.running())
        self.assertTrue(desktop.is_mapped(launcher))
        g = desktop.window_geometry(launcher)
        self.assertEqual((g.width, g.height), size)
        desktop.click(g.x + HOME[0], g.y + HOME[1])
        desktop.wait_until(
            lambda: portal.client.opened_urls() == ["http://home.example/after-restart"], 15,
            message="the home address to open")
        desktop.key("alt+F4", window=launcher)
        self.assertEqual(portal.client.wait_exit(15), 0)


if __name__ == "__main__":
    desktop.ensure_desktop()
    unittest.main()
