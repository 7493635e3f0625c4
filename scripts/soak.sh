#!/usr/bin/env bash
# Soak test, run on demand (not in CI): the real window, offscreen, records from the meter
# simulator at the serial line's full rate (sample rate 0, no limit on points) for a given time.
#   1. a clean run with garbage injected between frames: every frame the simulator sent must be
#      stored, in order and intact (count on both sides), and resident memory must grow with the
#      readings stored only; the bytes per reading are printed;
#   2. a shorter run in which the meter is unplugged half-way: the readings stored before the
#      unplug stay as they were and the window stays usable.
# Usage: scripts/soak.sh [minutes, default 10] [build folder, default build-hard]
# Exit status 0 when both runs passed. Logs go to <build folder>/soak/.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-10}
build=${2:-build-hard}
seconds=$(awk -v m="$minutes" 'BEGIN { printf "%d", m * 60 }')
[ "$seconds" -ge 10 ] || { echo "soak: at least 10 seconds, please"; exit 2; }

[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --parallel 2 --target metersim vibview-soak >/dev/null
sim=$build/tools/metersim/metersim
soak=$build/tools/soak/vibview-soak
logs=$build/soak
mkdir -p "$logs"
export QT_QPA_PLATFORM=offscreen LC_ALL=C

# The simulator's finest period is 10 ms: 100 frames a second, just above the line's 96.
period=10
status=0

run() { # name, simulator options..., -- soak options...
    local name=$1
    shift
    local simargs=() soakargs=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do simargs+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    soakargs=("$@")

    local simlog=$logs/$name-sim.log
    "$sim" --period "$period" --sequence ramp --from 1 --step 1 --decimals 0 "${simargs[@]}" \
        >"$simlog" 2>&1 &
    local simpid=$!
    local port=""
    for _ in $(seq 100); do
        port=$(sed -n 's/^port: //p' "$simlog")
        [ -n "$port" ] && break
        sleep 0.1
    done
    [ -n "$port" ] || { echo "$name: the simulator did not start"; status=1; return; }
    echo "== $name: port $port, simulator ${simargs[*]}"
    local rc=0
    "$soak" --port "$port" "${soakargs[@]}" 2>"$logs/$name-soak.err" | tee "$logs/$name-soak.log" \
        || rc=$?
    kill "$simpid" 2>/dev/null || true
    wait "$simpid" 2>/dev/null || true

    local sent stored
    sent=$(grep -c '^live: ' "$simlog" || true)
    stored=$(sed -n 's/^stored: //p' "$logs/$name-soak.log")
    echo "frames sent: $sent, readings stored: ${stored:-none}"
    if [ "$rc" -ne 0 ]; then
        echo "$name: FAILED (see $logs/$name-soak.log)"
        status=1
    elif [ "$name" = line-rate ] && [ "$sent" != "$stored" ]; then
        echo "$name: FAILED, $((sent - stored)) frames sent were not stored"
        status=1
    elif [ "$name" = unplug ] && [ "${stored:-0}" -gt "$sent" ]; then
        echo "$name: FAILED, more readings stored than frames sent"
        status=1
    else
        echo "$name: passed"
    fi
}

frames=$((seconds * 1000 / period))
run line-rate --live-count "$frames" --garbage 0.2 --seed 7 -- --seconds "$seconds" --report 10
unplug_s=$((seconds / 5 < 60 ? 60 : seconds / 5))
run unplug --garbage 0.2 --seed 9 --unplug-after $((unplug_s * 1000 / 2)) -- --seconds "$unplug_s" \
    --report 5 --unplug
exit $status
