#!/bin/sh
# Runs irc-latency (build/win32/bin) against a real ngircd and ii on loopback,
# under Xvfb with the project's Wine prefix, and stops everything it started.
# usage: bench/announcer/irc_latency.sh [TRACKS] [GAP_MS]
set -eu
usage() { echo "usage: bench/announcer/irc_latency.sh [TRACKS] [GAP_MS]   (default 200 tracks, 300 ms apart)"; }
case ${1:-} in
  -h|--help)
    usage
    echo "Times the notification until the line is in ii's channel file, through the mIRC stand-in and a real"
    echo "ngircd on loopback, beside the round trip to the stand-in; builds what it needs first."
    exit 0 ;;
esac
case $# in 0 | 1 | 2) ;; *) usage >&2; exit 2 ;; esac
for n in "$@"; do
  case $n in '' | *[!0-9]*) usage >&2; exit 2 ;; esac
done
root=$(CDPATH= cd -- "$(dirname -- "$0")/../.." && pwd)
b="$root/build/${CHIRPLINE_BUILD_PREFIX:-}"
dir="${b}bench-irc"
"$root/tools/setup"
"$root/tools/build" win32 --target irc-latency
export WINEPREFIX="${b}wineprefix"
# A new prefix is made with no display; wait until that server is gone so the
# one below knows the virtual display.
"$root/tools/wine-run" cmd /c exit 0 >/dev/null 2>&1 || true
wineserver -w
trap '"$root/tools/irc-peers" stop "$dir"' EXIT
trap 'exit 1' INT TERM
port=$("$root/tools/irc-peers" start "$dir" "#bench")
xvfb-run -a sh -c '
  wineserver -p
  trap "wineserver -k" EXIT
  "$1/tools/wine-run" cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
  "$1/tools/wine-run" "$2/irc-latency.exe" "$3" "$(printf "Z:%s" "$4" | tr / "\\\\")" "$5" "$6" </dev/null
' sh "$root" "${b}win32/bin" "$port" "$dir/ii/127.0.0.1/#bench/out" "${1:-200}" "${2:-300}"
