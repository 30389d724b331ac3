#!/usr/bin/env python3
"""A real FTP client (python3 ftplib) for the FTP proxy's end-to-end tests.

Logs on through the proxy as "user@host" in active mode, lists the folder,
stores a local file and retrieves it again. Prints the listing, then writes
the retrieved bytes to --retrieved. Exits 0 on success, 1 with the reason.
"""
import argparse
import ftplib
import sys


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--proxy", required=True)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--store")
    parser.add_argument("--retrieved")
    parser.add_argument("--name", default="upload.bin")
    parser.add_argument("--timeout", type=float, default=20)
    args = parser.parse_args()

    try:
        ftp = ftplib.FTP()
        ftp.connect(args.proxy, args.port, timeout=args.timeout)
        ftp.login(args.user, args.password)
        ftp.set_pasv(False)
        print("\n".join(ftp.nlst()))
        if args.store:
            with open(args.store, "rb") as source:
                ftp.storbinary("STOR " + args.name, source)
        if args.retrieved:
            with open(args.retrieved, "wb") as target:
                ftp.retrbinary("RETR " + args.name, target.write)
        ftp.quit()
    except (ftplib.all_errors) as error:
        print("ftp failed: %r" % (error,), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
