#!/usr/bin/env python3
"""A raw DHCP client for the end-to-end tests: sends one message (or a burst)
and prints each reply as key=value lines, or "none" when nothing came within
the wait. Runs inside the test's client namespace."""
import argparse
import os
import select
import socket
import struct
import sys
import time

SO_BINDTODEVICE = 25
COOKIE = bytes([99, 130, 83, 99])


def build(msg_type, mac, xid, ciaddr="0.0.0.0", giaddr="0.0.0.0", flags=0, options=()):
    hw = bytes.fromhex(mac.replace(":", ""))
    head = struct.pack("!BBBBIHH4s4s4s4s16s64s128s", 1, 1, len(hw), 0, xid, 0, flags,
                       socket.inet_aton(ciaddr), bytes(4), bytes(4), socket.inet_aton(giaddr),
                       hw.ljust(16, b"\0"), bytes(64), bytes(128))
    body = bytearray(head + COOKIE)
    if msg_type:
        body += bytes([53, 1, msg_type])
    for code, data in options:
        body += bytes([code, len(data)]) + data
    body += bytes([255])
    return bytes(body.ljust(300, b"\0"))


def option_data(text):
    code, value = text.split("=", 1)
    code = int(code)
    if code in (50, 54):
        return code, socket.inet_aton(value)
    if code == 61:
        return code, bytes.fromhex(value)
    return code, value.encode()


def parse(data, source):
    out = {"length": len(data), "src": "%s:%d" % source}
    if len(data) < 240:
        return out
    out["op"] = data[0]
    out["xid"] = struct.unpack("!I", data[4:8])[0]
    out["flags"] = struct.unpack("!H", data[10:12])[0]
    out["yiaddr"] = socket.inet_ntoa(data[16:20])
    out["giaddr"] = socket.inet_ntoa(data[24:28])
    pos = 240
    names = {1: "mask", 3: "routers", 6: "dns", 54: "server"}
    numbers = {51: "lease", 58: "t1", 59: "t2"}
    while pos < len(data) and data[pos] != 255:
        if data[pos] == 0:
            pos += 1
            continue
        code, length = data[pos], data[pos + 1]
        value = data[pos + 2:pos + 2 + length]
        if code == 53:
            out["type"] = value[0]
        elif code in names:
            out[names[code]] = ",".join(socket.inet_ntoa(value[i:i + 4])
                                        for i in range(0, length, 4))
        elif code in numbers:
            out[numbers[code]] = struct.unpack("!I", value)[0]
        pos += 2 + length
    return out


def open_socket(iface, bind_ip, bind_port):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    sock.setsockopt(socket.SOL_SOCKET, SO_BINDTODEVICE, iface.encode())
    sock.bind((bind_ip, bind_port))
    return sock


def receive(sock, xid, wait):
    deadline = time.monotonic() + wait
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        ready, _, _ = select.select([sock], [], [], left)
        if not ready:
            return None
        data, source = sock.recvfrom(2048)
        reply = parse(data, source)
        if xid is None or reply.get("xid") == xid:
            return reply


def show(reply):
    if reply is None:
        print("none")
    else:
        for key in sorted(reply):
            print("%s=%s" % (key, reply[key]))
    sys.stdout.flush()


def burst(sock, args):
    """DISCOVER and REQUEST for `count` clients, the engine killed with
    SIGKILL once `kill_after` ACKs have come; prints "ack MAC IP" per ACK."""
    target = (args.to, 67)
    acks = 0
    for n in range(args.count):
        mac = "02:00:00:00:%02x:%02x" % (n // 256, n % 256)
        xid = 0x5000 + n
        sock.sendto(build(1, mac, xid), target)
        offer = receive(sock, xid, args.wait)
        if offer is None:
            break
        request = build(3, mac, xid, options=[(50, socket.inet_aton(offer["yiaddr"])),
                                               (54, socket.inet_aton(offer["server"]))])
        sock.sendto(request, target)
        ack = receive(sock, xid, args.wait)
        if ack is None or ack.get("type") != 5:
            break
        print("ack %s %s" % (mac.replace(":", ""), ack["yiaddr"]))
        sys.stdout.flush()
        acks += 1
        if acks == args.kill_after:
            # REQUESTs already on their way when the engine dies.
            for m in range(n + 1, min(n + 9, args.count)):
                sock.sendto(build(3, "02:00:00:00:%02x:%02x" % (m // 256, m % 256), 0x5000 + m,
                                  options=[(50, socket.inet_aton(offer["yiaddr"]))]), target)
            os.kill(args.kill_pid, 9)
            break


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--iface", required=True)
    p.add_argument("--bind", default="0.0.0.0:68")
    p.add_argument("--to", default="255.255.255.255")
    p.add_argument("--port", type=int, default=67)
    p.add_argument("--type", type=int, default=1)
    p.add_argument("--mac", default="02:00:00:00:00:01")
    p.add_argument("--xid", type=int, default=0x1234)
    p.add_argument("--ciaddr", default="0.0.0.0")
    p.add_argument("--giaddr", default="0.0.0.0")
    p.add_argument("--opt", action="append", default=[])
    p.add_argument("--wait", type=float, default=5.0)
    p.add_argument("--count", type=int, default=0)
    p.add_argument("--kill-after", type=int, default=0)
    p.add_argument("--kill-pid", type=int, default=0)
    p.add_argument("--listen", action="store_true",
                   help="send nothing; print the first datagram that comes")
    args = p.parse_args()
    bind_ip, bind_port = args.bind.rsplit(":", 1)
    sock = open_socket(args.iface, bind_ip, int(bind_port))
    if args.listen:
        show(receive(sock, None, args.wait))
        return
    if args.count:
        burst(sock, args)
        return
    message = build(args.type, args.mac, args.xid, args.ciaddr, args.giaddr,
                    options=[option_data(o) for o in args.opt])
    sock.sendto(message, (args.to, args.port))
    show(receive(sock, args.xid, args.wait))


if __name__ == "__main__":
    main()
