"""What the hostile mail servers of these tests share: the options every one
of them takes (MODE, --record, --cert/--key), the record of what crossed the
wire, the switch to TLS, and the listener on loopback that prints its port on
the first line of standard output and serves each connection in a thread of
its own until killed. The servers (pop3_misbehaving.py, imap_misbehaving.py)
say only how they talk."""
import argparse
import socket
import ssl
import threading

OPTIONS = None
_RECORD_LOCK = threading.Lock()


def parse_options(record_required=False, more=None):
    """Reads the command line; `more(parser)` adds a server's own options."""
    global OPTIONS
    parser = argparse.ArgumentParser()
    parser.add_argument("mode")
    parser.add_argument("--record", required=record_required)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    if more:
        more(parser)
    OPTIONS = parser.parse_args()
    return OPTIONS


def record(text):
    """Appends one line to the --record file, where there is one."""
    if OPTIONS.record:
        with _RECORD_LOCK, open(OPTIONS.record, "ab") as f:
            f.write(text + b"\n")


def start_tls(conn):
    """The server's side of the handshake, with --cert and --key."""
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(OPTIONS.cert, OPTIONS.key)
    return context.wrap_socket(conn, server_side=True)


def serve_forever(serve, note_connections=False):
    """Listens on 127.0.0.1 and calls serve(conn, mode, n) for the n-th
    connection in a thread of its own; "CONNECT n" goes to the record first
    where `note_connections` asks for it."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    print(listener.getsockname()[1], flush=True)
    count = 0
    while True:
        conn, _ = listener.accept()
        count += 1
        if note_connections:
            record(b"CONNECT %d" % count)

        def run(c=conn, n=count):
            try:
                serve(c, OPTIONS.mode, n)
            except OSError:
                # ssl.SSLError is an OSError: a peer gone mid-handshake too.
                pass
            finally:
                c.close()
        threading.Thread(target=run, daemon=True).start()


class Client:
    """One connection: the lines it sends, CRLF-ended, in the order they
    come, over the socket or, after start_tls(), over its TLS wrap."""

    def __init__(self, conn):
        self.conn = conn
        self._waiting = b""

    def start_tls(self):
        """The handshake; what came before it and is not read yet is dropped."""
        self.conn = start_tls(self.conn)
        self._waiting = b""

    def lines(self, received=None):
        """The lines until the client closes; received(waiting) first sees
        all that waits unread after each receive (more than one line where
        the client sent a batch)."""
        while True:
            chunk = self.conn.recv(4096)
            if not chunk:
                return
            self._waiting += chunk
            if received:
                received(self._waiting)
            while b"\r\n" in self._waiting:
                line, self._waiting = self._waiting.split(b"\r\n", 1)
                yield line
