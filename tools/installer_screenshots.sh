#!/usr/bin/env bash
# Makes the README's pictures of the installer's pages (welcome, folder,
# progress, finish) by clicking through a real installation in a fresh copy
# of the bench prefix. Needs a built tree ($1, default build) with
# setup/OrvaneSetup.exe; writes docs/installer-*.png.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tree=${1:-$root/build}

if [ "${ORVN_INSIDE_FRESH_PREFIX:-}" != 1 ]; then
  ORVN_INSIDE_FRESH_PREFIX=1 exec "$root/tools/fresh_prefix.sh" --tree "$tree" --timeout 300 --decorated -- "$0" "$tree"
fi

wine "$tree/setup/OrvaneSetup.exe" &
setup=$!
win=""
for _ in $(seq 1 150); do
  win=$(xdotool search --name 'Orvane 설치' 2>/dev/null | head -1) && [ -n "$win" ] && break
  sleep 0.2
done
[ -n "$win" ] || { echo "installer_screenshots: the installer window did not appear" >&2; exit 1; }

shot() {
  sleep 1.5
  local X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$win" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  import -display "$DISPLAY" -window root "png:$root/docs/$1"
  convert "$root/docs/$1" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$root/docs/$1"
  echo "installer_screenshots: docs/$1"
}
shot installer-welcome.png
xdotool key Return        # 다음
shot installer-folder.png
xdotool key Return        # 설치: the page stays, complete, until 다음
shot installer-progress.png
xdotool key Return        # 다음
shot installer-finish.png
xdotool key alt+r Return  # clear "Orvane 실행하기", 마침
wait $setup
