#!/usr/bin/env bash
# Sets up a Debian 12 machine if needed, builds and opens Tarvenix on the bundled sample image.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh release
# As an installer would: the bundled kernel library, the sample's folder to work in, where the
# user has not chosen folders yet, and the 3D template that New > Templates offers.
build/release/bin/tarvenix-install-settings "KernelsDir=$PWD/build/release/kernels" \
  "WorkDir=$PWD/build/release/samples" \
  "3DTemplate=Sample relief=$PWD/build/release/templates/sample-relief.ktp"
exec build/release/bin/Tarvenix "{DisableView}{Open \"$PWD/build/release/samples/sample.rdp\"}" "$@"
