#!/usr/bin/env python3
"""fake_mail_server.py FOLDER - a POP3 and an SMTP server on loopback for the window's test under
Wine: ephemeral ports written to FOLDER/ports ("POP SMTP"), every message kept as
FOLDER/mail-N.eml. FOLDER/mode, read at each SMTP connection, may say "refuse" (RCPT TO gets 550)
or "hang" (no answer at all). Runs until killed."""
import os
import socket
import sys
import threading

folder = sys.argv[1]
count = [0]


def lines(conn):
    buf = b""
    while True:
        data = conn.recv(4096)
        if not data:
            return
        buf += data
        while b"\n" in buf:
            line, buf = buf.split(b"\n", 1)
            yield line.rstrip(b"\r")


def pop3(conn):
    conn.sendall(b"+OK ready\r\n")
    for line in lines(conn):
        conn.sendall(b"+OK\r\n")
        if line.upper().startswith(b"QUIT"):
            return


def smtp(conn):
    try:
        with open(os.path.join(folder, "mode")) as f:
            mode = f.read().strip()
    except FileNotFoundError:
        mode = ""
    if mode == "hang":
        while conn.recv(4096):
            pass
        return
    conn.sendall(b"220 fake ready\r\n")
    it = lines(conn)
    for line in it:
        verb = line[:4].upper()
        if verb == b"DATA":
            conn.sendall(b"354 go on\r\n")
            body = []
            for data in it:
                if data == b".":
                    break
                body.append(data[1:] if data.startswith(b"..") else data)
            count[0] += 1
            path = os.path.join(folder, "mail-%d.eml" % count[0])
            with open(path + ".part", "wb") as f:
                f.write(b"\r\n".join(body) + b"\r\n")
            os.rename(path + ".part", path)
            conn.sendall(b"250 kept\r\n")
        elif verb == b"RCPT" and mode == "refuse":
            conn.sendall(b"550 no such user here\r\n")
        elif verb == b"QUIT":
            conn.sendall(b"221 bye\r\n")
            return
        else:
            conn.sendall(b"250 ok\r\n")


def serve(sock, handler):
    while True:
        conn, _ = sock.accept()
        def run(c=conn):
            try:
                handler(c)
            finally:
                c.close()
        threading.Thread(target=run, daemon=True).start()


servers = []
for handler in (pop3, smtp):
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    s.listen(5)
    servers.append((s, handler))
with open(os.path.join(folder, "ports.part"), "w") as f:
    f.write("%d %d\n" % (servers[0][0].getsockname()[1], servers[1][0].getsockname()[1]))
os.rename(os.path.join(folder, "ports.part"), os.path.join(folder, "ports"))
for s, handler in servers[:-1]:
    threading.Thread(target=serve, args=(s, handler), daemon=True).start()
serve(*servers[-1])
