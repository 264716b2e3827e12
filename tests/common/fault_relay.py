#!/usr/bin/python3
"""A fault-injecting TCP relay between an FTP client and its server, on
127.0.0.1 only, for tests of a flaky network.

    fault_relay.py --upstream PORT --kind KIND --seed N
                   [--data-max BYTES] [--control-max BYTES] [--log FILE] [--opaque]

It listens on a free port of 127.0.0.1, prints that port on the first line
of standard output, and relays every connection to 127.0.0.1:PORT until it
is stopped (SIGTERM, by its PID). The server's PASV (227) and EPSV (229)
replies are rewritten to ports of the relay, so the passive data
connections go through it too (to 127.0.0.1 and the port the server named,
whatever address the reply holds). PORT and EPRT pass unchanged: active
data connections do not go through the relay. With --opaque the replies
pass as they come, unread (a control connection in TLS cannot be read):
nothing is rewritten, so the data connections go straight to the server,
and after-150 never strikes.

The fault is drawn from the seed, so a run is repeated with the same seed:
  none         relay faithfully
  cut-control  cut each control connection after a random number of bytes
               (0 to --control-max, both directions counted), by a reset or
               an orderly close; its data connections go with it
  cut-data     reset each data connection after a random number of bytes
               (0 to --data-max); the control connection stays
  delay        hold back random pieces of both directions for up to 0.2 s
  after-150    close the control connection (and its data connections)
               right after relaying the first 150 reply (or 125, which a
               server sends instead when the data connection is already made)
  mixed        one of the above, drawn from the seed
Each drawn fault is written to --log as one line.
"""
import argparse
import random
import re
import signal
import socket
import struct
import sys
import threading
import time

HOST = "127.0.0.1"
KINDS = ["none", "cut-control", "cut-data", "delay", "after-150"]


def listener():
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind((HOST, 0))
    s.listen(8)
    return s


def reset(sock):
    """Closes with a reset (RST) instead of an orderly close. A thread blocked
    reading the socket would keep it alive past close(): shutting down the
    reading side wakes it first, and sends nothing."""
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        sock.shutdown(socket.SHUT_RD)
    except OSError:
        pass
    sock.close()


def close(sock):
    """An orderly close (FIN), also when another thread reads the socket."""
    try:
        sock.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass
    sock.close()


class Fault:
    """The fault of this relay, with its random draws."""

    def __init__(self, kind, seed, data_max, control_max, log):
        self.random = random.Random(seed)
        self.kind = self.random.choice(KINDS) if kind == "mixed" else kind
        self.cut_at = None
        self.use_reset = self.random.random() < 0.5
        if self.kind == "cut-control":
            self.cut_at = self.random.randint(0, control_max)
        elif self.kind == "cut-data":
            self.cut_at = self.random.randint(0, data_max)
        self.lock = threading.Lock()
        self.log = log
        self.note("%s at %s by %s" % (self.kind, self.cut_at, "reset" if self.use_reset else "close"))

    def note(self, text):
        if self.log:
            with self.lock:
                self.log.write(text + "\n")
                self.log.flush()

    def delay(self):
        if self.kind == "delay":
            with self.lock:
                wait = self.random.random() * 0.2 if self.random.random() < 0.1 else 0
            if wait:
                time.sleep(wait)

    def allowance(self, counter, data, want):
        """How many of want bytes may pass before the cut (None: no cut on
        this connection); counter holds the bytes the connection passed."""
        if self.kind != ("cut-data" if data else "cut-control"):
            return None
        with self.lock:
            n = min(max(self.cut_at - counter[0], 0), want)
            counter[0] += n
            return n


class Session:
    """One control connection and its data connections."""

    def __init__(self, client, upstream_port, fault, opaque=False):
        self.client = client
        self.opaque = opaque
        self.fault = fault
        self.server = socket.create_connection((HOST, upstream_port))
        self.sockets = [client, self.server]
        self.done = threading.Event()
        self.lock = threading.Lock()
        self.control_bytes = [0]
        self.data_bytes = {}

    def cut(self, use_reset):
        with self.lock:
            if self.done.is_set():
                return
            self.done.set()
            for s in self.sockets:
                reset(s) if use_reset else close(s)

    def send(self, dst, data, pair):
        """Sends data, cutting where the fault says; False when cut. A data
        connection (pair) is reset alone; a cut of the control connection
        takes its data connections with it."""
        is_data = pair is not None
        counter = self.data_bytes[pair] if is_data else self.control_bytes
        allowed = self.fault.allowance(counter, is_data, len(data))
        if allowed is not None and allowed < len(data):
            if allowed:
                dst.sendall(data[:allowed])
            self.fault.note("cut after %d %s bytes" % (
                self.fault.cut_at, "data" if is_data else "control"))
            if is_data:
                for sock in pair:
                    reset(sock)
            else:
                self.cut(self.fault.use_reset)
            return False
        self.fault.delay()
        dst.sendall(data)
        return True

    def pump(self, src, dst, pair=None):
        try:
            while not self.done.is_set():
                data = src.recv(65536)
                if not data:
                    dst.shutdown(socket.SHUT_WR)
                    return
                if not self.send(dst, data, pair):
                    return
        except OSError:
            if pair is None:
                self.cut(True)
            else:
                for sock in pair:
                    reset(sock)

    def pump_replies(self):
        """Server to client on the control connection, line by line."""
        buffer = b""
        try:
            while not self.done.is_set():
                data = self.server.recv(65536)
                if not data:
                    if buffer:
                        self.send(self.client, buffer, None)
                    self.client.shutdown(socket.SHUT_WR)
                    return
                buffer += data
                while b"\n" in buffer:
                    line, buffer = buffer.split(b"\n", 1)
                    line = self.rewrite(line + b"\n")
                    if not self.send(self.client, line, None):
                        return
                    # 125 is the 150 of a data connection made before RETR.
                    if line[:3] in (b"150", b"125") and self.fault.kind == "after-150":
                        self.fault.note("closed after 150")
                        self.cut(self.fault.use_reset)
                        return
        except OSError:
            self.cut(True)

    def rewrite(self, line):
        m = re.match(rb"227 .*\((\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\)", line)
        if m:
            port = self.data_relay(int(m.group(5)) * 256 + int(m.group(6)))
            return b"227 Entering Passive Mode (127,0,0,1,%d,%d).\r\n" % (port >> 8, port & 255)
        m = re.match(rb"229 .*\(\|\|\|(\d+)\|\)", line)
        if m:
            port = self.data_relay(int(m.group(1)))
            return b"229 Entering Extended Passive Mode (|||%d|)\r\n" % port
        return line

    def data_relay(self, server_port):
        """A port of ours that relays one data connection to the server's."""
        lsock = listener()
        with self.lock:
            self.sockets.append(lsock)

        def run():
            try:
                lsock.settimeout(30)
                client, _ = lsock.accept()
                close(lsock)
                server = socket.create_connection((HOST, server_port))
            except OSError:
                return
            with self.lock:
                self.sockets += [client, server]
                if self.done.is_set():
                    reset(client)
                    reset(server)
                    return
            pair = (client, server)
            with self.lock:
                self.data_bytes[pair] = [0]
            threading.Thread(target=self.pump, args=(client, server, pair), daemon=True).start()
            self.pump(server, client, pair)

        threading.Thread(target=run, daemon=True).start()
        return lsock.getsockname()[1]

    def run(self):
        threading.Thread(target=self.pump, args=(self.client, self.server),
                         daemon=True).start()
        if self.opaque:
            self.pump(self.server, self.client)
        else:
            self.pump_replies()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--upstream", type=int, required=True)
    parser.add_argument("--kind", choices=KINDS + ["mixed"], required=True)
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--data-max", type=int, default=1 << 20)
    parser.add_argument("--control-max", type=int, default=600)
    parser.add_argument("--log")
    parser.add_argument("--opaque", action="store_true")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    log = open(args.log, "a") if args.log else None
    fault = Fault(args.kind, args.seed, args.data_max, args.control_max, log)
    server = listener()
    print(server.getsockname()[1], flush=True)
    while True:
        client, _ = server.accept()

        def serve(c=client):
            try:
                Session(c, args.upstream, fault, args.opaque).run()
            except OSError:
                reset(c)

        threading.Thread(target=serve, daemon=True).start()


if __name__ == "__main__":
    main()
