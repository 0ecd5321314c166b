#!/usr/bin/env bash
# Cross-builds the 32-bit Windows DLLs with MinGW-w64: rtc_service.dll, the stand-ins
# basefx.dll, metrix.dll and nexo.dll, the adaptor simulator, and the test programs (built, not
# run: there is no Windows here). The build fails when the plug-in's export table holds anything
# but GetIPlugin (plain name) and the exported framework classes. The DLLs are then installed,
# stripped, with the C++ runtime DLLs they load into build/mingw32/dist/bin, ready to copy next
# to a Windows host, and CPack makes the ZIPs of cmake/packaging.cmake in build/mingw32/packages.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh mingw32
cmake --preset mingw32
cmake --build --preset mingw32

build=build/mingw32
dist="$build/dist"
rm -rf "$dist"
for component in runtime standins; do
  cmake --install "$build" --prefix "$(pwd)/$dist" --component "$component" >/dev/null
done
bin="$dist/bin"

# Every DLL that a module of dist imports is either in dist or part of Windows.
missing=0
for dll in "$bin"/*.dll; do
  while read -r needed; do
    case "${needed,,}" in
      kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | ws2_32.dll) ;;
      *)
        if [[ ! -f "$bin/$needed" ]]; then
          echo "$(basename "$dll") needs $needed, which is not in $bin" >&2
          missing=1
        fi
        ;;
    esac
  done < <(i686-w64-mingw32-objdump -p "$dll" | sed -n 's/^\tDLL Name: //p')
done
((missing == 0))

exports=$(grep -c . "$build/src/rtc_service.dll.exports")
echo "rtc_service.dll: GetIPlugin and $((exports - 1)) framework-class exports; in $bin:"
ls -1 "$bin"

# The ZIPs for Windows hosts: DLLs, headers and CMake package; and their debug information.
rm -rf "$build/packages"
(cd "$build" && cpack -G ZIP >/dev/null)
for zip in "$build"/packages/*.zip; do
  echo "$zip: $(stat -c %s "$zip") bytes"
done
