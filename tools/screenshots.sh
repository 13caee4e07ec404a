#!/usr/bin/env bash
# Makes the README's screenshots on the bench: the launcher with a measured
# list, and the folder bar open on each game. Needs a built tree ($1, default build).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tree=${1:-$root/build}
bench=$root/tools/bench
run=$tree/shots
"$root/tools/demo_folder.sh" "$tree/dist" "$run"
/usr/bin/python3 "$root/tools/standin_servers.py" &
servers=$!
trap 'kill $servers 2>/dev/null; "$bench" stop --tree "$tree" >/dev/null 2>&1' EXIT
"$bench" start --tree "$tree"
eval "$("$bench" env --tree "$tree")"
"$bench" run --tree "$tree" --timeout 90 -- "$run/Orvn.exe" &
launcher=$!
sleep 4
# View client origin on the 1024x768 screen: frame (192, 144) plus 3 pixels.
vx=195 vy=147
click() { xdotool mousemove $((vx + $1)) $((vy + $2)) click 1; sleep "${3:-1}"; }
shot() { "$bench" screenshot --tree "$tree" "$root/docs/$1"; convert "$root/docs/$1" -crop 640x480+192+144 +repage "$root/docs/$1"; }
click 49 210 5          # StarCraft "Battle.net"
xdotool mousemove $((vx + 300)) $((vy + 100))
shot launcher.png
click 49 377 1          # "WarCraft II" header (below the open StarCraft body)
shot folder-warcraft.png
click 49 412 1          # "Diablo" header
shot folder-diablo.png
click 49 447 1          # "Diablo SW" header
shot folder-diablo-sw.png
click 49 164 1          # back to "StarCraft"
shot folder-starcraft.png
xdotool mousemove $((vx + 560)) $((vy + 452)); sleep 0.3
click 581 452 1         # Exit
wait $launcher || true
