#!/usr/bin/env bash
# The sanitized suites that CI runs:
#   asan  the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer (Debug);
#   tsan  the integration and stress tests (the ones that run the module on several threads)
#         under ThreadSanitizer, building only their programs.
# Any sanitizer report fails the test that made it (the builds use -fno-sanitize-recover and the
# test presets set halt_on_error), and with it this script.
#   scripts/ci-sanitizers.sh [asan] [tsan]      (default: both, in that order)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
steps=("$@")
((${#steps[@]} > 0)) || steps=(asan tsan)
for step in "${steps[@]}"; do
  case "$step" in
    asan)
      cmake --preset asan
      cmake --build --preset asan --target tests_unit tests_integration tests_stress
      ctest --preset asan
      ;;
    tsan)
      cmake --preset tsan
      cmake --build --preset tsan --target tests_integration tests_stress
      ctest --preset tsan -L 'integration|stress'
      ;;
    *)
      echo "unknown step: $step (known: asan tsan)" >&2
      exit 2
      ;;
  esac
done
