#!/usr/bin/python3
"""Reads a Google Benchmark JSON run of transport_bench on stdin and prints, per group, each
side's throughput, ours over that side and the compression ratio. Every group needs a row of
ours; a row that cannot be read (an error, a missing figure) is named on standard error and the
script exits nonzero."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
import bench_rows  # noqa: E402


def main():
    problems = bench_rows.Problems()
    groups = bench_rows.load(sys.stdin.read(), problems)
    print(f"{'benchmark':26} {'side':8} {'MB/s':>9} {'ours/side':>10} {'compressed':>11}")
    for group, sides in groups.items():
        ours = sides.get("ours")
        if ours is None:
            problems.add(f"{group}: no row of ours beside {', '.join(sides)}")
            continue
        ours_rate = bench_rows.figure(ours, "bytes_per_second", f"{group}/ours", problems)
        for side, row in sides.items():
            rate = bench_rows.figure(row, "bytes_per_second", f"{group}/{side}", problems)
            if rate is None:
                continue
            ratio = "" if side == "ours" or ours_rate is None else f"{ours_rate / rate:.2f}"
            packed = f"{row['ratio'] * 100:.1f} %" if "ratio" in row else ""
            print(f"{group:26} {side:8} {rate / 1e6:9.0f} {ratio:>10} {packed:>11}")
    problems.finish()


if __name__ == "__main__":
    main()
