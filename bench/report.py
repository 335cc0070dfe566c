#!/usr/bin/env python3
"""Turns Google Benchmark JSON files into bench/RESULTS.md: the machine, then one section per
subsystem. Each figure is a median compared with a baseline median from the same run, so a
noisy shared machine moves both sides alike. Add a subsystem by appending to SECTIONS."""

import datetime
import json
import os
import sys

# A figure: (label, benchmark, baseline or None, target). A target is ("ratio", x): the median
# divided by the baseline median must be at most x; or ("under_ns", t): the median itself, in ns.
SECTIONS = [
    ("Search scan (1 GiB image)", [
        ("forward, absent 8-byte pattern, random bytes", "BM_ScanForwardRandom", "BM_MemchrAbsentByte", ("ratio", 1.5)),
        ("backward, absent 8-byte pattern, random bytes", "BM_ScanBackwardRandom", "BM_MemrchrAbsentByte", ("ratio", 1.5)),
        ("forward, 00 00 00 01 in all-zero bytes", "BM_ScanForwardZeros", "BM_MemmemZeros", ("ratio", 1.0)),
        ("backward, 00 00 00 01 in all-zero bytes", "BM_ScanBackwardZeros", "BM_MemmemZeros", ("ratio", 1.0)),
        ("empty pattern", "BM_ScanEmptyPattern", None, ("under_ns", 1000)),
        ("pattern longer than the image", "BM_ScanPatternLongerThanImage", None, ("under_ns", 1000)),
    ]),
]

NS_PER_UNIT = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load_medians(paths):
    """Median real time in ns of every benchmark, by name (repetitions give a "median" row)."""
    medians, context = {}, {}
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        context = context or data.get("context", {})
        for run in data.get("benchmarks", []):
            if run.get("aggregate_name") != "median" or run.get("error_occurred"):
                continue
            name = run["run_name"].split("/")[0]
            medians[name] = run["real_time"] * NS_PER_UNIT[run["time_unit"]]
    return medians, context


def show_time(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.3g} ns"


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown"


def figure_row(label, name, baseline, target, medians):
    if name not in medians:
        return f"| {label} | missing | | | | no |"
    median = medians[name]
    kind, limit = target
    if kind == "ratio":
        if baseline not in medians:
            return f"| {label} | {show_time(median)} | missing | | ≤ {limit}x | no |"
        ratio = median / medians[baseline]
        met = "yes" if ratio <= limit else "no"
        return (f"| {label} | {show_time(median)} | {show_time(medians[baseline])} ({baseline}) "
                f"| {ratio:.3f} | ≤ {limit}x | {met} |")
    met = "yes" if median < limit else "no"
    return f"| {label} | {show_time(median)} | | | < {show_time(limit)} | {met} |"


def main(paths):
    medians, context = load_medians(paths)
    lines = [
        "# Benchmark results",
        "",
        f"- CPU: {cpu_model()}",
        f"- cores: {context.get('num_cpus', os.cpu_count())}",
        f"- date: {datetime.datetime.now().astimezone().strftime('%Y-%m-%d %H:%M %Z')}",
        "- each figure: median wall-clock time of 5 repetitions",
        "",
    ]
    for title, figures in SECTIONS:
        lines += [f"## {title}", "",
                  "| figure | median | baseline median | ratio | target | met? |",
                  "|---|---|---|---|---|---|"]
        lines += [figure_row(*figure, medians) for figure in figures]
        lines.append("")
    sys.stdout.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv[1:])
