#!/usr/bin/env python3
"""Benchmark ti99run: median wall time per program and executed TMS9900
instructions (from a second, instruction-counting build).

Usage: bench/run.py [--runs N] [--build-dir DIR]

Builds two release trees (DIR and DIR-count) from this checkout, runs every
bench/programs/*.bas N times with standard input from /dev/null, and prints a
Markdown table. The first row is the start-up cost: a hello-world run.
"""
import argparse
import pathlib
import re
import statistics
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent


def build(tree, counting):
    flag = "ON" if counting else "OFF"
    subprocess.run(["cmake", "-S", ROOT, "-B", tree, "-DTI99_BUILD_TESTS=OFF",
                    f"-DTI99_COUNT_INSTRUCTIONS={flag}"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", tree, "-j2"], check=True, stdout=subprocess.DEVNULL)
    return tree / "ti99run"


def run_once(binary, program):
    start = time.perf_counter()
    done = subprocess.run([binary, program], stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"bench: {program.name} exited with status {done.returncode}")
    return elapsed, done.stderr.decode()


def instructions(binary, program):
    _, err = run_once(binary, program)
    found = re.search(r"instructions: (\d+)", err)
    return int(found.group(1)) if found else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--build-dir", default=str(ROOT / "build-bench"))
    args = parser.parse_args()

    tree = pathlib.Path(args.build_dir)
    timed = build(tree, counting=False)
    counted = build(pathlib.Path(str(tree) + "-count"), counting=True)

    programs = [ROOT / "examples" / "hello.bas"] + sorted((ROOT / "bench" / "programs").glob("*.bas"))
    print("| program | median wall time | TMS9900 instructions | instructions per second |")
    print("|---|---:|---:|---:|")
    for program in programs:
        median = statistics.median(run_once(timed, program)[0] for _ in range(args.runs))
        count = instructions(counted, program)
        print(f"| {program.name} | {median * 1000:.1f} ms | {count:,} | {count / median / 1e6:.0f} M |")


if __name__ == "__main__":
    main()
