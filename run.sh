#!/usr/bin/env bash
# Sets up a Debian 12 machine if needed, builds and opens Tarvenix on the bundled sample image.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh release
exec build/release/bin/Tarvenix "{DisableView}{Open \"$PWD/build/release/samples/sample.rdp\"}" "$@"
