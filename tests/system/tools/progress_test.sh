#!/bin/sh
# tools/progress: the step's own lines pass, a flood of progress lines comes out
# as a line per tenth, a silent stretch still gets a line within about ten
# seconds, the step's exit status is the tool's, and tools/setup's install shows
# its percentages through sudo and gets through a mirror caught mid-sync.
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

# tools/setup as a user: apt's status lines reach tools/progress through a sudo
# that closes every descriptor above 2, as sudo does, and its chatter does not.
# A user with one package missing, with apt and sudo stood in for.
fake=$work/bin
mkdir "$fake"
printf '#!/bin/sh\n[ "$1" = -u ] && echo 1000 || exec /usr/bin/id "$@"\n' >"$fake/id"
printf '#!/bin/sh\n[ "$3" = zip ] || echo "install ok installed"\n' >"$fake/dpkg-query"
printf '#!/bin/sh\necho i386\n' >"$fake/dpkg"
printf '#!/bin/sh\nexec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-\nexec "$@"\n' >"$fake/sudo"
# apt-get fails the steps named in $work/fail (update, install, retry: the
# install with -t) as apt does: its own error line, status 100; its reason
# comes from a simulated install.
cat >"$fake/apt-get" <<EOF
#!/bin/sh
echo "\$*" >>"$work/apt-args"
case " \$* " in
  *" -s "*) printf 'The following packages have unmet dependencies:\\n zip : Depends: libc6\\n'; exit 100 ;;
  *" update "*) step=update ;; *" -t "*) step=retry ;; *) step=install ;;
esac
! grep -qw \$step "$work/fail" 2>/dev/null || { echo "E: \$step failed: Mirror sync in progress?" >&2; exit 100; }
[ \$step = update ] && exit 0
echo "Unpacking zip ..."
echo "pmstatus:zip:40:Installing zip" >&3 && echo "pmstatus:zip:90:Configuring zip" >&3
EOF
chmod +x "$fake"/*
PATH="$fake:$PATH" "$1/tools/setup" >"$work/out" 2>&1 || fail "setup failed"
grep -q '^  installing packages: *40% ' "$work/out" && grep -q '^  installing packages: *90% ' "$work/out" ||
  fail "no percentages from the install through sudo"
! grep -q 'Unpacking' "$work/out" || fail "apt's chatter came through"
grep -q 'APT::Status-Fd=3 install -y -qq --no-install-recommends *zip$' "$work/apt-args" || fail "apt-get was not asked to install zip"
[ "$(grep -c ' install ' "$work/apt-args")" -eq 1 ] || fail "an install that worked was tried again"

# A mirror mid-sync: a failed update is said and the install goes on; a failed
# install is tried once more with the release's own versions (the codename from
# os-release), and setup fails only if that fails too, naming what is missing.
echo VERSION_CODENAME=trixie >"$work/os-release"
for fails in update install "install retry"; do
  echo "$fails" >"$work/fail" && rm "$work/apt-args"
  PATH="$fake:$PATH" SETUP_OS_RELEASE="$work/os-release" "$1/tools/setup" >"$work/out" 2>&1
  status=$? installs=$(grep -c '=3 install ' "$work/apt-args") retries=$(grep -c '=3 install -t trixie -y ' "$work/apt-args")
  case $fails in
    update) [ $status -eq 0 ] && [ "$installs" -eq 1 ] && grep -q '^E: update failed: Mirror sync' "$work/out" &&
      grep -qx "setup: the package lists did not all update (apt's errors above); installing from the lists apt has" "$work/out" ;;
    install) [ $status -eq 0 ] && [ "$retries" -eq 1 ] &&
      grep -qx "setup: trying once more with trixie's own versions (apt-get install -t trixie)" "$work/out" ;;
    *) [ $status -ne 0 ] && [ "$installs" -eq 2 ] && [ "$retries" -eq 1 ] && grep -qx ' zip : Depends: libc6' "$work/out" &&
      tail -n 1 "$work/out" | grep -qx "setup: could not install: zip (apt's errors above)" ;;
  esac || fail "setup with apt's $fails failing: status $status, $installs installs, $retries with -t trixie"
done

[ $failures -eq 0 ] && echo "progress: all checks passed"
[ $failures -eq 0 ]
