"""The web page against the native program: served by `make serve-web`
and driven in headless Chromium, the page must show at demo time T the
pixels of `veyrith --screenshot T`, mix the song sample for sample as
`vrtool mod render` does, report no error to its console, and say clearly
which content file is missing or damaged.

usage: web_page_test.py BIN_DIR SITE_DIR [--whole]
  --whole  also play the whole schedule once and print the frame rate"""
import base64
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import wave

sys.path.insert(0, os.path.dirname(__file__))
import cdp  # noqa: E402

ROOT = os.path.normpath(os.path.join(os.path.dirname(__file__), "..", ".."))
# Demo times across the schedule: the intro, the logo, the main scene, the
# mountains, the hut, the planets, the stone circle and the scroller.
TIMES = [2.5, 17.25, 33.1, 55.0, 80.5, 99.4, 127.75, 175.3]
RECORD_SECONDS = 2.0
RATE = 44100  # the "medium" quality the page starts with

failures = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    if not condition:
        failures.append(what)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Server:
    """`make serve-web` on a free port, for one site folder."""

    def __init__(self, site):
        self.port = free_port()
        self.process = subprocess.Popen(
            ["make", "-s", "--no-print-directory", "-C", ROOT, "serve-web",
             f"WEB_SITE={site}", f"WEB_PORT={self.port}"],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, start_new_session=True)
        self.address = self.process.stdout.readline().strip().split()[-1]
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return
            except OSError:
                time.sleep(0.05)
        self.close()
        raise cdp.PageError("make serve-web did not start: " + self.address)

    def close(self):
        # make, its shell and the server share one process group.
        os.killpg(self.process.pid, signal.SIGTERM)
        self.process.wait()


def start_page(browser, url, timeout_s=60):
    browser.navigate("about:blank")  # a new address only in its #part would not reload
    browser.navigate(url)
    browser.wait_for("window.veyrith && window.veyrith.phase !== 'loading'", timeout_s, "load")
    if browser.evaluate("window.veyrith.phase") != "ready":
        return
    browser.click_element("#go")


def native_frame(bin_dir, site, seconds, scratch):
    png = os.path.join(scratch, f"native_{seconds}.png")
    subprocess.run([os.path.join(bin_dir, "veyrith"), "--screenshot", str(seconds), png],
                   cwd=site, check=True, stdout=subprocess.DEVNULL)
    return subprocess.run(["convert", png, "-depth", "8", "rgb:-"], check=True,
                          stdout=subprocess.PIPE).stdout


def page_frame(browser):
    browser.wait_for("window.veyrith.firstFrame !== null || window.veyrith.phase === 'failed'",
                     120, "the first frame")
    encoded = browser.evaluate(
        "(() => { const f = window.veyrith.firstFrame; if (!f) return null;"
        " const rgb = new Uint8Array(f.width * f.height * 3);"
        " for (let i = 0, j = 0; i < f.data.length; i += 4) {"
        "   rgb[j++] = f.data[i]; rgb[j++] = f.data[i + 1]; rgb[j++] = f.data[i + 2]; }"
        " let s = ''; for (let i = 0; i < rgb.length; i += 32768)"
        "   s += String.fromCharCode.apply(null, rgb.subarray(i, i + 32768));"
        " return btoa(s); })()")
    return base64.b64decode(encoded) if encoded else b""


def page_song(browser, frames):
    browser.wait_for(f"Module._veyrith_audio_recorded && (() => {{ const n = Module._malloc(4);"
                     f" Module._veyrith_audio_recorded(n); const c = Module.HEAP32[n >> 2];"
                     f" Module._free(n); return c >= {frames * 2}; }})()",
                     60, "the recorded song")
    encoded = browser.evaluate(
        "(() => { const n = Module._malloc(4); const p = Module._veyrith_audio_recorded(n);"
        " const count = Module.HEAP32[n >> 2]; Module._free(n);"
        " const bytes = Module.HEAPU8.subarray(p, p + count * 2); let s = '';"
        " for (let i = 0; i < bytes.length; i += 32768)"
        "   s += String.fromCharCode.apply(null, bytes.subarray(i, i + 32768));"
        " return btoa(s); })()")
    return base64.b64decode(encoded)


def native_song(bin_dir, site, scratch):
    wav_path = os.path.join(scratch, "song.wav")
    subprocess.run([os.path.join(bin_dir, "vrtool"), "mod", "render",
                    os.path.join(site, "music.s3m"), wav_path, "--rate", str(RATE)],
                   check=True, stdout=subprocess.DEVNULL)
    with wave.open(wav_path) as w:
        return w.readframes(w.getnframes())


def first_difference(a, b):
    for i in range(min(len(a), len(b))):
        if a[i] != b[i]:
            return i
    return min(len(a), len(b))


def check_pictures_and_sound(browser, address, bin_dir, site, scratch):
    song = native_song(bin_dir, site, scratch)
    frames = int(RECORD_SECONDS * RATE)
    for seconds in TIMES:
        start_page(browser, f"{address}index.html#t={seconds}&record={RECORD_SECONDS}")
        got = page_frame(browser)
        want = native_frame(bin_dir, site, seconds, scratch)
        check(got == want, f"picture at {seconds} s equals the native screenshot"
              + ("" if got == want else f" (first difference at byte {first_difference(got, want)}"
                 f" of {len(want)}, page gave {len(got)})"))
        if seconds in (TIMES[0], TIMES[4]):
            heard = page_song(browser, frames)
            begin = round(seconds * RATE) * 4
            rendered = song[begin:begin + frames * 4]
            check(heard[:len(rendered)] == rendered and len(heard) >= len(rendered),
                  f"{RECORD_SECONDS} s of song from {seconds} s equal the offline render")


def check_bad_content(browser, site, scratch):
    cases = [  # (file, what is done to it, words the page's message must hold)
        ("music.s3m", "removed", ["music.s3m", "404"]),
        ("music.s3m", "cut short", ["music.s3m", "without music"]),
        ("demo.dat", "cut short", ["demo.dat"]),
        ("demo.dat", "emptied", ["demo.dat", "empty"]),
    ]
    for name, damage, words in cases:
        bad = os.path.join(scratch, f"site_{name}_{damage}".replace(" ", "_"))
        shutil.copytree(site, bad)
        path = os.path.join(bad, name)
        if damage == "removed":
            os.remove(path)
        else:
            with open(path, "r+b") as f:
                f.truncate(0 if damage == "emptied" else 300)
        server = Server(bad)
        try:
            start_page(browser, server.address + "index.html")
            text = browser.wait_for(
                "(window.veyrith?.phase === 'failed' && document.getElementById('message')?"
                ".textContent) || document.getElementById('notice')?.textContent",
                60, "the page's message")
            check(all(w in text for w in words), f"{name} {damage}: the page says \"{text}\"")
        finally:
            server.close()


def whole_run(browser, address):
    """The page's own frame counter over the whole schedule, and the
    processor time its page process spent per frame (which does not depend on
    how busy the machine is)."""
    start_page(browser, address + "index.html")
    browser.wait_for("window.veyrith.firstFrame !== null", 60, "the first frame")
    cpu_begin = browser.renderer_cpu_seconds()
    frames_begin = browser.evaluate("window.veyrith.framesShown")
    browser.wait_for("window.veyrith.phase === 'ended'", 400, "the end of the schedule")
    cpu = browser.renderer_cpu_seconds() - cpu_begin
    frames = browser.evaluate("window.veyrith.framesShown") - frames_begin
    samples = browser.evaluate("window.veyrith.fpsSamples")
    steady = samples[1:] or samples or [0]
    print(f"whole schedule: {len(samples)} s, mean {sum(steady) / len(steady):.1f} fps,"
          f" lowest second {min(steady):.1f} fps, {frames} frames,"
          f" page process {1000 * cpu / max(frames, 1):.1f} ms of processor time per frame;"
          f" load average {os.getloadavg()[0]:.1f}")
    # Second n of the samples is about second n + 1 of the schedule.
    slowest = sorted(range(len(samples)), key=samples.__getitem__)[:8]
    print("slowest seconds: " + ", ".join(f"{i + 1} s {samples[i]:.0f} fps" for i in sorted(slowest)))


def main():
    bin_dir, site = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    scratch = tempfile.mkdtemp(prefix="veyrith-web-test-")
    server = Server(site)
    browser = cdp.Browser()
    try:
        start_page(browser, server.address + "index.html")
        browser.wait_for("window.veyrith.firstFrame !== null", 60, "the first frame")
        load, first = browser.evaluate("[window.veyrith.loadMs, window.veyrith.firstFrameMs]")
        time.sleep(3)
        fps = browser.evaluate("window.veyrith.fpsSamples")
        print(f"loaded in {load:.0f} ms; first frame {first:.0f} ms after start; frames per second: "
              + ", ".join(f"{f:.0f}" for f in fps))
        # Any key ends the demo, as in the native program.
        browser.call("Input.dispatchKeyEvent", session=True, type="keyDown", key="x", text="x")
        browser.wait_for("window.veyrith.phase === 'ended'", 30, "the end after a key press")
        shown = browser.evaluate("window.veyrith.framesShown")
        browser.click_element("#restart")
        time.sleep(3)
        check(browser.evaluate(f"window.veyrith.phase === 'running' &&"
                               f" window.veyrith.framesShown > {shown} + 5"),
              "Restart plays the demo again after a key ended it")
        check_pictures_and_sound(browser, server.address, bin_dir, site, scratch)
        check(not browser.console_errors,
              "no error in the console" + "".join("\n      " + e for e in browser.console_errors))
        check_bad_content(browser, site, scratch)
        if "--whole" in sys.argv:
            whole_run(browser, server.address)
        # A browser without WebAssembly gets a plain message.
        browser.call("Page.addScriptToEvaluateOnNewDocument", session=True,
                     source="delete window.WebAssembly;")
        browser.navigate("about:blank")
        browser.navigate(server.address + "index.html")
        # The new document may not hold the element yet when first asked.
        text = browser.wait_for("document.getElementById('message')?.textContent", 30, "a message")
        check("WebAssembly" in text, f"without WebAssembly the page says \"{text}\"")
    finally:
        browser.close()
        server.close()
        shutil.rmtree(scratch, ignore_errors=True)
    print(f"web page: {len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
