#!/usr/bin/python3
"""An anonymous, read-only FTP server on 127.0.0.1 for the update tests:
Debian's pyftpdlib serving ROOT, with faults a test asks for.

    update_ftp_server.py ROOT [--hide NAME] [--bad-size NAME] [--cut NAME:BYTES:TIMES]
                              [--fail NAME:CODE] [--stall NAME[:BYTES]] [--no-rest]
                              [--log FILE] [hostile options]

--hide       leaves NAME out of the listing (it can still be fetched)
--bad-size   lists NAME with a size field that is no number
--cut        the first TIMES fetches of NAME send only BYTES bytes (counted
             from a REST offset) and still end with 226
--fail       answers every fetch of NAME with CODE
--stall      answers a fetch of NAME with 150, sends its first BYTES bytes
             (none when not given) and then nothing more
--no-rest    refuses REST (502)
--log        appends every command the server receives to FILE

Encryption (pyftpdlib's TLS_FTPHandler, with python3-openssl):
--tls CERT KEY   offers explicit TLS (AUTH TLS, PBSZ, PROT) with the
                 certificate CERT and its key KEY; a client may also stay
                 in plain text
--tls-required   with --tls: refuses USER and PASS before AUTH, and
                 PASV, EPSV, PORT and EPRT before PROT P

Hostile and foreign servers:
--dos-list       lists the MS-DOS way, as Windows FTP services do
--list-size NAME:SIZE  lists NAME with SIZE bytes
--flood NAME     sends NAME, then zeros until FLOOD bytes went, and then
                 nothing more without ending the transfer
--trickle NAME:SECONDS  sends one byte of NAME every SECONDS, without end
--endless-list   sends the listing, then more lines until FLOOD bytes went
--endless-reply  answers USER with a reply that never ends, as fast as it
                 is taken
--bomb PREFIX    serves every update file whose name starts with PREFIX as
                 an archive whose "Data" declares 4 GB (and inflates to
                 512 MB of zeros after its header)
--port-thief     on PORT, first connects to the client's data port from
                 127.0.0.2 and sends bytes of its own
--sent FILE      writes how many bytes the hostile options sent to FILE
                 (at least every 256 kB, and when a connection ends)

Prints its port on the first line of standard output, then serves until
killed. Every option but --log may be given more than once.
"""
import argparse
import logging
import os
import socket
import struct
import sys
import time
import zipfile
import zlib

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

ARGS = None
CUTS = {}
FLOOD = 96 << 20
SENT = [0, 0]  # bytes sent by the hostile options, and when last written
BOMB = []
THIEVES = []


def count_sent(n):
    SENT[0] += n
    if ARGS.sent and (SENT[0] - SENT[1] >= 1 << 18 or n == 0):
        SENT[1] = SENT[0]
        with open(ARGS.sent + ".new", "w") as f:
            f.write("%d\n" % SENT[0])
        os.replace(ARGS.sent + ".new", ARGS.sent)


def listed_size(name):
    """The size the listing shows for NAME when an option changes it."""
    if name in ARGS.bad_size:
        return "12x4"
    for option in ARGS.list_size:
        target, size = option.rsplit(":", 1)
        if target == name:
            return size
    if BOMB and any(name.startswith(p) for p in ARGS.bomb):
        return str(len(BOMB[0]))
    return None


def bomb_bytes(root):
    """A zip archive with one entry "Data" that declares 4 GB: the header,
    palette and a count of one record of a real update, then zeros."""
    folder = os.path.join(root, "pub/baz/2003")
    real = sorted(n for n in os.listdir(folder) if n.startswith(ARGS.bomb[0]))[0]
    with zipfile.ZipFile(os.path.join(folder, real)) as z:
        head = bytearray(z.read("Data")[:786])
    head[782:786] = struct.pack("<i", 1)
    deflate = zlib.compressobj(9, zlib.DEFLATED, -15)
    packed = [deflate.compress(bytes(head))]
    zeros = bytes(1 << 20)
    for _ in range(512):
        packed.append(deflate.compress(zeros))
    packed.append(deflate.flush())
    data = b"".join(packed)
    declared = 0xF0000000
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, 0, 0x21, 0, len(data),
                        declared, 4, 0) + b"Data"
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, 0, 0x21, 0,
                          len(data), declared, 4, 0, 0, 0, 0, 0, 0) + b"Data"
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central),
                      len(local) + len(data), 0)
    return local + data + central + end


def dos_line(path, name):
    st = os.stat(path)
    t = time.localtime(st.st_mtime)
    # Both clocks of the style: 12 hours with AM/PM, and 24 hours.
    stamp = time.strftime("%m-%d-%y  %I:%M%p" if len(name) % 2 else "%m-%d-%Y  %H:%M", t)
    size = "<DIR>         " if os.path.isdir(path) else "%14d" % st.st_size
    return "%s  %s %s\r\n" % (stamp, size, name)


class FaultyFS(AbstractedFS):
    def listdir(self, path):
        return [n for n in super().listdir(path) if n not in ARGS.hide]

    def format_list(self, basedir, listing, ignore_err=True):
        if ARGS.dos_list:
            for name in listing:
                yield dos_line(os.path.join(basedir, name), name).encode("utf-8")
            return
        for line in super().format_list(basedir, listing, ignore_err):
            text = line.decode("utf-8", "replace") if isinstance(line, bytes) else line
            name = text.rstrip("\r\n").rsplit(" ", 1)[-1]
            size = listed_size(name)
            if size is not None:
                head, tail = text.rsplit(" ", 1)
                parts = head.split(" ")
                # The size is the token before the twelve characters of the date.
                for i in range(len(parts) - 1, -1, -1):
                    if parts[i].isdigit() and len(" ".join(parts[i + 1:])) >= 12:
                        parts[i] = size
                        break
                text = " ".join(parts) + " " + tail
            yield text.encode("utf-8") if isinstance(line, bytes) else text


class FaultyHandler(FTPHandler):
    abstracted_fs = FaultyFS

    def on_command(self, line):
        if ARGS.log:
            with open(ARGS.log, "a") as log:
                log.write(line + "\n")

    def pre_process_command(self, line, cmd, arg):
        self.on_command(line if cmd != "PASS" else "PASS ****")
        super().pre_process_command(line, cmd, arg)

    def ftp_REST(self, line):
        if ARGS.no_rest:
            self.respond("502 REST not implemented.")
            return
        return super().ftp_REST(line)

    def _send_when_connected(self, data):
        # The client may make its passive data connection after it sent
        # RETR: the bytes go once the connection is there.
        if self.data_channel is not None:
            # In two pieces: a client that tells its progress before each
            # read has something to tell at the second.
            half = len(data) // 2
            self.data_channel.socket.sendall(data[:half])
            if data[half:]:
                self.ioloop.call_later(0.2, self._send_when_connected, data[half:])
        else:
            self.ioloop.call_later(0.01, self._send_when_connected, data)

    def pour(self, sock, chunks, pending=b""):
        """Sends what CHUNKS yields ((bytes, seconds to wait after) pairs) on
        SOCK as fast as it is taken; when they are used up the connection
        stays open and silent."""
        try:
            while True:
                if not pending:
                    pending, wait = next(chunks)
                    if wait:
                        sent = sock.send(pending)
                        count_sent(sent)
                        self.ioloop.call_later(wait, self.pour, sock, chunks, pending[sent:])
                        return
                sent = sock.send(pending)
                count_sent(sent)
                pending = pending[sent:]
        except BlockingIOError:
            self.ioloop.call_later(0.001, self.pour, sock, chunks, pending)
        except (StopIteration, OSError):
            count_sent(0)

    def pour_data(self, chunks):
        """POUR on the data connection once the client has made it."""
        if self.data_channel is None:
            self.ioloop.call_later(0.01, self.pour_data, chunks)
            return
        self.pour(self.data_channel.socket, chunks)

    def ftp_LIST(self, path):
        if not ARGS.endless_list:
            return super().ftp_LIST(path)
        lines = b"".join(self.fs.format_list(path, sorted(self.fs.listdir(path))))
        self.respond("150 Here comes the listing.")

        def chunks():
            yield lines, 0
            sent, n = len(lines), 0
            while sent < FLOOD:
                more = b"".join(b"-rw-r--r--   1 ftp      ftp            99 Jun 02 09:30 "
                                b"filler%08d.txt\r\n" % (n + i) for i in range(1000))
                n += 1000
                sent += len(more)
                yield more, 0
        self.pour_data(chunks())
        return path

    def ftp_USER(self, line):
        if not ARGS.endless_reply:
            return super().ftp_USER(line)
        block = b"331-The reply goes on and on and on.\r\n" * 4096

        def chunks():
            while True:
                yield block, 0
        self.pour(self.socket, chunks())

    def ftp_PORT(self, line):
        if ARGS.port_thief:
            numbers = [int(x) for x in line.split(",")]
            thief = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            thief.bind(("127.0.0.2", 0))
            thief.settimeout(2)
            thief.connect(("127.0.0.1", numbers[4] * 256 + numbers[5]))
            thief.sendall(b"not the server's data\r\n" * 100)
            THIEVES.append(thief)
            self.on_command("! thief connected from 127.0.0.2")
        return super().ftp_PORT(line)

    def ftp_RETR(self, file):
        name = file.rsplit("/", 1)[-1]
        if name in ARGS.flood:
            with open(file, "rb") as f:
                data = f.read()
            self._restart_position = 0
            self.respond("150 File status okay. About to open data connection.")

            def chunks():
                yield data, 0
                zeros, sent = bytes(1 << 20), len(data)
                while sent < FLOOD:
                    sent += len(zeros)
                    yield zeros, 0
            self.pour_data(chunks())
            return file
        for option in ARGS.trickle:
            target, seconds = option.rsplit(":", 1)
            if target != name:
                continue
            with open(file, "rb") as f:
                data = f.read()
            self._restart_position = 0
            self.respond("150 File status okay. About to open data connection.")
            self.pour_data((data[i:i + 1], float(seconds)) for i in range(len(data)))
            return file
        if BOMB and any(name.startswith(p) for p in ARGS.bomb):
            self._restart_position = 0
            self.push_dtp_data(BOMB[0], isproducer=False, cmd="RETR")
            return file
        for option in ARGS.fail:
            target, code = option.rsplit(":", 1)
            if target == name:
                self._restart_position = 0
                self.respond("%s Fetch refused." % code)
                return
        for option in ARGS.stall:
            target, _, keep = option.partition(":")
            if target != name:
                continue
            self._restart_position = 0
            self.respond("150 File status okay. About to open data connection.")
            if keep:
                with open(file, "rb") as f:
                    self._send_when_connected(f.read(int(keep)))
            return file
        if CUTS.get(name, [0, 0])[1] > 0:
            keep, times = CUTS[name]
            CUTS[name][1] = times - 1
            rest = self._restart_position
            self._restart_position = 0
            with open(file, "rb") as f:
                f.seek(rest)
                data = f.read(keep)
            self.push_dtp_data(data, isproducer=False, cmd="RETR")
            return file
        return super().ftp_RETR(file)


def tls_handler():
    """The faults above on a connection that offers TLS (or requires it)."""
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler

    class TlsDataHandler(TLS_DTPHandler):
        def readable(self):
            # pyftpdlib takes bytes on a data connection that has no
            # transfer command yet for a hang-up and closes it: a client
            # that begins its handshake as soon as it connects (before its
            # RETR, as curl does) would lose the connection.
            return self._ssl_accepting or super().readable()

    class TlsFaultyHandler(FaultyHandler, TLS_FTPHandler):
        dtp_handler = TlsDataHandler
        certfile, keyfile = ARGS.tls
        tls_control_required = ARGS.tls_required
        tls_data_required = ARGS.tls_required

    return TlsFaultyHandler


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--hide", action="append", default=[])
    parser.add_argument("--bad-size", action="append", default=[])
    parser.add_argument("--cut", action="append", default=[])
    parser.add_argument("--fail", action="append", default=[])
    parser.add_argument("--stall", action="append", default=[])
    parser.add_argument("--no-rest", action="store_true")
    parser.add_argument("--log")
    parser.add_argument("--dos-list", action="store_true")
    parser.add_argument("--list-size", action="append", default=[])
    parser.add_argument("--flood", action="append", default=[])
    parser.add_argument("--trickle", action="append", default=[])
    parser.add_argument("--endless-list", action="store_true")
    parser.add_argument("--endless-reply", action="store_true")
    parser.add_argument("--bomb", action="append", default=[])
    parser.add_argument("--port-thief", action="store_true")
    parser.add_argument("--sent")
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--tls-required", action="store_true")
    ARGS = parser.parse_args()
    if ARGS.tls_required and not ARGS.tls:
        parser.error("--tls-required needs --tls CERT KEY")
    if ARGS.bomb:
        BOMB.append(bomb_bytes(ARGS.root))
    for option in ARGS.cut:
        name, keep, times = option.rsplit(":", 2)
        CUTS[name] = [int(keep), int(times)]
    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(ARGS.root)
    handler = tls_handler() if ARGS.tls else FaultyHandler
    handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
