#!/bin/sh
# tools/progress: the step's own lines pass, a flood of progress lines comes out
# as a line per tenth, a silent stretch still gets a line within about ten
# seconds, and the step's exit status is the tool's.
#
# usage: progress_test.sh ROOT
set -u
progress=$1/tools/progress
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; sed 's/^/  output: /' "$work/out"; failures=$((failures + 1)); }

# 201 CMake lines, 0% to 100%, and a compiler's error among them.
"$progress" build sh -c 'i=0; while [ $i -le 200 ]; do echo "[ $((i / 2))%] Building CXX object a/CMakeFiles/t.dir/f$i.cpp.obj"
  [ $i -eq 100 ] && echo "f100.cpp:1: error: boom"; i=$((i + 1)); done; exit 3' >"$work/out" 2>&1
status=$?
[ $status -eq 3 ] || fail "the step's status 3 came back as $status"
[ "$(grep -c '^  build: *[0-9]*% ' "$work/out")" -le 12 ] || fail "more than a line per tenth of the build"
grep -q '^  build: 100% (.*) Building CXX object a/f200.cpp.obj$' "$work/out" || fail "no line for the build's end"
grep -qx 'f100.cpp:1: error: boom' "$work/out" || fail "the error line did not pass unchanged"
tail -n 1 "$work/out" | grep -q '^  build: FAILED (status 3) after [0-9]* s$' || fail "the last line does not say it failed"

# Twelve silent seconds: a line before the step ends, then its time.
"$progress" quiet sh -c 'echo begun; sleep 12; echo ended' >"$work/out" 2>&1 || fail "a step that passed failed"
sed -n '/^begun$/,/^ended$/p' "$work/out" | grep -q '^  quiet: still going ([0-9]* s)$' ||
  fail "twelve silent seconds passed without a line"
tail -n 1 "$work/out" | grep -q '^  quiet: done in 1[2-9] s$' || fail "the last line does not give the step's time"

[ $failures -eq 0 ] && echo "progress: all checks passed"
[ $failures -eq 0 ]
