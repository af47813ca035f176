#!/usr/bin/env bash
# The watcher's speed and footprint, printed (no pass or fail):
#   1. the size of forumwatch.exe (the 32-bit product, and the build the figures come from);
#   2. poll cycles back to back against the local forum (which gains a post on every request):
#      wall and CPU time per cycle, the scan alone on the saved page, and handles, GDI and USER
#      objects and heap blocks at cycle 10 and at the last cycle;
#   3. the running watcher's CPU use over a minute of idle polling.
# Usage: bench/watcher/run.sh [CYCLES] [IDLE_SECONDS]   (defaults 1000 and 60)
# Runs the Windows-x86 build where 32-bit Wine works, else the windows-x64 one, under a Wine
# prefix of its own. The idle run drives the end-to-end copy of the watcher, whose forum is on
# port 8612: do not run it beside the end-to-end tests.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
cycles=${1:-1000}
idle_seconds=${2:-60}
jobs=2

preset=windows-x86
tools/can-run-win32 || preset=windows-x64
build=$root/build/$preset
cmake --preset "$preset" >/dev/null
cmake --build "$build" -j"$jobs" --target forumwatch forumwatch_e2e bench_poll e2e_inspect >/dev/null
if [ "$preset" != windows-x86 ]; then
    cmake --preset windows-x86 >/dev/null
    cmake --build "$root/build/windows-x86" -j"$jobs" --target forumwatch >/dev/null
fi

echo "== size"
for exe in "$root/build/windows-x86/forumwatch.exe" "$build/forumwatch.exe"; do
    [ -f "$exe" ] && echo "$(stat -c %s "$exe") bytes  ${exe#$root/}"
done | sort -u -k2

export WINEPREFIX=$root/build/wineprefix-bench
tools/wine-prefix >/dev/null
source tools/test-session
loader=/usr/lib/wine/wine64
[ "$preset" = windows-x86 ] && loader=/usr/lib/wine/wine

server_pid=
watcher_pid=
stop_all() {
    [ -n "$watcher_pid" ] && kill "$watcher_pid" 2>/dev/null || true
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    _tk_end_session
}
trap stop_all EXIT

# start_server PORT [STATE]: the forum in the background; prints its port.
start_server() {
    local out
    out=$(mktemp)
    python3 tools/forum_server.py --port "$1" ${2:+--state "$2"} >"$out" &
    server_pid=$!
    for _ in $(seq 100); do
        grep -q '^listening' "$out" && break
        sleep 0.1
    done
    sed -n 's#^listening on http://127.0.0.1:\([0-9]*\)/$#\1#p' "$out"
    rm -f "$out"
}
stop_server() { kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; server_pid=; }

echo "== $cycles poll cycles back to back ($preset)"
port=$(start_server 0 '{"auto_post": true}')
"$loader" "$build/bench/watcher/bench_poll.exe" "http://127.0.0.1:$port/" "$cycles" </dev/null 2>/dev/null
stop_server

# CPU ticks (user + system) of one process, from /proc.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
wineserver_pid() { pgrep -n -x wineserver || pgrep -n -f '^/usr/lib/wine/wineserver' || true; }

echo "== idle polling for $idle_seconds s"
start_server 8612 >/dev/null
"$loader" "$build/tests/e2e/forumwatch_e2e.exe" </dev/null >/dev/null 2>&1 &
watcher_pid=$!
deadline=$(( $(date +%s) + 60 ))
until "$loader" "$build/tests/e2e/e2e_inspect.exe" state 2>/dev/null </dev/null | grep -q ':..:..'; do
    [ "$(date +%s)" -ge "$deadline" ] && { echo "the watcher did not poll within a minute"; exit 1; }
    sleep 0.5
done
server=$(wineserver_pid)
hz=$(getconf CLK_TCK)
w0=$(ticks "$watcher_pid"); s0=$([ -n "$server" ] && ticks "$server" || echo 0); t0=$(date +%s.%N)
requests0=$(curl -s http://127.0.0.1:8612/control | python3 -c 'import json,sys; print(json.load(sys.stdin)["index_requests"])')
sleep "$idle_seconds"
w1=$(ticks "$watcher_pid"); s1=$([ -n "$server" ] && ticks "$server" || echo 0); t1=$(date +%s.%N)
requests1=$(curl -s http://127.0.0.1:8612/control | python3 -c 'import json,sys; print(json.load(sys.stdin)["index_requests"])')
awk -v w="$((w1 - w0))" -v s="$((s1 - s0))" -v hz="$hz" -v t0="$t0" -v t1="$t1" -v n="$((requests1 - requests0))" 'BEGIN {
    secs = t1 - t0
    printf "watcher process: %.2f s CPU in %.1f s = %.2f%% of one core (%d polls)\n", w / hz, secs, 100 * w / hz / secs, n
    printf "wineserver (shared by every Wine process of the prefix): %.2f s CPU = %.2f%% of one core\n", s / hz, 100 * s / hz / secs
}'
"$loader" "$build/tests/e2e/e2e_inspect.exe" close </dev/null >/dev/null 2>&1 || true
wait "$watcher_pid" 2>/dev/null || true
watcher_pid=
