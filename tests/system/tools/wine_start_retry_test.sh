#!/bin/sh
# tools/wine-run starts a program again only when Wine could not start it:
# with N planted start failures (Wine handed a program that is not there),
# announce-latency, which marks its start, runs once after N wine-retry lines,
# and not at all past five; a program that started and failed runs once, and
# so does one that does not mark its start, whatever its failure. It fails
# closed: a program that cannot write its mark, or ends 0 without one, fails
# once, named, unretried.
#
# usage: wine_start_retry_test.sh ROOT BIN
set -u
run=$1/tools/wine-run bin=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
# Shown as this test's own lines, so the run does not count them as refusals.
fail() { echo "FAIL: $*"; cat "$work/out" "$work/err" | sed 's/^/retry-test: /'; failures=$((failures + 1)); }
# planted N PROGRAM ARGS...: one wine-run with N start failures planted.
planted() { n=$1; shift; CHIRPLINE_PLANTED_START_FAILURES=$n "$run" "$@" </dev/null >"$work/out" 2>"$work/err"; }
retries() { grep -c "wine-retry [0-9] of 5: cannot start $1 " "$work/err"; }
# How often the program itself ran: its refusal of the track count.
ran() { cat "$work/out" "$work/err" | grep -c 'announce-latency: bad value for TRACKS: -5'; }
latency=$bin/announce-latency.exe

planted 0 "$latency" -5
status=$?
[ $status -eq 2 ] && [ "$(retries announce-latency.exe)" -eq 0 ] && [ "$(ran)" -eq 1 ] ||
  fail "a program that started and failed (status $status) was not run exactly once, unretried"
planted 2 "$latency" -5
status=$?
[ $status -eq 2 ] && [ "$(retries announce-latency.exe)" -eq 2 ] && [ "$(ran)" -eq 1 ] ||
  fail "two refused starts (status $status) were not retried twice before the one run"
planted 6 "$latency" -5
status=$?
[ $status -ne 0 ] && [ "$(retries announce-latency.exe)" -eq 5 ] && [ "$(ran)" -eq 0 ] ||
  fail "six refused starts (status $status) were not given up after five retries"
CHIRPLINE_PLANTED_UNWRITABLE_MARK=1 planted 2 "$latency" -5
status=$?
[ $status -eq 73 ] && [ "$(retries announce-latency.exe)" -eq 2 ] && [ "$(ran)" -eq 0 ] &&
  [ "$(grep -c '^start mark: cannot write' "$work/err")" -eq 1 ] &&
  grep -q 'announce-latency.exe started but could not write its start mark' "$work/err" ||
  fail "a program that could not write its mark (status $status) was not one named failure after the refusals"
# A program that marks its start and ended well, yet left no mark, stood in for by a script.
printf '@rem CHIRPLINE_START_MARK\r\n@exit /b 0\r\n' >"$work/unmarked.bat"
planted 0 "$work/unmarked.bat"
status=$?
[ $status -ne 0 ] && [ "$(retries unmarked.bat)" -eq 0 ] && grep -q 'status 0 but left no start mark' "$work/err" ||
  fail "a status 0 without the start mark (status $status) was not one named failure"
planted 1 cmd /c exit 0
status=$?
[ $status -ne 0 ] && [ "$(retries cmd)" -eq 0 ] ||
  fail "a program that does not mark its start (status $status) was retried"

[ $failures -eq 0 ] && echo "wine-run: a refused start is retried, a started program never, and a run without its mark fails"
[ $failures -eq 0 ]
