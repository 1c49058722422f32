#!/usr/bin/env python3
"""policy.py LISTFILE PORTFILE - a Postfix policy service for the interoperability tests.

The first request for a recipient named in LISTFILE (one address a line, read anew for every
request, so a test may fill it after the start) is answered with a temporary refusal, every later
one with "dunno", as greylisting would. It listens on a free loopback port and writes that port
to PORTFILE once it accepts connections.
"""
import os
import socketserver
import sys
import threading

LIST_FILE, PORT_FILE = sys.argv[1], sys.argv[2]
deferred = set()
lock = threading.Lock()


def listed():
    try:
        with open(LIST_FILE, encoding="utf-8") as f:
            return {line.strip().lower() for line in f if line.strip()}
    except OSError:
        return set()


def decide(recipient):
    recipient = recipient.lower()
    with lock:
        if recipient in listed() and recipient not in deferred:
            deferred.add(recipient)
            return "451 4.7.1 try again later"
    return "dunno"


class Handler(socketserver.StreamRequestHandler):
    # One connection carries any number of requests, each ended by an empty line.
    def handle(self):
        attributes = {}
        for raw in self.rfile:
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            if line:
                key, _, value = line.partition("=")
                attributes[key] = value
                continue
            action = decide(attributes.get("recipient", ""))
            self.wfile.write(("action=" + action + "\n\n").encode())
            self.wfile.flush()
            attributes = {}


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Handler)
with open(PORT_FILE + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(PORT_FILE + ".tmp", PORT_FILE)
server.serve_forever()
