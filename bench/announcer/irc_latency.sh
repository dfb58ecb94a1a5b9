#!/bin/sh
# Runs irc-latency (build/win32/bin) against a real ngircd and ii on loopback,
# under Xvfb with the project's Wine prefix, and stops everything it started.
# usage: bench/announcer/irc_latency.sh [TRACKS] [GAP_MS]
set -eu
usage() { echo "usage: bench/announcer/irc_latency.sh [TRACKS] [GAP_MS]   (TRACKS 1 to 100000, default 200; GAP_MS 0 to 60000, default 300)"; }
case ${1:-} in
  -h|--help)
    usage
    echo "Times the notification until the line is in ii's channel file, through the mIRC stand-in and a real"
    echo "ngircd on loopback, beside the round trip to the stand-in; builds what it needs first."
    exit 0 ;;
esac
bad() { echo "irc_latency.sh: $*" >&2; exit 2; }
[ $# -le 2 ] || bad "two arguments at most, TRACKS and GAP_MS; $3 is one too many"
# Whole numbers in range, as irc-latency takes them.
in_range() { case $1 in '' | *[!0-9]*) return 1 ;; esac; [ ${#1} -le 9 ] && [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; }
[ $# -lt 1 ] || in_range "$1" 1 100000 || bad "bad value for TRACKS: $1 (1 to 100000)"
[ $# -lt 2 ] || in_range "$2" 0 60000 || bad "bad value for GAP_MS: $2 (0 to 60000)"
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
server=$("$root/tools/irc-peers" start "$dir" "#bench")
xvfb-run -a sh -c '
  wineserver -p
  trap "wineserver -k" EXIT
  "$1/tools/wine-run" cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
  "$1/tools/wine-run" "$2/irc-latency.exe" "$3" "$(printf "Z:%s" "$4" | tr / "\\\\")" "$5" "$6" </dev/null
' sh "$root" "${b}win32/bin" "$server" "$dir/ii/${server%:*}/#bench/out" "${1:-200}" "${2:-300}"
