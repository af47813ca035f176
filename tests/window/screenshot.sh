#!/usr/bin/env bash
# Takes a picture of the watcher-shaped window under Wine on a private X display:
# build/screenshots/window.png. Usage: tests/window/screenshot.sh [build-dir]
# (default build/windows-x64; the program is tests/window/window_shot.exe in it).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
build=${1:-build/windows-x64}
program=$build/tests/window/window_shot.exe
out=build/screenshots/window.png
done_file=build/screenshots/.shot-done
mkdir -p build/screenshots
rm -f "$done_file"
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}

exec 3< <(exec Xvfb -displayfd 1 -screen 0 640x480x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r dnum <&3
export DISPLAY=:$dnum
cleanup() {
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT

coproc shot { tools/wine-run "$program" "$done_file"; }
# The program says "ready" once it has painted; give it 60 s, Wine's first start included.
# Wine ends console lines with CR LF.
if ! read -r -t 60 line <&"${shot[0]}" || [ "${line%$'\r'}" != "ready" ]; then
    echo "screenshot: the program did not get ready" >&2
    exit 1
fi
import -window root "$out"
touch "$done_file"
wait "$shot_PID" || true
rm -f "$done_file"
echo "$out"
