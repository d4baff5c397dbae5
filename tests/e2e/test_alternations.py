"""Many launcher ⇄ game round trips in one process, driven by the page itself: no crash, one exit
at the end, and memory that stays flat.

NEBRISK_ALTERNATIONS sets the number of round trips (default 20, so CI stays short).
"""

import os
import unittest

import desktop
from client_flow import PORTAL, HINT, PortalClient

CYCLES = int(os.environ.get("NEBRISK_ALTERNATIONS", "20"))
# Leaks of a few KiB per round trip drown in allocator noise over 20 cycles, but anything that
# keeps a page, a web view or a window per cycle shows at once. The bound is loose on purpose:
# heap fragmentation and GTK/WebKit caches may grow a little before they settle.
RSS_SLACK_KIB = 30 * 1024
BASELINE_CYCLE = 5


def _status_kib(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def _rollup_kib(pid, field):
    try:
        with open(f"/proc/{pid}/smaps_rollup") as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:  # a helper that just went away
        pass
    return 0


class AlternationTest(unittest.TestCase):
    @staticmethod
    def print_table(rows):
        print(f"\n{'cycle':>6} {'client RSS KiB':>15} {'tree RSS KiB':>13} {'tree PSS KiB':>13} "
              f"{'procs':>6}", flush=True)
        for cycle, rss, tree_rss, tree_pss, procs in rows:
            print(f"{cycle:>6} {rss:>15} {tree_rss:>13} {tree_pss:>13} {procs:>6}", flush=True)

    def test_round_trips_keep_one_process_and_flat_memory(self):
        self.assertGreaterEqual(CYCLES, 1)
        portal = PortalClient("&auto=1")
        self.addCleanup(portal.close)
        client = portal.client
        rows = []
        self.addCleanup(self.print_table, rows)  # shown on failure too

        def measure(cycle):
            # Cycle k: the launcher after k round trips (0: the first one).
            portal.wait_page("launcher", count=cycle + 1)
            self.assertTrue(client.running(), f"client gone after {cycle} cycles:\n{client.log()}")
            tree = {client.pid} | client.helpers()
            rows.append((cycle, _status_kib(client.pid, "VmRSS"),
                         sum(_rollup_kib(p, "Rss") for p in tree),
                         sum(_rollup_kib(p, "Pss") for p in tree), len(tree)))

        previous_game = None
        for cycle in range(1, CYCLES + 1):
            measure(cycle - 1)
            if cycle == CYCLES:
                # The last launcher must stay: without auto its page does not start the game.
                stay = f"{PORTAL}/launcher.html?port={portal.beacon.port}"
                client.write_config({"client_web": stay})

            # The page starts the game by itself; a new game window each time.
            portal.wait_page("game", count=cycle)
            game = desktop.wait_until(
                lambda: [w for w in desktop.find_windows(name=HINT.strip(), pid=client.pid,
                                                         timeout=0) if w != previous_game],
                30, message=f"the game window of cycle {cycle}")
            self.assertEqual(len(game), 1, f"cycle {cycle}: {game}")
            previous_game = game[0]
            desktop.key("alt+F4", window=previous_game)
            box = desktop.find_window(name="退出游戏", pid=client.pid, timeout=15)
            desktop.key("alt+y", window=box)
            desktop.wait_until(lambda: not desktop.is_mapped(box), 15,
                               message="the question box to close")

        measure(CYCLES)
        launcher = portal.launcher_window()
        self.assertTrue(client.running())
        desktop.key("alt+F4", window=launcher)
        self.assertEqual(client.wait_exit(15), 0)
        # Exactly one launcher per return and one game per launch: nothing ran twice.
        loads = [r.query.get("page") for r in portal.beacon.requests if r.path == "/loaded"]
        self.assertEqual(loads.count("launcher"), CYCLES + 1)
        self.assertEqual(loads.count("game"), CYCLES)

        if CYCLES > BASELINE_CYCLE:
            baseline, last = rows[BASELINE_CYCLE][1], rows[-1][1]
            self.assertLessEqual(last, baseline + RSS_SLACK_KIB,
                                 f"client RSS grew from {baseline} KiB (cycle {BASELINE_CYCLE}) "
                                 f"to {last} KiB (cycle {CYCLES})")


if __name__ == "__main__":
    desktop.ensure_desktop()
    unittest.main()
