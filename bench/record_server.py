#!/usr/bin/env python3
"""A device server that times the records it receives.

Listens on 127.0.0.1:PORT, accepts one client, reads NUL-terminated records until COUNT have arrived
(or TIMEOUT seconds pass), then prints one line of figures for the intervals between them against the
nominal PERIOD in milliseconds: count, mean, p50, p99 and the worst deviation.
"""
import socket
import statistics
import sys
import time


def main():
    port, count, period_ms, timeout = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(1)
    listener.settimeout(timeout)
    client, _ = listener.accept()
    client.settimeout(0.05)
    arrivals, pending, deadline = [], b"", time.monotonic() + timeout
    first = None
    while len(arrivals) < count and time.monotonic() < deadline:
        try:
            data = client.recv(65536)
        except socket.timeout:
            continue
        if not data:
            break
        now = time.monotonic()
        pending += data
        while b"\0" in pending:
            record, pending = pending.split(b"\0", 1)
            first = first or record.decode("latin-1")
            arrivals.append(now)
    client.close()
    intervals = [(b - a) * 1000.0 for a, b in zip(arrivals, arrivals[1:])]
    if not intervals:
        print("no reports received")
        sys.exit(1)
    deviations = sorted(abs(i - period_ms) for i in intervals)
    p99 = deviations[min(len(deviations) - 1, int(round(0.99 * (len(deviations) - 1))))]
    mean = statistics.fmean(intervals)
    print(f"{len(intervals)} intervals  mean {mean:.2f} ms ({(mean - period_ms) / period_ms * 100:+.3f} %)  "
          f"p50 {statistics.median(intervals):.2f} ms  p99 deviation {p99:.2f} ms  worst {deviations[-1]:.2f} ms")
    print(f"first record: {first}")


if __name__ == "__main__":
    main()
