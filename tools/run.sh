#!/usr/bin/env bash
# The main job, the product as a player meets it on a fresh machine: installs
# what is missing, builds the programs and the installer, installs Orvane
# silently into a fresh Windows (a copy of the bench prefix, build/fresh), and
# starts it from its Start-menu shortcut. start.exe fetches newer server lists
# from a stand-in update server on loopback, as a release signed with a
# throw-away publisher key made for this run (start.exe is built with its public
# half and installs nothing unsigned), and hands over to the launcher, whose
# lists point at loopback stand-in game servers.
# On your own X display (DISPLAY set) the launcher stays until you press Exit;
# otherwise it runs on the bench's Xvfb, saves build/updater.png, picks the
# StarCraft "Battle.net" group, saves build/launcher.png and ends.
# The time it took is printed at the end.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/arch.sh
. "$root/tools/arch.sh"
# The inner run takes the outer one's choice.
arch=$(orvn_arch)
export ORVN_ARCH=$arch
tree=$(orvn_tree "$arch")
# The pictures land beside the trees, whichever architecture made them.
shots=$root/build

if [ "${1:-}" != --inside ]; then
  began=$(date +%s)
  "$root/tools/setup.sh"
  echo "run: $arch programs in $tree"
  keydir=$(mktemp -d)
  trap 'rm -rf "$keydir"' EXIT
  pubkey=$(/usr/bin/python3 "$root/tools/release.py" keygen "$keydir/publisher.pem")
  echo "run: throw-away publisher key $pubkey"
  ORVN_UPDATE_PUBKEY=$pubkey "$root/tools/build.sh" "$tree"
  # shellcheck source=tools/demo.sh
  . "$root/tools/demo.sh"
  demo_servers

  # The release on the update server: the stand-in lists, newer than none,
  # signed by the server as release 1 (Filesize, Filehash, version.ini.sig).
  release=$tree/release
  demo_folder "$tree/dist" "$tree/release.tmp"
  rm -rf "$release"; mkdir -p "$release"
  cp "$tree/release.tmp/Blizzard.txt" "$tree/release.tmp/Free.txt" "$release/"
  rm -rf "$tree/release.tmp"
  /usr/bin/python3 - "$release" <<'PY'
import os, sys
folder = sys.argv[1]
names = ["Blizzard.txt", "Free.txt"]
lines = ["[Count]", "Total=%d" % len(names)]
for i, name in enumerate(names, 1):
    lines += ["[File%d]" % i, "Filename=" + name, "Fileversion=2"]
open(os.path.join(folder, "version.ini"), "w").write("\r\n".join(lines) + "\r\n")
PY
  # The list is held back two seconds, so the progress dialog can be seen.
  rm -f "$tree/release.port"
  /usr/bin/python3 "$root/tools/update_server.py" --root "$release" --port-file "$tree/release.port" \
    --fault Blizzard.txt=hold --sign "$keydir/publisher.pem=1" --max-seconds 3600 >/dev/null &
  update_server=$!
  trap 'kill $update_server 2>/dev/null; rm -rf "$keydir"; demo_end' EXIT
  for _ in $(seq 1 100); do [ -s "$tree/release.port" ] && break; sleep 0.1; done
  read -r port _ <"$tree/release.port"

  own=()
  [ -z "${DISPLAY:-}" ] || own=(--own-display)
  ORVN_UPDATE_PORT=$port ORVN_RELEASE=$release "$root/tools/fresh_prefix.sh" --tree "$tree" --keep --decorated "${own[@]}" --timeout 3600 -- "$0" --inside
  echo "run: done in $(( $(date +%s) - began )) s"
  exit 0
fi

# Inside the fresh Windows. start.exe reaches the update host through the
# user's proxy setting, which points at the stand-in.
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' /v ProxyServer /d "127.0.0.1:$ORVN_UPDATE_PORT" /f >/dev/null 2>&1
echo "run: installing $tree/setup/OrvaneSetup.exe /S"
wine "$tree/setup/OrvaneSetup.exe" /S
link=$(ls "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Orvane.lnk)
echo "run: starting Orvane from its Start-menu shortcut"
wine start /unix "$link"

if [ -n "${DISPLAY:-}" ] && [ "${DISPLAY}" != ":$(cat "$tree/bench/display" 2>/dev/null)" ]; then
  echo "run: Orvane runs on $DISPLAY (press Exit to end)"
  wineserver -w
  exit 0
fi

wait_window() {  # name, seconds
  for _ in $(seq 1 $(( $2 * 5 ))); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  echo "run: no window '$1' after $2 s" >&2
  return 1
}
shot() { import -display "$DISPLAY" -window root "png:$1"; convert "$1" -crop "$2" +repage "$1"; echo "run: screenshot saved to $1"; }

# Blizzard.txt's body is held back 2 s: the progress dialog shows over the
# updater meanwhile, painted (the download runs beside the window's messages).
wait_window '^다운로드$' 60
sleep 0.3
shot "$shots/updater.png" 600x380+212+194
wait_window '^Orvane$' 60
sleep 3
VIEW_X=195 VIEW_Y=147
xdotool mousemove $((VIEW_X + 49)) $((VIEW_Y + 210)) click 1   # StarCraft "Battle.net"
sleep 6
xdotool mousemove $((VIEW_X + 300)) $((VIEW_Y + 100))
shot "$shots/launcher.png" 640x480+192+144
# "Exit", hovered first as a hand would.
read -r exit_x exit_y < <(/usr/bin/python3 "$root/tools/gen_assets/layout.py" centre ExitButton)
xdotool mousemove $((VIEW_X + exit_x - 20)) $((VIEW_Y + exit_y)); sleep 0.3
xdotool mousemove $((VIEW_X + exit_x)) $((VIEW_Y + exit_y)) click 1
wineserver -w
echo "run: launcher ended"
# The signed release is what the player has now.
installed=$(dirname "$(ls "$WINEPREFIX"/drive_c/users/*/AppData/Local/Programs/Orvane/start.exe)")
for name in Blizzard.txt Free.txt; do
  if cmp -s "$ORVN_RELEASE/$name" "$installed/$name"; then
    echo "run: $name of signed release 1 installed"
  else
    echo "run: $name of the signed release was NOT installed" >&2
    exit 1
  fi
done
