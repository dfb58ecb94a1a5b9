#!/bin/sh
# Through a real IRC server: the stand-in player announces tracks through the
# real component into the mIRC stand-in, which speaks IRC to ngircd; ii, joined
# to the same channel, writes what the channel saw. Every process started here
# is stopped here, by its process id, whatever happens.
#
# usage: irc_channel_test.sh CASE BIN_DIR WORK_DIR
#   CASE: playlist | hostile | raw-injection | overlong | server-restart | flood
#         | on-demand | x64-on-demand
set -eu
case_name=$1 bin=$2 work=$3
root=$(CDPATH= cd -- "$(dirname -- "$0")/../../.." && pwd)
channel="#chirp"
nick=chirp
# A fourth argument names the mIRC stand-in's folder when it is not the
# player's (x64-playlist: the 32-bit stand-in beside the 64-bit player).
mirc_bin=${4:-$bin}

rm -rf "$work"
mkdir -p "$work"
mirc_pid="" other_pid="" player_pid=""
cleanup() {
  if [ -n "$player_pid" ]; then kill "$player_pid" 2>/dev/null || true; wait "$player_pid" 2>/dev/null || true; fi
  if [ -n "$mirc_pid" ]; then kill "$mirc_pid" 2>/dev/null || true; wait "$mirc_pid" 2>/dev/null || true; fi
  if [ -n "$other_pid" ]; then kill "$other_pid" 2>/dev/null || true; wait "$other_pid" 2>/dev/null || true; fi
  "$root/tools/irc-peers" stop "$work/irc" || true
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "FAIL: $*"
  for f in log out; do [ -f "$work/mirc.$f" ] && { echo "--- mirc.$f"; cat -v "$work/mirc.$f"; }; done
  [ -f "$(channel_file)" ] && { echo "--- channel"; cat -v "$(channel_file)"; }
  exit 1
}
win() { printf 'Z:%s' "$1" | tr / '\\'; }
channel_file() { printf '%s' "$work/irc/ii/$(cat "$work/irc/address")/$channel/out"; }
# What the stand-in said in the channel, one message per line, as ii wrote it.
said() { sed -n "s/^[0-9]* <$nick> //p" "$(channel_file)"; }
count() { c=$(grep -c "$1" "$2" 2>/dev/null) || true; echo "${c:-0}"; }

# Waits up to $2 seconds for the test "$1".
wait_for() {
  n=0
  until eval "$1"; do
    n=$((n + 1)); [ $n -le $(($2 * 10)) ] || return 1
    sleep 0.1
  done
}

start_mirc() {
  server="$(cat "$work/irc/address"):$(cat "$work/irc/port")"
  "$root/tools/wine-run" "$mirc_bin/mirc-standin.exe" --out "$(win "$work/mirc.out")" --log "$(win "$work/mirc.log")" \
    --ready-file "$(win "$work/mirc.ready")" --irc "$server" --nick "$nick" --channel "$channel" \
    --retry-ms 200 --retry-max-ms 800 "$@" </dev/null >/dev/null 2>"$work/mirc.err" &
  mirc_pid=$!
  wait_for '[ -f "$work/mirc.ready" ]' 60 || fail "the mIRC stand-in did not start: $(cat "$work/mirc.err")"
  wait_for '[ "$(count "joined $channel" "$work/mirc.log")" -ge 1 ]' 30 || fail "the stand-in did not join"
}

play() {
  timeout 120 "$root/tools/wine-run" "$bin/corvane-host.exe" play "$(win "$1")" </dev/null >"$work/host.out" 2>&1 ||
    fail "the player failed: $(cat "$work/host.out")"
}

# Waits until the channel holds $1 messages from the stand-in, then a moment
# more in which no further message may come.
expect_said_count() {
  want=$1
  wait_for '[ "$(said | wc -l)" -ge "$want" ]' 30 || fail "the channel got $(said | wc -l) messages, not $want"
  sleep 0.5
  [ "$(said | wc -l)" -eq "$want" ] || fail "the channel got $(said | wc -l) messages, not $want"
}

# The commands the player announces for playlist $1, as the channel shows them.
expected_actions() {
  LC_ALL=C awk -f "$root/tests/system/irc/expected_commands.awk" "$1" | LC_ALL=C sed 's/^\/me \(.*\)$/\x01ACTION \1\x01/'
}

expect_channel_matches() {
  expected_actions "$1" >"$work/expected"
  said >"$work/said"
  cmp -s "$work/expected" "$work/said" || {
    echo "expected, then said:"; diff "$work/expected" "$work/said" | cat -v
    fail "the channel did not see exactly the announced tracks"
  }
}

# Titles that try every trick: command separators, injected commands, line
# breaks, control bytes, identifiers and variables, mIRC's formatting codes.
hostile_playlist() {
  {
    printf 'title: Song | /quit\nalbum: A|B\n\n'
    printf 'title: a|/msg #chirp injected\n\n'
    printf 'title: one\rtwo\nalbum: x\001y\037z\177w\n\n'
    printf 'title: Line one\n  /quit line two\n\n'
    printf 'title:  | /quit\nalbum:  | /quit\n\n'
    printf 'title: \360\237\216\265|\360\237\216\265\tx\nalbum: \344\275\240\345\245\275 $me %%x //echo\n\n'
    # All nine formatting codes pass; 0x01 would end the CTCP ACTION early.
    printf 'title: \002Bold\002 \003%s\003 \037u\037\nalbum: \026r\017 \035i\035 \036s\036 \021m\021 \004FF0000h\004\n\n' '04,01red'
    printf 'title: x\001ACTION y\001 z\nalbum: a\001b\n\n'
    printf 'title: still here\n'
  } >"$1"
}

# The player with announcing off, one track per line on its standard input
# (play --step), its console in $work/$1.out and .err.
start_stepped_player() {
  printf '\147\353\231\321\230\357\306\117\227\014\056\154\070\062\224\005\001\000\000\000\000' >"$work/off.cfg"
  rm -f "$work/$1.steps" && mkfifo "$work/$1.steps"
  "$root/tools/wine-run" "$bin/corvane-host.exe" --settings "$(win "$work/off.cfg")" play --step "$(win "$2")" \
    <"$work/$1.steps" >"$work/$1.out" 2>"$work/$1.err" &
  player_pid=$! && exec 3>"$work/$1.steps"
}
played() { wait_for "grep -q 'track $2 played' '$work/$1.err'" 60 || fail "no track $2: $(cat "$work/$1.err")"; }
finish_player() { exec 3>&- && wait "$player_pid" && player_pid="" || fail "the player failed: $(cat "$work/$1.err")"; }
# type_in TEXT LOG-LINE: TEXT typed into mIRC (mirc-send), which must log LOG-LINE
type_in() {
  "$root/tools/wine-run" "$mirc_bin/mirc-send.exe" "$1" </dev/null || fail "mirc-send failed"
  wait_for "grep -qF '$2' '$work/mirc.log'" 30 || fail "no '$2' after $1"
}

# The hostile playlist announced, then the same tracks with announcing off,
# each said on demand after it started, in the line the /np script runs: the
# channel's lines are the same bytes. Then the player quits (an empty value,
# and the reason the script shows) and starts again: its titles, one of them
# shaped like arithmetic, as they are.
on_demand() {
  start_mirc
  hostile_playlist "$work/hostile.txt"
  play "$work/hostile.txt"
  expect_said_count 9
  start_stepped_player on-demand "$work/hostile.txt"
  for k in 1 2 3 4 5 6 7 8 9; do
    played on-demand $k
    "$root/tools/wine-run" "$mirc_bin/mirc-send.exe" '//!me is playing: $dll(chirpline_mirc.dll, title, $null)' </dev/null
    expect_said_count $((9 + k))
    printf '\n' >&3
  done
  finish_player on-demand
  [ "$(count "found mirc window" "$work/on-demand.out")" -eq 0 ] || fail "the player announced with announcing off"
  said | head -n 9 >"$work/announced" && said | tail -n 9 >"$work/on-demand"
  cmp -s "$work/announced" "$work/on-demand" || { diff "$work/announced" "$work/on-demand" | cat -v; fail "on demand differs"; }
  [ "$(count "unknown command\|not modelled" "$work/mirc.log")" -eq 0 ] || fail "a title was evaluated or ran as a command"
  type_in '//echo -a quit=[$dll(chirpline_mirc.dll, title, )]' 'echo: quit=[]'
  type_in '//echo -a * Chirpline: $dll(chirpline_mirc.dll, reason, $null)' \
    'echo: * Chirpline: Corvane is not running, has started no track yet, or has no Chirpline component'
  printf 'title: 2112\nalbum: 2112\n\ntitle: 05\nalbum: 1979\n' >"$work/again.txt"
  start_stepped_player again "$work/again.txt"
  for k in 1 2; do
    played again $k
    "$root/tools/wine-run" "$mirc_bin/mirc-send.exe" '//!me is playing: $dll(chirpline_mirc.dll, title, $null)' </dev/null
    expect_said_count $((18 + k))
    printf '\n' >&3
  done
  finish_player again
  said | tail -n 2 >"$work/arithmetic"
  printf '\001ACTION is playing: 2112 - 2112\001\n\001ACTION is playing: 05 - 1979\001\n' | cmp -s - "$work/arithmetic" ||
    fail "titles shaped like arithmetic did not come out as they are: $(cat -v "$work/arithmetic")"
  [ "$(grep -c "dll: loaded chirpline_mirc.dll (LoadDll: mKeep=1 mUnicode=1)" "$work/mirc.log")" -eq 1 ] ||
    fail "LoadDll did not ask once for UTF-16 and to stay loaded"
}

"$root/tools/irc-peers" start "$work/irc" "$channel" >/dev/null

case $case_name in
x64-playlist)
  # The 64-bit player and component hand the playlist to the 32-bit mIRC.
  for f in "$bin/corvane-host.exe:x86-64" "$bin/cor_chirpline.dll:x86-64" "$mirc_bin/mirc-standin.exe:i386"; do
    x86_64-w64-mingw32-objdump -f "${f%:*}" | grep -q "file format pei-${f##*:}\$" || fail "${f%:*} is not ${f##*:}"
  done
  start_mirc
  play "$root/samples/playlist.txt"
  expect_said_count 7
  LC_ALL=C awk -f "$root/tests/system/irc/expected_commands.awk" "$root/samples/playlist.txt" | cmp -s - "$work/mirc.out" ||
    fail "mIRC did not receive exactly the announced commands"
  expect_channel_matches "$root/samples/playlist.txt"
  grep -q "$(printf 'J\303\263ga - Homogenic')" "$work/said" || fail "non-ASCII title not byte-exact"
  grep -q "$(printf 'Chiquitita \360\237\216\265 - Voulez-Vous')" "$work/said" || fail "a title beyond the BMP not byte-exact"
  grep -q "$(printf '\002Bold\002 \003%s\003 \037u\037 - Colours' '04,01red')" "$work/said" || fail "mIRC's formatting codes not byte-exact"
  ;;
playlist)
  start_mirc
  play "$root/samples/playlist.txt"
  expect_said_count 7
  expect_channel_matches "$root/samples/playlist.txt"
  grep -q "$(printf 'J\303\263ga - Homogenic')" "$work/said" || fail "non-ASCII title not byte-exact"
  grep -q "$(printf 'Chiquitita \360\237\216\265 - Voulez-Vous')" "$work/said" || fail "a title beyond the BMP not byte-exact"
  grep -q "$(printf '\002Bold\002 \003%s\003 \037u\037 - Colours' '04,01red')" "$work/said" || fail "mIRC's formatting codes not byte-exact"
  grep -q 'Ready or Not - ?' "$work/said" || fail "missing album not shown as ?"
  # Idle until the server asks PING (after 5 s): answered, and still connected.
  wait_for 'grep -q "answered PING" "$work/mirc.log"' 15 || fail "no PING answered"
  "$root/tools/wine-run" "$mirc_bin/mirc-send.exe" "/say still here" </dev/null || fail "mirc-send failed"
  expect_said_count 8
  [ "$(count "lost" "$work/mirc.log")" -eq 0 ] || fail "the server dropped the stand-in"
  ;;
hostile)
  start_mirc
  hostile_playlist "$work/hostile.txt"
  play "$work/hostile.txt"
  expect_said_count 9
  expect_channel_matches "$work/hostile.txt"
  grep -qx "$(printf '\001ACTION is playing: \002Bold\002 \003%s\003 \037u\037 - \026r\017 \035i\035 \036s\036 \021m\021 \004FF0000h\004\001' '04,01red')" \
    "$work/said" || fail "mIRC's formatting codes did not arrive byte for byte"
  grep -qx "$(printf '\001ACTION is playing: x ACTION y  z - a b\001')" "$work/said" || fail "0x01 not blanked in one ACTION"
  [ "$(count "has quit" "$(channel_file)")" -eq 0 ] || fail "the stand-in left the channel"
  [ "$(count "QUIT" "$work/irc/ngircd.log")" -eq 0 ] || fail "the server got a QUIT"
  [ "$(count "lost" "$work/mirc.log")" -eq 0 ] || fail "the connection did not survive"
  [ "$(count "unknown command" "$work/mirc.log")" -eq 0 ] || fail "a tag ran as a command"
  ;;
raw-injection)
  # Written by this test, not the component: proof that "|" in a command is an attack.
  start_mirc
  "$root/tools/wine-run" "$mirc_bin/mirc-send.exe" "/me a | /msg $channel injected" </dev/null || fail "mirc-send failed"
  expect_said_count 2
  printf '\001ACTION a\001\ninjected\n' >"$work/expected"
  said | cmp -s "$work/expected" - || fail "the two commands did not both reach the channel"
  ;;
overlong)
  start_mirc
  # One title of three-byte characters (one UTF-16 unit each), one of emoji
  # (two units each): both pass the 2047 units mIRC's block holds.
  title=a
  i=0
  while [ $i -lt 2100 ]; do title="$title$(printf '\345\244\234')"; i=$((i + 1)); done
  emoji=ab
  i=0
  while [ $i -lt 1100 ]; do emoji="$emoji$(printf '\360\237\216\265')"; i=$((i + 1)); done
  printf 'title: %s\nalbum: B\n\ntitle: %s\nalbum: B\n' "$title" "$emoji" >"$work/long.txt"
  play "$work/long.txt"
  expect_said_count 2
  # The blocks: "/me is playing: a" (17 units) and 2030 characters; "/me is playing: ab"
  # (18 units) and 1014 emoji, for a 1015th would split at the end of the block.
  [ "$(sed -n 1p "$work/mirc.out" | LC_ALL=C wc -c)" -eq $((17 + 2030 * 3 + 1)) ] || fail "the first block was not cut at 2047 units"
  [ "$(sed -n 2p "$work/mirc.out" | LC_ALL=C wc -c)" -eq $((18 + 1014 * 4 + 1)) ] || fail "the emoji block was not cut at a whole pair"
  grep -q "command cut from 2121 to 2047 characters" "$work/host.out" || fail "the player's console did not say what was cut"
  # The channel: ":chirp!~chirpline@127.0.0.1 PRIVMSG #chirp :" + "\001ACTION " + text + "\001" + CR LF
  # is 512 bytes at most: 457 bytes of text, "is playing: a" and 148 characters, or
  # "is playing: ab" and 110 emoji.
  expected="$(printf '\001ACTION is playing: a')"
  i=0
  while [ $i -lt 148 ]; do expected="$expected$(printf '\345\244\234')"; i=$((i + 1)); done
  printf '%s\001\n' "$expected" >"$work/expected"
  expected="$(printf '\001ACTION is playing: ab')"
  i=0
  while [ $i -lt 110 ]; do expected="$expected$(printf '\360\237\216\265')"; i=$((i + 1)); done
  printf '%s\001\n' "$expected" >>"$work/expected"
  said | cmp -s "$work/expected" - || fail "the channel lines are not cut at IRC's line at a character boundary"
  grep -q "line cut from 6128 to 482 bytes" "$work/mirc.log" || fail "the first cut was not reported"
  grep -q "line cut from 4095 to 479 bytes" "$work/mirc.log" || fail "the emoji cut was not reported"
  ;;
server-restart)
  start_mirc
  printf 'title: before\n' >"$work/before.txt"
  printf 'title: during\n' >"$work/during.txt"
  printf 'title: after one\n\ntitle: after two\n' >"$work/after.txt"
  play "$work/before.txt"
  expect_said_count 1
  kill -9 "$(cat "$work/irc/ngircd.pid")"
  wait_for '[ "$(count "lost" "$work/mirc.log")" -ge 1 ]' 10 || fail "the loss was not reported"
  play "$work/during.txt"
  # mIRC answered the player within the component's bound although the network was down.
  grep -q "Chirpline: Successful" "$work/host.out" || fail "the player's notification was held: $(cat "$work/host.out")"
  wait_for 'grep -q "not delivered.*is playing: during" "$work/mirc.log"' 10 || fail "the lost line was not reported"
  # Every try is refused while the server is down, so the wait grows; a restart
  # made before the second try would leave nothing to see.
  wait_for 'grep -q "retrying in 400 ms" "$work/mirc.log"' 10 && grep -q "retrying in 200 ms" "$work/mirc.log" ||
    fail "no growing back-off reported"
  # Meanwhile another run's server listens on our port at 127.0.0.1, the address every
  # connection comes from: ours comes back on its own address, and the stand-in finds it.
  printf '[Global]\nName = other.test\nListen = 127.0.0.1\nPorts = %s\n[Options]\nDNS = no\nIdent = no\nPAM = no\n' \
    "$(cat "$work/irc/port")" >"$work/other.conf"
  PATH="$PATH:/usr/sbin:/sbin" ngircd -n -f "$work/other.conf" </dev/null >"$work/other.log" 2>&1 &
  other_pid=$!
  wait_for 'grep -q "Now listening" "$work/other.log"' 10 || fail "the other server did not start: $(cat "$work/other.log")"
  "$root/tools/irc-peers" restart "$work/irc"
  wait_for '[ "$(count "joined $channel" "$work/mirc.log")" -ge 2 ]' 30 || fail "the stand-in did not reconnect"
  play "$work/after.txt"
  expect_said_count 3
  printf '\001ACTION is playing: before - ?\001\n\001ACTION is playing: after one - ?\001\n\001ACTION is playing: after two - ?\001\n' >"$work/expected"
  said | cmp -s "$work/expected" - || fail "the tracks after the restart did not arrive"
  ;;
flood)
  start_mirc --flood-burst 3 --flood-interval-ms 250
  : >"$work/burst.txt"
  i=1
  while [ $i -le 20 ]; do printf 'title: track %02d\n\n' $i >>"$work/burst.txt"; i=$((i + 1)); done
  play "$work/burst.txt"
  expect_said_count 20
  expect_channel_matches "$work/burst.txt"
  # Three at once, then one each 250 ms: line k (from 0) goes no sooner than (k-2)*250 ms after the first.
  sed -n 's/^mirc-standin: sent \([0-9]*\) .*/\1/p' "$work/mirc.log" >"$work/sent"
  [ "$(wc -l <"$work/sent")" -eq 20 ] || fail "not 20 lines sent"
  awk 'NR == 1 { first = $1 } NR > 3 && $1 - first < (NR - 3) * 250 - 20 { print "line " NR - 1 " at +" $1 - first " ms"; bad = 1 }
       END { exit bad }' "$work/sent" || fail "lines went faster than the gate allows"
  ;;
on-demand)
  on_demand
  ;;
x64-on-demand)
  # The 64-bit player publishes; the 32-bit DLL beside the 32-bit stand-in reads.
  for f in "$bin/corvane-host.exe:x86-64" "$mirc_bin/chirpline_mirc.dll:i386"; do
    x86_64-w64-mingw32-objdump -f "${f%:*}" | grep -q "file format pei-${f##*:}\$" || fail "${f%:*} is not ${f##*:}"
  done
  on_demand
  ;;
*) echo "unknown case $case_name" >&2; exit 2 ;;
esac
echo "PASS: $case_name"
