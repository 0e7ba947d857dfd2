"""Small clients of the browsers' own automation protocols, JSON commands and events over a
WebSocket: WebDriver BiDi, which Firefox speaks without a separate driver program, and Chromium's
DevTools protocol, for tracing. They cover what the browser tests and the profile use: a session,
navigation, evaluating script in the page, key and pointer input, the page's log entries, and a
trace. Debian's python3-websockets (10.4, asyncio only) carries the messages; each client runs its
event loop on a thread of its own and offers plain blocking calls.
"""

import asyncio
import itertools
import json
import threading

import websockets


class ProtocolError(Exception):
    """The browser answered a command with an error, or the connection broke."""


class JsonSocket:
    """Commands with numbered answers, and events, over one WebSocket."""

    def __init__(self, url, timeout=60):
        self.timeout = timeout
        self.events = []
        self._ids = itertools.count(1)
        self._waiting = {}
        self._loop = asyncio.new_event_loop()
        self._thread = threading.Thread(target=self._loop.run_forever, daemon=True)
        self._thread.start()
        self._socket = self._run(self._connect(url))
        asyncio.run_coroutine_threadsafe(self._read(), self._loop)

    @staticmethod
    async def _connect(url):
        return await websockets.connect(url, max_size=None, ping_interval=None)

    def _run(self, coroutine, timeout=None):
        return asyncio.run_coroutine_threadsafe(coroutine, self._loop).result(
            timeout or self.timeout)

    def keep(self, message):
        """Whether to keep an event in self.events."""
        return True

    async def _read(self):
        try:
            async for text in self._socket:
                message = json.loads(text)
                if "id" in message and message["id"] in self._waiting:
                    self._waiting.pop(message["id"]).set_result(message)
                elif "method" in message and self.keep(message):
                    self.events.append(message)
        except websockets.ConnectionClosed:
            pass
        for waiting in self._waiting.values():
            waiting.set_exception(ProtocolError("the browser closed the connection"))
        self._waiting.clear()

    async def _send(self, message):
        answer = self._loop.create_future()
        self._waiting[message["id"]] = answer
        await self._socket.send(json.dumps(message))
        return await answer

    def command(self, method, params, timeout=None):
        """Sends a command and returns its result; raises ProtocolError when it fails."""
        message = {"id": next(self._ids), "method": method, "params": params}
        answer = self._run(self._send(message), timeout)
        if "error" in answer:
            raise ProtocolError(f"{method}: {answer.get('error')}: {answer.get('message', '')}")
        return answer["result"]

    def close(self):
        try:
            self._run(self._socket.close(), 10)
        except Exception:
            pass
        self._loop.call_soon_threadsafe(self._loop.stop)
        self._thread.join(10)


class Bidi(JsonSocket):
    """A WebDriver BiDi session on the browser's endpoint (ws://host:port, as it prints it), on
    its first browsing context, with the page's log entries kept."""

    def __init__(self, url, timeout=60):
        super().__init__(url + "/session", timeout)
        self.command("session.new", {"capabilities": {}})
        contexts = self.command("browsingContext.getTree", {})["contexts"]
        self.context = contexts[0]["context"]
        self.command("session.subscribe", {"events": ["log.entryAdded"]})

    def keep(self, message):
        return message["method"] == "log.entryAdded"

    @property
    def log_entries(self):
        return [event["params"] for event in self.events]

    def navigate(self, url, wait="complete"):
        self.command("browsingContext.navigate",
                     {"context": self.context, "url": url, "wait": wait})

    def evaluate(self, expression, timeout=None):
        """The value of a script expression in the page, passed through JSON; a promise is
        awaited."""
        result = self.command("script.evaluate", {
            "expression": f"(async () => JSON.stringify(await ({expression})))()",
            "target": {"context": self.context}, "awaitPromise": True,
            "resultOwnership": "none"}, timeout)
        if result.get("type") == "exception":
            details = result["exceptionDetails"]
            raise ProtocolError(f"script error: {details.get('text')}")
        value = result["result"]
        return json.loads(value["value"]) if value.get("type") == "string" else None

    def element(self, css):
        """A reference to the first element that a CSS selector finds."""
        result = self.command("script.evaluate", {
            "expression": f"document.querySelector({json.dumps(css)})",
            "target": {"context": self.context}, "awaitPromise": False,
            "resultOwnership": "none"})
        node = result.get("result", {})
        if node.get("type") != "node":
            raise ProtocolError(f"no element {css}")
        return {"sharedId": node["sharedId"]}

    def perform(self, actions):
        self.command("input.performActions", {"context": self.context, "actions": actions})

    def close(self):
        try:
            self.command("browser.close", {}, timeout=20)
        except Exception:
            pass
        super().close()


class DevTools(JsonSocket):
    """Chromium's DevTools protocol on the browser's own target, for a trace of every process."""

    def keep(self, message):
        return message["method"] in ("Tracing.dataCollected", "Tracing.tracingComplete")

    def start_trace(self, categories):
        self.events.clear()
        self.command("Tracing.start", {"traceConfig": {"includedCategories": categories},
                                       "transferMode": "ReportEvents"})

    def stop_trace(self, timeout=120):
        """The trace's events (Chrome's trace event format)."""
        self.command("Tracing.end", {})
        done = threading.Event()
        waited = 0.0
        while not any(event["method"] == "Tracing.tracingComplete" for event in self.events):
            if waited > timeout:
                raise ProtocolError("the trace did not complete")
            done.wait(0.1)
            waited += 0.1
        return [item for event in self.events if event["method"] == "Tracing.dataCollected"
                for item in event["params"]["value"]]
