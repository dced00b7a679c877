#!/usr/bin/python3
"""FTP server and FTP proxy for the tests, on 127.0.0.1 only.

server ROOT USER PASSWORD [OPTION | FOLDER LISTING]...
    Serves ROOT to one account with full rights. File names pass as raw bytes in both
    directions (commands, listings and replies), so a tree may hold names in Shift-JIS,
    EUC-JP or UTF-8 bytes. LIST shows the server's local time, to the minute, and only
    the day for entries older than half a year, and a symbolic link as vsftpd does, as an
    "l" line with "-> target"; MLSD shows UTC to the second and describes a symbolic link
    as what it leads to ("type=dir" for a link to a folder).
    Each FOLDER LISTING pair makes LIST in the folder FOLDER ("/pub") answer the bytes
    LISTING (given in hexadecimal) in place of the folder's entries, as a hostile server
    might; every other command sees the real tree. A server with such a listing offers no
    MLSD, so that clients list with LIST. Passive data connections take ports from
    PASSIVE_PORTS, as real servers are set up to: the kernel's own choice of a free port
    grows slow once thousands of closed connections wait out their time.

    Options make the server behave as some real servers do:
    --refuse COMMAND     answers COMMAND (such as "EPSV", "PASV" or "LIST -a") with a 550
                         refusal; "LIST -a" stands for LIST with an option argument
    --hide-dot-files     LIST without "-a" leaves out names that begin with "."
    --list-options-as-names
                         LIST with an option argument lists nothing, as servers that take
                         "-a" for a name do
    --no-mlsd            neither offers nor knows MLST and MLSD
    --refuse-to-send P   answers RETR of the path P ("/pub/secret.txt") with
                         "550 Permission denied."
    --log-commands F     writes each command after the login as a line of the file F,
                         which it empties first
    --drop-store-after N closes the data and the control connection of a STOR once it has
                         received N bytes, keeping those bytes on disk, as a server whose
                         connection breaks during an upload
    --drop-store-of P N  the same for the STOR of the path P ("/pub/a.txt") alone
    --vanish-before-rename N
                         deletes the file that each of the first N RNFR commands names
                         before answering it ("550 No such file or directory."), as
                         another program that sweeps the folder might
    --refuse-rename-over-existing
                         answers RNTO with "550 File exists." when the new name is taken,
                         as servers that never replace a file by a rename
    --list-without-end F LIST in the folder F ("/pub") sends listing lines without end
    --trickle P          answers RETR of the path P by sending one byte every 0.2 s,
                         without end

    Each login is printed as "LOGIN <user>".

proxy
    A "USER name@host:port" FTP proxy: it greets the client, takes the USER line, opens
    the control connection to host:port, logs in there as "name" and then relays both
    directions. Data connections go straight to the server (both sit on 127.0.0.1).
    Each login is printed as "LOGIN <user line>".

Both bind a free port and print "READY <port>" once they accept connections, then run
until they are terminated.
"""

import io
import logging
import socket
import warnings
import sys
import threading
import time

with warnings.catch_warnings():
    warnings.simplefilter("ignore", DeprecationWarning)
    import asynchat

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer

LIST_OPTIONS = ("-a", "-l", "-al", "-la")
# Below the kernel's range of ports for outgoing connections.
PASSIVE_PORTS = range(20000, 21000)


class WholeWriteFile(io.FileIO):
    """An upload's file without a buffer: each write puts all its bytes on disk or fails,
    so that a full disk fails the write itself and never the close after it, which would
    leave the client without a reply."""

    def write(self, data):
        view = memoryview(data)
        while view:
            view = view[io.FileIO.write(self, view):]
        return len(data)


class ServerFS(AbstractedFS):
    """Files opened for writing are WholeWriteFile objects."""

    def open(self, filename, mode):
        if "r" in mode and "+" not in mode:
            return AbstractedFS.open(self, filename, mode)
        return WholeWriteFile(filename, mode.replace("b", ""))


class ServerDTPHandler(DTPHandler):
    """With `limit` set, an upload (of the path `limit_path` alone, when it is set) breaks
    both connections once it has received that many bytes, as a connection that breaks
    during an upload."""
    limit = None
    limit_path = None

    def limited(self):
        if self.limit is None or not self.receive or self.tot_bytes_received < self.limit or self.file_obj is None:
            return False
        return self.limit_path is None or self.cmd_channel.fs.fs2ftp(self.file_obj.name) == self.limit_path

    def handle_read(self):
        DTPHandler.handle_read(self)
        if self.limited():
            control = self.cmd_channel
            self.close()
            control.close()

    # The base class calls its own handle_read for this event.
    handle_read_event = handle_read


class RawNameHandler(FTPHandler):
    # Bytes that are not UTF-8 survive as surrogate escapes on the way in and are turned
    # back into the same bytes on the way out; the file system sees the original bytes.
    unicode_errors = "surrogateescape"
    use_gmt_times = False
    crafted_listings = {}
    refused_commands = set()
    hide_dot_files = False
    options_as_names = False
    refused_sends = set()
    command_log = None
    listing_all = False
    endless_listings = set()
    trickled_sends = set()
    refuse_rename_over_existing = False
    # How many RNFR commands still find their file deleted first.
    vanishing_renames = [0]

    def on_login(self, username):
        say("LOGIN " + username)

    def pre_process_command(self, line, cmd, arg):
        if self.command_log and self.authenticated:
            self.command_log.write(line.encode("utf8", "surrogateescape").decode("utf8", "replace") + "\n")
            self.command_log.flush()
        self.listing_all = cmd == "LIST" and arg.lower() in LIST_OPTIONS
        asked = "LIST -a" if cmd == "LIST" and arg.startswith("-") else cmd
        if self.authenticated and asked in self.refused_commands:
            self.respond("550 %s refused." % asked)
            return
        return FTPHandler.pre_process_command(self, line, cmd, arg)

    def ftp_LIST(self, path):
        if self.fs.fs2ftp(path) in self.endless_listings:
            self.push_dtp_data(EndlessProducer(
                b"-rw-r--r--   1 o g 12 Jan 15  2020 name%d\r\n", 0), isproducer=True, cmd="LIST")
            return path
        crafted = self.crafted_listings.get(self.fs.fs2ftp(path))
        if crafted is not None:
            self.push_dtp_data(crafted, cmd="LIST")
            return path
        if self.options_as_names and self.listing_all:
            self.push_dtp_data(b"", cmd="LIST")
            return path
        if self.hide_dot_files and not self.listing_all and self.fs.isdir(path):
            listing = sorted(name for name in self.fs.listdir(path) if not name.startswith("."))
            self.push_dtp_data(b"".join(self.fs.format_list(path, listing)), cmd="LIST")
            return path
        return FTPHandler.ftp_LIST(self, path)

    def ftp_MLSD(self, path):
        self.use_gmt_times = True
        try:
            return FTPHandler.ftp_MLSD(self, path)
        finally:
            self.use_gmt_times = False

    def ftp_RETR(self, file):
        if self.fs.fs2ftp(file) in self.trickled_sends:
            self.push_dtp_data(EndlessProducer(b"t", 0.2), isproducer=True, cmd="RETR")
            return file
        if self.fs.fs2ftp(file) in self.refused_sends:
            self.respond("550 Permission denied.")
            return
        return FTPHandler.ftp_RETR(self, file)

    def ftp_RNFR(self, path):
        if self.vanishing_renames[0] > 0 and self.fs.isfile(path):
            self.vanishing_renames[0] -= 1
            self.fs.remove(path)
        return FTPHandler.ftp_RNFR(self, path)

    def ftp_RNTO(self, path):
        if self.refuse_rename_over_existing and self._rnfr and self.fs.lexists(path):
            self._rnfr = None
            self.respond("550 File exists.")
            return
        return FTPHandler.ftp_RNTO(self, path)

    def decode(self, data):
        return data.decode("utf8", "surrogateescape")

    def push(self, text):
        asynchat.async_chat.push(self, text.encode("utf8", "surrogateescape"))


class EndlessProducer:
    """Data without end: PATTERN again and again (with a running number where it holds
    "%d"), a thousand times per piece, or once per piece after a pause of PAUSE seconds."""

    def __init__(self, pattern, pause):
        self.pattern = pattern
        self.pause = pause
        self.number = 0

    def more(self):
        if self.pause:
            time.sleep(self.pause)
            return self.pattern
        piece = []
        for _ in range(1000):
            self.number += 1
            piece.append(self.pattern % self.number if b"%d" in self.pattern else self.pattern)
        return b"".join(piece)


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def run_server(root, user, password, options, crafted_listings):
    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    handler = RawNameHandler
    handler.authorizer = authorizer
    handler.crafted_listings = crafted_listings
    handler.banner = "test server ready"
    handler.passive_ports = PASSIVE_PORTS
    handler.refused_commands = set(value for name, value in options if name == "--refuse")
    handler.refused_sends = set(value for name, value in options if name == "--refuse-to-send")
    handler.endless_listings = set(value for name, value in options if name == "--list-without-end")
    handler.trickled_sends = set(value for name, value in options if name == "--trickle")
    handler.hide_dot_files = ("--hide-dot-files", None) in options
    logs = [value for name, value in options if name == "--log-commands"]
    handler.command_log = open(logs[-1], "w", encoding="utf8") if logs else None
    handler.options_as_names = ("--list-options-as-names", None) in options
    handler.refuse_rename_over_existing = ("--refuse-rename-over-existing", None) in options
    handler.vanishing_renames = [sum(int(value) for name, value in options if name == "--vanish-before-rename")]
    drops = [(None, int(value)) for name, value in options if name == "--drop-store-after"]
    drops += [tuple(value) for name, value in options if name == "--drop-store-of"]
    limit_path, limit = drops[-1] if drops else (None, None)
    handler.dtp_handler = type("DataHandler", (ServerDTPHandler,), {"limit": limit, "limit_path": limit_path})
    handler.abstracted_fs = ServerFS
    if ("--no-mlsd", None) in options or crafted_listings or handler.endless_listings:
        handler.proto_cmds = {name: value for name, value in FTPHandler.proto_cmds.items()
                              if name not in ("MLSD", "MLST")}
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


def server_arguments(arguments):
    """The options (name, value) and the crafted listings of a server's arguments."""
    options = []
    crafted = {}
    rest = list(arguments)
    while rest:
        name = rest.pop(0)
        if name in ("--refuse", "--refuse-to-send", "--list-without-end", "--trickle", "--drop-store-after",
                    "--vanish-before-rename", "--log-commands"):
            options.append((name, rest.pop(0)))
        elif name == "--drop-store-of":
            options.append((name, (rest.pop(0), int(rest.pop(0)))))
        elif name in ("--hide-dot-files", "--no-mlsd", "--list-options-as-names",
                      "--refuse-rename-over-existing"):
            options.append((name, None))
        elif name.startswith("--"):
            raise ValueError(name)
        else:
            crafted[name] = bytes.fromhex(rest.pop(0))
    return options, crafted


def main(arguments):
    try:
        if len(arguments) >= 4 and arguments[0] == "server":
            options, crafted = server_arguments(arguments[4:])
            run_server(arguments[1], arguments[2], arguments[3], options, crafted)
            return 0
        if len(arguments) == 1 and arguments[0] == "proxy":
            run_proxy()
            return 0
    except (ValueError, IndexError):
        pass
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
