#!/usr/bin/env python3
"""update-server.py <state-dir>: loopback servers for the update check's tests.

Makes a signing key of the tests' own and two self-signed localhost certificates in <state-dir>;
listens with plain HTTP and with HTTPS under each certificate; writes server.env (ports, public
key, the trusted certificate) once all accept; serves until killed. The path
/<scenario>-MM-DD-YY/ombrel/update.txt chooses the response and dates its description.
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
state = None
ports = {}


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, capture_output=True, cwd=state)


def make_material():
    openssl("ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", "sign.pem")
    # Two self-signed localhost certificates; the driver trusts the first as a root.
    for name in ("trusted", "untrusted"):
        openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                "-nodes", "-keyout", f"{name}.key", "-out", f"{name}.pem", "-days", "2", "-subj",
                "/CN=localhost", "-addext", "subjectAltName=DNS:localhost")
    openssl("x509", "-in", "trusted.pem", "-outform", "DER", "-out", "ca.der")


def signed(date):
    source = state / f"desc-{date}.txt"
    source.write_bytes(f"{date.replace('-', '/')} Quorvex 9.9 is available.\r\n"
                       "Download it from the home page.\r\n".encode("ascii"))
    return subprocess.run(["bash", str(SIGN), str(state / "sign.pem"), str(source)],
                          check=True, capture_output=True).stdout


def answer(status, body=b"", location=None):
    lines = [f"HTTP/1.0 {status}", "Content-Type: text/plain", f"Content-Length: {len(body)}"]
    lines += [f"Location: {location}"] if location else []
    return ("\r\n".join(lines) + "\r\n\r\n").encode("ascii") + body


# The bytes each scenario sends for a date MM-DD-YY; None stalls. A trickle comes a byte a second.
SCENARIOS = {
    "desc": lambda date: answer("200 OK", signed(date)),
    "trickle": lambda date: answer("200 OK", signed(date)),
    "tampered": lambda date: answer("200 OK", signed(date).replace(b"home page", b"evil.example")),
    "redirect": lambda date: answer("302 Found", location=f"/desc-{date}/{OBJECT}"),
    "plainredirect": lambda date: answer(
        "302 Found", location=f"http://localhost:{ports['plain']}/desc-{date}/{OBJECT}"),
    "stall": lambda date: None,
}
REQUEST = re.compile(r"GET /([a-z]+)-(\d\d-\d\d-\d\d)/" + re.escape(OBJECT) + r" HTTP/1\.[01]")


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        request_line = self.rfile.readline().decode("latin-1").strip()
        print(request_line, file=sys.stderr, flush=True)
        while self.rfile.readline().strip():
            pass
        match = REQUEST.fullmatch(request_line)
        if not match or match[1] not in SCENARIOS:
            self.wfile.write(answer("404 Not Found"))
            return
        response = SCENARIOS[match[1]](match[2])
        if response is None:
            # Holds the connection open, sending nothing, until the client gives up.
            self.connection.settimeout(STALL_SECONDS)
            try:
                self.rfile.read()
            except OSError:
                pass
        elif match[1] == "trickle":
            for byte in response:
                self.wfile.write(bytes([byte]))
                time.sleep(1)
        else:
            self.wfile.write(response)


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
