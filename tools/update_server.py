#!/usr/bin/env python3
"""A stand-in update server for start.exe, on loopback only.

Serves the files of a release folder under /quilla/ (the manifest
"version.ini" among them) on a port it picks itself, and a second port that
redirects land on. It also works as the HTTP proxy of the updater, so a
start.exe built for any update host can be pointed at it through the proxy
settings. Only files inside the root are served (real paths: no "..", no
symbolic link out). Misbehaviours are asked for per file name:

    --fault NAME=KIND   404, 500, auth (401 until "Basic updater:secret" is sent),
                        redirect (302 to the second port), redirect2 (302 there too),
                        lowerlocation (302 with a "location:" header), cut (no length,
                        half the body, close), wronglength (Content-Length 1000 bytes too
                        long, close), stall (headers and half the body, then silence),
                        hold (headers, 2 s, then the body), slow (1 KB every 20 ms),
                        drip (the true Content-Length, then the body one byte every 3 s),
                        endless (200 without a length, Connection: close, then bytes for
                        ever, as fast as the client takes them), swap (the first request
                        as it is, every later one the root's file NAME.alt instead),
                        holdfirst (hold for the first request of the name only),
                        gate (the first request waits until the root has a file NAME.go),
                        headers (200, then header lines of 1 KB for ever, each one new),
                        trickle (the true Content-Length, then the body 300 bytes a second),
                        proxyauth (407 from the proxy until "Basic updater:secret" is sent)
                        A client that goes away ends its connection's thread at once.
    --refuse            report a port and refuse every connection on it
    --sign KEY.pem=N    first make the folder signed release N with that key (release.py):
                        Filesize, Filehash, Release=N, then version.ini.sig

Prints "update server: port=P second=Q" when ready (and writes "P Q" to
--port-file); logs one line per request to --log. Runs until killed, until a
request for /_quit, or for --max-seconds. Paths may be given as Wine sees
them on drive Z: (Z:\\tmp\\x is /tmp/x), so a test under Wine can start it.
"""
import argparse
import base64
import itertools
import os
import select
import socket
import sys
import threading
import time
import urllib.parse

CREDENTIALS = 'Basic ' + base64.b64encode(b'updater:secret').decode()


class Server:
    def __init__(self, root, faults, log):
        self.root = root
        self.faults = faults
        self.log_path = log
        self.lock = threading.Lock()
        self.requests = {}  # name: requests so far, for the faults of a first request
        self.main = self.listen()
        self.second = self.listen()
        self.ports = (self.main.getsockname()[1], self.second.getsockname()[1])

    @staticmethod
    def listen():
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.bind(('127.0.0.1', 0))
        s.listen(64)
        return s

    def log(self, line):
        if self.log_path:
            with self.lock, open(self.log_path, 'a', encoding='utf-8') as f:
                f.write(line + '\n')

    def serve(self):
        for s in (self.main, self.second):
            threading.Thread(target=self.accept_loop, args=(s,), daemon=True).start()

    def accept_loop(self, s):
        while True:
            conn, _ = s.accept()
            threading.Thread(target=self.handle, args=(conn, s.getsockname()[1]), daemon=True).start()

    def handle(self, conn, local_port):
        try:
            conn.settimeout(30)
            data = b''
            while b'\r\n\r\n' not in data:
                chunk = conn.recv(4096)
                if not chunk:
                    return
                data += chunk
            head = data.split(b'\r\n\r\n', 1)[0].decode('latin-1').split('\r\n')
            method, target, _ = (head[0].split(' ') + ['', ''])[:3]
            headers = {}
            for line in head[1:]:
                k, _, v = line.partition(':')
                headers[k.strip().lower()] = v.strip()
            port = local_port
            if target.startswith('http://'):
                # A proxy request: the port it was meant for decides, not ours.
                u = urllib.parse.urlsplit(target)
                port = u.port or 80
                target = u.path + ('?' + u.query if u.query else '')
            path = urllib.parse.unquote(target, encoding='cp949', errors='replace')
            on_second = port == self.ports[1]
            self.log('%s %s %s' % (method, 'second' if on_second else 'main', path))
            self.respond(conn, path, headers, on_second)
        except OSError:
            pass
        finally:
            try:
                conn.close()
            except OSError:
                pass

    def send(self, conn, status, extra=(), body=b'', length=True):
        lines = ['HTTP/1.1 %s' % status, 'Connection: close']
        if length is True:
            lines.append('Content-Length: %d' % len(body))
        elif length is not None:
            lines.append('Content-Length: %d' % length)
        lines += list(extra)
        conn.sendall(('\r\n'.join(lines) + '\r\n\r\n').encode('latin-1') + body)

    def file_path(self, name):
        """The real path of a file of the root, or None when name leaves the root or names no file."""
        root = os.path.realpath(self.root)
        try:
            full = os.path.realpath(os.path.join(root, name))
            inside = os.path.commonpath([root, full]) == root and os.path.isfile(full)
        except ValueError:  # a NUL in the name
            return None
        return full if inside else None

    def count_request(self, name):
        with self.lock:
            self.requests[name] = self.requests.get(name, 0) + 1
            return self.requests[name]

    @staticmethod
    def wait_or_gone(conn, seconds):
        """Waits up to seconds; True as soon as the client has closed the connection."""
        end = time.monotonic() + seconds
        while True:
            left = end - time.monotonic()
            if left <= 0:
                return False
            readable, _, _ = select.select([conn], [], [], left)
            if readable:
                try:
                    if not conn.recv(4096):
                        return True
                except OSError:
                    return True

    def respond(self, conn, path, headers, on_second):
        if path == '/_quit':
            self.send(conn, '200 OK', body=b'bye')
            os._exit(0)
        if not path.startswith('/quilla/'):
            return self.send(conn, '404 Not Found', body=b'not here')
        name = path[len('/quilla/'):].replace('/', os.sep).replace('\\', os.sep)
        fault = self.faults.get(name, '')
        here = 'http://127.0.0.1:%d%s' % (self.ports[1], urllib.parse.quote(path.encode('cp949')))
        if on_second:
            if fault == 'redirect2':
                return self.send(conn, '302 Found', ['Location: http://127.0.0.1:%d%s' % (self.ports[0], path)])
        elif fault in ('redirect', 'redirect2'):
            return self.send(conn, '302 Found', ['Location: ' + here])
        elif fault == 'lowerlocation':
            return self.send(conn, '302 Found', ['location: ' + here])
        if fault == '404':
            return self.send(conn, '404 Not Found', ['Content-Type: text/html'], b'<html>404 Not Found</html>')
        if fault == '500':
            return self.send(conn, '500 Internal Server Error', ['Content-Type: text/html'], b'<html>500</html>')
        if fault == 'auth' and headers.get('authorization') != CREDENTIALS:
            return self.send(conn, '401 Unauthorized', ['WWW-Authenticate: Basic realm="quilla"'], b'denied')
        if fault == 'proxyauth' and headers.get('proxy-authorization') != CREDENTIALS:
            return self.send(conn, '407 Proxy Authentication Required', ['Proxy-Authenticate: Basic realm="proxy"'],
                             b'denied')
        if fault == 'headers':
            conn.sendall(b'HTTP/1.1 200 OK\r\n')
            # Ends when the client goes away (or takes nothing for the socket's time-out).
            for i in itertools.count():
                conn.sendall(b''.join(b'X-Filler-%d: %s\r\n' % (i * 64 + k, b'h' * 1000) for k in range(64)))
        first = self.count_request(name) == 1
        full = self.file_path(name if fault != 'swap' or first else name + '.alt')
        if full is None:
            return self.send(conn, '404 Not Found', body=b'no such file')
        with open(full, 'rb') as f:
            body = f.read()
        ok = ['Content-Type: application/octet-stream']
        if fault == 'gate' and first:
            gate = os.path.join(self.root, name + '.go')
            while not os.path.exists(gate):
                if self.wait_or_gone(conn, 0.05):
                    return
        if fault == 'holdfirst':
            fault = 'hold' if first else ''
        if fault == 'drip':
            self.send(conn, '200 OK', ok, b'', length=len(body))
            for i in range(len(body)):
                conn.sendall(body[i:i + 1])
                if i + 1 < len(body) and self.wait_or_gone(conn, 3):
                    return
            return
        if fault == 'endless':
            self.send(conn, '200 OK', ok, b'', length=None)
            chunk = (body or b'x') * (65536 // max(len(body), 1) + 1)
            # Ends when the client goes away (or takes nothing for the socket's time-out).
            while True:
                conn.sendall(chunk)
        if fault == 'cut':
            return self.send(conn, '200 OK', ok, body[:len(body) // 2], length=None)
        if fault == 'wronglength':
            return self.send(conn, '200 OK', ok, body, length=len(body) + 1000)
        if fault == 'stall':
            self.send(conn, '200 OK', ok, body[:len(body) // 2], length=len(body))
            self.wait_or_gone(conn, 120)
            return
        if fault == 'trickle':
            self.send(conn, '200 OK', ok, b'', length=len(body))
            for i in range(0, len(body), 30):
                conn.sendall(body[i:i + 30])
                if i + 30 < len(body) and self.wait_or_gone(conn, 0.1):
                    return
            return
        if fault in ('hold', 'slow'):
            self.send(conn, '200 OK', ok, b'', length=len(body))
            if fault == 'hold':
                if not self.wait_or_gone(conn, 2):
                    conn.sendall(body)
            else:
                for i in range(0, len(body), 1024):
                    conn.sendall(body[i:i + 1024])
                    time.sleep(0.02)
            return
        self.send(conn, '200 OK', ok, body)


def unix_path(p):
    if p and len(p) > 2 and p[0] in 'zZ' and p[1] == ':':
        return p[2:].replace('\\', '/')
    return p


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('--root', default='.')
    ap.add_argument('--fault', action='append', default=[], metavar='NAME=KIND')
    ap.add_argument('--refuse', action='store_true')
    ap.add_argument('--port-file')
    ap.add_argument('--log')
    ap.add_argument('--max-seconds', type=float, default=0)
    ap.add_argument('--sign', metavar='KEY.pem=N')
    args = ap.parse_args()
    args.root, args.port_file, args.log = map(unix_path, (args.root, args.port_file, args.log))
    if args.sign:
        # Only the publisher's tool signs: the same code a real release goes through.
        sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
        import release
        key, _, number = args.sign.rpartition('=')
        release.release(unix_path(key), args.root, number)
    faults = {}
    for item in args.fault:
        name, _, kind = item.rpartition('=')
        faults[name.replace('/', os.sep).replace('\\', os.sep)] = kind
    server = Server(args.root, faults, args.log)
    if args.refuse:
        # Nothing listens on the reported port any more: connections are refused.
        server.main.close()
        server.second.close()
    else:
        server.serve()
    line = 'update server: port=%d second=%d' % server.ports
    if args.port_file:
        tmp = args.port_file + '.tmp'
        with open(tmp, 'w') as f:
            f.write('%d %d\n' % server.ports)
        os.replace(tmp, args.port_file)
    print(line, flush=True)
    if args.refuse:
        return 0
    try:
        if args.max_seconds:
            time.sleep(args.max_seconds)
            return 0
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == '__main__':
    sys.exit(main())
