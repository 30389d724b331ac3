"""Real mail clients for the e-mail proxy's end-to-end tests (python's own
poplib and smtplib). Each prints what the test compares.

  mail_clients.py pop3 HOST PORT USER
  mail_clients.py smtp HOST PORT MESSAGE_FILE
"""
import poplib
import smtplib
import sys


def pop3(host, port, user):
    box = poplib.POP3(host, int(port), timeout=10)
    out = sys.stdout.buffer
    out.write(b"WELCOME " + box.getwelcome() + b"\n")
    box.user(user)
    box.pass_("secret")
    count, size = box.stat()
    out.write(b"STAT %d %d\n" % (count, size))
    _, listing, _ = box.list()
    out.write(b"LIST " + b"|".join(listing) + b"\n")
    _, lines, _ = box.retr(1)
    out.write(b"RETR\n" + b"\n".join(lines) + b"\nEND\n")
    out.write(b"QUIT " + box.quit() + b"\n")


def smtp(host, port, path):
    with open(path, "rb") as f:
        data = f.read()
    client = smtplib.SMTP(timeout=20)
    code, greeting = client.connect(host, int(port))
    print("GREETING %d %s" % (code, greeting.decode()))
    client.ehlo("client.test")
    client.sendmail("alice@client.test", ["bob@server.test"], data)
    client.quit()
    print("SENT")


if __name__ == "__main__":
    if sys.argv[1] == "pop3":
        pop3(*sys.argv[2:5])
    else:
        smtp(*sys.argv[2:5])
