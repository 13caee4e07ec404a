#!/usr/bin/env bash
# The main job: installs what is missing, builds, and starts the launcher
# against local stand-in servers. On your own X display (DISPLAY set) the
# launcher stays until you press Exit; otherwise it runs on the bench's Xvfb,
# picks the StarCraft "Battle.net" group, waits for the measurement, saves a
# screenshot to build/launcher.png and ends.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh" "$root/build"
# shellcheck source=tools/demo.sh
. "$root/tools/demo.sh"
tree=$root/build

if [ -n "${DISPLAY:-}" ]; then
  demo_folder "$tree/dist" "$tree/demo"
  demo_servers
  echo "run: starting the launcher on $DISPLAY (press Exit to end)"
  ORVN_OWN_DISPLAY=1 "$demo_bench" run --tree "$tree" --timeout 3600 -- "$tree/demo/Orvn.exe"
  exit 0
fi

demo_start "$tree" "$tree/demo" 60
view_click 49 210 5     # the open StarCraft folder's "Battle.net" tile
"$demo_bench" screenshot --tree "$tree" "$tree/launcher.png"
echo "run: screenshot saved to $tree/launcher.png"
demo_exit
echo "run: launcher ended"
