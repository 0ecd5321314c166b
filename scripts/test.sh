#!/usr/bin/env bash
# Builds everything from a fresh Debian 12 machine and runs the whole test suite.
#   scripts/test.sh [preset]      (default preset: "default"; also asan, tsan, debug)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
./scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
