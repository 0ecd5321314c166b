#!/usr/bin/env bash
# The whole test suite again, built for 32-bit x86 Linux (g++ -m32, GoogleTest compiled from
# Debian's sources inside the build, no benchmarks). Installs what is missing first, like
# scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh linux32
cmake --preset linux32
cmake --build --preset linux32
ctest --preset linux32
