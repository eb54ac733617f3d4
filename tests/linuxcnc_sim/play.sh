#!/usr/bin/env bash
# Plays a G-code file on LinuxCNC's own motion planner, headless: a simulated XYZ machine in mm with
# every axis at ACCEL mm/s², a 1 ms servo period, a task that wakes every CYCLE seconds (default
# 0.0002), and a trace of the joint positions and the line being executed at every period. Writes
# the trace (halsampler -t lines) to TRACE.
# Usage: play.sh ACCEL GCODE TRACE [CYCLE]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
accel=$1 gcode=$(realpath "$2") trace=$(realpath -m "$3") cycle=${4:-0.0002}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# LinuxCNC's shutdown ends its components by name: a second machine must wait for the first.
wait_until_gone() {
    for _ in $(seq 100); do
        pgrep -x rtapi_app >/dev/null || pgrep -x milltask >/dev/null || return 0
        sleep 0.1
    done
    echo "play.sh: another LinuxCNC is still running" >&2
    return 1
}
# One simulation at a time on this machine: the next waits for the lock, then for the processes.
exec 9>/tmp/chimex-linuxcnc-sim.lock
flock 9
wait_until_gone

sed -e "s|@ACCEL@|$accel|" -e "s|@CYCLE@|$cycle|" -e "s|@DISPLAY@|$here/display.py|" "$here/machine.ini.in" >"$work/machine.ini"
cp "$here/machine.hal" "$work/"
: >"$work/tool.tbl"
mkdir -m 777 "$work/run"
chmod 755 "$work"
if [ "$(id -u)" = 0 ]; then
    # rtapi_app refuses to run as root unless told which ordinary user to become.
    export RTAPI_UID=65534 RTAPI_FIFO_PATH=$work/run/rtapi_fifo
fi
# Dwells are timed by LinuxCNC's task, an ordinary process: under load it wakes late, and each late
# wake-up moves every later note. As root, run the whole controller at a real-time priority.
realtime=
if [ "$(id -u)" = 0 ] && chrt -f 1 true 2>/dev/null; then
    realtime="chrt -f 1"
fi
status=0
(cd "$work" && HOME=$work CHIMEX_SIM_PROGRAM=$gcode CHIMEX_SIM_TRACE=$trace \
    timeout 120 env -u DISPLAY $realtime linuxcnc machine.ini </dev/null >"$work/log" 2>&1 9>&-) || status=$?
wait_until_gone
if [ "$status" != 0 ] || [ ! -s "$trace" ]; then
    echo "play.sh: LinuxCNC did not play $gcode (status $status):" >&2
    tail -n 30 "$work/log" >&2
    exit 1
fi
