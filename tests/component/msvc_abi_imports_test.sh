#!/bin/sh
# What the Microsoft-ABI component asks of the player's shared.dll, read from
# its import table: the tracker's two members under Microsoft's decoration
# (this-call on x86, the one convention on x86-64) and the one C function.
# usage: msvc_abi_imports_test.sh DLL 32|64
set -eu
dll=$1 bits=$2
imports=$(llvm-objdump-16 -p "$dll" |
  awk '/DLL Name:/ { dll = $3 } dll == "shared.dll" && $1 ~ /^[0-9]+$/ && NF == 2 && $2 !~ /^[0-9]+$/ { print $2 }' | LC_ALL=C sort)
if [ "$bits" = 32 ]; then
  expected='??0uCallStackTracker@@QAE@PBD@Z
??1uCallStackTracker@@QAE@XZ
uFormatSystemErrorMessage'
  convention=__thiscall
else
  expected='??0uCallStackTracker@@QEAA@PEBD@Z
??1uCallStackTracker@@QEAA@XZ
uFormatSystemErrorMessage'
  convention=__cdecl
fi
[ "$imports" = "$expected" ] || { printf 'msvc_abi_imports_test: %s imports from shared.dll:\n%s\n' "$dll" "$imports" >&2; exit 1; }
meant="public: $convention uCallStackTracker::uCallStackTracker(char const *)
public: $convention uCallStackTracker::~uCallStackTracker(void)"
said=$(printf '%s\n' "$imports" | grep '^?' | llvm-undname-16 | grep -v '^?' | grep -v '^$')
[ "$said" = "$meant" ] || { printf 'msvc_abi_imports_test: the decorated names read as:\n%s\n' "$said" >&2; exit 1; }
echo "$dll: imports $(printf '%s\n' "$imports" | tr '\n' ' ')from shared.dll"
