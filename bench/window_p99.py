"""The lateness p99 of the reports between two readings of GET /metrics, interpolated within the
histogram's bucket that holds it (as Prometheus's histogram_quantile does), with that bucket's
bounds. Usage: window_p99.py BEFORE.txt AFTER.txt"""
import re
import sys


def buckets(path):
    counts = {}
    for line in open(path):
        match = re.match(r'mimicbox_report_lateness_seconds_bucket\{le="([^"]+)"\} (\d+)', line)
        if match:
            counts[float(match.group(1))] = int(match.group(2))
    return counts


before, after = buckets(sys.argv[1]), buckets(sys.argv[2])
bounds = sorted(after)
total = after[float("inf")] - before[float("inf")]
rank = 0.99 * total
lower, below = 0.0, 0
for bound in bounds:
    count = after[bound] - before[bound]
    if count >= rank:
        if bound == float("inf"):
            print("> %g ms" % (lower * 1000))
        else:
            share = (rank - below) / max(count - below, 1)
            print("%.2f ms (%g-%g)" % ((lower + (bound - lower) * share) * 1000, lower * 1000, bound * 1000))
        break
    lower, below = bound, count
