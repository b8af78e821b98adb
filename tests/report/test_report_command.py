"""mimicbox-cli report on real logs: shards of one plant merged on their own seconds, and anything
else refused with its reason."""
import json
import os
import re
import subprocess
import time

CLI = os.environ["MIMICBOX_CLI"]


def run_cli(*args, timeout=60):
    result = subprocess.run([CLI, *map(str, args)], capture_output=True, text=True, timeout=timeout)
    return result.returncode, result.stdout + result.stderr


def start_shard(tmp_path, server, shard, seconds=3):
    log = tmp_path / f"shard{shard}.jsonl"
    process = subprocess.Popen([CLI, "--device", "thermo:1-4", "--shard", f"{shard}/2", "--port", str(server.port),
                                "--duration", str(seconds), "--quiet", "--log-json", str(log)],
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    return process, log


def report_data(path):
    page = path.read_text()
    return json.loads(re.search(r'<script type="application/json" id="data">(.*?)</script>', page, re.S).group(1))


def test_shards_started_seconds_apart_keep_their_own_seconds(tmp_path, mimicbox_server):
    first, log0 = start_shard(tmp_path, mimicbox_server, 0)
    time.sleep(2)
    second, log1 = start_shard(tmp_path, mimicbox_server, 1)
    assert first.wait(20) == 0 and second.wait(20) == 0
    run = [json.loads(line) for line in log0.read_text().splitlines()][0]
    assert run["event"] == "run" and run["shard"] == "0/2" and len(run["run"]) == 32
    assert json.loads(log1.read_text().splitlines()[0])["plant"] == run["plant"]

    status, output = run_cli("report", log0, log1, "-o", tmp_path / "plant.html")
    assert status == 0, output
    data = report_data(tmp_path / "plant.html")
    assert "-o " in data["command_line"] and data["runs"] == f"plant {run['plant']}, 2 of its 2 shards"
    # Shard 1 began some two seconds after shard 0: its Thermo-Boxes' first reports (1.5 s after their
    # connect) fall that much later in the merged run, not beside shard 0's.
    def first_report(log):
        lines = [json.loads(line) for line in log.read_text().splitlines()]
        start = lines[0]["time"]
        return next(line["t"] for line in lines if line["event"] == "sent"), start
    t0, start0 = first_report(log0)
    t1, start1 = first_report(log1)
    offset = (time.mktime(time.strptime(start1[:19], "%Y-%m-%dT%H:%M:%S")) + float(start1[19:-1] or 0)
              - time.mktime(time.strptime(start0[:19], "%Y-%m-%dT%H:%M:%S")) - float(start0[19:-1] or 0))
    assert 1.5 < offset < 4
    sent = dict(zip(data["series"]["second"], data["series"]["sent"]))
    assert sent[int(t0)] >= 2 and sent[int(offset + t1)] >= 2, (sent, offset)
    assert sum(sent.values()) >= 4
    assert offset + 2.5 < data["duration"] < offset + 4.5


def test_anything_but_the_shards_of_one_plant_each_once_is_refused(tmp_path, mimicbox_server):
    first, log0 = start_shard(tmp_path, mimicbox_server, 0, seconds=1)
    assert first.wait(20) == 0
    other = tmp_path / "other.jsonl"
    status, output = run_cli("--device", "relay:7", "--port", mimicbox_server.port, "--duration", 1, "--quiet",
                             "--log-json", other)
    assert status == 0, output
    rows = [
        ((log0, log0), "are the same run"),
        ((log0, other), "a report merges only the shards of one plant"),
    ]
    for logs, reason in rows:
        status, output = run_cli("report", *logs, "-o", tmp_path / "r.html")
        assert status == 2 and reason in output, output
    assert not (tmp_path / "r.html").exists()


def test_impossible_times_are_refused_with_their_line(tmp_path, mimicbox_server):
    status, output = run_cli("--device", "relay:7", "--port", mimicbox_server.port, "--duration", 1, "--quiet",
                             "--log-json", tmp_path / "good.jsonl")
    assert status == 0, output
    lines = (tmp_path / "good.jsonl").read_text().splitlines()
    event = json.loads(lines[1])
    for t in (1e308, -5):
        broken = tmp_path / "broken.jsonl"
        broken.write_text("\n".join(lines[:2] + [json.dumps({**event, "t": t})] + lines[2:]) + "\n")
        status, output = run_cli("report", broken, "-o", tmp_path / "r.html")
        assert status == 2, output
        assert f"{broken}:3: \"t\" is " in output and "no time of a run" in output


def test_the_event_feed_and_the_log_carry_the_same_lines(tmp_path, mimicbox_server):
    log = tmp_path / "run.jsonl"
    plant = subprocess.Popen([CLI, "--control", "127.0.0.1:0", "--device", "relay:7", "--port", str(mimicbox_server.port),
                              "--duration", "2", "--quiet", "--log-json", str(log)], stdout=subprocess.PIPE, text=True)
    api = plant.stdout.readline().split(" ", 1)[1].strip()
    time.sleep(1.2)
    import urllib.request
    with urllib.request.urlopen(api + "/events?since=0", timeout=5) as stream:
        fed = [line[6:].decode().strip() for line in stream if line.startswith(b"data: ")]
    plant.wait(10)
    logged = log.read_text().splitlines()[1:]
    assert fed and set(json.loads(line)["event"] for line in fed) >= {"connected", "sent"}
    # Every event the feed gave is the log's line for it, its time to the microsecond included.
    for line in fed:
        assert line in logged, line
