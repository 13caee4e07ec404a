#!/usr/bin/env bash
# Installs every Debian package the build and the tests need, when missing.
# Does nothing when all is there. Needs root (or sudo) only when it installs.
set -eu

packages=(
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 cmake ninja-build googletest
  wine wine32:i386 wine64 xvfb fonts-nanum locales pulseaudio pulseaudio-utils
  imagemagick x11-utils xdotool python3 python3-cryptography openssl python3-pil python3-numpy sox iproute2 nsis fonts-wine
)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then as_root dpkg --add-architecture i386; fi
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
