#!/usr/bin/env python3
"""The reference client for bench_mail_check: Python's poplib on one
connection, log on, STAT, then TOP i 0 for every message, QUIT.
Prints the seconds taken."""
import poplib
import sys
import time

host, port, user, password = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
start = time.perf_counter()
box = poplib.POP3(host, port, timeout=10)
box.user(user)
box.pass_(password)
count, _ = box.stat()
for i in range(1, count + 1):
    box.top(i, 0)
box.quit()
print(f"{time.perf_counter() - start:.4f} {count}")
