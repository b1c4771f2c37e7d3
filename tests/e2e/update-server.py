#!/usr/bin/env python3
"""update-server.py <state-dir>: loopback servers for the update check's tests.

Makes a signing key of the tests' own, a test CA and two localhost certificates (one from the CA,
one from no one) in <state-dir>; listens with plain HTTP and with HTTPS under each certificate;
writes server.env (ports, public key, CA file) once all accept; serves until killed. Responses
are written byte by byte, so that one can lie about its length, trickle or never come. The path
/<scenario>[-MM-DD-YY]/ombrel/update.txt chooses the response and dates its description.
"""

import re
import socketserver
import ssl
import subprocess
import sys
import threading
import time
from pathlib import Path

OBJECT = "ombrel/update.txt"
SIGN = Path(__file__).resolve().parents[2] / "scripts" / "sign-update.sh"
# A stalled answer ends by itself at last, so that a forgotten server frees its threads.
STALL_SECONDS = 300
REQUEST_LIMIT = 16 * 1024
state = None
ports = {}


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, capture_output=True, cwd=state)


def make_material():
    p256 = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    openssl("ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", "sign.pem")
    openssl("req", "-x509", *p256, "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", "/CN=Quorvex Test CA")
    openssl("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der")
    (state / "localhost.cnf").write_text(
        "subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n")
    openssl("req", *p256, "-keyout", "trusted.key", "-out", "trusted.csr", "-subj", "/CN=localhost")
    openssl("x509", "-req", "-in", "trusted.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-days", "2", "-extfile", "localhost.cnf", "-out", "trusted.pem")
    openssl("req", "-x509", *p256, "-keyout", "untrusted.key", "-out", "untrusted.pem", "-days",
            "2", "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost")


def description(date):
    return (f"{date} Quorvex 9.9 is available.\r\n"
            "Download it from the home page.\r\n").encode("ascii")


def signed(date):
    source = state / f"desc-{date.replace('/', '-')}.txt"
    source.write_bytes(description(date))
    return subprocess.run(["bash", str(SIGN), str(state / "sign.pem"), str(source)],
                          check=True, capture_output=True).stdout


def head(status, headers):
    lines = [f"HTTP/1.0 {status}", "Content-Type: text/plain"]
    lines += [f"{name}: {value}" for name, value in headers]
    return ("\r\n".join(lines) + "\r\n\r\n").encode("ascii")


def honest(status, body, headers=()):
    return head(status, [*headers, ("Content-Length", len(body))]) + body


def moved(location):
    return honest("302 Found", b"", [("Location", location)])


# Each dated scenario gives the bytes to send for a date MM/DD/YY, the others without one; None
# stalls. A trickled answer is sent one byte a second.
DATED = {
    "desc": lambda date: honest("200 OK", signed(date)),
    "tampered": lambda date: honest("200 OK", signed(date).replace(b"home page", b"evil.example")),
    "redirect": lambda date: moved(f"/desc-{date.replace('/', '-')}/{OBJECT}"),
    "plainredirect": lambda date: moved(
        f"http://localhost:{ports['plain']}/desc-{date.replace('/', '-')}/{OBJECT}"),
    "trickle": lambda date: honest("200 OK", signed(date)),
}
HOSTILE_BODY = description("12/01/26")
SCENARIOS = {
    "status404": lambda: honest("404 Not Found", HOSTILE_BODY),
    "nolength": lambda: head("200 OK", []) + HOSTILE_BODY,
    "lyinglength": lambda: head("200 OK", [("Content-Length", 500)]) + HOSTILE_BODY[:40],
    "stall": lambda: None,
}

PATH = re.compile(r"/([a-z0-9]+)(?:-(\d\d)-(\d\d)-(\d\d))?/" + re.escape(OBJECT))


def response_for(path):
    match = PATH.fullmatch(path)
    if not match:
        return honest("404 Not Found", b"No such object.\r\n")
    kind, date = match.group(1), match.group(2)
    if date and kind in DATED:
        return DATED[kind]("/".join(match.group(2, 3, 4)))
    if not date and kind in SCENARIOS:
        return SCENARIOS[kind]()
    return honest("404 Not Found", b"No such scenario.\r\n")


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        request = b""
        while b"\r\n\r\n" not in request and len(request) < REQUEST_LIMIT:
            chunk = self.request.recv(4096)
            if not chunk:
                return
            request += chunk
        request_line = request.split(b"\r\n", 1)[0].decode("latin-1")
        print(request_line, file=sys.stderr, flush=True)
        parts = request_line.split(" ")
        path = parts[1] if len(parts) == 3 else ""
        answer = response_for(path)
        if answer is None:
            # Holds the connection open, sending nothing, until the client gives up.
            self.request.settimeout(STALL_SECONDS)
            try:
                while self.request.recv(4096):
                    pass
            except OSError:
                pass
            return
        if path.startswith("/trickle-"):
            for byte in answer:
                self.request.sendall(bytes([byte]))
                time.sleep(1)
        else:
            self.request.sendall(answer)
        self.request.close()


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True

    def __init__(self, certificate=None):
        super().__init__(("127.0.0.1", 0), Handler)
        if certificate:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(state / f"{certificate}.pem", state / f"{certificate}.key")
            self.socket = context.wrap_socket(self.socket, server_side=True)


def main():
    global state
    if len(sys.argv) != 2:
        sys.exit("usage: update-server.py <state-dir>")
    state = Path(sys.argv[1]).resolve()
    make_material()
    servers = {"plain": Server(), "tls": Server("trusted"), "untrusted": Server("untrusted")}
    for name, server in servers.items():
        ports[name] = server.server_address[1]
        threading.Thread(target=server.serve_forever, daemon=True).start()
    key = subprocess.run(["bash", str(SIGN), "--public-key", str(state / "sign.pem")],
                         check=True, capture_output=True, text=True).stdout.strip()
    # Written whole under another name first: a reader never sees half of it.
    partial = state / "server.env.partial"
    partial.write_text(f"QV_UPDATE_SERVER_PORT={ports['plain']}\n"
                       f"QV_UPDATE_TLS_PORT={ports['tls']}\n"
                       f"QV_UPDATE_UNTRUSTED_PORT={ports['untrusted']}\n"
                       f"QV_UPDATE_KEY={key}\n"
                       f"QV_UPDATE_CA={state / 'ca.der'}\n")
    partial.rename(state / "server.env")
    threading.Event().wait()


if __name__ == "__main__":
    main()
