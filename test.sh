#!/usr/bin/env bash
# Sets up a Debian 12 machine if needed, builds with the sanitizers and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/check-format.sh
scripts/build.sh debug
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir build/debug --output-on-failure -j "$(nproc)" "$@"
# The thread runner's stop stress, the row driver, the worker drawing on a window, the
# 3D plug-in's job threads and its progress form again under ThreadSanitizer, in a build tree
# of its own.
scripts/build.sh tsan --target basecore_tests platform_tests kelvora_core_tests kelvora_forms_tests
TSAN_OPTIONS="suppressions=$PWD/tests/support/tsan.supp halt_on_error=1" \
  build/tsan/bin/basecore_tests --gtest_filter='ThreadRunner.*:RowDriver.*' --gtest_brief=1
TSAN_OPTIONS="suppressions=$PWD/tests/support/tsan.supp halt_on_error=1" QT_QPA_PLATFORM=offscreen \
  build/tsan/bin/platform_tests --gtest_filter='WorkerDC.*' --gtest_brief=1
TSAN_OPTIONS="suppressions=$PWD/tests/support/tsan.supp halt_on_error=1" QT_QPA_PLATFORM=offscreen \
  build/tsan/bin/kelvora_core_tests --gtest_filter='ThreadStress.*:Threads*' --gtest_brief=1
TSAN_OPTIONS="suppressions=$PWD/tests/support/tsan.supp halt_on_error=1" QT_QPA_PLATFORM=offscreen \
  build/tsan/bin/kelvora_forms_tests --gtest_filter='ProgressForm.*' --gtest_brief=1
