#!/usr/bin/env python3
"""Origin server for the HTTP proxy's end-to-end tests and benchmark.

Serves files of one folder in the ways a proxy must relay them:
  /length/NAME   Content-Length body, keep-alive (HTTP/1.1)
  /chunked/NAME  chunked body in uneven chunks with a trailer
  /close/NAME    HTTP/1.0, no length: the body ends when the connection closes
  /reset/NAME    a length far larger than what is sent, then a TCP reset
  /continue      100 Continue, reads the request body, 200 with its length
  /count         number of connections accepted so far
  /last          the head of the previous request, as received
Usage: http_origin.py IP PORT FOLDER
"""
import os
import socket
import socketserver
import struct
import sys
import threading

FOLDER = sys.argv[3] if len(sys.argv) > 3 else "."
STATE = {"count": 0, "last": b""}
LOCK = threading.Lock()


def read_head(conn, buf):
    while b"\r\n\r\n" not in buf:
        data = conn.recv(65536)
        if not data:
            return None, buf
        buf += data
    end = buf.index(b"\r\n\r\n") + 4
    return buf[:end], buf[end:]


def content_length(head):
    for line in head.split(b"\r\n"):
        if line.lower().startswith(b"content-length:"):
            return int(line.split(b":", 1)[1])
    return 0


def body_of(path):
    with open(os.path.join(FOLDER, os.path.basename(path)), "rb") as f:
        return f.read()


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        with LOCK:
            STATE["count"] += 1
        conn = self.request
        buf = b""
        while True:
            head, buf = read_head(conn, buf)
            if head is None:
                return
            with LOCK:
                last, STATE["last"] = STATE["last"], head
            target = head.split(b" ")[1].decode()
            if not self.serve(conn, head, target, last, buf):
                return
            buf = b""

    def serve(self, conn, head, target, last, buf):
        if target.startswith("/length/"):
            body = body_of(target)
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
            return True
        if target.startswith("/chunked/"):
            body = body_of(target)
            out = [b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"]
            i, step = 0, 1
            while i < len(body):
                n = min(step, len(body) - i)
                out.append(b"%x;n=%d\r\n" % (n, n) + body[i:i + n] + b"\r\n")
                i += n
                step = step * 3 + 7 if step < 60000 else 1
            out.append(b"0\r\nX-Trailer: done\r\n\r\n")
            conn.sendall(b"".join(out))
            return True
        if target.startswith("/close/"):
            conn.sendall(b"HTTP/1.0 200 OK\r\n\r\n" + body_of(target))
            return False
        if target.startswith("/reset/"):
            body = body_of(target)
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % (len(body) * 10)
                         + body)
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            return False
        if target == "/continue":
            conn.sendall(b"HTTP/1.1 100 Continue\r\n\r\n")
            want = content_length(head)
            while len(buf) < want:
                data = conn.recv(65536)
                if not data:
                    return False
                buf += data
            reply = b"got %d" % want
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(reply) + reply)
            return True
        if target == "/count":
            with LOCK:
                reply = b"%d" % STATE["count"]
        elif target == "/last":
            reply = last
        else:
            conn.sendall(b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")
            return True
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(reply) + reply)
        return True


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True
    request_queue_size = 256


if __name__ == "__main__":
    with Server((sys.argv[1], int(sys.argv[2])), Handler) as server:
        server.serve_forever()
