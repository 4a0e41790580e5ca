#!/usr/bin/env bash
# The README's first command: installs the Debian packages that are missing, builds everything,
# then renders the built-in demo groove through the plug-in and prints where the files are.
# Extra arguments go to `vorblexter demo` (for example --tempo 96 --out-dir /tmp/demo).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
"$root/build/tools/vorblexter" demo "$@"
echo "Listen to demo-in.wav and demo-out.wav; open demo.svg in a web browser to see the slot map."
