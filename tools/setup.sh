#!/usr/bin/env bash
# Installs every Debian package the build and the tests need, when missing.
# Does nothing when all is there. Needs root (or sudo) only when it installs.
# Both MinGW-w64 toolchains are installed (each tree builds the other
# architecture too); Wine's 32-bit loader (wine32:i386) only where the kernel
# runs 32-bit code, which is where the i686 programs are tested.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/arch.sh
. "$root/tools/arch.sh"

packages=(
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  cmake ninja-build googletest
  wine wine64 xvfb fonts-nanum locales pulseaudio pulseaudio-utils
  imagemagick x11-utils xdotool python3 python3-cryptography openssl python3-pil python3-numpy sox iproute2 nsis fonts-wine
)
i386=0
if orvn_host_runs_i386; then
  i386=1
  packages+=(wine32:i386)
else
  echo "setup: this kernel runs no 32-bit code: Wine's 32-bit loader is not installed, the bench runs x86_64 programs"
fi

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [ $i386 = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then as_root dpkg --add-architecture i386; fi
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The bench runs Wine in a Korean locale.
if ! locale -a 2>/dev/null | grep -qi '^ko_KR\.utf8$'; then
  echo "setup: generating ko_KR.UTF-8"
  as_root sed -i 's/^# *ko_KR.UTF-8 UTF-8/ko_KR.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ko_KR.UTF-8 UTF-8' /etc/locale.gen || echo 'ko_KR.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi
exit 0
