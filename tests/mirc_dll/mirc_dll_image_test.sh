#!/bin/sh
# chirpline_mirc.dll as a file: its three exports under their plain names, no
# other DLL than the system's, only functions Windows 7 has (a new import
# fails here until it is checked there and listed below), and at most 64 KiB
# once stripped as the release strips it.
#
# usage: mirc_dll_image_test.sh OBJDUMP STRIP DLL WORK_DIR
set -eu
objdump=$1 strip=$2 dll=$3 work=$4
mkdir -p "$work"
fail() { echo "FAIL: $*"; exit 1; }

"$objdump" -p "$dll" >"$work/headers.txt"
sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\t\[ *[0-9]*\] //p' "$work/headers.txt" >"$work/exports.txt"
printf 'LoadDll\nUnloadDll\ntitle\n' | cmp -s - "$work/exports.txt" ||
  fail "the exports are not LoadDll, UnloadDll and title: $(tr '\n' ' ' <"$work/exports.txt")"

# Every imported function, as "DLL function".
sed -n '/^The Import Tables/,/^The Export Tables/p' "$work/headers.txt" |
  awk '/DLL Name:/ { dll = $3 } /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }' | sort >"$work/imports.txt"
[ -s "$work/imports.txt" ] || fail "no imports read from $dll"
# The system functions the DLL and MinGW's static start-up code use, all in
# Windows 7's kernel32.dll and msvcrt.dll.
cat >"$work/windows7.txt" <<'LIST'
KERNEL32.dll CloseHandle
KERNEL32.dll DeleteCriticalSection
KERNEL32.dll EnterCriticalSection
KERNEL32.dll FreeLibrary
KERNEL32.dll GetLastError
KERNEL32.dll GetModuleHandleA
KERNEL32.dll GetProcAddress
KERNEL32.dll InitializeCriticalSection
KERNEL32.dll LeaveCriticalSection
KERNEL32.dll LoadLibraryA
KERNEL32.dll MapViewOfFile
KERNEL32.dll OpenFileMappingW
KERNEL32.dll Sleep
KERNEL32.dll TlsGetValue
KERNEL32.dll UnmapViewOfFile
KERNEL32.dll VirtualProtect
KERNEL32.dll VirtualQuery
msvcrt.dll __iob_func
msvcrt.dll _amsg_exit
msvcrt.dll _initterm
msvcrt.dll _iob
msvcrt.dll _lock
msvcrt.dll _unlock
msvcrt.dll abort
msvcrt.dll calloc
msvcrt.dll free
msvcrt.dll fwrite
msvcrt.dll memcpy
msvcrt.dll realloc
msvcrt.dll strlen
msvcrt.dll strncmp
msvcrt.dll vfprintf
LIST
sort -o "$work/windows7.txt" "$work/windows7.txt"
unknown=$(comm -23 "$work/imports.txt" "$work/windows7.txt")
[ -z "$unknown" ] || fail "imports not known to be in Windows 7: $(echo "$unknown" | tr '\n' ';')"

SOURCE_DATE_EPOCH=0 "$strip" --strip-all -o "$work/stripped.dll" "$dll"
size=$(wc -c <"$work/stripped.dll")
[ "$size" -le 65536 ] || fail "the stripped DLL is $size bytes, over 64 KiB"
echo "PASS: exports LoadDll, UnloadDll, title; $(wc -l <"$work/imports.txt") imports, all in Windows 7; $size bytes stripped"
