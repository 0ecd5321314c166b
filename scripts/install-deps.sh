#!/usr/bin/env bash
# Installs the Debian packages the build and the test suite need. Safe to run again:
# packages that are already present are left alone, and apt is only touched when
# something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  rapidjson-dev        # the module's one library dependency (JSON conversion of models)
  libmsgpack-cxx-dev   # test-only oracle and benchmark peer
  libexpat1-dev        # test-only: the demo tests parse the trace page's SVG
  clang-14 libclang-rt-14-dev  # libFuzzer targets
  clang-format
  dpkg-dev             # CPack's Debian packages (dpkg-shlibdeps)
)
# Optional groups, named on the command line (scripts/install-deps.sh linux32 mingw32):
#   linux32  the 32-bit Linux build: the multilib compilers, GoogleTest's sources (Debian has no
#            32-bit GoogleTest libraries for this machine, so the build compiles them), and
#            qemu's user-mode emulator for kernels that cannot start 32-bit programs
#   mingw32  the 32-bit Windows cross-build: MinGW-w64 for i686 with posix threads
for group in "$@"; do
  case "$group" in
    linux32) packages+=(g++-multilib googletest qemu-user) ;;
    mingw32) packages+=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686 googletest) ;;
    *)
      echo "unknown package group: $group (known: linux32 mingw32)" >&2
      exit 2
      ;;
  esac
done
# Any other packages a caller wants: RTC_EXTRA_PACKAGES="gdb valgrind"
if [[ -n "${RTC_EXTRA_PACKAGES:-}" ]]; then
  read -r -a extra <<<"${RTC_EXTRA_PACKAGES}"
  packages+=("${extra[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "installing: ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
