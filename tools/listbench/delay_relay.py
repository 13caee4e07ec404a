#!/usr/bin/env python3
"""A delay line between two TUN devices (this kernel has no netem).

Every packet read from one device is written to the other half the round-trip
time later, so a host behind the far device answers after the chosen RTT.
The far device is made inside the network namespace NETNS (a TUN device
cannot be moved there once open). The RTT in milliseconds is read from a control file (checked ten times a
second). For each TCP connect to port 6112 that goes out through the near
device, the time from its SYN to the SYN-ACK written back to the near device
is appended to a log: the connect time as the packets see it.

usage: delay_relay.py NEAR FAR NETNS CONTROL_FILE WIRE_LOG
"""
import ctypes
import fcntl
import heapq
import os
import select
import struct
import sys
import time

TUNSETIFF = 0x400454CA
IFF_TUN = 0x0001
IFF_NO_PI = 0x1000


def open_tun(name):
    fd = os.open("/dev/net/tun", os.O_RDWR)
    fcntl.ioctl(fd, TUNSETIFF, struct.pack("16sH", name.encode(), IFF_TUN | IFF_NO_PI))
    return fd


def enter_netns(name):
    libc = ctypes.CDLL(None, use_errno=True)
    fd = os.open("/run/netns/" + name, os.O_RDONLY)
    if libc.setns(fd, 0x40000000) != 0:  # CLONE_NEWNET
        raise OSError(ctypes.get_errno(), "setns " + name)
    os.close(fd)


def tcp_header(packet):
    """(source port, destination port, flags) of an IPv4 TCP packet, or None."""
    if len(packet) < 20 or packet[0] >> 4 != 4 or packet[9] != 6:
        return None
    ihl = (packet[0] & 0x0F) * 4
    if len(packet) < ihl + 14:
        return None
    sport, dport = struct.unpack("!HH", packet[ihl:ihl + 4])
    return sport, dport, packet[ihl + 13]


def main():
    near_name, far_name, netns, control, log_path = sys.argv[1:6]
    near = open_tun(near_name)
    enter_netns(netns)
    far = open_tun(far_name)
    print("ready", flush=True)
    log = open(log_path, "a", buffering=1)
    half = 0.0
    next_control = 0.0
    queue = []  # (due, sequence, device, packet)
    sequence = 0
    syn_sent = {}  # source port -> time its SYN came in from the near side
    while True:
        now = time.monotonic()
        if now >= next_control:
            try:
                with open(control) as f:
                    half = float(f.read().strip() or 0) / 2000.0
            except (OSError, ValueError):
                pass
            next_control = now + 0.1
        timeout = 0.05
        if queue:
            timeout = min(timeout, max(0.0, queue[0][0] - now))
        readable, _, _ = select.select([near, far], [], [], timeout)
        now = time.monotonic()
        for device in readable:
            packet = os.read(device, 65535)
            if device == near:
                tcp = tcp_header(packet)
                if tcp and tcp[1] == 6112 and tcp[2] & 0x12 == 0x02:
                    syn_sent[tcp[0]] = now
            heapq.heappush(queue, (now + half, sequence, far if device == near else near, packet))
            sequence += 1
        now = time.monotonic()
        while queue and queue[0][0] <= now:
            _, _, device, packet = heapq.heappop(queue)
            try:
                os.write(device, packet)
            except OSError:  # a device not up yet drops the packet
                continue
            if device == near:
                tcp = tcp_header(packet)
                if tcp and tcp[0] == 6112 and tcp[2] & 0x12 == 0x12:
                    sent = syn_sent.pop(tcp[1], None)
                    if sent is not None:
                        log.write("%.3f\n" % ((time.monotonic() - sent) * 1000.0))


if __name__ == "__main__":
    main()
