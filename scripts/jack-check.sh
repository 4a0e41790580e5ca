#!/usr/bin/env bash
# The LV2 plug-in in real hosts on JACK: Debian's jalv and Qtractor, each on a JACK server of its
# own with the dummy driver (no sound card) at 48 kHz, the transport rolling from frame 0 at
# 120 BPM in 4/4. The test signal, whose every frame is distinct, plays through the plug-in with
# Reverse 50 and Vorblex 100; its output is recorded as floats from before the transport rolls,
# and checked frame by frame (tests/render/check_render.py): bar 1 and the captured bar 2 pass
# through, every quarter-note slot after them is one captured slice, forwards or backwards, times
# the slot fades, bit for bit.
#
# - jalv runs the bundle and sends it the transport's position; the signal comes from the check's
#   own JACK client, which plays input frame f at transport frame f, and jack_transport is the
#   timebase master that gives the transport its tempo and meter.
# - Qtractor (under Xvfb) plays the signal as a clip on a stereo audio track with the plug-in as
#   its insert, from a session file written by tests/jack/qtractor_session.py; it is the
#   transport's timebase master and follows the check's start. Its insert is QTRACTOR_PLUGIN_TYPE
#   (CLAP, the default, for the .clap file at QTRACTOR_CLAP, or LV2).
#
# Installs the Debian packages it needs when missing. JACK_CHECK_HOSTS picks the hosts (default
# "jalv qtractor"). Everything it writes stays in a temporary folder, removed at the end unless
# JACK_CHECK_KEEP=1. Exits non-zero on any failure; prints one "ok:" line per host.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tests=$root/tests
started=$SECONDS
hosts=${JACK_CHECK_HOSTS:-jalv qtractor}
qtractor_plugin_type=${QTRACTOR_PLUGIN_TYPE:-CLAP}
qtractor_clap=${QTRACTOR_CLAP:-$root/build/vorblexter1.clap}

# --- packages ------------------------------------------------------------------------------

source scripts/packages.sh
wanted=(jackd2 python3 python3-jack-client)
[[ " $hosts " == *" jalv "* ]] && wanted+=(jalv)
[[ " $hosts " == *" qtractor "* ]] && wanted+=(qtractor xvfb g++)
install_missing "${wanted[@]}"
echo "packages ready in $((SECONDS - started)) s"
# Debian's Python, which the JACK client module belongs to, whatever python3 the PATH finds.
python=/usr/bin/python3

# --- the bundle ----------------------------------------------------------------------------

if [[ ! -f build/build.ninja ]]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORBLEXTER_WERROR=ON >/dev/null
fi
cmake --build build -j 2 --target vorblexter1_lv2 vorblexter1_clap >/dev/null
bundle=$root/build/vorblexter1.lv2
uri=urn:vorblexter:vorblexter1

# --- the run -------------------------------------------------------------------------------

work=$(mktemp -d "${TMPDIR:-/tmp}/vorblexter-jack.XXXXXX")
# The processes started here and still running, in the order they started.
pids=()

forget() {
    local pid kept=()
    for pid in "${pids[@]}"; do
        [[ $pid == "$1" ]] || kept+=("$pid")
    done
    pids=("${kept[@]}")
}

# Waits up to SECONDS for the process to end.
wait_for_exit() {
    local pid=$1 seconds=$2 try
    for ((try = 0; try < seconds * 10; try++)); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

# Ends a process started here: SIGTERM, and SIGKILL if it is still there 10 s later.
stop() {
    if kill "$1" 2>/dev/null && ! wait_for_exit "$1" 10; then
        kill -KILL "$1" 2>/dev/null || true
    fi
    wait "$1" 2>/dev/null || true
    forget "$1"
}

cleanup() {
    local i
    # Clients before their servers: the last started first.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        stop "${pids[i]}"
    done
    # What JACK leaves of a client that did not close (only this run's servers are named so).
    rm -f /dev/shm/jack_sem.*_vorblexter-check-$$-*
    if [[ ${JACK_CHECK_KEEP:-0} == 1 ]]; then
        echo "kept: $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT

# The hosts find LV2 bundles through LV2_PATH: only this one. Every client finds its JACK server
# by JACK_DEFAULT_SERVER and may never start one of its own (which would look for a sound card).
mkdir -p "$work/lv2"
ln -s "$bundle" "$work/lv2/"
export LV2_PATH=$work/lv2 JACK_NO_START_SERVER=1

rate=48000
period=1024
# 120 BPM in 4/4 is also what the plug-in assumes of a host that sends no tempo: another tempo
# (one whose bar is a whole number of frames: 96, 100, 125, ...) shows that the host's arrives.
bpm=${JACK_CHECK_BPM:-120}
beats_per_bar=4
loop_beats=4
cuts=4
envelope=20
repetition=0
if [[ ! $bpm =~ ^[1-9][0-9]*$ ]] || ((rate * 60 * beats_per_bar % bpm != 0)); then
    echo "FAIL: JACK_CHECK_BPM=$bpm makes no bar of whole frames" >&2
    exit 1
fi
bar=$((rate * 60 * beats_per_bar / bpm))
record_frames=$((5 * bar))
# Vorblex 100 and Reverse 50: every slot drawn, half of them backwards, so the sliced bars
# cannot pass for the input; the other controls keep their defaults, set all the same.
controls=(reverse=50 vorblex=100 "repetition=$repetition" "cuts_per_bar=$cuts" "envelope=$envelope"
    variation=1 silence=0 "loop_length=$loop_beats")

fail() {
    echo "FAIL: $*" >&2
    JACK_CHECK_KEEP=1
    exit 1
}

# Logs of a failed step, then the failure.
fail_showing() {
    local message=$1 log
    shift
    for log in "$@"; do
        [[ -f $log ]] && { echo "--- $log"; tail -n 40 "$log"; }
    done
    fail "$message"
}

# A JACK server of the host's own, so that no host sees what another left behind (a transport
# that has moved, for one, makes the plug-in capture from its first frame).
start_jack() {
    export JACK_DEFAULT_SERVER=vorblexter-check-$$-$1
    # Synchronous mode: the server waits for every client each cycle, so that a slow cycle
    # delays the graph instead of dropping a client's output.
    jackd -n "$JACK_DEFAULT_SERVER" -S -t 5000 -r -d dummy -r $rate -p $period \
        >"$work/$1-jackd.log" 2>&1 &
    jackd_pid=$!
    pids+=("$jackd_pid")
    jack_wait -w -t 10 >/dev/null 2>&1 || fail_showing "the JACK server did not start" \
        "$work/$1-jackd.log"
}

stop_jack() {
    stop "$jackd_pid"
}

wait_for_port() {
    local port=$1 seconds=$2 try
    shift 2
    for ((try = 0; try < seconds * 10; try++)); do
        jack_lsp 2>/dev/null | grep -qxF "$port" && return
        sleep 0.1
    done
    fail_showing "no JACK port $port after $seconds s" "$@"
}

# Records the host's outputs while the transport rolls record_frames frames from frame 0, then
# checks them; FADE is how many frames the host fades in as it starts.
record_and_check() {
    local name=$1 fade=$2
    shift 2
    local begin=$SECONDS
    "$python" "$tests/jack/play_record.py" "$work/$name.wav" $record_frames "$bpm" $beats_per_bar \
        "$@" >"$work/$name-record.log" 2>&1 || fail_showing "recording $name" \
        "$work/$name-record.log"
    echo "$name: $(cat "$work/$name-record.log")"
    "$python" "$tests/render/check_render.py" --lead-in "$fade" "$work/$name.wav" "$bpm" \
        $beats_per_bar $loop_beats $cuts $envelope $repetition >"$work/$name-check.log" 2>&1 ||
        fail_showing "$name's render" "$work/$name-check.log"
    sed 's/^/  /' "$work/$name-check.log"
    # Reverse 50 plays some of the twelve slots backwards, with the effect's draws as they
    # stand: none would mean the host left the plug-in at its defaults (Reverse 0).
    grep -q 'slots play slices.*R' "$work/$name-check.log" ||
        fail "$name: no slot plays backwards, so the settings did not reach the plug-in"
    echo "$name: recorded and checked in $((SECONDS - begin)) s"
}

# --- jalv ----------------------------------------------------------------------------------

check_jalv() {
    local begin=$SECONDS
    start_jack jalv

    # jack_transport reads its commands from a pipe held open here: it becomes the timebase
    # master, at the check's tempo (its meter is 4/4).
    mkfifo "$work/transport"
    jack_transport <"$work/transport" >"$work/jalv-transport.log" 2>&1 &
    local transport_pid=$!
    pids+=("$transport_pid")
    exec {transport}>"$work/transport"
    printf 'master\ntempo %s\n' "$bpm" >&$transport
    # Its prompt comes back once for each command done.
    local try
    for ((try = 0; try < 100; try++)); do
        (($(grep -o 'jack_transport> ' "$work/jalv-transport.log" | wc -l) >= 3)) && break
        sleep 0.1
    done
    ((try < 100)) || fail_showing "jack_transport did not take its commands" \
        "$work/jalv-transport.log"

    # jalv reads commands from its standard input and ends at its end: a pipe held open too.
    mkfifo "$work/jalv-input"
    local settings=() control
    for control in "${controls[@]}"; do
        settings+=(-c "$control")
    done
    jalv -x -n vorblexter1 "${settings[@]}" $uri <"$work/jalv-input" >"$work/jalv.log" 2>&1 &
    local jalv_pid=$!
    pids+=("$jalv_pid")
    exec {jalv_input}>"$work/jalv-input"
    wait_for_port vorblexter1:out_right 10 "$work/jalv.log"

    record_and_check jalv 0 vorblexter1:out_left vorblexter1:out_right \
        --play vorblexter1:in_left vorblexter1:in_right

    # Both end at the end of their input.
    exec {jalv_input}>&- {transport}>&-
    wait_for_exit "$jalv_pid" 10 || fail_showing "jalv did not quit" "$work/jalv.log"
    wait_for_exit "$transport_pid" 10 || fail_showing "jack_transport did not quit" \
        "$work/jalv-transport.log"
    forget "$jalv_pid"
    forget "$transport_pid"
    stop_jack
    echo "ok: jalv $(dpkg-query -W -f='${Version}' jalv) slices with the LV2 plug-in on the" \
        "JACK transport at $bpm BPM ($((SECONDS - begin)) s)"
}

# --- Qtractor ------------------------------------------------------------------------------

# The power of two that gives $1 (1 to 64).
exponent() {
    local k=0
    while ((1 << k < $1)); do
        k=$((k + 1))
    done
    echo "$k"
}

check_qtractor() {
    local begin=$SECONDS plugin qtractor_controls qtractor_state=""
    case $qtractor_plugin_type in
    LV2)
        plugin=$uri
        # Qtractor numbers an LV2 plug-in's parameters by port index.
        qtractor_controls="5:Reverse=50,6:Vorblex=100,7:Repetition=$repetition"
        qtractor_controls+=",8:Cuts/Bar=$cuts,9:Envelope=$envelope,10:Variation=1"
        qtractor_controls+=",11:Silence=0,12:Loop Length=$loop_beats"
        ;;
    CLAP)
        plugin=$qtractor_clap
        [[ -f $plugin ]] || fail "no CLAP plug-in at $plugin"
        # Qtractor numbers a CLAP plug-in's parameters in the order the plug-in lists them, and
        # its steps are exponents there: k stands for 2^k. Qtractor 0.9.31 does not send those
        # values to a CLAP insert; it restores the insert from its saved state, so the session
        # also carries the settings as the plug-in's state record, in the effect's order.
        qtractor_controls="0:Reverse=50,1:Vorblex=100,2:Repetition=$repetition"
        qtractor_controls+=",3:Cuts/Bar=$(exponent "$cuts"),4:Envelope=$envelope,5:Variation=0"
        qtractor_controls+=",6:Silence=0,7:Loop Length=$(exponent "$loop_beats")"
        qtractor_state="50,100,$repetition,$cuts,$envelope,1,0,$loop_beats"
        ;;
    *) fail "QTRACTOR_PLUGIN_TYPE is LV2 or CLAP, not $qtractor_plugin_type" ;;
    esac
    start_jack qtractor

    local session=$work/qtractor-session messages=$work/qtractor-messages.log
    # Qtractor's settings, caches and Qt's runtime files: all of them here.
    export XDG_CONFIG_HOME=$work/qtractor-config XDG_CACHE_HOME=$work/qtractor-cache
    export XDG_DATA_HOME=$work/qtractor-data XDG_RUNTIME_DIR=$work/qtractor-runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    "$python" "$tests/jack/qtractor_session.py" "$session" "$XDG_CONFIG_HOME" "$messages" \
        $((6 * bar)) $rate "$bpm" $beats_per_bar "$qtractor_plugin_type" "$plugin" \
        "$qtractor_controls" "$qtractor_state"

    # Qtractor's MIDI engine must open the ALSA sequencer, or no session starts; where the
    # kernel has none, an empty one stands in (tests/jack/empty_sequencer.cpp).
    local preload=()
    if [[ ! -e /dev/snd/seq ]]; then
        c++ -std=c++20 -O2 -Wall -Wextra -shared -fPIC -o "$work/empty_sequencer.so" \
            "$tests/jack/empty_sequencer.cpp"
        preload=(env LD_PRELOAD="$work/empty_sequencer.so")
        echo "qtractor: no ALSA sequencer here (/dev/snd/seq); an empty one stands in"
    fi

    # A display of its own, on no network: Xvfb names a free one when it is ready.
    Xvfb -displayfd 1 -nolisten tcp -screen 0 1024x768x24 >"$work/xvfb-display" \
        2>"$work/xvfb.log" &
    local xvfb_pid=$!
    pids+=("$xvfb_pid")
    local try
    for ((try = 0; try < 100; try++)); do
        [[ -s $work/xvfb-display ]] && break
        sleep 0.1
    done
    [[ -s $work/xvfb-display ]] || fail_showing "Xvfb did not start" "$work/xvfb.log"

    DISPLAY=:$(head -n 1 "$work/xvfb-display") "${preload[@]}" qtractor "$session/check.qtr" \
        >"$work/qtractor.log" 2>&1 &
    local qtractor_pid=$!
    pids+=("$qtractor_pid")
    wait_for_port Qtractor:Master/out_2 30 "$work/qtractor.log" "$messages"

    # Qtractor fades its track in over the first period it plays. It starts playing at the
    # transport's start and then puts the transport back to its own playhead, frame 0, so the
    # transport's frame runs behind Qtractor's (by two periods in the runs seen); the clip and
    # the plug-in both follow Qtractor's, and the render check finds its frame 0 by the signal.
    record_and_check qtractor $period Qtractor:Master/out_1 Qtractor:Master/out_2

    # Qtractor quits on SIGTERM; it would ask first if the session had changed.
    kill -TERM "$qtractor_pid"
    wait_for_exit "$qtractor_pid" 10 ||
        fail_showing "Qtractor did not quit within 10 s of SIGTERM" "$messages"
    forget "$qtractor_pid"
    stop "$xvfb_pid"
    stop_jack
    echo "ok: Qtractor $(dpkg-query -W -f='${Version}' qtractor) slices with the" \
        "$qtractor_plugin_type plug-in at $bpm BPM ($((SECONDS - begin)) s)"
}

for host in $hosts; do
    case $host in
    jalv) check_jalv ;;
    qtractor) check_qtractor ;;
    *) fail "JACK_CHECK_HOSTS names jalv and qtractor, not $host" ;;
    esac
done
echo "JACK check: $((SECONDS - started)) s"
