"""Helpers for end-to-end tests that drive the real client on a private X desktop.

Tests are plain unittest files run as `/usr/bin/python3 tests/e2e/test_x.py`, with NEBRISK_EXE
(the built executable) and NEBRISK_SOURCE (repo root) in the environment. Call ensure_desktop()
before unittest.main(): without a DISPLAY it re-runs the file under scripts/with-desktop.sh.
Input goes through XTEST (xdotool); GTK 3 ignores synthetic XSendEvent keys.
"""

import collections
import configparser
import http.server
import os
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import zlib

SOURCE_DIR = os.environ.get("NEBRISK_SOURCE") or os.path.dirname(
    os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


class WaitTimeout(AssertionError):
    """A condition did not come true in time (an AssertionError, so unittest reports a failure)."""


def wait_until(fn, timeout=10.0, interval=0.05, message=None):
    """Polls fn() until it returns a truthy value and returns that value.

    Exceptions from fn count as "not yet"; the last one is shown if time runs out.
    """
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = fn()
            if value:
                return value
            last_error = None
        except Exception as e:  # noqa: BLE001 - any failure just means "not yet"
            last_error = e
        if time.monotonic() >= deadline:
            what = message or getattr(fn, "__name__", repr(fn))
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise WaitTimeout(f"timed out after {timeout:.1f}s waiting for {what}{detail}")
        time.sleep(interval)


def ensure_desktop():
    """Re-executes the calling test file inside a fresh desktop unless DISPLAY is set."""
    if os.environ.get("DISPLAY"):
        return
    if os.environ.get("NEBRISK_IN_DESKTOP"):
        raise RuntimeError("with-desktop.sh did not provide a DISPLAY")
    os.environ["NEBRISK_IN_DESKTOP"] = "1"
    script = os.path.join(SOURCE_DIR, "scripts", "with-desktop.sh")
    main_file = os.path.abspath(sys.modules["__main__"].__file__)
    sys.stdout.flush()
    sys.stderr.flush()
    os.execv(script, [script, sys.executable, main_file] + sys.argv[1:])


def run(*args, timeout=10.0, check=True):
    """Runs a command and returns its stdout as text."""
    r = subprocess.run(args, capture_output=True, timeout=timeout, text=True, errors="replace")
    if check and r.returncode != 0:
        cmd = " ".join(map(str, args))
        raise RuntimeError(f"{cmd} failed ({r.returncode}): {r.stderr.strip()}")
    return r.stdout


# --- HTTP server ----------------------------------------------------------------------------------

Request = collections.namedtuple("Request", "method path query raw_query headers body time")
Request.__doc__ = """One recorded request. query: dict of the first value per key; raw_query: the
undecoded query string (for duplicates or exact bytes); time: time.monotonic() at arrival."""


class BeaconServer:
    """Threaded HTTP server on 127.0.0.1:<ephemeral>. Records every request.

    Paths registered with serve() get their content; anything else gets 204. Every answer
    carries Access-Control-Allow-Origin: *.
    """

    def __init__(self):
        self._lock = threading.Condition()
        self._requests = []
        self._routes = {}
        outer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def _handle(self):
                length = int(self.headers.get("Content-Length") or 0)
                body = self.rfile.read(length) if length > 0 else b""
                parts = urllib.parse.urlsplit(self.path)
                pairs = urllib.parse.parse_qsl(parts.query, keep_blank_values=True)
                query = {}
                for k, v in pairs:
                    query.setdefault(k, v)
                req = Request(self.command, parts.path, query, parts.query, dict(self.headers),
                              body, time.monotonic())
                with outer._lock:
                    outer._requests.append(req)
                    outer._lock.notify_all()
                    route = outer._routes.get(parts.path)
                if route and self.command != "OPTIONS":
                    status, ctype, content = route
                    self.send_response(status)
                    self.send_header("Content-Type", ctype)
                else:
                    content = b""
                    self.send_response(204)
                self.send_header("Access-Control-Allow-Origin", "*")
                self.send_header("Access-Control-Allow-Methods", "GET, POST, OPTIONS")
                self.send_header("Access-Control-Allow-Headers", "*")
                self.send_header("Cache-Control", "no-store")
                self.send_header("Content-Length", str(len(content)))
                self.end_headers()
                if self.command != "HEAD":
                    self.wfile.write(content)

            do_GET = do_POST = do_HEAD = do_OPTIONS = do_PUT = _handle

            def log_message(self, *args):
                pass

        self._httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self._httpd.daemon_threads = True
        self.port = self._httpd.server_address[1]
        self.url = f"http://127.0.0.1:{self.port}"
        self._thread = threading.Thread(target=self._httpd.serve_forever, daemon=True)
        self._thread.start()

    def serve(self, path, content, content_type="text/html; charset=utf-8", status=200):
        """Answers requests for `path` with `content` (str or bytes) instead of 204."""
        if isinstance(content, str):
            content = content.encode("utf-8")
        with self._lock:
            self._routes[path] = (status, content_type, content)

    @property
    def requests(self):
        """A snapshot list of all requests so far."""
        with self._lock:
            return list(self._requests)

    def clear(self):
        with self._lock:
            self._requests.clear()

    def wait_for(self, path, predicate=None, timeout=10.0):
        """Returns the first request (recorded or arriving) for `path` matching predicate(req)."""
        deadline = time.monotonic() + timeout
        with self._lock:
            while True:
                for r in self._requests:
                    if r.path == path and (predicate is None or predicate(r)):
                        return r
                left = deadline - time.monotonic()
                if left <= 0:
                    seen = [f"{r.method} {r.path}?{r.raw_query}" for r in self._requests]
                    raise WaitTimeout(f"no matching request for {path} within {timeout:.1f}s; "
                                      f"seen: {seen}")
                self._lock.wait(left)

    def close(self):
        self._httpd.shutdown()
        self._httpd.server_close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


# --- Default browser stand-in ---------------------------------------------------------------------

URL_RECORDER_DESKTOP = "nebrisk-url-recorder.desktop"


def install_url_recorder(xdg_data_home, xdg_config_home, record_file):
    """Makes a recorder the default http/https handler: every launched URL becomes a line in
    record_file. Applies to processes run with these XDG_DATA_HOME / XDG_CONFIG_HOME."""
    apps = os.path.join(xdg_data_home, "applications")
    os.makedirs(apps, exist_ok=True)
    os.makedirs(xdg_config_home, exist_ok=True)
    script = os.path.join(xdg_data_home, "nebrisk-url-recorder.sh")
    with open(script, "w") as f:
        f.write(f'#!/bin/sh\nprintf "%s\\n" "$1" >> {shlex.quote(os.path.abspath(record_file))}\n')
    os.chmod(script, 0o755)
    with open(os.path.join(apps, URL_RECORDER_DESKTOP), "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=URL recorder\nNoDisplay=true\n"
                f"Exec={_desktop_quote(script)} %u\n"
                "MimeType=x-scheme-handler/http;x-scheme-handler/https;\n")
    with open(os.path.join(xdg_config_home, "mimeapps.list"), "w") as f:
        f.write("[Default Applications]\n"
                f"x-scheme-handler/http={URL_RECORDER_DESKTOP}\n"
                f"x-scheme-handler/https={URL_RECORDER_DESKTOP}\n")


def _desktop_quote(arg):
    # Quoting of Exec arguments; the key-file layer then doubles every backslash again.
    quoted = '"' + "".join("\\" + c if c in '"`$\\' else c for c in arg) + '"'
    return quoted.replace("\\", "\\\\")


def read_recorded_urls(record_file):
    try:
        with open(record_file, encoding="utf-8", errors="replace") as f:
            return [line.rstrip("\n") for line in f if line.strip()]
    except FileNotFoundError:
        return []


# --- The client under test ------------------------------------------------------------------------

def _proc_state(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return fields[0], int(fields[1])  # state, ppid
    except (OSError, IndexError, ValueError):
        return None, None


class Client:
    """The executable copied into a fresh temp dir and run with a private HOME/XDG environment.

    Attributes: dir (exe's dir, config.ini goes here), exe, home, env, log_path, proc, pid,
    url_record (file the stand-in browser appends URLs to).
    """

    def __init__(self, exe=None):
        exe = exe or os.environ.get("NEBRISK_EXE")
        if not exe or not os.path.isfile(exe):
            raise RuntimeError(f"NEBRISK_EXE does not name a built executable: {exe!r}")
        self.dir = tempfile.mkdtemp(prefix="nebrisk-e2e-")
        self.exe = os.path.join(self.dir, os.path.basename(exe))
        shutil.copy2(exe, self.exe)
        self.home = os.path.join(self.dir, "home")
        runtime = os.path.join(self.dir, "runtime")
        os.makedirs(runtime, mode=0o700)
        self.env = dict(os.environ)
        self.env.update(
            HOME=self.home,
            XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
            XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
            XDG_CACHE_HOME=os.path.join(self.home, ".cache"),
            XDG_RUNTIME_DIR=runtime,
            # Inherited by every helper the client spawns: how cleanup finds them.
            NEBRISK_E2E_RUN=self.dir,
        )
        for d in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"):
            os.makedirs(self.env[d], exist_ok=True)
        self.url_record = os.path.join(self.dir, "opened-urls.txt")
        install_url_recorder(self.env["XDG_DATA_HOME"], self.env["XDG_CONFIG_HOME"],
                             self.url_record)
        self.log_path = os.path.join(self.dir, "client.log")
        self.proc = None
        self.pid = None

    def write_config(self, values=None, section="tova", raw=None):
        """Writes config.ini beside the exe: `values` as one INI section, or `raw` verbatim
        (str or bytes, for malformed files)."""
        path = os.path.join(self.dir, "config.ini")
        if raw is not None:
            with open(path, "wb") as f:
                f.write(raw.encode("utf-8") if isinstance(raw, str) else raw)
            return path
        cp = configparser.ConfigParser(interpolation=None)
        cp.optionxform = str
        cp[section] = {k: str(v) for k, v in (values or {}).items()}
        with open(path, "w", encoding="utf-8") as f:
            cp.write(f)
        return path

    def start(self, *args):
        with open(self.log_path, "ab") as log:
            self.proc = subprocess.Popen([self.exe, *args], cwd=self.dir, env=self.env,
                                         stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                         start_new_session=True)
        self.pid = self.proc.pid
        return self

    def log(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def opened_urls(self):
        """URLs the client handed to the default browser, in order."""
        return read_recorded_urls(self.url_record)

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_exit(self, timeout=10.0):
        """Waits for the client to exit and returns its exit code (negative: signal)."""
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise WaitTimeout(f"client still running after {timeout:.1f}s; log:\n{self.log()}")

    def helpers(self):
        """Live processes belonging to this run: descendants of the client, or anything started
        with this run's environment or from its directory (orphaned WebKit helpers)."""
        found = set()
        me = os.getpid()
        for name in os.listdir("/proc"):
            if not name.isdigit() or int(name) == me:
                continue
            pid = int(name)
            state, ppid = _proc_state(pid)
            if state is None or state in "ZX":
                continue
            mine = False
            p = ppid
            for _ in range(64):
                if not p or p == 1:
                    break
                if p == self.pid:
                    mine = True
                    break
                p = _proc_state(p)[1]
            if not mine:
                try:
                    with open(f"/proc/{pid}/environ", "rb") as f:
                        mine = f"NEBRISK_E2E_RUN={self.dir}\0".encode() in f.read()
                    mine = mine or os.readlink(f"/proc/{pid}/exe").startswith(self.dir + "/")
                except OSError:
                    pass
            if mine:
                found.add(pid)
        return found

    def kill(self, sig=signal.SIGTERM):
        """Signals the client's whole process group (helpers included)."""
        if self.proc and self.proc.poll() is None:
            try:
                os.killpg(self.pid, sig)
            except ProcessLookupError:
                pass

    def close(self, timeout=10.0):
        """Stops the client if needed, waits for every helper to go, removes the temp dir."""
        if self.proc:
            if self.proc.poll() is None:
                self.kill()
                try:
                    self.proc.wait(3)
                except subprocess.TimeoutExpired:
                    self.kill(signal.SIGKILL)
                    self.proc.wait()
            deadline = time.monotonic() + timeout
            while self.helpers() and time.monotonic() < deadline:
                time.sleep(0.05)
            for pid in self.helpers():
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


# --- Windows and input ----------------------------------------------------------------------------

Geometry = collections.namedtuple("Geometry", "x y width height frame_x frame_y frame_width "
                                  "frame_height")
Geometry.__doc__ = "Client area (absolute) and the WM frame around it (from _NET_FRAME_EXTENTS)."


def _xprop_bytes(wid, prop):
    out = run("xprop", "-id", str(wid), "-notype", "-f", prop, "8x", prop)
    if "=" not in out:
        return None
    values = out.split("=", 1)[1].strip()
    return bytes(int(v, 16) for v in values.split(",") if v.strip())


def window_name(wid):
    """The window title, decoded from UTF-8 _NET_WM_NAME (WM_NAME as Latin-1 if that is unset)."""
    data = _xprop_bytes(wid, "_NET_WM_NAME")
    if data is not None:
        return data.decode("utf-8", errors="replace")
    data = _xprop_bytes(wid, "WM_NAME")
    return data.decode("latin-1") if data is not None else None


def prop(wid, name):
    """Raw xprop text of a property's value ('' if unset), e.g. prop(w, "WM_CLASS")."""
    out = run("xprop", "-id", str(wid), "-notype", name)
    return out.split("=", 1)[1].strip() if "=" in out else ""


def net_wm_state(wid):
    """Set of _NET_WM_STATE atoms, e.g. {"_NET_WM_STATE_FULLSCREEN"}."""
    return {a.strip() for a in prop(wid, "_NET_WM_STATE").split(",") if a.strip()}


def _xwininfo(wid):
    info = {}
    for line in run("xwininfo", "-id", str(wid)).splitlines():
        k, sep, v = line.strip().partition(":")
        if sep:
            info[k.strip()] = v.strip()
    return info


def map_state(wid):
    """'IsViewable', 'IsUnviewable' or 'IsUnMapped' ('Gone' once the window is destroyed)."""
    try:
        return _xwininfo(wid)["Map State"]
    except RuntimeError:
        return "Gone"


def is_mapped(wid):
    """True when the window is mapped and viewable (shown on screen, maybe covered)."""
    return map_state(wid) == "IsViewable"


def window_geometry(wid):
    info = _xwininfo(wid)
    x, y = int(info["Absolute upper-left X"]), int(info["Absolute upper-left Y"])
    w, h = int(info["Width"]), int(info["Height"])
    ext = [int(v) for v in prop(wid, "_NET_FRAME_EXTENTS").split(",") if v.strip()]
    left, right, top, bottom = ext if len(ext) == 4 else (0, 0, 0, 0)
    return Geometry(x, y, w, h, x - left, y - top, w + left + right, h + top + bottom)


def find_windows(name=None, pid=None, timeout=10.0, visible=True):
    """Window ids whose title contains `name` and/or owned by `pid` (_NET_WM_PID); waits up to
    `timeout` for at least one (timeout=0: look once, may return [])."""
    def look():
        args = ["xdotool", "search"] + (["--onlyvisible"] if visible else [])
        args += ["--pid", str(pid)] if pid is not None else ["--name", ""]
        r = subprocess.run(args, capture_output=True, text=True, timeout=10)
        wids = [int(w) for w in r.stdout.split()]
        if name is not None:
            wids = [w for w in wids if name in (_safe(window_name, w) or "")]
        return wids

    if timeout <= 0:
        return look()
    return wait_until(look, timeout, 0.05, f"a window (name={name!r}, pid={pid})")


def find_window(name=None, pid=None, timeout=10.0):
    """Like find_windows, but exactly one window is expected; returns its id."""
    wids = find_windows(name, pid, timeout)
    if len(wids) != 1:
        raise AssertionError(f"expected one window (name={name!r}, pid={pid}), found "
                             f"{[(w, _safe(window_name, w)) for w in wids]}")
    return wids[0]


def _safe(fn, *args):
    try:
        return fn(*args)
    except (RuntimeError, subprocess.TimeoutExpired):
        return None


def activate(wid):
    """Raises and focuses the window via the WM and waits until it is active."""
    run("xdotool", "windowactivate", "--sync", str(wid), timeout=10)


def active_window():
    out = run("xdotool", "getactivewindow", check=False).strip()
    return int(out) if out.isdigit() else None


def key(*keysyms, window=None):
    """Presses keys through XTEST, e.g. key("F11"), key("ctrl+w"); activates `window` first."""
    if window is not None:
        activate(window)
    run("xdotool", "key", "--delay", "20", *keysyms)


def type_text(text, window=None):
    if window is not None:
        activate(window)
    run("xdotool", "type", "--delay", "20", text, timeout=30)


def click(x, y, button=1):
    run("xdotool", "mousemove", str(x), str(y), "click", str(button))


def drag(x1, y1, x2, y2, steps=10, button=1):
    """Presses at (x1, y1), moves in `steps` steps to (x2, y2), releases."""
    args = ["xdotool", "mousemove", str(x1), str(y1), "mousedown", str(button), "sleep", "0.03"]
    for i in range(1, steps + 1):
        args += ["mousemove", str(round(x1 + (x2 - x1) * i / steps)),
                 str(round(y1 + (y2 - y1) * i / steps)), "sleep", "0.02"]
    args += ["mouseup", str(button)]
    run(*args, timeout=30)


def pointer():
    """Current pointer position (x, y)."""
    out = dict(kv.split(":") for kv in run("xdotool", "getmouselocation").split())
    return int(out["x"]), int(out["y"])


# --- Screenshots ----------------------------------------------------------------------------------

def screenshot(path):
    """Captures the composited screen to a PNG (RGBA, unfiltered rows: quick to read here)."""
    run("import", "-window", "root", "-define", "png:compression-filter=0",
        "-define", "png:compression-level=1", f"PNG32:{path}", timeout=30)
    return path


class Image:
    """A decoded 8-bit PNG: width, height, pixel(x, y) -> (r, g, b, a)."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        if data[:8] != b"\x89PNG\r\n\x1a\n":
            raise ValueError(f"{path}: not a PNG")
        pos, idat, palette, trns = 8, [], None, b""
        while pos < len(data):
            n = int.from_bytes(data[pos:pos + 4], "big")
            kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + n]
            pos += 12 + n
            if kind == b"IHDR":
                self.width = int.from_bytes(body[0:4], "big")
                self.height = int.from_bytes(body[4:8], "big")
                depth, ctype, interlace = body[8], body[9], body[12]
            elif kind == b"PLTE":
                palette = body
            elif kind == b"tRNS":
                trns = body
            elif kind == b"IDAT":
                idat.append(body)
        channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}.get(ctype)
        if depth != 8 or interlace or channels is None:
            raise ValueError(f"{path}: only 8-bit non-interlaced PNGs are supported")
        self._ctype, self._palette, self._trns, self._bpp = ctype, palette, trns, channels
        self._raw = zlib.decompress(b"".join(idat))
        self._stride = self.width * channels
        self._rows = []  # unfiltered rows, decoded lazily from the top

    def _row(self, y):
        while len(self._rows) <= y:
            i = len(self._rows)
            start = i * (self._stride + 1)
            ftype = self._raw[start]
            line = bytearray(self._raw[start + 1:start + 1 + self._stride])
            prev = self._rows[i - 1] if i else bytes(self._stride)
            bpp = self._bpp
            if ftype == 1:
                for j in range(bpp, len(line)):
                    line[j] = (line[j] + line[j - bpp]) & 255
            elif ftype == 2:
                line = bytearray((a + b) & 255 for a, b in zip(line, prev))
            elif ftype == 3:
                for j in range(len(line)):
                    left = line[j - bpp] if j >= bpp else 0
                    line[j] = (line[j] + ((left + prev[j]) >> 1)) & 255
            elif ftype == 4:
                for j in range(len(line)):
                    a = line[j - bpp] if j >= bpp else 0
                    b, c = prev[j], prev[j - bpp] if j >= bpp else 0
                    p = a + b - c
                    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                    pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                    line[j] = (line[j] + pred) & 255
            self._rows.append(bytes(line))
        return self._rows[y]

    def pixel(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError(f"pixel ({x}, {y}) outside {self.width}x{self.height}")
        px = self._row(y)[x * self._bpp:(x + 1) * self._bpp]
        if self._ctype == 6:
            return tuple(px)
        if self._ctype == 2:
            return (*px, 255)
        if self._ctype == 0:
            return (px[0], px[0], px[0], 255)
        if self._ctype == 4:
            return (px[0], px[0], px[0], px[1])
        i = px[0]
        return (*self._palette[3 * i:3 * i + 3], self._trns[i] if i < len(self._trns) else 255)


_image_cache = {}


def load_png(path):
    """Image for `path`, cached while the file is unchanged."""
    st = os.stat(path)
    key_ = (os.path.abspath(path), st.st_mtime_ns, st.st_size)
    if key_ not in _image_cache:
        _image_cache.clear()
        _image_cache[key_] = Image(path)
    return _image_cache[key_]


def pixel(path, x, y):
    """(r, g, b, a) of one pixel of a PNG (e.g. a screenshot)."""
    return load_png(path).pixel(x, y)
