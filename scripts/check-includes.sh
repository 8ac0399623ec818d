#!/usr/bin/env bash
# Checks that includes run one way between the viewer's folders and the tool modules: the
# viewer frame may include the analysis windows and the viewer core, the analysis windows
# only the core, the core neither of them; the modules never include the analysis windows.
# Lists every include against that and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# "folder: the folders its sources must not include"
rules=(
  "viewer/core: viewer/analysis viewer/frame"
  "viewer/analysis: viewer/frame"
  "modules: viewer/analysis"
)

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  list() { git ls-files -- "$1" | grep -E '\.(h|cpp)$' || true; }
else
  list() { find "$1" \( -name '*.h' -o -name '*.cpp' \) -print 2>/dev/null || true; }
fi

status=0
for rule in "${rules[@]}"; do
  folder=${rule%%:*}
  forbidden=${rule#*: }
  mapfile -t files < <(list "$folder")
  [ ${#files[@]} -eq 0 ] && continue
  # One pass over the folder: "file<TAB>included path", with paths written relative to the
  # including file ("../frame/x.h") taken as the file they name.
  found=$(grep -HE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][^">]+[">]' "${files[@]}" |
    awk -v forbidden="$forbidden" -v folder="$folder" '
      function normal(path,   n, parts, out, i, k) {
        n = split(path, parts, "/"); k = 0
        for (i = 1; i <= n; i++) {
          if (parts[i] == "" || parts[i] == ".") continue
          if (parts[i] == ".." && k > 0) { k--; continue }
          out[++k] = parts[i]
        }
        path = ""
        for (i = 1; i <= k; i++) path = path (i > 1 ? "/" : "") out[i]
        return path
      }
      {
        file = substr($0, 1, index($0, ":") - 1)
        target = $0
        sub(/^[^:]*:[[:space:]]*#[[:space:]]*include[[:space:]]*["<]/, "", target)
        sub(/[">].*$/, "", target)
        if (target ~ /^\.\.?\//) {
          dir = file; sub(/\/[^\/]*$/, "", dir)
          target = normal(dir "/" target)
        }
        n = split(forbidden, banned, " ")
        for (i = 1; i <= n; i++)
          if (index(target, banned[i] "/") == 1)
            printf "  %s includes %s (%s must not include %s)\n", file, target, folder, banned[i]
      }')
  if [ -n "$found" ]; then
    printf '%s\n' "$found" >&2
    status=1
  fi
done
if [ $status -ne 0 ]; then
  echo "Includes against the direction frame -> analysis -> core (and modules -> core) above." >&2
fi
exit $status
