#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing) and builds it.
#   scripts/setup.sh [--sanitize] [--tsan] [--fuzz]
# Build folders: build/ (normal), build-asan/ (ASan + UBSan), build-tsan/ (ThreadSanitizer),
# build-fuzz/ (clang + libFuzzer).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build pkg-config git clang-format clang libclang-rt-14-dev
          qtbase5-dev qtbase5-dev-tools libopencv-dev libopencv-contrib-dev
          libusb-1.0-0-dev libhidapi-dev libgtest-dev googletest umockdev libumockdev-dev
          xvfb xauth x11-utils xdotool imagemagick fonts-dejavu-core fonts-noto-core fonts-noto-cjk
          tesseract-ocr tesseract-ocr-eng
          dpkg-dev file desktop-file-utils appstream lintian man-db)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The all-users configuration folder, as the package makes it: root's alone (0755), so no user can
# plant a file there that another user's program reads; each user's own choice goes to their
# ~/.config/Norvale/Vexaro/config.ini. A folder left writable for everyone (1777) by an earlier
# setup is put right; the folder itself only, never through a link in its place.
if [ "$(id -u)" -eq 0 ]; then
  d=/var/lib/Norvale/Vexaro
  [ -e "$d" ] || [ -L "$d" ] || mkdir -p -m 0755 "$d"
  if [ -d "$d" ] && [ ! -L "$d" ]; then
    chown root:root "$d"
    chmod 0755 "$d"
  fi
fi

dir=build
args=(-G Ninja)
case "${1:-}" in
  --sanitize) dir=build-asan; args+=(-DVEXARO_SANITIZE=ON -DVEXARO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug) ;;
  --tsan) dir=build-tsan; args+=(-DVEXARO_TSAN=ON -DVEXARO_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  --fuzz) dir=build-fuzz; args+=(-DVEXARO_FUZZ=ON -DVEXARO_TESTS=OFF -DVEXARO_BENCH=OFF
                                 -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
esac
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" "${args[@]}" >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"
