#!/usr/bin/env python3
"""Benchmark ti99run: for every program, the median whole-process wall time,
the TMS9900 instructions it executes and, with --callgrind, the host
instructions per TMS9900 instruction.

Usage: bench/run.py [--runs N] [--build-dir DIR] [--source DIR] [--callgrind]

Builds two release trees (DIR and DIR-count, the second with
TI99_COUNT_INSTRUCTIONS, which prints "instructions: N" at exit) from the
checkout at --source (default: this one), and compiles bench/spawn_timer.cpp,
which times each run from spawn to exit with no interpreter in between.
Every examples/hello.bas and bench/programs/*.bas run has standard input from
/dev/null; the programs take turns, N rounds, and the median is printed. The
first row, hello world, is the start-up cost. --callgrind runs each program
once more under valgrind's callgrind and divides the host instructions it
counts by the TMS9900 instructions.
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
    parser.add_argument("--source", default=str(ROOT))
    parser.add_argument("--callgrind", action="store_true")
    args = parser.parse_args()

    tree = pathlib.Path(args.build_dir)
    timed = build(args.source, tree, counting=False)
    counted = build(args.source, pathlib.Path(str(tree) + "-count"), counting=True)
    timer = build_timer(tree)

    programs = [ROOT / "examples" / "hello.bas"] + sorted((ROOT / "bench" / "programs").glob("*.bas"))
    times = {program: [] for program in programs}
    for _ in range(args.runs):
        for program in programs:
            times[program].append(wall_time(timer, timed, program))

    header = "| program | median wall time | TMS9900 instructions | instructions per second |"
    rule = "|---|---:|---:|---:|"
    if args.callgrind:
        header += " host instructions per TMS9900 instruction |"
        rule += "---:|"
    print(header)
    print(rule)
    for program in programs:
        median = statistics.median(times[program])
        count = tms9900_instructions(counted, program)
        row = (f"| {program.name} | {median * 1000:.1f} ms | {count:,} | "
               f"{count / median / 1e6:.0f} M |")
        if args.callgrind:
            row += f" {host_instructions(timed, program) / count:.1f} |"
        print(row, flush=True)


if __name__ == "__main__":
    main()
