#!/usr/bin/env bash
# The header check of ./test.sh, tried on a small tree of its own: the platform's internal
# headers may include Qt and public headers may include them only as far as no Qt arrives;
# a public header that includes <QImage>, itself or through another public header, fails
# the check and is named with its chain of includes.
# Usage: check_headers_test.sh <scripts/check-headers.sh>
set -euo pipefail
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

mkdir -p "$tree/platform/gdi" "$tree/viewer"
printf '#pragma once\n#include <QImage>\nstruct Picture { QImage image; };\n' >"$tree/platform/gdi/picture_internal.h"
printf '#pragma once\n#include <vector>\nclass QImage;\nvoid Show(const QImage&);\n' >"$tree/platform/gdi/picture.h"
printf '#pragma once\n#include "platform/gdi/picture.h"\n' >"$tree/viewer/view.h"
"$check" "$tree" || fail "a tree whose Qt stays in internal headers was refused"

# A public header of the platform that includes <QImage>, and a header above it.
printf '#pragma once\n#include <vector>\n#include <QImage>\nvoid Show(const QImage&);\n' >"$tree/platform/gdi/picture.h"
if report=$("$check" "$tree" 2>&1); then
  fail "a public header that includes <QImage> passed"
fi
for line in "platform/gdi/picture.h: platform/gdi/picture.h -> QtGui/QImage" \
  "viewer/view.h: viewer/view.h -> platform/gdi/picture.h -> QtGui/QImage"; do
  grep -qxF "  $line" <<<"$report" || fail "the report lacks \"$line\"; it says:"$'\n'"$report"
done
if grep -q "picture_internal.h" <<<"$report"; then fail "an internal header was reported:"$'\n'"$report"; fi
echo "header check: refuses <QImage> in a public header, names the chain"
