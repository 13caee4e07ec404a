#!/usr/bin/env bash
# Makes the README's pictures in docs/ on the bench of a built tree.
#
#   tools/screenshots.sh [--tree T] VERB...
#
#   launcher    the launcher with a measured list, and the folder bar open on each game
#   setup       the setup sheet's two pages and the server edit dialog
#   installer   the installer's pages, clicked through in a fresh copy of the prefix
#   updater     start.exe during a download from the stand-in update server, in a fresh copy
#   all         every one of them
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/arch.sh"
tree=$(orvn_tree "$(orvn_arch)")
if [ "${1:-}" = --tree ]; then tree=$(cd "$2" && pwd); shift 2; fi
[ $# -gt 0 ] || { sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
docs=$root/docs
# shellcheck source=tools/demo.sh
. "$root/tools/demo.sh"

# Saves the screen as docs/$1, cropped to WxH+X+Y ($2).
shot() {
  import -display "$DISPLAY" -window root "png:$docs/$1"
  convert "$docs/$1" -crop "$2" +repage "$docs/$1"
  echo "screenshots: docs/$1"
}
# The geometry (WxH+X+Y) of an X window.
geometry() {
  local X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  echo "${WIDTH}x${HEIGHT}+${X}+${Y}"
}

# The launcher's frame: 640x480, centred on the 1024x768 screen.
launcher_shots() {
  demo_start "$tree" "$tree/shots" 120
  view_click 49 210 5     # StarCraft "Battle.net": measured and sorted
  xdotool mousemove $((VIEW_X + 300)) $((VIEW_Y + 100))
  shot launcher.png 640x480+192+144
  view_click 49 377       # "WarCraft II" header (below the open StarCraft body)
  shot folder-warcraft.png 640x480+192+144
  view_click 49 412       # "Diablo" header
  shot folder-diablo.png 640x480+192+144
  view_click 49 447       # "Diablo SW" header
  shot folder-diablo-sw.png 640x480+192+144
  view_click 49 164       # back to "StarCraft"
  shot folder-starcraft.png 640x480+192+144
  demo_exit
  demo_end
}

# The setup sheet over a player's own servers and installed games.
setup_shots() {
  demo_prepare "$tree" "$tree/shots"
  /usr/bin/python3 - "$tree/shots/User.txt" "$tree/wineprefix/drive_c/windows/Orvn.INI" <<'PY'
import sys
servers = ["우리집 서버,127.0.0.1", "동네 PC방,192.168.0.10", "길드 서버,211.36.1.5"]
open(sys.argv[1], "wb").write("".join(s + "\r\n" for s in servers).encode("cp949"))
paths = {"StarCraft": r"C:\Program Files\StarCraft\StarCraft.exe",
         "WarCraft II BNE": r"C:\Program Files\Warcraft II BNE\Warcraft II BNE.exe",
         "Diablo": r"C:\Diablo\Diablo.exe", "Diablo SW": r"C:\Diablo\Spawn\Diablo_s.exe"}
open(sys.argv[2], "wb").write(("[ProgramPath]\r\n" + "".join(f"{k}={v}\r\n" for k, v in paths.items())).encode("cp949"))
PY
  # The games' gateway list as a launch leaves it: the player's own gateway, then ours, selected.
  local gateways='HKCU\Software\Battle.net\Configuration'
  "$demo_bench" run --tree "$tree" --timeout 60 reg add "$gateways" /v "Battle.net Gateways" /t REG_MULTI_SZ \
    /d '1001\002\0useast.battle.net\06\0Global USEast\0127.0.0.1\0-9\0우리집 서버' /f >/dev/null
  demo_launch 120
  view_click $(view_point SetupButton)   # Setup
  local sheet
  sheet=$(demo_window 환경설정)
  eval "$(xdotool getwindowgeometry --shell "$sheet" | grep -E '^(X|Y)=')"
  # Clicks a point of the sheet (its window coordinates).
  sheet_click() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; sleep 1; }
  sheet_click 150 90                                  # the first server
  shot setup-servers.png "$(geometry "$sheet")"
  sheet_click 415 120                                 # Edit...
  shot setup-edit.png "$(geometry "$(demo_window 편집)")"
  xdotool key Escape; sleep 0.5
  sheet_click 150 40                                  # the program page's tab
  shot setup-programs.png "$(geometry "$sheet")"
  xdotool key Escape; sleep 0.5
  demo_exit
  "$demo_bench" run --tree "$tree" --timeout 60 reg delete "$gateways" /v "Battle.net Gateways" /f >/dev/null
  demo_end
}

# Inside a fresh copy of the prefix: the installer's pages, clicked through.
installer_pages() {
  wine "$tree/setup/OrvaneSetup.exe" &
  local setup=$! win
  win=$(demo_window 'Orvane 설치')
  sleep 1.5
  shot installer-welcome.png "$(geometry "$win")"
  xdotool key Return        # 다음
  sleep 1.5
  shot installer-folder.png "$(geometry "$win")"
  xdotool key Return        # 설치: the page stays, complete, until 다음
  sleep 1.5
  shot installer-progress.png "$(geometry "$win")"
  xdotool key Return        # 다음
  sleep 1.5
  shot installer-finish.png "$(geometry "$win")"
  xdotool key alt+r Return  # clear "Orvane 실행하기", 마침
  wait $setup
}

# Inside a fresh copy of the prefix: start.exe fetching a release from the
# stand-in update server (as its proxy), shot while the progress dialog shows.
updater_download() {
  local release=$tree/shots-release port _
  rm -rf "$release"; mkdir -p "$release"
  demo_folder "$tree/dist" "$tree/shots-release.tmp"
  cp "$tree/shots-release.tmp/Blizzard.txt" "$tree/shots-release.tmp/Free.txt" "$release/"
  rm -rf "$tree/shots-release.tmp"
  # A notice big enough that its slow download (1 KB every 20 ms) can be watched.
  head -c 300000 /dev/zero | tr '\0' '.' >"$release/Notice.txt"
  /usr/bin/python3 - "$release" <<'PY'
import os, sys
folder = sys.argv[1]
names = ["Blizzard.txt", "Free.txt", "Notice.txt"]
lines = ["[Count]", "Total=%d" % len(names)]
for i, name in enumerate(names, 1):
    size = os.path.getsize(os.path.join(folder, name))
    lines += ["[File%d]" % i, "Filename=" + name, "Fileversion=2", "Filesize=%d" % size]
open(os.path.join(folder, "version.ini"), "w").write("\r\n".join(lines) + "\r\n")
PY
  rm -f "$release.port"
  /usr/bin/python3 "$root/tools/update_server.py" --root "$release" --port-file "$release.port" \
    --fault Notice.txt=slow --max-seconds 120 >/dev/null &
  local server=$!
  for _ in $(seq 1 100); do [ -s "$release.port" ] && break; sleep 0.1; done
  read -r port _ <"$release.port"
  wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' /v ProxyServer /d "127.0.0.1:$port" /f >/dev/null 2>&1
  local folder=$tree/shots-updater
  rm -rf "$folder"; cp -r "$tree/dist" "$folder"
  wine "$folder/start.exe" &
  local updater=$! dialog frame
  dialog=$(demo_window 다운로드)
  frame=$(demo_window Start)
  sleep 2
  # Both windows, the dialog over the updater's skin.
  local box
  box=$(/usr/bin/python3 - "$(geometry "$frame")" "$(geometry "$dialog")" <<'PY'
import re, sys
rects = [tuple(map(int, re.match(r"(\d+)x(\d+)\+(-?\d+)\+(-?\d+)", g).groups())) for g in sys.argv[1:]]
x0 = min(x for w, h, x, y in rects); y0 = min(y for w, h, x, y in rects)
x1 = max(x + w for w, h, x, y in rects); y1 = max(y + h for w, h, x, y in rects)
print(f"{x1 - x0}x{y1 - y0}+{x0}+{y0}")
PY
)
  shot updater.png "$box"
  kill $server 2>/dev/null || true
  wineserver -k
  wait $updater 2>/dev/null || true
  rm -rf "$release" "$release.port" "$folder"
}

in_fresh_prefix() {
  "$root/tools/fresh_prefix.sh" --tree "$tree" --timeout 300 -- "$0" --tree "$tree" "$1"
}

for verb in "$@"; do
  case "$verb" in
    launcher) launcher_shots ;;
    setup) setup_shots ;;
    installer) in_fresh_prefix _installer_pages ;;
    updater) in_fresh_prefix _updater_download ;;
    all)
      launcher_shots
      setup_shots
      in_fresh_prefix _installer_pages
      in_fresh_prefix _updater_download ;;
    # Run by fresh_prefix.sh, inside the copy.
    _installer_pages) installer_pages ;;
    _updater_download) updater_download ;;
    *) echo "screenshots: unknown verb $verb (launcher, setup, installer, updater, all)" >&2; exit 2 ;;
  esac
done
