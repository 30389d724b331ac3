#!/usr/bin/python3
"""The far side of the soak: real servers the engine relays to.

On the address given: an HTTP origin (keep-alive; "/N" answers N bytes), TCP
echo servers (one per kind of relay, so no one address pair runs out of
ports), a POP3 server with one message, and a UDP echo. Prints one JSON line
with the ports once everything listens, then serves until stdin closes.
"""
import argparse
import asyncio
import json
import os
import signal
import sys

MESSAGE = ("Subject: soak\r\n\r\n" + "".join("line %05d of the soak message\r\n" % i
                                               for i in range(600))).encode()


async def echo(reader, writer):
    try:
        while True:
            data = await reader.read(65536)
            if not data:
                break
            writer.write(data)
            await writer.drain()
    except (ConnectionError, OSError):
        pass
    finally:
        writer.close()


async def origin(reader, writer):
    try:
        while True:
            head = await reader.readuntil(b"\r\n\r\n")
            line = head.split(b"\r\n", 1)[0].split()
            if len(line) < 3:
                break
            path = line[1].rsplit(b"/", 1)[-1]
            size = int(path) if path.isdigit() else 64
            size = min(size, 1 << 20)
            close = line[2] == b"HTTP/1.0" or b"connection: close" in head.lower()
            writer.write(b"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                         b"Content-Length: %d\r\n%s\r\n" %
                         (size, b"Connection: close\r\n" if close else b""))
            writer.write(b"x" * size)
            await writer.drain()
            if close:
                break
    except (asyncio.IncompleteReadError, asyncio.LimitOverrunError, ConnectionError, OSError,
            ValueError):
        pass
    finally:
        writer.close()


async def pop3(reader, writer):
    try:
        writer.write(b"+OK soak POP3 server ready\r\n")
        while True:
            line = await reader.readline()
            if not line:
                break
            verb = line.split(b" ", 1)[0].strip().upper()
            if verb == b"RETR":
                writer.write(b"+OK %d octets\r\n" % len(MESSAGE) + MESSAGE + b".\r\n")
            elif verb == b"STAT":
                writer.write(b"+OK 1 %d\r\n" % len(MESSAGE))
            elif verb == b"QUIT":
                writer.write(b"+OK bye\r\n")
                await writer.drain()
                break
            else:
                writer.write(b"+OK\r\n")
            await writer.drain()
    except (ConnectionError, OSError):
        pass
    finally:
        writer.close()


class UdpEcho(asyncio.DatagramProtocol):
    def connection_made(self, transport):
        self.transport = transport

    def datagram_received(self, data, addr):
        self.transport.sendto(data, addr)


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", required=True)
    parser.add_argument("--echoes", type=int, default=4)
    args = parser.parse_args()
    loop = asyncio.get_running_loop()
    servers = []
    ports = {}

    async def listen(name, handler):
        server = await asyncio.start_server(handler, args.address, 0, backlog=4096,
                                            limit=1 << 20)
        servers.append(server)
        ports[name] = server.sockets[0].getsockname()[1]

    await listen("http", origin)
    await listen("pop3", pop3)
    for i in range(args.echoes):
        await listen("echo%d" % i, echo)
    transport, _ = await loop.create_datagram_endpoint(UdpEcho, local_addr=(args.address, 0))
    ports["udp"] = transport.get_extra_info("sockname")[1]
    print(json.dumps(ports), flush=True)

    stop = asyncio.Event()
    loop.add_reader(sys.stdin.fileno(), lambda: stop.set() if not os.read(0, 1) else None)
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    await stop.wait()
    for server in servers:
        server.close()
    transport.close()


if __name__ == "__main__":
    asyncio.run(main())
