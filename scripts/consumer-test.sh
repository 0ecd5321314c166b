#!/usr/bin/env bash
# Builds examples/minimal_host as a host project of its own, against an installed rtc_service
# only, and runs it: it loads the installed plug-in and runs one operation against the adaptor
# simulator.
#
#   scripts/consumer-test.sh [prefix]
#
# Without a prefix, build/default (already built) is installed into a scratch folder, which is
# then moved elsewhere before the host is built: the installed package must not depend on where
# it was installed, nor on the source or build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The README's host code is this example's: each of its code lines is a line of main.cc.
example=$(sed 's/^[[:space:]]*//; s/[[:space:]]*$//' examples/minimal_host/main.cc)
awk '/^## Using the plug-in from a host/ { section = 1 }
     section && /^```cpp/ { code = 1; next }
     code && /^```/ { exit }
     code' README.md |
  sed 's/^[[:space:]]*//; s/[[:space:]]*\/\/.*$//; s/[[:space:]]*$//' | grep -v '^$' |
  while IFS= read -r line; do
    if ! grep -qxF -- "$line" <<<"$example"; then
      echo "README.md's host code has a line examples/minimal_host/main.cc lacks: $line" >&2
      exit 1
    fi
  done

prefix="${1:-}"
if [[ -z "$prefix" ]]; then
  cmake --install build/default --prefix "$work/installed" >/dev/null
  mv "$work/installed" "$work/moved"
  prefix="$work/moved"
fi
prefix=$(cd "$prefix" && pwd)

# Every installed library is stripped and finds its neighbours through $ORIGIN alone.
for lib in "$prefix"/lib/*.so*; do
  [[ -L "$lib" || "$lib" == *.debug ]] && continue
  runpath=$(readelf -d "$lib" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p')
  if [[ -n "$runpath" && "$runpath" != '$ORIGIN' ]]; then
    echo "$lib: run path $runpath" >&2
    exit 1
  fi
  if readelf -S "$lib" | grep -q '\.debug_info'; then
    echo "$lib still carries its debug information" >&2
    exit 1
  fi
done

cmake -S examples/minimal_host -B "$work/host" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_PACKAGE_NO_PACKAGE_REGISTRY=ON \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
if grep -q "$source_dir/\(include\|standins\|simulator\|src\|build\)" \
  "$work/host/compile_commands.json"; then
  echo "minimal_host was compiled with this source tree's folders" >&2
  exit 1
fi
cmake --build "$work/host" >/dev/null
"$work/host/minimal_host" 2>&1 | tee "$work/output"
grep -q '^GetConfDetail: conference ' "$work/output"
