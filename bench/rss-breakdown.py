#!/usr/bin/env python3
"""A process's resident memory, and where it is: the heap and anonymous
mappings apart from the files mapped (libraries, fonts), the five largest by
name. Usage: rss-breakdown.py PID"""
import collections
import re
import sys

by_name = collections.Counter()
name = ""
with open(f"/proc/{sys.argv[1]}/smaps") as smaps:
    for line in smaps:
        if re.match(r"^[0-9a-f]+-[0-9a-f]+ ", line):
            parts = line.split()
            name = parts[5] if len(parts) > 5 else "[anonymous]"
        elif line.startswith("Rss:"):
            by_name[name] += int(line.split()[1])
total = sum(by_name.values())
anonymous = by_name["[anonymous]"] + by_name["[heap]"]
top = ", ".join(f"{n.rsplit('/', 1)[-1]} {kb / 1024:.1f}" for n, kb in by_name.most_common(5))
print(f"{total / 1024:.1f} MB (heap and anonymous {anonymous / 1024:.1f} MB; largest: {top})")
