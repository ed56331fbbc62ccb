"""Real programs on loopback for the browser and stream tests: tavelor-server with its stand-in
simulator, tavelor-web on a port of its own choosing, the stand-in's control channel, and a
headless Chromium driven over its DevTools pipe. Every wait is bounded."""
import base64, json, os, re, shutil, signal, socket, subprocess, tempfile, threading, time, urllib.request

BIN = os.environ.get("TAVELOR_BIN", "build/release")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(test, timeout=5, what="a condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = test()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"waited {timeout} s for {what}")
        time.sleep(0.05)


class Program:
    """A child process whose output lines are collected."""

    def __init__(self, argv, env=None):
        self.lines = []
        self.process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                        env={**os.environ, **(env or {})}, stdin=subprocess.DEVNULL)
        threading.Thread(target=lambda: self.lines.extend(self.process.stdout), daemon=True).start()

    def wait_line(self, pattern, timeout=10):
        return wait_until(lambda: next((m for m in map(re.compile(pattern).search, self.lines[:]) if m), None),
                          timeout, f"a line like {pattern!r}")

    def stop(self, signal_number=signal.SIGTERM):
        """Ends it as a user does (SIGTERM by default, what systemctl stop sends) and gives its exit
        status; one that has not ended 10 s later is killed, and that is a failure."""
        if self.process.poll() is None:
            self.process.send_signal(signal_number)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(10)
                raise AssertionError(f"{self.process.args[0]} did not end within 10 s of signal {signal_number}")
        return self.process.returncode


class Stack:
    """tavelor-server --sim, the control channel of its stand-in, and tavelor-web in front of it."""

    def __init__(self, *server_args, web=True):
        self.ipc = tempfile.mkdtemp(prefix="tavelor-web-test-")
        self.server_port, self.control_port = free_port(), free_port()
        self.server_args = server_args
        self.start_server()
        self.web, self.port = self.start_web() if web else (None, None)

    def start_server(self):
        if hasattr(self, "control"):
            self.control.close()
        self.server = Program([f"{BIN}/tavelor-server", "--sim", "--sim-control", str(self.control_port), "--bind",
                               "127.0.0.1", "--port", str(self.server_port), *self.server_args],
                              {"TAVELOR_IPC_DIR": self.ipc})
        self.server.wait_line("- IP:")
        self.control = socket.create_connection(("127.0.0.1", self.control_port), timeout=5)
        self.control_lines = self.control.makefile("r")

    def start_web(self, *args, program=(f"{BIN}/tavelor-web",), env=None, timeout=10):
        """A tavelor-web for this server on a port it chooses, connected; the program and its port."""
        web = Program([*program, "--server", f"127.0.0.1:{self.server_port}", "--bind", "127.0.0.1", "--port", "0",
                       "--sim-control", str(self.control_port), *args], env)
        port = int(web.wait_line(r"http://127\.0\.0\.1:(\d+)/", timeout).group(1))
        web.wait_line("Panel server connected")
        return web, port

    def sim(self, command):
        """One command on the stand-in's control channel; its answer line."""
        self.control.sendall((command + "\n").encode())
        return self.control_lines.readline().strip()

    def exchanges(self):
        """How many exchanges the server had with its simulator since the last call."""
        count = int(self.sim("journal").split()[1])
        return len({self.control_lines.readline().split()[0] for _ in range(count)})

    def url(self, page, port=None):
        return f"http://127.0.0.1:{port or self.port}/{page}"

    def get(self, page, port=None):
        with urllib.request.urlopen(self.url(page, port), timeout=5) as answer:
            return answer.read()

    def close(self):
        """Stops tavelor-web and the server as a user does; both must end with status 0."""
        self.control.close()
        statuses = {"tavelor-web": self.web.stop() if self.web else 0, "tavelor-server": self.server.stop()}
        shutil.rmtree(self.ipc, ignore_errors=True)
        if any(statuses.values()):
            raise AssertionError(f"stopped with SIGTERM, they ended with {statuses}")


class Browser:
    """Debian's Chromium, headless, driven with the DevTools protocol over its pipe (fd 3 and 4)."""

    def __init__(self, width=1280, height=800):
        self.profile = tempfile.mkdtemp(prefix="tavelor-chromium-")
        to_browser, self.write_fd = os.pipe()
        self.read_fd, from_browser = os.pipe()

        def pipes():  # in the child: its fd 3 reads our commands, fd 4 carries its answers
            os.dup2(to_browser, 3)
            os.dup2(from_browser, 4)

        # The flags that work on a machine without internet access, as root.
        self.process = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--remote-debugging-pipe", f"--user-data-dir={self.profile}", "about:blank"],
            preexec_fn=pipes, pass_fds=(3, 4), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser)
        os.close(from_browser)
        self.next_id, self.answers, self.errors, self.inbox, self.answers_given = 1, {}, [], b"", {}
        self.lock = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        self.session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        for method in ("Page.enable", "Runtime.enable"):
            self.call(method, session=True)
        self.size(width, height)
        self.call("Emulation.setTouchEmulationEnabled", session=True, enabled=True)

    def size(self, width, height):
        self.call("Emulation.setDeviceMetricsOverride", session=True, width=width, height=height,
                  deviceScaleFactor=1, mobile=False)

    def _read(self):
        while chunk := os.read(self.read_fd, 1 << 16):
            self.inbox += chunk
            *messages, self.inbox = self.inbox.split(b"\0")
            with self.lock:
                for message in map(json.loads, messages):
                    if message.get("method") == "Runtime.exceptionThrown":
                        self.errors.append(message["params"]["exceptionDetails"])
                    elif message.get("method") == "Fetch.requestPaused":
                        self._answer(message)
                    elif "id" in message:
                        self.answers[message["id"]] = message
                self.lock.notify_all()

    def answer(self, path, body):
        """The page's requests for `path` get `body` (JSON) instead of what the server would say."""
        self.answers_given[path] = body
        self.call("Fetch.enable", session=True, patterns=[{"urlPattern": f"*{p}"} for p in self.answers_given])

    def _answer(self, message):
        params = message["params"]
        body = next(b for p, b in self.answers_given.items() if params["request"]["url"].endswith(p))
        reply = {"id": 0, "method": "Fetch.fulfillRequest", "sessionId": message["sessionId"],
                 "params": {"requestId": params["requestId"], "responseCode": 200,
                            "responseHeaders": [{"name": "Content-Type", "value": "application/json"}],
                            "body": base64.b64encode(json.dumps(body).encode()).decode()}}
        os.write(self.write_fd, json.dumps(reply).encode() + b"\0")

    def call(self, method, session=False, timeout=20, **params):
        with self.lock:
            id, self.next_id = self.next_id, self.next_id + 1
        message = {"id": id, "method": method, "params": params}
        if session:
            message["sessionId"] = self.session
        os.write(self.write_fd, json.dumps(message).encode() + b"\0")
        with self.lock:
            if not self.lock.wait_for(lambda: id in self.answers, timeout):
                raise AssertionError(f"Chromium did not answer {method}")
            answer = self.answers.pop(id)
        if "error" in answer:
            raise AssertionError(f"{method}: {answer['error']}")
        return answer["result"]

    def open(self, url):
        self.errors.clear()
        self.call("Page.navigate", session=True, url=url)
        wait_until(lambda: self.js("location.href + document.readyState") == url + "complete", 10, f"{url} to load")

    def js(self, expression):
        return self.call("Runtime.evaluate", session=True, expression=expression, returnByValue=True,
                         awaitPromise=True)["result"].get("value")

    def field(self, name):
        return self.js(f"document.querySelector('[data-field=\"{name}\"]')?.textContent")

    def tap(self, selector):
        """A finger's tap in the middle of the element."""
        x, y = self.js(f"(r => [r.x + r.width / 2, r.y + r.height / 2])"
                       f"(document.querySelector('{selector}').getBoundingClientRect())")
        for kind, points in (("touchStart", [{"x": x, "y": y}]), ("touchEnd", [])):
            self.call("Input.dispatchTouchEvent", session=True, type=kind, touchPoints=points)

    def screenshot(self, path):
        with open(path, "wb") as out:
            out.write(base64.b64decode(self.call("Page.captureScreenshot", session=True, format="png")["data"]))

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
        shutil.rmtree(self.profile, ignore_errors=True)
