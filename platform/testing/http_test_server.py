#!/usr/bin/python3
"""HTTP server for the tests, on 127.0.0.1 only.

http_test_server.py ROOT
    Serves the files below ROOT, and these crafted answers:
      /status/CODE          the status CODE with a small page as its body
      /redirect/N/PATH      302 to /redirect/N-1/PATH, and at N = 0 to /PATH
      /loop                 302 to itself, for ever
      /stall-headers        accepts the request and never answers
      /stall-body           announces 100 bytes, sends 10 and then nothing
      /cut                  announces 1000 bytes, sends 500 and closes the connection
      /cut-chunked          a chunked body that ends without its last chunk
      /endless              a chunked body that never ends
      /trickle              announces a million bytes and sends one every 0.2 s
      /redirect-to/ADDRESS  302 to ADDRESS ("https://127.0.0.1:8443/a.txt")
    A request for an absolute address ("GET http://host/path"), as a client sends it to
    a proxy, is answered for PATH and printed as "PROXIED <address>".

Binds a free port, prints "READY <port>" once it accepts connections, and runs until it
is terminated.
"""

import http.server
import os
import sys
import time
import urllib.parse


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):
        pass

    def answer(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        if self.path.startswith("http://"):
            say("PROXIED " + self.path)
            self.path = urllib.parse.urlsplit(self.path).path
        parts = self.path.split("/")
        if parts[1] == "status":
            self.answer(int(parts[2]), b"error page " + parts[2].encode())
        elif parts[1] == "redirect":
            left = int(parts[2])
            rest = "/".join(parts[3:])
            target = "/redirect/%d/%s" % (left - 1, rest) if left > 0 else "/" + rest
            self.answer(302, b"", [("Location", target)])
        elif parts[1] == "redirect-to":
            self.answer(302, b"", [("Location", self.path[len("/redirect-to/"):])])
        elif parts[1] == "endless":
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            chunk = b"%x\r\n%s\r\n" % (65536, b"e" * 65536)
            try:
                while True:
                    self.wfile.write(chunk)
            except OSError:
                self.close_connection = True
        elif parts[1] == "trickle":
            self.send_response(200)
            self.send_header("Content-Length", "1000000")
            self.end_headers()
            try:
                while True:
                    self.wfile.write(b"t")
                    self.wfile.flush()
                    time.sleep(0.2)
            except OSError:
                self.close_connection = True
        elif parts[1] == "loop":
            self.answer(302, b"", [("Location", "/loop")])
        elif parts[1] == "stall-headers":
            time.sleep(3600)
        elif parts[1] == "stall-body":
            self.send_response(200)
            self.send_header("Content-Length", "100")
            self.end_headers()
            self.wfile.write(b"x" * 10)
            self.wfile.flush()
            time.sleep(3600)
        elif parts[1] == "cut":
            self.send_response(200)
            self.send_header("Content-Length", "1000")
            self.end_headers()
            self.wfile.write(b"y" * 500)
            self.wfile.flush()
            self.close_connection = True
        elif parts[1] == "cut-chunked":
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            self.wfile.write(b"5\r\nhello\r\n")
            self.wfile.flush()
            self.close_connection = True
        else:
            super().do_GET()


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


def main(arguments):
    if len(arguments) != 1:
        sys.stderr.write(__doc__)
        return 2
    os.chdir(arguments[0])
    server = Server(("127.0.0.1", 0), Handler)
    say("READY %d" % server.server_address[1])
    server.serve_forever()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
