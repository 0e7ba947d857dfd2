"""A small WebDriver BiDi client: the browser's own automation protocol (JSON commands and events
over a WebSocket), which Firefox speaks without a separate driver program. It covers what the
browser tests use: a session, navigation, evaluating script in the page, key and pointer input, and
the page's log entries. Debian's python3-websockets (10.4, asyncio only) carries the messages; the
client runs its event loop on a thread of its own and offers plain blocking calls.
"""

import asyncio
import itertools
import json
import threading

import websockets


class BidiError(Exception):
    """The browser answered a command with an error, or the connection broke."""


class Bidi:
    def __init__(self, url, timeout=60):
        """Connects to the browser's BiDi endpoint (ws://host:port, as the browser prints it)
        and starts a session."""
        self.timeout = timeout
        self.log_entries = []
        self._ids = itertools.count(1)
        self._waiting = {}
        self._loop = asyncio.new_event_loop()
        self._thread = threading.Thread(target=self._loop.run_forever, daemon=True)
        self._thread.start()
        self._socket = self._run(self._connect(url + "/session"))
        self._reader = asyncio.run_coroutine_threadsafe(self._read(), self._loop)
        self.command("session.new", {"capabilities": {}})
        contexts = self.command("browsingContext.getTree", {})["contexts"]
        self.context = contexts[0]["context"]
        self.command("session.subscribe", {"events": ["log.entryAdded"]})

    @staticmethod
    async def _connect(url):
        return await websockets.connect(url, max_size=None, ping_interval=None)

    def _run(self, coroutine, timeout=None):
        return asyncio.run_coroutine_threadsafe(coroutine, self._loop).result(
            timeout or self.timeout)

    async def _read(self):
        try:
            async for text in self._socket:
                message = json.loads(text)
                if "id" in message and message["id"] in self._waiting:
                    self._waiting.pop(message["id"]).set_result(message)
                elif message.get("method") == "log.entryAdded":
                    self.log_entries.append(message["params"])
        except websockets.ConnectionClosed:
            pass
        for waiting in self._waiting.values():
            waiting.set_exception(BidiError("the browser closed the connection"))
        self._waiting.clear()

    async def _send(self, message):
        answer = self._loop.create_future()
        self._waiting[message["id"]] = answer
        await self._socket.send(json.dumps(message))
        return await answer

    def command(self, method, params, timeout=None):
        """Sends a command and returns its result; raises BidiError when it fails."""
        message = {"id": next(self._ids), "method": method, "params": params}
        answer = self._run(self._send(message), timeout)
        if answer.get("type") == "error":
            raise BidiError(f"{method}: {answer.get('error')}: {answer.get('message')}")
        return answer["result"]

    def navigate(self, url):
        self.command("browsingContext.navigate",
                     {"context": self.context, "url": url, "wait": "complete"})

    def evaluate(self, expression, timeout=None):
        """The value of a script expression in the page, passed through JSON; a promise is
        awaited."""
        result = self.command("script.evaluate", {
            "expression": f"(async () => JSON.stringify(await ({expression})))()",
            "target": {"context": self.context}, "awaitPromise": True,
            "resultOwnership": "none"}, timeout)
        if result.get("type") == "exception":
            details = result["exceptionDetails"]
            raise BidiError(f"script error: {details.get('text')}")
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
            raise BidiError(f"no element {css}")
        return {"sharedId": node["sharedId"]}

    def perform(self, actions):
        self.command("input.performActions", {"context": self.context, "actions": actions})

    def close(self):
        try:
            self.command("browser.close", {}, timeout=20)
        except Exception:
            pass
        try:
            self._run(self._socket.close(), 10)
        except Exception:
            pass
        self._loop.call_soon_threadsafe(self._loop.stop)
        self._thread.join(10)
