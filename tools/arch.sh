# Sourced by the scripts: which architecture of the programs runs on this host,
# and where its build tree is. i686 (PE32, what players get) where the kernel
# runs 32-bit code, x86_64 (PE32+ under wine64) where it does not;
# ORVN_ARCH=i686|x86_64 overrides the choice. One tree per architecture, so a
# switch never mixes objects: build/i686, build/x86_64.

# Runs a 91-byte i386 ELF that only exits 0: the kernel either runs it or
# refuses it with "Exec format error". No package is needed to ask.
orvn_host_runs_i386() {
  local probe rc
  probe=$(mktemp "${TMPDIR:-/tmp}/orvn-i386.XXXXXX") || return 1
  printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\133\000\000\000\133\000\000\000\005\000\000\000\000\020\000\000\061\333\061\300\100\315\200' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null
  rc=$?
  rm -f "$probe"
  return $rc
}

# Prints the architecture to build and run: ORVN_ARCH when set, else the host's.
orvn_arch() {
  case "${ORVN_ARCH:-}" in
    i686|x86_64) echo "$ORVN_ARCH"; return 0 ;;
    "") ;;
    *) echo "ORVN_ARCH must be i686 or x86_64, not '$ORVN_ARCH'" >&2; return 1 ;;
  esac
  if orvn_host_runs_i386; then echo i686; else echo x86_64; fi
}

orvn_other_arch() { if [ "$1" = i686 ]; then echo x86_64; else echo i686; fi; }

# The build tree of an architecture.
orvn_tree() { echo "$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/$1"; }
