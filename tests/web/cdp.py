"""A small driver for Debian's headless Chromium over its DevTools protocol,
spoken through a pipe (--remote-debugging-pipe), so nothing beyond Python's
standard library is needed: open a page, evaluate script, click, and collect
what the page reports to its console."""
import json
import os
import subprocess
import tempfile
import time

CHROMIUM = os.environ.get("VEYRITH_CHROMIUM", "/usr/bin/chromium-headless-shell")


class PageError(Exception):
    pass


def _as_fds_3_and_4(read_end, write_end):
    # Copies first: dup2 onto the same number would keep close-on-exec.
    read_copy, write_copy = os.dup(read_end), os.dup(write_end)
    os.dup2(read_copy, 3)
    os.dup2(write_copy, 4)


class Browser:
    def __init__(self, width=1024, height=768):
        self.profile = tempfile.TemporaryDirectory(prefix="veyrith-chromium-")
        to_browser_r, self._to_browser = os.pipe()
        self._from_browser, from_browser_w = os.pipe()
        # The pipe's ends must be the browser's descriptors 3 and 4; every
        # other descriptor of this process is not inherited.
        self.process = subprocess.Popen(
            [CHROMIUM, "--remote-debugging-pipe", "--no-sandbox", "--no-first-run",
             "--user-data-dir=" + self.profile.name, f"--window-size={width},{height}",
             "--autoplay-policy=user-gesture-required", "about:blank"],
            close_fds=False, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=lambda: _as_fds_3_and_4(to_browser_r, from_browser_w))
        os.close(to_browser_r)
        os.close(from_browser_w)
        self._buffer = b""
        self._next_id = 0
        self.console_errors = []
        self.console_lines = []
        targets = self.call("Target.getTargets")["targetInfos"]
        page = next(t for t in targets if t["type"] == "page")
        self.session = self.call("Target.attachToTarget", targetId=page["targetId"],
                                 flatten=True)["sessionId"]
        for domain in ("Runtime", "Log", "Page"):
            self.call(domain + ".enable", session=True)

    def close(self):
        try:
            self.call("Browser.close")
        except Exception:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self._to_browser)
        os.close(self._from_browser)
        self.profile.cleanup()

    def renderer_cpu_seconds(self):
        """Processor time (user and system) of this browser's page processes."""
        tick = os.sysconf("SC_CLK_TCK")
        total = 0.0
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/cmdline", "rb") as f:
                    if b"--type=renderer" not in f.read():
                        continue
                with open(f"/proc/{entry}/stat") as f:
                    fields = f.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if self._descends_from_browser(int(entry)):
                total += (int(fields[11]) + int(fields[12])) / tick
        return total

    def _descends_from_browser(self, pid):
        while pid > 1:
            if pid == self.process.pid:
                return True
            try:
                with open(f"/proc/{pid}/stat") as f:
                    pid = int(f.read().rsplit(")", 1)[1].split()[1])
            except OSError:
                return False
        return False

    def _read_message(self):
        while b"\0" not in self._buffer:
            chunk = os.read(self._from_browser, 1 << 20)
            if not chunk:
                raise PageError("the browser closed its DevTools pipe")
            self._buffer += chunk
        raw, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(raw)

    def _note_event(self, message):
        method, params = message.get("method"), message.get("params", {})
        if method == "Runtime.consoleAPICalled":
            text = " ".join(str(a.get("value", a.get("description", ""))) for a in params["args"])
            self.console_lines.append(f"{params['type']}: {text}")
            if params["type"] in ("error", "assert"):
                self.console_errors.append(text)
        elif method == "Runtime.exceptionThrown":
            details = params["exceptionDetails"]
            self.console_errors.append(details.get("exception", {}).get("description")
                                       or details.get("text", "exception"))
        elif method == "Log.entryAdded" and params["entry"]["level"] == "error":
            self.console_errors.append(params["entry"]["text"])

    def call(self, method, session=False, **params):
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = self.session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        while True:
            reply = self._read_message()
            if reply.get("id") == self._next_id:
                if "error" in reply:
                    raise PageError(f"{method}: {reply['error']}")
                return reply["result"]
            self._note_event(reply)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", session=True, expression=expression,
                           returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            raise PageError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def navigate(self, url):
        self.call("Page.navigate", session=True, url=url)

    def wait_for(self, expression, timeout_s, what):
        deadline = time.monotonic() + timeout_s
        while time.monotonic() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.05)
        raise PageError(f"timed out after {timeout_s} s waiting for {what}")

    def click_element(self, selector):
        """A real mouse click in the middle of the element: a user gesture."""
        box = self.evaluate(
            f"(() => {{ const r = document.querySelector({json.dumps(selector)})"
            ".getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2]; })()")
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", session=True, type=kind, x=box[0], y=box[1],
                      button="left", clickCount=1)
