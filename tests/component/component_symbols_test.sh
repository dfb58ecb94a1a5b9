#!/bin/sh
# The component built for the tests keeps its symbol table (the release strips
# it): its allocator must be the plain one, with no hook a test could set, and
# none of the test programs' stand-ins for the platform may have come along.
# usage: component_symbols_test.sh NM DLL
set -eu
symbols=$("$1" -C "$2")
if ! printf '%s\n' "$symbols" | grep -q 'pfc::mem_realloc'; then
  echo "component_symbols_test: no symbol table in $2 to look at" >&2
  exit 1
fi
found=$(printf '%s\n' "$symbols" | grep -E 'allocation_hook|allocation_probe|block_inspector|scoped_win32_error_system' || true)
if [ -n "$found" ]; then
  echo "component_symbols_test: $2 carries test code:" >&2
  printf '%s\n' "$found" >&2
  exit 1
fi
echo "$2: no hook and no test code"
