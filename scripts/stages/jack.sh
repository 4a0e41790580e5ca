#!/usr/bin/env bash
# The LV2 plug-in in Debian's jalv and Qtractor on JACK, headless: see scripts/jack-check.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
exec ./scripts/jack-check.sh
