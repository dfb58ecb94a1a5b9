#!/bin/sh
# The layers' include rules (docs/design.md, "Layers"): every #include of every
# source and template under src/ and standins/ names a file its folder may use.
# A name without a folder must be the including folder's own file (src/) or a
# stand-in's (standins/).
#
# usage: include_rules_test.sh ROOT
set -u
cd "${1:?usage: include_rules_test.sh ROOT}" || exit 2
find src standins -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inl' -o -name '*.rc' -o -name '*.in' \) |
  sort | xargs awk '
BEGIN {
  may["component"] = "component announcer preferences settings runtime host support now_playing"
  may["announcer"] = "announcer settings runtime host support now_playing"
  may["preferences"] = "preferences settings runtime host support"
  may["settings"] = "settings runtime host support"
  may["runtime"] = "runtime host support"
  may["host"] = "host"
  may["support"] = "support host/string_base.h host/shared_api.h"
  may["now_playing"] = "now_playing" # the block layout and protocol, for any reader
  may["mirc_dll"] = "mirc_dll now_playing"
  may["standins"] = "host announcer/mirc_interface.h mirc_dll/mirc_dll_interface_win32.h"
  may["mirc_interface"] = "host" # what the stand-ins use may bring them nothing more
  may["mirc_dll_interface"] = ""
  while (("find standins -type f" | getline f) > 0) { sub(/.*\//, "", f); standin_file[f] = 1 }
}
function exists(path,   line) { if ((getline line < path) < 0) return 0; close(path); return 1 }
function fail(why) { printf "%s:%d: #include %s: %s\n", FILENAME, FNR, target, why; bad++ }
FNR == 1 {
  split(FILENAME, part, "/"); layer = part[1] == "src" ? part[2] : "standins"
  if (FILENAME == "src/announcer/mirc_interface.h") layer = "mirc_interface"
  if (FILENAME == "src/mirc_dll/mirc_dll_interface_win32.h") layer = "mirc_dll_interface"
  who = layer == "standins" ? "the stand-ins" : layer ~ /^mirc_(dll_)?interface$/ ? FILENAME : "src/" layer "/"
  dir = FILENAME; sub(/\/[^\/]*$/, "", dir)
}
/^[ \t]*#[ \t]*include[ \t]*["<]/ {
  match($0, /["<][^">]*[">]/); target = substr($0, RSTART, RLENGTH); name = substr(target, 2, RLENGTH - 2)
  quoted = substr(target, 1, 1) == "\""
  if (index(name, "/") == 0) {
    checked++
    if (!quoted) next
    if (layer == "standins" ? !(name in standin_file) : !(exists(dir "/" name) || exists(dir "/" name ".in")))
      fail("not a file of " (layer == "standins" ? "the stand-ins" : dir "/") "; name other folders from src/")
    next
  }
  top = name; sub(/\/.*/, "", top)
  if (!quoted && !(top in may)) next
  checked++
  n = split(may[layer], allowed, " "); ok = 0; rule = ""
  for (i = 1; i <= n; i++) {
    file = allowed[i] ~ /\.h$/; ok = ok || allowed[i] == (file ? name : top)
    rule = rule (i > 1 ? ", " : "") allowed[i] (file ? "" : "/")
  }
  if (index(name, "..") || !ok)
    fail(who " may include from src/ only " rule)
}
END { printf "%d includes checked, %d against the rules\n", checked, bad; exit (bad > 0 || checked == 0) }'
