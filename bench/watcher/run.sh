#!/usr/bin/env bash
# The watcher's speed and footprint, printed (no pass or fail):
#   1. the size of forumwatch.exe (the 32-bit product, and the build the figures come from);
#   2. poll cycles back to back against the local forum: quiet ones (nothing changes) for the
#      cost of a cycle, then alerting ones (a new post before every request) for what they cost
#      and leave behind: wall and CPU time per cycle, the download alone, the scan alone on the
#      saved page, and handles, GDI and USER objects and heap blocks at cycle 10 and the last;
#   3. the running watcher's CPU use over a minute of idle polling.
# Usage: bench/watcher/run.sh [CYCLES] [IDLE_SECONDS]   (defaults 1000 and 60)
# Runs the 32-bit build where 32-bit Wine works, else the 64-bit one (build/bench-x86 or
# build/bench-x64, Release), under a Wine prefix of its own. The idle run drives a copy of the
# watcher aimed at a port of its own (BENCH_PORT in facts.json).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
cycles=${1:-1000}
idle_seconds=${2:-60}
quiet_cycles=200
jobs=2

# Build trees of its own, since the benchmarks are built only on request.
configure() {  # configure ARCH: build/bench-ARCH, Release, benchmarks on
    cmake -S . -B "build/bench-$1" -DCMAKE_TOOLCHAIN_FILE="$(tools/build-arch toolchain "$1")" \
        -DCMAKE_BUILD_TYPE=Release \
        -DFORUMWATCH_BENCH=ON --no-warn-unused-cli >/dev/null
}
arch=$(tools/build-arch)
preset=windows-$arch
build=$root/build/bench-$arch
configure $arch
cmake --build "$build" -j"$jobs" --target forumwatch forumwatch_bench bench_poll inspect facts >/dev/null
port=$(python3 tools/facts.py BENCH_PORT "$build/facts.json")
if [ "$arch" != x86 ]; then
    configure x86
    cmake --build "$root/build/bench-x86" -j"$jobs" --target forumwatch >/dev/null
fi
# Another version's programs, to compare in the same session: BENCH_PROGRAMS names a folder
# holding its bench_poll.exe and forumwatch_bench.exe (built for the same port).
programs=${BENCH_PROGRAMS:-$build/bench/watcher}

echo "== size"
for exe in "$root/build/bench-x86/forumwatch.exe" "$build/forumwatch.exe"; do
    [ -f "$exe" ] && echo "$(stat -c %s "$exe") bytes  ${exe#$root/}"
done | sort -u -k2

export WINEPREFIX=$root/build/wineprefix-bench
# A server left from an interrupted run would keep the session from starting its own.
/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
source tools/test-session

server_pid=
watcher_pid=
# Waits only for our own children by id: a bare `wait` would also wait for the session's X
# server, which runs until wine_session_end stops it.
stop_all() {
    set +e  # a clean-up step that fails must not skip the ones after it
    [ -n "$watcher_pid" ] && { kill "$watcher_pid"; wait "$watcher_pid"; } 2>/dev/null
    [ -n "$server_pid" ] && { kill "$server_pid"; wait "$server_pid"; } 2>/dev/null
    wine_session_end
}
trap stop_all EXIT

# start_server PORT [STATE]: the forum in the background; sets server_port (and server_pid,
# which is why it is not called in a subshell).
start_server() {
    local out
    out=$(mktemp)
    python3 tools/forum_server.py --port "$1" ${2:+--state "$2"} >"$out" &
    server_pid=$!
    for _ in $(seq 100); do
        grep -q '^listening' "$out" && break
        sleep 0.1
    done
    server_port=$(sed -n 's#^listening on http://127.0.0.1:\([0-9]*\)/$#\1#p' "$out")
    rm -f "$out"
    [ -n "$server_port" ] || { echo "the forum server did not start on port $1"; exit 1; }
}
stop_server() { kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; server_pid=; }

echo "== $quiet_cycles quiet poll cycles back to back ($preset): the forum does not change"
start_server 0
tools/wine-run "$programs/bench_poll.exe" "http://127.0.0.1:$server_port/" "$quiet_cycles" \
    </dev/null 2>/dev/null | grep -E '^(full|download|beyond|scan|stamp)'
stop_server

echo "== $cycles alerting poll cycles back to back ($preset): a new post before every poll"
start_server 0 '{"auto_post": true}'
tools/wine-run "$programs/bench_poll.exe" "http://127.0.0.1:$server_port/" "$cycles" \
    </dev/null 2>/dev/null
stop_server

# CPU ticks (user + system) of one process, from /proc.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Those of Wine's sound threads in it, which mix for as long as a sound device is open.
sound_ticks() { cat /proc/"$1"/task/*/stat 2>/dev/null | awk '/\((winealsa_timer|wine_dsound_mix)\)/ {n += $14 + $15} END {print n + 0}'; }
# Our prefix's server: other Wine sessions may run on this machine at the same time.
wineserver_pid() {
    local p
    for p in $(pgrep -f 'wineserver' || true); do
        tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && { echo "$p"; return; }
    done
}

index_requests() {
    python3 -c 'import json, sys, urllib.request
print(json.load(urllib.request.urlopen("http://127.0.0.1:%s/control" % sys.argv[1], timeout=10))["index_requests"])' "$port"
}

echo "== idle polling for $idle_seconds s"
start_server "$port"
tools/wine-run "$programs/forumwatch_bench.exe" </dev/null >/dev/null 2>&1 &
watcher_pid=$!
deadline=$(( $(date +%s) + 60 ))
until tools/wine-run "$build/inspect.exe" state 2>/dev/null </dev/null |
        grep -q ':..:..'; do
    [ "$(date +%s)" -ge "$deadline" ] && { echo "the watcher did not poll within a minute"; exit 1; }
    sleep 0.5
done
server=$(wineserver_pid)
hz=$(getconf CLK_TCK)
m0=$(sound_ticks "$watcher_pid"); w0=$(ticks "$watcher_pid"); s0=$([ -n "$server" ] && ticks "$server" || echo 0); t0=$(date +%s.%N)
requests0=$(index_requests)
sleep "$idle_seconds"
m1=$(sound_ticks "$watcher_pid"); w1=$(ticks "$watcher_pid"); s1=$([ -n "$server" ] && ticks "$server" || echo 0); t1=$(date +%s.%N)
requests1=$(index_requests)
LC_ALL=C awk -v w="$((w1 - w0))" -v m="$((m1 - m0))" -v s="$((s1 - s0))" -v hz="$hz" -v t0="$t0" -v t1="$t1" -v n="$((requests1 - requests0))" 'BEGIN {
    secs = t1 - t0
    printf "watcher process: %.2f s CPU in %.1f s = %.2f%% of one core (%d polls)\n", w / hz, secs, 100 * w / hz / secs, n
    printf "  of which Wine'"'"'s sound mixing threads (which run while a sound device is open): %.2f s = %.2f%%\n", m / hz, 100 * m / hz / secs
    printf "wineserver (shared by every Wine process of the prefix): %.2f s CPU = %.2f%% of one core\n", s / hz, 100 * s / hz / secs
}'
WM_CLOSE=16
tools/wine-run "$build/inspect.exe" post $WM_CLOSE 0 0 </dev/null >/dev/null 2>&1 || true
wait "$watcher_pid" 2>/dev/null || true
watcher_pid=
