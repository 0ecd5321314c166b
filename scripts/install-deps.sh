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
  clang-14 libclang-rt-14-dev  # libFuzzer targets
  clang-format
)
# Extra groups a caller can ask for: RTC_EXTRA_PACKAGES="g++-multilib ..."
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
