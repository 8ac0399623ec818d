#!/usr/bin/env bash
# The 3D plug-in has no per-thread storage of its own (no TLS segment): the program loads and
# unloads it at run time, and such storage stays behind in every thread that touched it, one
# with a destructor even keeps the library from unloading. Its per-thread values live in the
# platform's slots (TlsAlloc). A `thread_local` anywhere in the library breaks this.
# Usage: no_tls_test.sh <the plug-in's library>
set -euo pipefail
module=$1
headers=$(readelf -lW "$module")
if grep -q '^ *TLS ' <<<"$headers"; then
  echo "FAILED: $module has per-thread storage of its own:" >&2
  nm -C "$module" | awk '$2 == "b" || $2 == "d" || $2 == "B" || $2 == "D"' | grep -i 'tls\|t_' >&2 || true
  exit 1
fi
echo "$(basename "$module") keeps no per-thread storage of its own"
