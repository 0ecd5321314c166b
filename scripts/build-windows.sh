#!/usr/bin/env bash
# Cross-builds the 32-bit Windows DLLs with MinGW-w64: rtc_service.dll and the stand-ins
# basefx.dll, metrix.dll and nexo.dll, and the test programs (built, not run: there is no
# Windows here). The build fails when the plug-in's export table holds anything but GetIPlugin
# (plain name) and the exported framework classes. The DLLs are then gathered with the C++
# runtime DLLs they load into build/mingw32/dist, ready to copy next to a Windows host.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh mingw32
cmake --preset mingw32
cmake --build --preset mingw32

build=build/mingw32
dist="$build/dist"
rm -rf "$dist"
mkdir -p "$dist"
cp "$build/src/rtc_service.dll" "$build"/standins/{basefx,metrix,nexo}/*.dll "$dist/"
compiler=i686-w64-mingw32-g++-posix
for runtime in libstdc++-6.dll libgcc_s_dw2-1.dll libwinpthread-1.dll; do
  path=$("$compiler" -print-file-name="$runtime")
  if [[ ! -f "$path" ]]; then
    echo "runtime DLL $runtime not found" >&2
    exit 1
  fi
  cp "$path" "$dist/"
done

# Every DLL that a module of dist imports is either in dist or part of Windows.
missing=0
for dll in "$dist"/*.dll; do
  while read -r needed; do
    case "${needed,,}" in
      kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | ws2_32.dll) ;;
      *)
        if [[ ! -f "$dist/$needed" ]]; then
          echo "$(basename "$dll") needs $needed, which is not in $dist" >&2
          missing=1
        fi
        ;;
    esac
  done < <(i686-w64-mingw32-objdump -p "$dll" | sed -n 's/^\tDLL Name: //p')
done
((missing == 0))

exports=$(grep -c . "$build/src/rtc_service.dll.exports")
echo "rtc_service.dll: GetIPlugin and $((exports - 1)) framework-class exports; in $dist:"
ls -1 "$dist"
