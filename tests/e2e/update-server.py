#!/usr/bin/env python3
"""A loopback HTTP server that answers the update fetch with good and hostile responses.

    update-server.py <port-file>

Binds 127.0.0.1 on a free port, writes the port number to <port-file> once it accepts
connections, and serves until it is killed. Every response is written byte by byte here rather
than by an HTTP library, so that a response can lie about its length, end early or never come.
The path chooses the response: /<scenario>/ombrel/update.txt.
"""

import re
import socket
import socketserver
import sys
from pathlib import Path

OBJECT = "ombrel/update.txt"
# A stalled answer ends by itself at last, so that a forgotten server frees its threads.
STALL_SECONDS = 300
REQUEST_LIMIT = 16 * 1024


def description(date):
    return (f"{date} Quorvex 9.9 is available.\r\n"
            "Download it from the home page.\r\n").encode("ascii")


# Newer than any date a test stores, so that a response taken for a description would be
# reported as a new release and stored.
HOSTILE_BODY = description("12/31/37")
REDIRECT_TARGET = "/desc-12-24-30/" + OBJECT


def head(status, headers):
    lines = [f"HTTP/1.0 {status}", "Content-Type: text/plain"]
    lines += [f"{name}: {value}" for name, value in headers]
    return ("\r\n".join(lines) + "\r\n\r\n").encode("ascii")


def honest(status, body, headers=()):
    return head(status, [*headers, ("Content-Length", len(body))]) + body


def with_length(length, body):
    return head("200 OK", [("Content-Length", length)]) + body


# Each scenario gives the bytes to send before the connection closes, or None to stall.
SCENARIOS = {
    "status404": lambda: honest("404 Not Found", HOSTILE_BODY),
    "status500": lambda: honest("500 Internal Server Error", HOSTILE_BODY),
    "nolength": lambda: head("200 OK", []) + HOSTILE_BODY,
    "zerolength": lambda: with_length(0, b""),
    "negativelength": lambda: with_length(-5, HOSTILE_BODY),
    "hugelength": lambda: with_length(99999999999, HOSTILE_BODY),
    "textlength": lambda: with_length("abc", HOSTILE_BODY),
    "lyinglength": lambda: with_length(500, HOSTILE_BODY[:40]),
    "endsearly": lambda: (head("200 OK", [("Content-Length", len(HOSTILE_BODY))]) +
                          HOSTILE_BODY[:len(HOSTILE_BODY) // 2]),
    "stall": lambda: None,
    "redirect": lambda: honest("302 Found", HOSTILE_BODY, [("Location", REDIRECT_TARGET)]),
}

DESCRIPTION_SCENARIO = re.compile(r"desc-(\d\d)-(\d\d)-(\d\d)")
PATH = re.compile(r"/([^/]+)/" + re.escape(OBJECT))


def response_for(path):
    match = PATH.fullmatch(path)
    if not match:
        return honest("404 Not Found", b"No such object.\r\n")
    scenario = match.group(1)
    date = DESCRIPTION_SCENARIO.fullmatch(scenario)
    if date:
        return honest("200 OK", description("/".join(date.groups())))
    if scenario in SCENARIOS:
        return SCENARIOS[scenario]()
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
        answer = response_for(parts[1] if len(parts) == 3 else "")
        if answer is None:
            # Holds the connection open, sending nothing, until the client gives up.
            self.request.settimeout(STALL_SECONDS)
            try:
                while self.request.recv(4096):
                    pass
            except OSError:
                pass
            return
        self.request.sendall(answer)
        self.request.shutdown(socket.SHUT_WR)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: update-server.py <port-file>")
    port_file = Path(sys.argv[1])
    with Server(("127.0.0.1", 0), Handler) as server:
        # Written whole under another name first: a reader never sees half a number.
        partial = port_file.with_name(port_file.name + ".partial")
        partial.write_text(f"{server.server_address[1]}\n")
        partial.rename(port_file)
        server.serve_forever()


if __name__ == "__main__":
    main()
