"""Strict reading of a Google Benchmark JSON run whose benchmarks are named "<group>/<side>".

Every comparison script in bench/ goes through here so that a row it cannot read (a benchmark
that skipped with an error, a name that is not "<group>/<side>", a missing figure, a side without
its reference) is reported and makes the script exit nonzero instead of printing a table with
holes in it.
"""
import json
import re
import sys

# Parts that Google Benchmark appends to a run's name ("/iterations:3", "/real_time", ...).
_ATTRIBUTE = re.compile(r"^(iterations|repeats|min_time|min_warmup_time|threads):|"
                        r"^(real_time|manual_time|process_time)$")


class Problems:
    """Collects the rows that could not be read; `finish` reports them and sets the exit code."""

    def __init__(self):
        self.messages = []

    def add(self, message):
        self.messages.append(message)

    def finish(self):
        for message in self.messages:
            print(f"error: {message}", file=sys.stderr)
        if self.messages:
            print(f"error: {len(self.messages)} row(s) could not be read", file=sys.stderr)
            sys.exit(1)


def split_name(name):
    """"Receive/aes128ctr_hmacsha1 / ours/iterations:3/real_time" -> ("Receive/aes128ctr_hmacsha1",
    "ours"); None when the name has no side."""
    parts = [p.strip() for p in name.split("/")]
    while parts and _ATTRIBUTE.match(parts[-1]):
        parts.pop()
    if len(parts) < 2 or not all(parts):
        return None
    return "/".join(parts[:-1]), parts[-1]


def load(text, problems):
    """Returns {group: {side: row}} in the order of the run, noting unreadable rows."""
    try:
        run = json.loads(text)
        benchmarks = run["benchmarks"]
    except (ValueError, KeyError, TypeError) as error:
        problems.add(f"not a Google Benchmark JSON run: {error}")
        return {}
    groups = {}
    for row in benchmarks:
        if row.get("run_type") == "aggregate" and row.get("aggregate_name") != "median":
            continue
        name = row.get("run_name", row.get("name", "?"))
        split = split_name(name)
        if split is None:
            problems.add(f"{name}: name is not <group>/<side>")
            continue
        group, side = split
        if row.get("error_occurred"):
            problems.add(f"{group}/{side}: {row.get('error_message', 'failed')}")
            continue
        groups.setdefault(group, {})[side] = row
    if not groups and not problems.messages:
        problems.add("the run holds no benchmark")
    return groups


def pair(group, sides, reference, problems, reference_optional=False):
    """(ours, reference) of a group; None (noted) when ours is missing, when the reference is
    missing and not optional, or when the group has a side that is neither."""
    for side in sides:
        if side not in ("ours", reference):
            problems.add(f"{group}/{side}: unknown side")
    ours, theirs = sides.get("ours"), sides.get(reference)
    if ours is None or (theirs is None and not reference_optional):
        problems.add(f"{group}: needs ours and {reference}, has {', '.join(sides)}")
        return None
    return ours, theirs


def figure(row, key, where, problems):
    """A positive number from a row, or None (noted) when it is missing or not positive."""
    value = row.get(key)
    if not isinstance(value, (int, float)) or value <= 0:
        problems.add(f"{where}: no {key}")
        return None
    return float(value)
