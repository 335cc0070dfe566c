#!/usr/bin/env python3
"""Turns Google Benchmark JSON files into bench/RESULTS.md: the machine, then one section per
subsystem. Each figure is a median compared with a baseline median from the same run, so a
noisy shared machine moves both sides alike. Add a subsystem by appending to SECTIONS."""

import datetime
import json
import os
import sys

# A figure: (label, benchmark, baseline or None, target). A target is ("ratio", x): the median
# divided by the baseline median must be at most x; ("plus_ns", t): the median may exceed the
# baseline median by at most t ns; or ("under_ns", t): the median itself, in ns.
SECTIONS = [
    ("Search scan (1 GiB image)", [
        ("forward, absent 8-byte pattern, random bytes", "BM_ScanForwardRandom", "BM_MemchrAbsentByte", ("ratio", 1.5)),
        ("backward, absent 8-byte pattern, random bytes", "BM_ScanBackwardRandom", "BM_MemrchrAbsentByte", ("ratio", 1.5)),
        ("forward, 00 00 00 01 in all-zero bytes", "BM_ScanForwardZeros", "BM_MemmemZeros", ("ratio", 1.0)),
        ("backward, 00 00 00 01 in all-zero bytes", "BM_ScanBackwardZeros", "BM_MemmemZeros", ("ratio", 1.0)),
        ("empty pattern", "BM_ScanEmptyPattern", None, ("under_ns", 1000)),
        ("pattern longer than the image", "BM_ScanPatternLongerThanImage", None, ("under_ns", 1000)),
    ]),
    ("Load and save (1 GiB file in the page cache)", [
        ("load into a fresh image", "BM_Load", "BM_CatToDevNull", ("ratio", 2.0)),
        ("load, against read() into a reused buffer", "BM_Load", "BM_ReadIntoReusedBuffer", ("ratio", None)),
        ("save (write, truncate, fsync)", "BM_Save", "BM_WriteAndFsync", ("ratio", 1.2)),
        ("save back after a one-byte edit", "BM_SaveAfterOneByteEdit", "BM_PwriteAndFsync",
         ("plus_ns", 10e6)),
        ("save back after a one-byte edit, against the whole save", "BM_SaveAfterOneByteEdit",
         "BM_Save", ("ratio", None)),
    ] + [
        (f"save back after edits in {p}% of the 4 KiB regions, spread evenly",
         f"BM_SaveAfterSpreadEdits/{p}", "BM_Save", ("ratio", 1.2)) for p in (1, 5, 10, 50, 100)
    ]),
]

NS_PER_UNIT = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load_medians(paths):
    """Median real time in ns of every benchmark, by name (repetitions give a "median" row;
    a benchmark run without repetitions counts with its one row), and the counters of each.
    A file without "benchmarks" holds end-to-end figures (e2e_bench.py, paste-bench)."""
    medians, counters, context, e2e = {}, {}, {}, {}
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        if "benchmarks" not in data:
            e2e.update(data)
            continue
        context = context or data.get("context", {})
        for run in data.get("benchmarks", []):
            if run.get("error_occurred"):
                continue
            # "BM_X/10/iterations:1/repeats:5/real_time" is "BM_X/10": the name and its arguments.
            name = "/".join(part for part in run["run_name"].split("/")
                            if ":" not in part and part != "real_time")
            aggregate = run.get("aggregate_name")
            if aggregate == "median" or (aggregate is None and run.get("run_type") == "iteration"
                                         and run.get("repetitions", 1) <= 1):
                medians[name] = run["real_time"] * NS_PER_UNIT[run["time_unit"]]
                counters[name] = {k: v for k, v in run.items() if k not in IGNORED_KEYS}
    medians["e2e"] = e2e
    return medians, counters, context


IGNORED_KEYS = {"name", "family_index", "per_family_instance_index", "run_name", "run_type",
                "repetitions", "repetition_index", "threads", "iterations", "real_time",
                "cpu_time", "time_unit", "aggregate_name", "aggregate_unit", "label"}


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
    if kind == "plus_ns":
        if baseline not in medians:
            return f"| {label} | {show_time(median)} | missing | | | no |"
        base = medians[baseline]
        return (f"| {label} | {show_time(median)} | {show_time(base)} ({baseline}) "
                f"| {median / base:.3f} | ≤ baseline + {show_time(limit)} "
                f"| {'yes' if median <= base + limit else 'no'} |")
    if kind == "ratio":
        if baseline not in medians:
            return f"| {label} | {show_time(median)} | missing | | | no |"
        ratio = median / medians[baseline]
        target, met = ("", "") if limit is None else (f"≤ {limit}x", "yes" if ratio <= limit else "no")
        return (f"| {label} | {show_time(median)} | {show_time(medians[baseline])} ({baseline}) "
                f"| {ratio:.3f} | {target} | {met} |")
    met = "yes" if median < limit else "no"
    return f"| {label} | {show_time(median)} | | | < {show_time(limit)} | {met} |"


def journal_rows(counters, medians):
    """The undo journal's memory and time per edit, and the pasted megabyte."""
    lines = ["## Undo journal and a pasted megabyte", "",
             "| figure | value | target | met? |", "|---|---|---|---|"]
    e2e = medians.get("e2e")
    journal = counters.get("BM_JournalPassOfTenMillionEdits", {})
    if journal:
        per_edit = journal["heap_bytes_per_edit"]
        lines.append(f"| memory per recorded edit, 10-million-edit pass | {per_edit:.2f} bytes "
                     f"| ≤ 16 bytes | {'yes' if per_edit <= 16 else 'no'} |")
        lines.append(f"| time per recorded edit | {journal['ns_per_edit']:.1f} ns | | |")
    if "BM_UndoOfTenMillionEdits" in medians:
        lines.append(f"| undo of 10 million edits | {show_time(medians['BM_UndoOfTenMillionEdits'])} | | |")
    if e2e and "paste_seconds" in e2e:
        keys = e2e["paste_bytes"]
        lines.append(f"| paste of {keys} bytes into text edit mode, end to end | "
                     f"{e2e['paste_seconds']:.2f} s ({e2e['paste_seconds'] / keys * 1e6:.2f} us a key) | | |")
        lines.append(f"| output of that paste | {e2e['paste_output_bytes'] / keys:.0f} bytes a key | | |")
        if "paste_write_calls" in e2e:
            lines.append(f"| write() calls of the whole paste session (strace) | "
                         f"{e2e['paste_write_calls']} ({keys / max(e2e['paste_write_calls'], 1):.0f} keys a write) "
                         f"| far fewer than one a key | {'yes' if e2e['paste_write_calls'] * 100 < keys else 'no'} |")
    return lines + [""]


def e2e_rows(e2e):
    """The end-to-end figures of the real binary on a pseudo-terminal."""
    if not e2e or "size" not in e2e:
        return ["(not run)"]
    image = e2e["size"]
    memory_limit = 1.05 * image + 16 * 2**20

    def ratio_row(label, value, baseline, baseline_label, limit):
        ratio = value / baseline
        target, met = ("", "") if limit is None else (f"≤ {limit}x", "yes" if ratio <= limit else "no")
        return (f"| {label} | {value * 1e3:.0f} ms | {baseline * 1e3:.0f} ms ({baseline_label}) "
                f"| {ratio:.2f} | {target} | {met} |")

    def plus_row(label, value, baseline):
        met = "yes" if value <= baseline + 0.010 else "no"
        return (f"| {label} | {value * 1e3:.1f} ms | {baseline * 1e3:.1f} ms (pwrite() + fsync) "
                f"| {value / baseline:.2f} | ≤ baseline + 10 ms | {met} |")

    return [
        "| figure | median | baseline median | ratio | target | met? |",
        "|---|---|---|---|---|---|",
        ratio_row("start to first painted sector", e2e["start_to_sector_seconds"],
                  e2e["cat_seconds"], "cat FILE > /dev/null", 2.0),
        ratio_row("\">\" and an absent pattern to \"String not found\"",
                  e2e["search_not_found_seconds"], e2e["cat_seconds"], "cat FILE > /dev/null", None),
        ratio_row("\"S\", a new name and Return to \"File saved\" (whole image)", e2e["save_seconds"],
                  e2e["write_fsync_seconds"], "write() + fsync", 1.2),
        plus_row("\"S\" and Return to \"File saved\" after a one-byte edit",
                 e2e["save_one_byte_seconds"], e2e["pwrite_fsync_seconds"]),
        ratio_row("the same, against the whole-image save", e2e["save_one_byte_seconds"],
                  e2e["save_seconds"], "whole-image save", None),
        f"| peak resident memory holding the image | {e2e['peak_rss_bytes'] / 2**20:.1f} MiB "
        f"| image {image / 2**20:.0f} MiB | {e2e['peak_rss_bytes'] / image:.3f} "
        f"| ≤ 1.05x image + 16 MiB | {'yes' if e2e['peak_rss_bytes'] <= memory_limit else 'no'} |",
        f"| start-up to the first frame, no file | {e2e['start_no_file_seconds'] * 1e3:.1f} ms "
        f"| | | {e2e['start_no_file_bytes']} bytes written | |",
        "",
        f"Image of {image / 2**30:.2g} GiB of random bytes; medians of the runs.",
    ]


def main(paths):
    medians, counters, context = load_medians(paths)
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
    lines += journal_rows(counters, medians)
    lines += ["## End to end: the real binary on a pseudo-terminal", ""]
    lines += e2e_rows(medians.get("e2e"))
    lines.append("")
    sys.stdout.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv[1:])
