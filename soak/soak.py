#!/usr/bin/python3
"""make soak: the engine (built with AddressSanitizer and
UndefinedBehaviorSanitizer) under load, bad input and a probe, for a bounded
time, inside a network namespace of its own (only its loopback is up).

Every daemon and a TCP and a UDP port mapping listen on 127.0.0.245. For
--seconds, at the same time:
  * --clients well-formed clients (SOCKS 4/5 CONNECT, HTTP keep-alive, HTTP
    CONNECT, FTP log-on dialogues, POP3 RETR, Telnet, both mappings), each
    moving real data to the servers of soak/servers.py and pyftpdlib;
  * a flood of malformed input on every TCP and datagram daemon;
  * a well-formed HTTP probe every second.
Then the load stops, and descriptors, threads and resident memory of the
engine must come back to their start values within a minute (resident memory
without the sanitizer's shadow, within RESIDENT_ALLOWANCE_MIB); the engine is
stopped and must exit 0 with no sanitizer report; every store value written
before the run must still be there.

Prints the figures and exits 0 when clean, 1 otherwise.
"""
import argparse
import asyncio
import json
import os
import random
import resource
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

ENGINE_IP = "127.0.0.245"
SERVER_IP = "127.0.0.246"
FTP_IP = "127.0.0.247"
DHCP_IP = "10.251.0.1"  # on the soak namespace's own dummy interface
# AddressSanitizer's shadow and its allocator's heap on x86-64, to tell the
# sanitizer's own memory from the engine's in the resident figures.
SHADOW_LOW, SHADOW_HIGH = 0x7fff8000, 0x10007fff8000
ASAN_HEAP_LOW, ASAN_HEAP_HIGH = 0x600000000000, 0x640000000000
RESIDENT_ALLOWANCE_MIB = 64.0
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

PORTS = {"SOCKS": 1080, "HTTP": 8080, "FTP": 2121, "Email": 110, "SMTP": 2525,
         "Telnet": 2323, "RealAudio": 7070, "DNS": 53, "DHCP": 67,
         "TCP-map": 9000, "UDP-map": 9001, "manager": 6501}
DATAGRAM_DAEMONS = ("DNS", "DHCP", "UDP-map")
TCP_DAEMONS = ("SOCKS", "HTTP", "FTP", "Email", "SMTP", "Telnet", "RealAudio", "TCP-map")

# Shares of the concurrent well-formed clients.
MIX = {"socks": 0.20, "http": 0.20, "connect": 0.14, "ftp": 0.08, "pop3": 0.12,
       "telnet": 0.10, "tcpmap": 0.13, "udpmap": 0.03}


def log(text):
    print(text, flush=True)


# ---------------------------------------------------------------- the netns

def in_namespace(argv):
    """Runs this script again inside a fresh network namespace."""
    name = "qlm-soak-%d" % os.getpid()
    subprocess.run(["ip", "netns", "del", name], stderr=subprocess.DEVNULL)
    subprocess.run(["ip", "netns", "add", name], check=True)
    try:
        subprocess.run(["ip", "netns", "exec", name, "ip", "link", "set", "lo", "up"], check=True)
        # The DHCP daemon serves an interface's network, never loopback: a
        # veth pair inside the namespace holds its address.
        for command in (["ip", "link", "add", "qlmsoak0", "type", "veth", "peer", "name",
                         "qlmsoak1"],
                        ["ip", "addr", "add", DHCP_IP + "/24", "dev", "qlmsoak0"],
                        ["ip", "link", "set", "qlmsoak1", "up"],
                        ["ip", "link", "set", "qlmsoak0", "up"]):
            subprocess.run(["ip", "netns", "exec", name] + command, check=True)
        return subprocess.run(["ip", "netns", "exec", name, sys.executable, __file__, "--inside"]
                              + argv).returncode
    finally:
        subprocess.run(["ip", "netns", "del", name])


# ---------------------------------------------------------------- the engine

def dword(value):
    return "dword:%08x" % value


def store_text(folder, servers):
    daemons = [("SOCKS", ""), ("HTTP", ""), ("FTP", ""), ("Telnet", ""), ("RealAudio", ""),
               ("DNS", '"Forward"=hex:00\n"Broadcast"=hex:00\n"TTL"=%s' % dword(600)),
               ("DHCP", '"FromAddr"="10.251.0.10"\n"ToAddr"="10.251.0.200"\n'
                        '"Netmask"="255.255.255.0"\n"LeasingTime"=%s\n"VerifyIP"=hex:00'
                        % dword(86400))]
    email = ('"Pop3S_ip"="%s"\n"Pop3Port"=%s\n"Pop3Delimiter"="#"\n"SmtpProxyPort"=%s\n'
             '"SmtpS_ip"="%s"\n"SmtpPort"=%s\n"ContactDomain"="soak.test"'
             % (SERVER_IP, dword(servers["pop3"]), dword(PORTS["SMTP"]), SERVER_IP,
                dword(servers["echo3"])))
    text = ('[General]\n"UseDefaultIP"=dword:00000000\n"DefaultIP"="%s"\n\n'
            '[Activity]\n"Enable"=dword:00000000\n"MaxConnections"=%s\n\n'
            '[Log]\n"FileName"="%s/engine.log"\n"Enable"=dword:00000001\n"MaxLines"=%s\n\n'
            % (ENGINE_IP, dword(8000), folder, dword(2000)))
    for name, values in daemons:
        ip = DHCP_IP if name == "DHCP" else ENGINE_IP
        text += ('[Daemons\\%s:%d]\n"Name"="%s"\n"DefaultPort"=%s\n"Enable"=hex:01\n'
                 '"Security"=hex:00\n%s\n\n' % (ip, PORTS[name], name,
                                                dword(PORTS[name]), values))
    for port in (PORTS["Email"], PORTS["SMTP"]):
        text += ('[Daemons\\%s:%d]\n"Name"="Email"\n"DefaultPort"=%s\n"Enable"=hex:01\n'
                 '"Security"=hex:00\n%s\n\n' % (ENGINE_IP, port, dword(port), email))
    for transport, port, remote, bi in (("tcp", PORTS["TCP-map"], servers["echo2"], 0),
                                        ("udp", PORTS["UDP-map"], servers["udp"], 1)):
        text += ('[PortMap\\%s:%d/%s]\n"Name"="soak-%s"\n"RemoteServer"="%s"\n"RemotePort"=%s\n'
                 '"OutPort"=%s\n"ClientPort"=%s\n"Enable"=hex:01\n"BiUDP"=hex:0%d\n"Rule"=""\n\n'
                 % (ENGINE_IP, port, transport, transport, SERVER_IP, dword(remote), dword(0),
                    dword(0), bi))
    return text


def engine_environment(folder):
    env = dict(os.environ)
    env.update({
        "QUILLMAR_STORE": folder + "/quillmar.db",
        "QUILLMAR_RUNDIR": folder + "/run",
        "QUILLMAR_MANAGER_PORT": str(PORTS["manager"]),
        # A datagram's thread waits for its answer (DNS upstream, a mapping's
        # return message) two or three minutes by design; shorter here, so the
        # minute after the load shows leaks, not those waits.
        "QUILLMAR_DNS_UPSTREAM_WAIT_MS": "15000",
        "QUILLMAR_TIMEOUTS": "portmap.return_wait=15000",
        # A small quarantine, and freed memory given back to the system, so
        # resident memory after the load shows what the engine still holds
        # rather than what the sanitizer's allocator keeps for reuse.
        "ASAN_OPTIONS": "detect_leaks=1:abort_on_error=1:quarantine_size_mb=16:"
                        "allocator_release_to_os_interval_ms=500:log_path=%s/sanitizer" % folder,
        "UBSAN_OPTIONS": "print_stacktrace=1:halt_on_error=1:log_path=%s/sanitizer" % folder,
        "LSAN_OPTIONS": "suppressions=%s/tests/lsan.supp" % ROOT,
    })
    return env


def own_resident(kinds):
    """Resident MiB of the engine without the sanitizer's shadow."""
    return round(sum(v for k, v in kinds.items() if k != "shadow"), 1)


def export_store(qlmreg, env):
    out = subprocess.run([qlmreg, "export"], env=env, capture_output=True, text=True,
                         timeout=60)
    return out.stdout


def store_pairs(text):
    """(section, line) for every value line of an exported store."""
    pairs, section = set(), ""
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("["):
            section = line
        elif line and not line.startswith(";") and "=" in line:
            pairs.add((section, line))
    return pairs


class Engine:
    def __init__(self, build, folder):
        self.folder = folder
        self.env = engine_environment(folder)
        self.qlmsvr = os.path.join(build, "bin", "qlmsvr")
        self.qlmreg = os.path.join(build, "bin", "qlmreg")
        self.process = None

    def write_store(self, text):
        os.makedirs(self.env["QUILLMAR_RUNDIR"], exist_ok=True)
        subprocess.run([self.qlmreg, "init", os.path.dirname(self.qlmsvr)], env=self.env,
                       check=True, capture_output=True, timeout=60)
        subprocess.run([self.qlmreg, "import", "-"], input=text, text=True, env=self.env,
                       check=True, capture_output=True, timeout=60)

    def start(self):
        self.stderr = open(self.folder + "/engine.stderr", "wb")
        self.process = subprocess.Popen([self.qlmsvr, "-debug"], env=self.env, cwd=self.folder,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=self.stderr)
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and self.process.poll() is None:
            if all(tcp_listening(PORTS[d]) for d in TCP_DAEMONS + ("manager",)):
                return True
            time.sleep(0.2)
        return False

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def sample(self):
        pid = self.process.pid
        try:
            fds = len(os.listdir("/proc/%d/fd" % pid))
            status = open("/proc/%d/status" % pid).read()
        except OSError:
            return None
        fields = dict(line.split(":", 1) for line in status.splitlines() if ":" in line)
        return {"fds": fds, "threads": int(fields["Threads"]),
                "rss_mib": int(fields["VmRSS"].split()[0]) / 1024.0}

    def resident_by_kind(self):
        """Resident MiB of the engine by kind of mapping, from smaps: the
        sanitizer's shadow, its allocator's heap, the C heap, thread stacks
        and other anonymous memory, and file-backed pages."""
        kinds = {}
        try:
            text = open("/proc/%d/smaps" % self.process.pid).read()
        except OSError:
            return kinds
        kind = None
        for line in text.splitlines():
            head = line.split()
            if head and "-" in head[0] and not head[0].endswith(":"):
                start = int(head[0].split("-")[0], 16)
                name = head[5] if len(head) > 5 else ""
                if SHADOW_LOW <= start < SHADOW_HIGH:
                    kind = "shadow"
                elif ASAN_HEAP_LOW <= start < ASAN_HEAP_HIGH:
                    kind = "sanitizer heap"
                elif name == "[heap]":
                    kind = "heap"
                elif name.startswith("[stack"):
                    kind = "stacks"
                elif name.startswith("/"):
                    kind = "files"
                else:
                    kind = "anonymous"
            elif head and head[0] == "Rss:" and kind:
                kinds[kind] = kinds.get(kind, 0.0) + int(head[1]) / 1024.0
        return {k: round(v, 1) for k, v in sorted(kinds.items())}

    def stop(self, wait=60):
        self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(wait)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return None

    def sanitizer_reports(self):
        reports = []
        for name in sorted(os.listdir(self.folder)):
            if name.startswith("sanitizer"):
                reports.append(open(os.path.join(self.folder, name), errors="replace").read())
        stderr = open(self.folder + "/engine.stderr", errors="replace").read()
        for marker in ("ERROR: AddressSanitizer", "runtime error:", "ERROR: LeakSanitizer",
                       "WARNING: ThreadSanitizer"):
            if marker in stderr:
                reports.append(stderr)
                break
        return reports


def tcp_listening(port):
    want = "%08X:%04X" % (struct.unpack("<I", socket.inet_aton(ENGINE_IP))[0], port)
    try:
        for line in open("/proc/net/tcp").read().splitlines()[1:]:
            fields = line.split()
            if fields[1] == want and fields[3] == "0A":
                return True
    except OSError:
        pass
    return False


# ---------------------------------------------------------------- clients

class Stats:
    def __init__(self):
        self.served = {}
        self.failed = {}
        self.malformed = {}
        self.cut_tricklers = 0
        self.udp_replies = 0
        self.probe = []
        self.probe_failures = 0
        self.probe_streak = 0
        self.samples = []

    def ok(self, kind):
        self.served[kind] = self.served.get(kind, 0) + 1

    def fail(self, kind):
        self.failed[kind] = self.failed.get(kind, 0) + 1

    def bad(self, daemon):
        self.malformed[daemon] = self.malformed.get(daemon, 0) + 1


IO_WAIT = 60.0  # one step of a well-formed client; the engine under load is slow


async def step(awaitable):
    return await asyncio.wait_for(awaitable, IO_WAIT)


async def connect(port):
    return await step(asyncio.open_connection(ENGINE_IP, port, limit=1 << 20))


async def echo_rounds(reader, writer, rounds, size):
    for _ in range(rounds):
        data = random.randbytes(size)
        writer.write(data)
        got = await step(reader.readexactly(size))
        if got != data:
            raise ValueError("echo differs")
        await asyncio.sleep(random.uniform(0.02, 0.2))


async def close(writer):
    writer.close()
    try:
        await asyncio.wait_for(writer.wait_closed(), 5)
    except (asyncio.TimeoutError, OSError, ConnectionError):
        pass


async def session_socks(servers):
    reader, writer = await connect(PORTS["SOCKS"])
    port = struct.pack(">H", servers["echo0"])
    address = socket.inet_aton(SERVER_IP)
    try:
        if random.random() < 0.5:
            writer.write(b"\x04\x01" + port + address + b"soak\x00")
            reply = await step(reader.readexactly(8))
            if reply[1] != 90:
                raise ValueError("socks4 refused")
        else:
            writer.write(b"\x05\x01\x00")
            if await step(reader.readexactly(2)) != b"\x05\x00":
                raise ValueError("socks5 method")
            writer.write(b"\x05\x01\x00\x01" + address + port)
            reply = await step(reader.readexactly(10))
            if reply[1] != 0:
                raise ValueError("socks5 refused")
        await echo_rounds(reader, writer, 8, 4096)
    finally:
        await close(writer)


async def read_head(reader):
    head = await step(reader.readuntil(b"\r\n\r\n"))
    length = 0
    for line in head.split(b"\r\n"):
        if line.lower().startswith(b"content-length:"):
            length = int(line.split(b":", 1)[1])
    return head, length


async def session_http(servers):
    reader, writer = await connect(PORTS["HTTP"])
    try:
        for i in range(5):
            size = random.choice((512, 8192, 65536))
            writer.write(b"GET http://%s:%d/%d HTTP/1.1\r\nHost: %s:%d\r\n\r\n"
                         % (SERVER_IP.encode(), servers["http"], size, SERVER_IP.encode(),
                            servers["http"]))
            head, length = await read_head(reader)
            if not head.startswith(b"HTTP/1.1 200") or length != size:
                raise ValueError("http reply")
            await step(reader.readexactly(length))
            await asyncio.sleep(random.uniform(0.05, 0.3))
    finally:
        await close(writer)


async def session_connect(servers):
    reader, writer = await connect(PORTS["HTTP"])
    try:
        target = b"%s:%d" % (SERVER_IP.encode(), servers["echo1"])
        writer.write(b"CONNECT " + target + b" HTTP/1.1\r\nHost: " + target + b"\r\n\r\n")
        head, _ = await read_head(reader)
        if b" 200" not in head.split(b"\r\n", 1)[0]:
            raise ValueError("connect refused")
        await echo_rounds(reader, writer, 8, 4096)
    finally:
        await close(writer)


async def ftp_reply(reader):
    while True:
        line = await step(reader.readline())
        if not line:
            raise ConnectionError("ftp closed")
        if len(line) >= 4 and line[:3].isdigit() and line[3:4] == b" ":
            return line


async def session_ftp(servers):
    reader, writer = await connect(PORTS["FTP"])
    try:
        await ftp_reply(reader)
        for command, want in ((b"USER alice@" + FTP_IP.encode(), b"331"), (b"PASS secret", b"230"),
                              (b"PWD", b"257"), (b"TYPE I", b"200"), (b"NOOP", b"200"),
                              (b"SYST", b"215"), (b"QUIT", b"221")):
            writer.write(command + b"\r\n")
            reply = await ftp_reply(reader)
            if not reply.startswith(want):
                raise ValueError("ftp %r: %r" % (command, reply))
            await asyncio.sleep(random.uniform(0.02, 0.1))
    finally:
        await close(writer)


async def session_pop3(servers):
    reader, writer = await connect(PORTS["Email"])
    try:
        if not (await step(reader.readline())).startswith(b"+OK"):
            raise ValueError("pop3 welcome")
        for command in (b"USER bob#" + SERVER_IP.encode(), b"PASS x", b"STAT"):
            writer.write(command + b"\r\n")
            if not (await step(reader.readline())).startswith(b"+OK"):
                raise ValueError("pop3 %r" % command)
        writer.write(b"RETR 1\r\n")
        await step(reader.readuntil(b"\r\n.\r\n"))
        writer.write(b"QUIT\r\n")
        await step(reader.readline())
    finally:
        await close(writer)


async def session_telnet(servers):
    reader, writer = await connect(PORTS["Telnet"])
    try:
        await step(reader.readuntil(b"Hostname [port number]: "))
        writer.write(b"%s %d\r\n" % (SERVER_IP.encode(), servers["echo3"]))
        for i in range(6):
            line = b"telnet line %d %s\r\n" % (i, random.randbytes(16).hex().encode())
            writer.write(line)
            await step(reader.readuntil(line))
            await asyncio.sleep(random.uniform(0.05, 0.3))
    finally:
        await close(writer)


async def session_tcpmap(servers):
    reader, writer = await connect(PORTS["TCP-map"])
    try:
        await echo_rounds(reader, writer, 8, 8192)
    finally:
        await close(writer)


class UdpClient(asyncio.DatagramProtocol):
    def __init__(self):
        self.replies = asyncio.Queue()

    def datagram_received(self, data, addr):
        self.replies.put_nowait(data)


async def session_udpmap(servers, stats):
    loop = asyncio.get_running_loop()
    transport, client = await loop.create_datagram_endpoint(
        UdpClient, remote_addr=(ENGINE_IP, PORTS["UDP-map"]))
    try:
        for _ in range(3):
            transport.sendto(random.randbytes(512))
            try:
                await asyncio.wait_for(client.replies.get(), 5)
                stats.udp_replies += 1
            except asyncio.TimeoutError:
                pass
            await asyncio.sleep(random.uniform(0.3, 1.0))
    finally:
        transport.close()


SESSIONS = {"socks": session_socks, "http": session_http, "connect": session_connect,
            "ftp": session_ftp, "pop3": session_pop3, "telnet": session_telnet,
            "tcpmap": session_tcpmap}


async def client_loop(kind, servers, stats, stop):
    await asyncio.sleep(random.uniform(0, 10))  # spread the start
    while not stop.is_set():
        try:
            if kind == "udpmap":
                await session_udpmap(servers, stats)
            else:
                await SESSIONS[kind](servers)
            stats.ok(kind)
        except (OSError, ConnectionError, asyncio.TimeoutError, asyncio.IncompleteReadError,
                asyncio.LimitOverrunError, ValueError):
            stats.fail(kind)
        await asyncio.sleep(random.uniform(0.2, 1.5))


# ---------------------------------------------------------------- bad input

def lengths_at_limits(daemon):
    """Inputs whose length fields stand at their limits and past them."""
    out = []
    if daemon == "SOCKS":
        out += [b"\x05\xff" + bytes(range(255)), b"\x05\x00", b"\x05\xff" + b"\x00" * 10,
                b"\x05\x01\x00" + b"\x05\x01\x00\x03\xff" + b"n" * 255 + b"\x00\x50",
                b"\x05\x01\x00" + b"\x05\x01\x00\x03\x00\x00\x50",
                b"\x05\x01\x00" + b"\x05\x01\x00\x09" + b"\x00" * 8,
                b"\x05\x01\x00" + b"\x05\x07\x00\x01\x7f\x00\x00\x01\x00\x50",
                b"\x04\x01\x00\x50\x7f\x00\x00\x01" + b"u" * 255 + b"\x00",
                b"\x04\x01\x00\x50\x7f\x00\x00\x01" + b"u" * 4000 + b"\x00",
                b"\x04\x01\x00\x50\x00\x00\x00\x01" + b"\x00" + b"h" * 300 + b"\x00",
                b"\x04\x03\x00\x50\x7f\x00\x00\x01\x00"]
    elif daemon in ("HTTP",):
        out += [b"GET http://h/" + b"a" * 32760 + b" HTTP/1.1\r\n\r\n",
                b"GET http://h/" + b"a" * 70000 + b" HTTP/1.1\r\n\r\n",
                b"GET http://h/ HTTP/1.1\r\n" + b"X: " + b"v" * 65530 + b"\r\n\r\n",
                b"GET http://h/ HTTP/1.1\r\n" + b"X: v\r\n" * 20000 + b"\r\n",
                b"POST http://127.0.0.1:1/ HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n",
                b"POST http://127.0.0.1:1/ HTTP/1.1\r\nContent-Length: -1\r\n\r\nabc",
                b"POST http://127.0.0.1:1/ HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
                b"ffffffffffffffffff\r\nx",
                b"CONNECT " + b"h" * 5000 + b":99999 HTTP/1.1\r\n\r\n",
                b"GET ftp://" + b"u" * 3000 + b"@127.0.0.1:1/" + b"%" * 3000 + b" HTTP/1.0\r\n\r\n",
                b"GET http://[::1]:0/ HTTP/1.1\r\nHost: \x01\x02\r\n\r\n",
                b"\r\n" * 40000]
    elif daemon in ("FTP", "Email", "SMTP", "Telnet"):
        out += [b"USER " + b"u" * 510 + b"\r\n", b"USER " + b"u" * 5000 + b"\r\n",
                b"USER a@" + b"h" * 300 + b"\r\n", b"USER a#" + b"h" * 300 + b"\r\n",
                b"\xff" * 5000, b"\xff\xfb" * 3000, b"\xff\xfa" + b"x" * 4000,
                b"PORT 1,2,3,4,5,6,7,8,9\r\n" * 3, b"PORT 999,999,999,999,999,999\r\n",
                b"\x08" * 2000 + b"\r\n", b"h" * 255 + b" 65536\r\n", b"h 0\r\n",
                b"127.0.0.1 99999999999999999999\r\n"]
    elif daemon == "RealAudio":
        out += [b"PNA\x00\x0a" + b"\xff\xff" * 3000, b"\x00\x00\x00", b"\xff\xff\x01" + b"x" * 65535,
                b"\x00\x02\x01\x01\x00\x01\x01", b"\x00\x01\x02" * 3000]
    elif daemon == "TCP-map":
        out += [b"x" * 200000]
    return out


def dns_datagrams():
    out = []
    for size in (0, 1, 11, 12, 13, 255, 511, 512, 513, 4096, 65000):
        out.append(random.randbytes(size))
    head = struct.pack(">HHHHHH", 7, 0x0100, 1, 0, 0, 0)
    out.append(head + b"\x3f" + b"a" * 63 + b"\x00\x00\x01\x00\x01")
    out.append(head + b"\x40" + b"a" * 64 + b"\x00\x00\x01\x00\x01")
    out.append(head + (b"\x3f" + b"a" * 63) * 4 + b"\x00\x00\x01\x00\x01")
    out.append(head + b"\xc0\x0c\x00\x01\x00\x01")  # a pointer to itself
    out.append(struct.pack(">HHHHHH", 7, 0x0100, 0xffff, 0xffff, 0xffff, 0xffff) + b"\x00" * 4)
    return out


def dhcp_datagrams():
    out = []
    for size in (0, 1, 235, 236, 239, 240, 241, 547, 548, 549, 576, 1500, 65000):
        body = bytearray(random.randbytes(size))
        if size >= 240:
            body[0] = 1
            body[236:240] = b"\x63\x82\x53\x63"
        out.append(bytes(body))
    base = bytearray(240)
    base[0], base[1], base[2] = 1, 1, 6
    base[28:34] = b"\x02\x00\x00\x00\x00\x01"
    base[236:240] = b"\x63\x82\x53\x63"
    out.append(bytes(base) + b"\x35\x01\x01\xff")           # a DISCOVER
    out.append(bytes(base) + b"\x35\x01\x03\x32\x04\x7f\x00\x00\x96\xff")  # a REQUEST
    out.append(bytes(base) + b"\x35\xff\x01")               # option length past the end
    out.append(bytes(base) + b"\x0c\xff" + b"h" * 255 + b"\xff")
    out.append(bytes(base) + b"\x00" * 400)                 # padding only, no end
    out.append(bytes(base) + b"\x3d\x00\x35\x01\x01\xff")    # empty client id
    return out


async def bad_tcp(daemon, servers, stats, tricklers):
    choice = random.random()
    try:
        reader, writer = await asyncio.wait_for(
            asyncio.open_connection(ENGINE_IP, PORTS[daemon]), 20)
    except (OSError, asyncio.TimeoutError):
        return
    sock = writer.get_extra_info("socket")
    try:
        stats.bad(daemon)
        if choice < 0.25:
            writer.write(random.randbytes(random.randint(1, 16384)))
        elif choice < 0.55:
            writer.write(random.choice(lengths_at_limits(daemon) or [b"x" * 70000]))
        elif choice < 0.70:
            good = random.choice(lengths_at_limits(daemon) or [b"GET / HTTP/1.1\r\n\r\n"])
            writer.write(good[:random.randint(0, len(good))])  # truncated, then gone
            return
        elif choice < 0.80:
            writer.write(b"x" * random.randint(0, 100))
            await writer.drain()
            writer.write_eof()  # half-open: our side is done, theirs is not
        elif choice < 0.86 and tricklers[0] < 20:
            tricklers[0] += 1
            try:
                for _ in range(90):  # one byte a second; the engine cuts it off
                    writer.write(b"A")
                    await writer.drain()
                    if await read_or_close(reader, 1.0):
                        stats.cut_tricklers += 1
                        return
            finally:
                tricklers[0] -= 1
            return
        else:
            # A reset in the middle of a relay.
            if daemon == "SOCKS":
                writer.write(b"\x05\x01\x00\x05\x01\x00\x01" + socket.inet_aton(SERVER_IP)
                             + struct.pack(">H", servers["echo0"]))
                await asyncio.wait_for(reader.readexactly(12), 20)
            elif daemon == "HTTP":
                writer.write(b"CONNECT %s:%d HTTP/1.1\r\n\r\n" % (SERVER_IP.encode(),
                                                                   servers["echo1"]))
                await asyncio.wait_for(reader.readuntil(b"\r\n\r\n"), 20)
            writer.write(random.randbytes(32768))
            await asyncio.sleep(random.uniform(0, 0.2))
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            writer.transport.abort()
            return
        await read_or_close(reader, random.uniform(0.05, 1.0))
    except (OSError, ConnectionError, asyncio.TimeoutError, asyncio.IncompleteReadError,
            asyncio.LimitOverrunError):
        pass
    finally:
        writer.transport.abort()


async def read_or_close(reader, wait):
    """True when the engine closed the connection within `wait`."""
    end = time.monotonic() + wait
    while time.monotonic() < end:
        try:
            data = await asyncio.wait_for(reader.read(65536), end - time.monotonic())
        except asyncio.TimeoutError:
            return False
        if not data:
            return True
    return False


async def bad_datagrams(stats, stop):
    sockets = {}
    for daemon in DATAGRAM_DAEMONS:
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setblocking(False)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 1 << 20)
        sockets[daemon] = s
    try:
        while not stop.is_set():
            for daemon, s in sockets.items():
                pool = dns_datagrams() if daemon == "DNS" else (
                    dhcp_datagrams() if daemon == "DHCP" else
                    [random.randbytes(n) for n in (0, 1, 512, 1472, 8192, 65000)])
                data = random.choice(pool)
                try:
                    s.sendto(data, (DHCP_IP if daemon == "DHCP" else ENGINE_IP,
                                    PORTS[daemon]))
                    stats.bad(daemon)
                except OSError:
                    pass
                try:
                    while s.recv(65536):  # replies are not looked at
                        pass
                except OSError:
                    pass
            await asyncio.sleep(0.01)
    finally:
        for s in sockets.values():
            s.close()


async def flooder(servers, stats, stop, tricklers):
    while not stop.is_set():
        await bad_tcp(random.choice(TCP_DAEMONS), servers, stats, tricklers)
        await asyncio.sleep(random.uniform(0, 0.05))


# ---------------------------------------------------------------- probe and monitor

async def probe_once(servers):
    start = time.monotonic()
    reader, writer = await asyncio.wait_for(
        asyncio.open_connection(ENGINE_IP, PORTS["HTTP"]), 20)
    try:
        writer.write(b"GET http://%s:%d/64 HTTP/1.0\r\n\r\n" % (SERVER_IP.encode(),
                                                               servers["http"]))
        body = await asyncio.wait_for(reader.read(-1), 20)
        if not body.startswith(b"HTTP/1.1 200") or not body.endswith(b"x" * 64):
            raise ValueError("probe reply")
    finally:
        writer.transport.abort()
    return (time.monotonic() - start) * 1000.0


async def probe(servers, stats, stop, hung):
    while not stop.is_set():
        tick = time.monotonic()
        try:
            stats.probe.append(await probe_once(servers))
            stats.probe_streak = 0
        except (OSError, ConnectionError, asyncio.TimeoutError, ValueError):
            stats.probe_failures += 1
            stats.probe_streak += 1
            if stats.probe_streak >= 10:
                hung.set()
        await asyncio.sleep(max(0.0, 1.0 - (time.monotonic() - tick)))


async def monitor(engine, stats, stop, crashed):
    while not stop.is_set():
        if not engine.alive():
            crashed.set()
            return
        sample = engine.sample()
        if sample:
            stats.samples.append(sample)
        await asyncio.sleep(2)


def percentile(values, p):
    if not values:
        return float("nan")
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100.0 * (len(ordered) - 1))))]


async def run_load(engine, servers, args, stats):
    stop = asyncio.Event()
    hung = asyncio.Event()
    crashed = asyncio.Event()
    tricklers = [0]
    tasks = []
    for kind, share in MIX.items():
        for _ in range(int(args.clients * share + 0.5)):
            tasks.append(asyncio.create_task(client_loop(kind, servers, stats, stop)))
    log("soak: %d well-formed clients started" % len(tasks))
    tasks += [asyncio.create_task(flooder(servers, stats, stop, tricklers))
              for _ in range(args.flooders)]
    tasks.append(asyncio.create_task(bad_datagrams(stats, stop)))
    tasks.append(asyncio.create_task(probe(servers, stats, stop, hung)))
    tasks.append(asyncio.create_task(monitor(engine, stats, stop, crashed)))
    end = time.monotonic() + args.seconds
    next_report = time.monotonic() + 60
    while time.monotonic() < end and not hung.is_set() and not crashed.is_set():
        await asyncio.sleep(1)
        if time.monotonic() >= next_report:
            next_report += 60
            last = stats.samples[-1] if stats.samples else {}
            log("soak: %4ds served %d, malformed %d, probe p99 %.0f ms, engine %s"
                % (args.seconds - (end - time.monotonic()), sum(stats.served.values()),
                   sum(stats.malformed.values()), percentile(stats.probe, 99), last))
    stop.set()
    # Whatever is still waiting on the engine now is given up on.
    done, pending = await asyncio.wait(tasks, timeout=15)
    for task in pending:
        task.cancel()
    await asyncio.gather(*pending, return_exceptions=True)
    return hung.is_set(), crashed.is_set() or not engine.alive()


# ---------------------------------------------------------------- main

def run(args):
    resource.setrlimit(resource.RLIMIT_NOFILE, (resource.getrlimit(resource.RLIMIT_NOFILE)[1],) * 2)
    folder = tempfile.mkdtemp(prefix="qlm-soak-")
    failures = []
    servers_process = subprocess.Popen([sys.executable, os.path.join(ROOT, "soak", "servers.py"),
                                        "--address", SERVER_IP], stdin=subprocess.PIPE,
                                       stdout=subprocess.PIPE, text=True)
    servers = json.loads(servers_process.stdout.readline())
    ftp_root = os.path.join(folder, "ftp")
    os.makedirs(ftp_root)
    ftp_process = subprocess.Popen(
        [sys.executable, os.path.join(ROOT, "tests", "e2e", "ftp", "ftp_server.py"),
         "--address", FTP_IP, "--root", ftp_root, "--user", "alice", "--password", "secret",
         "--data-port", "0"], stdout=subprocess.DEVNULL, stderr=open(folder + "/ftp.stderr", "w"))
    engine = Engine(os.path.abspath(args.build), folder)
    stats = Stats()
    try:
        engine.write_store(store_text(folder, servers))
        store_before = export_store(engine.qlmreg, engine.env)
        if not engine.start():
            log("soak: FAIL the engine did not start; see %s/engine.stderr" % folder)
            return 1
        time.sleep(3)
        start = engine.sample()
        resident_start = engine.resident_by_kind()
        log("soak: engine pid %d at start %s" % (engine.process.pid, start))
        t0 = time.monotonic()
        hung, crashed = asyncio.run(run_load(engine, servers, args, stats))
        load_seconds = time.monotonic() - t0
        if crashed:
            failures.append("the engine crashed or exited during the load")
        if hung:
            failures.append("the engine hung: 10 probes in a row failed")
        # Back to the start values within a minute of the load's end. The
        # sanitizer's shadow is left out of resident memory: it mirrors the
        # peak heap and is never given back, by the sanitizer's design (the
        # plain build shows the engine's own figure). The allowance covers
        # the sanitizer allocator's quarantine and its per-size caches.
        after, settled = None, None
        rss_limit = own_resident(resident_start) + RESIDENT_ALLOWANCE_MIB
        t_end = time.monotonic()
        while engine.alive() and time.monotonic() - t_end < 60:
            after = engine.sample()
            if after:
                after["own_mib"] = own_resident(engine.resident_by_kind())
            if (after and after["fds"] <= start["fds"] and after["threads"] <= start["threads"]
                    and after["own_mib"] <= rss_limit):
                settled = time.monotonic() - t_end
                break
            time.sleep(1)
        if settled is None:
            with open(folder + "/sockets-after.txt", "w") as out:
                subprocess.run(["ss", "-tuanp"], stdout=out, stderr=subprocess.STDOUT)
            failures.append("not back to the start values within a minute: %s (start %s, "
                            "own resident limit %.0f MiB)" % (after, start, rss_limit))
        resident_after = engine.resident_by_kind()
        exit_code = engine.stop() if engine.alive() else engine.process.returncode
        if exit_code != 0:
            failures.append("engine exit code %s" % exit_code)
        reports = engine.sanitizer_reports()
        if reports:
            failures.append("%d sanitizer report(s)" % len(reports))
            for report in reports:
                log(report[:6000])
        store_after = export_store(engine.qlmreg, engine.env)
        lost = store_pairs(store_before) - store_pairs(store_after)
        if lost:
            failures.append("store values lost: %s" % sorted(lost)[:10])
        p50, p99 = percentile(stats.probe, 50), percentile(stats.probe, 99)
        if not stats.probe or p99 > args.p99_ms:
            failures.append("probe p99 %.0f ms above %d ms" % (p99, args.p99_ms))
        peak = {k: max(s[k] for s in stats.samples) for k in ("fds", "threads", "rss_mib")} \
            if stats.samples else {}
        leases = sorted(s for s, _ in store_pairs(store_after) if s.startswith("[DHCP\\"))
        log("soak: ---- figures ----")
        log("soak: load %.0f s, %d well-formed clients, %d flooders" %
            (load_seconds, args.clients, args.flooders))
        log("soak: sessions served %d %s" % (sum(stats.served.values()),
                                              json.dumps(stats.served, sort_keys=True)))
        log("soak: sessions failed %d %s" % (sum(stats.failed.values()),
                                              json.dumps(stats.failed, sort_keys=True)))
        log("soak: UDP mapping replies %d" % stats.udp_replies)
        log("soak: malformed inputs %d %s" % (sum(stats.malformed.values()),
                                               json.dumps(stats.malformed, sort_keys=True)))
        log("soak: trickling clients cut off %d" % stats.cut_tricklers)
        log("soak: probe %d served, %d failed, p50 %.1f ms, p99 %.1f ms, max %.1f ms" %
            (len(stats.probe), stats.probe_failures, p50, p99,
             max(stats.probe) if stats.probe else float("nan")))
        log("soak: engine before %s" % start)
        log("soak: engine peak during %s" % peak)
        log("soak: engine after %s (settled in %s s)" %
            (after, "%.0f" % settled if settled is not None else "-"))
        log("soak: resident MiB by kind at start %s" % json.dumps(resident_start))
        log("soak: resident MiB by kind after    %s" % json.dumps(resident_after))
        log("soak: store values %d before, %d after, %d lost; DHCP leases in the store %d" %
            (len(store_pairs(store_before)), len(store_pairs(store_after)), len(lost),
             len(leases)))
        log("soak: engine exit %s, sanitizer reports %d" % (exit_code, len(reports)))
    finally:
        if engine.alive():
            engine.process.kill()
            engine.process.wait()
        servers_process.stdin.close()
        try:
            servers_process.wait(10)
        except subprocess.TimeoutExpired:
            servers_process.kill()
        ftp_process.terminate()
        try:
            ftp_process.wait(10)
        except subprocess.TimeoutExpired:
            ftp_process.kill()
    if failures:
        for failure in failures:
            log("soak: FAIL " + failure)
        log("soak: files kept in " + folder)
        return 1
    subprocess.run(["rm", "-rf", folder])
    log("soak: PASS")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build-asan"))
    parser.add_argument("--seconds", type=int, default=int(os.environ.get("SOAK_SECONDS", 600)))
    parser.add_argument("--clients", type=int, default=2000)
    parser.add_argument("--flooders", type=int, default=40)
    parser.add_argument("--p99-ms", type=int, default=int(os.environ.get("SOAK_P99_MS", 10000)))
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if not args.inside:
        argv = [a for a in sys.argv[1:]]
        return in_namespace(argv)
    return run(args)


if __name__ == "__main__":
    sys.exit(main())
