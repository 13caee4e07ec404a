#!/usr/bin/env python3
"""Local stand-ins for game servers, on loopback only.

127.0.0.1:6112 accepts every connection (and closes it again); 127.0.0.3:6112
is silent: its accept queue is kept full, so the kernel drops further SYNs and a
connect gets no answer. 127.0.0.2 has nothing listening: connects are refused.
Runs until killed.
"""
import socket
import sys
import threading


def accepting(host, port):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind((host, port))
    s.listen(64)
    while True:
        conn, _ = s.accept()
        conn.close()


def silent(host, port):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.bind((host, port))
    s.listen(0)
    fillers = []
    for _ in range(2):
        f = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        f.settimeout(0.5)
        try:
            f.connect((host, port))
        except OSError:
            pass
        fillers.append(f)
    return s, fillers


def main():
    held = silent("127.0.0.3", 6112)
    t = threading.Thread(target=accepting, args=("127.0.0.1", 6112), daemon=True)
    t.start()
    print("stand-in servers: 127.0.0.1:6112 accepting, 127.0.0.2 refused, 127.0.0.3:6112 silent", flush=True)
    try:
        t.join()
    except KeyboardInterrupt:
        pass
    del held
    return 0


if __name__ == "__main__":
    sys.exit(main())
