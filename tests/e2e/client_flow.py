"""Shared set-up for the client's end-to-end tests: a client on the demo portal whose pages
report to a local beacon server."""

import os

import desktop

SOURCE = os.environ.get("NEBRISK_SOURCE", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
PORTAL = "file://" + os.path.join(SOURCE, "examples", "demo-portal")
HINT = "  【F5刷新】【F11全屏】【F12最小托盘】"
FIRST_SERVER = "星辰一区 · 晨曦"


class PortalClient:
    """A running client whose launcher page is the demo portal with the given extra query."""

    def __init__(self, query="", links=None):
        self.beacon = desktop.BeaconServer()
        self.client = desktop.Client()
        values = {"client_web": f"{PORTAL}/launcher.html?port={self.beacon.port}{query}"}
        values.update(links or {})
        self.client.write_config(values)
        self.client.start()

    def launcher_window(self, timeout=20):
        return desktop.find_window(name="Nebrisk", pid=self.client.pid, timeout=timeout)

    def game_window(self, timeout=30):
        return desktop.find_window(name=HINT.strip(), pid=self.client.pid, timeout=timeout)

    def wait_page(self, page, count=1, timeout=30):
        def loaded():
            hits = [r for r in self.beacon.requests if r.path == "/loaded" and r.query.get("page") == page]
            return len(hits) >= count
        desktop.wait_until(loaded, timeout, message=f"{count} load(s) of the {page} page")

    def close(self):
        self.client.close()
        self.beacon.close()
