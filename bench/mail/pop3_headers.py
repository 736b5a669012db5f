"""The plain poplib loop the POP3 header benchmark compares against.

Usage: pop3_headers.py HOST PORT USER PASSWORD
Signs in, STAT, LIST, TOP i 0 for every message, QUIT; prints the messages
fetched and the seconds taken.
"""
import poplib
import sys
import time

host, port, user, password = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
start = time.perf_counter()
pop = poplib.POP3(host, port, timeout=100)
pop.user(user)
pop.pass_(password)
count, _ = pop.stat()
pop.list()
for i in range(1, count + 1):
    pop.top(i, 0)
pop.quit()
print(count, time.perf_counter() - start)
