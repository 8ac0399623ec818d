#!/usr/bin/env bash
# Sets up a Debian 12 machine if needed, builds with the sanitizers and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/check-format.sh
scripts/check-includes.sh
scripts/check-headers.sh
scripts/build.sh debug
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir build/debug --output-on-failure -j "$(nproc)" "$@"

# Suites that run again under ThreadSanitizer, in a build tree of its own: the thread runner's
# stop stress, the band engine and the row driver, the worker drawing on a window, the 3D
# plug-in's job threads, two of its saves at once, its progress form, its administrator, its windows among the program's after a job, and its whole road from New to
# exit, its canvas's bands, its lists hearing items on a job thread, its scene and the
# project's image job racing the user's edits, objects leaving the project's lists while the
# job draws, its surface pass and the surface editor's fills on one, three and eight threads. One line a test program:
# the program, then its suites.
tsan_suites=(
  "basecore_tests ThreadRunner.*:RowDriver.*"
  "platform_tests WorkerDC.*:BandEngine.*"
  "kelvora_core_tests ThreadStress.*:Threads*:ProjectFile.SavesOnTwoThreadsAtOnceWriteTheirOwnBytes"
  "kelvora_forms_tests ProgressForm.*:Administrator.*:OwnerForm.*:PluginAmongProgramWindows.*:Plugin3DEndToEnd.*:SurfaceFills.*:SurfaceApplyRace.*"
  "kelvora_render_tests CanvasThreads.*"
  "kelvora_scene_tests ListEvents.*:Scene.*:ImageJobRace.*:SurfaceThreads.*:ProjectMembership.*"
)
targets=()
for line in "${tsan_suites[@]}"; do targets+=("${line%% *}"); done
scripts/build.sh tsan --target "${targets[@]}"
for line in "${tsan_suites[@]}"; do
  TSAN_OPTIONS="suppressions=$PWD/tests/support/tsan.supp halt_on_error=1" \
    "build/tsan/bin/${line%% *}" --gtest_filter="${line#* }" --gtest_brief=1
done
