#!/usr/bin/env bash
# Builds the show for web browsers (build-web/site/: the page, its script and the program as
# WebAssembly; installing Debian's emscripten and what else the build needs first) and serves
# that folder on this machine: open http://127.0.0.1:8000/ (PORT for another port). Any static
# web server can serve the folder instead; a page opened as a file cannot load WebAssembly.
set -euo pipefail
cd "$(dirname "$0")/.."

port="${PORT:-8000}"
scripts/install_deps.sh web
cmake --preset web >/dev/null
cmake --build --preset web --target solid-objects
echo "web: the show is at http://127.0.0.1:$port/ (Ctrl+C stops the server)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build-web/site
