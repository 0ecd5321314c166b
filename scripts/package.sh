#!/usr/bin/env bash
# Packages of the Linux build, and the proof that a host can use them:
#  1. the consumer test against `cmake --install` of build/default (scripts/consumer-test.sh);
#  2. CPack's Debian packages (build/default/packages: rtc-service, rtc-service-dev,
#     rtc-service-standins, rtc-service-dbg), extracted into an empty root, where
#     examples/minimal_host is built once through the CMake package (the consumer test) and once
#     through pkg-config, and run;
#  3. the contents and size of each package.
# Reuses build/default as scripts/test.sh left it (building what is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
build=build/default
[[ -f "$build/CMakeCache.txt" ]] || cmake --preset default
cmake --build "$build"

./scripts/consumer-test.sh

rm -rf "$build/packages"
(cd "$build" && cpack -G DEB >/dev/null)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"
mkdir -p "$root"
for deb in "$build"/packages/*.deb; do
  dpkg-deb -x "$deb" "$root"
done

# Each stripped library names its .debug file, and the debug package puts it beside the library.
for lib in "$root"/usr/lib/*.so*; do
  [[ -L "$lib" || "$lib" == *.debug ]] && continue
  link=$(readelf --string-dump=.gnu_debuglink "$lib" | sed -n 's/^ *\[ *0\] *//p')
  if [[ ! -f "$(dirname "$lib")/$link" ]]; then
    echo "$lib: debuglink '$link' not found beside it" >&2
    exit 1
  fi
done

./scripts/consumer-test.sh "$root/usr"

# A host that does not use CMake: the same example through pkg-config.
export PKG_CONFIG_PATH="$root/usr/lib/pkgconfig"
plugin=$(pkg-config --variable=plugin rtc_service)
read -r -a flags <<<"$(pkg-config --cflags --libs rtc_service_standins)"
g++ -std=c++17 -o "$work/minimal_host" examples/minimal_host/main.cc "${flags[@]}" \
  -DRTC_PLUGIN_PATH="\"$plugin\"" -Wl,-rpath,"$root/usr/lib" -ldl
"$work/minimal_host" | grep '^GetConfDetail: conference '

for deb in "$build"/packages/*.deb; do
  echo "== $(basename "$deb"): $(stat -c %s "$deb") bytes"
  dpkg-deb -f "$deb" Package Version Architecture Depends Suggests | sed 's/^/   /'
  dpkg -c "$deb"
done
