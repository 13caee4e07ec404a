# shellcheck shell=bash
# Sourced by run.sh and screenshots.sh: the launcher on the bench of a build
# tree, in a copy of its program folder whose server lists point at the
# loopback stand-in servers (standin_servers.py) only.
#
#   demo_start TREE FOLDER SECONDS   demo_prepare, then demo_launch
#   demo_prepare TREE FOLDER         copy the folder, start the servers and the bench
#   demo_launch SECONDS              start the launcher (in the background) and wait
#                                    for its window
#   view_click X Y [PAUSE]           click at (X, Y) of the launcher's view
#   view_point NAME                  "X Y", the middle of a rectangle of launcher/Layout.inc
#   demo_window TITLE                the X window of the visible window with that
#                                    caption, waited for
#   demo_exit                        press Exit and wait for the launcher to end
# demo_end (an EXIT trap) stops the servers and the bench.

demo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
demo_bench=$demo_root/tools/bench
demo_tree="" demo_servers_pid="" demo_launcher="" demo_bench_started=""

# Copies the program folder $1 to $2 with stand-in server lists (code page 949).
demo_folder() {
  rm -rf "$2"
  mkdir -p "$2"
  cp -r "$1"/. "$2"/
  /usr/bin/python3 - "$2" <<'PY'
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
}

demo_servers() {
  /usr/bin/python3 "$demo_root/tools/standin_servers.py" &
  demo_servers_pid=$!
  trap demo_end EXIT
  sleep 0.5
}

demo_end() {
  [ -z "$demo_servers_pid" ] || kill "$demo_servers_pid" 2>/dev/null
  [ -z "$demo_bench_started" ] || "$demo_bench" stop --tree "$demo_tree" >/dev/null 2>&1
}

demo_prepare() {
  demo_tree=$1 demo_run=$2
  demo_folder "$demo_tree/dist" "$demo_run"
  demo_servers
  demo_bench_started=1
  "$demo_bench" start --tree "$demo_tree"
  DISPLAY=$("$demo_bench" display --tree "$demo_tree")
  export DISPLAY
}

demo_launch() {
  "$demo_bench" run --tree "$demo_tree" --timeout "$1" -- "$demo_run/Orvn.exe" &
  demo_launcher=$!
  demo_window Orvane >/dev/null
  sleep 1   # the first paint
}

demo_start() {
  demo_prepare "$1" "$2"
  demo_launch "$3"
}

demo_window() {
  local w _
  for _ in $(seq 1 300); do
    for w in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
      echo "$w"
      return 0
    done
    sleep 0.2
  done
  echo "demo: no window $1" >&2
  return 1
}

# The view's client area on the 1024x768 screen: the centred 640x480 frame at
# (192, 144), plus its border and sunken edge.
VIEW_X=195 VIEW_Y=147

view_point() {
  /usr/bin/python3 "$demo_root/tools/gen_assets/layout.py" centre "$1"
}

view_click() {
  xdotool mousemove $((VIEW_X + $1)) $((VIEW_Y + $2)) click 1
  sleep "${3:-1}"
}

demo_exit() {
  # The "Exit" button; hover first, as a hand would.
  local x y
  read -r x y < <(view_point ExitButton)
  xdotool mousemove $((VIEW_X + x - 20)) $((VIEW_Y + y))
  sleep 0.3
  view_click "$x" "$y" 0
  wait "$demo_launcher" || true
}
