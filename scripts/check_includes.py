#!/usr/bin/env python3
"""Checks that the subsystems include downward: a file may include headers of
its own subsystem and of the ones below it, never of one above. The edges that
still run upward are written down, one per line, in upward_includes.txt beside
this script; the check fails on an upward include that is not in that list and
on a listed edge that no longer exists, so the list only ever shrinks.

Usage: check_includes.py [--root DIR] [--matrix] [--edges]
  --matrix  print how many includes run from each subsystem to each other one
  --edges   print the upward edges found, in the list's format
"""

import argparse
import os
import re
import sys

# Lowest first. A subsystem may include its own headers and those of any
# subsystem before it in this list.
LAYERS = ["platform", "render", "navdata", "simlink", "maps", "display", "app"]

# proxy/ is a program of its own: it shares the platform layer, the data
# readers and the simulators' protocol headers with the map program.
PROXY_MAY_INCLUDE = {"platform", "navdata", "simlink", "proxy"}

CHECKED = LAYERS + ["proxy"]
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".c")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
ALLOWED_FILE = "upward_includes.txt"


def SubsystemOf(path):
    head = path.split("/", 1)[0]
    return head if head in CHECKED else None


def MayInclude(source, target):
    if source == "proxy":
        return target in PROXY_MAY_INCLUDE
    if target == "proxy":
        return False
    return LAYERS.index(target) <= LAYERS.index(source)


def SourceFiles(root):
    for sub in CHECKED:
        top = os.path.join(root, sub)
        for folder, dirs, files in os.walk(top):
            dirs.sort()
            for name in sorted(files):
                if name.endswith(SOURCE_SUFFIXES):
                    full = os.path.join(folder, name)
                    yield os.path.relpath(full, root).replace(os.sep, "/")


def Includes(root, path):
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        for line in f:
            m = INCLUDE.match(line)
            if m:
                yield m.group(1)


def ScanTree(root):
    """Returns (counts, upward): include counts per (from, to) subsystem and
    the set of upward edges as 'file -> header' lines."""
    counts = {}
    upward = set()
    for path in SourceFiles(root):
        source = SubsystemOf(path)
        for header in Includes(root, path):
            target = SubsystemOf(header)
            if target is None:
                continue
            counts[(source, target)] = counts.get((source, target), 0) + 1
            if not MayInclude(source, target):
                upward.add(f"{path} -> {header}")
    return counts, upward


def ReadAllowed(path):
    """Returns (edges in file order, problems with the file itself)."""
    edges = []
    problems = []
    if not os.path.exists(path):
        return edges, [f"{path} is missing"]
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            text = line.split("#", 1)[0].strip()
            if not text:
                continue
            if " -> " not in text:
                problems.append(f"{ALLOWED_FILE}:{number}: not 'file -> header': {text}")
                continue
            edges.append(text)
    if edges != sorted(edges):
        problems.append(f"{ALLOWED_FILE} is not sorted (sort it so a diff shows what changed)")
    if len(edges) != len(set(edges)):
        problems.append(f"{ALLOWED_FILE} lists an edge twice")
    return edges, problems


def PrintMatrix(counts):
    order = LAYERS + ["proxy"]
    width = max(len(s) for s in order) + 1
    print("from \\ to".ljust(width + 2) + "".join(s.rjust(width) for s in order))
    for source in order:
        row = "".join(str(counts.get((source, t), "")).rjust(width) for t in order)
        print(source.ljust(width + 2) + row)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Fails on an include that runs upward.")
    parser.add_argument("--root", default=os.path.dirname(here))
    parser.add_argument("--matrix", action="store_true")
    parser.add_argument("--edges", action="store_true")
    args = parser.parse_args()

    counts, upward = ScanTree(args.root)
    if args.matrix:
        PrintMatrix(counts)
    if args.edges:
        for edge in sorted(upward):
            print(edge)
    if args.matrix or args.edges:
        return 0

    allowed, problems = ReadAllowed(os.path.join(args.root, "scripts", ALLOWED_FILE))
    allowed_set = set(allowed)
    new = sorted(upward - allowed_set)
    gone = sorted(allowed_set - upward)
    for edge in new:
        problems.append(f"new upward include: {edge}")
    for edge in gone:
        problems.append(f"allowed edge no longer exists, remove it from {ALLOWED_FILE}: {edge}")
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print(f"layers, lowest first: {' < '.join(LAYERS)}; proxy may include "
              f"{', '.join(sorted(PROXY_MAY_INCLUDE - {'proxy'}))}", file=sys.stderr)
        return 1
    print(f"includes run downward ({len(allowed)} allowed upward edges)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
