#!/usr/bin/env bash
# Makes the README's pictures of the setup sheet on the bench: the user server
# page, the server edit dialog and the program page. Needs a built tree ($1,
# default build).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tree=${1:-$root/build}
bench=$root/tools/bench
run=$tree/shots-setup
"$root/tools/demo_folder.sh" "$tree/dist" "$run"
/usr/bin/python3 - "$run" <<'PY'
import sys, os
servers = ["우리집 서버,127.0.0.1", "동네 PC방,192.168.0.10", "길드 서버,211.36.1.5"]
with open(os.path.join(sys.argv[1], "User.txt"), "wb") as f:
    f.write("".join(s + "\r\n" for s in servers).encode("cp949"))
PY
trap '"$bench" stop --tree "$tree" >/dev/null 2>&1' EXIT
"$bench" start --tree "$tree"
eval "$("$bench" env --tree "$tree")"
# The bench has no window manager: Wine draws the dialogs' captions itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
# Program paths as an installed system would have them.
/usr/bin/python3 - "$WINEPREFIX/drive_c/windows/Orvn.INI" <<'PY'
import sys
paths = {"StarCraft": r"C:\Program Files\StarCraft\StarCraft.exe",
         "WarCraft II BNE": r"C:\Program Files\Warcraft II BNE\Warcraft II BNE.exe",
         "Diablo": r"C:\Diablo\Diablo.exe", "Diablo SW": r"C:\Diablo\Spawn\Diablo_s.exe"}
with open(sys.argv[1], "wb") as f:
    f.write(("[ProgramPath]\r\n" + "".join(f"{k}={v}\r\n" for k, v in paths.items())).encode("cp949"))
PY
"$bench" run --tree "$tree" --timeout 90 -- "$run/Orvn.exe" &
launcher=$!
vx=195 vy=147
# The visible window titled $1, waited for.
window() {
  local w i
  for i in $(seq 50); do
    for w in $(xdotool search --onlyvisible --name '.*' 2>/dev/null); do
      [ "$(xdotool getwindowname "$w")" = "$1" ] && { echo "$w"; return; }
    done
    sleep 0.3
  done
  echo "no window $1" >&2; return 1
}
# Saves the window titled $1 as docs/$2.
shot() {
  local id; id=$(window "$1")
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$id")"
  "$bench" screenshot --tree "$tree" "$root/docs/$2"
  convert "$root/docs/$2" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$root/docs/$2"
}
window Orvane >/dev/null; sleep 2
xdotool mousemove $((vx + 489)) $((vy + 452)) click 1; sleep 2   # Setup
eval "$(xdotool getwindowgeometry --shell "$(window 환경설정)")"
sheetx=$X sheety=$Y
# Clicks a point of the sheet (its window coordinates); the pointer then rests
# on the sheet's caption, where keys still reach it (no window manager).
sheet_click() {
  xdotool mousemove $((sheetx + $1)) $((sheety + $2)); sleep 0.3
  xdotool mousedown 1; sleep 0.1; xdotool mouseup 1; sleep 1
  xdotool mousemove $((sheetx + 110)) $((sheety + 9))
}
sheet_click 150 90                                               # the first server
shot 환경설정 setup-servers.png
sheet_click 415 120                                              # Edit...
shot 편집 setup-edit.png
xdotool key Escape; sleep 0.5
sheet_click 150 40                                               # the program page's tab (the
sheet_click 150 40                                               # first click after the dialog is lost)
shot 환경설정 setup-programs.png
xdotool key Escape; sleep 0.5
xdotool mousemove $((vx + 581)) $((vy + 452)) click 1            # Exit
wait $launcher || true
