#!/bin/sh
# Runs irc-latency (build/win32/bin) against a real ngircd and ii on loopback,
# under Xvfb with the project's Wine prefix, and stops everything it started.
# usage: bench/announcer/irc_latency.sh [TRACKS] [GAP_MS]   (after tools/build win32)
set -eu
root=$(CDPATH= cd -- "$(dirname -- "$0")/../.." && pwd)
b="$root/build/${CHIRPLINE_BUILD_PREFIX:-}"
dir="${b}bench-irc"
trap '"$root/tools/irc-peers" stop "$dir"' EXIT
trap 'exit 1' INT TERM
port=$("$root/tools/irc-peers" start "$dir" "#bench")
export WINEPREFIX="${b}wineprefix"
xvfb-run -a sh -c '
  wineserver -p
  trap "wineserver -k" EXIT
  "$1/tools/wine-run" cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
  "$1/tools/wine-run" "$2/irc-latency.exe" "$3" "$(printf "Z:%s" "$4" | tr / "\\\\")" "$5" "$6" </dev/null
' sh "$root" "${b}win32/bin" "$port" "$dir/ii/127.0.0.1/#bench/out" "${1:-200}" "${2:-300}"
