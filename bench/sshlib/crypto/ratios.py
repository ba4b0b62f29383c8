#!/usr/bin/python3
"""Reads a Google Benchmark JSON run of crypto_bench on stdin and prints ours/OpenSSL per pair.

For throughput benchmarks the ratio is our bytes per second over OpenSSL's; for timed ones
(modular exponentiation) it is OpenSSL's time over ours, so above 1 always means faster.
The pairs in REQUIRED must all be there with both sides and no error; otherwise the script says
which are missing and exits with status 1.
"""
import json
import sys

REQUIRED = [
    f"{cipher}-{direction}-{size}"
    for cipher in ("AES-128-GCM", "AES-256-GCM", "ChaCha20-Poly1305")
    for direction in ("seal", "open")
    for size in ("16K", "32K")
]

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
    if "bytes_per_second" in ours and "bytes_per_second" in theirs:
        a, b = ours["bytes_per_second"], theirs["bytes_per_second"]
        print(f"{target:34} {a / 1e6:11.0f} MB/s {b / 1e6:9.0f} MB/s {a / b:7.2f}")
    elif "bytes_per_second" not in ours and "bytes_per_second" not in theirs:
        a, b = ours["real_time"], theirs["real_time"]
        unit = ours["time_unit"]
        print(f"{target:34} {a:11.3f} {unit:>2} {b:11.3f} {unit:>2} {b / a:7.2f}")

problems = []
for target in REQUIRED:
    sides = results.get(target, {})
    for side in ("ours", "openssl"):
        b = sides.get(side)
        if b is None:
            problems.append(f"{target}/{side}: missing")
        elif b.get("error_occurred"):
            problems.append(f"{target}/{side}: {b.get('error_message', 'error')}")
        elif "bytes_per_second" not in b:
            problems.append(f"{target}/{side}: no bytes_per_second")
if problems:
    print("ratios.py: required benchmark rows are missing or failed:", file=sys.stderr)
    for p in problems:
        print(f"  {p}", file=sys.stderr)
    sys.exit(1)
