#!/bin/sh
# Shows the moving map at work: tvl-proxypeer (a test tool standing in for the
# simulator's proxy) flies a circle round the home position, and tervalingo,
# started on a copy of the shipped root (build/root), registers with it over its MSFS
# link and follows the aircraft. With a display the map opens in a window
# until you close it; without one it runs headless for a fixed number of
# frames and writes a screenshot. The peer is always stopped at the end.
set -eu
cd "$(dirname "$0")/.."
TOP="$(pwd)"
SHIPPED="$TOP/build/root"
PEER_PROGRAM="$TOP/build/tools/tvl-proxypeer"

if [ ! -x "$SHIPPED/System/tervalingo" ] || [ ! -x "$PEER_PROGRAM" ]; then
  echo "demo: nothing built yet; run ./scripts/setup.sh first" >&2
  exit 1
fi

# The demo runs on a fresh copy of the shipped root, so neither its own
# settings nor what the program saves at the end ever touch build/root.
ROOT="$TOP/build/demo-root"
rm -rf "$ROOT"
cp -R "$SHIPPED" "$ROOT"
rm -f "$ROOT/demo.png"
INI="$ROOT/System/Plovik.ini"

# One key of one section of the INI file, empty when missing.
ini_value() {
  awk -F= -v section="[$1]" -v key="$2" '
    /^\[/ { inside = ($0 == section); next }
    inside && $1 == key { sub(/\r$/, "", $2); print $2; exit }' "$INI"
}

# Sets keys (key=value ...) of the main section, which holds each of them.
ini_set() {
  awk -v pairs="$*" '
    BEGIN { n = split(pairs, list, " ")
            for (i = 1; i <= n; i++) { split(list[i], kv, "="); want[kv[1]] = kv[2] } }
    /^\[/ { inside = ($0 == "[Zorizeruverovu Plovik]") }
    inside { split($0, kv, "="); if (kv[1] in want) { print kv[1] "=" want[kv[1]]; next } }
    { print }' "$INI" >"$INI.demo" && mv "$INI.demo" "$INI"
}

# The shipped settings already select the MSFS link (UseSimulator 7) on
# 127.0.0.1:54222; the peer listens on whatever port the file names.
PORT="$(ini_value MSFS Port)"
PORT="${PORT:-54222}"
# The status line shows the aircraft's values rather than the map modes, and
# the airports, navaids, fixes, airspaces of every class and low airways of
# the shipped navigation data are shown.
ini_set MenuState=2 ShowAirports=1 NavVOR=1 NavNDB=1 ShowFix=1 NavASP=1 CTR=1 SelectedAirspace=ABCDEFGR NavAirways=2
# The map is the bundled demo grid (DemoMap): its catalogue becomes the one
# kept offline, naming it as a chart map of type 11 whose local store is
# chart layer 2 in LocalMapPath. When the maker's server answers, its own
# catalogue replaces this one.
cp "$ROOT/DemoMap/offline_catalogue.db" "$ROOT/System/offline_catalogue.db"
ini_set LocalMapPath=../DemoMap SatMode=11 ServermapIndex=0 PreferedChartType=-11

WORK="$(mktemp -d "${TMPDIR:-/tmp}/tvl-demo.XXXXXX")"
PEER=""
stop_peer() {
  if [ -n "$PEER" ]; then
    kill "$PEER" 2>/dev/null || true
    wait "$PEER" 2>/dev/null || true
    PEER=""
  fi
  rm -rf "$WORK"
}
trap stop_peer EXIT
trap 'stop_peer; exit 130' INT
trap 'stop_peer; exit 143' TERM HUP

# A 2 nm circle at 120 kt round the shipped home position (53.636666667 N,
# 10.001 E), which is the peer's own default.
"$PEER_PROGRAM" --port "$PORT" --circle 2 --speed 120 --altitude 3000 >"$WORK/peer.out" 2>&1 &
PEER=$!
tries=0
until grep -q "listening on port" "$WORK/peer.out" 2>/dev/null; do
  if ! kill -0 "$PEER" 2>/dev/null || [ "$tries" -ge 100 ]; then
    echo "demo: tvl-proxypeer did not start:" >&2
    cat "$WORK/peer.out" >&2
    exit 1
  fi
  tries=$((tries + 1))
  sleep 0.1
done
echo "demo: tvl-proxypeer flies a circle round the home position (UDP port $PORT)"

cd "$ROOT/System"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: tervalingo runs in its window; close it to end the demo"
  status=0
  ./tervalingo "$@" || status=$?
else
  SHOT="${TVL_SCREENSHOT:-$TOP/build/demo.png}"
  FRAMES="${TVL_EXIT_AFTER_FRAMES:-1500}"
  echo "demo: no display; tervalingo runs headless for $FRAMES frames"
  status=0
  SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy TVL_MESSAGEBOX_ANSWER=IDOK \
    TVL_EXIT_AFTER_FRAMES="$FRAMES" TVL_SCREENSHOT="$SHOT" \
    TVL_SCREENSHOT_FRAME="${TVL_SCREENSHOT_FRAME:-$((FRAMES - 10))}" \
    ./tervalingo "$@" || status=$?
  if [ -f "$SHOT" ]; then
    echo "demo: screenshot written to $SHOT"
  else
    echo "demo: no screenshot was written" >&2
  fi
fi
exit "$status"
