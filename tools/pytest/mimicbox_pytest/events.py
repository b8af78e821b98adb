"""GET /events read as an iterator that ends: at the run's end, or when the caller's time is up."""
import http.client
import json
import socket
import time
import urllib.parse


def read_events(url, timeout, headers):
    """Yields each event as a dict, its sequence number as "seq", until `timeout` seconds have passed
    or the stream ends."""
    deadline = time.monotonic() + timeout
    parts = urllib.parse.urlsplit(url)
    connection = http.client.HTTPConnection(parts.hostname, parts.port, timeout=max(timeout, 0.01))
    try:
        connection.request("GET", parts.path + ("?" + parts.query if parts.query else ""), headers=headers)
        response = connection.getresponse()
        if response.status != 200:
            raise AssertionError(f"GET /events: {response.status} {response.read().decode(errors='replace')}")
        seq = None
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return
            connection.sock.settimeout(left)
            try:
                line = response.readline()
            except (socket.timeout, TimeoutError):
                return
            if not line:
                return
            line = line.decode(errors="replace").rstrip("\r\n")
            if line.startswith("id: "):
                seq = int(line[4:])
            elif line.startswith("data: "):
                event = json.loads(line[6:])
                event["seq"] = seq
                yield event
    finally:
        connection.close()
