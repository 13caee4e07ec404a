#!/usr/bin/env bash
# Runs a command in a fresh copy of a build tree's bench prefix, on the bench's
# display: for what must meet a Windows nobody has installed anything on yet
# (the installer). The copy is T/fresh/wineprefix, made anew on every run; its
# wineserver is ended afterwards and the copy removed unless --keep.
#
#   tools/fresh_prefix.sh --tree T [--keep] [--own-display] [--decorated] [--timeout S] -- command [args]
#
# The command sees WINEPREFIX set to the copy and the bench's DISPLAY (or, with
# --own-display, the caller's), so `wine prog.exe` inside it runs there.
# --decorated: Wine draws the windows' captions itself, as on Windows, also
# on a desktop with a window manager (on the bench's display it always does).
set -u
here=$(cd "$(dirname "$0")" && pwd)
tree="" keep=0 own=0 decorated=0 timeout_s=600
while [ $# -gt 0 ]; do
  case "$1" in
    --tree) tree=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    --own-display) own=1; shift ;;
    --decorated) decorated=1; shift ;;
    --timeout) timeout_s=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "fresh_prefix: unknown option $1" >&2; exit 2 ;;
  esac
done
[ -n "$tree" ] && [ $# -gt 0 ] || { sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
[ $own = 0 ] || [ -n "${DISPLAY:-}" ] || { echo "fresh_prefix: --own-display needs DISPLAY" >&2; exit 2; }
tree=$(cd "$tree" && pwd)

# The bench makes the prefix and the display; a bench started here is stopped here.
own_bench=0
if [ $own = 1 ]; then
  # The prefix only; the caller's display stays.
  display=$DISPLAY
  ORVN_OWN_DISPLAY=1 "$here/bench" run --tree "$tree" --timeout 300 -- cmd /c exit >/dev/null 2>&1 || exit 1
  eval "$("$here/bench" env --tree "$tree")"
  export DISPLAY=$display
else
  if ! "$here/bench" display --tree "$tree" >/dev/null 2>&1; then
    "$here/bench" start --tree "$tree" || exit 1
    own_bench=1
  fi
  eval "$("$here/bench" env --tree "$tree")"
fi

copy=$tree/fresh/wineprefix
if [ -d "$copy" ]; then WINEPREFIX=$copy wineserver -k 2>/dev/null; fi
rm -rf "$copy"
mkdir -p "$tree/fresh"
cp -a "$tree/wineprefix" "$copy"
# Wine links the profile's Desktop, Documents... to the Unix home; in the copy
# they become plain folders, so a shortcut made there stays in the prefix.
for link in "$copy"/drive_c/users/*/*; do
  if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
done
export WINEPREFIX=$copy
# A desktop of the caller's has a window manager: the windows are its again.
if [ $own = 1 ]; then
  wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1
  wineserver -w
fi
if [ $decorated = 1 ]; then
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  wineserver -w
fi

timeout --kill-after=10 "$timeout_s" "$@"
rc=$?
[ $rc -eq 124 ] && echo "fresh_prefix: time limit of ${timeout_s}s reached: $1" >&2

wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
[ $keep = 1 ] || rm -rf "$copy"
[ $own_bench = 1 ] && "$here/bench" stop --tree "$tree" >/dev/null 2>&1
exit $rc
