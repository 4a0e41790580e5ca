#!/usr/bin/env bash
# The LV2 plug-in in Debian's Ardour, headless: see scripts/ardour-check.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
exec ./scripts/ardour-check.sh
