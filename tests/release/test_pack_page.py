"""The single-file page's packing (packaging/pack_page.py) against the page's own unpacking: the
page a packed site gives is read as a browser reads it (its payload decoded from windows-1252 as
the WHATWG Encoding Standard has it), and its loader is run under Node with a stand-in document.
The script and the WebAssembly must come out byte for byte, for payloads holding every byte
value and the sequences the HTML parser would act on."""

import importlib
import json
import os
import random
import re
import subprocess
import sys

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "packaging"))
pack_page = importlib.import_module("pack_page")

PAGE = b"""<!doctype html>
<html><head><meta charset="utf-8"><title>t</title></head>
<body><p id="notice" hidden></p>
<script src="solid-objects.js"></script>
</body></html>
"""

# Runs the page's loader with the document it needs and prints what it handed on: the script's
# text and the WebAssembly's bytes, as hex.
RUNNER = r"""
const fs = require('fs');
const [loader, payload, charset] = JSON.parse(fs.readFileSync(0, 'utf8'));
const appended = [];
global.window = global;
global.location = {href: 'unused'};
global.document = {
  characterSet: charset,
  body: {appendChild: (element) => appended.push(element)},
  createElement: () => ({}),
  getElementById: (id) => id === 'payload' ? {textContent: payload}
                                           : {set textContent(t) { throw new Error(t); }},
};
process.on('unhandledRejection', (e) => { console.error(String(e)); process.exit(1); });
eval(loader);
setTimeout(() => {
  const wasm = Buffer.from(window.Module.wasmBinary).toString('hex');
  console.log(JSON.stringify({script: appended[0].textContent, wasm: wasm}));
}, 500);
"""


def browser_text(data):
    """The characters a browser reads windows-1252 bytes as: Python's cp1252, except that the five
    bytes it leaves undefined are the C1 controls of the same number."""
    return "".join(bytes([b]).decode("cp1252", errors="ignore") or chr(b) for b in data)


def make_site(folder, script, wasm):
    os.makedirs(folder)
    for name, data in (("index.html", PAGE), ("solid-objects.js", script),
                       ("solid-objects.wasm", wasm)):
        with open(os.path.join(folder, name), "wb") as file:
            file.write(data)
    return str(folder)


def unpack_in_node(page, encoding):
    """The payload and the loader of a packed page, run as the browser would run them."""
    match = re.search(rb'<script type="application/octet-stream" id="payload">(.*?)</script>\n'
                      rb"<script>(.*?)</script>", page, re.S)
    assert match, "no payload and loader in the page"
    payload, loader = match.groups()
    charset = "windows-1252" if encoding == "windows-1252" else "UTF-8"
    request = json.dumps([loader.decode("ascii"), browser_text(payload), charset])
    done = subprocess.run(["node", "-e", RUNNER], input=request, capture_output=True, text=True,
                          timeout=60)
    assert done.returncode == 0, done.stderr
    result = json.loads(done.stdout)
    return result["script"], bytes.fromhex(result["wasm"])


def hostile_bytes():
    """Every byte value, and what the HTML parser would act on inside a script element."""
    generator = random.Random(21)
    return (bytes(range(256)) * 3 + b"</script><!--<script>\r\n\r\x00==<" +
            bytes(generator.getrandbits(8) for _ in range(20000)))


@pytest.mark.parametrize("encoding", ["windows-1252", "base64"])
def test_the_page_unpacks_what_was_packed(tmp_path, encoding):
    script = "var Module = Module || {}; /* \u00e9\u20ac </script> */ console.log('ok');\n"
    # Stored rather than compressible, so that the gzip stream itself holds every byte value.
    wasm = b"\0asm\1\0\0\0" + hostile_bytes()
    site = make_site(tmp_path / "site", script.encode("utf-8"), wasm)
    page = pack_page.pack(site, encoding, zopfli=False)

    body = page.split(b'id="payload">', 1)[1].split(b"</script>", 1)[0]
    # Nothing in the payload that the HTML parser would change or act on.
    assert b"<" not in body and b"\r" not in body and b"\0" not in body
    if encoding == "windows-1252":
        assert b'<meta charset="windows-1252">' in page
        # A byte or two each beyond the compressed data, no more.
        assert len(body) < len(pack_page.compress(
            len(script.encode()).to_bytes(4, "little") + script.encode() + wasm, False)) * 1.05

    unpacked_script, unpacked_wasm = unpack_in_node(page, encoding)
    assert unpacked_script == script
    assert unpacked_wasm == wasm


def test_a_site_without_the_expected_tags_is_refused(tmp_path):
    site = make_site(tmp_path / "site", b"", b"")
    with open(os.path.join(site, "index.html"), "wb") as file:
        file.write(PAGE.replace(b'<script src="solid-objects.js"></script>', b""))
    with pytest.raises(SystemExit):
        pack_page.pack(site, "windows-1252", zopfli=False)
