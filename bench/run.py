#!/usr/bin/env python3
"""Benchmark ti99run: for every program, the median whole-process wall time,
the TMS9900 instructions it executes and, with --callgrind, the host
instructions per TMS9900 instruction; with --baseline, the same for another
checkout side by side.

Usage: bench/run.py [--runs N] [--build-dir DIR] [--callgrind] [--baseline SOURCE]

Builds two release trees (DIR and DIR-count, the second with
TI99_COUNT_INSTRUCTIONS, which prints "instructions: N" at exit) from this
checkout, and from SOURCE into DIR-baseline and DIR-baseline-count, and
compiles bench/spawn_timer.cpp, which times each run from spawn to exit with no
interpreter in between. Every examples/hello.bas and bench/programs/*.bas run
has standard input from /dev/null; programs and builds take turns, N rounds,
and the median is printed. The first row, hello world, is the start-up cost.
--callgrind runs each program once more under valgrind's callgrind and
divides the host instructions it counts by the TMS9900 instructions.
"""
import argparse
import os
import pathlib
import re
import statistics
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent


def build(source, tree, counting):
    flag = "ON" if counting else "OFF"
    subprocess.run(["cmake", "-S", source, "-B", tree, "-DCMAKE_BUILD_TYPE=Release",
                    "-DTI99_BUILD_TESTS=OFF", f"-DTI99_COUNT_INSTRUCTIONS={flag}"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", tree, "-j2", "--target", "ti99run"], check=True,
                   stdout=subprocess.DEVNULL)
    return tree / "ti99run"


def build_timer(tree):
    timer = tree / "spawn_timer"
    compiler = os.environ.get("CXX", "c++")
    subprocess.run([compiler, "-O2", "-o", timer, ROOT / "bench" / "spawn_timer.cpp"], check=True)
    return timer


def wall_time(timer, binary, program):
    done = subprocess.run([timer, "1", binary, program], capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"bench: {program.name}: {done.stderr.strip()}")
    return float(done.stdout) / 1e6


def tms9900_instructions(binary, program):
    done = subprocess.run([binary, program], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True)
    found = re.search(r"instructions: (\d+)", done.stderr)
    if done.returncode != 0 or not found:
        sys.exit(f"bench: {program.name}: no instruction count (status {done.returncode})")
    return int(found.group(1))


def host_instructions(binary, program):
    done = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null",
                           binary, program], stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    found = re.search(r"Collected : (\d+)", done.stderr)
    if not found:
        sys.exit(f"bench: {program.name}: callgrind gave no count")
    return int(found.group(1))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=21)
    parser.add_argument("--build-dir", default=str(ROOT / "build-bench"))
    parser.add_argument("--callgrind", action="store_true")
    parser.add_argument("--baseline", help="another checkout to measure side by side")
    args = parser.parse_args()

    tree = pathlib.Path(args.build_dir)
    sources = {"": ROOT}
    if args.baseline:
        sources = {"before": pathlib.Path(args.baseline), "after": ROOT}
    builds = {}
    for name, source in sources.items():
        suffix = f"-{name}" if name == "before" else ""
        builds[name] = (build(source, pathlib.Path(f"{tree}{suffix}"), counting=False),
                        build(source, pathlib.Path(f"{tree}{suffix}-count"), counting=True))
    timer = build_timer(tree)

    programs = [ROOT / "examples" / "hello.bas"] + sorted((ROOT / "bench" / "programs").glob("*.bas"))
    times = {(name, program): [] for name in builds for program in programs}
    for _ in range(args.runs):
        for program in programs:
            for name, (timed, _) in builds.items():
                times[name, program].append(wall_time(timer, timed, program))

    rows = []
    for program in programs:
        row = {"program": program.name}
        for name, (timed, counted) in builds.items():
            count = tms9900_instructions(counted, program)
            row["wall", name] = statistics.median(times[name, program]) * 1000
            row["count", name] = count
            if args.callgrind:
                row["host", name] = host_instructions(timed, program) / count
        rows.append(row)
    print_table(rows, list(builds), args.callgrind)


def milliseconds(value):
    return f"{value:.2f} ms" if value < 10 else f"{value:.1f} ms"


def print_table(rows, names, callgrind):
    """A Markdown table; side by side, it gives the speed-up, and one
    instruction count column when both builds execute the same."""
    pair = len(names) == 2
    same_count = pair and all(row["count", "before"] == row["count", "after"] for row in rows)
    heads = [f"median wall time {name}".strip() for name in names]
    if pair:
        heads.append("speed-up")
    heads += ["TMS9900 instructions"] if same_count or not pair else [
        f"TMS9900 instructions {name}" for name in names]
    if callgrind:
        heads += [f"host instructions per TMS9900 instruction {name}".strip() for name in names]
    print("| program | " + " | ".join(heads) + " |")
    print("|---|" + "---:|" * len(heads))
    for row in rows:
        cells = [milliseconds(row["wall", name]) for name in names]
        if pair:
            cells.append(f"{row['wall', 'before'] / row['wall', 'after']:.2f}")
        counted = names[-1:] if same_count or not pair else names
        cells += [f"{row['count', name]:,}" for name in counted]
        if callgrind:
            cells += [f"{row['host', name]:.1f}" for name in names]
        print(f"| {row['program']} | " + " | ".join(cells) + " |", flush=True)


if __name__ == "__main__":
    main()
