"""F12 hides the game window to a real tray and the tray brings it back maximised: a
StatusNotifierItem host (also across a watcher restart) and an XEmbed tray (trayer)."""

import os
import re
import shutil
import subprocess
import tempfile
import unittest

import desktop
from client_flow import PortalClient

WATCHER = "org.kde.StatusNotifierWatcher"
MAXIMISED = {"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ"}


def gdbus_call(dest, path, method, *args):
    """Result text of a session-bus call ("" when it fails)."""
    return desktop.run("gdbus", "call", "--session", "--dest", dest, "--object-path", path,
                       "--method", method, "--", *args, check=False)


def bus_names():
    out = gdbus_call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                     "org.freedesktop.DBus.ListNames")
    return re.findall(r"'([^']*)'", out)


def has_watcher():
    return WATCHER in bus_names()


def host_registered():
    return "true" in gdbus_call(WATCHER, "/StatusNotifierWatcher",
                                "org.freedesktop.DBus.Properties.Get", WATCHER,
                                "IsStatusNotifierHostRegistered")


def registered_items():
    return gdbus_call(WATCHER, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties.Get",
                      WATCHER, "RegisteredStatusNotifierItems")


def wm_state(wid):
    """ICCCM WM_STATE as xprop words ("Normal", "Iconic", "Withdrawn"), "" when unset."""
    out = desktop.run("xprop", "-id", str(wid), "WM_STATE", check=False)
    m = re.search(r"window state: (\w+)", out)
    return m.group(1) if m else ""


def descendants(wid):
    """Ids of all windows below `wid` with their absolute geometry (x, y, w, h)."""
    found = []
    for line in desktop.run("xwininfo", "-tree", "-id", str(wid)).splitlines():
        m = re.match(r"\s+(0x[0-9a-f]+) .*?\s(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)\s*$",
                     line)
        if m:
            w, h, x, y = (int(v) for v in m.groups()[1:])
            found.append((int(m.group(1), 16), (x, y, w, h)))
    return found


class TrayRestoreTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="nebrisk-tray-")
        self.addCleanup(shutil.rmtree, self.tmp, ignore_errors=True)
        self.assertFalse(has_watcher(), "a StatusNotifierWatcher is already on the bus")

    # --- hosts ---

    def spawn(self, name, args):
        log_path = os.path.join(self.tmp, f"{name}.log")
        with open(log_path, "a") as log:
            proc = subprocess.Popen(args, stdout=log, stderr=log, stdin=subprocess.DEVNULL)
        self.addCleanup(self.stop, proc)
        return proc, log_path

    def stop(self, proc):
        if proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()

    def start_sni_host(self):
        """gtk-sni-tray-standalone with its own watcher. It sometimes quits at start-up when its
        host asks the watcher before that is exported; such a start is retried."""
        if not shutil.which("gtk-sni-tray-standalone"):
            self.skipTest("gtk-sni-tray-standalone is not installed")
        for _ in range(3):
            proc, log_path = self.spawn("sni-host", ["gtk-sni-tray-standalone", "--watcher"])
            desktop.wait_until(lambda: proc.poll() is not None or host_registered(), 15,
                               message="the SNI host to start")
            if proc.poll() is None:
                return proc
        with open(log_path) as log:
            self.fail(f"SNI host keeps exiting; its log ends: {log.read()[-1500:]}")

    def stop_sni_host(self, proc):
        self.stop(proc)
        desktop.wait_until(lambda: not has_watcher(), 10, message="the watcher to leave the bus")

    def start_trayer(self):
        if not shutil.which("trayer"):
            self.skipTest("trayer is not installed")
        proc, _ = self.spawn("trayer", ["trayer", "--edge", "top", "--align", "right",
                                        "--widthtype", "pixel", "--width", "100",
                                        "--heighttype", "pixel", "--height", "32"])
        ids = desktop.wait_until(lambda: desktop.run("xdotool", "search", "--onlyvisible",
                                                     "--class", "trayer", check=False).split(),
                                 10, message="the trayer panel")
        return [int(w) for w in ids]

    # --- the game ---

    def start_game(self):
        self.portal = PortalClient("&auto=1")
        self.addCleanup(self.portal.close)
        self.portal.wait_page("game")
        wid = self.portal.game_window()
        self.wait_maximised(wid)
        return wid

    def item_name(self):
        prefix = f"org.kde.StatusNotifierItem-{self.portal.client.pid}-"
        names = [n for n in bus_names() if n.startswith(prefix)]
        return names[0] if len(names) == 1 else None

    def wait_item_registered(self):
        def registered():
            name = self.item_name()
            return name if name and name in registered_items() else None
        return desktop.wait_until(registered, 15, message="the client's item at the watcher")

    def hide_with_f12(self, wid):
        desktop.key("F12", window=wid)
        desktop.wait_until(lambda: desktop.map_state(wid) != "IsViewable", 10,
                           message="the game window to be hidden")
        # Withdrawn, not iconified: nothing left in a task bar.
        self.assertNotIn("_NET_WM_STATE_HIDDEN", desktop.net_wm_state(wid))
        self.assertNotEqual(wm_state(wid), "Iconic")
        self.assertEqual(desktop.map_state(wid), "IsUnMapped")

    def wait_maximised(self, wid):
        desktop.wait_until(lambda: desktop.is_mapped(wid)
                           and MAXIMISED <= desktop.net_wm_state(wid)
                           and "_NET_WM_STATE_HIDDEN" not in desktop.net_wm_state(wid), 10,
                           message="the game window shown maximised")

    def activate_item(self, name):
        out = gdbus_call(name, "/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate",
                         "0", "0")
        self.assertEqual(out.strip(), "()", f"Activate on {name} failed")

    # --- tests ---

    def test_sni_activate_restores_the_hidden_window_maximised(self):
        self.start_sni_host()
        wid = self.start_game()
        name = self.wait_item_registered()
        self.hide_with_f12(wid)
        self.activate_item(name)
        self.wait_maximised(wid)

    def test_item_registers_again_after_a_watcher_restart_while_hidden(self):
        host = self.start_sni_host()
        wid = self.start_game()
        self.wait_item_registered()
        self.hide_with_f12(wid)

        self.stop_sni_host(host)
        self.start_sni_host()
        name = self.wait_item_registered()
        self.assertEqual(desktop.map_state(wid), "IsUnMapped")
        self.activate_item(name)
        self.wait_maximised(wid)

    def test_left_click_on_the_xembed_icon_restores_the_window_maximised(self):
        panels = self.start_trayer()
        wid = self.start_game()
        pid = str(self.portal.client.pid)

        def icon():
            for panel in panels:
                for child, (x, y, w, h) in descendants(panel):
                    if (w > 1 and h > 1 and desktop.is_mapped(child)
                            and desktop.prop(child, "_NET_WM_PID") == pid):
                        return x, y, w, h
            return None
        x, y, w, h = desktop.wait_until(icon, 15, message="the client's icon inside trayer")
        self.hide_with_f12(wid)
        desktop.click(x + w // 2, y + h // 2)
        self.wait_maximised(wid)


if __name__ == "__main__":
    desktop.ensure_desktop()
    unittest.main()
