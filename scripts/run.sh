#!/usr/bin/env bash
# Sets up, builds and starts the Tavrilo client; arguments go to the client
# (for example /m to start hidden).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
exec "${BUILD_DIR:-$root/build}/bin/Tavrilo" "$@"
