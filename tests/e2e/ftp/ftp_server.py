#!/usr/bin/env python3
"""A real FTP server (pyftpdlib) for the FTP proxy's end-to-end tests.

Serves one user with full rights on a folder, on the address and port given.
Active-mode data connections leave from --data-port of the server's address
(20, as the proxy expects of an FTP server; 0 lets the system choose, which
the proxy must refuse).
"""
import argparse
import socket

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import ActiveDTP, FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", required=True)
    parser.add_argument("--port", type=int, default=21)
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--data-port", type=int, default=20)
    args = parser.parse_args()

    class DataPortDTP(ActiveDTP):
        def connect_af_unspecified(self, addr, source_address=None):
            self.create_socket(socket.AF_INET, socket.SOCK_STREAM)
            self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            self.bind((source_address[0], args.data_port))
            self.connect(addr)
            return socket.AF_INET

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.active_dtp = DataPortDTP
    handler.banner = "pyftpdlib test server ready"
    server = FTPServer((args.address, args.port), handler)
    server.serve_forever()


if __name__ == "__main__":
    main()
