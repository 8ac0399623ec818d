#!/usr/bin/env bash
# Sets up a Debian 12 machine if needed, builds with the sanitizers and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh debug
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir build/debug --output-on-failure -j "$(nproc)" "$@"
