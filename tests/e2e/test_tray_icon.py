"""Tray icon on real hosts: a StatusNotifierItem watcher + host, a scripted watcher, and an
XEmbed tray (trayer), each on a private X server and a private session bus.

Needs TRAY_DEMO: path to the built tests/tray demo, which prints "ACTIVATED" per activation and
"SHOWN 0/1" when a host starts or stops displaying the icon. Skips when it is unset.
"""

import os
import queue
import shutil
import subprocess
import tempfile
import textwrap
import threading
import time
import unittest

DEMO = os.environ.get("TRAY_DEMO")
TITLE = "Nebrisk tray demo"
WATCHER = "org.kde.StatusNotifierWatcher"


def wait_until(fn, timeout=10.0, what="condition"):
    """Polls fn() until it returns something truthy; fails the test after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = fn()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise AssertionError(f"timed out after {timeout:.0f}s waiting for {what}")
        time.sleep(0.05)


def start_xvfb():
    """Starts Xvfb on a free display; returns (process, ":N")."""
    read_fd, write_fd = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x800x24",
                             "-nolisten", "tcp"], pass_fds=(write_fd,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as f:
        number = f.readline().strip()
    if not number:
        proc.kill()
        raise RuntimeError("Xvfb did not report a display")
    return proc, ":" + number


def start_session_bus():
    """Starts a private session bus; returns (process, address)."""
    proc = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    address = proc.stdout.readline().strip()
    if not address:
        proc.kill()
        raise RuntimeError("dbus-daemon did not report an address")
    return proc, address


def run(env, *args):
    """Runs a short command; returns its stdout ("" on failure)."""
    r = subprocess.run(list(args), env=env, capture_output=True, text=True, timeout=20)
    return r.stdout if r.returncode == 0 else ""


def gdbus_call(env, dest, path, method, *args):
    return run(env, "gdbus", "call", "--session", "--dest", dest, "--object-path", path,
               "--method", method, "--", *args)


def has_owner(env, name):
    out = gdbus_call(env, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                     "org.freedesktop.DBus.NameHasOwner", name)
    return "true" in out


def registered_items(env):
    return gdbus_call(env, WATCHER, "/StatusNotifierWatcher",
                      "org.freedesktop.DBus.Properties.Get", WATCHER,
                      "RegisteredStatusNotifierItems")


def host_registered(env):
    out = gdbus_call(env, WATCHER, "/StatusNotifierWatcher",
                     "org.freedesktop.DBus.Properties.Get", WATCHER,
                     "IsStatusNotifierHostRegistered")
    return "true" in out


def visible_icon_geometry(env):
    """Geometry (x, y, w, h) of the demo's XEmbed icon when mapped, else None."""
    ids = run(env, "xdotool", "search", "--onlyvisible", "--name", TITLE).split()
    if not ids:
        return None
    shell = run(env, "xdotool", "getwindowgeometry", "--shell", ids[0])
    vals = dict(line.split("=", 1) for line in shell.split() if "=" in line)
    if not {"X", "Y", "WIDTH", "HEIGHT"} <= vals.keys():
        return None
    return tuple(int(vals[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))


def click(env, x, y, button=1):
    """A real pointer click through XTEST."""
    # No --sync: it waits for pointer motion, which never comes when already there.
    run(env, "xdotool", "mousemove", str(x), str(y), "click", str(button))


class LineReader:
    """Collects a process's stdout line by line without blocking the test."""

    def __init__(self, proc):
        self.proc = proc
        self.lines = []
        self._queue = queue.Queue()
        threading.Thread(target=self._pump, daemon=True).start()

    def _pump(self):
        for line in self.proc.stdout:
            self._queue.put(line.strip())

    def _drain(self):
        while True:
            try:
                self.lines.append(self._queue.get_nowait())
            except queue.Empty:
                return

    def wait_line(self, text, timeout=10.0):
        """Waits for the next line equal to text; every line read is kept in self.lines."""
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise AssertionError(f"no line {text!r} in time; got {self.lines}")
            try:
                line = self._queue.get(timeout=left)
            except queue.Empty:
                continue
            self.lines.append(line)
            if line == text:
                return

    def seen(self, text):
        self._drain()
        return text in self.lines

    def count(self, text):
        self._drain()
        return self.lines.count(text)


class Demo(LineReader):
    """The tray demo process, driven through stdin."""

    def __init__(self, env):
        super().__init__(subprocess.Popen([DEMO], env=env, stdin=subprocess.PIPE,
                                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                          text=True, bufsize=1))
        self.bus_name = f"org.kde.StatusNotifierItem-{self.proc.pid}-1"

    def send(self, command):
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()

    def sync(self):
        """Returns once the demo has handled all it was sent before: stdin, X events and the
        SNI watcher's replies."""
        self.send("ping")
        self.wait_line("PONG")


# A watcher that owns its name well before it exports its object (as a restarting one does):
# it prints ATTEMPT for each registration call that reaches it, exports on "export", and reports
# a host only on "host". It pins down the retry and "really shown" logic.
SLOW_WATCHER = textwrap.dedent('''
    from gi.repository import Gio, GLib
    XML = """<node><interface name="org.kde.StatusNotifierWatcher">
      <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
      <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
      <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
      <signal name="StatusNotifierHostRegistered"/>
    </interface></node>"""
    iface = Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0]
    state = {"host": False, "items": []}
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def watch(conn, message, incoming, data):
        if incoming and message.get_member() == "RegisterStatusNotifierItem":
            print("ATTEMPT", flush=True)
        elif incoming and message.get_member() == "Get":
            print("HOSTQUERY", flush=True)
        return message

    def call(conn, sender, path, iface_name, method, params, inv):
        state["items"].append(params.unpack()[0])
        print("REGISTERED " + params.unpack()[0], flush=True)
        inv.return_value(None)

    def get(conn, sender, path, iface_name, prop):
        if prop == "IsStatusNotifierHostRegistered":
            return GLib.Variant("b", state["host"])
        return GLib.Variant("as", state["items"])

    def on_stdin(ch, cond):
        command = ch.readline().strip()
        if command == "export":
            bus.register_object("/StatusNotifierWatcher", iface, call, get, None)
        elif command == "host":
            state["host"] = True
            bus.emit_signal(None, "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
                            "StatusNotifierHostRegistered", None)
        return True

    bus.add_filter(watch, None)
    Gio.bus_own_name_on_connection(bus, "org.kde.StatusNotifierWatcher", 0, None, None)
    GLib.io_add_watch(GLib.IOChannel.unix_new(0), GLib.IO_IN, on_stdin)
    GLib.MainLoop().run()
''')


@unittest.skipUnless(DEMO, "TRAY_DEMO (path to the built tray demo) is not set")
class TrayIconTest(unittest.TestCase):
    def setUp(self):
        for tool in ("Xvfb", "dbus-daemon", "gdbus", "xdotool"):
            if not shutil.which(tool):
                self.skipTest(f"{tool} is not installed")
        self._procs = []
        self.tmp = tempfile.TemporaryDirectory(prefix="tray-test-")
        self.addCleanup(self.tmp.cleanup)
        self.addCleanup(self._stop_all)  # also runs when setUp fails half-way
        xvfb, display = start_xvfb()
        self._own(xvfb)
        bus, address = start_session_bus()
        self._own(bus)
        self.env = dict(os.environ, DISPLAY=display, DBUS_SESSION_BUS_ADDRESS=address,
                        GDK_BACKEND="x11", NO_AT_BRIDGE="1")

    def _stop_all(self):
        for proc in reversed(self._procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
            for stream in (proc.stdin, proc.stdout):
                if stream:
                    stream.close()

    def _own(self, proc):
        self._procs.append(proc)
        return proc

    def start_demo(self):
        demo = Demo(self.env)
        self._own(demo.proc)
        return demo

    def start_sni_host(self):
        """gtk-sni-tray-standalone as watcher + host; returns once its host is registered.

        Its host sometimes calls its own watcher before that is exported and exits at start-up
        (UnknownObject); such a start is retried.
        """
        if not shutil.which("gtk-sni-tray-standalone"):
            self.skipTest("gtk-sni-tray-standalone (haskell-gtk-sni-tray-utils) is not installed")
        for attempt in range(3):
            proc, log_path = self.spawn_logged("sni-host",
                                               ["gtk-sni-tray-standalone", "--watcher"])
            wait_until(lambda: proc.poll() is not None or host_registered(self.env),
                       what="the SNI host to start")
            if proc.poll() is None:
                return proc
        with open(log_path) as log:
            raise AssertionError(f"SNI host exited ({proc.returncode}) {attempt + 1} times; "
                                 f"its output ends: {log.read()[-1500:]}")

    def stop(self, proc):
        proc.terminate()
        proc.wait(timeout=5)

    def spawn_logged(self, name, args):
        """Starts a helper whose output goes to a log file; returns (process, log path)."""
        log_path = os.path.join(self.tmp.name, f"{name}-{len(self._procs)}.log")
        with open(log_path, "w") as log:
            proc = self._own(subprocess.Popen(args, env=self.env, stdout=log, stderr=log))
        return proc, log_path

    def start_xembed_tray(self):
        if not shutil.which("trayer"):
            self.skipTest("trayer is not installed")
        proc, log_path = self.spawn_logged("trayer", [
            "trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
            "100", "--heighttype", "pixel", "--height", "32"])
        try:
            wait_until(lambda: run(self.env, "xdotool", "search", "--onlyvisible", "--class",
                                   "trayer"), what="the trayer panel")
        except AssertionError:
            with open(log_path) as log:
                raise AssertionError(f"trayer (exit {proc.poll()}) shows no panel; log: "
                                     f"{log.read()[-1500:]}; windows: "
                                     f"{run(self.env, 'xwininfo', '-root', '-tree')}") from None

    def wait_registered(self, demo):
        wait_until(lambda: demo.bus_name in registered_items(self.env),
                   what=f"{demo.bus_name} in RegisteredStatusNotifierItems")

    def activate_over_sni(self, demo):
        return gdbus_call(self.env, demo.bus_name, "/StatusNotifierItem",
                          "org.kde.StatusNotifierItem.Activate", "0", "0")

    def test_sni_item_activates_and_follows_watcher_restarts_and_hide(self):
        watcher = self.start_sni_host()
        demo = self.start_demo()
        demo.wait_line("SHOWN 1")
        self.wait_registered(demo)

        self.assertTrue(self.activate_over_sni(demo))
        demo.wait_line("ACTIVATED")
        # The one-entry menu's "clicked" restores too; an unknown entry is reported back.
        out = gdbus_call(self.env, demo.bus_name, "/MenuBar", "com.canonical.dbusmenu.EventGroup",
                         '[(1, "clicked", <0>, uint32 0), (9, "clicked", <0>, uint32 0)]')
        self.assertIn("[9]", out)
        demo.wait_line("ACTIVATED")
        layout = gdbus_call(self.env, demo.bus_name, "/MenuBar",
                            "com.canonical.dbusmenu.GetLayout", "0", "-1", "@as []")
        self.assertIn("\u6062\u590d", layout)
        item_is_menu = gdbus_call(self.env, demo.bus_name, "/StatusNotifierItem",
                                  "org.freedesktop.DBus.Properties.Get",
                                  "org.kde.StatusNotifierItem", "ItemIsMenu")
        self.assertIn("false", item_is_menu)

        # Watcher restarts: the icon is gone meanwhile and comes back on its own.
        self.stop(watcher)
        demo.wait_line("SHOWN 0")
        self.start_sni_host()
        demo.wait_line("SHOWN 1")
        self.wait_registered(demo)
        self.assertTrue(self.activate_over_sni(demo))
        demo.wait_line("ACTIVATED")

        # Hide releases the bus name; showing again registers anew.
        demo.send("hide")
        demo.send("hide")
        demo.wait_line("SHOWN 0")
        wait_until(lambda: not has_owner(self.env, demo.bus_name), what="the name to be released")
        demo.send("show")
        demo.wait_line("SHOWN 1")
        self.wait_registered(demo)
        demo.sync()
        self.assertEqual(demo.count("ACTIVATED"), 3)

    def test_registration_retries_until_watcher_exports_and_waits_for_a_host(self):
        watcher = LineReader(self._own(subprocess.Popen(
            ["/usr/bin/python3", "-c", SLOW_WATCHER], env=self.env, stdin=subprocess.PIPE,
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)))

        def tell_watcher(command):
            watcher.proc.stdin.write(command + "\n")
            watcher.proc.stdin.flush()

        wait_until(lambda: has_owner(self.env, WATCHER), what="the scripted watcher")
        demo = self.start_demo()
        watcher.wait_line("ATTEMPT")  # fails: nothing exported yet
        watcher.wait_line("ATTEMPT")  # the retry
        tell_watcher("export")
        watcher.wait_line("REGISTERED " + demo.bus_name)
        watcher.wait_line("HOSTQUERY")
        # Registered, but no host displays it yet: not shown.
        demo.sync()
        self.assertFalse(demo.seen("SHOWN 1"))
        tell_watcher("host")
        demo.wait_line("SHOWN 1")

    def test_xembed_icon_embeds_and_left_release_activates(self):
        self.start_xembed_tray()
        demo = self.start_demo()
        demo.wait_line("SHOWN 1")
        x, y, w, h = wait_until(lambda: visible_icon_geometry(self.env), what="the tray icon")
        click(self.env, x + w // 2, y + h // 2, button=3)
        demo.sync()
        self.assertEqual(demo.count("ACTIVATED"), 0, "only the left button activates")
        click(self.env, x + w // 2, y + h // 2, button=1)
        demo.wait_line("ACTIVATED")
        demo.sync()
        self.assertEqual(demo.count("ACTIVATED"), 1)

    def test_switches_between_xembed_and_sni_never_showing_both(self):
        self.start_xembed_tray()
        demo = self.start_demo()
        demo.wait_line("SHOWN 1")
        wait_until(lambda: visible_icon_geometry(self.env), what="the XEmbed icon")

        watcher = self.start_sni_host()
        demo.wait_line("SHOWN 0")  # the XEmbed icon goes as soon as a watcher appears ...
        demo.wait_line("SHOWN 1")  # ... and the SNI item is shown by its host
        self.wait_registered(demo)
        self.assertIsNone(visible_icon_geometry(self.env), "XEmbed icon still in the tray")
        self.assertTrue(self.activate_over_sni(demo))
        demo.wait_line("ACTIVATED")

        self.stop(watcher)
        demo.wait_line("SHOWN 0")
        demo.wait_line("SHOWN 1")
        wait_until(lambda: visible_icon_geometry(self.env), what="the XEmbed icon to return")
        self.assertFalse(has_owner(self.env, WATCHER))

if __name__ == "__main__":
    unittest.main()
