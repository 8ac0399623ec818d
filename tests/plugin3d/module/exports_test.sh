#!/usr/bin/env bash
# The 3D plug-in's dynamic symbol table holds its entries and nothing else: the three it
# offers by number, the ordinal table, and the start and end entries the loader calls.
# Usage: exports_test.sh <the plug-in's library>
set -euo pipefail
module=$1
expected=$(printf '%s\n' GetDllMainWnd HideForms ShowForms platform_module_end platform_module_start \
  platform_ordinal_table | sort)
actual=$(nm -D --defined-only "$module" | awk '{print $NF}' | sort)
if [ "$actual" != "$expected" ]; then
  echo "FAILED: $module defines these dynamic symbols:" >&2
  printf '  %s\n' $actual >&2
  echo "expected exactly:" >&2
  printf '  %s\n' $expected >&2
  exit 1
fi
echo "$(basename "$module") exports only its entries"
