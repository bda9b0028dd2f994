#!/usr/bin/env bash
# Sets up, builds and runs every test: offscreen, on a private session bus.
#   scripts/test.sh              the normal build (build/)
#   scripts/test.sh --sanitize   with AddressSanitizer and UBSan (build-sanitize/)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"

options=()
if [ "${1:-}" = "--sanitize" ]; then
  export BUILD_DIR="${BUILD_DIR:-$root/build-sanitize}"
  export BUILD_TYPE=Debug
  options+=(-DTAVRILO_SANITIZE=ON)
fi
export BUILD_DIR="${BUILD_DIR:-$root/build}"
"$root/scripts/build.sh" "${options[@]}"

export QT_QPA_PLATFORM=offscreen
cd "$BUILD_DIR"
dbus-run-session -- ctest --output-on-failure --parallel "$(nproc)" --timeout 300
