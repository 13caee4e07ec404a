#!/usr/bin/env bash
# Makes the README's screenshots on the bench: the launcher with a measured
# list, and the folder bar open on each game. Needs a built tree ($1, default build).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tree=${1:-$root/build}
# shellcheck source=tools/demo.sh
. "$root/tools/demo.sh"
demo_start "$tree" "$tree/shots" 90
shot() {
  "$demo_bench" screenshot --tree "$tree" "$root/docs/$1"
  convert "$root/docs/$1" -crop 640x480+192+144 +repage "$root/docs/$1"
}
view_click 49 210 5     # StarCraft "Battle.net"
xdotool mousemove $((VIEW_X + 300)) $((VIEW_Y + 100))
shot launcher.png
view_click 49 377       # "WarCraft II" header (below the open StarCraft body)
shot folder-warcraft.png
view_click 49 412       # "Diablo" header
shot folder-diablo.png
view_click 49 447       # "Diablo SW" header
shot folder-diablo-sw.png
view_click 49 164       # back to "StarCraft"
shot folder-starcraft.png
demo_exit
