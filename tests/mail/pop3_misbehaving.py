#!/usr/bin/env python3
"""A POP3 server on loopback that misbehaves on purpose, for the mail
check's fault tests. Prints its port on the first line of standard output,
then serves connections (one thread each) until killed.

    pop3_misbehaving.py MODE

MODE:
  drop:STEP    talks properly, but closes the connection when STEP comes
               (greeting, USER, PASS, STAT, UIDL, TOP, QUIT): at once after
               accepting for "greeting", else on receiving that command
  garbage      answers everything, the greeting too, with random bytes
  slow         talks properly, one byte every 20 ms
  trickle      talks properly until TOP, then sends one byte every 100 ms
               and never ends the reply
  bigheader    talks properly; message 1's header block is 10 MB long
"""
import random
import socket
import sys
import threading
import time

MESSAGES = [
    b"From: Ann Example <ann@example.org>\r\nSubject: First\r\n",
    b"From: Bob <bob@example.org>\r\nSubject: Second\r\n",
]


def header(number, mode):
    block = MESSAGES[number - 1]
    if mode == "bigheader" and number == 1:
        filler = b"X-Filler: " + b"f" * 1000 + b"\r\n"
        block += filler * (10 * 1024 * 1024 // len(filler))
    return block


def serve(conn, mode):
    drop = mode[5:] if mode.startswith("drop:") else None
    rng = random.Random(7)
    delay = 0.02 if mode == "slow" else 0

    def send(data):
        if mode == "garbage":
            data = bytes(rng.randrange(256) for _ in range(rng.randrange(1, 400)))
        if delay:
            for i in range(len(data)):
                conn.sendall(data[i:i + 1])
                time.sleep(delay)
        else:
            conn.sendall(data)

    if drop == "greeting":
        return
    send(b"+OK misbehaving POP3 ready\r\n")
    buffer = b""
    while True:
        chunk = conn.recv(4096)
        if not chunk:
            return
        buffer += chunk
        while b"\r\n" in buffer:
            line, buffer = buffer.split(b"\r\n", 1)
            words = line.split()
            command = words[0].upper().decode("ascii", "replace") if words else ""
            if drop == command:
                return
            if command == "CAPA":
                send(b"+OK\r\nUSER\r\nUIDL\r\nTOP\r\n.\r\n")
            elif command in ("USER", "PASS", "NOOP", "RSET"):
                send(b"+OK\r\n")
            elif command == "STAT":
                send(b"+OK %d 200\r\n" % len(MESSAGES))
            elif command == "UIDL":
                send(b"+OK\r\n" + b"".join(b"%d uid-%d\r\n" % (n, n) for n in range(1, len(MESSAGES) + 1)) + b".\r\n")
            elif command == "TOP":
                number = int(words[1]) if len(words) > 1 and words[1].isdigit() else 0
                if not 1 <= number <= len(MESSAGES):
                    send(b"-ERR no such message\r\n")
                elif mode == "trickle":
                    conn.sendall(b"+OK\r\n")
                    while True:
                        conn.sendall(b"x")
                        time.sleep(0.1)
                else:
                    send(b"+OK\r\n" + header(number, mode) + b"\r\n.\r\n")
            elif command == "QUIT":
                send(b"+OK bye\r\n")
                return
            else:
                send(b"-ERR unknown command\r\n")


def main():
    mode = sys.argv[1]
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    print(listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()

        def run(c=conn):
            try:
                serve(c, mode)
            except OSError:
                pass
            finally:
                c.close()
        threading.Thread(target=run, daemon=True).start()


if __name__ == "__main__":
    main()
