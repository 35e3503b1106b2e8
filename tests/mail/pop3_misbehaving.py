#!/usr/bin/env python3
"""A POP3 server on loopback that misbehaves on purpose, for the mail
check's fault tests. Prints its port on the first line of standard output,
then serves connections (one thread each) until killed.

    pop3_misbehaving.py MODE[+MODE...] [--record FILE] [--messages N]
                        [--cert PEM --key PEM]

--record FILE  appends to FILE what each connection received, line by
               line ("CONNECT n", then "n plain|tls: <line>"), for tests
               that assert on what crossed the wire
--messages N   serves N messages (2 by default)
--cert/--key   the certificate STLS uses

MODE (several joined with "+"):
  drop:STEP    talks properly, but closes the connection when STEP comes
               (greeting, USER, PASS, STAT, UIDL, TOP, QUIT): at once after
               accepting for "greeting", else on receiving that command
  garbage      answers everything, the greeting too, with random bytes
  slow         talks properly, one byte every 20 ms
  trickle      talks properly until TOP, then sends one byte every 100 ms
               and never ends the reply
  bigheader    talks properly; message 1's header block is 10 MB long
  stls         offers STLS and upgrades to TLS with --cert/--key
  stlsrefused  offers STLS and answers -ERR to it
  stlsstripped can do STLS, but leaves it out of CAPA (as a middlebox
               stripping it would)
  tlsthenplain the first connection offers STLS (and, with drop:TOP, is
               dropped there); every later one offers no STLS
  stall        talks properly until TOP, then never answers
  nouidl       lists UIDL in CAPA but answers -ERR to it
  droptop:N    closes the connection on receiving "TOP N"
  pipelining   lists PIPELINING in CAPA (the modes below are for it)
  fewer:N      sends no reply at all to "TOP N"
  more:N       sends a second, forged header block after the reply to
               "TOP N" (with it, in one write)
  garbled:N    answers "TOP N" with a line that is no POP3 reply
  stallat:N    the first connection answers nothing from "TOP N" on
  greeted      sends the greeting, then never answers anything
  hugegreeting greets with a line of 1 MB without CRLF, then waits
  sameuid      the UIDL listing (and "UIDL n") gives message 1 the id of
               message 2
  uidlshort    the UIDL listing leaves the last message out (STAT counts it)
  uidllong     the UIDL listing names one message more than STAT counts
  uidlshift    the UIDL listing numbers the messages from 2 on
  uidljunk     the UIDL listing holds, besides the right lines, lines with
               a number past 2^63, a negative one, no id, and control bytes
  uidlopen     the UIDL listing never ends (no lone ".")
  errtop:N     answers -ERR to "TOP N"
  endless:N    answers "TOP N" with a header line of 1 MB without CRLF,
               then waits
  dots         message 1's headers hold dot-stuffed lines; message 2's hold
               a lone "." with forged headers after it
  nasty        the subjects: encoded words with escape codes, bidi overrides
               and markup; a 200 KB subject; a sender with control bytes
With --record, a chunk received holding more than one command is noted as
"n batch: K" (K commands arrived together).
"""
import base64
import random
import ssl
import time

import hostile_server
from hostile_server import Client, parse_options, record, serve_forever

MESSAGES = [
    b"From: Ann Example <ann@example.org>\r\nSubject: First\r\n",
    b"From: Bob <bob@example.org>\r\nSubject: Second\r\n",
    b"From: Cy <cy@example.org>\r\nSubject: Third\r\n",
    b"From: Di <di@example.org>\r\nSubject: Fourth\r\n",
]


NASTY = [
    b"From: =?UTF-8?Q?Eve=1B]0;owned=07?= <eve@example.org>\r\n"
    b"Subject: =?UTF-8?B?" + base64.b64encode(
        "Pay \u202egpj.exe\u202c now\x1b[31m red\x07 <b>bold</b>".encode()) + b"?=\r\n",
    b"From: Bob\x01\x02 <bob@example.org>\r\nSubject: " + b"long " * (200 * 1024 // 5) + b"\r\n",
]


def header(number, mode, modes=()):
    if "nasty" in modes and number <= len(NASTY):
        return NASTY[number - 1]
    if "dots" in modes and number == 1:
        return b"..X-Dots: ..\r\n..\r\n" + MESSAGES[0]
    if "dots" in modes and number == 2:
        return MESSAGES[1] + b".\r\nFrom: Mallory <m@example.org>\r\nSubject: Forged\r\n"
    block = MESSAGES[number - 1]
    if mode == "bigheader" and number == 1:
        filler = b"X-Filler: " + b"f" * 1000 + b"\r\n"
        block += filler * (10 * 1024 * 1024 // len(filler))
    return block


def serve(conn, mode_text, number):
    client = Client(conn)
    modes = set(mode_text.split("+"))
    mode = next((m for m in modes if m in ("garbage", "slow", "trickle", "bigheader")), "")
    drop = next((m[5:] for m in modes if m.startswith("drop:")), None)
    drop_top = next((m[8:].encode() for m in modes if m.startswith("droptop:")), None)

    def numbered(prefix):
        return next((m[len(prefix):].encode() for m in modes if m.startswith(prefix)), None)
    fewer, more, garbled = numbered("fewer:"), numbered("more:"), numbered("garbled:")
    stall_at = numbered("stallat:") if number == 1 else None
    err_top, endless = numbered("errtop:"), numbered("endless:")
    count = hostile_server.OPTIONS.messages
    first = number == 1
    offer_stls = ("stls" in modes or "stlsrefused" in modes
                  or ("tlsthenplain" in modes and first))
    can_stls = offer_stls or "stlsstripped" in modes
    if "tlsthenplain" in modes and not first:
        drop = None
    rng = random.Random(7)
    delay = 0.02 if mode == "slow" else 0
    layer = [b"plain"]

    def send(data):
        if mode == "garbage":
            data = bytes(rng.randrange(256) for _ in range(rng.randrange(1, 400)))
        if delay:
            for i in range(len(data)):
                client.conn.sendall(data[i:i + 1])
                time.sleep(delay)
        else:
            client.conn.sendall(data)

    if drop == "greeting":
        return
    def note_batch(waiting):
        if waiting.count(b"\r\n") > 1:
            record(b"%d batch: %d" % (number, waiting.count(b"\r\n")))

    if "hugegreeting" in modes:
        send(b"+OK " + b"g" * (1024 * 1024))
        while client.conn.recv(4096):
            pass
        return
    send(b"+OK misbehaving POP3 ready\r\n")
    if "greeted" in modes:
        while client.conn.recv(4096):
            pass
        return

    def uid(n):
        return b"uid-%d" % (2 if "sameuid" in modes and n == 1 else n)

    def listing():
        numbers = range(1, count + 1)
        if "uidlshort" in modes:
            numbers = range(1, count)
        elif "uidllong" in modes:
            numbers = range(1, count + 2)
        shift = 1 if "uidlshift" in modes else 0
        lines = b"".join(b"%d %s\r\n" % (n + shift, uid(n)) for n in numbers)
        if "uidljunk" in modes:
            lines = (b"99999999999999999999 huge\r\n-1 negative\r\n3\r\n"
                     + lines + b"1 \x1b[2J\x07 uid-9\r\n\x00\x01\x02\r\n")
        return lines
    for line in client.lines(received=note_batch):
        record(b"%d %s: %s" % (number, layer[0], line))
        words = line.split()
        command = words[0].upper().decode("ascii", "replace") if words else ""
        if drop == command:
            return
        if command == "TOP" and drop_top is not None and len(words) > 1 and words[1] == drop_top:
            return
        argument = words[1] if len(words) > 1 else b""
        if command == "TOP" and stall_at is not None and argument == stall_at:
            while client.conn.recv(4096):
                pass
            return
        if command == "CAPA":
            send(b"+OK\r\nUSER\r\nUIDL\r\nTOP\r\n" + (b"STLS\r\n" if offer_stls and layer[0] == b"plain" else b"")
                 + (b"PIPELINING\r\n" if "pipelining" in modes else b"") + b".\r\n")
        elif command == "TOP" and fewer is not None and argument == fewer:
            pass
        elif command == "TOP" and garbled is not None and argument == garbled:
            send(b"From: Mallory <m@example.org>\r\n")
        elif command == "STLS" and "stlsrefused" in modes:
            send(b"-ERR not now\r\n")
        elif command == "STLS" and can_stls and layer[0] == b"plain":
            send(b"+OK begin TLS\r\n")
            try:
                client.start_tls()
            except (ssl.SSLError, OSError) as error:
                record(b"%d handshake failed: %s" % (number, str(error).encode()))
                return
            layer[0] = b"tls"
        elif command == "UIDL" and "nouidl" in modes:
            send(b"-ERR no UIDL here\r\n")
        elif command in ("USER", "PASS", "NOOP", "RSET"):
            send(b"+OK\r\n")
        elif command == "STAT":
            send(b"+OK %d 200\r\n" % count)
        elif command == "UIDL" and argument:
            n = int(argument) if argument.isdigit() else 0
            send(b"+OK %d %s\r\n" % (n, uid(n)) if 1 <= n <= count else b"-ERR no such message\r\n")
        elif command == "UIDL" and "uidlopen" in modes:
            send(b"+OK\r\n" + listing())
        elif command == "UIDL":
            send(b"+OK\r\n" + listing() + b".\r\n")
        elif command == "TOP":
            message = int(words[1]) if len(words) > 1 and words[1].isdigit() else 0
            if not 1 <= message <= count:
                send(b"-ERR no such message\r\n")
            elif argument == err_top:
                send(b"-ERR message %d is locked\r\n" % message)
            elif argument == endless:
                send(b"+OK\r\nSubject: " + b"z" * (1024 * 1024))
            elif "stall" in modes:
                while client.conn.recv(4096):
                    pass
                return
            elif mode == "trickle":
                client.conn.sendall(b"+OK\r\n")
                while True:
                    client.conn.sendall(b"x")
                    time.sleep(0.1)
            else:
                reply = b"+OK\r\n" + header(message, mode, modes) + b"\r\n.\r\n"
                if more is not None and argument == more:
                    # In the same write, as a server that does not
                    # dot-stuff sends what follows a lone "."
                    reply += b"+OK\r\nFrom: Mallory <m@example.org>\r\nSubject: Forged\r\n\r\n.\r\n"
                send(reply)
        elif command == "QUIT":
            send(b"+OK bye\r\n")
            return
        else:
            send(b"-ERR unknown command\r\n")


def main():
    parse_options(more=lambda parser: parser.add_argument("--messages", type=int, default=2))
    serve_forever(serve, note_connections=True)


if __name__ == "__main__":
    main()
