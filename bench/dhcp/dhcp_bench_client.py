#!/usr/bin/env python3
"""DISCOVER-to-ACK exchanges per second: CLIENTS clients, at most WINDOW of
them in the middle of an exchange at once, each a DISCOVER, the OFFER, a
REQUEST naming the offer's server, the ACK. The requests ask for broadcast
replies (the clients' interface has no address for a unicast reply to reach).
Prints the rate."""
import select
import socket
import sys
import time

sys.path.insert(0, sys.argv[4])
import dhcp_probe as probe  # noqa: E402


def main():
    iface, clients, window = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    sock = probe.open_socket(iface, "0.0.0.0", 68)
    target = ("255.255.255.255", 67)
    state = {}  # xid -> (mac, step, sent at)
    next_client, done = 0, 0
    start = time.monotonic()
    deadline = start + 30
    while done < clients and time.monotonic() < deadline:
        while len(state) < window and next_client < clients:
            mac = "02:00:00:01:%02x:%02x" % (next_client // 256, next_client % 256)
            xid = 0x7000 + next_client
            sock.sendto(probe.build(1, mac, xid, flags=0x8000), target)
            state[xid] = (mac, 1, time.monotonic())
            next_client += 1
        ready, _, _ = select.select([sock], [], [], 0.5)
        now = time.monotonic()
        if not ready:
            for xid, (mac, step, sent) in list(state.items()):
                if now - sent > 2:  # lost: ask again
                    sock.sendto(probe.build(1, mac, xid, flags=0x8000), target)
                    state[xid] = (mac, 1, now)
            continue
        data, source = sock.recvfrom(2048)
        reply = probe.parse(data, source)
        xid = reply.get("xid")
        if xid not in state:
            continue
        mac, step, _ = state[xid]
        if step == 1 and reply.get("type") == 2:
            request = probe.build(3, mac, xid, flags=0x8000, options=[
                (50, socket.inet_aton(reply["yiaddr"])), (54, socket.inet_aton(reply["server"]))])
            sock.sendto(request, target)
            state[xid] = (mac, 2, now)
        elif step == 2 and reply.get("type") == 5:
            del state[xid]
            done += 1
    elapsed = time.monotonic() - start
    print("%d exchanges in %.2f s: %.0f exchanges/s" % (done, elapsed, done / elapsed))


if __name__ == "__main__":
    main()
