#!/usr/bin/env bash
# Sets up, builds optimised (build-bench/) and runs every benchmark; arguments
# go to each benchmark (for example --benchmark_filter=ReadUserList).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
export BUILD_DIR="${BUILD_DIR:-$root/build-bench}" BUILD_TYPE=Release
"$root/scripts/build.sh" -DTAVRILO_BENCH=ON
for bench in "$BUILD_DIR"/bin/bench_*; do
  echo "== $(basename "$bench")"
  QT_QPA_PLATFORM=offscreen "$bench" "$@"
done
