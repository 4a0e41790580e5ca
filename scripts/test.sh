#!/usr/bin/env bash
# Everything CI checks, on a fresh Debian 12 machine: installs what is missing, then runs each
# stage in turn and stops at the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
for stage in unit sanitizers fuzz windows ardour jack bench; do
    if [[ -x scripts/stages/$stage.sh ]]; then
        echo "=== stage: $stage ==="
        start=$SECONDS
        "scripts/stages/$stage.sh"
        echo "=== stage $stage passed in $((SECONDS - start)) s ==="
    fi
done
