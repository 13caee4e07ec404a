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
rm -rf "$run"
mkdir -p "$run"
cp -r "$tree"/dist/. "$run"/

# Stand-in lists (code page 949) that point at loopback only.
/usr/bin/python3 - "$run" <<'PY'
import sys, os
run = sys.argv[1]
lists = {
    "Blizzard.txt": ["서울 로컬,127.0.0.1", "부산 (거부),127.0.0.2", "응답 없는 서버,127.0.0.3", "대전 로컬,127.0.0.1"],
    "Free.txt": ["무료 로컬,127.0.0.1", "무료 응답 없음,127.0.0.3"],
    "User.txt": ["내 서버,127.0.0.2"],
}
for name, lines in lists.items():
    with open(os.path.join(run, name), "wb") as f:
        f.write("".join(l + "\r\n" for l in lines).encode("cp949"))
PY

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
