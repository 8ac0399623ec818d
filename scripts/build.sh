#!/usr/bin/env bash
# Configures (once) and builds one of the build trees: debug (sanitizers, tests) or release.
set -euo pipefail
kind=${1:-debug}
shift || true
root=$(cd "$(dirname "$0")/.." && pwd)
dir="$root/build/$kind"
case "$kind" in
  debug)   flags=(-DCMAKE_BUILD_TYPE=Debug -DTARVENIX_SANITIZE=ON) ;;
  release) flags=(-DCMAKE_BUILD_TYPE=Release -DTARVENIX_TESTS=OFF -DTARVENIX_BENCH=ON) ;;
  tsan)    flags=(-DCMAKE_BUILD_TYPE=Debug -DTARVENIX_TSAN=ON) ;;
  *) echo "unknown build kind: $kind" >&2; exit 2 ;;
esac
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja "${flags[@]}"
fi
cmake --build "$dir" "$@"
