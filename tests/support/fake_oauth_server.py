#!/usr/bin/env python3
"""A fake OAuth 2.0 authorization server on 127.0.0.1 for the OAuth tests (the mail side is the
scripted C++ fake mail server behind a TLS front, tests/support/TlsFakeServer.h).

  fake_oauth_server.py --dir D --refresh RT [--revoked] [--expires 3600]
                       [--pending 1 --slow-down 1]

It makes a self-signed certificate for IP 127.0.0.1 (D/ca.pem, for CaFile), then writes
D/ports ("HTTPS_PORT") once it listens. Endpoints: POST /token (refresh_token and
device_code grants; refresh tokens rotate: each use gives a new one and the old is dead),
POST /authorize (the browser's visit: PKCE S256 remembered, JSON {"location": redirect}),
POST /device, POST /introspect (token=...; what Dovecot's oauth2 passdb asks). Every request is
appended to D/requests.log as one line (path and form). It runs until killed.
"""
import argparse, base64, hashlib, json, os, ssl, subprocess, threading, urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ap = argparse.ArgumentParser()
ap.add_argument("--dir", required=True)
ap.add_argument("--refresh", default="rt-0")
ap.add_argument("--client", default="tarvell-test")
ap.add_argument("--user", default="taro@example.jp", help="the user introspection names")
ap.add_argument("--revoked", action="store_true")
ap.add_argument("--expires", type=int, default=3600)
ap.add_argument("--pending", type=int, default=0)
ap.add_argument("--slow-down", type=int, default=0)
args = ap.parse_args()

D = args.dir
lock = threading.Lock()
state = {"refresh": {args.refresh}, "access": set(), "n": 0, "pending": args.pending,
         "slow": args.slow_down}


def log(name, line):
    with lock, open(os.path.join(D, name), "a", encoding="utf-8") as f:
        f.write(line + "\n")


def issue():
    state["n"] += 1
    access, refresh = f"at-{state['n']}", f"rt-{state['n']}"
    state["access"].add(access)
    state["refresh"].add(refresh)
    return {"access_token": access, "token_type": "Bearer", "expires_in": args.expires,
            "refresh_token": refresh, "scope": "SMTP.Send"}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *a):
        pass

    def reply(self, status, body, chunked=False):
        data = json.dumps(body).encode()
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            for i in range(0, len(data), 7):
                part = data[i:i + 7]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(part), part))
            self.wfile.write(b"0\r\n\r\n")
        else:
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)
        self.close_connection = True

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        raw = self.rfile.read(length).decode()
        form = dict(urllib.parse.parse_qsl(raw))
        log("requests.log", f"{self.path} {raw}")
        if self.headers.get("Content-Type") != "application/x-www-form-urlencoded":
            return self.reply(400, {"error": "invalid_request"})
        with lock:
            if self.path == "/device":
                return self.reply(200, {"device_code": "dc-1", "user_code": "ABCD-EFGH",
                                        "verification_uri": "https://127.0.0.1/device",
                                        "expires_in": 600, "interval": 1})
            if self.path == "/authorize":
                # The browser's visit, posted by the test: remembers the PKCE challenge and
                # tells where the browser is sent back to.
                if form.get("code_challenge_method") != "S256" or not form.get("code_challenge"):
                    return self.reply(400, {"error": "invalid_request"})
                state["codes"] = {"c-1": (form["code_challenge"], form["redirect_uri"])}
                query = urllib.parse.urlencode({"code": "c-1", "state": form["state"]})
                return self.reply(200, {"location": form["redirect_uri"] + "?" + query})
            if self.path == "/introspect":
                return self.reply(200, {"active": form.get("token") in state["access"],
                                        "username": args.user})
            if self.path != "/token" or form.get("client_id") != args.client:
                return self.reply(400, {"error": "invalid_client"})
            grant = form.get("grant_type")
            if grant == "refresh_token":
                token = form.get("refresh_token")
                if args.revoked or token not in state["refresh"]:
                    return self.reply(400, {"error": "invalid_grant", "error_description":
                                            "AADSTS70008: トークンは取り消されました"})
                state["refresh"].discard(token)  # rotated: the old one is dead
                return self.reply(200, issue(), chunked=True)
            if grant == "authorization_code":
                challenge, redirect = state.get("codes", {}).pop(form.get("code"), (None, None))
                verifier = form.get("code_verifier", "").encode()
                digest = base64.urlsafe_b64encode(hashlib.sha256(verifier).digest()).rstrip(b"=")
                if challenge is None or digest.decode() != challenge or \
                        form.get("redirect_uri") != redirect:
                    return self.reply(400, {"error": "invalid_grant"})
                return self.reply(200, issue())
            if grant == "urn:ietf:params:oauth:grant-type:device_code":
                if state["slow"] > 0:
                    state["slow"] -= 1
                    return self.reply(400, {"error": "slow_down"})
                if state["pending"] > 0:
                    state["pending"] -= 1
                    return self.reply(400, {"error": "authorization_pending"})
                return self.reply(200, issue())
            return self.reply(400, {"error": "unsupported_grant_type"})


def main():
    cert, key = os.path.join(D, "ca.pem"), os.path.join(D, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                    "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key,
                    "-out", cert], check=True, capture_output=True)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    https = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    https.socket = context.wrap_socket(https.socket, server_side=True)
    ports = os.path.join(D, "ports")
    with open(ports + ".tmp", "w") as f:
        f.write(f"{https.server_address[1]}\n")
    os.rename(ports + ".tmp", ports)
    https.serve_forever()


main()
