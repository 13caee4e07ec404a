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

tree=$root/build
bench=$root/tools/bench
run=$tree/demo
"$root/tools/demo_folder.sh" "$tree/dist" "$run"

/usr/bin/python3 "$root/tools/standin_servers.py" &
servers=$!
trap 'kill $servers 2>/dev/null; [ -n "${own:-}" ] || "$bench" stop --tree "$tree" >/dev/null 2>&1' EXIT
sleep 0.5

if [ -n "${DISPLAY:-}" ]; then
  own=1
  echo "run: starting the launcher on $DISPLAY (press Exit to end)"
  ORVN_OWN_DISPLAY=1 "$bench" run --tree "$tree" --timeout 3600 -- "$run/Orvn.exe"
  exit 0
fi

"$bench" start --tree "$tree"
eval "$("$bench" env --tree "$tree")"
"$bench" run --tree "$tree" --timeout 60 -- "$run/Orvn.exe" &
launcher=$!
sleep 4
# The frame sits at (192, 144); the view's client area starts 3 pixels in
# (border and sunken edge). The open StarCraft folder's "Battle.net" tile is at
# (49, 210) of the view.
xdotool mousemove $((192 + 3 + 49)) $((144 + 3 + 210)) click 1
sleep 5
"$bench" screenshot --tree "$tree" "$tree/launcher.png"
echo "run: screenshot saved to $tree/launcher.png"
# The "Exit" button at (537, 435)-(625, 470) of the view.
xdotool mousemove $((192 + 3 + 560)) $((144 + 3 + 452))
sleep 0.3
xdotool mousemove $((192 + 3 + 581)) $((144 + 3 + 452)) click 1
wait $launcher || true
echo "run: launcher ended"
