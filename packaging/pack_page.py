#!/usr/bin/env python3
"""Packs the browser build's site folder (index.html, solid-objects.js, solid-objects.wasm) into
one HTML file that plays when opened from disk: a page opened as file:// may not fetch its
WebAssembly, but it may instantiate it from bytes it holds itself.

The script and the WebAssembly go into the page as one gzip stream (made by zopfli, the smallest
deflate encoder at hand), which the browser inflates with DecompressionStream. The compressed
bytes are written into the page as they are, in a document encoded as windows-1252: that
encoding gives each of the 256 byte values a character of its own, so the page's script gets
the bytes back one character each. Only the few bytes the HTML parser would not pass through
unchanged are escaped (NUL, CR and '<', and the escape byte itself). A server that labels the
page with another character set would mangle that text; the page then reads its own bytes again
over HTTP. --encoding base64 writes the usual base64 instead (a third larger on disk).

Usage: pack_page.py SITE_DIR OUT.html [--encoding windows-1252|base64] [--compare]
"""

import argparse
import base64
import gzip
import os
import subprocess
import sys
import tempfile

SCRIPT_TAG = b'<script src="solid-objects.js"></script>'
CHARSET_TAG = b'<meta charset="utf-8">'

# The bytes that do not come through the HTML parser unchanged inside a <script> element: NUL
# (read as U+FFFD), CR (read as LF) and '<' (which could close the element or open a comment).
# Each is written as the escape byte and a digit, as is the escape byte itself.
ESCAPE = 0x3D  # '='
ESCAPED = bytes([0x00, 0x0D, 0x3C, ESCAPE])

# The characters windows-1252 gives the bytes 0x80 to 0x9F, in the WHATWG Encoding Standard
# that browsers follow (the bytes it leaves undefined elsewhere map to the C1 controls).
HIGH = ("\u20ac\x81\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030\u0160\u2039\u0152\x8d\u017d"
        "\x8f\x90\u2018\u2019\u201c\u201d\u2022\u2013\u2014\u02dc\u2122\u0161\u203a\u0153\x9d"
        "\u017e\u0178")

# The page's side, for each encoding: unpacks the payload into the program's script and its
# WebAssembly, hands the bytes to the script as Module.wasmBinary and runs the script. Plain
# ES2017; on failure the page says why in its notice line.
UNPACK = r"""(async()=>{
const notice=document.getElementById('notice');
try{
let packed=PAYLOAD_BYTES;
const stream=new Blob([packed]).stream().pipeThrough(new DecompressionStream('gzip'));
const data=new Uint8Array(await new Response(stream).arrayBuffer());
const n=data[0]|data[1]<<8|data[2]<<16|data[3]<<24;
window.Module={wasmBinary:data.subarray(4+n)};
const script=document.createElement('script');
script.textContent=new TextDecoder().decode(data.subarray(4,4+n));
document.body.appendChild(script);
}catch(e){
notice.textContent='This browser cannot unpack the show ('+e+'). It needs DecompressionStream '+
'and WebAssembly: a recent Chromium, Firefox or Safari.';
notice.hidden=false;
throw e;
}
})();"""

# windows-1252: the characters of the payload element back to bytes, undoing the escapes. When
# the document was not read as windows-1252 (a server said otherwise), its own bytes are
# fetched again and the payload found between the same markers.
DECODE_1252 = r"""await(async()=>{
let text=document.getElementById('payload').textContent,codes;
if(document.characterSet==='windows-1252'){
const high='HIGH',table=new Uint8Array(65536);
for(let i=0;i<256;i++)table[i]=i;
for(let i=0;i<32;i++)table[high.charCodeAt(i)]=128+i;
codes=Uint8Array.from(text,c=>table[c.charCodeAt(0)]);
}else{
const page=new Uint8Array(await(await fetch(location.href)).arrayBuffer());
const mark=new TextEncoder().encode('id="payload">');
let at=0;
while(!mark.every((b,i)=>page[at+i]===b))at++;
at+=mark.length;
codes=page.subarray(at,page.indexOf(60,at));
}
const out=new Uint8Array(codes.length);
let n=0;
for(let i=0;i<codes.length;i++)out[n++]=codes[i]===ESC?[ESCAPED][codes[++i]-48]:codes[i];
return out.subarray(0,n);
})()"""

DECODE_BASE64 = r"""Uint8Array.from(atob(document.getElementById('payload').textContent),c=>c.charCodeAt(0))"""


def escape_1252(data):
    out = bytearray()
    for byte in data:
        if byte in ESCAPED:
            out += bytes([ESCAPE, 0x30 + ESCAPED.index(byte)])
        else:
            out.append(byte)
    return bytes(out)


def decoder_1252():
    js_high = "".join(f"\\u{ord(c):04x}" for c in HIGH)
    return (DECODE_1252.replace("HIGH", js_high).replace("[ESCAPED]", str(list(ESCAPED)))
            .replace("ESC", str(ESCAPE)))


def compress(data, zopfli=True):
    """gzip of the data: by zopfli where asked (about 6% smaller than zlib's best), else zlib's
    level 9. Either way without a name or a time in the header."""
    if zopfli:
        # zopfli reads a file, not a pipe.
        with tempfile.NamedTemporaryFile() as file:
            file.write(data)
            file.flush()
            return subprocess.run(["zopfli", "--gzip", "-c", file.name], capture_output=True,
                                  check=True).stdout
    return gzip.compress(data, 9, mtime=0)


def pack(site, encoding="windows-1252", zopfli=True):
    """The single page, as bytes."""
    with open(os.path.join(site, "index.html"), "rb") as file:
        page = file.read()
    with open(os.path.join(site, "solid-objects.js"), "rb") as file:
        script = file.read()
    with open(os.path.join(site, "solid-objects.wasm"), "rb") as file:
        wasm = file.read()
    if page.count(SCRIPT_TAG) != 1 or page.count(CHARSET_TAG) != 1:
        raise SystemExit(f"pack_page: {site}/index.html has not exactly one {SCRIPT_TAG.decode()} "
                         f"and one {CHARSET_TAG.decode()}")
    try:
        page.decode("ascii")
    except UnicodeDecodeError:
        raise SystemExit("pack_page: index.html is not plain ASCII, which both encodings need")
    packed = compress(len(script).to_bytes(4, "little") + script + wasm, zopfli)
    if encoding == "windows-1252":
        payload, decode = escape_1252(packed), decoder_1252()
        page = page.replace(CHARSET_TAG, b'<meta charset="windows-1252">')
    else:
        payload, decode = base64.b64encode(packed), DECODE_BASE64
    loader = UNPACK.replace("PAYLOAD_BYTES", decode).encode("ascii")
    body = (b'<script type="application/octet-stream" id="payload">' + payload + b"</script>\n"
            b"<script>" + loader + b"</script>")
    return page.replace(SCRIPT_TAG, body)


def sizes(data):
    return len(data), len(gzip.compress(data, 9, mtime=0))


def compare(site):
    """The page's size on disk and gzipped (-9, as a server would send it) for each way of
    holding the program in it."""
    with open(os.path.join(site, "index.html"), "rb") as file:
        page = file.read()
    with open(os.path.join(site, "solid-objects.js"), "rb") as file:
        script = file.read()
    with open(os.path.join(site, "solid-objects.wasm"), "rb") as file:
        wasm = file.read()
    rows = [("site folder as built (3 files)", (len(page) + len(script) + len(wasm),
                                                sum(sizes(d)[1] for d in (page, script, wasm)))),
            # What a single-file build without compression holds: the script as text and the
            # WebAssembly in base64.
            ("script as text, WebAssembly base64", sizes(page + script + base64.b64encode(wasm))),
            ("zlib -9, base64", sizes(pack(site, "base64", zopfli=False))),
            ("zopfli, base64", sizes(pack(site, "base64"))),
            ("zlib -9, windows-1252", sizes(pack(site, "windows-1252", zopfli=False))),
            ("zopfli, windows-1252 (the release's)", sizes(pack(site, "windows-1252")))]
    for name, (disk, zipped) in rows:
        print(f"pack_page: {name:38} {disk:7d} bytes on disk, {zipped:7d} gzipped")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("site")
    parser.add_argument("out")
    parser.add_argument("--encoding", choices=["windows-1252", "base64"], default="windows-1252")
    parser.add_argument("--compare", action="store_true",
                        help="also print the sizes the other ways of packing give")
    args = parser.parse_args()
    if args.compare:
        compare(args.site)
    page = pack(args.site, args.encoding)
    with open(args.out, "wb") as file:
        file.write(page)
    disk, zipped = sizes(page)
    print(f"pack_page: {args.out}: {disk} bytes on disk, {zipped} gzipped")
    return 0


if __name__ == "__main__":
    sys.exit(main())
