#!/usr/bin/env bash
# Measures the recording proxy's memory under a flood: one device sends FLOOD_MB megabytes (default
# 1024) of bytes without a NUL as fast as loopback takes them, through the proxy to a server that
# reads everything, while the capture goes to disk. Prints the proxy's peak resident memory, the
# time taken and the capture's size. Needs a built tree: see bench/common.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
megabytes=${FLOOD_MB:-1024}

/usr/bin/python3 - "$build/mimicbox-cli" "$work" "$megabytes" <<'PY'
import socket, subprocess, sys, threading, time
cli, work, megabytes = sys.argv[1], sys.argv[2], int(sys.argv[3])
sink = socket.create_server(("127.0.0.1", 0))
def drain():
    connection, _ = sink.accept()
    while connection.recv(1 << 20):
        pass
threading.Thread(target=drain, daemon=True).start()
proxy = subprocess.Popen([cli, "record", "--listen", "127.0.0.1:0", "--server", f"127.0.0.1:{sink.getsockname()[1]}",
                          "--out", f"{work}/flood.jsonl"], stdout=subprocess.PIPE, text=True)
port = int(proxy.stdout.readline().split("127.0.0.1:")[1].split(",")[0])
peak = 0
def watch():
    global peak
    while proxy.poll() is None:
        with open(f"/proc/{proxy.pid}/status") as status:
            for line in status:
                if line.startswith("VmHWM"):
                    peak = int(line.split()[1]) // 1024
        time.sleep(0.2)
threading.Thread(target=watch, daemon=True).start()
start = time.monotonic()
device = socket.create_connection(("127.0.0.1", port))
chunk = b"\x01" * (1 << 20)
for _ in range(megabytes):
    device.sendall(chunk)
device.close()
time.sleep(1)
proxy.terminate()
proxy.wait(120)
elapsed = time.monotonic() - start
size = __import__("os").path.getsize(f"{work}/flood.jsonl") / (1 << 20)
print(f"flood {megabytes} MB through the proxy: peak RSS {peak} MB, {elapsed:.1f} s, capture {size:.0f} MB")
PY
