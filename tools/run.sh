#!/usr/bin/env bash
# The main job: installs what is missing, builds, and starts the updater
# start.exe against a local stand-in update server, which brings a newer
# "Free.txt"; the updater then starts the launcher against local stand-in servers. On your own X display (DISPLAY set) the
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

# A release on the stand-in update server: a "Free.txt" with one more server,
# under a version that differs from the one recorded by the last run.
update_server() {
  local release=$tree/demo-release
  rm -rf "$release"
  mkdir -p "$release"
  /usr/bin/python3 - "$release" <<'PY'
import os, sys, time
release = sys.argv[1]
lines = ["무료 로컬,127.0.0.1", "무료 응답 없음,127.0.0.3", "업데이트로 온 서버,127.0.0.1"]
data = "".join(l + "\r\n" for l in lines).encode("cp949")
open(os.path.join(release, "Free.txt"), "wb").write(data)
open(os.path.join(release, "version.ini"), "w").write(
    "[Count]\r\nTotal=1\r\n[File1]\r\nFilename=Free.txt\r\nFileversion=%d\r\nFilesize=%d\r\n" % (time.time(), len(data)))
PY
  /usr/bin/python3 "$root/tools/update_server.py" --root "$release" --port-file "$release/port" --max-seconds 3600 >/dev/null &
  update_pid=$!
  for _ in $(seq 1 50); do [ -s "$release/port" ] && break; sleep 0.1; done
  # The updater's built-in update host is reached through the server as the proxy.
  eval "$("$demo_bench" env --tree "$tree")"
  local key='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
  wine reg add "$key" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null 2>&1
  wine reg add "$key" /v ProxyServer /t REG_SZ /d "127.0.0.1:$(cut -d' ' -f1 "$release/port")" /f >/dev/null 2>&1
}
update_end() {
  local key='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
  wine reg add "$key" /v ProxyEnable /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
  kill "$update_pid" 2>/dev/null || true
  demo_end
}

if [ -n "${DISPLAY:-}" ]; then
  demo_folder "$tree/dist" "$tree/demo"
  demo_servers
  update_server
  trap update_end EXIT
  echo "run: starting the updater on $DISPLAY; it starts the launcher (press Exit to end)"
  ORVN_OWN_DISPLAY=1 "$demo_bench" run --tree "$tree" --timeout 3600 -- "$tree/demo/start.exe"
  exit 0
fi

demo_tree=$tree
demo_folder "$tree/dist" "$tree/demo"
demo_servers
demo_bench_started=1
"$demo_bench" start --tree "$tree"
update_server
trap update_end EXIT
DISPLAY=$("$demo_bench" display --tree "$tree")
export DISPLAY
"$demo_bench" run --tree "$tree" --timeout 60 -- "$tree/demo/start.exe" &
demo_launcher=$!
sleep 3
"$demo_bench" screenshot --tree "$tree" "$tree/updater.png"
echo "run: the updater's screen saved to $tree/updater.png"
wait "$demo_launcher" || true
grep -q "업데이트로 온 서버" <(iconv -f cp949 -t utf-8 "$tree/demo/Free.txt") && echo "run: the updater brought the newer Free.txt"
sleep 4
view_click 49 210 5     # the open StarCraft folder's "Battle.net" tile
"$demo_bench" screenshot --tree "$tree" "$tree/launcher.png"
echo "run: screenshot saved to $tree/launcher.png"
demo_exit
echo "run: launcher ended"
