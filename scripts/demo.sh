#!/usr/bin/env bash
# Installs what is missing, builds what the demo needs (the plug-in, the stand-ins, the adaptor
# simulator and rtc_demo) and runs the built-in session. Arguments go to rtc_demo:
#   scripts/demo.sh --trace session.html
#   scripts/demo.sh --script my-session.txt --fault 'startRecord:error(503)'
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh >&2
if [[ ! -f build/default/CMakeCache.txt ]]; then
  cmake --preset default >/dev/null
fi
cmake --build build/default --target rtc_demo >&2
exec build/default/host/demo/rtc_demo "$@"
