"""The lateness p99 of the reports between two readings of GET /metrics, as the bound of the
histogram's bucket that holds it. Usage: window_p99.py BEFORE.txt AFTER.txt"""
import re
import sys


def buckets(path):
    counts = {}
    for line in open(path):
        match = re.match(r'mimicbox_report_lateness_seconds_bucket\{le="([^"]+)"\} (\d+)', line)
        if match:
            counts[match.group(1)] = int(match.group(2))
    return counts


before, after = buckets(sys.argv[1]), buckets(sys.argv[2])
total = after["+Inf"] - before["+Inf"]
for bound, count in after.items():
    if bound != "+Inf" and count - before[bound] >= 0.99 * total:
        print("<= %g ms" % (float(bound) * 1000))
        break
else:
    print("> 1000 ms")
