#!/usr/bin/python3
"""Reads a Google Benchmark JSON run of crypto_bench on stdin and prints ours/OpenSSL per pair.

For throughput benchmarks the ratio is our bytes per second over OpenSSL's; for timed ones
(modular exponentiation) it is OpenSSL's time over ours, so above 1 always means faster. A row
without an OpenSSL twin (the portable fallbacks) is printed alone. A row that cannot be read (an
error, a missing figure, an OpenSSL row without ours) is named on standard error and the script
exits nonzero, as does a pair of REQUIRED that the run lacks.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
import bench_rows  # noqa: E402

# The pairs of the modern algorithms, which must all be in the run.
REQUIRED = [
    f"{cipher}-{direction}-{size}"
    for cipher in ("AES-128-GCM", "AES-256-GCM", "ChaCha20-Poly1305")
    for direction in ("seal", "open")
    for size in ("16K", "32K")
] + ["X25519", "Ed25519-verify", "P-256-ECDH", "ECDSA-P-256-verify"]


def main():
    problems = bench_rows.Problems()
    groups = bench_rows.load(sys.stdin.read(), problems)
    for target in REQUIRED:
        if target not in groups:
            problems.add(f"{target}: missing from the run")
    print(f"{'benchmark':34} {'ours':>14} {'openssl':>14} {'ratio':>7}")
    for target, sides in groups.items():
        both = bench_rows.pair(target, sides, "openssl", problems, reference_optional=True)
        if both is None:
            continue
        ours, theirs = both
        if "bytes_per_second" in ours:
            a = bench_rows.figure(ours, "bytes_per_second", f"{target}/ours", problems)
            if theirs is None:
                if a is not None:
                    print(f"{target:34} {a / 1e6:11.0f} MB/s {'-':>14} {'-':>7}")
                continue
            b = bench_rows.figure(theirs, "bytes_per_second", f"{target}/openssl", problems)
            if a is not None and b is not None:
                print(f"{target:34} {a / 1e6:11.0f} MB/s {b / 1e6:9.0f} MB/s {a / b:7.2f}")
            continue
        if theirs is None:
            problems.add(f"{target}: timed row without an openssl twin")
            continue
        a = bench_rows.figure(ours, "real_time", f"{target}/ours", problems)
        b = bench_rows.figure(theirs, "real_time", f"{target}/openssl", problems)
        if a is not None and b is not None:
            unit = ours.get("time_unit", "?")
            print(f"{target:34} {a:11.3f} {unit:>2} {b:11.3f} {unit:>2} {b / a:7.2f}")
    problems.finish()


if __name__ == "__main__":
    main()
