#!/bin/sh
# The release's import check (tools/pe-imports) on small DLLs made here: it
# lists the imports of one that imports by name, and refuses, naming what it
# found, one that imports a function by ordinal and one that delay-loads.
#
# usage: pe_imports_test.sh ROOT
set -eu
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*"; exit 1; }

# helper.dll's import library, one function by name and one by number only.
printf 'LIBRARY helper.dll\nEXPORTS\n  by_name @8\n  by_number @7 NONAME\n' >helper.def
printf '__declspec(dllimport) int by_name(void);\n__declspec(dllimport) int by_number(void);\n' >user.h
printf '#include "user.h"\n__declspec(dllexport) int use(void) { return by_name(); }\n' >named.c
printf '#include "user.h"\n__declspec(dllexport) int use(void) { return by_name() + by_number(); }\n' >ordinal.c
i686-w64-mingw32-dlltool -d helper.def -l helper.a
i686-w64-mingw32-dlltool -d helper.def -y helper-delay.a
cc="i686-w64-mingw32-gcc -shared -nostdlib -Wl,-e,0 -Wl,--no-insert-timestamp"
$cc -o named.dll named.c helper.a
$cc -o ordinal.dll ordinal.c helper.a
# GNU ld writes the delay descriptor but leaves the data directory's entry
# for it (13) empty, where Microsoft's linkers and lld fill it in: filled in
# here, as they would.
i686-w64-mingw32-gcc -shared -Wl,--no-insert-timestamp -o delay.dll named.c helper-delay.a
pe=$(od -An -tu4 -j60 -N4 delay.dll | tr -d ' ')
descriptor=$(i686-w64-mingw32-nm delay.dll | sed -n 's/^\([0-9a-f]*\) . __DELAY_IMPORT_DESCRIPTOR_.*/\1/p')
base=$(i686-w64-mingw32-objdump -p delay.dll | sed -n 's/^ImageBase[[:space:]]*//p')
[ -n "$descriptor" ] && [ -n "$base" ] || fail "no delay descriptor in delay.dll"
le32() { printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"; }
# PE32: the optional header 24 bytes after "PE\0\0", its data directory 96 after that.
{ le32 $((0x$descriptor - 0x$base)); le32 32; } | dd of=delay.dll bs=1 seek=$((pe + 24 + 96 + 13 * 8)) conv=notrunc 2>/dev/null

"$root/tools/pe-imports" named.dll >out 2>err || fail "named.dll refused: $(cat err)"
[ "$(cat out)" = "helper.dll:by_name" ] || fail "named.dll's imports: $(cat out)"
if "$root/tools/pe-imports" named.dll ordinal.dll >out 2>err; then fail "an import by ordinal passed"; fi
[ "$(cat err)" = "pe-imports: ordinal.dll imports ordinal 7 of helper.dll" ] || fail "ordinal.dll: $(cat err)"
if "$root/tools/pe-imports" delay.dll >out 2>err; then fail "a delay-loaded import passed"; fi
grep -q "^pe-imports: delay.dll delay-loads imports (its delay import directory is at 0000" err || fail "delay.dll: $(cat err)"
echo "PASS: pe-imports"
