#!/usr/bin/python3
"""Scripted peers for the socket and FTP client tests, on 127.0.0.1 only.

  scripted_peer.py socks MODE LOGFILE   a SOCKS 4/4A/5 proxy that relays to
      127.0.0.0/8 targets or answers as MODE says (reply4=N, reply5=N,
      method=N, method0, authfail, close-auth, atyp3-app, ok)
  scripted_peer.py ftp SCRIPT.json      an FTP server that answers as the
      script says (greeting, replies, pasv_host, transfer mode, data)

Each prints its port on the first line of standard output, then serves
until killed. Requests are appended to LOGFILE as hex lines.
"""
import json
import socket
import sys
import threading
import time


def listen():
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(16)
    return s


def recv_exact(conn, n):
    data = b""
    while len(data) < n:
        chunk = conn.recv(n - len(data))
        if not chunk:
            raise EOFError()
        data += chunk
    return data


def recv_until_zero(conn):
    data = b""
    while True:
        c = recv_exact(conn, 1)
        if c == b"\0":
            return data
        data += c


def loopback_only(host):
    return host.startswith("127.") or host == "localhost"


def relay(a, b):
    def pump(src, dst):
        try:
            while True:
                data = src.recv(65536)
                if not data:
                    break
                dst.sendall(data)
        except OSError:
            pass
        for s in (src, dst):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
    threading.Thread(target=pump, args=(a, b), daemon=True).start()
    pump(b, a)


def socks_session(conn, mode, log):
    version = recv_exact(conn, 1)[0]
    if version == 4:
        head = recv_exact(conn, 7)
        port = head[1] << 8 | head[2]
        ip = ".".join(str(x) for x in head[3:7])
        user = recv_until_zero(conn)
        host = ip
        if head[3:6] == b"\0\0\0" and head[6] != 0:
            host = recv_until_zero(conn).decode()
        log.write("4 %s %d %s %s\n" % (ip, port, user.decode(), host))
        log.flush()
        if mode.startswith("reply4="):
            conn.sendall(bytes([0, int(mode[7:]), 0, 0, 0, 0, 0, 0]))
            return
        if not loopback_only(host):
            conn.sendall(bytes([0, 91, 0, 0, 0, 0, 0, 0]))
            return
        target = socket.create_connection((host, port))
        conn.sendall(bytes([0, 90, 0, 0, 0, 0, 0, 0]))
        relay(conn, target)
        return
    if version != 5:
        return
    methods = recv_exact(conn, recv_exact(conn, 1)[0])
    log.write("5 methods %s\n" % methods.hex())
    log.flush()
    if mode.startswith("method="):
        conn.sendall(bytes([5, int(mode[7:])]))
        return
    if 2 in methods and mode != "method0":
        conn.sendall(bytes([5, 2]))
        recv_exact(conn, 1)
        user = recv_exact(conn, recv_exact(conn, 1)[0])
        password = recv_exact(conn, recv_exact(conn, 1)[0])
        log.write("5 auth %s %s\n" % (user.decode(), password.decode()))
        log.flush()
        if mode == "close-auth":
            return
        if mode == "authfail":
            conn.sendall(bytes([1, 1]))
            return
        conn.sendall(bytes([1, 0]))
    else:
        conn.sendall(bytes([5, 0]))
    head = recv_exact(conn, 4)
    if head[3] == 3:
        host = recv_exact(conn, recv_exact(conn, 1)[0]).decode()
    elif head[3] == 1:
        host = ".".join(str(x) for x in recv_exact(conn, 4))
    else:
        return
    port = int.from_bytes(recv_exact(conn, 2), "big")
    log.write("5 connect %s %d\n" % (host, port))
    log.flush()
    if mode.startswith("reply5="):
        conn.sendall(bytes([5, int(mode[7:]), 0, 1, 0, 0, 0, 0, 0, 0]))
        return
    if mode == "atyp3-app":
        name = b"bound.example"
        conn.sendall(bytes([5, 0, 0, 3, len(name)]) + name + bytes([4, 210]) + b"APPDATA\r\n")
        time.sleep(0.5)
        return
    if not loopback_only(host):
        conn.sendall(bytes([5, 2, 0, 1, 0, 0, 0, 0, 0, 0]))
        return
    target = socket.create_connection((host, port))
    conn.sendall(bytes([5, 0, 0, 1, 127, 0, 0, 1, 0, 0]))
    relay(conn, target)


def send_lines(conn, lines):
    conn.sendall(b"".join(l.encode() + b"\r\n" for l in lines))


def ftp_transfer(conn, listener, script, verb):
    mode = script.get("transfer", "normal")
    if mode == "550":
        send_lines(conn, ["550 No such file."])
        return True
    data = script.get("data", "listing line\r\n").encode()
    send_lines(conn, ["150 Opening data connection."])
    listener.settimeout(5)
    dconn, _ = listener.accept()
    if mode == "226-first":
        send_lines(conn, ["226 Transfer complete."])
        time.sleep(0.3)
        dconn.sendall(data)
        dconn.close()
    elif mode == "close-control":
        dconn.sendall(data[: len(data) // 2])
        time.sleep(0.2)
        conn.close()
        time.sleep(0.3)
        dconn.close()
        return False
    elif mode == "426":
        dconn.sendall(data[: len(data) // 2])
        dconn.close()
        send_lines(conn, ["426 Connection closed; transfer aborted."])
    elif mode == "426-open":
        # The abort told while the data connection is still open, as a server
        # does that saw the client end its side first.
        dconn.sendall(data)
        time.sleep(0.2)
        send_lines(conn, ["426 Transfer aborted; 16 bytes transmitted."])
        time.sleep(1)
        dconn.close()
    else:
        dconn.sendall(data)
        dconn.close()
        time.sleep(0.1)
        send_lines(conn, ["226 Transfer complete."])
    return True


def ftp_session(conn, script):
    if "raw_greeting" in script:
        conn.sendall(script["raw_greeting"].encode())
        time.sleep(5)
        return
    send_lines(conn, script.get("greeting", ["220 Scripted server ready."]))
    replies = {"USER": ["331 Password required."], "PASS": ["230 Logged in."],
               "TYPE": ["200 Type set."], "CWD": ["250 Directory changed."],
               "QUIT": ["221 Goodbye."]}
    replies.update(script.get("replies", {}))
    listener = None
    buf = b""
    while True:
        while b"\r\n" not in buf:
            chunk = conn.recv(4096)
            if not chunk:
                return
            buf += chunk
        line, buf = buf.split(b"\r\n", 1)
        verb = line.decode().split(" ")[0].upper()
        if verb == "PASV":
            listener = listen()
            port = listener.getsockname()[1]
            host = script.get("pasv_host", "127,0,0,1")
            send_lines(conn, ["227 Entering Passive Mode (%s,%d,%d)." % (host, port >> 8, port & 255)])
        elif verb in ("LIST", "RETR") and listener is not None:
            if not ftp_transfer(conn, listener, script, verb):
                return
        elif verb in replies:
            send_lines(conn, replies[verb])
            if verb == "QUIT":
                time.sleep(script.get("quit_delay", 0))
                return
        else:
            send_lines(conn, ["502 Command not implemented."])


def serve(handler):
    server = listen()
    print(server.getsockname()[1], flush=True)
    while True:
        conn, _ = server.accept()

        def run(c=conn):
            try:
                handler(c)
            except (EOFError, OSError):
                pass
            finally:
                try:
                    c.close()
                except OSError:
                    pass
        threading.Thread(target=run, daemon=True).start()


def main():
    if sys.argv[1] == "socks":
        mode, log = sys.argv[2], open(sys.argv[3], "a")
        serve(lambda c: socks_session(c, mode, log))
    else:
        with open(sys.argv[2]) as f:
            script = json.load(f)
        serve(lambda c: ftp_session(c, script))


if __name__ == "__main__":
    main()
