#!/usr/bin/python3
"""Reads a Google Benchmark JSON run of transport_bench on stdin and prints, per group, each
side's throughput, its ratio to the first reference of the group and the compression ratio."""
import json
import sys

run = json.load(sys.stdin)
groups = {}
for b in run["benchmarks"]:
    if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
        continue
    name = b.get("run_name", b["name"])
    group, _, side = name.rpartition("/")
    groups.setdefault(group, {})[side] = b

print(f"{'benchmark':22} {'side':8} {'MB/s':>9} {'ours/side':>10} {'compressed':>11}")
for group, sides in groups.items():
    ours = sides.get("ours")
    for side, b in sides.items():
        if "bytes_per_second" not in b:
            print(f"{group:22} {side:8} {b.get('error_message', 'no result'):>9}")
            continue
        rate = b["bytes_per_second"] / 1e6
        ratio = "" if ours is None or side == "ours" else f"{ours['bytes_per_second'] / b['bytes_per_second']:.2f}"
        packed = f"{b['ratio'] * 100:.1f} %" if "ratio" in b else ""
        print(f"{group:22} {side:8} {rate:9.0f} {ratio:>10} {packed:>11}")
