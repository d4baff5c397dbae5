"""The launcher on a real desktop: the page inside the translucent frame, link buttons, close."""

import os
import tempfile
import unittest

import desktop
from client_flow import PortalClient, PORTAL

BACKGROUND = (1434, 804)


class LauncherTest(unittest.TestCase):
    def setUp(self):
        self.shots = tempfile.mkdtemp(prefix="nebrisk-shots-")

    def start(self, query="", links=None):
        self.portal = PortalClient(query, links)
        self.addCleanup(self.portal.close)
        self.portal.wait_page("launcher")
        return self.portal.launcher_window()

    def test_frame_is_centred_translucent_and_closes_with_the_process(self):
        before = desktop.load_png(desktop.screenshot(os.path.join(self.shots, "before.png")))
        wid = self.start()
        g = desktop.window_geometry(wid)
        self.assertEqual((g.width, g.height), BACKGROUND)
        # Centred in the work area as if it still had its caption: a little up and left.
        self.assertLessEqual(abs(g.x + g.width // 2 - 960), 40)
        self.assertLessEqual(abs(g.y + g.height // 2 - 540), 60)
        shot = desktop.load_png(desktop.screenshot(os.path.join(self.shots, "launcher.png")))
        # Outside the shape the desktop shows through; on the panel the frame is drawn.
        corner = (g.x + 5, g.y + 5)
        self.assertEqual(shot.pixel(*corner)[:3], before.pixel(*corner)[:3])
        panel = (g.x + 620, g.y + 250)
        self.assertNotEqual(shot.pixel(*panel)[:3], before.pixel(*panel)[:3])
        desktop.key("alt+F4", window=wid)
        self.assertEqual(self.portal.client.wait_exit(15), 0)

    def test_link_button_opens_the_configured_address_read_at_each_click(self):
        wid = self.start(links={"home_url": "http://home.example/one"})
        g = desktop.window_geometry(wid)
        home = (g.x + 602 + 64, g.y + 197 + 22)
        desktop.click(*home)
        desktop.wait_until(lambda: self.portal.client.opened_urls() == ["http://home.example/one"], 15)
        self.portal.client.write_config({"client_web": "about:blank", "home_url": "http://home.example/two"})
        desktop.click(*home)
        desktop.wait_until(lambda: self.portal.client.opened_urls()[-1:] == ["http://home.example/two"], 15)

    def test_close_button_ends_the_process(self):
        wid = self.start()
        g = desktop.window_geometry(wid)
        desktop.click(g.x + 1295 + 24, g.y + 142 + 24)
        self.assertEqual(self.portal.client.wait_exit(15), 0)

    def test_host_object_refuses_bad_calls_at_once(self):
        self.start("&probe=1")
        probe = self.portal.beacon.wait_for("/probe", timeout=20)
        self.assertEqual(probe.query.get("external"), "1")
        self.assertEqual(probe.query.get("outlink"), "1")
        self.assertEqual(probe.query.get("threw"), "1")
        # Nothing changed: the launcher is still there.
        self.portal.launcher_window()
        self.assertTrue(self.portal.client.running())


if __name__ == "__main__":
    desktop.ensure_desktop()
    unittest.main()
