"""Drives the built backoffice as a user does: real X input through xdotool,
controls found and outcomes read through the accessibility tree (AT-SPI), the
focus log read from the program's own log category.

Every wait is on a state read from the tree or the log, with a bound."""
import os
import re
import shutil
import subprocess
import tempfile
import time

import pyatspi

BIN = os.environ.get("BACKOFFICE_BIN", "")
OUT = os.environ.get("SESSION_OUT", tempfile.gettempdir())
WAIT = float(os.environ.get("SESSION_WAIT", "15"))


class SessionError(AssertionError):
    pass


def wait_for(what, probe, timeout=WAIT, step=0.05):
    """Polls probe until it returns something true; fails naming what was awaited."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        try:
            last = probe()
        except Exception as e:  # the tree changes under us while the program works
            last = None
            err = e
        else:
            err = None
        if last:
            return last
        if time.monotonic() > deadline:
            raise SessionError(f"esperou {timeout:.0f} s por: {what}" + (f" ({err})" if err else ""))
        time.sleep(step)


def xdo(*args):
    subprocess.run(["xdotool", *args], check=True)


def key(*keys):
    """Real key presses, one after the other (xdotool names: Tab, ctrl+Return, F4...)."""
    for k in keys:
        xdo("key", "--clearmodifiers", k)


def type_text(text):
    xdo("type", "--delay", "40", text)


def states(acc):
    try:
        return acc.getState()
    except Exception:
        return None


def has(acc, state):
    st = states(acc)
    return bool(st and st.contains(state))


def showing(acc):
    return has(acc, pyatspi.STATE_SHOWING)


def role(acc):
    return acc.getRoleName()


LEAVES = {"table", "tree table", "list"}


def walk(root, prune_hidden=True):
    """Every node under root that is shown, without the cells of tables and lists."""
    stack = [root]
    while stack:
        acc = stack.pop()
        if acc is None:
            continue
        yield acc
        try:
            if role(acc) in LEAVES and acc is not root:
                continue
            kids = [acc.getChildAtIndex(i) for i in range(acc.childCount)]
        except Exception:
            continue
        for k in reversed(kids):
            if k is not None and (not prune_hidden or showing(k)):
                stack.append(k)


class App:
    """The backoffice program, started with its own home folder (demo database,
    settings and layouts), and its window in the accessibility tree."""

    def __init__(self, home=None, args=("--open", "TRQ01300"), name="app", main=True):
        self.home = home or tempfile.mkdtemp(prefix="session-home-", dir=OUT)
        self.log_path = os.path.join(OUT, f"{name}-{int(time.time() * 1000)}.log")
        env = dict(os.environ)
        env.update({
            "HOME": self.home,
            "XDG_DATA_HOME": os.path.join(self.home, ".local/share"),
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            "QT_LOGGING_RULES": "backoffice.host.debug=true",
            "LANG": "C.UTF-8",
        })
        env.pop("QT_QPA_PLATFORM", None)
        self.logfile = open(self.log_path, "w")
        self.proc = subprocess.Popen([os.path.join(BIN, "backoffice"), *args], env=env,
                                     stdout=self.logfile, stderr=subprocess.STDOUT)
        try:
            self.acc = wait_for("o programa no barramento de acessibilidade", self._find_app)
            # main=False: a window comes before the main one (the login); the test waits for it.
            self.main = None
            if main:
                self.wait_main()
        except BaseException:
            # A start too slow for the bound ends here, not on the next test's screen.
            self.quit()
            raise

    def wait_main(self):
        self.main = wait_for("a janela principal", lambda: self.child_of(self.acc, "frame", "Retaguarda", prefix=True))
        return self.main

    def _find_app(self):
        if self.proc.poll() is not None:
            raise SessionError(f"backoffice terminou com código {self.proc.returncode}; log: {self.log_path}")
        desk = pyatspi.Registry.getDesktop(0)
        for i in range(desk.childCount):
            a = desk.getChildAtIndex(i)
            try:
                if a is not None and a.get_process_id() == self.proc.pid:
                    return a
            except Exception:
                continue
        return None

    # ---- the tree ------------------------------------------------------------------

    @staticmethod
    def child_of(root, r, name=None, prefix=False):
        for acc in walk(root):
            if role(acc) != r:
                continue
            if name is None or acc.name == name or (prefix and acc.name.startswith(name)):
                return acc
        return None

    def find(self, r, name=None, root=None, timeout=WAIT):
        root = root or self.acc
        return wait_for(f"{r} '{name}'", lambda: self.child_of(root, r, name), timeout)

    def screen(self):
        return wait_for("a tela do histórico", self._screen_frame)

    def _screen_frame(self):
        for acc in walk(self.main):
            if acc.name == "Histórico de Operações do Bem" and role(acc) in ("frame", "internal frame"):
                return acc
        return None

    def dialog(self, title, timeout=WAIT):
        """A window shown and active: keys typed from now on reach it (the
        window manager gives it the focus a moment after it shows)."""
        def probe():
            for i in range(self.acc.childCount):
                w = self.acc.getChildAtIndex(i)
                if w is not None and w.name == title and showing(w) and has(w, pyatspi.STATE_ACTIVE):
                    return w
            return None
        return wait_for(f"a janela '{title}' ativa", probe, timeout)

    def no_dialog(self, title, timeout=WAIT):
        def probe():
            for i in range(self.acc.childCount):
                w = self.acc.getChildAtIndex(i)
                if w is not None and w.name == title and showing(w):
                    return False
            return True
        wait_for(f"a janela '{title}' fechar", probe, timeout)

    def windows(self):
        out = []
        for i in range(self.acc.childCount):
            w = self.acc.getChildAtIndex(i)
            if w is not None and showing(w):
                out.append(w)
        return out

    def focused(self):
        """The control with the keyboard focus, searched in the shown windows.
        Frames report the focus of their children, and the current page tab is
        reported focused whatever has the focus: the control is the deepest
        focused node that is neither."""
        found = None
        for w in self.windows():
            for acc in walk(w):
                if acc is w or role(acc) in ("frame", "internal frame", "dialog", "page tab", "filler"):
                    continue
                if has(acc, pyatspi.STATE_FOCUSED):
                    found = acc
        return found

    def focus_is(self, r, name, timeout=WAIT):
        def probe():
            f = self.focused()
            return f is not None and role(f) == r and f.name == name
        try:
            wait_for(f"o foco em {r} '{name}'", probe, timeout)
        except SessionError:
            f = self.focused()
            raise SessionError(f"o foco devia estar em {r} '{name}' e está em "
                               f"{role(f) + ' ' + repr(f.name) if f else 'nenhum controle'}")

    def rows(self, table):
        return table.queryTable().nRows

    def text_of(self, acc):
        t = acc.queryText()
        return t.getText(0, t.characterCount)

    def enabled(self, acc):
        return has(acc, pyatspi.STATE_ENABLED) or has(acc, pyatspi.STATE_SENSITIVE)

    # ---- input ---------------------------------------------------------------------

    @staticmethod
    def click_point(x, y, button=1):
        # "mousemove --sync" waits for the pointer to move: not when it is there already.
        where = subprocess.run(["xdotool", "getmouselocation", "--shell"], check=True, capture_output=True,
                               text=True).stdout
        pos = dict(line.split("=", 1) for line in where.split())
        if (int(pos["X"]), int(pos["Y"])) != (x, y):
            xdo("mousemove", "--sync", str(x), str(y))
        xdo("click", str(button))

    def click(self, acc, button=1):
        ext = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        self.click_point(ext.x + ext.width // 2, ext.y + ext.height // 2, button)

    def click_at(self, acc, dx, dy, button=1):
        ext = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        self.click_point(ext.x + dx, ext.y + dy, button)

    # ---- the log -------------------------------------------------------------------

    def log(self):
        self.logfile.flush()
        with open(self.log_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def log_mark(self):
        return len(self.log())

    def log_since(self, mark):
        return self.log()[mark:]

    def handlers_since(self, mark):
        """The enter and exit handlers that ran since the mark, in order."""
        return re.findall(r'backoffice\.host: ((?:enter|exit) "\w+")', self.log_since(mark))

    def tables_shown_since(self, mark):
        """The tables the screen's toolbar source was given since the mark, in order."""
        return re.findall(r'backoffice\.host: data source "dtsPadrao" shows "(\w+)"', self.log_since(mark))

    # ---- the end -------------------------------------------------------------------

    def screenshot(self, name):
        path = os.path.join(OUT, re.sub(r"[^\w.-]", "_", name) + ".png")
        subprocess.run(["import", "-window", "root", path], check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def quit(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.logfile.close()

    def wait_exit(self, timeout=WAIT):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise SessionError("o programa não terminou")


def remove_home(home):
    shutil.rmtree(home, ignore_errors=True)
