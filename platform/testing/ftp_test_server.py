#!/usr/bin/python3
"""FTP server and FTP proxy for the tests, on 127.0.0.1 only.

server ROOT USER PASSWORD [FOLDER LISTING]...
    Serves ROOT to one account with full rights. File names pass as raw bytes in both
    directions (commands, listings and replies), so a tree may hold names in Shift-JIS,
    EUC-JP or UTF-8 bytes. Listing times are the server's local time. Each FOLDER
    LISTING pair makes LIST in the folder FOLDER ("/pub") answer the bytes LISTING
    (given in hexadecimal) in place of the folder's entries, as a hostile server might;
    every other command sees the real tree.

proxy
    A "USER name@host:port" FTP proxy: it greets the client, takes the USER line, opens
    the control connection to host:port, logs in there as "name" and then relays both
    directions. Data connections go straight to the server (both sit on 127.0.0.1).
    Each login is printed as "LOGIN <user line>".

Both bind a free port and print "READY <port>" once they accept connections, then run
until they are terminated.
"""

import logging
import socket
import warnings
import sys
import threading

with warnings.catch_warnings():
    warnings.simplefilter("ignore", DeprecationWarning)
    import asynchat

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class RawNameHandler(FTPHandler):
    # Bytes that are not UTF-8 survive as surrogate escapes on the way in and are turned
    # back into the same bytes on the way out; the file system sees the original bytes.
    unicode_errors = "surrogateescape"
    use_gmt_times = False
    crafted_listings = {}

    def ftp_LIST(self, path):
        crafted = self.crafted_listings.get(self.fs.fs2ftp(path))
        if crafted is None:
            return FTPHandler.ftp_LIST(self, path)
        self.push_dtp_data(crafted, cmd="LIST")
        return path

    def decode(self, data):
        return data.decode("utf8", "surrogateescape")

    def push(self, text):
        asynchat.async_chat.push(self, text.encode("utf8", "surrogateescape"))


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def run_server(root, user, password, crafted_listings):
    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    handler = RawNameHandler
    handler.authorizer = authorizer
    handler.crafted_listings = crafted_listings
    handler.banner = "test server ready"
    server = FTPServer(("127.0.0.1", 0), handler)
    say("READY %d" % server.socket.getsockname()[1])
    server.serve_forever()


def relay(source, target):
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            target.sendall(data)
    except OSError:
        pass
    finally:
        for end in (source, target):
            try:
                end.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


def read_line(connection):
    line = b""
    while not line.endswith(b"\r\n"):
        data = connection.recv(1)
        if not data:
            raise OSError("connection closed")
        line += data
    return line


def read_reply(connection):
    line = read_line(connection)
    if line[3:4] == b"-":
        code = line[:3] + b" "
        while True:
            more = read_line(connection)
            line += more
            if more.startswith(code):
                break
    return line


def serve_proxy_client(client):
    try:
        client.sendall(b"220 proxy ready\r\n")
        line = read_line(client)
        if not line.upper().startswith(b"USER "):
            client.sendall(b"530 USER first\r\n")
            client.close()
            return
        target_user = line[5:].rstrip(b"\r\n")
        say("LOGIN " + target_user.decode("utf8", "replace"))
        name, _, host_port = target_user.rpartition(b"@")
        host, _, port = host_port.partition(b":")
        server = socket.create_connection((host.decode(), int(port or b"21")))
        read_reply(server)
        server.sendall(b"USER " + name + b"\r\n")
        client.sendall(read_reply(server))
    except (OSError, ValueError):
        client.close()
        return
    threading.Thread(target=relay, args=(client, server), daemon=True).start()
    threading.Thread(target=relay, args=(server, client), daemon=True).start()


def run_proxy():
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    say("READY %d" % listener.getsockname()[1])
    while True:
        client, _ = listener.accept()
        threading.Thread(target=serve_proxy_client, args=(client,), daemon=True).start()


def main(arguments):
    if len(arguments) >= 4 and len(arguments) % 2 == 0 and arguments[0] == "server":
        pairs = arguments[4:]
        crafted = {pairs[i]: bytes.fromhex(pairs[i + 1]) for i in range(0, len(pairs), 2)}
        run_server(arguments[1], arguments[2], arguments[3], crafted)
    elif len(arguments) == 1 and arguments[0] == "proxy":
        run_proxy()
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
