#!/usr/bin/python3
"""Reads a Google Benchmark JSON run of crypto_bench on stdin and prints ours/OpenSSL per pair.

For throughput benchmarks the ratio is our bytes per second over OpenSSL's; for timed ones
(modular exponentiation) it is OpenSSL's time over ours, so above 1 always means faster.
"""
import json
import sys

run = json.load(sys.stdin)
results = {}
for b in run["benchmarks"]:
    if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
        continue
    name = b["run_name"] if "run_name" in b else b["name"]
    target, _, side = name.rpartition("/")
    results.setdefault(target, {})[side] = b

print(f"{'benchmark':34} {'ours':>14} {'openssl':>14} {'ratio':>7}")
for target, sides in results.items():
    ours, theirs = sides.get("ours"), sides.get("openssl")
    if ours is None or theirs is None:
        if ours is not None and "bytes_per_second" in ours:
            print(f"{target:34} {ours['bytes_per_second'] / 1e6:11.0f} MB/s {'-':>14} {'-':>7}")
        continue
    if "bytes_per_second" in ours:
        a, b = ours["bytes_per_second"], theirs["bytes_per_second"]
        print(f"{target:34} {a / 1e6:11.0f} MB/s {b / 1e6:9.0f} MB/s {a / b:7.2f}")
    else:
        a, b = ours["real_time"], theirs["real_time"]
        unit = ours["time_unit"]
        print(f"{target:34} {a:11.3f} {unit:>2} {b:11.3f} {unit:>2} {b / a:7.2f}")
