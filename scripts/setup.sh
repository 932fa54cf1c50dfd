#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the tools need. Run as root (or
# with sudo available); without either it names what is missing and stops, and someone who
# can must install that (README: "Without root or sudo"). Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake g++ clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev libsndfile1-dev libsamplerate0-dev libcairo2-dev
  sox valgrind locales pkgconf
  libfontconfig-dev dpkg-dev
  libjack-jackd2-dev jackd2 libx11-dev xvfb xdotool x11-utils imagemagick
  lv2-dev liblilv-dev lilv-utils sordi jalv
)

can_act_as_root() { [ "$(id -u)" -eq 0 ] || command -v sudo >/dev/null; }

# Runs a command as root; without root or sudo, says what to run as root and stops.
as_root() {
  if ! can_act_as_root; then
    echo "setup.sh: neither root nor sudo; as root, run: $*" >&2
    exit 1
  fi
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  can_act_as_root || as_root apt-get install "${missing[@]}"
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

# A decimal-comma locale, so the tests can show that shape texts parse the same under it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
