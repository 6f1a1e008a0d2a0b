"""Python side of the GUI tests: the UI driver REPL, the wizard processes we start, and helpers.

The driver (uidriver.exe of the build under test) runs inside the same Wine prefix as the wizard and answers one JSON
line per command; this module wraps it so tests read as what a user does.
"""

import json
import os
import select
import subprocess
import time
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
# The build this machine runs (scripts/arch-env): build/ for the 32-bit one, build-x86_64/ for the 64-bit one.
BUILD = Path(os.environ.get("WELVANE_BUILD") or ROOT / "build")
BIN = BUILD / "bin"

# Windows constants the tests use.
DIALOG_CLASS = "#32770"
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7
SC_MINIMIZE, SC_RESTORE, SC_CLOSE = 0xF020, 0xF120, 0xF060
IDM_ABOUTBOX = 0x0010
VK_RETURN, VK_ESCAPE = 0x0D, 0x1B

# Wizard flavours: executable and the caption of the main dialog.
FLAVOURS = {
    "dlm": ("welvane-dlm.exe", "Setup"),
    "isv": ("welvane-isv.exe", "Welvane Tester "),
    "unknown": ("welvane-unknown.exe", None),
}


class DriverError(RuntimeError):
    """The driver answered {"ok": false, ...} or did not answer in time."""


def _quote(arg):
    text = str(arg)
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


class Driver:
    """One uidriver.exe REPL for the whole session."""

    def __init__(self, env, log_path, reply_timeout=30.0, bin_dir=None):
        self._reply_timeout = reply_timeout
        self._log = open(log_path, "wb")
        self._proc = subprocess.Popen(
            ["wine", str((bin_dir or BIN) / "uidriver.exe")], env=env, cwd=ROOT,
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self._log)
        self._buffer = b""
        self.call("help")  # the first answer tells us the driver is up

    # --- transport -------------------------------------------------------------------------------------
    def call(self, command, *args, check=True):
        line = " ".join([command] + [_quote(a) for a in args]) + "\n"
        self._proc.stdin.write(line.encode("utf-8"))
        self._proc.stdin.flush()
        reply = json.loads(self._read_line())
        if check and not reply.get("ok"):
            raise DriverError(f"{line.strip()}: {reply.get('error')}")
        return reply

    def _read_line(self):
        deadline = time.monotonic() + self._reply_timeout
        fd = self._proc.stdout.fileno()
        while b"\n" not in self._buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise DriverError("the driver did not answer in time")
            ready, _, _ = select.select([fd], [], [], left)
            if ready:
                chunk = os.read(fd, 65536)
                if not chunk:
                    raise DriverError("the driver ended")
                self._buffer += chunk
        line, self._buffer = self._buffer.split(b"\n", 1)
        return line.decode("utf-8")

    def shutdown(self):
        try:
            self.call("quit")
            self._proc.wait(timeout=10)
        except Exception:
            self._proc.kill()
            self._proc.wait()
        self._log.close()

    # --- windows ---------------------------------------------------------------------------------------
    def find_windows(self, cls="*", title="*", pid=None):
        args = [cls, title] + ([pid] if pid else [])
        return self.call("find-window", *args)["windows"]

    def find_window(self, cls="*", title="*", pid=None):
        """The hwnd of the first visible top-level window that matches, or None."""
        windows = self.find_windows(cls, title, pid)
        return windows[0]["hwnd"] if windows else None

    def wait_window(self, cls, title, timeout_ms=15000, pid=None):
        args = [cls, title, timeout_ms] + ([pid] if pid else [])
        return self.call("wait-window", *args)["hwnd"]

    def wait_gone(self, hwnd, timeout_ms=10000):
        self.call("wait-gone", hwnd, timeout_ms)

    def list_windows(self, all_windows=False):
        return self.call("list-windows", *(["all"] if all_windows else []))["windows"]

    def windows_of(self, pid):
        return [w for w in self.list_windows() if w["pid"] == pid]

    def children(self, hwnd):
        return self.call("children", hwnd)["children"]

    def controls_by_id(self, hwnd):
        return {c["id"]: c for c in self.children(hwnd)}

    def text(self, hwnd):
        return self.call("text", hwnd)["text"]

    def window_info(self, hwnd):
        return self.call("window-info", hwnd)["info"]

    def exists(self, hwnd):
        return self.call("window-info", hwnd, check=False).get("ok", False)

    # --- actions ---------------------------------------------------------------------------------------
    def click(self, hwnd):
        self.call("click", hwnd)

    def click_id(self, dialog, control_id):
        self.call("click-id", dialog, control_id)

    def combo_items(self, hwnd):
        return self.call("combo-items", hwnd)

    def combo_select(self, hwnd, index):
        self.call("combo-select", hwnd, index)

    def syscommand(self, hwnd, command):
        self.call("syscommand", hwnd, hex(command) if isinstance(command, int) else command)

    def close(self, hwnd):
        self.call("close", hwnd)

    def system_menu(self, hwnd):
        return self.call("system-menu", hwnd)["items"]

    def key(self, hwnd, vk):
        """Posts the key to the focused control of hwnd."""
        self.call("key", hwnd, vk)

    def type_key(self, hwnd, vk):
        """Brings hwnd to the foreground and types the key through SendInput."""
        self.call("type-key", hwnd, vk)

    def mouse_click(self, hwnd, clicks=1):
        """Brings hwnd's window to the foreground and clicks the centre of hwnd with the left mouse button
        through SendInput, `clicks` times in a row (2: a double click)."""
        self.call("mouse-click", hwnd, clicks)

    def double_click(self, hwnd):
        self.mouse_click(hwnd, 2)

    def focus(self, hwnd):
        """The hwnd of the window that has the keyboard focus inside hwnd (hwnd itself included), or 0."""
        return self.call("focus", hwnd)["focus"]

    # --- message boxes ---------------------------------------------------------------------------------
    def message_box(self, pid=None, timeout_ms=10000):
        """The first message box (of pid, if given) as {hwnd, pid, caption, text, buttons}, or None."""
        args = ([pid] if pid else []) + [timeout_ms]
        reply = self.call("message-box", *args, check=False)
        return reply["box"] if reply.get("ok") else None

    def answer_box(self, box, button_id):
        self.call("answer-box", box["hwnd"], button_id)
        self.wait_gone(box["hwnd"])

    # --- processes -------------------------------------------------------------------------------------
    def processes(self, exe=None):
        return self.call("processes", *([exe] if exe else []))["processes"]

    def pid_alive(self, pid):
        return self.call("pid-alive", pid, check=False).get("alive", False)

    def wait_exit(self, pid, timeout_ms=10000):
        """The exit code once the process has ended, None if it has not ended in time (or cannot be read)."""
        reply = self.call("wait-exit", pid, timeout_ms, check=False)
        if reply.get("exited"):
            return reply.get("exit_code")
        return None

    def terminate(self, pid):
        return self.call("terminate", pid, check=False).get("ok", False)


@dataclass
class Wizard:
    """A wizard process we started: its Linux process, its Windows pid and its main dialog."""
    flavour: str
    popen: subprocess.Popen
    stderr_path: Path
    pid: int = None          # Windows process id
    hwnd: int = None         # main dialog, once shown
    caption: str = None
    seen_boxes: list = field(default_factory=list)

    def stderr_text(self):
        return self.stderr_path.read_text(errors="replace") if self.stderr_path.exists() else ""

    def running(self):
        return self.popen.poll() is None

    def wait(self, timeout=15):
        """Waits for the Linux process (the Windows exit code is truncated to 8 bits there)."""
        return self.popen.wait(timeout=timeout)


def start_xvfb():
    """A new Xvfb on a free display: (its process, the display name)."""
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    number = b""
    with os.fdopen(read_fd, "rb") as pipe:
        while not number.endswith(b"\n"):
            chunk = pipe.read(1)
            if not chunk:
                break
            number += chunk
    if not number.strip():
        xvfb.kill()
        raise RuntimeError("Xvfb did not start")
    return xvfb, ":" + number.decode().strip()


def wait_until(probe, timeout=10.0, interval=0.1):
    """Calls probe until it returns something true; returns that, or the last result after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        result = probe()
        if result or time.monotonic() >= deadline:
            return result
        time.sleep(interval)


def screen_pixels(display, rect):
    """The pixels the X display shows in `rect` (screen coordinates, as Driver.window_info gives them): a list
    of rows, each a list of (red, green, blue)."""
    width, height = rect["right"] - rect["left"], rect["bottom"] - rect["top"]
    ppm = subprocess.run(["import", "-display", display, "-window", "root", "-crop",
                          f"{width}x{height}+{rect['left']}+{rect['top']}", "+repage", "-depth", "8", "ppm:-"],
                         capture_output=True, check=True, timeout=30).stdout
    # P6 header: magic, width, height, maximum value, each followed by one white-space byte.
    fields, at = [], 0
    while len(fields) < 4:
        end = at
        while ppm[end:end + 1] not in b" \t\r\n":
            end += 1
        if end > at:
            fields.append(ppm[at:end])
        at = end + 1
    assert fields[0] == b"P6" and (int(fields[1]), int(fields[2])) == (width, height), fields
    data = ppm[at:]
    return [[tuple(data[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)] for y in range(height)]


def page_holding(driver, main_hwnd, control_id):
    """The page that holds control `control_id`: the child dialog of the main dialog that is its parent, as
    an entry of Driver.children (hwnd, visible, ...), or None. Pages are found whether shown or hidden."""
    controls = driver.children(main_hwnd)
    parents = {c["parent"] for c in controls if c["id"] == control_id}
    pages = [c for c in controls if c["hwnd"] in parents and c["class"] == DIALOG_CLASS
             and c["parent"] == main_hwnd]
    return pages[0] if pages else None


def close_wizard(driver, wizard, answer=(IDYES, IDOK), timeout=15.0):
    """Closes the main dialog as the title bar's close button would (WM_CLOSE) and lets the process end.

    If the wizard asks a question first, the first of `answer` that the box offers is clicked; every box seen
    is recorded in wizard.seen_boxes. Returns the Windows exit code (None if it could not be read).
    """
    driver.close(wizard.hwnd)
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if not driver.pid_alive(wizard.pid):
            break
        box = driver.message_box(wizard.pid, timeout_ms=300)
        if box:
            wizard.seen_boxes.append(box)
            offered = [b["id"] for b in box["buttons"]]
            button = next((a for a in answer if a in offered), offered[0])
            driver.answer_box(box, button)
    code = driver.wait_exit(wizard.pid, timeout_ms=5000)
    wizard.popen.wait(timeout=10)
    return code
