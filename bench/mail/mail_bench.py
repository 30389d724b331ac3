"""POP3 pieces of the e-mail benchmark.

  mail_bench.py server IP PORT MIB    a POP3 server whose one message is MIB
                                      MiB of text lines; serves until killed
  mail_bench.py retr IP PORT USER     logs on (USER, PASS), RETRs message 1
                                      with large reads and prints
                                      "<bytes> <seconds> <MiB/s>"
"""
import socket
import socketserver
import sys
import time


def message(mib):
    line = b"x" * 78 + b"\r\n"
    return line * (mib * 1024 * 1024 // len(line))


class Pop3(socketserver.StreamRequestHandler):
    body = b""

    def handle(self):
        self.wfile.write(b"+OK bench POP3 ready\r\n")
        for raw in self.rfile:
            word = raw.split(b" ", 1)[0].strip().upper()
            if word == b"RETR":
                self.wfile.write(b"+OK %d octets\r\n" % len(self.body))
                self.wfile.write(self.body)
                self.wfile.write(b".\r\n")
            elif word == b"QUIT":
                self.wfile.write(b"+OK bye\r\n")
                return
            else:
                self.wfile.write(b"+OK\r\n")


def serve(ip, port, mib):
    Pop3.body = message(int(mib))
    socketserver.ThreadingTCPServer.allow_reuse_address = True
    with socketserver.ThreadingTCPServer((ip, int(port)), Pop3) as server:
        server.serve_forever()


def read_line(sock, buffer):
    while b"\r\n" not in buffer:
        chunk = sock.recv(65536)
        if not chunk:
            raise SystemExit("closed early")
        buffer += chunk
    line, _, rest = buffer.partition(b"\r\n")
    return line, rest


def retr(ip, port, user):
    sock = socket.create_connection((ip, int(port)), timeout=60)
    buffer = b""
    line, buffer = read_line(sock, buffer)
    for command in (b"USER " + user.encode(), b"PASS secret"):
        sock.sendall(command + b"\r\n")
        line, buffer = read_line(sock, buffer)
        if not line.startswith(b"+OK"):
            raise SystemExit("refused: %r" % line)
    start = time.monotonic()
    sock.sendall(b"RETR 1\r\n")
    total = len(buffer)
    tail = buffer[-5:]
    while not tail.endswith(b"\r\n.\r\n"):
        chunk = sock.recv(1 << 20)
        if not chunk:
            raise SystemExit("closed during RETR")
        total += len(chunk)
        tail = (tail + chunk)[-5:]
    seconds = time.monotonic() - start
    sock.sendall(b"QUIT\r\n")
    print("%d %.3f %.1f" % (total, seconds, total / seconds / 1048576))


if __name__ == "__main__":
    if sys.argv[1] == "server":
        serve(*sys.argv[2:5])
    else:
        retr(*sys.argv[2:5])
