#!/usr/bin/env bash
# The layers of the source tree: engine/ knows no plug-in format and no platform back end, and
# no binding (host/ for VST 2.x, lv2/, clap/) includes another. Fails, naming each offending
# line, when an include crosses one of these lines.
#
# Usage: scripts/check-layers.sh [source root] (default: the repository this script is in)
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

# Each rule: a folder, then the folders its files may not include from.
rules=(
    "engine host lv2 clap platform"
    "host lv2 clap"
    "lv2 host clap"
    "clap host lv2"
)

status=0
for rule in "${rules[@]}"; do
    read -r folder forbidden <<<"$rule"
    [[ -d $folder ]] || continue
    pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]($(tr ' ' '|' <<<"$forbidden"))/"
    if hits=$(grep -rnE --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.c' \
        "$pattern" "$folder"); then
        echo "$hits" | sed "s|^|layer violation ($folder/ may not include $forbidden): |" >&2
        status=1
    fi
done
if [[ $status -eq 0 ]]; then
    echo "layers: engine/ includes no binding or platform code; no binding includes another"
fi
exit $status
