#!/bin/sh
# The release's import check (tools/pe-imports) on DLLs made here: it lists
# the imports of one that imports by name, and refuses, saying what it found,
# one that imports by ordinal and one that delay-loads.
#
# usage: pe_imports_test.sh ROOT
set -eu
root=$1 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*"; exit 1; }
printf 'LIBRARY helper.dll\nEXPORTS\n  by_name @8\n  by_number @7 NONAME\n' >helper.def
printf '__declspec(dllimport) int by_name(void), by_number(void);\nint use(void) { return by_name() %s; }\n' "" >named.c
printf '__declspec(dllimport) int by_name(void), by_number(void);\nint use(void) { return by_name() %s; }\n' "+ by_number()" >ordinal.c
i686-w64-mingw32-dlltool -d helper.def -l helper.a -y helper-delay.a
cc="i686-w64-mingw32-gcc -shared -Wl,--no-insert-timestamp"
$cc -nostdlib -Wl,-e,0 -o named.dll named.c helper.a
$cc -nostdlib -Wl,-e,0 -o ordinal.dll ordinal.c helper.a
$cc -o delay.dll named.c helper-delay.a
# GNU ld leaves the data directory's entry for the delay descriptors (13)
# empty, where Microsoft's linkers and lld fill it in: filled in here.
pe=$(od -An -tu4 -j60 -N4 delay.dll | tr -d ' ')
at=$(i686-w64-mingw32-nm delay.dll | sed -n 's/^\([0-9a-f]*\) . __DELAY_IMPORT_DESCRIPTOR_.*/\1/p')
base=$(i686-w64-mingw32-objdump -p delay.dll | sed -n 's/^ImageBase[[:space:]]*//p')
le32() { printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"; }
# PE32: the optional header 24 bytes after "PE\0\0", its data directory 96 in.
{ le32 $((0x$at - 0x$base)); le32 32; } | dd of=delay.dll bs=1 seek=$((pe + 24 + 96 + 13 * 8)) conv=notrunc 2>/dev/null

"$root/tools/pe-imports" named.dll >out 2>err || fail "named.dll refused: $(cat err)"
[ "$(cat out)" = "helper.dll:by_name" ] || fail "named.dll's imports: $(cat out)"
! "$root/tools/pe-imports" named.dll ordinal.dll >out 2>err || fail "an import by ordinal passed"
[ "$(cat err)" = "pe-imports: ordinal.dll imports ordinal 7 of helper.dll" ] || fail "ordinal.dll: $(cat err)"
! "$root/tools/pe-imports" delay.dll >out 2>err || fail "a delay-loaded import passed"
grep -q "^pe-imports: delay.dll delay-loads imports (its delay import directory is at 0000" err || fail "delay.dll: $(cat err)"
echo "PASS: pe-imports"
