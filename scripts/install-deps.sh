#!/usr/bin/env bash
# Installs the Debian packages the trainer needs to build and run; with
# --tests also those that only the tests, benchmarks and checks need.
set -euo pipefail

# Building and running the trainer and the renderer.
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-qpa-plugins libqt6sql6-sqlite
  libpulse-dev libsndfile1-dev libsamplerate0-dev
  fonts-dejavu-core fonts-liberation2
)

# Only for scripts/test.sh: test and benchmark libraries, sanitizers and
# fuzzing, a sound server and a display for the tests, decoders for the
# renderer's output, the package checks and a renderer to compare with.
test_packages=(
  clang libclang-rt-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  pulseaudio pulseaudio-utils
  xvfb xauth x11-utils xdotool imagemagick
  sox libsox-fmt-all opus-tools
  dpkg-dev file lintian desktop-file-utils appstream
  ebook2cw python3 stress-ng
)

case "${1:-}" in
  --tests) packages+=("${test_packages[@]}") ;;
  "") ;;
  *) echo "usage: $0 [--tests]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "These Debian packages are missing: ${missing[*]}" >&2
    echo "Install them as root, for example:" >&2
    echo "  su -c 'apt-get install ${missing[*]}'" >&2
    exit 1
  fi
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
