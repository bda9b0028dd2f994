#!/usr/bin/env bash
# Builds Tavrilo and grabs the main window (idle, calling, in a conference) on
# the engine's demo service, offscreen, into docs/.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
export BUILD_DIR="${BUILD_DIR:-$root/build}"
"$root/scripts/build.sh"
QT_QPA_PLATFORM=offscreen "$BUILD_DIR/bin/krshots" "$root/docs"
