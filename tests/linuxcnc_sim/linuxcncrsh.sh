#!/usr/bin/env bash
# Runs the LinuxCNC player and jog tests (TEST_BINARY) against LinuxCNC's simulation with
# linuxcncrsh as its display, on a free TCP port. As root the simulation runs in namespaces of its
# own (a private /tmp, IPC and process tree), since the linuxcnc script stops other instances by
# name and uses fixed shared-memory keys; otherwise one simulation runs at a time.
# With CHIMEX_CLI, then plays a timed tune with `chimex-cli play` and prints its onsets against
# the score, as LinuxCNC's motion ran them (a halsampler trace), and whether the motion queue ran
# dry; fails only beyond 20 ms, to catch gross faults (timing.sh checks the timing itself).
# Exits 77 (skipped) without LinuxCNC.
# Usage: linuxcncrsh.sh TEST_BINARY [CHIMEX_CLI]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
test_binary=$1 cli=${2:-}
if ! command -v linuxcnc >/dev/null || ! command -v linuxcncrsh >/dev/null; then
    echo "linuxcncrsh.sh: LinuxCNC (linuxcnc-uspace) is not installed: skipped"
    exit 77
fi
# Outside /tmp, which the simulation's namespace replaces: LinuxCNC opens the programs from here.
work=$(mktemp -d /var/tmp/chimex-linuxcncrsh.XXXXXX)
chmod 755 "$work"
sim=
cleanup() {
    if [ -n "$sim" ]; then
        # linuxcncrsh's shutdown ends LinuxCNC as its own screen would.
        { exec 3<>"/dev/tcp/127.0.0.1/$port" &&
            printf 'hello EMC chimex 1.0\r\nset enable EMCTOO\r\nshutdown\r\n' >&3; } 2>/dev/null || true
        for _ in $(seq 100); do kill -0 "$sim" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$sim" 2>/dev/null || true
        wait "$sim" 2>/dev/null || true
    fi
    [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
sed -e "s|@ACCEL@|500|" -e "s|@CYCLE@|0.001|" -e "s|@DISPLAY@|linuxcncrsh --port $port|" \
    "$here/machine.ini.in" >"$work/machine.ini"
cp "$here/machine.hal" "$work/"
: >"$work/tool.tbl"
mkdir -m 777 "$work/run" "$work/programs"

cat >"$work/run.sh" <<SCRIPT
#!/usr/bin/env bash
# Inside the namespaces: a /tmp of its own for LinuxCNC's lock file and sockets.
set -e
if [ "\$(id -u)" = 0 ]; then
    mount --make-rprivate /
    mount -t tmpfs tmpfs /tmp
    export RTAPI_UID=65534 RTAPI_FIFO_PATH=$work/run/rtapi_fifo
fi
# LinuxCNC's task is an ordinary process: on a busy computer it wakes late, and a jog with it.
realtime=
if [ "\$(id -u)" = 0 ] && chrt -f 1 true 2>/dev/null; then
    realtime="chrt -f 1"
fi
# The trace for the tune played by chimex-cli, from inside these namespaces once asked.
(while [ ! -e "$work/sample" ]; do [ -d "$work" ] || exit 0; sleep 0.1; done
    exec stdbuf -oL halsampler -t >"$work/trace") &
cd "$work"
exec \$realtime env -u DISPLAY HOME="$work" linuxcnc machine.ini </dev/null >"$work/log" 2>&1
SCRIPT
chmod +x "$work/run.sh"
# A simulation run by play.sh, outside any namespace, stops LinuxCNC's processes by name, even
# those in namespaces: wait for it to end.
exec 9>/tmp/chimex-linuxcnc-sim.lock
flock 9
if [ "$(id -u)" = 0 ]; then
    unshare -m -i -p -f --mount-proc --kill-child "$work/run.sh" &
else
    "$work/run.sh" &
fi
sim=$!

for _ in $(seq 300); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    kill -0 "$sim" 2>/dev/null || { echo "LinuxCNC did not start:"; tail -n 30 "$work/log"; exit 1; }
    sleep 0.1
done
CHIMEX_LINUXCNCRSH_PORT=$port CHIMEX_SIM_FOLDER=$work/programs CHIMEX_SIM_INI=$work/machine.ini \
    "$test_binary"
[ -n "$cli" ] || exit 0

# chimex-cli play: a tune of 40 notes, the first half legato, rendered for the machine's INI.
printf 'MaxX = 400\r\nMaxY = 300\r\nMaxZ = 100\r\nMAxXYSpeed = 25\r\nMAxZSpeed = 15\r\n' >"$work/Chimex.ini"
awk 'BEGIN { srand(22); print "# key hold gap"
             for (i = 0; i < 40; i++)
                 printf "%d %.3f %.3f\n", int(rand() * 37), 0.12 + rand() * 0.4,
                     (i >= 20 && rand() < 0.5) ? 0.05 + rand() * 0.3 : 0 }' >"$work/notes.txt"
tune=$work/programs/tune.ngc
"$cli" render "$work/notes.txt" -o "$tune" --machine "$work/machine.ini" --steps-per-unit 80 \
    --pause --settings "$work/Chimex.ini"
# Switched on and homed, as the tests above leave it.
{ exec 3<>"/dev/tcp/127.0.0.1/$port" &&
    printf 'hello EMC chimex 1.0\r\nset enable EMCTOO\r\nset estop off\r\nset machine on\r\nset mode manual\r\nset home -1\r\n' >&3 &&
    sleep 1 && exec 3>&-; }
touch "$work/sample"
# halsampler first empties the sampler's queue of what came before: the trace starts after it.
sleep 1.5
start=$(stat -c %s "$work/trace")
"$cli" play "$tune" --machine "linuxcnc:localhost:$port" --machine "$work/machine.ini" \
    --settings "$work/Chimex.ini" --yes
sleep 0.3
tail -c +"$((start + 1))" "$work/trace" >"$work/tune.trace"
"$here/measure.py" "$work/notes.txt" "$tune" "$work/tune.trace" 500 20 >"$work/tune.onsets" ||
    { cat "$work/tune.onsets"; exit 1; }
echo "chimex-cli play on LinuxCNC:"
tail -n 2 "$work/tune.onsets"
