#!/usr/bin/env bash
# Sets up a Debian 12 machine if needed, builds and opens Tarvenix on the bundled sample image.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh release
# As an installer would: the bundled kernel library, and the sample's folder to work in,
# where the user has not chosen folders yet.
build/release/bin/tarvenix-install-settings "KernelsDir=$PWD/build/release/kernels" \
  "WorkDir=$PWD/build/release/samples"
exec build/release/bin/Tarvenix "{DisableView}{Open \"$PWD/build/release/samples/sample.rdp\"}" "$@"
