#!/usr/bin/env bash
# The LV2 plug-in in a real host: Debian's Ardour, headless (its Lua session tool on the Dummy
# backend, no sound card). Builds the bundle, makes a 48 kHz session at 120 BPM in 4/4 with one
# stereo track playing a test signal whose every frame is distinct, puts the plug-in on it,
# exports five bars, checks the render frame by frame (bar 1 and the captured bar pass through,
# the bars after play the captured slices, bit for bit), then plays the session in real time and
# checks what the plug-in's State, Slot and Slice controls show. Installs Ardour (and python3)
# when missing. Everything it writes stays in a temporary folder, removed at the end unless
# ARDOUR_CHECK_KEEP=1. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tests=$root/tests/ardour
started=$SECONDS

# --- packages ------------------------------------------------------------------------------

source scripts/packages.sh
install_missing ardour python3
echo "packages ready in $((SECONDS - started)) s"

# --- the bundle ----------------------------------------------------------------------------

if [[ ! -f build/build.ninja ]]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORBLEXTER_WERROR=ON >/dev/null
fi
cmake --build build -j 2 --target vorblexter1_lv2 >/dev/null
bundle=$root/build/vorblexter1.lv2

# --- the session ---------------------------------------------------------------------------

work=$(mktemp -d "${TMPDIR:-/tmp}/vorblexter-ardour.XXXXXX")
cleanup() {
    if [[ ${ARDOUR_CHECK_KEEP:-0} == 1 ]]; then
        echo "kept: $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT

# Ardour looks for LV2 bundles only in LV2_PATH, and keeps its configuration (the export
# preset below included) and caches in the XDG folders: all of them here, away from the user's.
mkdir -p "$work/lv2" "$work/config/ardour7/export" "$work/render"
ln -s "$bundle" "$work/lv2/"
export LV2_PATH=$work/lv2 XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export XDG_DATA_HOME=$work/data
# Ardour's own 32-bit float BWF format, every field of the file name off but the label.
preset=9a3c6e0b-6d47-4c1f-8e55-2f1b7d0a4c93
cat >"$work/config/ardour7/export/vorblexter-check.preset" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<ExportPreset id="$preset" name="vorblexter check: WAV float">
  <ExportFormat id="20b4ab09-6452-4cb3-bd66-b921cdbd2942"/>
  <ExportFilename>
    <Folder relative="0" path="$work/render"/>
    <Field name="label" enabled="1"/>
    <Field name="session" enabled="0"/>
    <Field name="snapshot" enabled="0"/>
    <Field name="timespan" enabled="0"/>
    <Field name="revision" enabled="0"/>
    <Field name="time" enabled="0" value="T_None"/>
    <Field name="date" enabled="0" value="D_None"/>
  </ExportFilename>
</ExportPreset>
EOF

rate=48000
bpm=120
beats_per_bar=4
loop_beats=4
cuts=4
envelope=20
repetition=0
bar=$((rate * 60 * beats_per_bar / bpm))
render_frames=$((5 * bar))
# Vorblex 100 and Reverse 50: every slot drawn, half of them backwards, so the sliced bars
# cannot pass for the input; the other controls keep their defaults.
controls="Reverse=50,Vorblex=100,Repetition=$repetition,Cuts/Bar=$cuts,Envelope=$envelope"
controls+=",Variation=1,Silence=0,Loop Length=$loop_beats"

export ARDOUR_CHECK_DIR=$work/check ARDOUR_CHECK_NAME=check ARDOUR_CHECK_RATE=$rate
export ARDOUR_CHECK_URI=urn:vorblexter:vorblexter1 ARDOUR_CHECK_CONTROLS=$controls
export ARDOUR_CHECK_PRESET=$preset ARDOUR_CHECK_OUT_DIR=$work/render

# Ardour's messages go to a log, shown when a step fails. Debian's Ardour 7.3 Lua tool now and
# then dies of a heap error or a segmentation fault, mostly while closing the session after its
# work is done; it does so as often with no plug-in on the track or with Ardour's own delay
# plug-in (seen in about one run in six of each). A step that dies of a signal is therefore run
# again from its start, up to four times; a step that reports a failure fails the check at once.
step() {
    local name=$1 reset=$2
    shift 2
    local begin=$SECONDS try status
    for try in 1 2 3 4; do
        "$reset"
        status=0
        "$@" >"$work/$name.log" 2>&1 || status=$?
        if ((status == 0)); then
            echo "$name: $((SECONDS - begin)) s$( ((try > 1)) && echo ", $((try - 1)) retries")"
            return
        fi
        if ((status < 128)); then
            break
        fi
        echo "$name: Ardour died of signal $((status - 128)); running the step again"
    done
    cat "$work/$name.log"
    echo "FAIL: $name" >&2
    ARDOUR_CHECK_KEEP=1
    exit 1
}
new_session() { rm -rf "$ARDOUR_CHECK_DIR"; }
new_render() { rm -f "$work"/render/*.wav; }
nothing() { :; }

step create new_session ardour7-lua "$tests/create_session.lua"
# One bar more than the render, so that the region outlasts everything played.
step input nothing python3 "$tests/session_input.py" "$ARDOUR_CHECK_DIR" check Slicer $((6 * bar))
export ARDOUR_CHECK_FRAMES=$render_frames ARDOUR_CHECK_TESTS=$tests
step render new_render ardour7-lua "$tests/render_session.lua"
step watch nothing ardour7-lua "$tests/watch_session.lua"

render=$(find "$work/render" -name '*.wav' | head -n 1)
if [[ -z $render ]]; then
    echo "FAIL: the export wrote no WAV file" >&2
    exit 1
fi

echo "--- the render (${render_frames} frames, Reverse 50, Vorblex 100, Envelope $envelope)"
status=0
python3 "$root/tests/render/check_render.py" "$render" $bpm $beats_per_bar $loop_beats $cuts $envelope \
    $repetition || status=1
echo "--- the controls while playing in real time"
python3 "$tests/check_controls.py" "$work/watch.log" $rate $bpm $beats_per_bar $loop_beats \
    $cuts || status=1

if ((status != 0)); then
    ARDOUR_CHECK_KEEP=1
    echo "FAIL: Ardour check ($((SECONDS - started)) s)" >&2
    exit 1
fi
echo "ok: Ardour $(ardour7-lua --version 2>/dev/null | head -n 1 | awk '{print $NF}') slices" \
    "with the LV2 plug-in ($((SECONDS - started)) s)"
