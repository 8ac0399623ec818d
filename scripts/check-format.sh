#!/usr/bin/env bash
# Lists the tracked C++ sources that differ from the project's .clang-format and fails when
# there are any; `make format` rewrites them.
set -euo pipefail
cd "$(dirname "$0")/.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
[ ${#files[@]} -eq 0 ] && exit 0
# One run over all files; each difference is reported as "file:line:col: error: ...".
report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1 || true)
unformatted=$(printf '%s\n' "$report" | grep -E '^[^ ]+:[0-9]+:[0-9]+: (error|warning):' | cut -d: -f1 | sort -u || true)
if [ -n "$unformatted" ]; then
  echo "These sources are not formatted with the project's .clang-format (run 'make format'):" >&2
  printf '  %s\n' $unformatted >&2
  exit 1
fi
