#!/usr/bin/env bash
# Public headers never reach Qt. Every header of the tree except the platform's internal
# ones (platform/**/*_internal.h), the tests' and the benchmarks' is preprocessed on its
# own; one that pulls in a Qt header fails the check, with the chain of includes that leads
# there. Only the platform's internal headers and its sources may include Qt.
# Usage: scripts/check-headers.sh [tree]   (the tree defaults to this repository)
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1 && [ "$(git rev-parse --show-toplevel)" = "$(pwd -P)" ]; then
  mapfile -t headers < <(git ls-files --cached --others --exclude-standard -- '*.h')
else
  mapfile -t headers < <(find . -path ./build -prune -o -name '*.h' -print | sed 's#^\./##' | sort)
fi
public=()
for h in "${headers[@]}"; do
  [ -f "$h" ] || continue
  case "$h" in
    platform/*_internal.h | tests/* | bench/* | build/*) ;;
    *) public+=("$h") ;;
  esac
done
[ ${#public[@]} -eq 0 ] && exit 0

# Qt's own folders, so that a Qt header is found (and recognised) wherever it is included.
qtflags=$(pkg-config --cflags Qt6Widgets Qt6Network 2>/dev/null || true)
export QTFLAGS="$qtflags"

# Prints "header: a.h -> b.h -> QtGui/QImage" for a header that reaches Qt, nothing otherwise.
check_one() {
  local header=$1
  # shellcheck disable=SC2086
  printf '#include "%s"\n' "$header" |
    g++ -std=c++20 -x c++ -E -H -I. $QTFLAGS - -o /dev/null 2>&1 |
    awk -v header="$header" '
      function short(path) {
        sub(/^\.\//, "", path)
        if (match(path, /\/qt[56]\//)) return substr(path, RSTART + RLENGTH)
        return path
      }
      /^\.+ / {
        depth = index($0, " ") - 1
        path = substr($0, depth + 2)
        stack[depth] = short(path)
        if (path ~ /\/qt[56]\// || path ~ /\/Qt[A-Za-z]+\//) {
          chain = stack[1]
          for (i = 2; i <= depth; ++i) chain = chain " -> " stack[i]
          print header ": " chain
          exit
        }
        next
      }
      /fatal error: Q[A-Za-z]*: No such file/ { print header ": includes a Qt header (" $0 ")"; exit }
      /fatal error:/ { print header ": cannot be preprocessed alone: " $0; exit }
    '
}
export -f check_one

failures=$(printf '%s\n' "${public[@]}" | xargs -P "$(nproc)" -I{} bash -c 'check_one "$1"' _ {} | sort)
if [ -n "$failures" ]; then
  echo "These headers reach Qt, which only the platform's internal headers (*_internal.h) may include:" >&2
  printf '%s\n' "$failures" | sed 's/^/  /' >&2
  exit 1
fi
