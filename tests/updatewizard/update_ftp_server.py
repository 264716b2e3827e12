#!/usr/bin/python3
"""An anonymous, read-only FTP server on 127.0.0.1 for the update tests:
Debian's pyftpdlib serving ROOT, with faults a test asks for.

    update_ftp_server.py ROOT [--hide NAME] [--bad-size NAME] [--cut NAME:BYTES:TIMES]
                              [--fail NAME:CODE] [--stall NAME[:BYTES]] [--no-rest]
                              [--log FILE]

--hide       leaves NAME out of the listing (it can still be fetched)
--bad-size   lists NAME with a size field that is no number
--cut        the first TIMES fetches of NAME send only BYTES bytes (counted
             from a REST offset) and still end with 226
--fail       answers every fetch of NAME with CODE
--stall      answers a fetch of NAME with 150, sends its first BYTES bytes
             (none when not given) and then nothing more
--no-rest    refuses REST (502)
--log        appends every command the server receives to FILE

Prints its port on the first line of standard output, then serves until
killed. Every option but --log may be given more than once.
"""
import argparse
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

ARGS = None
CUTS = {}


class FaultyFS(AbstractedFS):
    def listdir(self, path):
        return [n for n in super().listdir(path) if n not in ARGS.hide]

    def format_list(self, basedir, listing, ignore_err=True):
        for line in super().format_list(basedir, listing, ignore_err):
            text = line.decode("utf-8", "replace") if isinstance(line, bytes) else line
            name = text.rstrip("\r\n").rsplit(" ", 1)[-1]
            if name in ARGS.bad_size:
                head, tail = text.rsplit(" ", 1)
                parts = head.split(" ")
                # The size is the token before the twelve characters of the date.
                for i in range(len(parts) - 1, -1, -1):
                    if parts[i].isdigit() and len(" ".join(parts[i + 1:])) >= 12:
                        parts[i] = "12x4"
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

    def ftp_RETR(self, file):
        name = file.rsplit("/", 1)[-1]
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
    ARGS = parser.parse_args()
    for option in ARGS.cut:
        name, keep, times = option.rsplit(":", 2)
        CUTS[name] = [int(keep), int(times)]
    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(ARGS.root)
    FaultyHandler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), FaultyHandler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
