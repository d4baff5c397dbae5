"""The whole flow on a real desktop: the page starts the game, the game window's caption, keys
and full screen, the close question, and the way back to a fresh launcher."""

import unittest

import desktop
from client_flow import PortalClient, HINT, FIRST_SERVER, PORTAL


class GameWindowTest(unittest.TestCase):
    def start_game(self, query="&auto=1"):
        self.portal = PortalClient(query)
        self.addCleanup(self.portal.close)
        self.portal.wait_page("game")
        wid = self.portal.game_window()
        desktop.wait_until(lambda: "Nebrisk" not in [desktop.window_name(w) for w in
                           desktop.find_windows(pid=self.portal.client.pid, timeout=0)], 15,
                           message="the launcher to go away")
        return wid

    def keys_seen(self, name):
        return [r for r in self.portal.beacon.requests if r.path == "/key" and r.query.get("key") == name]

    def test_caption_maximised_and_keys(self):
        wid = self.start_game()
        self.assertEqual(desktop.window_name(wid), FIRST_SERVER + HINT)
        desktop.wait_until(lambda: {"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ"}
                           <= desktop.net_wm_state(wid), 10)

        # F11: full screen without decorations; again: maximised with them.
        desktop.key("F11", window=wid)
        desktop.wait_until(lambda: "_NET_WM_STATE_FULLSCREEN" in desktop.net_wm_state(wid), 10)
        desktop.key("F11", window=wid)
        desktop.wait_until(lambda: "_NET_WM_STATE_FULLSCREEN" not in desktop.net_wm_state(wid)
                           and "_NET_WM_STATE_MAXIMIZED_VERT" in desktop.net_wm_state(wid), 10)

        # Esc and Enter reach the page; F5 does not, it requests the start address again.
        desktop.key("Escape", window=wid)
        desktop.key("Return", window=wid)
        desktop.wait_until(lambda: self.keys_seen("Escape") and self.keys_seen("Enter"), 10)
        desktop.key("F5", window=wid)
        self.portal.wait_page("game", count=2)
        self.assertFalse(self.keys_seen("F5"))

        # Esc in full screen leaves it.
        desktop.key("F11", window=wid)
        desktop.wait_until(lambda: "_NET_WM_STATE_FULLSCREEN" in desktop.net_wm_state(wid), 10)
        desktop.key("Escape", window=wid)
        desktop.wait_until(lambda: "_NET_WM_STATE_FULLSCREEN" not in desktop.net_wm_state(wid), 10)

    def test_close_question_no_then_yes_returns_to_a_fresh_launcher(self):
        wid = self.start_game()
        # The next launcher reads config.ini again: without auto it stays on screen.
        self.portal.client.write_config({"client_web": f"{PORTAL}/launcher.html?port={self.portal.beacon.port}"})
        desktop.activate(wid)
        desktop.key("alt+F4", window=wid)
        box = desktop.find_window(name="退出游戏", timeout=15)
        desktop.key("alt+n", window=box)
        desktop.wait_until(lambda: not desktop.find_windows(name="退出游戏", timeout=0), 10)
        self.assertTrue(desktop.is_mapped(wid))

        desktop.key("alt+F4", window=wid)
        box = desktop.find_window(name="退出游戏", timeout=15)
        desktop.key("alt+y", window=box)
        self.portal.wait_page("launcher", count=2)
        launcher = self.portal.launcher_window()
        desktop.wait_until(lambda: not desktop.find_windows(name=HINT.strip(), pid=self.portal.client.pid,
                                                            timeout=0), 15)
        desktop.key("alt+F4", window=launcher)
        self.assertEqual(self.portal.client.wait_exit(15), 0)

    def test_f12_without_a_tray_minimises_so_the_window_stays_reachable(self):
        wid = self.start_game()
        desktop.key("F12", window=wid)
        desktop.wait_until(lambda: "_NET_WM_STATE_HIDDEN" in desktop.net_wm_state(wid), 10)
        self.assertFalse(self.keys_seen("F12"))


if __name__ == "__main__":
    desktop.ensure_desktop()
    unittest.main()
