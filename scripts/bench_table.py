#!/usr/bin/env python3
"""Turns the benchmark program's JSON output into the markdown tables of the README.

Usage: bench_table.py results.json [more-results.json ...] [--before earlier.json ...]

Every figure is the median over the repetitions of the runs given (several files pool their
repetitions); where there were several, the range (lowest to highest) of the ratio follows in
brackets. With --before, the runs after it are an earlier build's, and each figure is given
before and after. Each ratio was taken within one run, the
engine's rounds alternating with its copy's, so load on the machine cancels out of it as far as
it can.
"""
import json
import statistics
import sys

STEADY = {
    "PlaybackDefault": "steady playback, default parameters (4-beat loop, 120 BPM, 44.1 kHz)",
    "PlaybackAllFades": "steady playback, Envelope 10000, Cuts/Bar 64, Loop Length 64 "
                        "(1024 slices, every frame in a fade)",
    "PlaybackReverseSilence": "steady playback, Reverse 100, Silence 50",
    "CaptureLongLoop": "steady capture, 64-beat loop at 30 BPM, 44.1 kHz",
    "WrapWithDraw": "the block crossing a loop wrap with a new draw of 1024 slices",
}
# Cases whose second argument tells two variants apart.
VARIANTS = {
    ("CaptureLongLoop", 0): "into a fresh pair (an effect's first capture: page faults included)",
    ("CaptureLongLoop", 1): "into the pair it holds (every later capture that fits)",
}
# (case, block size) -> the most the ratio may be.
STEADY_TARGETS = {
    ("PlaybackDefault", 4096): 1.3,
    ("PlaybackDefault", 256): 1.3,
    ("PlaybackAllFades", 4096): 4.0,
    ("PlaybackAllFades", 256): 4.0,
    ("CaptureLongLoop", 4096): 1.5,
    ("CaptureLongLoop", 256): 1.5,
}
LOOPS = [
    "4 beats, 120 BPM, 44.1 kHz",
    "16 beats, 120 BPM, 44.1 kHz",
    "64 beats, 120 BPM, 44.1 kHz",
    "64 beats, 60 BPM, 48 kHz",
    "64 beats, 30 BPM, 44.1 kHz",
    "64 beats, 30 BPM, 96 kHz",
]
SETUP_TARGET = 5.0
# Columns given for the later build alone when two are compared.
AFTER_ONLY = {"median capture block", "raw worst (ratio)", "worst per loop frame"}


def runs(document):
    """Groups the repetitions of each benchmark, in the order the program ran them."""
    grouped = {}
    for entry in document["benchmarks"]:
        if entry.get("run_type") == "iteration" and "error_occurred" not in entry:
            grouped.setdefault(entry["run_name"], []).append(entry)
    return grouped


def parse(run_name):
    parts = run_name.split("/")
    args = [int(p) for p in parts[1:] if p.isdigit()]
    return parts[0], args


def med(entries, key):
    return statistics.median(e[key] for e in entries)


def number(value):
    """Three significant figures, without exponents."""
    if value >= 100.0:
        return f"{float(f'{value:.3g}'):,.0f}"
    if value >= 10.0:
        return f"{value:.1f}"
    return f"{value:.2f}"


def ratio_text(entries, key):
    values = [e[key] for e in entries]
    text = f"{number(statistics.median(values))}x"
    if len(values) > 1:
        text += f" ({number(min(values))}-{number(max(values))})"
    return text


def target_text(limit, value):
    if limit is None:
        return "-"
    return f"<= {limit:g}x: {'met' if value <= limit else 'not met'}"


def time_text(microseconds):
    if microseconds >= 1000.0:
        return f"{number(microseconds / 1000.0)} ms"
    return f"{number(microseconds)} us"


def load(paths):
    """Pools the repetitions of several runs of the same program."""
    document = {"benchmarks": []}
    contexts = []
    for path in paths:
        with open(path, encoding="utf-8") as source:
            run = json.load(source)
        document["benchmarks"] += run["benchmarks"]
        contexts.append(run.get("context", {}))
    errors = [e["run_name"] for e in document["benchmarks"] if "error_occurred" in e]
    return runs(document), errors, contexts


def cells(after, before, name, render):
    """One figure, or the earlier build's and this one's side by side."""
    if before is None:
        return [render(after[name])]
    return [render(before[name]) if name in before else "-", render(after[name])]


def main():
    args = sys.argv[1:]
    split = args.index("--before") if "--before" in args else len(args)
    grouped, errors, contexts = load(args[:split])
    before = None
    if split < len(args):
        before, before_errors, before_contexts = load(args[split + 1:])
        errors += before_errors
        contexts = before_contexts + contexts
    repetitions = max((len(v) for v in grouped.values()), default=0)
    for context in contexts:
        print(f"Measured {context.get('date', '?')} on {context.get('num_cpus', '?')} CPUs, "
              f"load average {', '.join(f'{x:.2f}' for x in context.get('load_avg', []))}.")
    print(f"Medians of {repetitions} repetitions; the range of the ratio over them in brackets.")
    print()

    def heading(*columns):
        titles = []
        for column in columns:
            if isinstance(column, tuple):
                titles += [column[0] + " before", "after"] if before is not None else [column[0]]
            elif before is not None and column in AFTER_ONLY:
                titles.append(column + " after")
            else:
                titles.append(column)
        print("| " + " | ".join(titles) + " |")
        print("|" + "---|" * len(titles))

    def row(*columns):
        print("| " + " | ".join(str(c) for c in columns) + " |")

    heading("case", "block", ("ns/frame",), ("ratio to the copy",), "target")
    for name, entries in grouped.items():
        function, args = parse(name)
        if function not in STEADY:
            continue
        block = args[0]
        limit = STEADY_TARGETS.get((function, block))
        label = STEADY[function]
        if len(args) > 1 and (function, args[1]) in VARIANTS:
            label += ", " + VARIANTS[(function, args[1])]
        row(label, block, *cells(grouped, before, name, lambda e: number(med(e, "ns_per_frame"))),
            *cells(grouped, before, name, lambda e: ratio_text(e, "ratio")),
            target_text(limit, med(entries, "ratio")))
    print()
    print("The worst block is the worst of the per-block minima over the sessions (a cost of the "
          "engine comes back at the same block every session, a stall of the machine does not); "
          "the raw worst, the median over the sessions of each one's worst block, follows.")
    print()
    heading("set-up: worst block", "block", ("worst block",), "median capture block",
            ("ratio",), "raw worst (ratio)", "worst per loop frame", "target")
    for name, entries in grouped.items():
        function, args = parse(name)
        rows = []
        if function == "SetupFirstCapture":
            loop, block = args
            last = loop == len(LOOPS) - 1
            rows.append((f"first block to end of capture, {LOOPS[loop]} "
                         f"({entries[0]['loop_frames']:,.0f} frames)", block, "",
                         SETUP_TARGET if last and block == 4096 else None))
        elif function == "SetupLoopLengthChange":
            block = args[0]
            limit = SETUP_TARGET if block == 4096 else None
            rows.append(("Loop Length 64 to 32 beats at 30 BPM, 96 kHz", block, "down_", limit))
            rows.append(("Loop Length 32 to 64 beats at 30 BPM, 96 kHz", block, "up_", limit))
        for label, block, prefix, limit in rows:
            ratio = med(entries, prefix + "ratio")
            row(label, block,
                *cells(grouped, before, name,
                       lambda e, p=prefix: time_text(med(e, p + "worst_block_us"))),
                time_text(med(entries, prefix + "capture_block_us")),
                *cells(grouped, before, name, lambda e, p=prefix: ratio_text(e, p + "ratio")),
                f"{time_text(med(entries, prefix + 'raw_worst_block_us'))} "
                f"({number(med(entries, prefix + 'raw_ratio'))}x)",
                f"{number(med(entries, prefix + 'worst_ns_per_loop_frame'))} ns",
                target_text(limit, ratio))
    extras = []
    for name, entries in grouped.items():
        function, _ = parse(name)
        if function == "DrawLargestPlan":
            draw = cells(grouped, before, name, lambda e: f"{number(med(e, 'real_time'))} "
                         f"{e[0]['time_unit']}")
            extras.append("a draw of 1024 slices on its own: " + " before, ".join(draw) +
                          (" after" if before is not None else ""))
        elif function == "FixedMemory":
            size = cells(grouped, before, name, lambda e: f"{med(e, 'objectBytes'):,.0f}")
            extras.append(f"fixed memory: {' before, '.join(size)}"
                          f"{' after' if before is not None else ''} bytes of effect object, "
                          f"{med(entries, 'sliceRecordBytes'):,.0f} of slice records")
    if extras:
        print()
        print("Also: " + "; ".join(extras) + ".")
    if errors:
        print()
        print("Failed: " + ", ".join(sorted(set(errors))))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
