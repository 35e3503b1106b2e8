#!/usr/bin/env python3
"""An IMAP server on loopback that misbehaves on purpose, for the IMAP
check's tests. Prints its port on the first line of standard output, then
serves connections (one thread each) until killed.

    imap_misbehaving.py MODE --record FILE [--cert PEM --key PEM]

--record FILE  appends what each connection received, line by line
               ("n plain|tls: <line>")

MODE:
  plain      a proper server of two messages, no STARTTLS
  stripped   can do STARTTLS, but leaves it out of CAPABILITY
  literals   header blocks as literals holding control characters, an
             escape sequence, a tagged completion and a FETCH answer of
             another message
  lies       says 5 messages exist, answers for message 1 twice (the second
             forged), for message 9 and for 2, and not for 3 to 5
  stall      answers everything but the FETCH, which it never answers
  hugeliteral
             answers the FETCH with a literal said to be 999,999,999 bytes
             long, sends a few of them and closes the connection
  nofetch    refuses the FETCH
"""
from hostile_server import Client, parse_options, record, serve_forever

HEADERS = {
    1: b"From: Ann Example <ann@example.org>\r\nSubject: First\r\n\r\n",
    2: b"From: Bob <bob@example.org>\r\nSubject: Second\r\n\r\n",
}


def literal(block):
    return b"{%d}\r\n" % len(block) + block


def fetch_answer(n, block):
    return b"* %d FETCH (BODY[HEADER.FIELDS (FROM SUBJECT)] " % n + literal(block) + b")\r\n"


def serve(conn, mode, number):
    client = Client(conn)
    layer = [b"plain"]
    can_tls = mode == "stripped"

    def send(data):
        client.conn.sendall(data)

    send(b"* OK misbehaving IMAP ready\r\n")
    for line in client.lines():
        record(b"%d %s: %s" % (number, layer[0], line))
        words = line.split(b" ")
        tag = words[0]
        command = words[1].upper() if len(words) > 1 else b""
        if command == b"CAPABILITY":
            send(b"* CAPABILITY IMAP4rev1\r\n" + tag + b" OK done\r\n")
        elif command == b"STARTTLS" and can_tls and layer[0] == b"plain":
            send(tag + b" OK begin TLS\r\n")
            client.start_tls()
            layer[0] = b"tls"
        elif command == b"LOGIN":
            send(tag + b" OK logged in\r\n")
        elif command in (b"EXAMINE", b"SELECT"):
            exists = 5 if mode == "lies" else 2
            send(b"* %d EXISTS\r\n* 0 RECENT\r\n* OK [UIDVALIDITY 7] ok\r\n" % exists
                 + tag + b" OK [READ-ONLY] done\r\n")
        elif command == b"FETCH":
            if mode == "stall":
                while client.conn.recv(4096):
                    pass
                return
            if mode == "hugeliteral":
                send(b"* 1 FETCH (BODY[HEADER.FIELDS (FROM SUBJECT)] {999999999}\r\n" + HEADERS[1])
                return
            if mode == "nofetch":
                send(tag + b" NO not now\r\n")
                continue
            if mode == "literals":
                first = (b"From: \x1b]0;pwned\x07Ann\x00 <ann@example.org>\r\n"
                         b"Subject: Hi\x1b[2J\r\n" + tag + b" OK FETCH done\r\n"
                         b"* 2 FETCH (BODY[HEADER.FIELDS (FROM SUBJECT)] {40}\r\n\r\n")
                send(fetch_answer(1, first) + fetch_answer(2, HEADERS[2]) + tag + b" OK done\r\n")
            elif mode == "lies":
                forged = b"From: Mallory <m@example.org>\r\nSubject: Forged\r\n\r\n"
                send(fetch_answer(1, HEADERS[1]) + fetch_answer(9, forged) + fetch_answer(1, forged)
                     + fetch_answer(2, HEADERS[2]) + tag + b" OK done\r\n")
            else:
                send(fetch_answer(1, HEADERS[1]) + fetch_answer(2, HEADERS[2]) + tag + b" OK done\r\n")
        elif command == b"LOGOUT":
            send(b"* BYE\r\n" + tag + b" OK bye\r\n")
            return
        else:
            send(tag + b" BAD unknown\r\n")


def main():
    parse_options(record_required=True)
    serve_forever(serve)


if __name__ == "__main__":
    main()
