#!/usr/bin/env bash
# Copies the program folder $1 to $2 and puts stand-in server lists (code page
# 949) there that point at loopback only (see standin_servers.py).
set -eu
dist=$1 run=$2
rm -rf "$run"
mkdir -p "$run"
cp -r "$dist"/. "$run"/
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
